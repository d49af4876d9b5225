// The texts of each line that the statement does not deliver: packages,
// mark-up, the name column, the car and driver, the best-before date. They
// are computed whenever a line becomes current, so the values printed are
// those of the reading after the preparation (which sets ShowLineComments).

#include "PrParvietPZForm.h"

#include "My_proc.h"
#include "PrParvietPZSettings.h"
#include "WaybillStatements.h"

#include <cmath>

namespace reports {

namespace {

const QString kReceivedWaybillStatement = QStringLiteral(
    "SELECT O_PAVADZ.NR_PAVADZ, O_PAVADZ.ISN, O_PAVADZ.PZ_SERIJA, O_PAVADZ.DAT_PAVADZ, N_DEPART.GNOS NODALA "
    "FROM O_PAVADZ, O_PRECE, N_DEPART WHERE O_PAVADZ.ISN=O_PRECE.ISPAVADZ AND O_PAVADZ.ISNODALA = :ISNODALA "
    "AND O_PRECE.ISPRECE = :ISPRECE AND O_PAVADZ.DAT_PAVADZ <= :DATUMS AND O_PAVADZ.ISNODALA = N_DEPART.ISN "
    "AND (O_PAVADZ.NELEGALIZ IS NULL OR O_PAVADZ.NELEGALIZ='F') ORDER BY O_PAVADZ.ISN DESCENDING");

const QString kSeparator = QStringLiteral(" \\ ");

QString shortDate(const QDate& date)
{
    return date.toString(QStringLiteral("dd.MM.yyyy"));
}

// Shelf life in whole days, halves to the even neighbour (the default
// rounding mode).
double wholeDays(const db::Query& line)
{
    return std::nearbyint(line.field(u"DERDIENAS").asFloat());
}

void setPackages(db::Query& line)
{
    const double perPackage = line.field(u"SKKASTE").asFloat();
    if (perPackage == 0)
        return;
    const double packages = line.field(u"DAUDZUMS").asFloat() / perPackage;
    line.setCalculated(u"IepakSkaitsSTR", QString::asprintf("%5.2fx%5.2f", packages, perPackage));
    line.setCalculated(u"IepakSkaits", packages);
}

// Any arithmetic failure gives 0.
void setMarkUp(db::Query& line)
{
    const double salePrice = line.field(u"PARD_CENA").asFloat();
    const double markUp = salePrice == 0 ? 0 : 100 - line.field(u"CENA").asFloat() / salePrice * 100;
    line.setCalculated(u"Piecenojums", std::isfinite(markUp) ? markUp : 0.0);
}

// The waybill date plus the shelf life, or "0" for none.
void setBestBefore(db::Query& line, double days)
{
    if (days == 0) {
        line.setCalculated(u"DerigsLidz", QStringLiteral("0"));
        return;
    }
    const double day = line.field(u"DATUMS").value().toDouble() + days;
    line.setCalculated(u"DerigsLidz", shortDate(db::fromDayCount(day).date()));
}

}  // namespace

void TPrParvietPZ::ReportSQLCalcFields(db::Query& line)
{
    setPackages(line);
    setMarkUp(line);
    line.setCalculated(u"PreceUnSertifikats", goodsNameText(line));
    // Empty for a car without name and state number, and for no car.
    line.setCalculated(u"shSoferis",
                       carAndDriverText(PRECES_DB, line.field(u"ISMASINA").value(), NamelessCar::Empty));
    setBestBefore(line, wholeDays(line));
}

// The goods name with its certificate, then the received waybill (whose
// text begins and ends with a blank of its own), then the line comment.
QString TPrParvietPZ::goodsNameText(const db::Query& line)
{
    QString text = line.field(u"PRECE").asString();
    // Looked up for every line, whatever the setting says.
    const QString certificate = common::GetFieldByIsn(PRECES_DB, QStringLiteral("N_SERTIF"),
                                                      line.field(u"ISSERTIF").asInteger(), QStringLiteral("GNOS"));
    if (parvietpz::isOn(N_ISI, u"ISIPARVSERTIF") && !certificate.isEmpty())
        text += kSeparator + certificate;
    if (parvietpz::isOn(N_ISI, u"ISIPARVSANNR"))
        text += ReceivedWaybillText(line.field(u"ISPRECE").asInteger(), line.field(u"ISNODALANO").asInteger(),
                                    line.field(u"DATUMS").value());
    const QString comment = line.field(u"PRECKOMENT").asString();
    if (ShowLineComments && !comment.isEmpty())
        text += kSeparator + comment;
    return text;
}

// The department's sales waybill holding the goods item with the highest
// ISN among those dated on or before `date` (not the latest one).
QString TPrParvietPZ::ReceivedWaybillText(std::int32_t goodsKey, std::int32_t departmentKey, const db::Value& date)
{
    db::Query query(PRECES_DB, kReceivedWaybillStatement);
    query.param(u"ISNODALA").setValue(departmentKey);
    query.param(u"ISPRECE").setValue(goodsKey);
    query.param(u"DATUMS").setValue(date);
    query.open();
    const QString number = query.field(u"NR_PAVADZ").asString();
    if (number.isEmpty())
        return {};
    return QStringLiteral(" Pz.#") + query.field(u"PZ_SERIJA").asString().trimmed() + u'-' + number + u'-'
           + shortDate(query.field(u"DAT_PAVADZ").asDateTime().date()) + u'-'
           + query.field(u"NODALA").asString().trimmed() + u' ';
}

void TPrParvietPZ::DTDerigsLidzPrint(QString& value)
{
    if (value == u"0")
        value.clear();
    else if (wholeDays(ReportSQL) == -1)
        value = QStringLiteral("Sk.uz iep.");
}

}  // namespace reports
