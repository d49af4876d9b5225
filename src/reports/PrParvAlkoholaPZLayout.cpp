#include "PrParvAlkoholaPZLayout.h"

#include "LayoutDesign.h"

#include <span>

namespace reports {

namespace {

using engine::BandKind;
using engine::FontDesign;
using enum engine::ElementKind;
using enum engine::Sizing;
using enum engine::FontStyle;
constexpr auto L = engine::Alignment::Left;
constexpr auto R = engine::Alignment::Right;
constexpr auto C = engine::Alignment::Center;

// Positions, sizes and band heights in millimetres from the band's top-left
// corner: the layout was drawn in whole report pixels, and these are those
// pixels rounded to 0.1 mm.
constexpr engine::LayoutUnit kUnit = engine::LayoutUnit::Millimetres;

constexpr FontDesign kReportFont{};
constexpr FontDesign kBold{10, Bold};
constexpr FontDesign kTitle{12, Bold};
constexpr FontDesign kWords{10, BoldItalic};
constexpr FontDesign kColumnCaption{8, Bold};
constexpr FontDesign kLineText{8};
constexpr FontDesign k7pt{7};
constexpr FontDesign k6pt{6};
constexpr FontDesign k8pt{8};
constexpr FontDesign k10pt{10};

constexpr engine::ElementDesign kPageHeader[] = {
    {Label, u"QRLabel1", 127.5, 2.1, 22.5, 5.3, kTitle, L, FitsText, u"Pavadzīme"},
    {FieldText, u"QRDBText13", 151.1, 2.6, 13.8, 4.5, kReportFont, L, Fixed, u"PZ_SERIJA"},
    {FieldText, u"QRDBText6", 166.7, 2.6, 20.6, 4.5, kReportFont, L, FitsText, u"NR_PAVADZ"},
    {Label, u"lbVisrDatums", 2.1, 28.3, 187.6, 4.5, kReportFont, C, Fixed},
};

// The sending department on top (two banks, its addresses and licence grow),
// the receiving one below (one bank, addresses on one line), the driver last.
constexpr engine::ElementDesign kTitleBand[] = {
    {Label, u"QRLabel13", 1.9, 0.8, 16.4, 4.5, kBold, L, FitsText, u"Nosūtītājs"},
    {Label, u"QRLabel14", 1.9, 6.1, 19.6, 5.3, kReportFont, L, FitsText, u"Nosaukums:"},
    {FieldText, u"QRDBText20", 30.7, 6.6, 67.7, 4.5, kReportFont, L, Fixed, u"NOS_GNOS"},
    {FieldText, u"QRDBText22", 99.5, 6.6, 63.8, 4.5, kReportFont, L, Fixed, u"NOS_BANKNOS"},
    {FieldText, u"QRDBText23", 166.4, 6.6, 22.2, 4.5, kReportFont, L, Fixed, u"NOS_BANKKODS"},
    {Label, u"QRLabel15", 1.9, 10.1, 20.9, 5.3, kReportFont, L, FitsText, u"Reģ. numurs:"},
    {FieldText, u"QRDBText25", 30.7, 10.6, 67.7, 4.5, kReportFont, L, Fixed, u"NOS_REGNR"},
    {Label, u"QRLabel22", 99.5, 11.4, 22.8, 4.5, kReportFont, L, FitsText, u"Konta numurs:"},
    {FieldText, u"QRDBText24", 124.1, 11.4, 64.6, 4.5, kReportFont, L, Fixed, u"NOS_BANKKONTS"},
    {Label, u"QRLabel16", 1.9, 14.3, 27.5, 5.3, kReportFont, L, FitsText, u"Nod. maks. kods:"},
    {FieldText, u"QRDBText26", 30.7, 14.8, 67.7, 4.5, kReportFont, L, Fixed, u"NOS_NODOKLA_NR"},
    {FieldText, u"QRDBText11", 99.5, 16.4, 65.6, 4.5, kReportFont, L, Fixed, u"NOS_BANKNOS2"},
    {FieldText, u"QRDBText40", 166.4, 16.4, 22.2, 4.5, kReportFont, L, Fixed, u"NOS_BANKKODS2"},
    {Label, u"QRLabel17", 1.9, 19.8, 26.2, 4.5, kReportFont, L, FitsText, u"Juridiskā adrese:"},
    {FieldText, u"QRDBText28", 30.7, 20.4, 67.7, 3.4, k7pt, L, GrowsDown, u"NOS_ADRESE"},
    {Label, u"QRLabel50", 99.5, 21.2, 22.8, 4.5, kReportFont, L, FitsText, u"Konta numurs:"},
    {FieldText, u"QRDBText41", 124.1, 21.2, 64.6, 4.5, kReportFont, L, Fixed, u"NOS_BANKKONTS2"},
    {Label, u"QRLabel18", 1.6, 25.1, 28.3, 4.5, kReportFont, L, FitsText, u"Noliktavas adrese:"},
    {FieldText, u"QRDBText27", 30.7, 25.1, 67.7, 4.5, kReportFont, L, GrowsDown, u"NOS_TIRDZNADR"},
    {Label, u"QRLabel19", 99.5, 25.7, 13.2, 4.5, kReportFont, L, FitsText, u"Licence:"},
    {FieldText, u"QRDBText21", 113.5, 25.7, 75.1, 4.5, kReportFont, L, GrowsDown, u"LICENCE_NOSUT"},
    {Label, u"QRLabel3", 1.9, 33.6, 16.9, 4.5, kBold, L, FitsText, u"Saņēmējs"},
    {Label, u"QRLabel4", 1.9, 38.4, 19.6, 4.5, kReportFont, L, FitsText, u"Nosaukums:"},
    {FieldText, u"QRDBText30", 31.0, 38.4, 67.7, 4.5, kReportFont, L, Fixed, u"KLIENTS"},
    {Label, u"QRLabel10", 99.5, 38.4, 11.1, 4.5, kReportFont, L, FitsText, u"Banka:"},
    {FieldText, u"QRDBText35", 124.9, 38.4, 63.8, 4.5, kReportFont, L, Fixed, u"BANKNOS"},
    {Label, u"QRLabel5", 1.9, 42.9, 20.9, 4.5, kReportFont, L, FitsText, u"Reģ. numurs:"},
    {FieldText, u"QRDBText31", 31.0, 42.9, 67.7, 4.5, kReportFont, L, Fixed, u"REGNR"},
    {Label, u"QRLabel11", 99.5, 42.9, 21.4, 4.5, kReportFont, L, FitsText, u"Bankas kods:"},
    {FieldText, u"QRDBText36", 124.9, 42.9, 63.8, 4.5, kReportFont, L, Fixed, u"BANKKODS"},
    {Label, u"QRLabel6", 1.9, 47.6, 27.5, 4.5, kReportFont, L, FitsText, u"Nod. maks. kods:"},
    {FieldText, u"QRDBText32", 31.0, 47.6, 67.7, 4.5, kReportFont, L, Fixed, u"NODOKLA_NR"},
    {Label, u"QRLabel12", 99.5, 47.6, 22.8, 4.5, kReportFont, L, FitsText, u"Konta numurs:"},
    {FieldText, u"QRDBText37", 124.9, 47.6, 63.8, 4.5, kReportFont, L, Fixed, u"BANKKONTS"},
    {Label, u"QRLabel9", 99.5, 51.9, 13.2, 4.5, kReportFont, L, FitsText, u"Licence:"},
    {FieldText, u"QRDBText12", 113.5, 51.9, 75.1, 4.5, kReportFont, L, GrowsDown, u"LICENCE"},
    {Label, u"QRLabel7", 1.9, 52.1, 26.2, 4.5, kReportFont, L, FitsText, u"Juridiskā adrese:"},
    {FieldText, u"QRDBText33", 31.0, 52.7, 67.7, 3.4, k7pt, L, Fixed, u"ADRESE"},
    {Label, u"QRLabel8", 1.9, 56.9, 28.3, 4.5, kReportFont, L, FitsText, u"Noliktavas adrese:"},
    {FieldText, u"QRDBText34", 31.0, 56.9, 67.7, 4.5, kReportFont, L, Fixed, u"TIRDZNADR"},
    {Label, u"QRLabel2", 1.1, 62.4, 39.7, 4.5, kReportFont, L, FitsText, u"Transportlīdzekļa vadītājs:"},
    {Label, u"shSoferis", 42.1, 62.4, 146.3, 4.5, kReportFont, L, GrowsDown},
};

// One caption per column of the lines table; "Tilp.v." keeps its width.
constexpr engine::ElementDesign kColumnHeader[] = {
    {Label, u"QRLabel20", 1.3, 0.3, 11.9, 4.5, kColumnCaption, L, FitsText, u"Artikuls"},
    {Label, u"QRLabel23", 25.4, 0.3, 33.6, 4.5, kColumnCaption, L, FitsText, u"Nosaukums/Sertifikāts"},
    {Label, u"QRLabel24", 96.0, 0.3, 8.5, 4.5, kColumnCaption, L, FitsText, u"Mērv."},
    {Label, u"QRLabel45", 104.8, 0.3, 9.0, 4.5, kColumnCaption, L, FitsText, u"Iepak."},
    {Label, u"QRLabel29", 114.8, 0.3, 9.8, 4.5, kColumnCaption, L, FitsText, u"Daudz."},
    {Label, u"QRLabel25", 125.9, 0.3, 7.7, 4.5, kColumnCaption, L, FitsText, u"Cena"},
    {Label, u"QRLabel26", 136.0, 0.3, 11.4, 4.5, kColumnCaption, L, FitsText, u"Summa"},
    {Label, u"QRLabel27", 148.4, 0.5, 10.1, 4.0, kColumnCaption, L, FitsText, u"V.cena"},
    {Label, u"QRLabel28", 159.3, 0.5, 11.4, 4.0, kColumnCaption, L, FitsText, u"V. sum."},
    {Label, u"QRLabel46", 170.9, 0.5, 9.0, 4.0, kColumnCaption, L, Fixed, u"Tilp.v."},
    {Label, u"QRLabel47", 181.0, 0.5, 8.2, 4.0, kColumnCaption, L, FitsText, u"Alk.%"},
};

// Quantity, package size and alcohol percentage as whole numbers; the prices
// without a mask of their own use their fields' display formats.
constexpr engine::ElementDesign kDetail[] = {
    {FieldText, u"QRDBText18", 1.3, 0.3, 23.3, 4.0, kLineText, L, GrowsDown, u"ARTIKULS"},
    {FieldText, u"QRDBText1", 25.4, 0.0, 69.6, 4.0, kLineText, L, GrowsDown, u"PRECE"},
    {FieldText, u"QRDBText3", 96.0, 0.3, 8.5, 4.0, kLineText, L, Fixed, u"MERVIENIBA"},
    {FieldText, u"QRDBText17", 104.8, 0.3, 9.0, 4.0, kLineText, R, Fixed, u"SKKASTE", u"#0"},
    {FieldText, u"QRDBText2", 114.8, 0.3, 9.0, 4.0, kLineText, R, Fixed, u"DAUDZUMS", u"#0"},
    {FieldText, u"QRDBText4", 124.4, 0.3, 10.8, 4.0, kLineText, R, Fixed, u"CENA"},
    {FieldText, u"QRDBText38", 136.0, 0.3, 10.8, 4.0, kLineText, R, Fixed, u"SUMMA", u"#0.00"},
    {FieldText, u"QRDBText5", 148.4, 0.0, 10.1, 4.5, kLineText, R, Fixed, u"PARD_CENA"},
    {FieldText, u"QRDBText39", 159.3, 0.3, 11.4, 4.0, kLineText, R, Fixed, u"PARD_SUMMA", u"#0.00"},
    {FieldText, u"QRDBText19", 170.9, 0.3, 9.3, 4.0, kLineText, R, Fixed, u"LITRAZA", u"#0.00"},
    {FieldText, u"QRDBText29", 181.8, 0.3, 6.6, 4.0, kLineText, R, Fixed, u"ALKOHOLS", u"#0"},
};

constexpr engine::ElementDesign kCertificate[] = {
    {FieldText, u"QRDBText14", 1.9, 0.3, 172.5, 2.9, k6pt, L, GrowsDown, u"Sertifikats"},
};

// The totals beside the captions are the waybill's stored ones; QRExpr2,
// under the "V. sum." column, adds up the printed lines.
constexpr engine::ElementDesign kSummary[] = {
    {Label, u"QRLabel30", 91.3, 0.8, 15.6, 5.3, k10pt, L, FitsText, u"Bez PVN:"},
    {FieldText, u"QRDBText10", 110.1, 0.8, 20.6, 5.3, k10pt, R, Fixed, u"IEPBEZPVNSUMMA", u"#0.00"},
    {Sum, u"QRExpr2", 155.0, 0.8, 15.1, 4.5, k10pt, R, Fixed, u"SUM(ReportSQL.PARD_SUMMA)", u"#0.00"},
    {Label, u"QRLabel31", 91.3, 5.6, 16.4, 5.3, k10pt, L, FitsText, u"PVN 18%:"},
    {FieldText, u"QRDBText9", 110.1, 5.6, 20.6, 5.3, k10pt, R, Fixed, u"IEPPVNSUMMA", u"#0.00"},
    {Shape, u"QRShape1", 90.0, 10.8, 42.1, 0.5, kReportFont, L, Fixed},
    {Label, u"QRLabel32", 91.3, 11.9, 14.3, 4.5, k10pt, L, FitsText, u"SUMMA:"},
    {FieldText, u"QRDBText8", 110.1, 11.9, 20.6, 4.5, k10pt, R, Fixed, u"KOPSUMMA", u"#0.00"},
};

// The issuer's block on the left, the receiver's on the right.
constexpr engine::ElementDesign kPaymentAndSignatures[] = {
    {Label, u"QRLabel33", 0.5, 1.3, 24.9, 4.5, kReportFont, L, FitsText, u"Apmaksai: EUR"},
    {FieldText, u"QRDBText7", 26.2, 1.3, 161.7, 4.5, kWords, L, Fixed, u"KOPSUMMA"},
    {Label, u"QRLabel34", 4.2, 9.3, 17.2, 4.5, kBold, L, FitsText, u"Izsniedza:"},
    {Label, u"QRLabel37", 101.6, 9.3, 15.3, 4.5, kBold, L, FitsText, u"Saņēma:"},
    {Label, u"QRLabel35", 4.2, 14.3, 84.7, 5.3, kReportFont, L, FitsText,
     u"Vārds, Uzvārds_________________________________"},
    {Label, u"QRLabel38", 101.6, 14.0, 84.7, 5.3, kReportFont, L, FitsText,
     u"Vārds, Uzvārds_________________________________"},
    {UnboundFieldText, u"QRDBText15", 4.2, 19.3, 14.6, 5.3, kReportFont, L, FitsText, u"DATUMS"},
    {UnboundFieldText, u"QRDBText16", 101.6, 18.5, 14.6, 4.5, kReportFont, L, FitsText, u"DATUMS"},
    {Label, u"QRLabel39", 101.6, 22.5, 87.3, 5.3, kReportFont, L, FitsText,
     u"Saņēma____________________ Datums :____________"},
    {Label, u"QRLabel36", 4.2, 23.3, 85.2, 5.3, kReportFont, L, FitsText,
     u"Izsniedza______________________________________"},
    {Label, u"QRLabel43", 125.4, 27.8, 17.7, 3.4, k7pt, L, FitsText, u"(paraksts   Z.V)"},
    {Label, u"QRLabel44", 61.4, 28.6, 17.7, 3.7, k7pt, L, FitsText, u"(paraksts   Z.V)"},
    {Label, u"QRLabel41", 0.8, 29.9, 9.8, 4.0, k8pt, L, FitsText},
};

// A band with the elements it carries, in the order they print.
struct BandWithElements {
    engine::BandDesign band;
    std::span<const engine::ElementDesign> elements;
};

constexpr BandWithElements kBands[] = {
    {{BandKind::PageHeader, u"QRBand1", 34.1}, kPageHeader},
    {{BandKind::Title, u"QRBand2", 67.7}, kTitleBand},
    {{BandKind::ColumnHeader, u"QRBand3", 5.3, {true, true, 1}}, kColumnHeader},
    {{BandKind::Detail, u"QRBand4", 3.7}, kDetail},
    {{BandKind::Child, u"ChildBand2", 3.7, {}, u"QRBand4"}, kCertificate},
    {{BandKind::Summary, u"QRBand5", 16.9, {true, false, 1}}, kSummary},
    {{BandKind::Child, u"ChildBand1", 34.9, {}, u"QRBand5"}, kPaymentAndSignatures},
};

}  // namespace

void buildAlcoholWaybillLayout(engine::Report& report)
{
    engine::PageSetup& page = report.page();
    page.paper = QPageSize(QPageSize::A4);
    page.orientation = QPageLayout::Portrait;
    page.marginsMm = QMarginsF(10, 10, 10, 10);
    report.printerSettings() = engine::PrinterSettings{1, engine::OutputBin::Auto};
    report.setTitle({});
    report.setPrintIfEmpty(true);
    report.setFirstPageHeader(true);
    report.setFont(engine::FontSpec{QStringLiteral("Arial"), 10, false, false, engine::kBalticCharset});

    for (const BandWithElements& entry : kBands) {
        engine::Band& band = engine::addBand(report, entry.band, kUnit);
        for (const engine::ElementDesign& element : entry.elements)
            engine::addElement(band, element, kUnit);
    }
}

}  // namespace reports
