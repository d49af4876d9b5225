#include "WaybillStatements.h"

#include "Query.h"

namespace reports {

void blockWaybill(db::Connection& connection, std::int32_t waybillIsn)
{
    db::Query block(connection, QStringLiteral("UPDATE O_PARPAV SET PZ_BLOK='T' WHERE ISN=:ISN"));
    block.param(u"ISN").setValue(waybillIsn);
    block.execute();
}

QString carAndDriverText(db::Connection& connection, const db::Value& carKey, NamelessCar nameless)
{
    db::Query car(connection, QStringLiteral("SELECT GNOS, REGNR, VALSTS_NR, VADITAJS FROM N_MASINA WHERE ISN=:ISN"));
    car.param(u"ISN").setValue(carKey);
    car.open();
    const QString name = car.field(u"GNOS").asString();
    const QString stateNumber = car.field(u"VALSTS_NR").asString();
    if (nameless == NamelessCar::Empty && name.isEmpty() && stateNumber.isEmpty())
        return {};
    return name + QStringLiteral(" Reģ.Nr.") + car.field(u"REGNR").asString() + QStringLiteral(" Auto ") + stateNumber
           + u' ' + car.field(u"VADITAJS").asString();
}

}  // namespace reports
