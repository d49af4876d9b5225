// Line breaking and the report fonts.

#include "CaseName.h"
#include "ReportFont.h"
#include "TextLayout.h"

#include <QFontMetricsF>

#include <gtest/gtest.h>

using namespace engine;

namespace {

struct BreakCase {
    const char* name;
    QString text;
    QString widthOf;  // the box is as wide as this text (plus half a pixel); empty: no wrapping
    QStringList lines;
};

class LineBreaking : public ::testing::TestWithParam<BreakCase> {};

TEST_P(LineBreaking, BreaksAfterSpacesHyphensAndLineBreaks)
{
    const BreakCase& c = GetParam();
    const QFont font = toQFont(FontSpec{});
    std::optional<qreal> width;
    if (!c.widthOf.isEmpty())
        width = QFontMetricsF(font).horizontalAdvance(c.widthOf) + 0.5;
    const TextBlock block = layOutText(c.text, font, width);
    EXPECT_EQ(block.lines, c.lines);
    for (qreal lineWidth : block.widths)
        EXPECT_LE(lineWidth, width.value_or(lineWidth));
}

INSTANTIATE_TEST_SUITE_P(
    TextLayout, LineBreaking,
    ::testing::Values(
        BreakCase{"after_a_space", "alpha beta gamma", "alpha beta", {"alpha beta", "gamma"}},
        BreakCase{"after_a_hyphen", "alpha-beta", "alpha-be", {"alpha-", "beta"}},
        BreakCase{"long_word_between_characters", "abcdabcdab", "abcd", {"abcd", "abcd", "ab"}},
        BreakCase{"long_word_starts_its_own_line", "ab abcdefghij", "abcde", {"ab", "abcde", "fghij"}},
        BreakCase{"line_breaks", "one\rtwo\r\nthree\nfour", "one two three four", {"one", "two", "three", "four"}},
        BreakCase{"spaces_at_a_break_are_dropped", "alpha    beta", "alpha", {"alpha", "beta"}},
        BreakCase{"fitting_text_keeps_its_blank", "Pavadzīme ", "Pavadzīme xx", {"Pavadzīme "}},
        BreakCase{"without_wrapping_paragraphs_stay_whole", "alpha beta gamma\nsecond", "",
                  {"alpha beta gamma", "second"}},
        BreakCase{"empty_text_has_no_lines", "", "abc", {}}),
    testsupport::CaseName());

struct SizeCase {
    qreal points;
    int pixels;
};

class FontPixelSize : public ::testing::TestWithParam<SizeCase> {};

// Point sizes become whole report pixels at 96 dpi, as the layouts expect.
TEST_P(FontPixelSize, RoundsPointsToWholePixels)
{
    const QFont font = toQFont(FontSpec{.pointSize = GetParam().points});
    EXPECT_EQ(font.pixelSize(), GetParam().pixels);
    EXPECT_EQ(font.hintingPreference(), QFont::PreferNoHinting);
}

INSTANTIATE_TEST_SUITE_P(TextLayout, FontPixelSize,
                         ::testing::Values(SizeCase{6, 8}, SizeCase{7, 9}, SizeCase{8, 11}, SizeCase{9, 12},
                                           SizeCase{10, 13}, SizeCase{12, 16}),
                         [](const auto& c) { return testsupport::numberName(c.param.points) + "pt"; });

TEST(ReportFont, ArialResolvesToAMetricCompatibleFamily)
{
    EXPECT_TRUE(checkReportFont());
    EXPECT_FALSE(checkReportFont("Courier New"));
}

}  // namespace
