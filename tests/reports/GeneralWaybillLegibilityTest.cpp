// The printed general waybill as a reader sees it: the rules whole, numbers
// whole however wide, and texts that need more lines moving what lies below
// them, where today's print would cut or print over them. (Every print of
// the fixture is also checked for texts printed over.)

#include "GeneralWaybillFixture.h"

#include "PrParvietPZLayout.h"
#include "Sumlat.h"

namespace gwtest {
namespace {

using LegibilityTest = GeneralWaybillTest;
using namespace reports::parvietpz;

const engine::TextRun& lastRun(const engine::PageDocument& document, const QString& element)
{
    for (auto page = document.pages.rbegin(); page != document.pages.rend(); ++page)
        if (const auto runs = page->textRuns(element); !runs.empty())
            return *runs.back();
    throw std::runtime_error("no text of " + element.toStdString());
}

const engine::TextRun& firstRun(const engine::PageDocument& document, const QString& element)
{
    for (const engine::Page& page : document.pages)
        if (const auto runs = page.textRuns(element); !runs.empty())
            return *runs.front();
    throw std::runtime_error("no text of " + element.toStdString());
}

// The right edge of the element's place on the page.
qreal rightEdgeOnPage(const reports::TPrParvietPZ& form, const QString& element)
{
    const engine::Element& e = form.QuickRep1.element(element);
    return form.QuickRep1.page().marginsPx().left() + e.left() + e.width();
}

// The 2 pt rules above and below the column captions lie over the captions'
// white backgrounds, not under them.
TEST_F(LegibilityTest, TheColumnHeadersRulesAreDrawnOverTheCaptionsBackgrounds)
{
    setIsi(QStringLiteral("ISIPARVNRPK = 'T', ISIPARVART = 'T', ISIPARVGNOS = 'T', ISIPARVREALSAR = 'T'"));
    const engine::PageDocument document = print();
    const engine::Page& page = document.pages.at(0);
    int rules = 0;
    for (std::size_t i = 0; i < page.items.size(); ++i) {
        const auto* rule = std::get_if<engine::FrameLine>(&page.items[i]);
        if (!rule || rule->source != kColumnHeaderBand)
            continue;
        ++rules;
        // less a hair, which the next band's background may touch
        const qreal half = rule->width / 2 - 1e-6;
        const QRectF area = QRectF(rule->line.p1(), rule->line.p2()).adjusted(0, -half, 0, half);
        for (std::size_t later = i + 1; later < page.items.size(); ++later) {
            const auto* fill = std::get_if<engine::FillRect>(&page.items[later]);
            EXPECT_FALSE(fill && fill->rect.intersects(area)) << qPrintable(fill->source) << " over the rule";
        }
    }
    EXPECT_EQ(rules, 2);
}

// 150 lines of 75.5: the total 11 325,000 is wider than its 59 px and grows
// to the left, where nothing stands.
TEST_F(LegibilityTest, AHundredAndFiftyLineWaybillPrintsItsQuantityTotalWhole)
{
    QString lines = QStringLiteral("UPDATE O_PARPRC SET DAUDZUMS = 75.5;");
    for (int line = 2; line <= 150; ++line)
        lines += QStringLiteral("INSERT INTO O_PARPRC (ISN, ISPARVPAV, ISPRECE, CENA, PARD_CENA, DAUDZUMS, NODOKLIS)"
                                " VALUES (%1, 5, 1, 0.8, 1, 75.5, 21);")
                     .arg(line);
    run(lines);
    const engine::PageDocument document = print();
    ASSERT_GT(document.pages.size(), 1u);
    EXPECT_EQ(linesOf(document, QStringLiteral("DTDaudzums")).size(), 150);
    EXPECT_EQ(textOf(document, QStringLiteral("SUMDaudzums")), QStringLiteral("11325,000"));
    const engine::TextRun& total = lastRun(document, QStringLiteral("SUMDaudzums"));
    EXPECT_NEAR(total.baseline.x() + total.width, rightEdgeOnPage(form, QStringLiteral("SUMDaudzums")),
                1e-6);
    EXPECT_GT(total.width, 59);
    EXPECT_EQ(placeOf(document, QStringLiteral("SUMDaudzums"))->top(), 2);
}

// A total over a million: the figures print whole, flush with their right
// edge; reaching left over their captions, they go down below them, and the
// words below make room.
TEST_F(LegibilityTest, TotalsOfAMillionPrintWholeBelowTheirCaptions)
{
    setIsi2(QStringLiteral("ISIPARVPARDVARDI = 'T'"));
    run(QStringLiteral("UPDATE O_PARPAV SET BEZPVNSUMMA = 843802.48, PVNSUMMA = 177198.52, KOPSUMMA = 1021001"));
    const engine::PageDocument document = print();
    for (const auto& [element, figure, caption] :
         {std::tuple{"lbSumSummaBezPVN", "843802,48", "lbSummaBezPVN"}, {"lbSumPVNSumma", "177198,52", "lbPVN21"},
          {"lbSumKopSumma", "1021001,00", "lbKopSumma"}}) {
        SCOPED_TRACE(element);
        EXPECT_EQ(textOf(document, QString::fromUtf8(element)), QString::fromUtf8(figure));
        const engine::TextRun& run = firstRun(document, QString::fromUtf8(element));
        EXPECT_NEAR(run.baseline.x() + run.width, rightEdgeOnPage(form, QString::fromUtf8(element)), 1e-6);
        const engine::TextRun& captionRun = firstRun(document, QString::fromUtf8(caption));
        if (run.box().left() < captionRun.box().right()) {
            EXPECT_NEAR(run.box().top(), captionRun.box().bottom(), 1e-6);
        }
    }
    EXPECT_GE(firstRun(document, QStringLiteral("shSummaVardiem")).box().top(),
              firstRun(document, QStringLiteral("lbSumKopSumma")).box().bottom() - 1e-6);
}

// Totals of up to 99 999,99 reach a pixel out of their 53 px, short of their
// captions: nothing moves.
TEST_F(LegibilityTest, TotalsOfTensOfThousandsStayBesideTheirCaptions)
{
    setIsi2(QStringLiteral("ISIPARVPARDVARDI = 'T'"));
    run(QStringLiteral("UPDATE O_PARPAV SET BEZPVNSUMMA = 82644.62, PVNSUMMA = 17355.37, KOPSUMMA = 99999.99"));
    const engine::PageDocument document = print();
    EXPECT_EQ(textOf(document, QStringLiteral("lbSumKopSumma")), QStringLiteral("99999,99"));
    for (const char* element : {"lbSumSummaBezPVN", "lbSumPVNSumma", "lbSumKopSumma", "shSummaVardiem", "QRLabel6"})
        EXPECT_EQ(placeOf(document, QString::fromUtf8(element))->top(),
                  qRound(form.QuickRep1.element(QString::fromUtf8(element)).top()))
            << element;
}

// Both amounts in words take two lines; the signature block, the footers
// and the comment move down below them, still within the band.
TEST_F(LegibilityTest, TwoLinesOfAmountsInWordsMoveTheSignaturesDown)
{
    setIsi(QStringLiteral("ISIPZFOOT1 = 'www.org.lv', ISIPZFOOT2 = 'Tālr. 67000000'"));
    setIsi2(QStringLiteral("ISIPARVPARDVARDI = 'T', PARVIEPVARDI = 'T'"));
    run(QStringLiteral("UPDATE O_PARPAV SET BEZPVNSUMMA = 81627.63, PVNSUMMA = 17141.8, KOPSUMMA = 98769.43,"
                       " IEPBEZPVNSUMMA = 72441.59, IEPPVNSUMMA = 15212.73, KOMENTARS = 'Piegādāt rīt'"));
    const engine::PageDocument document = print();
    const QStringList words = linesOf(document, QStringLiteral("shSummaVardiem"));
    ASSERT_GE(words.size(), 2);
    EXPECT_EQ(words.join(u' '), QStringLiteral("Pārd.summa vārdiem : ") + common::AmountInWords(98769.43)
                                    + QStringLiteral(" Iep.summa vārdiem : ") + common::AmountInWords(87654.32));
    const qreal wordsBottom = lastRun(document, QStringLiteral("shSummaVardiem")).box().bottom();
    for (const char* below : {"QRLabel6", "QRLabel9", "QRLabel5", "QRLabel7", "shISIORGNOS", "QRLabel2", "QRDBText2"})
        EXPECT_GE(firstRun(document, QString::fromUtf8(below)).box().top(), wordsBottom - 1e-6) << below;
    EXPECT_EQ(placeOf(document, QStringLiteral("shSummaVardiem"))->top(), 84);  // the words stay where they were
    const engine::Page& page = document.pages.back();
    EXPECT_GE(page.fillOf(kEndBand.toString())->rect.bottom(), page.fillOf(QStringLiteral("QRDBText2"))->rect.bottom());
}

// A two-line organisation name on both sides: the address lines and all
// below them move down, each caption beside its value, the address as far
// below the name's second line as the layout has it below the first.
TEST_F(LegibilityTest, ATwoLineOrganisationNameMovesTheAddressLinesDown)
{
    setIsi(QStringLiteral("ISIORGNOS = 'Sabiedrība ar ierobežotu atbildību \"Ziemeļkurzemes piena un gaļas"
                          " pārstrādes kooperatīvs\"'"));
    run(QStringLiteral("UPDATE O_PARPAV SET REKVIZITIFROM = 0"));
    const engine::PageDocument document = print();
    for (const auto& [name, caption, value] :
         {std::tuple{"NosutGNOS1", "NosutJuridAdrese", "NosutJuridAdrese1"},
          std::tuple{"SanGNOS1", "SanJuridAdrese", "SanJuridAdrese1"}}) {
        SCOPED_TRACE(name);
        ASSERT_EQ(linesOf(document, QString::fromUtf8(name)).size(), 2);
        const qreal secondLine = lastRun(document, QString::fromUtf8(name)).box().top();
        const qreal designDistance = form.QuickRep1.element(QString::fromUtf8(value)).top()
                                     - form.QuickRep1.element(QString::fromUtf8(name)).top();
        EXPECT_NEAR(firstRun(document, QString::fromUtf8(value)).box().top() - secondLine, designDistance, 1e-6);
        EXPECT_EQ(placeOf(document, QString::fromUtf8(caption))->top(),
                  placeOf(document, QString::fromUtf8(value))->top());
    }
    EXPECT_GT(document.pages.at(0).fillOf(kTitleBand.toString())->rect.height(), 306);
}

// Every part in the name column's caption: three lines in its 201 px, and
// the column header's bottom rule below the third.
TEST_F(LegibilityTest, AThreeLineNameCaptionKeepsTheBottomRuleBelowIt)
{
    setIsi(QStringLiteral("ISIPARVGNOS = 'T', ISIPARVSERTIF = 'T', ISIPARVSANNR = 'T'"));
    setIsi2(QStringLiteral("PARVKOMENTPIENOS = 'T'"));
    const engine::PageDocument document = print();
    ASSERT_GE(linesOf(document, QStringLiteral("HDNosaukums")).size(), 3);
    const qreal captionBottom = lastRun(document, QStringLiteral("HDNosaukums")).box().bottom();
    const engine::Page& page = document.pages.at(0);
    std::vector<const engine::FrameLine*> rules;
    for (const engine::DrawItem& item : page.items)
        if (const auto* rule = std::get_if<engine::FrameLine>(&item); rule && rule->source == kColumnHeaderBand)
            rules.push_back(rule);
    ASSERT_EQ(rules.size(), 2u);
    EXPECT_GE(rules[1]->line.y1() - rules[1]->width / 2, captionBottom - 1e-6);
    EXPECT_NEAR(page.fillOf(kDetailBand.toString())->rect.top(), rules[1]->line.y1() + rules[1]->width / 2, 1e-6);
}

// The one-block form's driver line stays at its design place below the
// 170 px title band, under the lines printed after it (a pair the page
// check lets pass): nothing moves where nothing stretches.
TEST_F(LegibilityTest, TheOneBlockFormsDriverLineKeepsItsPlaceBelowTheTitleBand)
{
    run(QStringLiteral("INSERT INTO N_MASINA (ISN, GNOS, REGNR, VALSTS_NR, VADITAJS) VALUES (1, 'A', 'B', 'C', 'D');"
                       "UPDATE O_PARPAV SET ISMASINA = 1"));
    setIsi(QStringLiteral("ISIPARVSOFERIS = 'T', ISIPARVHEADFORM = 1, ISIPARVNRPK = 'T', ISIPARVGNOS = 'T'"));
    QString lines;
    for (int line = 2; line <= 8; ++line)
        lines += QStringLiteral("INSERT INTO O_PARPRC (ISN, ISPARVPAV, ISPRECE, CENA, PARD_CENA, DAUDZUMS, NODOKLIS)"
                                " VALUES (%1, 5, 1, 0.8, 1, 10, 21);")
                     .arg(line);
    run(lines);
    const engine::PageDocument document = print();
    EXPECT_DOUBLE_EQ(document.pages.at(0).fillOf(kTitleBand.toString())->rect.height(), 170);
    EXPECT_EQ(placeOf(document, QStringLiteral("dbSoferis"))->top(), 286);
    EXPECT_EQ(placeOf(document, QStringLiteral("lbSoferis"))->top(), 286);
    EXPECT_EQ(linesOf(document, QStringLiteral("DTNosaukums")).size(), 8);
}

// The fixture's short texts: every element prints where the preparation
// put it, and every band keeps its height.
TEST_F(LegibilityTest, WhereNothingStretchesEveryElementStaysAtItsPlace)
{
    setIsi(QStringLiteral("ISIPARVNRPK = 'T', ISIPARVART = 'T', ISIPARVGNOS = 'T', ISIPARVREALSAR = 'T',"
                          " ISIPARVSOFERIS = 'T'"));
    setIsi2(QStringLiteral("ISIPARVPARDVARDI = 'T'"));
    const engine::PageDocument document = print();
    int checked = 0;
    for (const auto& band : form.QuickRep1.bands()) {
        if (const engine::FillRect* fill = document.pages.at(0).fillOf(band->name())) {
            EXPECT_DOUBLE_EQ(fill->rect.height(), band->height()) << qPrintable(band->name());
        }
        for (const auto& element : band->elements()) {
            const std::optional<QRect> place = placeOf(document, element->name());
            if (!place)
                continue;
            ++checked;
            EXPECT_EQ(place->top(), qRound(element->top())) << qPrintable(element->name());
        }
    }
    EXPECT_GT(checked, 50);
}

}  // namespace
}  // namespace gwtest
