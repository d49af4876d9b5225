// The print cycle on the test report: band order, page breaks, empty
// datasets, copies, child bands, sizing and stretching, handlers, failures
// and cancel. Asserts on the page document the recording device receives.

#include "CaseName.h"
#include "TestReport.h"

#include <QEventLoop>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

#include <chrono>
#include <stdexcept>
#include <thread>

using namespace engine;
using namespace engine::test;

namespace {

QStringList repeated(const QString& text, int count)
{
    QStringList list;
    for (int i = 0; i < count; ++i)
        list.append(text);
    return list;
}

QStringList numbers(int from, int to, const QString& prefix = {})
{
    QStringList list;
    for (int i = from; i <= to; ++i)
        list.append(prefix + QString::number(i));
    return list;
}

// Detail bands (20 px) that fit on the first page below page header (40),
// title (60) and column header (20), and on a further page.
int detailsOnFirstPage(const TestReport& t)
{
    return int((t.pageSpace() - 40 - 60 - 20) / 20);
}

int detailsOnFurtherPage(const TestReport& t)
{
    return int((t.pageSpace() - 40 - 20) / 20);
}

}  // namespace

TEST(PrintCycle, EveryPageStartsWithPageAndColumnHeaderAndTheTitlePrintsOnce)
{
    TestReport t;
    const int first = detailsOnFirstPage(t), further = detailsOnFurtherPage(t);
    const int records = first + further + 3;
    t.addRecords(records);
    ASSERT_EQ(t.print(), PrintResult::Printed);

    const PageDocument& doc = t.document();
    ASSERT_EQ(doc.pages.size(), 3u);
    EXPECT_EQ(bandsOn(doc.pages[0], t.report),
              QStringList({"PageHeader", "Title", "Columns"}) + repeated("Detail", first));
    EXPECT_EQ(bandsOn(doc.pages[1], t.report), QStringList({"PageHeader", "Columns"}) + repeated("Detail", further));
    EXPECT_EQ(bandsOn(doc.pages[2], t.report),
              QStringList({"PageHeader", "Columns", "Detail", "Detail", "Detail", "Summary", "Footer"}));
    for (const Page& page : doc.pages)
        EXPECT_DOUBLE_EQ(page.fillOf("PageHeader")->rect.top(), t.top());
    EXPECT_EQ(textsOf(doc, "PageNo"), numbers(1, 3, "Page "));
    EXPECT_EQ(textsOf(doc, "LineNo"), numbers(1, records));
    EXPECT_EQ(textsOf(doc, "TitleText").size(), 1);
}

struct PageEndCase {
    const char* name;
    int recordsShortOfAFullPage;
    QStringList bandsOnSecondPage;
};

class SummaryAtPageEnd : public ::testing::TestWithParam<PageEndCase> {};

TEST_P(SummaryAtPageEnd, BandsThatDoNotFitGoOnANewPageAfterItsHeaders)
{
    TestReport t;
    t.addRecords(detailsOnFirstPage(t) - GetParam().recordsShortOfAFullPage);
    ASSERT_EQ(t.print(), PrintResult::Printed);
    ASSERT_EQ(t.document().pages.size(), 2u);
    EXPECT_EQ(bandsOn(t.document().pages[1], t.report), GetParam().bandsOnSecondPage);
}

INSTANTIATE_TEST_SUITE_P(
    PrintCycle, SummaryAtPageEnd,
    ::testing::Values(PageEndCase{"summary_and_child_move", 0, {"PageHeader", "Columns", "Summary", "Footer"}},
                      PageEndCase{"only_the_child_moves", 2, {"PageHeader", "Columns", "Footer"}}),
    testsupport::CaseName());

struct EmptyCase {
    const char* name;
    bool open;
    bool printIfEmpty;
    QStringList bands;  // on the one page, if any
};

class EmptyDataSet : public ::testing::TestWithParam<EmptyCase> {};

TEST_P(EmptyDataSet, PrintsTitleDetailAndSummaryOnlyWhenPrintIfEmpty)
{
    TestReport t;
    if (GetParam().open)
        t.data.open();
    t.report.setPrintIfEmpty(GetParam().printIfEmpty);
    ASSERT_EQ(t.print(), PrintResult::Printed);

    EXPECT_EQ(t.job().state, RecordingDevice::JobState::Ended);
    EXPECT_EQ(t.beforePrintRuns, 1);
    EXPECT_EQ(t.afterPrintRuns, 1);
    const PageDocument& doc = t.document();
    ASSERT_EQ(doc.pages.size(), GetParam().bands.isEmpty() ? 0u : 1u);
    if (doc.pages.empty())
        return;
    EXPECT_EQ(bandsOn(doc.pages[0], t.report), GetParam().bands);
    EXPECT_TRUE(textsOf(doc, "Name").isEmpty());
    EXPECT_EQ(textsOf(doc, "Total"), QStringList{"0,000"});
}

const QStringList kEmptyPrint = {"PageHeader", "Title", "Detail", "Summary", "Footer"};

INSTANTIATE_TEST_SUITE_P(PrintCycle, EmptyDataSet,
                         ::testing::Values(EmptyCase{"closed_not_printed", false, false, {}},
                                           EmptyCase{"open_not_printed", true, false, {}},
                                           EmptyCase{"closed_printed", false, true, kEmptyPrint},
                                           EmptyCase{"open_printed", true, true, kEmptyPrint}),
                         testsupport::CaseName());

struct CopiesCase {
    int copiesSet;
    int copiesInJob;
};

class Copies : public ::testing::TestWithParam<CopiesCase> {};

TEST_P(Copies, OneJobCarriesTheCopiesAndHandlersRunOnce)
{
    TestReport t;
    t.report.printerSettings().copies = GetParam().copiesSet;
    t.addRecords(detailsOnFirstPage(t) + 1);
    ASSERT_EQ(t.print(), PrintResult::Printed);
    ASSERT_EQ(t.device.jobs().size(), 1u);
    EXPECT_EQ(t.job().settings.copies, GetParam().copiesInJob);
    EXPECT_EQ(t.job().settings.title, "Test report");
    EXPECT_EQ(t.beforePrintRuns, 1);
    EXPECT_EQ(t.afterPrintRuns, 1);
    EXPECT_EQ(textsOf(t.document(), "PageNo"), numbers(1, 2, "Page "));
}

// A copy count below 1 still prints once rather than silently nothing.
INSTANTIATE_TEST_SUITE_P(PrintCycle, Copies,
                         ::testing::Values(CopiesCase{3, 3}, CopiesCase{1, 1}, CopiesCase{0, 1}, CopiesCase{-2, 1}),
                         [](const auto& c) { return "copies_" + testsupport::numberName(c.param.copiesSet); });

TEST(PrintCycle, AChildBandSkippedByItsHandlerIsSkippedForThatRecordOnly)
{
    TestReport t;
    t.addRecord("First", 1, "C-1");
    t.addRecord("Second", 1, "");
    t.addRecord("Third", 1, "C-3");
    ASSERT_EQ(t.print(), PrintResult::Printed);
    EXPECT_EQ(bandsOn(t.document().pages[0], t.report),
              QStringList({"PageHeader", "Title", "Columns", "Detail", "Certificate", "Detail", "Detail",
                           "Certificate", "Summary", "Footer"}));
    EXPECT_EQ(textsOf(t.document(), "Cert"), QStringList({"C-1", "C-3"}));
}

TEST(PrintCycle, SumsAddThePrintedDetailRecordsAndFormatByTheMask)
{
    TestReport t;
    for (int i = 0; i < 3; ++i)
        t.addRecord("Item", 1.5);
    t.detail.setBeforePrint([&t](Band&, bool& printBand) { printBand = t.data.value("NAME") != "Skipped"; });
    t.addRecord("Skipped", 100);
    ASSERT_EQ(t.print(), PrintResult::Printed);
    EXPECT_EQ(textsOf(t.document(), "Total"), QStringList{"4,500"});
}

TEST(PrintCycle, AnOnPrintReplacementHoldsForOnePrintingOnly)
{
    TestReport t;
    Label& tag = t.detail.addLabel("Tag", "tag", QRectF(600, 2, 50, 16));
    const auto onSecondRecord = [&t](const QString& replacement) {
        return [&t, replacement](TextElement&, QString& value) {
            if (t.data.value("NAME") == "Second")
                value = replacement;
        };
    };
    tag.setOnPrint(onSecondRecord("special"));
    t.report.element<FieldText>("Name").setOnPrint(onSecondRecord("Replaced"));
    t.addRecord("First", 1);
    t.addRecord("Second", 1);
    t.addRecord("Third", 1);
    ASSERT_EQ(t.print(), PrintResult::Printed);
    EXPECT_EQ(textsOf(t.document(), "Name"), QStringList({"First", "Replaced", "Third"}));
    EXPECT_EQ(textsOf(t.document(), "Tag"), QStringList({"tag", "special", "tag"}));
    EXPECT_EQ(tag.caption(), "tag");
}

TEST(PrintCycle, ValuesSetByHandlersApplyAsTheyPrintAndStaySet)
{
    TestReport t;
    FieldText& quantity = t.report.element<FieldText>("Qty");
    t.detail.setBeforePrint([&](Band& band, bool&) {
        const int n = t.data.value("QTY").toInt();
        band.setHeight(20 + n);
        quantity.setLeft(400 + 10 * n);
    });
    t.addRecord("a", 1);
    t.addRecord("b", 2);
    ASSERT_EQ(t.print(), PrintResult::Printed);
    const auto fills = fillsOf(t.document(), "Detail");
    ASSERT_EQ(fills.size(), 2u);
    EXPECT_DOUBLE_EQ(fills[0]->rect.height(), 21);
    EXPECT_DOUBLE_EQ(fills[1]->rect.height(), 22);
    const auto runs = t.document().pages[0].textRuns("Qty");
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_DOUBLE_EQ(runs[1]->baseline.x() + runs[1]->width - (runs[0]->baseline.x() + runs[0]->width), 10);
    EXPECT_EQ(quantity.left(), 420);
    EXPECT_EQ(t.detail.height(), 22);
}

struct PlacementCase {
    const char* name;
    Alignment alignment;
    bool alignToBand;
    qreal expectedAnchor;  // left edge, centre or right edge by alignment; negative: from the band's width
};

class AutoSizePlacement : public ::testing::TestWithParam<PlacementCase> {};

TEST_P(AutoSizePlacement, TheElementKeepsItsEdgeOrCentreWhateverItsText)
{
    const PlacementCase& c = GetParam();
    for (const QString& caption : {QStringLiteral("Short"), QStringLiteral("A considerably longer caption")}) {
        TestReport t;
        Label& probe = t.title.addLabel("Probe", caption, QRectF(300, 30, 100, 17));
        probe.setAlignment(c.alignment);
        probe.setAlignToBand(c.alignToBand);
        t.addRecords(1);
        ASSERT_EQ(t.print(), PrintResult::Printed);

        const auto runs = t.document().pages[0].textRuns("Probe");
        ASSERT_EQ(runs.size(), 1u);
        const QRectF box = runs[0]->box().translated(-t.report.page().marginsPx().left(), 0);
        const qreal anchor = c.alignment == Alignment::Left    ? box.left()
                             : c.alignment == Alignment::Right ? box.right()
                                                               : box.center().x();
        const qreal expected = c.expectedAnchor < 0 ? t.report.bandWidth() / -c.expectedAnchor : c.expectedAnchor;
        EXPECT_NEAR(anchor, expected, 1e-6) << qPrintable(caption);
        EXPECT_NEAR(t.document().pages[0].fillOf("Probe")->rect.width(), runs[0]->width, 1e-6);
    }
}

INSTANTIATE_TEST_SUITE_P(
    PrintCycle, AutoSizePlacement,
    ::testing::Values(PlacementCase{"right_to_band", Alignment::Right, true, -1},
                      PlacementCase{"left_to_band", Alignment::Left, true, 0},
                      PlacementCase{"centred_in_band", Alignment::Center, true, -2},
                      PlacementCase{"right_keeps_right_edge", Alignment::Right, false, 400},
                      PlacementCase{"left_keeps_left_edge", Alignment::Left, false, 300},
                      PlacementCase{"centred_keeps_centre", Alignment::Center, false, 350}),
    testsupport::CaseName());

TEST(PrintCycle, AStretchingFieldMakesOnlyItsOwnRecordsBandTaller)
{
    TestReport t;
    t.detail.frame().drawBottom = true;
    const QString longName = "Goods with a rather long name - so long that it needs several lines in a column "
                             "three hundred pixels wide";
    t.addRecord("Short", 1);
    t.addRecord(longName, 1);
    t.addRecord("Short again", 1);
    ASSERT_EQ(t.print(), PrintResult::Printed);

    const auto fills = fillsOf(t.document(), "Detail");
    ASSERT_EQ(fills.size(), 3u);
    const auto runs = t.document().pages[0].textRuns("Name");
    const auto lines = qsizetype(runs.size()) - 2;
    ASSERT_GE(lines, 2);
    QString joined;
    for (qsizetype i = 1; i <= lines; ++i) {
        EXPECT_LE(runs[i]->width, 300);
        joined += runs[i]->text;
    }
    EXPECT_EQ(joined.remove(' '), QString(longName).remove(' '));
    EXPECT_DOUBLE_EQ(fills[0]->rect.height(), 20);
    // holding the lines clear of the band's bottom frame line
    EXPECT_DOUBLE_EQ(fills[1]->rect.height(), 2 + lines * runs[1]->lineHeight + pointsToPixels(1));
    EXPECT_DOUBLE_EQ(fills[1]->rect.top(), fills[0]->rect.bottom());
    EXPECT_DOUBLE_EQ(fills[2]->rect.top(), fills[1]->rect.bottom());
    EXPECT_DOUBLE_EQ(fills[2]->rect.height(), 20);
    std::vector<qreal> frames;
    for (const DrawItem& item : t.document().pages[0].items)
        if (const auto* frame = std::get_if<FrameLine>(&item); frame && frame->source == "Detail")
            frames.push_back(frame->line.y1() + frame->width / 2);
    ASSERT_EQ(frames.size(), 3u);
    EXPECT_DOUBLE_EQ(frames[1], fills[1]->rect.bottom());  // at the grown height
}

TEST(PrintCycle, StretchedLinesPastThePageEndContinueBelowTheNextPagesHeaders)
{
    TestReport t;
    t.addRecords(detailsOnFirstPage(t) - 1);
    const QStringList paragraphs = numbers(1, 30, "Line ");
    t.addRecord(paragraphs.join('\n'), 1);
    ASSERT_EQ(t.print(), PrintResult::Printed);

    const PageDocument& doc = t.document();
    ASSERT_EQ(doc.pages.size(), 2u);
    const QStringList names = textsOf(doc, "Name");
    EXPECT_EQ(names.mid(names.size() - 30), paragraphs);
    const Page& second = doc.pages[1];
    EXPECT_EQ(bandsOn(second, t.report), QStringList({"PageHeader", "Columns", "Detail", "Summary", "Footer"}));
    const auto continued = second.textRuns("Name");
    ASSERT_FALSE(continued.empty());
    EXPECT_NEAR(continued.front()->box().top(), second.fillOf("Columns")->rect.bottom(), 1e-6);
    EXPECT_LE(continued.back()->box().bottom(), second.fillOf("Summary")->rect.top() + 1e-6);
    for (const TextRun* run : doc.pages[0].textRuns("Name"))
        EXPECT_LE(run->box().bottom(), t.top() + t.pageSpace() + 1e-6);
}

TEST(PrintCycle, ElementsAreNotClippedAndLaterBandsCoverThem)
{
    TestReport t;
    t.title.addLabel("Below", "Below its band", QRectF(10, 65, 120, 17));
    t.title.addLabel("Beyond", "Right of its band", QRectF(t.report.bandWidth() + 20, 10, 120, 17));
    t.addRecords(1);
    ASSERT_EQ(t.print(), PrintResult::Printed);

    const Page& page = t.document().pages[0];
    const QRectF title = page.fillOf("Title")->rect;
    const TextRun* below = page.textRuns("Below").at(0);
    EXPECT_NEAR(below->box().top(), title.top() + 65, 1e-6);
    EXPECT_GT(page.textRuns("Beyond").at(0)->baseline.x(), title.right());
    // The column header's background is painted after the text it overlaps.
    const FillRect* columns = page.fillOf("Columns");
    EXPECT_TRUE(columns->rect.intersects(below->box()));
    const auto indexOf = [&page](const void* item) {
        for (std::size_t i = 0; i < page.items.size(); ++i)
            if (std::visit([](const auto& v) -> const void* { return &v; }, page.items[i]) == item)
                return i;
        return page.items.size();
    };
    EXPECT_GT(indexOf(columns), indexOf(below));
}

TEST(PrintCycle, FrameLinesRunAlongTheBandsEdgesInsideTheBand)
{
    TestReport t;
    t.addRecords(1);
    ASSERT_EQ(t.print(), PrintResult::Printed);
    std::vector<FrameLine> frames;
    for (const DrawItem& item : t.document().pages[0].items)
        if (const auto* frame = std::get_if<FrameLine>(&item); frame && frame->source == "Columns")
            frames.push_back(*frame);
    const QRectF columns = t.document().pages[0].fillOf("Columns")->rect;
    ASSERT_EQ(frames.size(), 2u);
    const qreal half = pointsToPixels(2) / 2;
    EXPECT_EQ(frames[0].line, QLineF(columns.topLeft(), columns.topRight()).translated(0, half));
    EXPECT_EQ(frames[1].line, QLineF(columns.bottomLeft(), columns.bottomRight()).translated(0, -half));
    EXPECT_DOUBLE_EQ(frames[0].width, 2 * half);
}

TEST(PrintCycle, APrintOfTheSameReportDuringARunIsRefused)
{
    TestReport t;
    t.addRecords(2);
    RecordingDevice other;
    bool refused = false;
    t.title.setBeforePrint([&](Band&, bool&) {
        try {
            t.report.print(other);
        } catch (const EngineError&) {
            refused = true;
        }
    });
    EXPECT_EQ(t.print(), PrintResult::Printed);
    EXPECT_TRUE(refused);
    EXPECT_TRUE(other.jobs().empty());
    EXPECT_EQ(t.print(), PrintResult::Printed);  // and the next print runs
}

TEST(PrintCycle, NoUsableDeviceMeansNothingHappens)
{
    TestReport t;
    t.addRecords(3);
    RecordingDevice unusable(false);
    EXPECT_EQ(t.report.print(unusable), PrintResult::NoPrinter);
    EXPECT_EQ(t.beforePrintRuns, 0);
    EXPECT_EQ(t.afterPrintRuns, 0);
    EXPECT_TRUE(unusable.jobs().empty());
}

TEST(PrintCycle, BeforePrintCanCancelThePrint)
{
    TestReport t;
    t.addRecords(3);
    t.report.setBeforePrint([](Report&, bool& printReport) { printReport = false; });
    EXPECT_EQ(t.print(), PrintResult::NotPrinted);
    EXPECT_TRUE(t.device.jobs().empty());
    EXPECT_EQ(t.afterPrintRuns, 0);
}

TEST(PrintCycle, AnErrorInBeforePrintReachesTheCallerWithNothingPrinted)
{
    TestReport t;
    t.addRecords(3);
    t.report.setBeforePrint([](Report&, bool&) { throw std::runtime_error("preparation failed"); });
    EXPECT_THROW(
        {
            try {
                t.print();
            } catch (const std::runtime_error& e) {
                EXPECT_STREQ(e.what(), "preparation failed");
                throw;
            }
        },
        std::runtime_error);
    EXPECT_TRUE(t.device.jobs().empty());
    EXPECT_EQ(t.afterPrintRuns, 0);
}

struct FailureCase {
    const char* name;
    void (*arm)(TestReport&);  // makes one handler throw "boom"
    std::size_t pages;         // made before the error
    QString lastLineNo;        // of the last band that printed whole
};

class FailureWhilePrinting : public ::testing::TestWithParam<FailureCase> {};

TEST_P(FailureWhilePrinting, ClosesTheJobWithThePagesSoFarRunsAfterPrintThenThrows)
{
    TestReport t;
    t.addRecords(60);
    GetParam().arm(t);
    EXPECT_THROW(t.print(), std::runtime_error);
    EXPECT_EQ(t.job().state, RecordingDevice::JobState::Ended);
    EXPECT_EQ(t.document().pages.size(), GetParam().pages);
    EXPECT_EQ(textsOf(t.document(), "LineNo").last(), GetParam().lastLineNo);
    EXPECT_EQ(t.afterPrintRuns, 1);
}

const auto throwOnItem50 = [](TestReport& t) {
    t.report.element<FieldText>("Name").setOnPrint([](TextElement&, QString& value) {
        if (value == "Item 50")
            throw std::runtime_error("boom");
    });
};
const auto throwInChildOfItem50 = [](TestReport& t) {
    t.certificate.setBeforePrint([&t](Band&, bool&) {
        if (t.data.value("NAME") == "Item 50")
            throw std::runtime_error("boom");
    });
};
const auto throwInSummary = [](TestReport& t) {
    t.summary.setBeforePrint([](Band&, bool&) { throw std::runtime_error("boom"); });
};

INSTANTIATE_TEST_SUITE_P(PrintCycle, FailureWhilePrinting,
                         ::testing::Values(FailureCase{"element_handler", throwOnItem50, 2, "49"},
                                           FailureCase{"child_band_handler", throwInChildOfItem50, 2, "50"},
                                           FailureCase{"summary_handler", throwInSummary, 2, "60"}),
                         testsupport::CaseName());

TEST(PrintCycle, CancelAbandonsTheJobSkipsAfterPrintAndIsClearedForTheNextPrint)
{
    TestReport t;
    t.addRecords(100);
    int started = 0, finished = 0;
    bool cancelOnce = true;
    PrintProgress& progress = t.report.progress();
    QObject::connect(&progress, &PrintProgress::started, [&](int count) {
        EXPECT_EQ(count, 100);
        ++started;
    });
    QObject::connect(&progress, &PrintProgress::finished, [&] { ++finished; });
    QObject::connect(&progress, &PrintProgress::recordPrinted, [&](int printed, int count) {
        EXPECT_EQ(count, 100);
        if (printed == 5 && std::exchange(cancelOnce, false))
            progress.requestCancel();
    });

    EXPECT_EQ(t.print(), PrintResult::Cancelled);
    EXPECT_EQ(t.job().state, RecordingDevice::JobState::Abandoned);
    EXPECT_EQ(t.afterPrintRuns, 0);
    EXPECT_EQ(started, 1);
    EXPECT_EQ(finished, 1);

    EXPECT_EQ(t.print(), PrintResult::Printed);
    EXPECT_EQ(t.device.jobs().at(1).state, RecordingDevice::JobState::Ended);
    EXPECT_EQ(t.afterPrintRuns, 1);
}

TEST(PrintCycle, ProgressReachesAWindowThreadWhichCanCancel)
{
    TestReport t;
    t.addRecords(2000);
    t.detail.setBeforePrint([](Band&, bool&) { std::this_thread::sleep_for(std::chrono::milliseconds(1)); });
    QObject window;  // stands for the progress window, in this (GUI) thread
    QEventLoop loop;
    bool finished = false;
    PrintProgress& progress = t.report.progress();
    QObject::connect(&progress, &PrintProgress::recordPrinted, &window, [&](int printed, int) {
        EXPECT_EQ(QThread::currentThread(), window.thread());
        if (printed >= 10)
            progress.requestCancel();
    });
    QObject::connect(&progress, &PrintProgress::finished, &window, [&] {
        finished = true;
        loop.quit();
    });
    QTimer::singleShot(20000, &loop, &QEventLoop::quit);

    PrintResult result = PrintResult::NotPrinted;
    std::thread printing([&] { result = t.print(); });
    loop.exec();
    printing.join();
    EXPECT_TRUE(finished);
    EXPECT_EQ(result, PrintResult::Cancelled);
    EXPECT_EQ(t.afterPrintRuns, 0);
}
