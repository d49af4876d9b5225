// The alcohol waybill's page and bands as laid out, and the texts that wrap
// and grow their bands.

#include "AlcoholWaybillFixture.h"

#include "ReportFont.h"

namespace alcoholwaybill {
namespace {

using AlcoholLayoutTest = AlcoholWaybillTest;

TEST_F(AlcoholLayoutTest, BandsHaveTheirHeightsAndFrameLines)
{
    run("INSERT INTO N_SERTIF (ISN, GNOS, GNOS2) VALUES (5, 'Kvalitātes sert. VA-2025/12', 'alus');");
    addLines({{.isn = 1, .certificate = "5"}});

    const engine::PageDocument document = printWaybill();

    ASSERT_EQ(document.pages.size(), 1u);
    const engine::Page& page = document.pages[0];
    const qreal margin = engine::mmToPixels(10);
    EXPECT_NEAR(document.pageSize.width(), engine::mmToPixels(210), 0.01);
    EXPECT_NEAR(document.pageSize.height(), engine::mmToPixels(297), 0.01);
    // Report pixels as the bands were drawn, one below the other from the top margin.
    const struct {
        const char* band;
        qreal height;
    } bands[] = {
        {"QRBand1", 129}, {"QRBand2", 256}, {"QRBand3", 20}, {"QRBand4", 14},
        {"ChildBand2", 14}, {"QRBand5", 64}, {"ChildBand1", 132},
    };
    qreal top = margin;
    for (const auto& b : bands) {
        const engine::FillRect* fill = page.fillOf(b.band);
        ASSERT_NE(fill, nullptr) << b.band;
        EXPECT_DOUBLE_EQ(fill->rect.top(), top) << b.band;
        EXPECT_DOUBLE_EQ(fill->rect.height(), b.height) << b.band;
        EXPECT_DOUBLE_EQ(fill->rect.left(), margin) << b.band;
        EXPECT_NEAR(fill->rect.width(), engine::mmToPixels(190), 0.01) << b.band;
        top += b.height;
    }
    // Ruled lines of 1 pt, inside the band along its edge: the column
    // header's top and bottom, the summary's top.
    const qreal lineWidth = engine::pointsToPixels(1);
    const qreal columnHeaderTop = margin + 129 + 256;
    const qreal summaryTop = columnHeaderTop + 20 + 14 + 14;
    const std::pair<QString, qreal> expectedLines[] = {
        {"QRBand3", columnHeaderTop + lineWidth / 2},
        {"QRBand3", columnHeaderTop + 20 - lineWidth / 2},
        {"QRBand5", summaryTop + lineWidth / 2},
    };
    std::vector<const engine::FrameLine*> lines;
    for (const engine::DrawItem& item : page.items)
        if (const auto* line = std::get_if<engine::FrameLine>(&item))
            lines.push_back(line);
    ASSERT_EQ(lines.size(), std::size(expectedLines));
    for (std::size_t i = 0; i < lines.size(); ++i) {
        EXPECT_EQ(lines[i]->source, expectedLines[i].first);
        EXPECT_DOUBLE_EQ(lines[i]->line.y1(), expectedLines[i].second) << i;
        EXPECT_DOUBLE_EQ(lines[i]->width, lineWidth);
    }
}

TEST_F(AlcoholLayoutTest, LongGoodsNameWrapsAndGrowsOnlyItsOwnLine)
{
    run("UPDATE N_KLPREC SET GNOS = 'Degvīns \"Rīgas Oriģinālais\" ar dzērveņu un medus piedevu, "
        "dāvanu iepakojumā ar divām glāzēm, 40 % tilp., 0,7 l pudelē' WHERE ISN = 1;"
        "INSERT INTO N_KLPREC (ISN, GNOS, ISPRGRUPA, NODOKLIS) VALUES (2, 'Alus', 1, 21);");
    addLines({{.isn = 1}, {.isn = 2, .goods = 2}});

    const engine::PageDocument document = printWaybill();

    EXPECT_GE(textsOf(document, "QRDBText1").size(), 4);  // three or more lines, then "Alus"
    const auto details = fillsOf(document, "QRBand4");
    ASSERT_EQ(details.size(), 2u);
    EXPECT_GT(details[0]->rect.height(), 14);
    EXPECT_DOUBLE_EQ(details[1]->rect.top(), details[0]->rect.bottom());
    EXPECT_DOUBLE_EQ(details[1]->rect.height(), 14);
}

// Figures wider than their columns print whole, each flush with its
// column's right edge: a price of 131 072,01 and a sale price of 82 644,62,
// 99 999,99 with VAT.
TEST_F(AlcoholLayoutTest, WideFiguresPrintWholeFlushWithTheirColumns)
{
    addLines({{.isn = 1, .quantity = 1, .salePrice = 82644.62, .price = 131072.01}});
    const engine::PageDocument document = printWaybill();
    const engine::Page& page = document.pages.at(0);
    const qreal marginLeft = form.QuickRep1.page().marginsPx().left();
    for (const auto& [element, figure] :
         {std::pair{"QRDBText4", "131072,010"}, {"QRDBText38", "131072,01"}, {"QRDBText5", "99999,99"},
          {"QRDBText39", "99999,99"}, {"QRExpr2", "99999,99"}}) {
        SCOPED_TRACE(element);
        ASSERT_EQ(textsOf(page, element), QStringList{figure});
        const engine::TextRun& run = *page.textRuns(element).front();
        const engine::Element& design = form.QuickRep1.element(element);
        EXPECT_NEAR(run.baseline.x() + run.width, marginLeft + design.left() + design.width(), 1e-6);
    }
}

// The sending department's addresses wrap, the band holding all their
// lines; the receiving department's keep their one line however long, and
// leave the title band its height. A long car text grows the band: the
// driver line is its last.
TEST_F(AlcoholLayoutTest, LongTitleTextsWrapExceptTheReceivingDepartmentsAddresses)
{
    addLines({{.isn = 1}});
    const QString wideAddress = "ĶEMERU MEŽMALAS MUIŽAS NOLIKTAVU KOMPLEKSS, MĀLPILS, LV-2152";  // for 7 pt
    const QString longAddress = "Krišjāņa Valdemāra iela 123 k-2 dz. 45, Rīga, LV-1010 Latvia";
    const QString longCar = "Mercedes-Benz Sprinter 316 CDI ar saldēšanas iekārtu";
    const struct {
        const char* update;
        const QString& text;
        const char* element;
        bool wraps;  // else it keeps its one line and the title band its height
    } cases[] = {
        {"UPDATE N_DEPART SET ADRESE = '%1' WHERE ISN = 1", wideAddress, "QRDBText28", true},
        {"UPDATE N_DEPART SET TIRDZNADR = '%1' WHERE ISN = 1", longAddress, "QRDBText27", true},
        {"UPDATE N_DEPART SET ADRESE = '%1' WHERE ISN = 2", wideAddress, "QRDBText33", false},
        {"UPDATE N_DEPART SET TIRDZNADR = '%1' WHERE ISN = 2", longAddress, "QRDBText34", false},
        {"UPDATE N_MASINA SET GNOS = '%1', VADITAJS = '%1' WHERE ISN = 1", longCar, "shSoferis", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.element);
        run(QString::fromLatin1(c.update).arg(c.text) + ';');

        const engine::PageDocument document = printWaybill();

        const engine::Page& page = document.pages.at(0);
        const engine::FillRect* title = page.fillOf("QRBand2");
        ASSERT_NE(title, nullptr);
        const QStringList lines = textsOf(page, c.element);
        if (c.wraps) {
            EXPECT_GE(lines.size(), 2);
            // Lines break after a space or a hyphen.
            EXPECT_TRUE(lines.join(QString()).remove(' ').contains(QString(c.text).remove(' ')))
                << lines.join('|').toStdString();
            for (const engine::TextRun* textRun : page.textRuns(c.element))
                EXPECT_LE(textRun->box().bottom(), title->rect.bottom()) << textRun->text.toStdString();
        } else {
            EXPECT_EQ(lines.size(), 1);
            EXPECT_TRUE(c.text.startsWith(lines.value(0))) << lines.value(0).toStdString();
            EXPECT_DOUBLE_EQ(title->rect.height(), 256);
        }
        run("UPDATE N_DEPART SET ADRESE = 'Rīga', TIRDZNADR = 'Rīga';");
    }
}

}  // namespace
}  // namespace alcoholwaybill
