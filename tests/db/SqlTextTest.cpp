#include "CaseName.h"
#include "SqlText.h"

#include <gtest/gtest.h>

using namespace db;

struct RewriteCase {
    const char* name;
    const char* sql;
    const char* text;
    std::vector<QString> names;
};

class RewriteParameters : public ::testing::TestWithParam<RewriteCase> {};

TEST_P(RewriteParameters, ReplacesOnlyRealParameters)
{
    const RewriteCase& c = GetParam();
    const RewrittenSql r = rewriteParameters(QString::fromUtf8(c.sql));
    EXPECT_EQ(r.text, QString::fromUtf8(c.text));
    EXPECT_EQ(r.names, c.names);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RewriteParameters,
    ::testing::Values(
        RewriteCase{"OneParameter", "select * from T where ISN = :ISN", "select * from T where ISN = ?", {"ISN"}},
        RewriteCase{"RepeatedParameter", "where A = :X and B = :X", "where A = ? and B = ?", {"X", "X"}},
        RewriteCase{"InALiteral", "where A = ':X' and B = :Y", "where A = ':X' and B = ?", {"Y"}},
        RewriteCase{"InALiteralWithAQuote", "where A = 'it''s :X' || :Y", "where A = 'it''s :X' || ?", {"Y"}},
        RewriteCase{"InAQuotedLiteral", "where A = q'{a ':X' b}' and B = :Y", "where A = q'{a ':X' b}' and B = ?", {"Y"}},
        RewriteCase{"InAHexLiteral", "where A = x'3A58' and B = :Y", "where A = x'3A58' and B = ?", {"Y"}},
        RewriteCase{"InALiteralWithACharset", "where A = _win1257 ':X' and B = :Y", "where A = _win1257 ':X' and B = ?", {"Y"}},
        RewriteCase{"InAQuotedIdentifier", "select \"a:X\" from T where B = :Y", "select \"a:X\" from T where B = ?", {"Y"}},
        RewriteCase{"InComments", "select 1 /* :X */ from T -- :Z\nwhere B = :Y", "select 1 /* :X */ from T -- :Z\nwhere B = ?",
                    {"Y"}},
        RewriteCase{"BetweenConcatenations", "where GRUPA LIKE '%|' || :GRUPA || '|%'", "where GRUPA LIKE '%|' || ? || '|%'", {"GRUPA"}},
        RewriteCase{"TimeInALiteral", "select '00:30' from T", "select '00:30' from T", {}}),
    testsupport::CaseName());

TEST(ParameterNames, EachNameOnceInOrderOfFirstAppearance)
{
    EXPECT_EQ(parameterNames(QStringLiteral("where A = :B and C = :A and D = :b")),
              (QStringList{QStringLiteral("B"), QStringLiteral("A")}));
}

TEST(SplitScript, HonoursTerminatorsCommentsAndLiterals)
{
    const QString script = QStringLiteral(
        "-- a comment; with a semicolon\n"
        "CREATE TABLE T (A VARCHAR(10));\n"
        "INSERT INTO T VALUES ('a;b');\n"
        "COMMIT;\n"
        "SET TERM ^ ;\n"
        "CREATE PROCEDURE P AS BEGIN INSERT INTO T VALUES ('x'); END^\n"
        "SET TERM ; ^\n"
        "SET GENERATOR G TO 5;\n"
        "/* trailing */");
    const QStringList statements = splitScript(script);
    ASSERT_EQ(statements.size(), 4);
    EXPECT_EQ(statements[0], QStringLiteral("CREATE TABLE T (A VARCHAR(10))"));
    EXPECT_EQ(statements[1], QStringLiteral("INSERT INTO T VALUES ('a;b')"));
    EXPECT_EQ(statements[2], QStringLiteral("CREATE PROCEDURE P AS BEGIN INSERT INTO T VALUES ('x'); END"));
    EXPECT_EQ(statements[3], QStringLiteral("SET GENERATOR G TO 5"));
}
