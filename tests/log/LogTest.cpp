// The log line of an event: level, name, then key=value details, quoted
// where a reader would otherwise split them.

#include "Log.h"

#include <gtest/gtest.h>

namespace {

struct LineCase {
    const char* name;
    QVariant value;
    const char* written;
};

const LineCase kLineCases[] = {
    {"PlainText", QStringLiteral("9171900001"), "n=9171900001"},
    {"Number", 42, "n=42"},
    {"Blank", QStringLiteral("a b"), "n=\"a b\""},
    {"Empty", QString(), "n=\"\""},
    {"QuoteAndBackslash", QStringLiteral("say \"x\" \\"), "n=\"say \\\"x\\\" \\\\\""},
    {"EqualsSign", QStringLiteral("a=b"), "n=\"a=b\""},
    {"NewLine", QStringLiteral("one\ntwo"), "n=\"one\\ntwo\""},
    {"Utf8", QStringLiteral("Cēsis"), "n=Cēsis"},
};

class LogLineTest : public ::testing::TestWithParam<LineCase> {};

TEST_P(LogLineTest, AValueReadsBackAsOneDetail)
{
    const LineCase& c = GetParam();
    EXPECT_EQ(logging::eventLine(logging::Level::Info, "e", {{"n", c.value}}),
              QByteArray("level=info event=e ") + c.written);
}

INSTANTIATE_TEST_SUITE_P(Values, LogLineTest, ::testing::ValuesIn(kLineCases),
                         [](const auto& valueCase) { return std::string(valueCase.param.name); });

TEST(LogTest, LevelsAreNamedAsTheOptionTakesThem)
{
    EXPECT_EQ(logging::levelNamed(QStringLiteral("warning")), logging::Level::Warning);
    EXPECT_EQ(logging::levelNamed(QStringLiteral("debug")), logging::Level::Debug);
    EXPECT_EQ(logging::levelNamed(QStringLiteral("verbose")), std::nullopt);
    EXPECT_EQ(logging::eventLine(logging::Level::Error, "db.failed", {{"a", 1}, {"b", 2}}),
              QByteArray("level=error event=db.failed a=1 b=2"));
}

TEST(LogTest, ADetailWithoutValueIsLeftOut)
{
    EXPECT_EQ(logging::eventLine(logging::Level::Info, "print", {{"a", 1}, {"error", QVariant()}, {"b", 2}}),
              QByteArray("level=info event=print a=1 b=2"));
}

}  // namespace
