#include "My_proc.h"

#include "DbError.h"
#include "Query.h"
#include "CaseName.h"
#include "TestDatabase.h"

#include <gtest/gtest.h>

#include <memory>
#include <ostream>

namespace {

using db::TransactionMode;

// Certificates as the reports look them up, with keys 0 and -5 to show the
// key written into the statement with its sign.
class GetFieldByIsnTest : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        database = std::make_unique<testsupport::TestDatabase>();
        database->run(QStringLiteral(
            "INSERT INTO N_SERTIF (ISN, GNOS, GNOS2) VALUES (57, 'Atbilstības sertifikāts', NULL);"
            "INSERT INTO N_SERTIF (ISN, GNOS, GNOS2) VALUES (0, 'nulle', 'Nr. 0');"
            "INSERT INTO N_SERTIF (ISN, GNOS, GNOS2) VALUES (-5, 'mīnus pieci', 'Nr. -5');"));
    }
    static void TearDownTestSuite() { database.reset(); }

    void SetUp() override { connection = database->connect(TransactionMode::Explicit); }

    static std::unique_ptr<testsupport::TestDatabase> database;
    std::unique_ptr<db::Connection> connection;
    common::NoticeRecorder notices;
};

std::unique_ptr<testsupport::TestDatabase> GetFieldByIsnTest::database;

struct LookupCase {
    std::int32_t key;
    const char* column;
    const char* expected;
};

TEST_F(GetFieldByIsnTest, ReturnsTheValueOrEmptyTextWithoutANotice)
{
    const LookupCase cases[] = {
        {57, "GNOS", "Atbilstības sertifikāts"},
        {57, "GNOS2", ""},  // null
        {57, "ISN", "57"},
        {58, "GNOS", ""},  // no such row
        {0, "GNOS2", "Nr. 0"},
        {-5, "GNOS", "mīnus pieci"},
        {-5, "gnos2", "Nr. -5"},
    };
    for (const LookupCase& c : cases) {
        EXPECT_EQ(common::GetFieldByIsn(*connection, QStringLiteral("N_SERTIF"), c.key, QString::fromUtf8(c.column))
                      .toStdString(),
                  c.expected)
            << c.key << ' ' << c.column;
    }
    EXPECT_TRUE(notices.notices().isEmpty());
}

// The database's own message for a statement that fails.
QString databaseMessage(db::Connection& connection, const QString& sql)
{
    try {
        db::Query query(connection, sql);
        query.open();
    } catch (const db::DbError& error) {
        return error.message();
    }
    ADD_FAILURE() << "no error from " << sql.toStdString();
    return {};
}

TEST_F(GetFieldByIsnTest, AMisspeltNameGivesEmptyTextAfterOneNotice)
{
    struct Misspelt {
        const char* table;
        const char* column;
        const char* statement;
    };
    const Misspelt cases[] = {
        {"N_SERTIF", "GNOSS", "SELECT GNOSS FROM N_SERTIF WHERE ISN = 57"},
        {"N_SERTIFS", "GNOS", "SELECT GNOS FROM N_SERTIFS WHERE ISN = 57"},
    };
    for (const Misspelt& c : cases) {
        const qsizetype before = notices.notices().size();
        EXPECT_EQ(common::GetFieldByIsn(*connection, QString::fromUtf8(c.table), 57, QString::fromUtf8(c.column))
                      .toStdString(),
                  "");
        const QStringList shown = notices.notices().mid(before);
        const QString message = databaseMessage(*connection, QString::fromUtf8(c.statement));
        ASSERT_FALSE(message.isEmpty());
        ASSERT_EQ(shown.size(), 1) << c.statement;
        EXPECT_EQ(shown.front().toStdString(), "KĻŪDA FUNKCIJA : PAZIŅOJUMS GetNotUseString " + message.toStdString());
    }
    // The failed statements leave the connection's transaction usable.
    EXPECT_EQ(common::GetFieldByIsn(*connection, QStringLiteral("N_SERTIF"), 0, QStringLiteral("GNOS")).toStdString(),
              "nulle");
}

struct CharsetCase {
    const char* name;
    const char* insert;  // the N_ISI row, or nothing for an empty table
    int expected;
};

std::ostream& operator<<(std::ostream& out, const CharsetCase& c)
{
    return out << (*c.insert ? c.insert : "no N_ISI row");
}

class ReportFontCharsetTest : public testing::TestWithParam<CharsetCase> {};

TEST_P(ReportFontCharsetTest, IsCyrillicOnlyForExactlyT)
{
    const testsupport::TestDatabase database;
    if (*GetParam().insert)
        database.run(QString::fromUtf8(GetParam().insert));
    const auto connection = database.connect(TransactionMode::Explicit);
    EXPECT_EQ(common::ReportFontCharset(*connection), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Settings, ReportFontCharsetTest, testing::Values(
    CharsetCase{"UpperT", "INSERT INTO N_ISI (ISN, ISIRUSFONT) VALUES (1, 'T')", common::CyrillicCharset},
    CharsetCase{"LowerT", "INSERT INTO N_ISI (ISN, ISIRUSFONT) VALUES (1, 't')", common::BalticCharset},
    CharsetCase{"F", "INSERT INTO N_ISI (ISN, ISIRUSFONT) VALUES (1, 'F')", common::BalticCharset},
    CharsetCase{"Empty", "INSERT INTO N_ISI (ISN, ISIRUSFONT) VALUES (1, '')", common::BalticCharset},
    CharsetCase{"Null", "INSERT INTO N_ISI (ISN, ISIRUSFONT) VALUES (1, NULL)", common::BalticCharset},
    CharsetCase{"NoRow", "", common::BalticCharset}),
    testsupport::CaseName());

TEST(ReportFontCharset, LetsDatabaseErrorsThrough)
{
    const testsupport::TestDatabase database;
    database.run(QStringLiteral("DROP TABLE N_ISI"));
    const auto connection = database.connect(TransactionMode::Explicit);
    const common::NoticeRecorder notices;
    EXPECT_THROW(common::ReportFontCharset(*connection), db::DbError);
    EXPECT_TRUE(notices.notices().isEmpty());
}

}  // namespace
