#include "PrintFixture.h"

#include "ServiceFixture.h"

#include "Query.h"

namespace servicetest {

QByteArray printRequestLine(std::int32_t waybill)
{
    return requestLine(1, "open",
                       QJsonObject{{"provider", "DataSetProvider_drukat"}, {"params", QJsonObject{{"ISN", waybill}}}});
}

PrintFixture::PrintFixture(printing::DeviceFactory devices)
    : database({testsupport::sourcePath(QStringLiteral("db/demo-data.sql"))}),
      store(storeDir.filePath("Dravun.json")),
      operatorDatabase(database.options(db::TransactionMode::Explicit), printLock),
      station(operatorValues, operatorDatabase, std::move(devices))
{
    context.employeeConnection = database.options();
    context.operatorValues = &operatorValues;
    context.settingsStore = &store;
    context.printWaybill = [this](std::int32_t isn, std::int32_t alcoholLines) {
        station.printRequest(isn, alcoholLines, context.peer);
    };
    operatorValues.setSendingDepartment(1);
    operatorDatabase.openDepartmentLists(printLock.acquire());
}

QString PrintFixture::blocked(std::int32_t waybill) const
{
    auto connection = database.connect();
    db::Query query(*connection, QStringLiteral("SELECT PZ_BLOK FROM O_PARPAV WHERE ISN = :ISN"));
    query.param(u"ISN").setValue(waybill);
    query.open();
    return query.field(u"PZ_BLOK").asString();
}

}  // namespace servicetest
