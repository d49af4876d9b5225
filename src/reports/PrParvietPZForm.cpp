#include "PrParvietPZForm.h"

#include "PrParvietPZLayout.h"
#include "WaybillStatements.h"

namespace reports {

namespace {

// The waybill's lines with their goods items, goods group and both
// departments; the waybill key is appended. Lines whose goods item, group or
// department is missing drop out with the joins. The rate is divided by
// 100.00, not 100: a NUMERIC(9,2) divided by an integer keeps two decimals,
// which would print 21.5 % as 21 %.
const QString kReportStatement = QStringLiteral(
    "SELECT O_PARPAV.DATUMS, O_PARPAV.NR_PAVADZ, N_KLPREC.GNOS AS PRECE, O_PARPRC.ISN, O_PARPRC.ISPARVPAV, "
    "N_KLPREC.INOS, O_PARPRC.CENA, O_PARPRC.CENA*(1+O_PARPRC.NODOKLIS/100.00) IEPCENAARPVN, "
    "O_PARPRC.CENA*O_PARPRC.DAUDZUMS IEPSUMMABEZPVN, "
    "O_PARPRC.CENA*O_PARPRC.DAUDZUMS*(1+O_PARPRC.NODOKLIS/100.00) IEPSUMMAARPVN, "
    "O_PARPRC.CENA*O_PARPRC.DAUDZUMS*O_PARPRC.NODOKLIS/100 IEPPVNSUMMA, O_PARPRC.DAUDZUMS, O_PARPRC.PARD_CENA, "
    "O_PARPRC.PARD_CENA*O_PARPRC.DAUDZUMS PARDSUMBEZPVN, O_PARPRC.PARD_CENA*(1+O_PARPRC.NODOKLIS/100.00) PARDCENAARPVN, "
    "O_PARPRC.PARD_CENA*O_PARPRC.DAUDZUMS*(1+O_PARPRC.NODOKLIS/100.00) PARDSUMARPVN, "
    "O_PARPRC.PARD_CENA*O_PARPRC.DAUDZUMS*O_PARPRC.NODOKLIS/100 PARDPVNSUMMA, O_PARPRC.NODOKLIS, "
    "N_KLPREC.ARTIKULS, N_KLPREC.ARTIKULS2, N_KLPREC.NODOKLIS, N_KLPREC.MERVIENIBA, N1.GNOS AS NODALANO, "
    "N2.GNOS AS NODALAUZ, N1.ADRESE AS ADRESENO, N2.ADRESE AS ADRESEUZ, N1.TIRDZNADR AS TIRDZNADRNO, "
    "N2.TIRDZNADR AS TIRDZNADRUZ, N1.REGNR AS REGNRNO, N2.REGNR AS REGNRUZ, N1.NODOKLA_NR AS NODOKLA_NRNO, "
    "N2.NODOKLA_NR AS NODOKLA_NRUZ, N1.BANKNOS AS BANKNOSNO, N2.BANKNOS AS BANKNOSUZ, N1.BANKKODS AS BANKKODSNO, "
    "N2.BANKKODS AS BANKKODSUZ, N1.BANKKONTS AS BANKKONTSNO, N2.BANKKONTS AS BANKKONTSUZ, "
    "N1.LICENCE AS LICENCENO, N2.LICENCE AS LICENCEUZ, O_PARPRC.ISSERTIF, N_KLPREC.DERDIENAS, "
    "N_KLPREC.GLABTEMP, N_KLPREC.SKKASTE, o_parprc.daudzums*N_KLPREC.LITRAZA LITRAZASSUMMA, "
    "O_PARPAV.BEZPVNSUMMA, O_PARPAV.IEPBEZPVNSUMMA, O_PARPAV.IEPBEZPVNSUMMA+O_PARPAV.IEPPVNSUMMA KOPIEPARPVNSUMMA, "
    "O_PARPAV.IEPPVNSUMMA KOPIEPPVNSUMMA, O_PARPAV.KOPSUMMA, O_PARPAV.PVNSUMMA, O_PARPAV.REKVIZITIFROM, "
    "O_PARPRC.ISPRECE, O_PARPAV.ISNODALANO, N_PRGRUP.GNOS GRUPASNOS, O_PARPAV.ISMASINA, N_KLPREC.ARTIKULS6, "
    "O_PARPAV.KOMENTARS, O_PARPAV.IEP_D, O_PARPAV.IEP_K, O_PARPAV.IEPPVN_D, O_PARPAV.IEPPVN_K, "
    "O_PARPAV.DAT_PIEGADE, O_PARPAV.DARIJUMAVEIDS, O_PARPAV.PZ_SERIJA, O_PARPRC.PRECKOMENT "
    "FROM O_PARPAV, O_PARPRC, N_KLPREC, N_DEPART N1, N_DEPART N2, N_PRGRUP "
    "WHERE O_PARPAV.ISN = O_PARPRC.ISPARVPAV AND O_PARPRC.ISPRECE = N_KLPREC.ISN "
    "AND O_PARPAV.ISNODALANO = N1.ISN AND O_PARPAV.ISNODALAUZ = N2.ISN AND N_KLPREC.ISPRGRUPA = N_PRGRUP.ISN "
    "AND O_PARPAV.ISN = ");

const QString kSettings2Statement = QStringLiteral(
    "SELECT ISIPARVPARDVARDI, PARVIEPVARDI, PARVPARDARPVNZIMES, PARVKOMENTPIENOS, PARVIEKS_NR  FROM N_ISI2");

// Prices, sums and quantities print with three decimals.
const QStringView kThreeDecimalFields[] = {
    u"CENA", u"IEPCENAARPVN", u"IEPSUMMABEZPVN", u"IEPSUMMAARPVN", u"IEPPVNSUMMA", u"DAUDZUMS", u"PARD_CENA",
    u"PARDSUMBEZPVN", u"PARDCENAARPVN", u"PARDSUMARPVN", u"PARDPVNSUMMA", u"BEZPVNSUMMA", u"IEPBEZPVNSUMMA",
    u"KOPIEPARPVNSUMMA", u"KOPIEPPVNSUMMA", u"KOPSUMMA", u"PVNSUMMA", u"Piecenojums",
};

// A text field without a size of its own holds 20 characters.
constexpr int kDefaultTextSize = 20;

}  // namespace

TPrParvietPZ::TPrParvietPZ(db::Connection& precesDb, VatRateSource vatRate)
    : WaybillForm(std::move(vatRate)),
      PRECES_DB(precesDb),
      ReportSQL(precesDb),
      N_ISI(precesDb, QStringLiteral("SELECT * FROM N_ISI"))
{
    parvietpz::buildLayout(QuickRep1);
    declareReportFields();
    QuickRep1.setDataSet(&reportData_);
    QuickRep1.setBeforePrint([this](engine::Report&, bool&) { QuickRep1BeforePrint(); });
    QuickRep1.setAfterPrint([this](engine::Report&) { QuickRep1AfterPrint(); });
    bindHandlers();
}

void TPrParvietPZ::declareReportFields()
{
    ReportSQL.addCalculatedField(QStringLiteral("IepakSkaitsSTR"), db::Type::Text, kDefaultTextSize);
    ReportSQL.addCalculatedField(QStringLiteral("Piecenojums"), db::Type::Double);
    ReportSQL.addCalculatedField(QStringLiteral("shSoferis"), db::Type::Text, 300);
    ReportSQL.addCalculatedField(QStringLiteral("DerigsLidz"), db::Type::Text, kDefaultTextSize);
    ReportSQL.addCalculatedField(QStringLiteral("PreceUnSertifikats"), db::Type::Text, 200);
    ReportSQL.addCalculatedField(QStringLiteral("IepakSkaits"), db::Type::Double);
    ReportSQL.setOnCalcFields([this](db::Query& line) { ReportSQLCalcFields(line); });
    for (QStringView field : kThreeDecimalFields)
        ReportSQL.setDisplayFormat(field, QStringLiteral("#0.000"));
}

void TPrParvietPZ::bindHandlers()
{
    bindPrint(*this, QStringLiteral("QRDBText1"), &TPrParvietPZ::QRDBText1Print);
    bindPrint(*this, QStringLiteral("QRDBText3"), &TPrParvietPZ::QRDBText3Print);
    bindPrint(*this, QStringLiteral("SanNodala1"), &TPrParvietPZ::SanNodala1Print);
    bindPrint(*this, QStringLiteral("QRLabel16"), &TPrParvietPZ::QRLabel16Print);
    bindPrint(*this, QStringLiteral("DTDerigsLidz"), &TPrParvietPZ::DTDerigsLidzPrint);
    bindPrint(*this, QStringLiteral("QRLabel3"), &TPrParvietPZ::QRLabel3Print);
    bindPrint(*this, QStringLiteral("shSummaKonti"), &TPrParvietPZ::shSummaKontiPrint);
    bindPrint(*this, QStringLiteral("shPVNKonti"), &TPrParvietPZ::shPVNKontiPrint);
    bindPrint(*this, QStringLiteral("lbPVN21"), &TPrParvietPZ::lbPVN21Print);
    bindPrint(*this, QStringLiteral("DatVardIzsniedza"), &TPrParvietPZ::DatVardIzsniedzaPrint);
    bindPrint(*this, QStringLiteral("shISIORGNOS"), &TPrParvietPZ::shISIORGNOSPrint);
    bindPrint(*this, QStringLiteral("QRLabel2"), &TPrParvietPZ::QRLabel2Print);
}

engine::Label& TPrParvietPZ::label(const QString& name) const
{
    return QuickRep1.element<engine::Label>(name);
}

// Every print starts from the design layout, so that a setting turned back
// (a width override, the one-block header form) is undone on the next print
// instead of staying in force for the rest of the program's life.
void TPrParvietPZ::QuickRep1BeforePrint()
{
    parvietpz::restoreDesign(QuickRep1);
    db::Query settings2(PRECES_DB, kSettings2Statement);  // 1: lives until step 18
    settings2.open();
    N_ISI.close();  // 2: each print sees the current settings
    N_ISI.open();
    ShowLineComments = false;  // 3
    setBandHeights();          // 4
    openReportSql();           // 5
    setTitleNumberAndDate();   // 6
    setNameColumnCharset();    // 7
    setSenderAndReceiver();    // 8
    setEndText();              // 9
    overrideColumnWidths();    // 10
    setNameCaption(settings2); // 11
    showDriverLine();          // 12
    applyOneBlockHeader();     // 13
    placeColumns();            // 14
    setTotalsBlock(settings2); // 15
    setSalePriceFormat(settings2);  // 16
    setInternalNumber(settings2);   // 17
}  // 18: the second settings query is freed

// The key is written into the statement; no sort clause, so the lines come
// in the order the database returns them. A failed open is tried once more.
void TPrParvietPZ::openReportSql()
{
    const QString statement = kReportStatement + QString::number(WaybillIsn) + u' ';
    try {
        ReportSQL.setSql(statement);
        ReportSQL.open();
    } catch (const std::exception&) {
        ReportSQL.setSql(statement);
        ReportSQL.open();
    }
}

// Committing ends the transaction of every dataset on PRECES_DB, ReportSQL,
// N_ISI and the operator window's department lists among them.
void TPrParvietPZ::QuickRep1AfterPrint()
{
    blockWaybill(PRECES_DB, WaybillIsn);
    if (PRECES_DB.transaction().isActive())
        PRECES_DB.transaction().commit();
}

engine::PrintResult TPrParvietPZ::printWaybill(std::int32_t waybillIsn, int copies, engine::OutputDevice& device)
{
    WaybillIsn = waybillIsn;
    QuickRep1.page().orientation = QPageLayout::Portrait;
    QuickRep1.printerSettings().copies = copies;
    return QuickRep1.print(device);
}

}  // namespace reports
