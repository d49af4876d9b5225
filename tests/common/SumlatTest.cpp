#include "CaseName.h"
#include "Sumlat.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <ostream>

namespace {

struct AmountCase {
    double amount;
    const char* currencyCode;
    const char* subUnitWord;
    const char* expected;
};

std::ostream& operator<<(std::ostream& out, const AmountCase& c)
{
    return out << c.amount << " \"" << c.currencyCode << "\" \"" << c.subUnitWord << '"';
}

class AmountInWordsTest : public testing::TestWithParam<AmountCase> {};

std::string amountCaseName(const testing::TestParamInfo<AmountCase>& info)
{
    const AmountCase& c = info.param;
    return testsupport::identifier("amount " + testsupport::numberName(c.amount) + ' ' + c.currencyCode + ' ' + c.subUnitWord);
}

TEST_P(AmountInWordsTest, WritesTheAmount)
{
    const AmountCase& c = GetParam();
    EXPECT_EQ(common::AmountInWords(c.amount, QString::fromUtf8(c.currencyCode), QString::fromUtf8(c.subUnitWord))
                  .toStdString(),
              c.expected);
}

const char* const outOfRange = "baigais piķis ...";

// The waybills' own call: lats, empty sub-unit word.
INSTANTIATE_TEST_SUITE_P(WaybillTotals, AmountInWordsTest, testing::Values(
    AmountCase{0, "", "", ""},
    AmountCase{0.004, "", "", outOfRange},
    AmountCase{0.21, "", "", "** Nulle lati 21 santīms"},
    AmountCase{0.45, "", "", "** Nulle lati 45 santīmi"},
    AmountCase{0.999, "", "", "** Viens lats 00 santīmi"},
    AmountCase{1, "", "", "** Viens lats 00 santīmi"},
    AmountCase{11.21, "", "", "** Vienpadsmit lati 21 santīms"},
    AmountCase{14, "", "", "** Četrpadsmit lati 00 santīmi"},
    AmountCase{21.11, "", "", "** Divdesmit viens lats 11 santīmi"},
    AmountCase{123.45, "", "", "** Viens simts divdesmit trīs lati 45 santīmi"},
    AmountCase{-5.5, "", "", "** Pieci lati 50 santīmi"},
    AmountCase{1000, "", "", "** Viens tūkstotis lati 00 santīmi"},
    AmountCase{99999.99, "", "",
               "** Deviņdesmit deviņi tūkstoši deviņi simti deviņdesmit deviņi lati 99 santīmi"},
    AmountCase{1021001, "", "", "** Viens miljons divdesmit viens tūkstotis viens lats 00 santīmi"},
    AmountCase{2345678, "", "",
               "** Divi miljoni trīs simti četrdesmit pieci tūkstoši seši simti septiņdesmit astoņi lati 00 santīmi"},
    AmountCase{1000000000, "", "", outOfRange}),
    amountCaseName);

INSTANTIATE_TEST_SUITE_P(OtherCurrencies, AmountInWordsTest, testing::Values(
    AmountCase{100.5, "USD", "", "** Viens simts USD 50 centi"},
    AmountCase{7, "DEM", "", "** Septiņi DEM 00 feniņi"},
    AmountCase{0.3, "USD", "", "** Nulle USD 30 centi"},
    AmountCase{3.1, "EUR", "", "** Trīs EUR 10 "},
    AmountCase{1.5, "LATI", "santīmi", "** Viens LATI 50 santīmi"},
    AmountCase{1.5, "ls", "", "** Viens lats 50 santīmi"},
    AmountCase{1.5, "lvl", "", "** Viens lats 50 santīmi"},
    AmountCase{1.5, " \tLs\n", "", "** Viens lats 50 santīmi"},
    // The code is compared trimmed but printed with its blanks.
    AmountCase{7, " usd ", "", "** Septiņi  USD  00 centi"},
    AmountCase{7, "dem", "", "** Septiņi DEM 00 feniņi"},
    AmountCase{3.1, "eur", "ignored", "** Trīs EUR 10 "},
    // The caller's sub-unit word only with LATI, and no singular for it.
    AmountCase{1.01, "Lati", "cents", "** Viens LATI 01 cents"},
    AmountCase{21, "LATI", "", "** Divdesmit viens LATI 00 "},
    AmountCase{1.01, "USD", "cents", "** Viens USD 01 centi"}),
    amountCaseName);

INSTANTIATE_TEST_SUITE_P(Teens, AmountInWordsTest, testing::Values(
    AmountCase{10, "", "", "** Desmit lati 00 santīmi"},
    AmountCase{11, "", "", "** Vienpadsmit lati 00 santīmi"},
    AmountCase{12, "", "", "** Divpadsmit lati 00 santīmi"},
    AmountCase{13, "", "", "** Trīspadsmit lati 00 santīmi"},
    AmountCase{15, "", "", "** Piecpadsmit lati 00 santīmi"},
    AmountCase{16, "", "", "** Sešpadsmit lati 00 santīmi"},
    AmountCase{17, "", "", "** Septiņpadsmit lati 00 santīmi"},
    AmountCase{18, "", "", "** Astoņpadsmit lati 00 santīmi"},
    AmountCase{19, "", "", "** Deviņpadsmit lati 00 santīmi"},
    AmountCase{111, "", "", "** Viens simts vienpadsmit lati 00 santīmi"},
    AmountCase{11000, "", "", "** Vienpadsmit tūkstoši lati 00 santīmi"},
    AmountCase{11000000, "", "", "** Vienpadsmit miljoni lati 00 santīmi"},
    AmountCase{11011011, "", "", "** Vienpadsmit miljoni vienpadsmit tūkstoši vienpadsmit lati 00 santīmi"}),
    amountCaseName);

INSTANTIATE_TEST_SUITE_P(TensAndHundreds, AmountInWordsTest, testing::Values(
    AmountCase{20, "", "", "** Divdesmit lati 00 santīmi"},
    AmountCase{30, "", "", "** Trīsdesmit lati 00 santīmi"},
    AmountCase{40, "", "", "** Četrdesmit lati 00 santīmi"},
    AmountCase{50, "", "", "** Piecdesmit lati 00 santīmi"},
    AmountCase{60, "", "", "** Sešdesmit lati 00 santīmi"},
    AmountCase{70, "", "", "** Septiņdesmit lati 00 santīmi"},
    AmountCase{80, "", "", "** Astoņdesmit lati 00 santīmi"},
    AmountCase{90, "", "", "** Deviņdesmit lati 00 santīmi"},
    AmountCase{100, "", "", "** Viens simts lati 00 santīmi"},
    AmountCase{200, "", "", "** Divi simti lati 00 santīmi"},
    AmountCase{300, "", "", "** Trīs simti lati 00 santīmi"},
    AmountCase{400, "", "", "** Četri simti lati 00 santīmi"},
    AmountCase{500, "", "", "** Pieci simti lati 00 santīmi"},
    AmountCase{600, "", "", "** Seši simti lati 00 santīmi"},
    AmountCase{700, "", "", "** Septiņi simti lati 00 santīmi"},
    AmountCase{800, "", "", "** Astoņi simti lati 00 santīmi"},
    AmountCase{900, "", "", "** Deviņi simti lati 00 santīmi"},
    AmountCase{20000, "", "", "** Divdesmit tūkstoši lati 00 santīmi"},
    AmountCase{300000000, "", "", "** Trīs simti miljoni lati 00 santīmi"}),
    amountCaseName);

// A group ending in 1 but not 11 takes the singular.
INSTANTIATE_TEST_SUITE_P(Singulars, AmountInWordsTest, testing::Values(
    AmountCase{101, "", "", "** Viens simts viens lats 00 santīmi"},
    AmountCase{1001, "", "", "** Viens tūkstotis viens lats 00 santīmi"},
    AmountCase{21000, "", "", "** Divdesmit viens tūkstotis lati 00 santīmi"},
    AmountCase{1000001, "", "", "** Viens miljons viens lats 00 santīmi"},
    AmountCase{341000000, "", "", "** Trīs simti četrdesmit viens miljons lati 00 santīmi"},
    AmountCase{2000000, "", "", "** Divi miljoni lati 00 santīmi"},
    AmountCase{1001000, "", "", "** Viens miljons viens tūkstotis lati 00 santīmi"}),
    amountCaseName);

INSTANTIATE_TEST_SUITE_P(Limits, AmountInWordsTest, testing::Values(
    AmountCase{0.01, "", "", "** Nulle lati 01 santīms"},
    AmountCase{-0.01, "", "", "** Nulle lati 01 santīms"},
    AmountCase{0.009, "", "", outOfRange},
    AmountCase{0.005, "", "", outOfRange},
    AmountCase{999999999.99, "", "",
               "** Deviņi simti deviņdesmit deviņi miljoni deviņi simti deviņdesmit deviņi tūkstoši "
               "deviņi simti deviņdesmit deviņi lati 99 santīmi"},
    AmountCase{-999999999.99, "", "",
               "** Deviņi simti deviņdesmit deviņi miljoni deviņi simti deviņdesmit deviņi tūkstoši "
               "deviņi simti deviņdesmit deviņi lati 99 santīmi"},
    AmountCase{999999999.991, "", "", outOfRange},
    AmountCase{-1000000000, "", "", outOfRange},
    AmountCase{std::numeric_limits<double>::infinity(), "", "", outOfRange},
    AmountCase{std::numeric_limits<double>::quiet_NaN(), "", "", outOfRange}),
    amountCaseName);

INSTANTIATE_TEST_SUITE_P(Cents, AmountInWordsTest, testing::Values(
    AmountCase{0.11, "", "", "** Nulle lati 11 santīmi"},
    AmountCase{0.31, "", "", "** Nulle lati 31 santīms"},
    AmountCase{0.91, "", "", "** Nulle lati 91 santīms"},
    AmountCase{5.11, "", "", "** Pieci lati 11 santīmi"},
    AmountCase{0.02, "", "", "** Nulle lati 02 santīmi"},
    AmountCase{0.1, "", "", "** Nulle lati 10 santīmi"},
    AmountCase{6.05, "", "", "** Seši lati 05 santīmi"},
    // Binary fractions must not cost a cent.
    AmountCase{0.29, "", "", "** Nulle lati 29 santīmi"},
    AmountCase{1.15, "", "", "** Viens lats 15 santīmi"},
    AmountCase{131072.01, "", "", "** Viens simts trīsdesmit viens tūkstotis septiņdesmit divi lati 01 santīms"},
    AmountCase{0.1 + 0.2, "", "", "** Nulle lati 30 santīmi"},
    AmountCase{99999.99, "USD", "", "** Deviņdesmit deviņi tūkstoši deviņi simti deviņdesmit deviņi USD 99 centi"},
    // An exact half rounds up.
    AmountCase{2.675, "", "", "** Divi lati 68 santīmi"},
    AmountCase{1.005, "", "", "** Viens lats 01 santīms"},
    AmountCase{0.125, "", "", "** Nulle lati 13 santīmi"},
    AmountCase{2.6749, "", "", "** Divi lati 67 santīmi"},
    AmountCase{19.995, "", "", "** Divdesmit lati 00 santīmi"},
    AmountCase{999999.995, "", "", "** Viens miljons lati 00 santīmi"}),
    amountCaseName);

}  // namespace
