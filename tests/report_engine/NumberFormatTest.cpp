// Number patterns and value texts with the regional decimal comma.

#include "CaseName.h"
#include "NumberFormat.h"

#include <QDate>
#include <QDateTime>

#include <gtest/gtest.h>

#include <cmath>
#include <stdexcept>

using namespace engine;

namespace {

struct NumberCase {
    double value;
    const char* pattern;
    const char* expected;
};

class Patterns : public ::testing::TestWithParam<NumberCase> {};

std::string patternCaseName(const ::testing::TestParamInfo<NumberCase>& info)
{
    const std::string pattern = testsupport::identifier(info.param.pattern);
    return testsupport::numberName(info.param.value) + (pattern.empty() ? "_general" : "_in_" + pattern);
}

TEST_P(Patterns, FormatByThePattern)
{
    EXPECT_EQ(formatNumber(GetParam().value, GetParam().pattern), GetParam().expected)
        << GetParam().value << " with \"" << GetParam().pattern << '"';
}

INSTANTIATE_TEST_SUITE_P(
    NumberFormat, Patterns,
    ::testing::Values(
        NumberCase{1.5 + 1.5 + 1.5, "#0.000", "4,500"}, NumberCase{0, "#0.000", "0,000"},
        NumberCase{12.3456, "#0.00", "12,35"}, NumberCase{1.005, "#0.00", "1,01"},
        NumberCase{2.675, "#0.00", "2,68"}, NumberCase{9.995, "#0.00", "10,00"},
        NumberCase{-1.239, "#0.00", "-1,24"}, NumberCase{-0.001, "#0.00", "0,00"},
        NumberCase{1234567.891, "#0.00", "1234567,89"}, NumberCase{0.25, "0.00", "0,25"},
        NumberCase{2.5, "#0", "3"}, NumberCase{-2.5, "#0", "-3"}, NumberCase{0.4, "#0", "0"},
        NumberCase{29.6, "#0", "30"}, NumberCase{12.3456, "#0.", "12"}, NumberCase{12.3456, "#0.0", "12,3"},
        NumberCase{12.3456, "#0.00000", "12,34560"}, NumberCase{0.5, "#.00", ",50"},
        NumberCase{7, "000", "007"}, NumberCase{1.5, "#0.0#", "1,5"}, NumberCase{1.255, "#0.0#", "1,26"},
        NumberCase{1e15, "#0.00", "1000000000000000,00"},
        // Shortest general form without a pattern.
        NumberCase{1.5, "", "1,5"}, NumberCase{0.1 + 0.2, "", "0,3"}, NumberCase{100, "", "100"},
        NumberCase{-0.0, "", "0"}, NumberCase{1.0 / 3, "", "0,333333333333333"},
        NumberCase{-21.05, "", "-21,05"}, NumberCase{123456789012345678.0, "", "1,23456789012346E+17"}),
    patternCaseName);

TEST(NumberFormat, OtherPatternsAreRefused)
{
    for (const char* pattern : {"#,##0.00", "0.00%", "x0"})
        EXPECT_THROW(formatNumber(1, pattern), std::invalid_argument) << pattern;
}

struct ValueCase {
    const char* name;
    QVariant value;
    QString pattern;
    QString expected;
};

class ValueTexts : public ::testing::TestWithParam<ValueCase> {};

TEST_P(ValueTexts, ShowEachKindOfValue)
{
    EXPECT_EQ(displayText(GetParam().value, GetParam().pattern), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    NumberFormat, ValueTexts,
    ::testing::Values(ValueCase{"null", QVariant(), "#0.00", ""},
                      ValueCase{"null_text", QVariant(QMetaType(QMetaType::QString)), "", ""},
                      ValueCase{"integer", QVariant(42), "", "42"},
                      ValueCase{"integer_by_pattern", QVariant(qlonglong(42)), "#0.00", "42,00"},
                      ValueCase{"double_general", QVariant(18.0), "", "18"},
                      ValueCase{"text", QVariant(QString("  as it stands ")), "#0.00", "  as it stands "},
                      ValueCase{"date", QVariant(QDate(2017, 8, 22)), "", "22.08.2017"},
                      ValueCase{"midnight", QVariant(QDateTime(QDate(2017, 8, 22), QTime(0, 0))), "", "22.08.2017"},
                      ValueCase{"date_time", QVariant(QDateTime(QDate(2017, 8, 22), QTime(14, 5, 9))), "",
                                "22.08.2017 14:05:09"}),
    testsupport::CaseName());

}  // namespace
