#include "PrParvAlkoholaPZLayout.h"

#include <cmath>
#include <span>

namespace reports {

namespace {

using engine::Alignment;
using engine::BandKind;

constexpr Alignment L = Alignment::Left;
constexpr Alignment R = Alignment::Right;
constexpr Alignment C = Alignment::Center;

enum class Kind {
    Label,         // shows `shows` as its caption
    Field,         // field `shows` of ReportSQL
    UnboundField,  // names field `shows` but no dataset: its text comes from its handler
    Expression,    // the sum expression `shows`
    Shape,         // a rectangle outlined with a 2 px pen
};

// fits text: AutoSize; fixed: a width of its own, wrapping at spaces;
// grows down: fixed and AutoStretch.
enum class Sizing { FitsText, Fixed, GrowsDown };

// Points 0: the report font.
struct FontStyle {
    qreal points = 0;
    bool bold = false;
    bool italic = false;
};

constexpr FontStyle kReportFont{};
constexpr FontStyle kBold{10, true};
constexpr FontStyle kTitle{12, true};
constexpr FontStyle kWords{10, true, true};
constexpr FontStyle kColumnCaption{8, true};
constexpr FontStyle kLineText{8};
constexpr FontStyle k7pt{7};
constexpr FontStyle k6pt{6};
constexpr FontStyle k8pt{8};
constexpr FontStyle k10pt{10};

// Positions and sizes in millimetres from the band's top-left corner.
struct ElementSpec {
    const char* name;
    Kind kind;
    const char* shows;
    double left, top, width, height;
    Alignment alignment;
    FontStyle font;
    Sizing sizing;
    const char* mask = "";
};

constexpr ElementSpec kPageHeader[] = {
    {"QRLabel1", Kind::Label, "Pavadzīme", 127.5, 2.1, 22.5, 5.3, L, kTitle, Sizing::FitsText},
    {"QRDBText13", Kind::Field, "PZ_SERIJA", 151.1, 2.6, 13.8, 4.5, L, kReportFont, Sizing::Fixed},
    {"QRDBText6", Kind::Field, "NR_PAVADZ", 166.7, 2.6, 20.6, 4.5, L, kReportFont, Sizing::FitsText},
    {"lbVisrDatums", Kind::Label, "", 2.1, 28.3, 187.6, 4.5, C, kReportFont, Sizing::Fixed},
};

// The sending department on top (two banks, its addresses and licence grow),
// the receiving one below (one bank, addresses on one line), the driver last.
constexpr ElementSpec kTitleBand[] = {
    {"QRLabel13", Kind::Label, "Nosūtītājs", 1.9, 0.8, 16.4, 4.5, L, kBold, Sizing::FitsText},
    {"QRLabel14", Kind::Label, "Nosaukums:", 1.9, 6.1, 19.6, 5.3, L, kReportFont, Sizing::FitsText},
    {"QRDBText20", Kind::Field, "NOS_GNOS", 30.7, 6.6, 67.7, 4.5, L, kReportFont, Sizing::Fixed},
    {"QRDBText22", Kind::Field, "NOS_BANKNOS", 99.5, 6.6, 63.8, 4.5, L, kReportFont, Sizing::Fixed},
    {"QRDBText23", Kind::Field, "NOS_BANKKODS", 166.4, 6.6, 22.2, 4.5, L, kReportFont, Sizing::Fixed},
    {"QRLabel15", Kind::Label, "Reģ. numurs:", 1.9, 10.1, 20.9, 5.3, L, kReportFont, Sizing::FitsText},
    {"QRDBText25", Kind::Field, "NOS_REGNR", 30.7, 10.6, 67.7, 4.5, L, kReportFont, Sizing::Fixed},
    {"QRLabel22", Kind::Label, "Konta numurs:", 99.5, 11.4, 22.8, 4.5, L, kReportFont, Sizing::FitsText},
    {"QRDBText24", Kind::Field, "NOS_BANKKONTS", 124.1, 11.4, 64.6, 4.5, L, kReportFont, Sizing::Fixed},
    {"QRLabel16", Kind::Label, "Nod. maks. kods:", 1.9, 14.3, 27.5, 5.3, L, kReportFont, Sizing::FitsText},
    {"QRDBText26", Kind::Field, "NOS_NODOKLA_NR", 30.7, 14.8, 67.7, 4.5, L, kReportFont, Sizing::Fixed},
    {"QRDBText11", Kind::Field, "NOS_BANKNOS2", 99.5, 16.4, 65.6, 4.5, L, kReportFont, Sizing::Fixed},
    {"QRDBText40", Kind::Field, "NOS_BANKKODS2", 166.4, 16.4, 22.2, 4.5, L, kReportFont, Sizing::Fixed},
    {"QRLabel17", Kind::Label, "Juridiskā adrese:", 1.9, 19.8, 26.2, 4.5, L, kReportFont, Sizing::FitsText},
    {"QRDBText28", Kind::Field, "NOS_ADRESE", 30.7, 20.4, 67.7, 3.4, L, k7pt, Sizing::GrowsDown},
    {"QRLabel50", Kind::Label, "Konta numurs:", 99.5, 21.2, 22.8, 4.5, L, kReportFont, Sizing::FitsText},
    {"QRDBText41", Kind::Field, "NOS_BANKKONTS2", 124.1, 21.2, 64.6, 4.5, L, kReportFont, Sizing::Fixed},
    {"QRLabel18", Kind::Label, "Noliktavas adrese:", 1.6, 25.1, 28.3, 4.5, L, kReportFont, Sizing::FitsText},
    {"QRDBText27", Kind::Field, "NOS_TIRDZNADR", 30.7, 25.1, 67.7, 4.5, L, kReportFont, Sizing::GrowsDown},
    {"QRLabel19", Kind::Label, "Licence:", 99.5, 25.7, 13.2, 4.5, L, kReportFont, Sizing::FitsText},
    {"QRDBText21", Kind::Field, "LICENCE_NOSUT", 113.5, 25.7, 75.1, 4.5, L, kReportFont, Sizing::GrowsDown},
    {"QRLabel3", Kind::Label, "Saņēmējs", 1.9, 33.6, 16.9, 4.5, L, kBold, Sizing::FitsText},
    {"QRLabel4", Kind::Label, "Nosaukums:", 1.9, 38.4, 19.6, 4.5, L, kReportFont, Sizing::FitsText},
    {"QRDBText30", Kind::Field, "KLIENTS", 31.0, 38.4, 67.7, 4.5, L, kReportFont, Sizing::Fixed},
    {"QRLabel10", Kind::Label, "Banka:", 99.5, 38.4, 11.1, 4.5, L, kReportFont, Sizing::FitsText},
    {"QRDBText35", Kind::Field, "BANKNOS", 124.9, 38.4, 63.8, 4.5, L, kReportFont, Sizing::Fixed},
    {"QRLabel5", Kind::Label, "Reģ. numurs:", 1.9, 42.9, 20.9, 4.5, L, kReportFont, Sizing::FitsText},
    {"QRDBText31", Kind::Field, "REGNR", 31.0, 42.9, 67.7, 4.5, L, kReportFont, Sizing::Fixed},
    {"QRLabel11", Kind::Label, "Bankas kods:", 99.5, 42.9, 21.4, 4.5, L, kReportFont, Sizing::FitsText},
    {"QRDBText36", Kind::Field, "BANKKODS", 124.9, 42.9, 63.8, 4.5, L, kReportFont, Sizing::Fixed},
    {"QRLabel6", Kind::Label, "Nod. maks. kods:", 1.9, 47.6, 27.5, 4.5, L, kReportFont, Sizing::FitsText},
    {"QRDBText32", Kind::Field, "NODOKLA_NR", 31.0, 47.6, 67.7, 4.5, L, kReportFont, Sizing::Fixed},
    {"QRLabel12", Kind::Label, "Konta numurs:", 99.5, 47.6, 22.8, 4.5, L, kReportFont, Sizing::FitsText},
    {"QRDBText37", Kind::Field, "BANKKONTS", 124.9, 47.6, 63.8, 4.5, L, kReportFont, Sizing::Fixed},
    {"QRLabel9", Kind::Label, "Licence:", 99.5, 51.9, 13.2, 4.5, L, kReportFont, Sizing::FitsText},
    {"QRDBText12", Kind::Field, "LICENCE", 113.5, 51.9, 75.1, 4.5, L, kReportFont, Sizing::GrowsDown},
    {"QRLabel7", Kind::Label, "Juridiskā adrese:", 1.9, 52.1, 26.2, 4.5, L, kReportFont, Sizing::FitsText},
    {"QRDBText33", Kind::Field, "ADRESE", 31.0, 52.7, 67.7, 3.4, L, k7pt, Sizing::Fixed},
    {"QRLabel8", Kind::Label, "Noliktavas adrese:", 1.9, 56.9, 28.3, 4.5, L, kReportFont, Sizing::FitsText},
    {"QRDBText34", Kind::Field, "TIRDZNADR", 31.0, 56.9, 67.7, 4.5, L, kReportFont, Sizing::Fixed},
    {"QRLabel2", Kind::Label, "Transportlīdzekļa vadītājs:", 1.1, 62.4, 39.7, 4.5, L, kReportFont,
     Sizing::FitsText},
    {"shSoferis", Kind::Label, "", 42.1, 62.4, 146.3, 4.5, L, kReportFont, Sizing::GrowsDown},
};

// One caption per column of the lines table; "Tilp.v." keeps its width.
constexpr ElementSpec kColumnHeader[] = {
    {"QRLabel20", Kind::Label, "Artikuls", 1.3, 0.3, 11.9, 4.5, L, kColumnCaption, Sizing::FitsText},
    {"QRLabel23", Kind::Label, "Nosaukums/Sertifikāts", 25.4, 0.3, 33.6, 4.5, L, kColumnCaption, Sizing::FitsText},
    {"QRLabel24", Kind::Label, "Mērv.", 96.0, 0.3, 8.5, 4.5, L, kColumnCaption, Sizing::FitsText},
    {"QRLabel45", Kind::Label, "Iepak.", 104.8, 0.3, 9.0, 4.5, L, kColumnCaption, Sizing::FitsText},
    {"QRLabel29", Kind::Label, "Daudz.", 114.8, 0.3, 9.8, 4.5, L, kColumnCaption, Sizing::FitsText},
    {"QRLabel25", Kind::Label, "Cena", 125.9, 0.3, 7.7, 4.5, L, kColumnCaption, Sizing::FitsText},
    {"QRLabel26", Kind::Label, "Summa", 136.0, 0.3, 11.4, 4.5, L, kColumnCaption, Sizing::FitsText},
    {"QRLabel27", Kind::Label, "V.cena", 148.4, 0.5, 10.1, 4.0, L, kColumnCaption, Sizing::FitsText},
    {"QRLabel28", Kind::Label, "V. sum.", 159.3, 0.5, 11.4, 4.0, L, kColumnCaption, Sizing::FitsText},
    {"QRLabel46", Kind::Label, "Tilp.v.", 170.9, 0.5, 9.0, 4.0, L, kColumnCaption, Sizing::Fixed},
    {"QRLabel47", Kind::Label, "Alk.%", 181.0, 0.5, 8.2, 4.0, L, kColumnCaption, Sizing::FitsText},
};

// Quantity, package size and alcohol percentage as whole numbers; the prices
// without a mask of their own use their fields' display formats.
constexpr ElementSpec kDetail[] = {
    {"QRDBText18", Kind::Field, "ARTIKULS", 1.3, 0.3, 23.3, 4.0, L, kLineText, Sizing::GrowsDown},
    {"QRDBText1", Kind::Field, "PRECE", 25.4, 0.0, 69.6, 4.0, L, kLineText, Sizing::GrowsDown},
    {"QRDBText3", Kind::Field, "MERVIENIBA", 96.0, 0.3, 8.5, 4.0, L, kLineText, Sizing::Fixed},
    {"QRDBText17", Kind::Field, "SKKASTE", 104.8, 0.3, 9.0, 4.0, R, kLineText, Sizing::Fixed, "#0"},
    {"QRDBText2", Kind::Field, "DAUDZUMS", 114.8, 0.3, 9.0, 4.0, R, kLineText, Sizing::Fixed, "#0"},
    {"QRDBText4", Kind::Field, "CENA", 124.4, 0.3, 10.8, 4.0, R, kLineText, Sizing::Fixed},
    {"QRDBText38", Kind::Field, "SUMMA", 136.0, 0.3, 10.8, 4.0, R, kLineText, Sizing::Fixed, "#0.00"},
    {"QRDBText5", Kind::Field, "PARD_CENA", 148.4, 0.0, 10.1, 4.5, R, kLineText, Sizing::Fixed},
    {"QRDBText39", Kind::Field, "PARD_SUMMA", 159.3, 0.3, 11.4, 4.0, R, kLineText, Sizing::Fixed, "#0.00"},
    {"QRDBText19", Kind::Field, "LITRAZA", 170.9, 0.3, 9.3, 4.0, R, kLineText, Sizing::Fixed, "#0.00"},
    {"QRDBText29", Kind::Field, "ALKOHOLS", 181.8, 0.3, 6.6, 4.0, R, kLineText, Sizing::Fixed, "#0"},
};

constexpr ElementSpec kCertificate[] = {
    {"QRDBText14", Kind::Field, "Sertifikats", 1.9, 0.3, 172.5, 2.9, L, k6pt, Sizing::GrowsDown},
};

// The totals beside the captions are the waybill's stored ones; QRExpr2,
// under the "V. sum." column, adds up the printed lines.
constexpr ElementSpec kSummary[] = {
    {"QRLabel30", Kind::Label, "Bez PVN:", 91.3, 0.8, 15.6, 5.3, L, k10pt, Sizing::FitsText},
    {"QRDBText10", Kind::Field, "IEPBEZPVNSUMMA", 110.1, 0.8, 20.6, 5.3, R, k10pt, Sizing::Fixed, "#0.00"},
    {"QRExpr2", Kind::Expression, "SUM(ReportSQL.PARD_SUMMA)", 155.0, 0.8, 15.1, 4.5, R, k10pt, Sizing::Fixed,
     "#0.00"},
    {"QRLabel31", Kind::Label, "PVN 18%:", 91.3, 5.6, 16.4, 5.3, L, k10pt, Sizing::FitsText},
    {"QRDBText9", Kind::Field, "IEPPVNSUMMA", 110.1, 5.6, 20.6, 5.3, R, k10pt, Sizing::Fixed, "#0.00"},
    {"QRShape1", Kind::Shape, "", 90.0, 10.8, 42.1, 0.5, L, kReportFont, Sizing::Fixed},
    {"QRLabel32", Kind::Label, "SUMMA:", 91.3, 11.9, 14.3, 4.5, L, k10pt, Sizing::FitsText},
    {"QRDBText8", Kind::Field, "KOPSUMMA", 110.1, 11.9, 20.6, 4.5, R, k10pt, Sizing::Fixed, "#0.00"},
};

// The issuer's block on the left, the receiver's on the right.
constexpr ElementSpec kPaymentAndSignatures[] = {
    {"QRLabel33", Kind::Label, "Apmaksai: EUR", 0.5, 1.3, 24.9, 4.5, L, kReportFont, Sizing::FitsText},
    {"QRDBText7", Kind::Field, "KOPSUMMA", 26.2, 1.3, 161.7, 4.5, L, kWords, Sizing::Fixed},
    {"QRLabel34", Kind::Label, "Izsniedza:", 4.2, 9.3, 17.2, 4.5, L, kBold, Sizing::FitsText},
    {"QRLabel37", Kind::Label, "Saņēma:", 101.6, 9.3, 15.3, 4.5, L, kBold, Sizing::FitsText},
    {"QRLabel35", Kind::Label, "Vārds, Uzvārds_________________________________", 4.2, 14.3, 84.7, 5.3, L,
     kReportFont, Sizing::FitsText},
    {"QRLabel38", Kind::Label, "Vārds, Uzvārds_________________________________", 101.6, 14.0, 84.7, 5.3, L,
     kReportFont, Sizing::FitsText},
    {"QRDBText15", Kind::UnboundField, "DATUMS", 4.2, 19.3, 14.6, 5.3, L, kReportFont, Sizing::FitsText},
    {"QRDBText16", Kind::UnboundField, "DATUMS", 101.6, 18.5, 14.6, 4.5, L, kReportFont, Sizing::FitsText},
    {"QRLabel39", Kind::Label, "Saņēma____________________ Datums :____________", 101.6, 22.5, 87.3, 5.3, L,
     kReportFont, Sizing::FitsText},
    {"QRLabel36", Kind::Label, "Izsniedza______________________________________", 4.2, 23.3, 85.2, 5.3, L,
     kReportFont, Sizing::FitsText},
    {"QRLabel43", Kind::Label, "(paraksts   Z.V)", 125.4, 27.8, 17.7, 3.4, L, k7pt, Sizing::FitsText},
    {"QRLabel44", Kind::Label, "(paraksts   Z.V)", 61.4, 28.6, 17.7, 3.7, L, k7pt, Sizing::FitsText},
    {"QRLabel41", Kind::Label, "", 0.8, 29.9, 9.8, 4.0, L, k8pt, Sizing::FitsText},
};

struct BandSpec {
    const char* name;
    BandKind kind;
    const char* parent;  // for a child band, printed after each printing of its parent
    double height;       // millimetres
    bool frameTop;
    bool frameBottom;
    std::span<const ElementSpec> elements;
};

constexpr BandSpec kBands[] = {
    {"QRBand1", BandKind::PageHeader, nullptr, 34.1, false, false, kPageHeader},
    {"QRBand2", BandKind::Title, nullptr, 67.7, false, false, kTitleBand},
    {"QRBand3", BandKind::ColumnHeader, nullptr, 5.3, true, true, kColumnHeader},
    {"QRBand4", BandKind::Detail, nullptr, 3.7, false, false, kDetail},
    {"ChildBand2", BandKind::Child, "QRBand4", 3.7, false, false, kCertificate},
    {"QRBand5", BandKind::Summary, nullptr, 16.9, true, false, kSummary},
    {"ChildBand1", BandKind::Child, "QRBand5", 34.9, false, false, kPaymentAndSignatures},
};

constexpr qreal kShapePenWidth = 2;  // report pixels

// The layout was drawn in whole report pixels and its millimetres are those
// pixels rounded to 0.1 mm, so rounding back gives the drawn positions.
qreal px(double mm)
{
    return std::round(engine::mmToPixels(mm));
}

QRectF pxRect(const ElementSpec& entry)
{
    return QRectF(px(entry.left), px(entry.top), px(entry.width), px(entry.height));
}

engine::FontSpec fontOf(const FontStyle& style, const engine::FontSpec& reportFont)
{
    engine::FontSpec font = reportFont;
    font.pointSize = style.points;
    font.bold = style.bold;
    font.italic = style.italic;
    return font;
}

engine::TextElement& addTextElement(engine::Band& band, const ElementSpec& entry)
{
    const QString name = QString::fromLatin1(entry.name);
    const QString shows = QString::fromUtf8(entry.shows);
    const QString mask = QString::fromLatin1(entry.mask);
    switch (entry.kind) {
    case Kind::Label: return band.addLabel(name, shows, pxRect(entry));
    case Kind::Field:
    case Kind::UnboundField: {
        engine::FieldText& field = band.addFieldText(name, shows, pxRect(entry));
        field.setHasDataSet(entry.kind == Kind::Field);
        field.setMask(mask);
        return field;
    }
    case Kind::Expression: {
        engine::Expression& expression = band.addExpression(name, shows, pxRect(entry));
        expression.setMask(mask);
        return expression;
    }
    case Kind::Shape: break;
    }
    throw engine::EngineError(name + QStringLiteral(" is not a text element"));
}

void addElement(engine::Band& band, const ElementSpec& entry)
{
    if (entry.kind == Kind::Shape) {
        band.addShape(QString::fromLatin1(entry.name), pxRect(entry)).setPenWidth(kShapePenWidth);
        return;
    }
    engine::TextElement& element = addTextElement(band, entry);
    element.setAlignment(entry.alignment);
    element.setAutoSize(entry.sizing == Sizing::FitsText);
    element.setAutoStretch(entry.sizing == Sizing::GrowsDown);
    if (entry.font.points > 0)
        element.setFont(fontOf(entry.font, band.report().font()));
}

engine::Band& addBand(engine::Report& report, const BandSpec& entry)
{
    const QString name = QString::fromLatin1(entry.name);
    engine::Band& band = entry.parent
        ? report.addChildBand(name, report.band(QString::fromLatin1(entry.parent)), px(entry.height))
        : report.addBand(entry.kind, name, px(entry.height));
    band.frame() = engine::Frame{entry.frameTop, entry.frameBottom, 1};
    return band;
}

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

    for (const BandSpec& bandSpec : kBands) {
        engine::Band& band = addBand(report, bandSpec);
        for (const ElementSpec& element : bandSpec.elements)
            addElement(band, element);
    }
}

}  // namespace reports
