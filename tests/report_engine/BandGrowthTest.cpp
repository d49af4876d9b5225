// What grows in a band, and what it moves: numbers too wide for their
// elements, texts that stretch and the elements below them, the band's
// height and its frame lines.

#include "PageChecks.h"
#include "TestReport.h"

#include <gtest/gtest.h>

#include <functional>

using namespace engine;
using namespace engine::test;

namespace {

// One detail band over one record, and where things printed in it; every
// print is checked for texts printed over.
struct Probe {
    Probe()
    {
        report.setDataSet(&data);
        data.setDisplayFormat("PRICE", "#0.00");
        data.addRow({1234567.5, QString("1234567"), QString(), QString()});
        data.open();
    }

    const Page& print()
    {
        EXPECT_EQ(report.print(device), PrintResult::Printed);
        const Page& page = device.jobs().back().document.pages.at(0);
        EXPECT_TRUE(noTextOverprinted(device.jobs().back().document));
        return page;
    }
    void setText(const QString& field, const QString& text)
    {
        data.clear();
        data.addRow({1234567.5, QString("1234567"), field == "NAME" ? text : QString(),
                     field == "NOTE" ? text : QString()});
        data.open();
    }

    // Relative to the band's top-left corner.
    QRectF fill(const Page& page, const QString& source) const
    {
        const QPointF band = page.fillOf("Detail")->rect.topLeft();
        return page.fillOf(source)->rect.translated(-band);
    }
    QRectF run(const Page& page, const QString& source, int line = 0) const
    {
        const QPointF band = page.fillOf("Detail")->rect.topLeft();
        return page.textRuns(source).at(line)->box().translated(-band);
    }

    MemoryDataSet data{{"PRICE", "DIGITS", "NAME", "NOTE"}};
    Report report;
    Band& detail = report.addBand(BandKind::Detail, "Detail", 60);
    RecordingDevice device;
};

template <class T>
T& fixed(T& element, Alignment alignment = Alignment::Left)
{
    element.setAutoSize(false);
    element.setAlignment(alignment);
    return element;
}

struct WideCase {
    const char* name;
    std::function<TextElement&(Band&)> add;  // an element 40 px wide from left 100
    QStringList lines;
    // Left and right edges of the first line; a negative edge: anywhere.
    qreal left, right;
};

class WideNumber : public ::testing::TestWithParam<WideCase> {};

// 1234567,50 is about 69 px wide in Arial 10 pt.
TEST_P(WideNumber, PrintsWholeOnOneLineOnTheSideItsAlignmentLeavesFree)
{
    const WideCase& c = GetParam();
    Probe probe;
    c.add(probe.detail);
    const Page& page = probe.print();
    QStringList lines;
    for (const TextRun* run : page.textRuns("Probe"))
        lines.append(run->text);
    EXPECT_EQ(lines, c.lines);
    const QRectF first = probe.run(page, "Probe");
    if (c.left >= 0) {
        EXPECT_NEAR(first.left(), c.left, 1e-6);
    }
    if (c.right >= 0) {
        EXPECT_NEAR(first.right(), c.right, 1e-6);
    }
    if (c.left < 0 && c.right < 0) {  // centred
        EXPECT_NEAR(first.center().x(), 120, 1e-6);
    }
}

const QRectF kNarrow(100, 0, 40, 17);

INSTANTIATE_TEST_SUITE_P(
    BandGrowth, WideNumber,
    ::testing::Values(
        WideCase{"right_aligned_field_grows_left",
                 [](Band& b) -> TextElement& { return fixed(b.addFieldText("Probe", "PRICE", kNarrow), Alignment::Right); },
                 {"1234567,50"}, -1, 140},
        WideCase{"left_aligned_field_grows_right",
                 [](Band& b) -> TextElement& { return fixed(b.addFieldText("Probe", "PRICE", kNarrow)); },
                 {"1234567,50"}, 100, -1},
        WideCase{"centred_field_grows_both_ways",
                 [](Band& b) -> TextElement& { return fixed(b.addFieldText("Probe", "PRICE", kNarrow), Alignment::Center); },
                 {"1234567,50"}, -1, -1},
        WideCase{"sum",
                 [](Band& b) -> TextElement& {
                     auto& sum = fixed(b.addExpression("Probe", "SUM(ReportSQL.PRICE)", kNarrow), Alignment::Right);
                     sum.setMask("#0.000");
                     return sum;
                 },
                 {"1234567,500"}, -1, 140},
        WideCase{"label_holding_a_number",
                 [](Band& b) -> TextElement& { return fixed(b.addLabel("Probe", "-1021001,00", kNarrow), Alignment::Right); },
                 {"-1021001,00"}, -1, 140},
        WideCase{"a_number_that_fits_stays_in_its_element",
                 [](Band& b) -> TextElement& {
                     return fixed(b.addFieldText("Probe", "PRICE", QRectF(100, 0, 80, 17)), Alignment::Right);
                 },
                 {"1234567,50"}, -1, 180},
        // texts wrap as they always did, also of digits and in place of a number
        WideCase{"digits_of_a_text_field",
                 [](Band& b) -> TextElement& { return fixed(b.addFieldText("Probe", "DIGITS", kNarrow), Alignment::Right); },
                 {"12345"}, -1, 140},
        WideCase{"words_in_place_of_a_number",
                 [](Band& b) -> TextElement& {
                     auto& field = fixed(b.addFieldText("Probe", "PRICE", QRectF(100, 0, 40, 40)));
                     field.setOnPrint([](TextElement&, QString& value) { value = "viens divi"; });
                     return field;
                 },
                 {"viens", "divi"}, 100, -1}),
    [](const auto& c) { return std::string(c.param.name); });

// Right-aligned figures side by side, one pixel apart, as the waybills'
// columns stand.
struct Columns : Probe {
    Columns()
    {
        detail.setHeight(20);
        fixed(detail.addLabel("Price", "12,345", QRectF(0, 2, 41, 15)), Alignment::Right);
        fixed(detail.addFieldText("Sum", "PRICE", QRectF(42, 2, 41, 15)), Alignment::Right);
        detail.addLabel("Below", "below", QRectF(0, 20, 80, 17));
    }
};

TEST(BandGrowth, ANumberThatWouldLieOverItsNeighbourGoesDownALineAndMovesWhatIsBelow)
{
    Columns probe;
    const Page& page = probe.print();
    const QRectF price = probe.run(page, "Price");
    const QRectF sum = probe.run(page, "Sum");
    EXPECT_EQ(page.textRuns("Sum").at(0)->text, "1234567,50");
    EXPECT_NEAR(sum.right(), 83, 1e-6);
    EXPECT_NEAR(sum.top(), price.bottom(), 1e-6);
    EXPECT_GE(probe.run(page, "Below").top(), sum.bottom() - 1e-6);
    EXPECT_NEAR(price.top(), 2, 1e-6);  // the neighbour stays
    EXPECT_NEAR(page.fillOf("Detail")->rect.bottom(), page.fillOf("Below")->rect.bottom(), 1e-6);
}

TEST(BandGrowth, ANumberGrowsIntoFreeRoomWithoutMovingAnything)
{
    Columns probe;
    probe.report.element<Label>("Price").setCaption("");
    const Page& page = probe.print();
    EXPECT_NEAR(probe.run(page, "Sum").top(), 2, 1e-6);
    EXPECT_NEAR(probe.run(page, "Below").top(), 20, 1e-6);
    EXPECT_DOUBLE_EQ(page.fillOf("Detail")->rect.height(), 20);
}

// A caption and a stretching value, the row of the address below them, a
// note beside the value, and a line far below.
struct Form : Probe {
    Form()
    {
        detail.setHeight(90);
        detail.addLabel("NameCaption", "Name:", QRectF(0, 0, 50, 17));
        auto& name = fixed(detail.addFieldText("Name", "NAME", QRectF(60, 0, 100, 17)));
        name.setAutoStretch(true);
        detail.addLabel("Note", "Note", QRectF(200, 10, 100, 17));
        detail.addLabel("AddressCaption", "Address:", QRectF(0, 18, 50, 17));
        detail.addLabel("Address", "Street 1", QRectF(61, 19, 100, 17));
        detail.addLabel("Far", "Far below", QRectF(60, 70, 100, 17));
    }
};

TEST(BandGrowth, WhereNothingStretchesEveryElementStaysAtItsDesignPosition)
{
    Form probe;
    probe.setText("NAME", "Short");
    const Page& page = probe.print();
    for (const auto& [element, top] : {std::pair{"NameCaption", 0}, {"Name", 0}, {"Note", 10},
                                       {"AddressCaption", 18}, {"Address", 19}, {"Far", 70}})
        EXPECT_DOUBLE_EQ(probe.fill(page, element).top(), top) << element;
    EXPECT_DOUBLE_EQ(page.fillOf("Detail")->rect.height(), 90);
}

// The address row moves down with the name's two further lines, keeping its
// place below the name; the note beside the name and the line far below,
// which the growth does not reach, keep theirs, as does the band, which
// still holds everything.
TEST(BandGrowth, AStretchingTextMovesTheRowsBelowItDownWithIt)
{
    Form probe;
    probe.setText("NAME", "One\nTwo\nThree");
    const Page& page = probe.print();
    ASSERT_EQ(page.textRuns("Name").size(), 3u);
    const qreal lastLine = probe.run(page, "Name", 2).top();
    EXPECT_NEAR(probe.fill(page, "Address").top() - lastLine, 19, 1e-6);
    EXPECT_NEAR(probe.fill(page, "AddressCaption").top() - lastLine, 18, 1e-6);
    EXPECT_DOUBLE_EQ(probe.fill(page, "Note").top(), 10);
    EXPECT_DOUBLE_EQ(probe.fill(page, "Far").top(), 70);
    EXPECT_DOUBLE_EQ(page.fillOf("Detail")->rect.height(), 90);
}

TEST(BandGrowth, TheBandGrowsClearOfItsBottomFrameLine)
{
    Probe probe;
    probe.detail.setHeight(20);
    probe.detail.frame() = Frame{.drawTop = true, .drawBottom = true, .widthPt = 2};
    auto& name = fixed(probe.detail.addFieldText("Name", "NAME", QRectF(0, 2, 100, 15)));
    name.setAutoStretch(true);
    probe.setText("NAME", "One\nTwo\nThree");
    const Page& page = probe.print();
    ASSERT_EQ(page.textRuns("Name").size(), 3u);
    const qreal lastLine = page.textRuns("Name").at(2)->box().bottom();
    std::vector<const FrameLine*> frames;
    for (const DrawItem& item : page.items)
        if (const auto* frame = std::get_if<FrameLine>(&item))
            frames.push_back(frame);
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_NEAR(frames[1]->line.y1() - frames[1]->width / 2, lastLine, 1e-6);
    EXPECT_NEAR(page.fillOf("Detail")->rect.bottom(), lastLine + pointsToPixels(2), 1e-6);
}

// Backgrounds laid down after a frame line would cut into it.
TEST(BandGrowth, FrameLinesAreDrawnAfterTheBandsElements)
{
    TestReport t;
    t.addRecords(1);
    ASSERT_EQ(t.print(), PrintResult::Printed);
    const Page& page = t.document().pages[0];
    std::size_t lastColumnsFill = 0, firstColumnsFrame = page.items.size();
    for (std::size_t i = 0; i < page.items.size(); ++i) {
        if (const auto* fill = std::get_if<FillRect>(&page.items[i]); fill && fill->source == "NameCaption")
            lastColumnsFill = i;
        if (const auto* frame = std::get_if<FrameLine>(&page.items[i]); frame && frame->source == "Columns")
            firstColumnsFrame = std::min(firstColumnsFrame, i);
    }
    EXPECT_GT(firstColumnsFrame, lastColumnsFill);
    EXPECT_LT(firstColumnsFrame, page.items.size());
}

// What a stretching name moves below it goes on to the next page with the
// name's last lines, in the same order.
TEST(BandGrowth, WhatMovedPastThePageEndContinuesOnTheNextPageBelowTheLinesAboveIt)
{
    TestReport t;
    t.detail.setHeight(40);
    t.detail.addLabel("Below", "Under the name", QRectF(40, 20, 200, 16));
    const int fitting = int((t.pageSpace() - 40 - 60 - 20) / 40);
    t.addRecords(fitting - 1);
    QStringList paragraphs;
    for (int i = 1; i <= 8; ++i)
        paragraphs.append(QStringLiteral("Line %1").arg(i));
    // Its band starts with 40 to 80 px left on the page, which hold a few of
    // its lines.
    t.addRecord(paragraphs.join('\n'), 1);
    ASSERT_EQ(t.print(), PrintResult::Printed);

    const PageDocument& doc = t.document();
    ASSERT_EQ(doc.pages.size(), 2u);
    EXPECT_TRUE(noTextOverprinted(doc));
    const QStringList names = textsOf(doc, "Name");
    EXPECT_EQ(names.mid(names.size() - 8), paragraphs);
    const auto continued = doc.pages[1].textRuns("Name");
    const auto below = doc.pages[1].textRuns("Below");
    ASSERT_FALSE(continued.empty());
    ASSERT_EQ(below.size(), 1u);
    EXPECT_EQ(below.back()->text, "Under the name");
    // 18 px below the name's last line, as it stands below its first
    EXPECT_NEAR(below.back()->box().top() - continued.back()->box().top(), 18, 1e-6);
    EXPECT_EQ(textsOf(doc.pages[0], "Below").size(), qsizetype(fitting - 1));
}

}  // namespace
