#include "CaseName.h"
#include "My_proc.h"

#include <gtest/gtest.h>

#include <limits>
#include <stdexcept>

namespace {

struct DateCase {
    double dayCount;  // days since 30 December 1899
    const char* expected;
};

std::ostream& operator<<(std::ostream& out, const DateCase& c)
{
    return out << c.dayCount;
}

class DateInWordsTest : public testing::TestWithParam<DateCase> {};

std::string dateCaseName(const testing::TestParamInfo<DateCase>& info)
{
    return "day_" + testsupport::numberName(info.param.dayCount);
}

TEST_P(DateInWordsTest, WritesYearDayAndMonth)
{
    EXPECT_EQ(common::DateInWords(GetParam().dayCount).toStdString(), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Dates, DateInWordsTest, testing::Values(
    DateCase{42969, "2017.gada 22.augustā"},
    DateCase{43164, "2018.gada 05.martā"},
    DateCase{43831, "2020.gada 01.janvārī"},
    DateCase{45351, "2024.gada 29.februārī"},
    DateCase{45031, "2023.gada 15.aprīlī"},
    DateCase{45055, "2023.gada 09.maijā"},
    DateCase{45107, "2023.gada 30.jūnijā"},
    DateCase{45108, "2023.gada 01.jūlijā"},
    DateCase{45181, "2023.gada 12.septembrī"},
    DateCase{45230, "2023.gada 31.oktobrī"},
    DateCase{45241, "2023.gada 11.novembrī"},
    DateCase{45284, "2023.gada 24.decembrī"},
    DateCase{1, "1899.gada 31.decembrī"},
    DateCase{-693593, "0001.gada 01.janvārī"},
    DateCase{2958465, "9999.gada 31.decembrī"}),
    dateCaseName);

// The time of day plays no part; before the origin it counts forward from
// the day's start, so -1.75 is still 29 December.
INSTANTIATE_TEST_SUITE_P(TimesOfDay, DateInWordsTest, testing::Values(
    DateCase{42969.75, "2017.gada 22.augustā"},
    DateCase{42969.999999, "2017.gada 22.augustā"},
    DateCase{-1, "1899.gada 29.decembrī"},
    DateCase{-1.75, "1899.gada 29.decembrī"}),
    dateCaseName);

INSTANTIATE_TEST_SUITE_P(EmptyDates, DateInWordsTest, testing::Values(
    DateCase{0, ""},
    DateCase{0.5, ""},
    DateCase{0.999999, ""},
    DateCase{-0.25, ""},
    DateCase{-0.999999, ""}),
    dateCaseName);

TEST(DateInWordsRange, DaysOutsideTheFourDigitYearsThrow)
{
    for (const double day : {-693594.0, 2958466.0, 1e300, std::numeric_limits<double>::quiet_NaN()})
        EXPECT_THROW(common::DateInWords(day), std::invalid_argument) << day;
}

}  // namespace
