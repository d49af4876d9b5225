// Which lines the alcohol waybill prints, in which order, and what a
// waybill without printable lines looks like.

#include "AlcoholWaybillFixture.h"

namespace alcoholwaybill {
namespace {

using AlcoholQueryTest = AlcoholWaybillTest;

// The quantity of each line names it here: the column prints it whole.
TEST_F(AlcoholQueryTest, LinesComeByCertificateKeyThenLineKey)
{
    addLines({{.isn = 4, .quantity = 4, .certificate = "7"},
              {.isn = 2, .quantity = 2, .certificate = "3"},
              {.isn = 5, .quantity = 5, .certificate = "3"},
              {.isn = 3, .quantity = 3},
              {.isn = 1, .quantity = 1, .certificate = "7"}});

    // Firebird puts nulls first in ascending order.
    EXPECT_EQ(textsOf(printWaybill(), "QRDBText2"), QStringList({"3", "2", "5", "1", "4"}));
    // Firebird 3 gives the lines of one certificate by line key even when
    // sorted by the certificate alone: no row shows the second sort key.
    EXPECT_TRUE(form.ReportSQL.sql().contains(u"ORDER BY O_PARPRC.ISSERTIF, O_PARPRC.ISN"))
        << qPrintable(form.ReportSQL.sql());
}

// A statement built upon the last one would fail or print the first
// waybill's lines again.
TEST_F(AlcoholQueryTest, EachPrintRebuildsTheStatementForTheWaybillSet)
{
    run("INSERT INTO O_PARPAV (ISN, DATUMS, NR_PAVADZ, PZ_SERIJA, ISNODALANO, ISNODALAUZ)"
        " VALUES (2, '2017-09-01', '9171800419', 'PL', 2, 1);");
    addLines({{.isn = 1, .quantity = 7}});
    addLines({{.isn = 2, .quantity = 9}}, 2);

    EXPECT_EQ(textsOf(printWaybill(1), "QRDBText6"), QStringList({"9171800418"}));
    const engine::PageDocument second = printWaybill(2);

    EXPECT_EQ(textsOf(second, "QRDBText6"), QStringList({"9171800419"}));
    EXPECT_EQ(textsOf(second, "QRDBText2"), QStringList({"9"}));
    EXPECT_EQ(textsOf(second, "QRDBText20"), QStringList({"Veikals \"Centrs\""}));
    EXPECT_EQ(form.WaybillIsn, 2);
    EXPECT_EQ(textsOf(printWaybill(1), "QRDBText2"), QStringList({"7"}));
}

// Goods item 2 has no goods group, goods item 3 a group that does not exist.
TEST_F(AlcoholQueryTest, LineWithoutGoodsGroupIsLeftOutWhileStoredTotalsCountIt)
{
    run("INSERT INTO N_KLPREC (ISN, GNOS, ISPRGRUPA, NODOKLIS) VALUES (2, 'Bez grupas', NULL, 21);"
        "INSERT INTO N_KLPREC (ISN, GNOS, ISPRGRUPA, NODOKLIS) VALUES (3, 'Zudusi grupa', 99, 21);");
    addLines({{.isn = 1, .quantity = 2, .salePrice = 10},
              {.isn = 2, .quantity = 1, .salePrice = 100, .goods = 2},
              {.isn = 3, .quantity = 1, .salePrice = 50, .goods = 3}});

    const engine::PageDocument document = printWaybill();

    EXPECT_EQ(textsOf(document, "QRDBText1"), QStringList({"Degvīns \"Rīga\" 40%, 0,5 l"}));
    EXPECT_EQ(textsOf(document, "QRExpr2"), QStringList({"24,20"}));  // 2 × 10 with 21 % VAT
    // The stored totals, which the schema's triggers keep over all three
    // lines at a transfer price of 1.
    EXPECT_EQ(textsOf(document, "QRDBText10"), QStringList({"4,00"}));
    EXPECT_EQ(textsOf(document, "QRDBText9"), QStringList({"0,84"}));
    EXPECT_EQ(textsOf(document, "QRDBText8"), QStringList({"4,84"}));
}

// A waybill without lines, and a key that matches no waybill.
TEST_F(AlcoholQueryTest, WaybillWithoutRowsPrintsOnlyItsFixedTexts)
{
    for (const int waybill : {1, 42}) {
        SCOPED_TRACE(waybill);
        const engine::PageDocument document = printWaybill(waybill);

        ASSERT_EQ(document.pages.size(), 1u);
        const engine::Page& page = document.pages[0];
        for (const char* band : {"QRBand1", "QRBand2", "QRBand4", "QRBand5", "ChildBand1"})
            EXPECT_NE(page.fillOf(band), nullptr) << band;
        EXPECT_EQ(page.fillOf("QRBand3"), nullptr);
        EXPECT_EQ(page.fillOf("ChildBand2"), nullptr);

        EXPECT_EQ(textsOf(page, "shSoferis"), QStringList({" Reģ.Nr. Auto  "}));
        EXPECT_EQ(textsOf(page, "QRDBText15"), QStringList({"/izsniegšanas datums/"}));
        EXPECT_EQ(textsOf(page, "QRLabel41"), QStringList({"/piegādes datums/"}));
        EXPECT_EQ(textsOf(page, "QRExpr2"), QStringList({"0,00"}));
        // Header, totals and dates come from the line rows: none here.
        for (const char* empty : {"QRDBText6", "QRDBText20", "QRDBText30", "lbVisrDatums", "QRDBText16", "QRDBText1",
                                  "QRDBText10", "QRDBText8", "QRDBText7"})
            EXPECT_TRUE(textsOf(page, empty).isEmpty()) << empty;
    }
}

}  // namespace
}  // namespace alcoholwaybill
