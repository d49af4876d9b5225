#include "PrParvietPZLayout.h"

#include <functional>

namespace reports::parvietpz {

namespace {

using engine::ElementDesign;
using engine::ElementKind;
using engine::Sizing;
using enum engine::ElementKind;
using enum engine::Sizing;
using enum engine::FontStyle;
constexpr auto L = engine::Alignment::Left;
constexpr auto R = engine::Alignment::Right;
constexpr auto C = engine::Alignment::Center;

// Positions, sizes and band heights in report pixels from the band's
// top-left corner.
constexpr engine::LayoutUnit kUnit = engine::LayoutUnit::Pixels;

// Elements whose width follows their text have no design width; their
// height is one line of their font.

// Page header: page number and waybill number against the band's right edge.
const ElementDesign kPageHeader[] = {
    {PageNumber, u"QRSysData2", 628, 1, 90, 17, {8, Regular}, R, FitsText, u"Lappuse : ", {}, true},
    {FieldText, u"QRDBText1", 653, 21, 65, 17, {8, Regular}, R, FitsText, u"NR_PAVADZ", {}, true},
    {Label, u"lbIeksNr", 395, 0, 225, 15, {8, Regular}, R, Fixed, u"lbIeksNr"},
};

// Title block. The value labels carry their own names until the preparation
// fills them in.
const ElementDesign kTitle[] = {
    {Label, u"TitleTXT", 9, 4, 200, 17, {10, Regular}, R, GrowsDown, u"TitleTXT"},
    {Label, u"TextNumurs", 214, 2, 123, 20, {12, Bold}, L, GrowsDown, u"TextNumurs"},
    {Label, u"QRLabel4", 344, 4, 129, 17, {10, Regular}, L, FitsText, u"Izrakstīšanas datums:"},
    {Label, u"TextDatums", 477, 2, 236, 20, {12, Bold}, L, GrowsDown, u"TextDatums"},
    {Label, u"NosutGNOS", 0, 25, 0, 19, {11, Bold}, L, FitsText, u"Nosūtītājs :"},
    {Label, u"NosutGNOS1", 152, 25, 560, 19, {11, Bold}, L, GrowsDown, u"NosutGNOS1"},
    {Label, u"NosutJuridAdrese", 0, 41, 0, 17, {10, Regular}, L, FitsText, u"Nosūtītāja jurid.adrese :"},
    {Label, u"NosutJuridAdrese1", 152, 41, 561, 17, {10, Italic}, L, Fixed, u"NosutJuridAdrese1"},
    {Label, u"NosutTirdzAdrese", 0, 59, 0, 17, {10, Regular}, L, FitsText, u"Tirdzn.v.adrese :"},
    {Label, u"NosutTirdzAdrese1", 152, 59, 561, 17, {10, Italic}, L, Fixed, u"NosutTirdzAdrese1"},
    {Label, u"NosutRegNr", 0, 77, 0, 17, {10, Regular}, L, FitsText, u"Reģistr.Nr."},
    {Label, u"NosutRegNr1", 152, 77, 0, 17, {10, Italic}, L, FitsText, u"NosutRegNr1"},
    {Label, u"NosutNodMaksKods", 400, 77, 0, 17, {10, Regular}, L, FitsText, u"PVN maks.kods"},
    {Label, u"NosutNodMaksKods1", 504, 77, 0, 17, {10, Italic}, L, FitsText, u"NosutNodMaksKods1"},
    {Label, u"NosutBanka", 0, 95, 0, 17, {10, Regular}, L, FitsText, u"Banka :"},
    {Label, u"NosutBanka1", 152, 94, 0, 16, {9, Italic}, L, FitsText, u"NosutBanka1"},
    {Label, u"NosutKods", 432, 95, 0, 17, {10, Regular}, L, FitsText, u"Kods"},
    {Label, u"NosutKods1", 467, 95, 0, 16, {9, Italic}, L, FitsText, u"NosutKods1"},
    {Label, u"NosutKonts", 552, 95, 0, 17, {10, Regular}, L, FitsText, u"Konts"},
    {Label, u"NosutKonts1", 590, 97, 0, 14, {8, Italic}, L, FitsText, u"NosutKonts1"},
    {Label, u"NosutNodala", 0, 111, 0, 17, {10, Regular}, L, FitsText, u"Nodaļa/Noliktava :"},
    {FieldText, u"QRDBText3", 152, 110, 0, 17, {10, Italic}, L, FitsText, u"NODALANO"},
    {Label, u"NosutLicence", 0, 127, 0, 17, {10, Regular}, L, FitsText, u"Licence :"},
    {FieldText, u"QRDBText4", 152, 127, 0, 17, {10, Italic}, L, FitsText, u"LICENCENO"},
    {Label, u"SanGNOS", 0, 148, 0, 19, {11, Bold}, L, FitsText, u"Saņēmējs :"},
    {Label, u"SanGNOS1", 152, 148, 561, 19, {11, Bold}, L, GrowsDown, u"SanGNOS1"},
    {Label, u"SanJuridAdrese", 0, 164, 0, 17, {10, Regular}, L, FitsText, u"Piegādes jurid.adrese :"},
    {Label, u"SanJuridAdrese1", 152, 164, 561, 17, {10, Italic}, L, Fixed, u"SanJuridAdrese1"},
    {Label, u"SanTirdzAdrese", 1, 182, 0, 17, {10, Regular}, L, FitsText, u"Tirdzn.v.adrese :"},
    {Label, u"SanTirdzAdrese1", 152, 182, 561, 17, {10, Italic}, L, Fixed, u"SanTirdzAdrese1"},
    {Label, u"SanRegNr", 0, 199, 0, 17, {10, Regular}, L, FitsText, u"Reģistr.Nr."},
    {Label, u"SanRegNr1", 152, 199, 0, 17, {10, Italic}, L, FitsText, u"SanRegNr1"},
    {Label, u"SanNodMaksKods", 400, 199, 0, 17, {10, Regular}, L, FitsText, u"PVN maks.kods"},
    {Label, u"SanNodMaksKods1", 504, 199, 0, 17, {10, Italic}, L, FitsText, u"SanNodMaksKods1"},
    {Label, u"SanBanka", 0, 217, 0, 17, {10, Regular}, L, FitsText, u"Banka :"},
    {Label, u"SanBanka1", 152, 217, 0, 17, {10, Italic}, L, FitsText, u"SanBanka1"},
    {Label, u"SanKods", 432, 217, 0, 17, {10, Regular}, L, FitsText, u"Kods"},
    {Label, u"SanKods1", 467, 217, 0, 17, {10, Italic}, L, FitsText, u"SanKods1"},
    {Label, u"SanKonts", 552, 217, 0, 17, {10, Regular}, L, FitsText, u"Konts"},
    {Label, u"SanKonts1", 590, 219, 0, 14, {8, Italic}, L, FitsText, u"SanKonts1"},
    {Label, u"SanNodala", 0, 233, 0, 17, {10, Regular}, L, FitsText, u"Nodaļa/Noliktava :"},
    {FieldText, u"SanNodala1", 152, 233, 0, 17, {10, Italic}, L, FitsText, u"NODALAUZ"},
    {Label, u"SanLicence", 0, 249, 0, 17, {10, Regular}, L, FitsText, u"Licence :"},
    {FieldText, u"SanLicence1", 152, 249, 0, 17, {10, Italic}, L, FitsText, u"LICENCEUZ"},
    {Label, u"QRLabel16", 1, 268, 0, 17, {10, Regular}, L, FitsText, u"QRLabel16"},
    {Label, u"lbSoferis", 0, 286, 0, 17, {10, Regular}, L, FitsText, u"Šoferis / Autotransports :"},
    {FieldText, u"dbSoferis", 152, 286, 561, 17, {10, Italic}, L, GrowsDown, u"shSoferis"},
};

// Captions are 8 pt bold, values regular, totals 10 pt right-aligned; every
// element stands at top 2 and is moved to its place by the column placement.
constexpr ElementDesign caption(QStringView name, QStringView text, qreal width, qreal height,
                                engine::Alignment alignment, Sizing sizing = Fixed)
{
    return {Label, name, 0, 2, width, height, {8, Bold}, alignment, sizing, text};
}

constexpr ElementDesign value(ElementKind kind, QStringView name, QStringView field, qreal width, qreal height,
                              engine::Alignment alignment, qreal pointSize, Sizing sizing = Fixed)
{
    return {kind, name, 0, 2, width, height, {pointSize, Regular}, alignment, sizing, field};
}

constexpr ElementDesign field(QStringView name, QStringView field, qreal width, qreal height,
                              engine::Alignment alignment, qreal pointSize, Sizing sizing = Fixed)
{
    return value(FieldText, name, field, width, height, alignment, pointSize, sizing);
}

constexpr ElementDesign storedTotal(QStringView name, QStringView field, qreal width)
{
    return {FieldText, name, 0, 2, width, 17, {10, Regular}, R, Fixed, field};
}

constexpr ElementDesign summedTotal(QStringView name, QStringView expression, qreal width)
{
    return {Sum, name, 0, 2, width, 17, {10, Regular}, R, Fixed, expression, u"#0.000"};
}

const ColumnDesign kColumns[] = {
    {u"ISIPARVNRPK", caption(u"HDNrPK", u"Nr. Pēc kārtas", 49, 25, C),
     value(RecordNumber, u"DTNrPK", {}, 41, 15, L, 8), std::nullopt},
    {u"ISIPARVART", caption(u"HDArtikuls", u"Artikuls", 103, 17, L),
     field(u"DTArtikuls", u"ARTIKULS", 103, 16, L, 8), std::nullopt},
    {u"ISIPARV2ARTIKULS", caption(u"HDArtikuls2", u"2. Artikuls", 103, 17, L),
     field(u"DTArtikuls2", u"ARTIKULS2", 103, 15, L, 8), std::nullopt},
    {u"ISIPARV6ARTIKULS", caption(u"HDArtikuls6", u"6. Artikuls", 103, 17, L),
     field(u"DTArtikuls6", u"ARTIKULS6", 103, 15, L, 8), std::nullopt},
    {u"ISIPARVGNOS", caption(u"HDNosaukums", u"Preces nosaukums", 201, 15, L, GrowsDown),
     field(u"DTNosaukums", u"PreceUnSertifikats", 201, 16, L, 9, GrowsDown), std::nullopt},
    {u"ISIPARVINOS", caption(u"HDPrecesInos", u"Preces īsais nosaukums", 148, 17, L),
     field(u"DTPrecesInos", u"INOS", 148, 15, L, 8), std::nullopt},
    {u"ISIPARVMERV", caption(u"HDMervieniba", u"Mērv.", 41, 17, L),
     field(u"DTMervieniba", u"MERVIENIBA", 41, 15, L, 8), std::nullopt},
    {u"ISIPARVKASTES", caption(u"HDIepakSkaits", u"Iepakojumu skaits", 87, 30, C),
     field(u"DTIepakSkaits", u"IepakSkaitsSTR", 87, 17, R, 10),
     summedTotal(u"SUMIepakSkaits", u"SUM(ReportSQL.IepakSkaits)", 87)},
    {u"0", caption(u"HDDaudzums", u"Daudzums", 59, 17, L, FitsText),
     field(u"DTDaudzums", u"DAUDZUMS", 59, 16, R, 9),
     summedTotal(u"SUMDaudzums", u"SUM(ReportSQL.DAUDZUMS)", 59)},
    {u"ISIPARVIEPCBZ", caption(u"HDIepCenaBezPVN", u"Iep.cena bez PVN", 57, 31, C),
     field(u"DTIepCenaBezPVN", u"CENA", 57, 15, R, 8), std::nullopt},
    {u"ISIPARVIEPCAR", caption(u"HDIepCenaArPVN", u"Iep.cena ar PVN", 52, 31, C),
     field(u"DTIepCenaArPVN", u"IEPCENAARPVN", 52, 15, R, 8), std::nullopt},
    {u"ISIPARVIEPSBZ", caption(u"HDIepSumBezPVN", u"Iep.Sum. bez PVN", 62, 31, C),
     field(u"DTIepSumBezPVN", u"IEPSUMMABEZPVN", 62, 15, R, 8),
     storedTotal(u"SUMIepSumBezPVN", u"IEPBEZPVNSUMMA", 62)},
    // The purchase VAT amount has no switch of its own: it follows the
    // purchase sum with VAT.
    {u"ISIPARVIEPSAR", caption(u"HDIepSumArPVN", u"Iep.Sum. ar PVN", 53, 31, C),
     field(u"DTIepSumArPVN", u"IEPSUMMAARPVN", 53, 15, R, 8),
     storedTotal(u"SUMIepSumArPVN", u"KOPIEPARPVNSUMMA", 52)},
    {u"ISIPARVIEPSAR", caption(u"HDIepPVNSumma", u"Iep.PVN summa", 54, 31, C),
     field(u"DTIepPVNSumma", u"IEPPVNSUMMA", 54, 15, R, 8),
     storedTotal(u"SUMIepPVNSumma", u"KOPIEPPVNSUMMA", 52)},
    {u"ISIPARVREALCAR", caption(u"HDPardCenaArPVN", u"Pārd.cena ar PVN", 55, 31, C),
     field(u"DTPardCenaArPVN", u"PARDCENAARPVN", 55, 15, R, 8), std::nullopt},
    {u"ISIPARVREALCBZ", caption(u"HDPardCenaBezPVN", u"Pārd.cena bez PVN", 53, 31, C),
     field(u"DTPardCenaBezPVN", u"PARD_CENA", 52, 15, R, 8), std::nullopt},
    {u"ISIPARVREALSAR", caption(u"HDPardSummaArPVN", u"Pārd.summa ar PVN", 70, 31, C),
     field(u"DTPardSummaArPVN", u"PARDSUMARPVN", 71, 15, R, 8),
     storedTotal(u"SUMPardSummaArPVN", u"KOPSUMMA", 71)},
    {u"ISIPARVREALSBZ", caption(u"HDPardSummaBezPVN", u"Pārd.summa bez PVN", 70, 31, C),
     field(u"DTPardSummaBezPVN", u"PARDSUMBEZPVN", 71, 15, R, 8),
     storedTotal(u"SUMPardSummaBezPVN", u"BEZPVNSUMMA", 71)},
    {u"ISIPARVREALPVN", caption(u"HDPardPVNSumma", u"PVN no pārd.c.", 56, 31, C),
     field(u"DTPardPVNSumma", u"PARDPVNSUMMA", 56, 15, R, 8),
     storedTotal(u"SUMPardPVNSumma", u"PVNSUMMA", 52)},
    {u"ISIPARVLITRAZA", caption(u"HDLitrazasSumma", u"Litr/svara summa", 57, 30, C),
     field(u"DTLitrazasSumma", u"LITRAZASSUMMA", 57, 17, R, 10),
     summedTotal(u"SUMLitrazasSumma", u"SUM(ReportSQL.LITRAZASSUMMA)", 57)},
    {u"ISIPARVUZCENPROC", caption(u"HDPiecenojProc", u"Piecen. proc.", 42, 29, C),
     field(u"DTPiecenojProc", u"Piecenojums", 42, 15, R, 8), std::nullopt},
    {u"ISIPARVDERTERM", caption(u"HDDerigsLidz", u"Derīguma termiņš", 68, 30, C),
     field(u"DTDerigsLidz", u"DerigsLidz", 68, 15, C, 8), std::nullopt},
    {u"ISIPARVTEMPERATURA", caption(u"HDTemperat", u"Uzglab. temp.", 46, 30, C),
     field(u"DTTemperat", u"GLABTEMP", 46, 15, L, 8), std::nullopt},
    {u"ISIPARVPRECGRUP", caption(u"HDPrecesGrupa", u"Preces grupa", 148, 17, L),
     field(u"DTPrecesGrupa", u"GRUPASNOS", 148, 15, L, 8), std::nullopt},
    {u"ISIPARVPVNLIKME", caption(u"HDPVNLikme", u"PVN likme %", 49, 30, C),
     field(u"DTPVNLikme", u"NODOKLIS", 49, 17, R, 9), std::nullopt},
};

// The end of the waybill: free text, totals, accounts, signatures, footers
// and comment. Texts that a print handler replaces carry their own names.
const ElementDesign kEnd[] = {
    {Label, u"BrivTekstsBeigas", 4, 7, 397, 17, {10, Regular}, L, GrowsDown, u"BrivTekstsBeigas"},
    {Label, u"QRLabel3", 576, 17, 139, 13, {7, Regular}, L, Fixed, u"QRLabel3"},
    {Label, u"lbSummaBezPVN", 415, 24, 0, 17, {10, Regular}, L, FitsText, u"Summa bez PVN"},
    {Label, u"lbSumSummaBezPVN", 520, 24, 53, 17, {10, Regular}, R, Fixed, u"lbSumSummaBezPVN"},
    {Label, u"shSummaKonti", 576, 34, 0, 13, {7, Regular}, L, FitsText, u"shSummaKonti"},
    {Label, u"lbPVN21", 415, 45, 0, 17, {10, Regular}, L, FitsText, u"lbPVN21"},
    {Label, u"lbSumPVNSumma", 520, 45, 53, 17, {10, Regular}, R, Fixed, u"lbSumPVNSumma"},
    {Label, u"shPVNKonti", 576, 49, 0, 13, {7, Regular}, L, FitsText, u"shPVNKonti"},
    {Shape, u"QRShape1", 404, 64, 177, 2, {}, L, Fixed, {}},
    {Label, u"lbKopSumma", 415, 69, 0, 17, {10, Bold}, L, FitsText, u"Kopējā summa :"},
    {Label, u"lbSumKopSumma", 520, 69, 53, 17, {10, Regular}, R, Fixed, u"lbSumKopSumma"},
    {Label, u"shSummaVardiem", 4, 84, 709, 17, {10, Bold}, L, GrowsDown, u"shSummaVardiem"},
    {Label, u"QRLabel6", 12, 102, 0, 17, {10, Bold}, L, FitsText, u"Izsniedza :"},
    {Label, u"QRLabel9", 427, 102, 0, 17, {10, Bold}, L, FitsText, u"Pieņēma :"},
    {Label, u"QRLabel5", 12, 126, 0, 17, {10, Regular}, L, FitsText, u"Vārds, uzvārds ____________________________"},
    {Label, u"QRLabel10", 427, 126, 0, 17, {10, Regular}, L, FitsText,
     u"Vārds, uzvārds ____________________________"},
    {Label, u"DatVardIzsniedza", 20, 144, 0, 14, {8, Regular}, L, FitsText, u"DatVardIzsniedza"},
    {Label, u"QRLabel1", 436, 144, 0, 14, {8, Regular}, L, FitsText, u"Datums"},
    {Label, u"QRLabel7", 12, 158, 0, 17, {10, Regular}, L, FitsText, u"Izsniedza  ________________________________"},
    {Label, u"QRLabel11", 427, 158, 0, 17, {10, Regular}, L, FitsText, u"Pieņēma  ________________________________"},
    {Label, u"QRLabel8", 124, 177, 0, 14, {8, Regular}, L, FitsText, u"(paraksts   Z.V)"},
    {Label, u"QRLabel12", 539, 177, 0, 14, {8, Regular}, L, FitsText, u"(paraksts   Z.V)"},
    {Label, u"shISIORGNOS", 0, 196, 0, 17, {10, Regular}, L, FitsText, u"shISIORGNOS", {}, true},
    {Label, u"QRLabel2", 0, 217, 0, 17, {10, Regular}, L, FitsText, u"QRLabel2", {}, true},
    {FieldText, u"QRDBText2", 2, 233, 713, 16, {8, Regular}, L, GrowsDown, u"KOMENTARS"},
};

// In print order; the last is the child band of the summary band.
const engine::BandDesign kBands[] = {
    {engine::BandKind::PageHeader, kPageHeaderBand, 74},
    {engine::BandKind::Title, kTitleBand, 306},
    {engine::BandKind::ColumnHeader, kColumnHeaderBand, 95, {true, true, 2}},
    {engine::BandKind::Detail, kDetailBand, 65},
    {engine::BandKind::Summary, kSummaryBand, 52, {true, true, 1}},
    {engine::BandKind::Child, kEndBand, 252, {true, false, 2}, kSummaryBand},
};

// Every element design with the name of its band, in the order the elements
// print within their bands.
void forEachElement(const std::function<void(QStringView band, const ElementDesign&)>& visit)
{
    for (const ElementDesign& design : kPageHeader)
        visit(kPageHeaderBand, design);
    for (const ElementDesign& design : kTitle)
        visit(kTitleBand, design);
    for (const ColumnDesign& column : kColumns)
        visit(kColumnHeaderBand, column.caption);
    for (const ColumnDesign& column : kColumns)
        visit(kDetailBand, column.value);
    for (const ColumnDesign& column : kColumns)
        if (column.total)
            visit(kSummaryBand, *column.total);
    for (const ElementDesign& design : kEnd)
        visit(kEndBand, design);
}

}  // namespace

void buildLayout(engine::Report& report)
{
    report.page() = engine::PageSetup{};  // A4 portrait, 10 mm margins
    report.printerSettings() = engine::PrinterSettings{1, engine::OutputBin::First};
    report.setTitle(QStringLiteral("PĀRVIETOŠANAS PAVADZĪME"));
    report.setFont(engine::FontSpec{});  // Arial 10 pt
    report.setPrintIfEmpty(false);
    report.setFirstPageHeader(true);
    for (const engine::BandDesign& design : kBands)
        engine::addBand(report, design, kUnit);
    forEachElement([&report](QStringView band, const ElementDesign& design) {
        engine::addElement(report.band(band.toString()), design, kUnit);
    });
}

void restoreDesign(engine::Report& report)
{
    for (const engine::BandDesign& design : kBands)
        engine::restoreDesign(report.band(design.name.toString()), design, kUnit);
    forEachElement([&report](QStringView, const ElementDesign& design) {
        engine::restoreDesign(report.element(design.name.toString()), design, kUnit);
    });
}

std::span<const ColumnDesign> columnCatalogue()
{
    return kColumns;
}

}  // namespace reports::parvietpz
