// The page header and the title block: title, number and date, sender and
// receiver, the one-block header form, the internal number and the driver
// line.

#include "GeneralWaybillFixture.h"

#include <map>

namespace gwtest {
namespace {

using HeaderTest = GeneralWaybillTest;

struct TitleCase {
    const char* name;
    const char* title;   // ISIPARVHEAD, SQL
    const char* series;  // PZ_SERIJA, SQL
    const char* number;  // NR_PAVADZ, SQL
    QString printedTitle;
    QString printedNumber;
};

void PrintTo(const TitleCase& c, std::ostream* os)
{
    *os << c.name;
}

class TitleTest : public GeneralWaybillTest, public ::testing::WithParamInterface<TitleCase> {};

TEST_P(TitleTest, ShowsTheTitleAndTheNumberWithItsSeries)
{
    const TitleCase& c = GetParam();
    setIsi(QStringLiteral("ISIPARVHEAD = ") + QString::fromUtf8(c.title));
    run(QStringLiteral("UPDATE O_PARPAV SET PZ_SERIJA = %1, NR_PAVADZ = %2")
            .arg(QString::fromUtf8(c.series), QString::fromUtf8(c.number)));
    const engine::PageDocument document = print();
    EXPECT_EQ(textOf(document, QStringLiteral("TitleTXT")), c.printedTitle);
    EXPECT_EQ(textOf(document, QStringLiteral("TextNumurs")), c.printedNumber);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TitleTest,
    ::testing::Values(TitleCase{"OwnTitleAndSeries", "'Pavadzīme Nr.'", "'PL'", "' 42 '", "Pavadzīme Nr.", " PL-42"},
                      TitleCase{"EmptyTitle", "''", "'PL'", "'42'", "Pavadzīme ", " PL-42"},
                      TitleCase{"NullTitle", "NULL", "'PL'", "'42'", "Pavadzīme ", " PL-42"},
                      TitleCase{"SeriesTrimmed", "'T'", "' PL '", "'42'", "T", " PL-42"},
                      TitleCase{"EmptySeries", "'T'", "''", "' 42'", "T", "42"},
                      TitleCase{"NullSeries", "'T'", "NULL", "'42'", "T", "42"},
                      // a series of blanks is a series all the same
                      TitleCase{"SeriesOfBlanks", "'T'", "'   '", "'42'", "T", " -42"}),
    CaseName());

TEST_F(HeaderTest, ThePageHeaderShowsPageNumberAndWaybillNumberWithDateAgainstTheRightEdge)
{
    const engine::PageDocument document = print();
    EXPECT_EQ(textOf(document, QStringLiteral("QRSysData2")), QStringLiteral("Lappuse : 1"));
    EXPECT_EQ(textOf(document, QStringLiteral("QRDBText1")), QStringLiteral("42-01.03.2026"));
    EXPECT_EQ(textOf(document, QStringLiteral("TextDatums")), QStringLiteral("2026.gada 01.martā"));
    const qreal rightEdge = form.QuickRep1.page().marginsPx().left() + form.QuickRep1.bandWidth();
    const engine::Page& page = document.pages.at(0);
    EXPECT_NEAR(page.fillOf(QStringLiteral("QRSysData2"))->rect.right(), rightEdge, 0.01);
    EXPECT_NEAR(page.fillOf(QStringLiteral("QRDBText1"))->rect.right(), rightEdge, 0.01);
}

struct PartiesCase {
    const char* name;
    const char* rekvizitiFrom;
    std::map<QString, QString> printed;  // element -> text
};

void PrintTo(const PartiesCase& c, std::ostream* os)
{
    *os << c.name;
}

class PartiesTest : public GeneralWaybillTest, public ::testing::WithParamInterface<PartiesCase> {};

// The department and licence lines are the departments' in every case.
TEST_P(PartiesTest, SenderAndReceiverComeFromWhereTheWaybillSays)
{
    run(QStringLiteral("UPDATE O_PARPAV SET REKVIZITIFROM = ") + QString::fromUtf8(GetParam().rekvizitiFrom));
    const engine::PageDocument document = print();
    for (const auto& [element, text] : GetParam().printed)
        EXPECT_EQ(textOf(document, element), text) << qPrintable(element);
    EXPECT_EQ(textOf(document, QStringLiteral("QRDBText3")), QStringLiteral("Noliktava"));
    EXPECT_EQ(textOf(document, QStringLiteral("SanNodala1")), QStringLiteral("Veikals"));
    EXPECT_EQ(textOf(document, QStringLiteral("QRDBText4")), QStringLiteral("Licence NO"));
    EXPECT_EQ(textOf(document, QStringLiteral("SanLicence1")), QStringLiteral("Licence UZ"));
}

const std::map<QString, QString> kOrganisationOnBothSides = {
    {"NosutGNOS1", "SIA Org"},          {"SanGNOS1", "SIA Org"},
    {"NosutJuridAdrese1", "Org jurid. adrese"}, {"SanJuridAdrese1", "Org jurid. adrese"},
    {"NosutTirdzAdrese1", "Org tirdzn. adrese"}, {"SanTirdzAdrese1", "Org tirdzn. adrese"},
    {"NosutRegNr1", "40000"},           {"SanRegNr1", "40000"},
    {"NosutNodMaksKods1", "LV40000"},   {"SanNodMaksKods1", "LV40000"},
    {"NosutBanka1", "Org banka"},       {"SanBanka1", "Org banka"},
    {"NosutKods1", "ORGBK"},            {"SanKods1", "ORGBK"},
    {"NosutKonts1", "ORGKONTS"},        {"SanKonts1", "ORGKONTS"},
};

std::map<QString, QString> departmentDetails(const QString& senderName, const QString& receiverName)
{
    return {
        {"NosutGNOS1", senderName},         {"SanGNOS1", receiverName},
        {"NosutJuridAdrese1", "Krasta iela 1"}, {"SanJuridAdrese1", "Brīvības iela 1"},
        {"NosutTirdzAdrese1", "Krasta iela 2"}, {"SanTirdzAdrese1", "Brīvības iela 2"},
        {"NosutRegNr1", "40001"},           {"SanRegNr1", "40002"},
        {"NosutNodMaksKods1", "LV40001"},   {"SanNodMaksKods1", "LV40002"},
        {"NosutBanka1", "Banka NO"},        {"SanBanka1", "Banka UZ"},
        {"NosutKods1", "BNO"},              {"SanKods1", "BUZ"},
        {"NosutKonts1", "KNO"},             {"SanKonts1", "KUZ"},
    };
}

INSTANTIATE_TEST_SUITE_P(
    RekvizitiFrom, PartiesTest,
    ::testing::Values(PartiesCase{"Null", "NULL", kOrganisationOnBothSides},
                      PartiesCase{"Zero", "0", kOrganisationOnBothSides},
                      PartiesCase{"One", "1", kOrganisationOnBothSides},
                      PartiesCase{"Two", "2", departmentDetails("Noliktava", "Veikals")},
                      PartiesCase{"Three", "3", departmentDetails("SIA Org-Noliktava", "SIA Org-Veikals")},
                      PartiesCase{"Seven", "7", departmentDetails("Noliktava", "Veikals")}),
    CaseName());

// The receiver elements the one-block form leaves out.
const char* const kReceiverOnly[] = {
    "SanGNOS",        "SanGNOS1",        "SanJuridAdrese", "SanJuridAdrese1", "SanTirdzAdrese", "SanTirdzAdrese1",
    "SanRegNr",       "SanRegNr1",       "SanNodMaksKods", "SanNodMaksKods1", "SanBanka",       "SanBanka1",
    "SanKods",        "SanKods1",        "SanKonts",       "SanKonts1",       "SanLicence",     "SanLicence1",
};

// The second print, with the setting turned back, has the two-block form
// again: each print starts from the design layout.
TEST_F(HeaderTest, TheOneBlockFormHoldsForItsPrintOnly)
{
    setIsi(QStringLiteral("ISIPARVHEADFORM = 1"));
    const engine::PageDocument oneBlock = print();
    EXPECT_EQ(textOf(oneBlock, QStringLiteral("NosutGNOS")), QStringLiteral("Nosūtītājs/Saņēmējs :"));
    EXPECT_EQ(textOf(oneBlock, QStringLiteral("NosutNodala")), QStringLiteral("Nodaļa/Noliktava NO :"));
    EXPECT_EQ(textOf(oneBlock, QStringLiteral("SanNodala")), QStringLiteral("Nodaļa/Noliktava UZ :"));
    EXPECT_EQ(textOf(oneBlock, QStringLiteral("NosutJuridAdrese")), QStringLiteral("Juridiskā adrese :"));
    EXPECT_EQ(textOf(oneBlock, QStringLiteral("QRDBText3")),
              QStringLiteral("Noliktava (Izsniegšanas adrese: Krasta iela 2)"));
    EXPECT_EQ(textOf(oneBlock, QStringLiteral("SanNodala1")),
              QStringLiteral("Veikals (Saņemšanas adrese: Brīvības iela 2)"));
    EXPECT_EQ(placeOf(oneBlock, QStringLiteral("SanNodala"))->top(), 148);
    EXPECT_EQ(placeOf(oneBlock, QStringLiteral("SanNodala1"))->top(), 148);
    for (const char* element : kReceiverOnly)
        EXPECT_FALSE(printed(oneBlock, QString::fromUtf8(element))) << element;
    EXPECT_EQ(textOf(oneBlock, QStringLiteral("QRLabel16")), QString());
    EXPECT_EQ(oneBlock.pages.at(0).fillOf(QStringLiteral("QRTitle"))->rect.height(), 170);

    setIsi(QStringLiteral("ISIPARVHEADFORM = 0"));
    const engine::PageDocument twoBlocks = print();
    EXPECT_EQ(textOf(twoBlocks, QStringLiteral("NosutGNOS")), QStringLiteral("Nosūtītājs :"));
    EXPECT_EQ(textOf(twoBlocks, QStringLiteral("NosutNodala")), QStringLiteral("Nodaļa/Noliktava :"));
    EXPECT_EQ(textOf(twoBlocks, QStringLiteral("SanNodala")), QStringLiteral("Nodaļa/Noliktava :"));
    EXPECT_EQ(textOf(twoBlocks, QStringLiteral("NosutJuridAdrese")), QStringLiteral("Nosūtītāja jurid.adrese :"));
    EXPECT_EQ(textOf(twoBlocks, QStringLiteral("QRDBText3")), QStringLiteral("Noliktava"));
    EXPECT_EQ(textOf(twoBlocks, QStringLiteral("SanNodala1")), QStringLiteral("Veikals"));
    EXPECT_EQ(placeOf(twoBlocks, QStringLiteral("SanNodala"))->top(), 233);
    EXPECT_EQ(placeOf(twoBlocks, QStringLiteral("SanNodala1"))->top(), 233);
    for (const char* element : {"SanGNOS", "SanGNOS1", "SanJuridAdrese", "SanLicence1"})
        EXPECT_TRUE(printed(twoBlocks, QString::fromUtf8(element))) << element;
    EXPECT_EQ(textOf(twoBlocks, QStringLiteral("QRLabel16")), QStringLiteral("Apraksts : Pārvietošana"));
    EXPECT_EQ(twoBlocks.pages.at(0).fillOf(QStringLiteral("QRTitle"))->rect.height(), 306);
}

TEST_F(HeaderTest, TheInternalNumberFollowsItsSwitchRightAlignedInItsBox)
{
    setIsi2(QStringLiteral("PARVIEKS_NR = 'T'"));
    const engine::PageDocument shown = print();
    EXPECT_EQ(textOf(shown, QStringLiteral("lbIeksNr")), QStringLiteral("Ieksējais Nr 5"));
    EXPECT_EQ(*placeOf(shown, QStringLiteral("lbIeksNr")), QRect(395, 0, 225, 15));
    const engine::TextRun* run = shown.pages.at(0).textRuns(QStringLiteral("lbIeksNr")).at(0);
    EXPECT_NEAR(run->baseline.x() + run->width - form.QuickRep1.page().marginsPx().left(), 620, 0.01);

    setIsi2(QStringLiteral("PARVIEKS_NR = 'F'"));
    EXPECT_FALSE(printed(print(), QStringLiteral("lbIeksNr")));
}

TEST_F(HeaderTest, TheDriverLineFollowsItsSwitch)
{
    run(QStringLiteral("INSERT INTO N_MASINA (ISN, GNOS, REGNR, VALSTS_NR, VADITAJS) VALUES (1, 'A', 'B', 'C', 'D');"
                       "UPDATE O_PARPAV SET ISMASINA = 1"));
    setIsi(QStringLiteral("ISIPARVSOFERIS = 'T'"));
    const engine::PageDocument shown = print();
    EXPECT_EQ(textOf(shown, QStringLiteral("lbSoferis")), QStringLiteral("Šoferis / Autotransports :"));
    EXPECT_EQ(textOf(shown, QStringLiteral("dbSoferis")), QStringLiteral("A Reģ.Nr.B Auto C D"));

    setIsi(QStringLiteral("ISIPARVSOFERIS = 'F'"));
    const engine::PageDocument hidden = print();
    EXPECT_FALSE(printed(hidden, QStringLiteral("lbSoferis")));
    EXPECT_FALSE(printed(hidden, QStringLiteral("dbSoferis")));
}

}  // namespace
}  // namespace gwtest
