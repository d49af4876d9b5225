#include "PrParvAlkoholaPZForm.h"

#include "My_proc.h"
#include "NumberFormat.h"
#include "PrParvAlkoholaPZLayout.h"
#include "Sumlat.h"
#include "WaybillStatements.h"

#include <QLocale>

#include <stdexcept>

namespace reports {

namespace {

// The waybill's lines with their goods item, both departments and the
// waybill's own columns. Inner joins throughout: a line whose goods item has
// no goods group is not printed, though the stored totals count it. The rate
// is divided by 100.00, so that a rate held as NUMERIC(9,2) keeps all its
// decimals (divided by the integer 100 it would keep two).
const QString kReportStatement = QStringLiteral(
    "SELECT O_PARPRC.ISSERTIF, O_PARPRC.ISN, O_PARPRC.ISPARVPAV, O_PARPRC.CENA CENA, O_PARPRC.DAUDZUMS, "
    "O_PARPRC.NODOKLIS, O_PARPRC.DAUDZUMS*O_PARPRC.CENA SUMMA, N_KLPREC.GNOS PRECE, N_KLPREC.ARTIKULS,\n"
    "O_PARPRC.DAUDZUMS*O_PARPRC.PARD_CENA*(1+N_KLPREC.NODOKLIS/100.00) PARD_SUMMA, "
    "O_PARPRC.PARD_CENA*(1+N_KLPREC.NODOKLIS/100.00) PARD_CENA,\n"
    "N_KLPREC.MERVIENIBA, N_KLPREC.DERDIENAS, N_KLPREC.ISPRKLIENT, N_KLPREC.LITRAZA, N_KLPREC.ALKOHOLS, "
    "N_KLPREC.PARDCENA9 CENA9, N_KLPREC.SKKASTE,\n"
    "N_DEPARTUZ.GNOS KLIENTS, N_DEPARTUZ.ADRESE, N_DEPARTUZ.TIRDZNADR, N_DEPARTUZ.REGNR, N_DEPARTUZ.NODOKLA_NR, "
    "N_DEPARTUZ.BANKNOS, N_DEPARTUZ.BANKKONTS, N_DEPARTUZ.LICENCE, N_DEPARTUZ.BANKKODS,\n"
    "O_PARPAV.DATUMS, O_PARPAV.DAT_PIEGADE, O_PARPAV.NR_PAVADZ, O_PARPAV.PZ_SERIJA, "
    "O_PARPAV.IEPBEZPVNSUMMA + IEPPVNSUMMA KOPSUMMA, O_PARPAV.IEPPVNSUMMA, O_PARPAV.IEPBEZPVNSUMMA, "
    "O_PARPAV.ISMASINA,\n"
    "N_DEPART.LICENCE LICENCE_NOSUT, N_DEPART.GNOS NOS_GNOS, N_DEPART.REGNR NOS_REGNR, "
    "N_DEPART.NODOKLA_NR NOS_NODOKLA_NR, N_DEPART.ADRESE NOS_ADRESE, N_DEPART.TIRDZNADR NOS_TIRDZNADR, "
    "N_DEPART.BANKNOS NOS_BANKNOS, N_DEPART.BANKKODS NOS_BANKKODS, N_DEPART.BANKKONTS NOS_BANKKONTS, "
    "N_DEPART.BANKNOS2 NOS_BANKNOS2, N_DEPART.BANKKODS2 NOS_BANKKODS2, N_DEPART.BANKKONTS2 NOS_BANKKONTS2\n"
    "FROM O_PARPAV, O_PARPRC, N_KLPREC, N_DEPART N_DEPARTUZ, N_DEPART, N_PRGRUP\n"
    "WHERE O_PARPAV.ISN = O_PARPRC.ISPARVPAV AND O_PARPAV.ISNODALANO = N_DEPART.ISN "
    "AND O_PARPAV.ISNODALAUZ = N_DEPARTUZ.ISN AND O_PARPRC.ISPRECE = N_KLPREC.ISN "
    "AND N_KLPREC.ISPRGRUPA = N_PRGRUP.ISN AND O_PARPAV.ISN = :ISPARVPAV");

// Lines sharing a certificate stand together.
const QString kReportOrdering = QStringLiteral(" ORDER BY O_PARPRC.ISSERTIF, O_PARPRC.ISN ");

const QString kCertificateField = QStringLiteral("Sertifikats");
constexpr int kCertificateLength = 800;

// Certificate keys 0 and 1 (and null, read as 0) mean the line has none.
bool isNoCertificate(std::int32_t key)
{
    return key == 0 || key == 1;
}

// The regional settings the system expects, whatever the machine's locale.
const QLocale& regionalSettings()
{
    static const QLocale latvian(QLocale::Latvian, QLocale::Latvia);
    return latvian;
}

}  // namespace

TPrParvAlkoholaPZ::TPrParvAlkoholaPZ(db::Connection& PRECES_DB, VatRateSource vatRate)
    : WaybillForm(std::move(vatRate)), ReportSQL(PRECES_DB), PRECES_DB_(PRECES_DB)
{
    ReportSQL.addCalculatedField(kCertificateField, db::Type::Text, kCertificateLength);
    ReportSQL.setOnCalcFields([this](db::Query& dataSet) { ReportSQLCalcFields(dataSet); });
    ReportSQL.setDisplayFormat(u"CENA", QStringLiteral("#0.000"));
    ReportSQL.setDisplayFormat(u"PARD_SUMMA", QStringLiteral("#0.00"));
    ReportSQL.setDisplayFormat(u"PARD_CENA", QStringLiteral("#0.00"));
    ReportSQL.setDisplayFormat(u"KOPSUMMA", QStringLiteral("0.00"));

    buildAlcoholWaybillLayout(QuickRep1);
    QuickRep1.setDataSet(&reportData_);
    bindHandlers();
}

engine::PrintResult TPrParvAlkoholaPZ::printWaybill(std::int32_t waybillIsn, int copies,
                                                   engine::OutputDevice& device)
{
    WaybillIsn = waybillIsn;
    QuickRep1.printerSettings().copies = copies;
    return QuickRep1.print(device);
}

void TPrParvAlkoholaPZ::bindHandlers()
{
    bindPrint(*this, QStringLiteral("lbVisrDatums"), &TPrParvAlkoholaPZ::lbVisrDatumsPrint);
    bindPrint(*this, QStringLiteral("QRDBText15"), &TPrParvAlkoholaPZ::QRDBText15Print);
    bindPrint(*this, QStringLiteral("QRDBText16"), &TPrParvAlkoholaPZ::QRDBText16Print);
    bindPrint(*this, QStringLiteral("QRLabel41"), &TPrParvAlkoholaPZ::QRLabel41Print);
    bindPrint(*this, QStringLiteral("QRDBText7"), &TPrParvAlkoholaPZ::QRDBText7Print);
    bindPrint(*this, QStringLiteral("QRLabel31"), &TPrParvAlkoholaPZ::QRLabel31Print);
    bindPrint(*this, QStringLiteral("QRLabel35"), &TPrParvAlkoholaPZ::QRLabel35Print);
    QuickRep1.band(QStringLiteral("ChildBand2")).setBeforePrint([this](engine::Band&, bool& printBand) {
        ChildBand2BeforePrint(printBand);
    });
    QuickRep1.setBeforePrint([this](engine::Report&, bool&) { QuickRep1BeforePrint(); });
}

// The driver line never leaves out a piece; a null car key reads as 0.
void TPrParvAlkoholaPZ::QuickRep1BeforePrint()
{
    prepareReportQuery();
    QuickRep1.element<engine::Label>(QStringLiteral("shSoferis"))
        .setCaption(carAndDriverText(PRECES_DB_, ReportSQL.field(u"ISMASINA").asInteger(), NamelessCar::FixedPieces));
}

// Rebuilt from the constant on every print, so orderings never accumulate;
// every row is fetched before a band prints.
void TPrParvAlkoholaPZ::prepareReportQuery()
{
    ReportSQL.close();
    ReportSQL.setSql(kReportStatement + u'\n' + kReportOrdering);
    db::Param& waybill = ReportSQL.param(u"ISPARVPAV");
    waybill.setType(db::Type::Integer);
    waybill.setValue(WaybillIsn);
    ReportSQL.open();
}

// Two lookups for every line with a certificate, each time the row's fields
// are computed: the second text first, as the layout has always asked.
void TPrParvAlkoholaPZ::ReportSQLCalcFields(db::Query& dataSet)
{
    const std::int32_t key = dataSet.field(u"ISSERTIF").asInteger();
    if (isNoCertificate(key))
        return;
    const QString certificateTable = QStringLiteral("N_SERTIF");
    const QString secondText = common::GetFieldByIsn(PRECES_DB_, certificateTable, key, QStringLiteral("GNOS2"));
    const QString firstText = common::GetFieldByIsn(PRECES_DB_, certificateTable, key, QStringLiteral("GNOS"));
    dataSet.setCalculated(kCertificateField, QStringLiteral("Sertif :") + firstText + u' ' + secondText);
}

void TPrParvAlkoholaPZ::ChildBand2BeforePrint(bool& printBand)
{
    if (ReportSQL.field(kCertificateField).asString().isEmpty()
        || isNoCertificate(ReportSQL.field(u"ISSERTIF").asInteger()))
        printBand = false;
}

QString TPrParvAlkoholaPZ::dateInWords(QStringView field) const
{
    // A date field's number is its day count; a null one is 0, the empty date.
    return common::DateInWords(ReportSQL.field(field).asFloat());
}

void TPrParvAlkoholaPZ::lbVisrDatumsPrint(QString& value)
{
    value = dateInWords(u"DATUMS");
}

void TPrParvAlkoholaPZ::QRDBText15Print(QString& value)
{
    value = dateInWords(u"DATUMS") + QStringLiteral("/izsniegšanas datums/");
}

void TPrParvAlkoholaPZ::QRDBText16Print(QString& value)
{
    value = dateInWords(u"DATUMS");
}

void TPrParvAlkoholaPZ::QRLabel41Print(QString& value)
{
    value = dateInWords(u"DAT_PIEGADE") + QStringLiteral("/piegādes datums/");
}

// The total arrives as its "0.00" text and is read back the way it was
// written, with the regional decimal comma.
void TPrParvAlkoholaPZ::QRDBText7Print(QString& value)
{
    if (value.isEmpty())
        return;
    bool isNumber = false;
    const double total = regionalSettings().toDouble(value, &isNumber);
    if (!isNumber)
        throw std::invalid_argument("'" + value.toStdString() + "' is not a valid amount");
    value = common::AmountInWords(total, {}, {});
}

void TPrParvAlkoholaPZ::QRLabel31Print(QString& value)
{
    value = QStringLiteral("PVN ") + engine::formatNumber(vatRate()) + QStringLiteral(" %");
}

void TPrParvAlkoholaPZ::QRLabel35Print(QString& value)
{
    if (!IssuerName.isEmpty())
        value = QStringLiteral("Vārds, Uzvārds : ") + IssuerName;
}

}  // namespace reports
