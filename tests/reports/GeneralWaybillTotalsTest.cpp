// The end of the waybill: totals and amounts in words, accounting lines,
// the VAT label, the issuer's date, the footers and the comment.

#include "GeneralWaybillFixture.h"

#include "Query.h"
#include "Sumlat.h"

#include <vector>

namespace gwtest {
namespace {

using TotalsTest = GeneralWaybillTest;

// The waybill's stored figures: sale 10 + 2.10 = 12.10, purchase 8 + 1.68 = 9.68.
const QString kSaleWords = common::AmountInWords(12.1);
const QString kPurchaseWords = common::AmountInWords(9.68);

// With QRShape1, the rule above the grand total.
const char* const kTotalsBlock[] = {"shSummaVardiem", "lbSummaBezPVN", "lbSumSummaBezPVN", "lbPVN21",
                                    "lbSumPVNSumma",  "lbKopSumma",    "lbSumKopSumma"};

struct WordsCase {
    const char* name;
    const char* sale;      // ISIPARVPARDVARDI
    const char* purchase;  // PARVIEPVARDI
    QString words;         // empty: the block does not print
    QStringList figures;   // without VAT, VAT, with VAT
};

void PrintTo(const WordsCase& c, std::ostream* os)
{
    *os << c.name;
}

class WordsTest : public GeneralWaybillTest, public ::testing::WithParamInterface<WordsCase> {};

TEST_P(WordsTest, EitherSettingShowsTheTotalsBlock)
{
    const WordsCase& c = GetParam();
    setIsi2(QStringLiteral("ISIPARVPARDVARDI = '%1', PARVIEPVARDI = '%2'")
                .arg(QString::fromUtf8(c.sale), QString::fromUtf8(c.purchase)));
    const engine::PageDocument document = print();
    const bool shown = !c.figures.isEmpty();
    for (const char* element : kTotalsBlock)
        EXPECT_EQ(printed(document, QString::fromUtf8(element)), shown) << element;
    EXPECT_EQ(hasShape(document), shown);
    // the words wrap at blanks
    EXPECT_EQ(textOf(document, QStringLiteral("shSummaVardiem"), QStringLiteral(" ")), c.words);
    const QStringList figures = {textOf(document, QStringLiteral("lbSumSummaBezPVN")),
                                 textOf(document, QStringLiteral("lbSumPVNSumma")),
                                 textOf(document, QStringLiteral("lbSumKopSumma"))};
    EXPECT_EQ(figures, shown ? c.figures : QStringList({"", "", ""}));
    // the signatures and footers print either way
    EXPECT_EQ(textOf(document, QStringLiteral("QRLabel6")), QStringLiteral("Izsniedza :"));
}

INSTANTIATE_TEST_SUITE_P(
    Settings, WordsTest,
    ::testing::Values(
        WordsCase{"Neither", "F", "F", "", {}},
        WordsCase{"Sale", "T", "F", "Pārd.summa vārdiem : " + kSaleWords, {"10,00", "2,10", "12,10"}},
        WordsCase{"Purchase", "F", "T", " Iep.summa vārdiem : " + kPurchaseWords, {"8,00", "1,68", "9,68"}},
        // sale words first; the figures are the purchase ones
        WordsCase{"Both", "T", "T", "Pārd.summa vārdiem : " + kSaleWords + " Iep.summa vārdiem : " + kPurchaseWords,
                  {"8,00", "1,68", "9,68"}}),
    CaseName());

struct AccountsCase {
    const char* name;
    const char* waybillAccounts;  // IEP_D, IEP_K, IEPPVN_D, IEPPVN_K
    QString withoutVat;
    QString vat;
};

void PrintTo(const AccountsCase& c, std::ostream* os)
{
    *os << c.name;
}

class AccountsTest : public GeneralWaybillTest, public ::testing::WithParamInterface<AccountsCase> {};

// The waybill's pair is used only as a whole, else the installation's.
TEST_P(AccountsTest, TheWaybillsPairOrTheDefaults)
{
    run(QStringLiteral("UPDATE O_PARPAV SET ") + QString::fromUtf8(GetParam().waybillAccounts));
    const engine::PageDocument document = print();
    EXPECT_EQ(textOf(document, QStringLiteral("shSummaKonti")), GetParam().withoutVat);
    EXPECT_EQ(textOf(document, QStringLiteral("shPVNKonti")), GetParam().vat);
    EXPECT_EQ(textOf(document, QStringLiteral("QRLabel3")), QStringLiteral("SIA Org kontējumi :"));
}

INSTANTIATE_TEST_SUITE_P(
    Pairs, AccountsTest,
    ::testing::Values(
        AccountsCase{"BothSet", "IEP_D = '6110', IEP_K = '2610', IEPPVN_D = '5710', IEPPVN_K = '5720'",
                     "Bez PVN D-6110 K-2610", "PVN D-5710 K-5720"},
        AccountsCase{"CreditEmpty", "IEP_D = '6110', IEP_K = '', IEPPVN_D = '5710', IEPPVN_K = NULL",
                     "Bez PVN D-2131 K-2130", "PVN D-5721 K-5722"},
        AccountsCase{"DebitEmpty", "IEP_D = NULL, IEP_K = '2610', IEPPVN_D = '', IEPPVN_K = '5720'",
                     "Bez PVN D-2131 K-2130", "PVN D-5721 K-5722"},
        AccountsCase{"BothEmpty", "IEP_D = NULL, IEP_K = NULL, IEPPVN_D = NULL, IEPPVN_K = NULL",
                     "Bez PVN D-2131 K-2130", "PVN D-5721 K-5722"}),
    CaseName());

TEST_F(TotalsTest, TheVatLabelShowsTheOperatorsRate)
{
    setIsi2(QStringLiteral("ISIPARVPARDVARDI = 'T'"));
    EXPECT_EQ(textOf(print(), QStringLiteral("lbPVN21")), QStringLiteral("PVN 0%"));

    reports::TPrParvietPZ withRate(*precesDb, [] { return 5.5; });
    EXPECT_EQ(textOf(withRate.pageDocument(kWaybill), QStringLiteral("lbPVN21")), QStringLiteral("PVN 5,5%"));
}

struct IssueDateCase {
    const char* name;
    const char* delivery;  // DAT_PIEGADE, SQL
    QString printed;
};

class IssueDateTest : public GeneralWaybillTest, public ::testing::WithParamInterface<IssueDateCase> {};

TEST_P(IssueDateTest, IsTheDeliveryDateOrElseTheWaybillDate)
{
    run(QStringLiteral("UPDATE O_PARPAV SET DAT_PIEGADE = ") + QString::fromUtf8(GetParam().delivery));
    EXPECT_EQ(textOf(print(), QStringLiteral("DatVardIzsniedza")), GetParam().printed);
}

INSTANTIATE_TEST_SUITE_P(DeliveryDate, IssueDateTest,
                         ::testing::Values(IssueDateCase{"Null", "NULL", "2026.gada 01.martā"},
                                           IssueDateCase{"Set", "'2026-03-05'", "2026.gada 05.martā"}),
                         CaseName());

TEST_F(TotalsTest, EndTextFootersAndCommentComeFromTheSettingsAndTheWaybill)
{
    setIsi(QStringLiteral("ISIPARVTEXTSBEIGAS = 'Preces pieņemtas', ISIPZFOOT1 = '', ISIPZFOOT2 = 'www.org.lv'"));
    run(QStringLiteral("UPDATE O_PARPAV SET KOMENTARS = 'Piegādāt rīt'"));
    const engine::PageDocument document = print();
    EXPECT_EQ(textOf(document, QStringLiteral("BrivTekstsBeigas")), QStringLiteral("Preces pieņemtas"));
    EXPECT_EQ(textOf(document, QStringLiteral("shISIORGNOS")), QString());
    EXPECT_EQ(textOf(document, QStringLiteral("QRLabel2")), QStringLiteral("www.org.lv"));
    EXPECT_EQ(placeOf(document, QStringLiteral("QRLabel2"))->left(), 0);
    EXPECT_EQ(textOf(document, QStringLiteral("QRDBText2")), QStringLiteral("Piegādāt rīt"));
    EXPECT_EQ(textOf(document, QStringLiteral("QRLabel11")),
              QStringLiteral("Pieņēma  ________________________________"));
}

// The schema keeps the stored totals equal to the lines, each line's amounts
// rounded to cents: BEZPVNSUMMA, PVNSUMMA, KOPSUMMA, IEPBEZPVNSUMMA and
// IEPPVNSUMMA of waybill 5 after a change of its lines. The fixture's one
// line (10 at 1, purchase 0.8, 21 %) gives 10, 2.10, 12.10, 8, 1.68.
struct StoredTotalsCase {
    const char* name;
    const char* change;
    std::vector<double> totals;
    int waybill = kWaybill;  // whose totals
};

void PrintTo(const StoredTotalsCase& c, std::ostream* os)
{
    *os << c.name;
}

class StoredTotalsTest : public GeneralWaybillTest, public ::testing::WithParamInterface<StoredTotalsCase> {
protected:
    std::vector<double> storedTotals(int waybill) const
    {
        auto connection = database.connect();
        db::Query query(*connection, QStringLiteral("SELECT BEZPVNSUMMA, PVNSUMMA, KOPSUMMA, IEPBEZPVNSUMMA, "
                                                    "IEPPVNSUMMA FROM O_PARPAV WHERE ISN = %1")
                                         .arg(waybill));
        query.open();
        std::vector<double> totals;
        for (const char* column : {"BEZPVNSUMMA", "PVNSUMMA", "KOPSUMMA", "IEPBEZPVNSUMMA", "IEPPVNSUMMA"})
            totals.push_back(query.field(QString::fromUtf8(column)).asFloat());
        return totals;
    }
};

void expectTotals(const std::vector<double>& actual, const std::vector<double>& expected)
{
    ASSERT_EQ(actual.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i)
        EXPECT_NEAR(actual[i], expected[i], 1e-9) << "total " << i;
}

TEST_P(StoredTotalsTest, FollowTheLines)
{
    run(QString::fromUtf8(GetParam().change));
    expectTotals(storedTotals(GetParam().waybill), GetParam().totals);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, StoredTotalsTest,
    ::testing::Values(
        StoredTotalsCase{"ALineAdded",
                         "INSERT INTO O_PARPRC (ISN, ISPARVPAV, ISPRECE, CENA, PARD_CENA, DAUDZUMS, NODOKLIS)"
                         "  VALUES (2, 5, 1, 1.5, 2, 20, 21)",
                         {50, 10.5, 60.5, 38, 7.98}},
        StoredTotalsCase{"QuantityChanged", "UPDATE O_PARPRC SET DAUDZUMS = 3", {3, 0.63, 3.63, 2.4, 0.5}},
        StoredTotalsCase{"PricesChanged", "UPDATE O_PARPRC SET CENA = 1.111, PARD_CENA = 1.333",
                         {13.33, 2.8, 16.13, 11.11, 2.33}},
        StoredTotalsCase{"AFractionOfAPercent", "UPDATE O_PARPRC SET NODOKLIS = 21.5", {10, 2.15, 12.15, 8, 1.72}},
        StoredTotalsCase{"TheLastLineDeleted", "DELETE FROM O_PARPRC", {0, 0, 0, 0, 0}},
        StoredTotalsCase{"TheLineMovedToAnotherWaybill",
                         "INSERT INTO O_PARPAV (ISN, DATUMS, NR_PAVADZ, ISNODALANO, ISNODALAUZ)"
                         "  VALUES (6, '2026-03-01', '43', 1, 2);"
                         "UPDATE O_PARPRC SET ISPARVPAV = 6",
                         {0, 0, 0, 0, 0}},
        StoredTotalsCase{"TheWaybillTheLineMovedTo",
                         "INSERT INTO O_PARPAV (ISN, DATUMS, NR_PAVADZ, ISNODALANO, ISNODALAUZ)"
                         "  VALUES (6, '2026-03-01', '43', 1, 2);"
                         "UPDATE O_PARPRC SET ISPARVPAV = 6",
                         {10, 2.1, 12.1, 8, 1.68}, 6},
        // a comment or certificate leaves the waybill's row alone
        StoredTotalsCase{"ACommentWritten",
                         "UPDATE O_PARPAV SET BEZPVNSUMMA = 1, PVNSUMMA = 2, KOPSUMMA = 3, IEPBEZPVNSUMMA = 4,"
                         "  IEPPVNSUMMA = 5;"
                         "UPDATE O_PARPRC SET PRECKOMENT = 'Ar rūpību'",
                         {1, 2, 3, 4, 5}}),
    CaseName());

}  // namespace
}  // namespace gwtest
