// The lines table: which columns print and where, the width settings, the
// name column's caption and script, the sale price decimals and the totals.

#include "GeneralWaybillFixture.h"

#include "PrParvietPZLayout.h"

#include <utility>
#include <vector>

namespace gwtest {
namespace {

using ColumnsTest = GeneralWaybillTest;
using reports::parvietpz::columnCatalogue;

struct PlacementCase {
    const char* name;
    const char* schema;  // changes to the settings tables, or empty
    const char* isi;     // N_ISI assignments, or empty
    const char* isi2;    // N_ISI2 assignments, or empty
    std::vector<std::pair<QString, int>> captions;  // printed, in order, with their left edges
};

void PrintTo(const PlacementCase& c, std::ostream* os)
{
    *os << c.name;
}

class PlacementTest : public GeneralWaybillTest, public ::testing::WithParamInterface<PlacementCase> {};

// Each shown column's caption, value and total stand at the same left edge,
// at top 2; the next column starts one pixel after the caption.
TEST_P(PlacementTest, ShownColumnsStandSideBySideFromTheLeftEdge)
{
    const PlacementCase& c = GetParam();
    if (*c.schema)
        run(QString::fromUtf8(c.schema));
    if (*c.isi)
        setIsi(QString::fromUtf8(c.isi));
    if (*c.isi2)
        setIsi2(QString::fromUtf8(c.isi2));
    const engine::PageDocument document = print();

    std::vector<std::pair<QString, int>> shown;
    for (const auto& column : columnCatalogue()) {
        const QString caption = column.caption.name.toString();
        const QString value = column.value.name.toString();
        const std::optional<QRect> captionPlace = placeOf(document, caption);
        const std::optional<QRect> valuePlace = placeOf(document, value);
        ASSERT_EQ(captionPlace.has_value(), valuePlace.has_value()) << qPrintable(caption);
        if (column.total) {
            ASSERT_EQ(captionPlace.has_value(), placeOf(document, column.total->name.toString()).has_value());
        }
        if (!captionPlace)
            continue;
        shown.emplace_back(caption, captionPlace->left());
        EXPECT_EQ(captionPlace->top(), 2) << qPrintable(caption);
        EXPECT_EQ(valuePlace->left(), captionPlace->left()) << qPrintable(value);
        EXPECT_EQ(valuePlace->top(), 2) << qPrintable(value);
        if (column.total) {
            EXPECT_EQ(placeOf(document, column.total->name.toString())->left(), captionPlace->left());
        }
    }
    EXPECT_EQ(shown, c.captions);
}

const char* const kEveryColumnOn =
    "ISIPARVNRPK = 'T', ISIPARVART = 'T', ISIPARV2ARTIKULS = 'T', ISIPARVGNOS = 'T', ISIPARVINOS = 'T', "
    "ISIPARVMERV = 'T', ISIPARVKASTES = 'T', ISIPARVIEPCBZ = 'T', ISIPARVIEPCAR = 'T', ISIPARVIEPSBZ = 'T', "
    "ISIPARVIEPSAR = 'T', ISIPARVREALCAR = 'T', ISIPARVREALCBZ = 'T', ISIPARVREALSAR = 'T', ISIPARVREALSBZ = 'T', "
    "ISIPARVREALPVN = 'T', ISIPARVLITRAZA = 'T', ISIPARVUZCENPROC = 'T', ISIPARVDERTERM = 'T', ISIPARVPRECGRUP = 'T'";

INSTANTIATE_TEST_SUITE_P(
    Switches, PlacementTest,
    ::testing::Values(
        PlacementCase{"EverySwitchOff", "", "", "", {{"HDDaudzums", 0}}},
        PlacementCase{"Columns1_2_5_17",
                      "",
                      "ISIPARVNRPK = 'T', ISIPARVART = 'T', ISIPARVGNOS = 'T', ISIPARVREALSAR = 'T'",
                      "",
                      {{"HDNrPK", 0}, {"HDArtikuls", 50}, {"HDNosaukums", 154}, {"HDDaudzums", 356},
                       {"HDPardSummaArPVN", 416}}},
        PlacementCase{"ArticleFifteenCharactersWide",
                      "",
                      "ISIPARVNRPK = 'T', ISIPARVART = 'T', ISIPARVGNOS = 'T', ISIPARVREALSAR = 'T', "
                      "ISIIZRARTIKGARUMS = 15",
                      "",
                      {{"HDNrPK", 0}, {"HDArtikuls", 50}, {"HDNosaukums", 171}, {"HDDaudzums", 373},
                       {"HDPardSummaArPVN", 433}}},
        // the purchase VAT amount follows the purchase sum with VAT
        PlacementCase{"PurchaseSumWithVatWithoutTheOneWithout",
                      "",
                      "ISIPARVIEPSAR = 'T', ISIPARVIEPSBZ = 'F'",
                      "",
                      {{"HDDaudzums", 0}, {"HDIepSumArPVN", 60}, {"HDIepPVNSumma", 114}}},
        PlacementCase{"SwitchesOnlyTheSecondTableHas",
                      "",
                      "",
                      "ISIPARV6ARTIKULS = 'T', ISIPARVPVNLIKME = 'T'",
                      {{"HDArtikuls6", 0}, {"HDDaudzums", 104}, {"HDPVNLikme", 164}}},
        PlacementCase{"OnlyTheExactTextTIsOn",
                      "ALTER TABLE N_ISI ALTER ISIPARVART TYPE VARCHAR(2);"
                      "ALTER TABLE N_ISI ALTER ISIPARVGNOS TYPE VARCHAR(2);"
                      "ALTER TABLE N_ISI2 ALTER ISIPARVTEMPERATURA TYPE VARCHAR(2)",
                      "ISIPARVNRPK = 't', ISIPARVART = ' T', ISIPARVGNOS = 'T ', ISIPARVMERV = ''",
                      "ISIPARV6ARTIKULS = 't', ISIPARVTEMPERATURA = ' T'",
                      {{"HDDaudzums", 0}}},
        // wider than the band: nothing wraps or shrinks
        PlacementCase{"EveryColumn",
                      "",
                      kEveryColumnOn,
                      "ISIPARV6ARTIKULS = 'T', ISIPARVTEMPERATURA = 'T', ISIPARVPVNLIKME = 'T'",
                      {{"HDNrPK", 0},          {"HDArtikuls", 50},         {"HDArtikuls2", 154},
                       {"HDArtikuls6", 258},   {"HDNosaukums", 362},       {"HDPrecesInos", 564},
                       {"HDMervieniba", 713},  {"HDIepakSkaits", 755},     {"HDDaudzums", 843},
                       {"HDIepCenaBezPVN", 903}, {"HDIepCenaArPVN", 961},  {"HDIepSumBezPVN", 1014},
                       {"HDIepSumArPVN", 1077}, {"HDIepPVNSumma", 1131},   {"HDPardCenaArPVN", 1186},
                       {"HDPardCenaBezPVN", 1242}, {"HDPardSummaArPVN", 1296}, {"HDPardSummaBezPVN", 1367},
                       {"HDPardPVNSumma", 1438}, {"HDLitrazasSumma", 1495}, {"HDPiecenojProc", 1553},
                       {"HDDerigsLidz", 1596}, {"HDTemperat", 1665},      {"HDPrecesGrupa", 1712},
                       {"HDPVNLikme", 1861}}}),
    CaseName());

TEST_F(ColumnsTest, WidthSettingsCountCharactersOfEightPixels)
{
    setIsi(QStringLiteral("ISIPARVART = 'T', ISIPARVGNOS = 'T', ISIIZRARTIKGARUMS = 15, ISIPARVGNOSGARUMS = 30"));
    const engine::PageDocument document = print();
    EXPECT_EQ(placeOf(document, QStringLiteral("HDArtikuls"))->width(), 120);
    EXPECT_EQ(placeOf(document, QStringLiteral("DTArtikuls"))->width(), 120);
    EXPECT_EQ(placeOf(document, QStringLiteral("HDNosaukums"))->width(), 240);
    EXPECT_EQ(placeOf(document, QStringLiteral("DTNosaukums"))->width(), 240);
    EXPECT_EQ(placeOf(document, QStringLiteral("HDDaudzums"))->left(), 362);
}

struct NameCaptionCase {
    const char* name;
    const char* isi;
    const char* isi2;
    QString caption;
};

class NameCaptionTest : public GeneralWaybillTest, public ::testing::WithParamInterface<NameCaptionCase> {};

TEST_P(NameCaptionTest, NamesThePartsInTheirOrder)
{
    // wide enough for the whole caption on one line
    setIsi(QStringLiteral("ISIPARVGNOS = 'T', ISIPARVGNOSGARUMS = 80, ") + QString::fromUtf8(GetParam().isi));
    setIsi2(QString::fromUtf8(GetParam().isi2));
    EXPECT_EQ(textOf(print(), QStringLiteral("HDNosaukums")), GetParam().caption);
}

INSTANTIATE_TEST_SUITE_P(
    Settings, NameCaptionTest,
    ::testing::Values(
        NameCaptionCase{"None", "ISIPARVSERTIF = 'F', ISIPARVSANNR = 'F'", "PARVKOMENTPIENOS = 'F'",
                        "Preces nosaukums"},
        NameCaptionCase{"Certificate", "ISIPARVSERTIF = 'T', ISIPARVSANNR = 'F'", "PARVKOMENTPIENOS = 'F'",
                        "Preces nosaukums / Sertifikāts"},
        NameCaptionCase{"Comment", "ISIPARVSERTIF = 'F', ISIPARVSANNR = 'F'", "PARVKOMENTPIENOS = 'T'",
                        "Preces nosaukums / Komentārs"},
        NameCaptionCase{"ReceivedWaybill", "ISIPARVSERTIF = 'F', ISIPARVSANNR = 'T'", "PARVKOMENTPIENOS = 'F'",
                        "Preces nosaukums / Saņ. P/Z sērija, Nr, datums, nodaļa"},
        NameCaptionCase{"CertificateAndReceivedWaybill", "ISIPARVSERTIF = 'T', ISIPARVSANNR = 'T'",
                        "PARVKOMENTPIENOS = 'F'", "Preces nosaukums / Sertifikāts / Saņ. P/Z sērija, Nr, datums, nodaļa"},
        NameCaptionCase{"All", "ISIPARVSERTIF = 'T', ISIPARVSANNR = 'T'", "PARVKOMENTPIENOS = 'T'",
                        "Preces nosaukums / Sertifikāts / Komentārs / Saņ. P/Z sērija, Nr, datums, nodaļa"}),
    CaseName());

struct SalePriceCase {
    const char* name;
    const char* decimals;
    QString printed;  // of 1 without VAT at 21 %
};

class SalePriceFormatTest : public GeneralWaybillTest, public ::testing::WithParamInterface<SalePriceCase> {};

TEST_P(SalePriceFormatTest, ShowsTheDecimalsTheSettingAsks)
{
    setIsi(QStringLiteral("ISIPARVREALCAR = 'T', ISIPARVREALCBZ = 'T'"));
    setIsi2(QStringLiteral("PARVPARDARPVNZIMES = ") + QString::fromUtf8(GetParam().decimals));
    const engine::PageDocument document = print();
    EXPECT_EQ(textOf(document, QStringLiteral("DTPardCenaArPVN")), GetParam().printed);
    EXPECT_EQ(textOf(document, QStringLiteral("DTPardCenaBezPVN")), QStringLiteral("1,000"));  // unaffected
}

INSTANTIATE_TEST_SUITE_P(Decimals, SalePriceFormatTest,
                         ::testing::Values(SalePriceCase{"Null", "NULL", "1,210"}, SalePriceCase{"Zero", "0", "1,210"},
                                           SalePriceCase{"Two", "2", "1,21"}, SalePriceCase{"Four", "4", "1,2100"},
                                           SalePriceCase{"Negative", "-1", "1"}),
                         CaseName());

// A rate with a fraction of a percent counts whole in every column: 240 at
// 21.5 % is 291.60 with VAT, of which 51.60 VAT.
TEST_F(ColumnsTest, ValuesWithVatUseTheExactRate)
{
    setIsi(QStringLiteral("ISIPARVIEPCAR = 'T', ISIPARVIEPSAR = 'T', ISIPARVREALCAR = 'T', ISIPARVREALSAR = 'T', "
                          "ISIPARVREALPVN = 'T'"));
    run(QStringLiteral("UPDATE O_PARPRC SET CENA = 240, PARD_CENA = 240, DAUDZUMS = 1, NODOKLIS = 21.5"));
    const engine::PageDocument document = print();
    for (const auto& [element, expected] : {std::pair{"DTIepCenaArPVN", "291,600"}, {"DTIepSumArPVN", "291,600"},
                                            {"DTIepPVNSumma", "51,600"}, {"DTPardCenaArPVN", "291,600"},
                                            {"DTPardSummaArPVN", "291,600"}, {"DTPardPVNSumma", "51,600"}})
        EXPECT_EQ(textOf(document, QString::fromUtf8(element)), QString::fromUtf8(expected)) << element;
}

TEST_F(ColumnsTest, ASecondPrintGoesBackToThreeDecimalsWhenTheSettingIsZeroAgain)
{
    setIsi(QStringLiteral("ISIPARVREALCAR = 'T'"));
    setIsi2(QStringLiteral("PARVPARDARPVNZIMES = 1"));
    EXPECT_EQ(textOf(print(), QStringLiteral("DTPardCenaArPVN")), QStringLiteral("1,2"));
    setIsi2(QStringLiteral("PARVPARDARPVNZIMES = 0"));
    EXPECT_EQ(textOf(print(), QStringLiteral("DTPardCenaArPVN")), QStringLiteral("1,210"));
}

// A Cyrillic font shows the 8-bit name in the Cyrillic code page.
TEST_F(ColumnsTest, TheNameColumnTakesTheFontScriptOfTheSettings)
{
    setIsi(QStringLiteral("ISIPARVGNOS = 'T', ISIPARVINOS = 'T'"));
    run(QStringLiteral("UPDATE N_KLPREC SET GNOS = 'Māja'"));
    setIsi(QStringLiteral("ISIRUSFONT = 'T'"));
    const engine::PageDocument cyrillic = print();
    EXPECT_EQ(textOf(cyrillic, QStringLiteral("DTNosaukums")), QStringLiteral("Mвja"));
    EXPECT_EQ(textOf(cyrillic, QStringLiteral("DTPrecesInos")), QStringLiteral("Piens īss"));
    setIsi(QStringLiteral("ISIRUSFONT = 'F'"));
    EXPECT_EQ(textOf(print(), QStringLiteral("DTNosaukums")), QStringLiteral("Māja"));
}

// Packages, quantity and litres are summed over the lines; the other totals
// are the waybill's stored figures, here put back to those of the first line
// alone after the second went in, so that they differ from the lines' sums.
TEST_F(ColumnsTest, TotalsSumTheirLinesOrShowTheWaybillsFigures)
{
    setIsi(QStringLiteral("ISIPARVKASTES = 'T', ISIPARVIEPSBZ = 'T', ISIPARVIEPSAR = 'T', ISIPARVREALSAR = 'T', "
                          "ISIPARVREALSBZ = 'T', ISIPARVREALPVN = 'T', ISIPARVLITRAZA = 'T'"));
    run(QStringLiteral(
        "UPDATE N_KLPREC SET SKKASTE = 4 WHERE ISN = 1;"
        "INSERT INTO N_KLPREC (ISN, GNOS, ISPRGRUPA, SKKASTE, LITRAZA) VALUES (2, 'Krējums', 1, 5, 0.5);"
        "INSERT INTO O_PARPRC (ISN, ISPARVPAV, ISPRECE, CENA, PARD_CENA, DAUDZUMS, NODOKLIS)"
        "  VALUES (2, 5, 2, 1.5, 2, 20, 21);"
        "UPDATE O_PARPAV SET BEZPVNSUMMA = 10, PVNSUMMA = 2.1, KOPSUMMA = 12.1, IEPBEZPVNSUMMA = 8,"
        "  IEPPVNSUMMA = 1.68;"));
    const engine::PageDocument document = print();
    const std::pair<const char*, const char*> totals[] = {
        {"SUMIepakSkaits", "6,500"},      {"SUMDaudzums", "30,000"},        {"SUMLitrazasSumma", "20,000"},
        {"SUMIepSumBezPVN", "8,000"},     {"SUMIepSumArPVN", "9,680"},      {"SUMIepPVNSumma", "1,680"},
        {"SUMPardSummaArPVN", "12,100"},  {"SUMPardSummaBezPVN", "10,000"}, {"SUMPardPVNSumma", "2,100"},
    };
    for (const auto& [element, expected] : totals)
        EXPECT_EQ(textOf(document, QString::fromUtf8(element)), QString::fromUtf8(expected)) << element;
}

}  // namespace
}  // namespace gwtest
