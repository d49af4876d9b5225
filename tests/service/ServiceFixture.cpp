#include "ServiceFixture.h"

#include "Query.h"
#include "WaybillCounter.h"

#include <QJsonDocument>

#include <chrono>
#include <thread>

namespace servicetest {

QByteArray requestLine(const QJsonValue& id, const QString& method, const QJsonValue& params)
{
    QJsonObject request{{"jsonrpc", "2.0"}, {"method", method}};
    if (!id.isUndefined())
        request.insert("id", id);
    if (!params.isUndefined())
        request.insert("params", params);
    return QJsonDocument(request).toJson(QJsonDocument::Compact);
}

QJsonObject parseLine(const QByteArray& line)
{
    EXPECT_FALSE(line.contains('\n')) << line.toStdString();
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(line, &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << line.toStdString();
    return document.object();
}

std::vector<qint64> integerColumn(const QJsonObject& result, const QString& name)
{
    const QJsonArray columns = result.value("columns").toArray();
    qsizetype index = -1;
    for (qsizetype i = 0; i < columns.size(); ++i) {
        if (columns[i].toObject().value("name").toString() == name)
            index = i;
    }
    EXPECT_GE(index, 0) << "no column " << name.toStdString();
    std::vector<qint64> values;
    for (const QJsonValue& row : result.value("rows").toArray())
        values.push_back(index < 0 ? 0 : row.toArray().at(index).toInteger());
    return values;
}

QJsonValue cell(const QJsonObject& result, int row, const QString& name)
{
    const QJsonArray columns = result.value("columns").toArray();
    for (qsizetype i = 0; i < columns.size(); ++i) {
        if (columns[i].toObject().value("name").toString() == name)
            return result.value("rows").toArray().at(row).toArray().at(i);
    }
    ADD_FAILURE() << "no column " << name.toStdString();
    return {};
}

namespace {

service::ServiceContext makeContext(const testsupport::TestDatabase& database, operator_state::OperatorValues& settings,
                                    operator_state::SettingsStore& store)
{
    service::ServiceContext context;
    context.employeeConnection = database.options();
    context.operatorValues = &settings;
    context.settingsStore = &store;
    return context;
}

}  // namespace

ServiceTest::ServiceTest()
    : store(storeDir.filePath("ZEMBRIK/Tolvira/Dravun.json")),
      context(makeContext(database, operatorValues, store))
{
}

QJsonObject ServiceTest::call(const QString& method, const QJsonValue& params, service::RpcSession* on)
{
    const QByteArray line = requestLine(1, method, params);
    return parseLine(on ? on->handle(line) : transport(line));
}

QJsonValue ServiceTest::result(const QString& method, const QJsonValue& params, service::RpcSession* on)
{
    const QJsonObject response = call(method, params, on);
    EXPECT_FALSE(response.contains("error"))
        << method.toStdString() << ": " << QJsonDocument(response).toJson(QJsonDocument::Compact).toStdString();
    return response.value("result");
}

QJsonObject ServiceTest::open(const QString& provider, const QJsonValue& params, service::RpcSession* on)
{
    QJsonObject request{{"provider", provider}};
    if (!params.isUndefined())
        request.insert("params", params);
    return result("open", request, on).toObject();
}

qint64 ServiceTest::execute(const QString& provider, const QJsonValue& params, service::RpcSession* on)
{
    return result("execute", QJsonObject{{"provider", provider}, {"params", params}}, on)
        .toObject()
        .value("rowsAffected")
        .toInteger(-1);
}

int ServiceTest::errorCode(const QString& method, const QJsonValue& params, service::RpcSession* on)
{
    const QJsonObject response = call(method, params, on);
    EXPECT_TRUE(response.contains("error")) << QJsonDocument(response).toJson(QJsonDocument::Compact).toStdString();
    return response.value("error").toObject().value("code").toInt();
}

std::vector<std::vector<db::Value>> ServiceTest::select(const QString& sql)
{
    // Attached anew when a test has cut it off with the others.
    if (!ownConnection_ || !ownConnection_->ping())
        ownConnection_ = database.connect();
    db::Query query(*ownConnection_, sql);
    query.open();
    std::vector<std::vector<db::Value>> rows;
    for (; !query.eof(); query.next()) {
        rows.emplace_back();
        for (int i = 0; i < static_cast<int>(query.columns().size()); ++i)
            rows.back().push_back(query.value(i));
    }
    return rows;
}

bool ServiceTest::statementRuns(const QString& statementStart) const
{
    const QString running = QStringLiteral("SELECT COUNT(*) FROM MON$STATEMENTS WHERE MON$STATE = 1 "
                                           "AND MON$SQL_TEXT STARTING WITH '%1'")
                                .arg(statementStart);
    const auto until = std::chrono::steady_clock::now() + std::chrono::minutes(1);
    while (std::chrono::steady_clock::now() < until) {
        // A connection of its own for each look: the monitoring tables show
        // what they showed first for as long as a transaction lasts.
        const auto look = database.connect();
        db::Query query(*look, running);
        query.open();
        if (query.value(0).toInt64() > 0)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

QVariant ServiceTest::storedCounter() const
{
    return store.read().value_or(operator_state::SettingsStore::Values{}).value(service::kWaybillCounterName);
}

}  // namespace servicetest
