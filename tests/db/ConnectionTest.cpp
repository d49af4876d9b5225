// The client layer against fresh embedded databases made from the schema.

#include "DbError.h"
#include "Query.h"
#include "TestDatabase.h"

#include <gtest/gtest.h>

#include <QDeadlineTimer>

#include <atomic>
#include <functional>
#include <thread>

using namespace db;
using testsupport::TestDatabase;

namespace {

const QString kLatvian = QStringLiteral("ĀČĒĢĪĶĻŅŠŪŽ āčēģīķļņšūž");

const char* const kValuesTable =
    "CREATE TABLE T_VALUES (ISN INTEGER NOT NULL PRIMARY KEY, I16 SMALLINT, I32 INTEGER, I64 BIGINT,"
    " F32 FLOAT, F64 DOUBLE PRECISION, N4 NUMERIC(4,1), N9 NUMERIC(9,3), N18 NUMERIC(18,2),"
    " C5 CHAR(5), V20 VARCHAR(20), D DATE, T TIME, TS TIMESTAMP, TB BLOB SUB_TYPE TEXT, BB BLOB,"
    " U8 VARCHAR(30) CHARACTER SET UTF8)";

// The database's attachment id of a connection.
std::int64_t attachmentId(Connection& connection)
{
    Query id(connection, QStringLiteral("SELECT CURRENT_CONNECTION FROM RDB$DATABASE"));
    id.open();
    return id.field(0).asInt64();
}

// Ends an attachment from another one, as an administrator would.
void removeAttachment(const TestDatabase& database, std::int64_t attachment)
{
    auto admin = database.connect();
    Query kill(*admin, QStringLiteral("DELETE FROM MON$ATTACHMENTS WHERE MON$ATTACHMENT_ID = :A"));
    kill.param(u"A").setValue(attachment);
    kill.execute();
}

// Whether a statement of attachment `attachment` is running and has waited
// for a record lock, as the monitoring tables of `monitor` see it now.
bool waitsForARecordLock(Connection& monitor, std::int64_t attachment)
{
    Query q(monitor, QStringLiteral(
        "SELECT COUNT(*) FROM MON$STATEMENTS S JOIN MON$RECORD_STATS R ON R.MON$STAT_ID = S.MON$STAT_ID"
        " WHERE S.MON$ATTACHMENT_ID = :A AND S.MON$STATE = 1 AND R.MON$RECORD_WAITS > 0"));
    q.param(u"A").setValue(attachment);
    q.open();
    const bool waiting = q.field(0).asInteger() > 0;
    monitor.transaction().commit();  // the next look takes a new snapshot
    return waiting;
}

}  // namespace

class DatabaseTest : public ::testing::Test {
protected:
    TestDatabase database;
};

TEST_F(DatabaseTest, EveryValueTypeGoesInAndComesOut)
{
    database.run(QString::fromLatin1(kValuesTable));
    auto c = database.connect();
    Query insert(*c, QStringLiteral(
        "INSERT INTO T_VALUES (ISN, I16, I32, I64, F32, F64, N4, N9, N18, C5, V20, D, T, TS, TB, BB)"
        " VALUES (1, :I16, :I32, :I64, :F32, :F64, :N4, :N9, :N18, :C5, :V20, :D, :T, :TS, :TB, :BB)"));
    insert.param(u"I16").setValue(std::int32_t{-12});
    insert.param(u"I32").setValue(std::int32_t{2000000000});
    insert.param(u"I64").setValue(std::int64_t{9171900001});
    insert.param(u"F32").setValue(1.5);
    insert.param(u"F64").setValue(0.1);
    insert.param(u"N4").setValue(12.3);
    insert.param(u"N9").setValue(QStringLiteral("1.234"));
    insert.param(u"N18").setValue(std::int32_t{7});
    insert.param(u"C5").setValue(QStringLiteral("ab"));
    insert.param(u"V20").setValue(QStringLiteral("text"));
    insert.param(u"D").setValue(QDate(2026, 12, 9));
    insert.param(u"T").setValue(QTime(14, 30, 5, 120));
    insert.param(u"TS").setValue(QDateTime(QDate(2026, 12, 9), QTime(14, 30)));
    insert.param(u"TB").setValue(QStringLiteral("long text ") + kLatvian);
    insert.param(u"BB").setValue(Value::binaryBlob(QByteArray("\x00\x01\xff", 3)));
    EXPECT_EQ(insert.execute(), 1);

    Query q(*c, QStringLiteral("SELECT * FROM T_VALUES"));
    q.open();
    ASSERT_EQ(q.recordCount(), 1);
    EXPECT_EQ(q.field(u"I16").value(), Value(std::int32_t{-12}));
    EXPECT_EQ(q.field(u"I32").asInteger(), 2000000000);
    EXPECT_EQ(q.field(u"I64").value(), Value(std::int64_t{9171900001}));
    EXPECT_DOUBLE_EQ(q.field(u"F32").asFloat(), 1.5);
    EXPECT_DOUBLE_EQ(q.field(u"F64").asFloat(), 0.1);
    EXPECT_EQ(q.field(u"N4").value().type(), Type::Decimal);
    EXPECT_DOUBLE_EQ(q.field(u"N4").asFloat(), 12.3);
    EXPECT_DOUBLE_EQ(q.field(u"N9").asFloat(), 1.234);
    EXPECT_EQ(q.field(u"N18").asString(), QStringLiteral("7"));
    EXPECT_EQ(q.field(u"C5").asString(), QStringLiteral("ab   "));
    EXPECT_EQ(q.field(u"V20").asString(), QStringLiteral("text"));
    EXPECT_EQ(q.field(u"D").asString(), QStringLiteral("09.12.2026"));
    EXPECT_EQ(q.field(u"T").value(), Value(QTime(14, 30, 5, 120)));
    EXPECT_EQ(q.field(u"TS").asDateTime(), QDateTime(QDate(2026, 12, 9), QTime(14, 30)));
    EXPECT_EQ(q.field(u"TB").value(), Value::textBlob(QStringLiteral("long text ") + kLatvian));
    EXPECT_EQ(q.field(u"BB").value().toBytes(), QByteArray("\x00\x01\xff", 3));
    EXPECT_TRUE(q.field(u"U8").isNull());
    EXPECT_EQ(q.field(u"U8").asString(), QString());
    EXPECT_EQ(q.field(u"U8").asInteger(), 0);
}

TEST_F(DatabaseTest, ColumnMetadataGivesAliasTypeSizeScaleAndNullability)
{
    database.run(QString::fromLatin1(kValuesTable));
    auto c = database.connect(TransactionMode::AutoCommit, QStringLiteral("UTF8"));
    Query q(*c, QStringLiteral("SELECT ISN, V20 AS NAME, N9, C5, U8 FROM T_VALUES"));
    q.open();
    const auto& cols = q.columns();
    ASSERT_EQ(cols.size(), 5u);
    EXPECT_EQ(cols[0].type, Type::Integer);
    EXPECT_FALSE(cols[0].nullable);
    EXPECT_EQ(cols[1].name, QStringLiteral("NAME"));
    EXPECT_EQ(cols[1].size, 20);
    EXPECT_EQ(cols[2].type, Type::Decimal);
    EXPECT_EQ(cols[2].scale, 3);
    EXPECT_EQ(cols[3].size, 5);
    EXPECT_EQ(cols[4].size, 30);
    EXPECT_TRUE(cols[4].nullable);
    EXPECT_TRUE(q.isEmpty());
    EXPECT_TRUE(q.eof());
}

TEST_F(DatabaseTest, ParametersKeepTheirTypesNullsAndRepeats)
{
    database.run(QString::fromLatin1(kValuesTable) + QStringLiteral(";INSERT INTO T_VALUES (ISN, I32, V20, D) VALUES (1, 5, 'a', '01.01.2014');"
                                                      "INSERT INTO T_VALUES (ISN, I32, V20) VALUES (2, NULL, 'b')"));
    auto c = database.connect();
    Query q(*c, QStringLiteral("SELECT ISN FROM T_VALUES WHERE ISN = :K OR I32 = :K ORDER BY ISN"));
    ASSERT_EQ(q.params().size(), 1u);
    q.param(u"k").setValue(std::int32_t{5});
    q.open();
    EXPECT_EQ(q.recordCount(), 1);

    // A text re-typed as integer is converted before binding.
    q.param(u"K").setValue(QStringLiteral("2"));
    q.param(u"K").setType(Type::Integer);
    q.open();
    ASSERT_EQ(q.recordCount(), 1);
    EXPECT_EQ(q.field(u"ISN").asInteger(), 2);

    // A null matches nothing.
    Query nulls(*c, QStringLiteral("SELECT COUNT(*) FROM T_VALUES WHERE I32 = :V"));
    nulls.open();
    EXPECT_EQ(nulls.field(0).asInteger(), 0);

    // Text to a date column: the database converts, or says why not.
    Query date(*c, QStringLiteral("SELECT ISN FROM T_VALUES WHERE D = :D"));
    date.param(u"D").setValue(QStringLiteral("01.01.2014"));
    date.open();
    EXPECT_EQ(date.recordCount(), 1);
    date.param(u"D").setValue(QStringLiteral("no date"));
    try {
        date.open();
        FAIL() << "a text that is no date must fail";
    } catch (const DbError& e) {
        EXPECT_TRUE(e.hasCode(335544334)) << e.message().toStdString();
        EXPECT_TRUE(e.message().contains(QStringLiteral("conversion"), Qt::CaseInsensitive));
    }
}

TEST_F(DatabaseTest, SettingTheTextRebuildsTheParameterList)
{
    auto c = database.connect();
    Query q(*c, QStringLiteral("SELECT 1 FROM RDB$DATABASE WHERE 1 = :A"));
    q.param(u"A").setValue(std::int32_t{1});
    q.setSql(QStringLiteral("SELECT 1 FROM RDB$DATABASE WHERE :B = 1 AND :C = 2 AND :B = 1"));
    ASSERT_EQ(q.params().size(), 2u);
    EXPECT_EQ(q.params()[0].name(), QStringLiteral("B"));
    EXPECT_TRUE(q.params()[0].isNull());
    EXPECT_EQ(q.findParam(u"A"), nullptr);

    // The same text again starts with empty parameters; another text
    // prepares anew, with its own columns.
    const QString same = QStringLiteral("SELECT 1 AS ONE FROM RDB$DATABASE WHERE 1 = :A");
    q.setSql(same);
    q.param(u"A").setValue(std::int32_t{1});
    q.open();
    q.setSql(same);
    EXPECT_TRUE(q.param(u"A").isNull());
    q.param(u"A").setValue(std::int32_t{1});
    q.open();
    EXPECT_EQ(q.recordCount(), 1);
    q.setSql(QStringLiteral("SELECT 2 AS TWO FROM RDB$DATABASE"));
    q.open();
    EXPECT_EQ(q.field(u"TWO").asInteger(), 2);
}

TEST_F(DatabaseTest, LatvianTextRoundTripsInEveryCharset)
{
    for (const QString& charset : {QStringLiteral("NONE"), QStringLiteral("UTF8"), QStringLiteral("WIN1257")}) {
        SCOPED_TRACE(charset.toStdString());
        auto c = database.connect(TransactionMode::AutoCommit, charset);
        Query ins(*c, QStringLiteral("INSERT INTO N_KLIENT (GNOS) VALUES (:G) RETURNING ISN"));
        ins.param(u"G").setValue(kLatvian);
        ins.open();
        const int isn = ins.field(u"ISN").asInteger();
        Query sel(*c, QStringLiteral("SELECT GNOS, CHAR_LENGTH(GNOS) L FROM N_KLIENT WHERE ISN = :I"));
        sel.param(u"I").setValue(isn);
        sel.open();
        EXPECT_EQ(sel.field(u"GNOS").asString(), kLatvian);
        EXPECT_EQ(sel.field(u"L").asInteger(), kLatvian.size());
        // A literal in the statement text travels in the same code page.
        Query lit(*c, QStringLiteral("SELECT COUNT(*) FROM N_KLIENT WHERE GNOS = '") + kLatvian + QStringLiteral("'"));
        lit.open();
        EXPECT_GE(lit.field(0).asInteger(), 1);
    }
}

TEST_F(DatabaseTest, EightBitCodePageIsKnownOnlyForEightBitConnections)
{
    EXPECT_EQ(database.connect()->eightBitCodePage(), QStringLiteral("windows-1257"));
    EXPECT_TRUE(database.connect(TransactionMode::AutoCommit, QStringLiteral("UTF8"))->eightBitCodePage().isEmpty());
    EXPECT_THROW(Connection(database.options(TransactionMode::AutoCommit, QStringLiteral("NO_SUCH_SET"))), DbError);
}

TEST_F(DatabaseTest, GeneratorIsReadWithoutAdvancing)
{
    database.run(QStringLiteral("INSERT INTO O_PARPRC (ISPRECE) VALUES (1); INSERT INTO O_PARPRC (ISPRECE) VALUES (2)"));
    auto c = database.connect();
    Query gen(*c, QStringLiteral("SELECT GEN_ID(O_PARPRCGEN, 0) ISN FROM RDB$DATABASE"));
    gen.open();
    const std::int64_t newest = gen.field(u"ISN").asInt64();
    gen.open();
    EXPECT_EQ(gen.field(u"ISN").asInt64(), newest);
    Query max(*c, QStringLiteral("SELECT MAX(ISN) FROM O_PARPRC"));
    max.open();
    EXPECT_EQ(max.field(0).asInt64(), newest);
}

TEST_F(DatabaseTest, SelectableProcedureYieldsValidCertificates)
{
    database.run(QStringLiteral(
        "INSERT INTO N_SERTIF (ISN, GNOS) VALUES (10, 'Valid');"
        "INSERT INTO N_SERTIF (ISN, GNOS) VALUES (11, 'Expired');"
        "INSERT INTO N_SERTIF (ISN, GNOS) VALUES (12, 'Other department');"
        "INSERT INTO N_SERTPREC (ISSERTIF, ISPRECE, ISNODALA, DER_NO, DER_LIDZ) VALUES (10, 5, 3, CURRENT_DATE - 1, CURRENT_DATE + 1);"
        "INSERT INTO N_SERTPREC (ISSERTIF, ISPRECE, ISNODALA, DER_NO, DER_LIDZ) VALUES (11, 5, 3, CURRENT_DATE - 9, CURRENT_DATE - 1);"
        "INSERT INTO N_SERTPREC (ISSERTIF, ISPRECE, ISNODALA) VALUES (12, 5, 4)"));
    auto c = database.connect();
    Query q(*c, QStringLiteral("SELECT ISSERTIF, SERTIF FROM PRECVALIDSERTLIST(:P, :D, 0, 1)"));
    q.param(u"P").setValue(std::int32_t{5});
    q.param(u"D").setValue(std::int32_t{3});
    q.open();
    ASSERT_EQ(q.recordCount(), 1);
    EXPECT_EQ(q.field(u"ISSERTIF").asInteger(), 10);
    EXPECT_EQ(q.field(u"SERTIF").asString(), QStringLiteral("Valid"));
}

TEST_F(DatabaseTest, CursorAndCalculatedFields)
{
    database.run(QStringLiteral("INSERT INTO N_KLIENT (ISN, GNOS) VALUES (1, 'A'); INSERT INTO N_KLIENT (ISN, GNOS) VALUES (2, 'B')"));
    auto c = database.connect();
    Query q(*c, QStringLiteral("SELECT ISN, GNOS FROM N_KLIENT ORDER BY ISN"));
    q.addCalculatedField(QStringLiteral("LABEL"), Type::Text, 3);
    int calls = 0;
    q.setOnCalcFields([&](Query& self) {
        ++calls;
        self.setCalculated(u"LABEL", self.field(u"GNOS").asString() + QStringLiteral("-long"));
    });
    q.setDisplayFormat(u"isn", QStringLiteral("#0.00"));
    q.open();
    EXPECT_EQ(q.field(u"label").asString(), QStringLiteral("A-l"));
    q.next();
    EXPECT_EQ(q.field(u"LABEL").asString(), QStringLiteral("B-l"));
    EXPECT_FALSE(q.eof());
    q.next();
    EXPECT_TRUE(q.eof());
    EXPECT_EQ(q.field(u"ISN").asInteger(), 2);  // stays on the last row
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(q.displayFormat(u"ISN"), QStringLiteral("#0.00"));
    EXPECT_THROW(q.field(u"NO_SUCH"), DbError);
}

TEST_F(DatabaseTest, AutoCommitMakesEveryStatementVisibleAtOnce)
{
    auto writer = database.connect();
    auto reader = database.connect();
    Query count(*reader, QStringLiteral("SELECT COUNT(*) FROM N_KLIENT"));
    count.open();
    EXPECT_EQ(count.field(0).asInteger(), 0);
    Query(*writer, QStringLiteral("INSERT INTO N_KLIENT (GNOS) VALUES ('x')")).execute();
    count.open();
    EXPECT_EQ(count.field(0).asInteger(), 1);
}

TEST_F(DatabaseTest, SnapshotSeesItsOwnStartAndCommitClosesDatasets)
{
    auto snapshot = database.connect(TransactionMode::Explicit);
    auto writer = database.connect();
    Query count(*snapshot, QStringLiteral("SELECT COUNT(*) FROM N_KLIENT"));
    count.open();
    EXPECT_TRUE(snapshot->transaction().isActive());
    Query other(*snapshot, QStringLiteral("SELECT 1 FROM RDB$DATABASE"));
    other.open();
    Query(*writer, QStringLiteral("INSERT INTO N_KLIENT (GNOS) VALUES ('x')")).execute();
    count.open();
    EXPECT_EQ(count.field(0).asInteger(), 0);  // the snapshot does not see it

    snapshot->transaction().commit();
    EXPECT_FALSE(snapshot->transaction().isActive());
    EXPECT_FALSE(count.isOpen());
    EXPECT_FALSE(other.isOpen());
    count.open();
    EXPECT_EQ(count.field(0).asInteger(), 1);
}

TEST_F(DatabaseTest, RollbackDiscardsExplicitWork)
{
    auto c = database.connect(TransactionMode::Explicit);
    Query(*c, QStringLiteral("INSERT INTO N_KLIENT (GNOS) VALUES ('x')")).execute();
    c->transaction().rollback();
    Query count(*c, QStringLiteral("SELECT COUNT(*) FROM N_KLIENT"));
    count.open();
    EXPECT_EQ(count.field(0).asInteger(), 0);
}

namespace {

std::int64_t count(Connection& c, const char* sql)
{
    Query q(c, QString::fromLatin1(sql));
    q.open();
    return q.field(0).asInt64();
}

}  // namespace

TEST_F(DatabaseTest, AUnitOfWorkTakesEffectWholeOrNotAtAll)
{
    auto c = database.connect();
    auto reader = database.connect();
    const char* const clients = "SELECT COUNT(*) FROM N_KLIENT";
    {
        UnitOfWork unit(*c);
        Query(*c, QStringLiteral("INSERT INTO N_KLIENT (GNOS) VALUES ('a')")).execute();
        Query(*c, QStringLiteral("INSERT INTO N_KLIENT (GNOS) VALUES ('b')")).execute();
        EXPECT_EQ(count(*c, clients), 2);
        EXPECT_EQ(count(*reader, clients), 0);  // not committed yet
    }  // left without commit(): rolled back
    EXPECT_EQ(count(*reader, clients), 0);
    EXPECT_EQ(count(*c, clients), 0);

    Query open(*c, QStringLiteral("SELECT GNOS FROM N_KLIENT"));
    {
        UnitOfWork unit(*c);
        Query(*c, QStringLiteral("INSERT INTO N_KLIENT (GNOS) VALUES ('a')")).execute();
        open.open();
        // Read committed: another connection's commit shows at once.
        Query(*reader, QStringLiteral("INSERT INTO N_KLIENT (GNOS) VALUES ('other')")).execute();
        EXPECT_EQ(count(*c, clients), 2);
        unit.commit();
        EXPECT_FALSE(open.isOpen());  // the commit closed it
    }
    EXPECT_EQ(count(*reader, clients), 2);

    // Afterwards every statement is committed on its own again.
    Query(*c, QStringLiteral("INSERT INTO N_KLIENT (GNOS) VALUES ('c')")).execute();
    EXPECT_EQ(count(*reader, clients), 3);

    auto snapshot = database.connect(TransactionMode::Explicit);
    EXPECT_THROW(UnitOfWork{*snapshot}, DbError);
}

TEST_F(DatabaseTest, AStatementWithReturningLeavesItsRowAsTheDatasets)
{
    auto c = database.connect();
    Query insert(*c, QStringLiteral("INSERT INTO N_KLIENT (GNOS) VALUES (:GNOS) RETURNING ISN, GNOS"));
    for (const std::int32_t expected : {1, 2}) {
        insert.param(u"GNOS").setValue(QStringLiteral("k%1").arg(expected));
        EXPECT_EQ(insert.execute(), 1);
        ASSERT_TRUE(insert.isOpen());
        ASSERT_EQ(insert.recordCount(), 1);
        EXPECT_EQ(insert.field(u"ISN").value(), Value(expected));  // the key the trigger gave
        EXPECT_EQ(insert.field(u"GNOS").asString(), QStringLiteral("k%1").arg(expected));
    }

    Query update(*c, QStringLiteral("UPDATE N_KLIENT SET GNOS = 'x' WHERE ISN = :ISN RETURNING ISN"));
    update.param(u"ISN").setValue(std::int32_t{99});
    EXPECT_EQ(update.execute(), 0);
    EXPECT_TRUE(update.field(u"ISN").isNull());

    // A statement without RETURNING leaves no row.
    Query plain(*c, QStringLiteral("UPDATE N_KLIENT SET GNOS = 'y' WHERE ISN = 1"));
    EXPECT_EQ(plain.execute(), 1);
    EXPECT_FALSE(plain.isOpen());
    EXPECT_TRUE(plain.columns().empty());
}

TEST_F(DatabaseTest, AFetchThatFailedHalfWayLeavesNoRowsForTheNextOpen)
{
    database.run(QStringLiteral("INSERT INTO N_KLIENT (ISN, GNOS) VALUES (1, '1');"
                                "INSERT INTO N_KLIENT (ISN, GNOS) VALUES (2, '2');"
                                "INSERT INTO N_KLIENT (ISN, GNOS) VALUES (3, 'x')"));
    auto c = database.connect();
    Query numbers(*c, QStringLiteral("SELECT CAST(GNOS AS INTEGER) N FROM N_KLIENT ORDER BY ISN"));
    EXPECT_THROW(numbers.open(), DbError);
    Query(*c, QStringLiteral("DELETE FROM N_KLIENT WHERE ISN = 3")).execute();
    numbers.open();
    EXPECT_EQ(numbers.recordCount(), 2);
}

TEST_F(DatabaseTest, ADuplicateKeyAndAnUnknownTableAreTold)
{
    database.run(QStringLiteral("INSERT INTO N_KLIENT (ISN, GNOS) VALUES (1, 'a')"));
    auto c = database.connect();
    try {
        Query(*c, QStringLiteral("INSERT INTO N_KLIENT (ISN, GNOS) VALUES (1, 'b')")).execute();
        FAIL();
    } catch (const DbError& e) {
        EXPECT_TRUE(e.duplicateKey()) << e.message().toStdString();
        EXPECT_FALSE(e.unknownTable());
    }
    try {
        Query(*c, QStringLiteral("INSERT INTO NO_SUCH_TABLE (ISN) VALUES (1)")).execute();
        FAIL();
    } catch (const DbError& e) {
        EXPECT_TRUE(e.unknownTable()) << e.message().toStdString();
        EXPECT_FALSE(e.duplicateKey());
    }
}

TEST_F(DatabaseTest, ASecondWriterWaitsForTheLockInsteadOfFailing)
{
    database.run(QStringLiteral("INSERT INTO N_KLIENT (ISN, GNOS) VALUES (1, 'a')"));
    auto holder = database.connect(TransactionMode::Explicit);
    Query(*holder, QStringLiteral("UPDATE N_KLIENT SET GNOS = 'holder' WHERE ISN = 1")).execute();

    auto c = database.connect();
    const std::int64_t waiterAttachment = attachmentId(*c);
    std::atomic<bool> done{false};
    std::string failure;
    std::thread waiter([&] {
        try {
            Query(*c, QStringLiteral("UPDATE N_KLIENT SET GNOS = 'waiter' WHERE ISN = 1")).execute();
        } catch (const DbError& e) {
            failure = e.what();
        }
        done = true;
    });
    auto monitor = database.connect(TransactionMode::Explicit);
    const QDeadlineTimer deadline(std::chrono::seconds(30));
    while (!waitsForARecordLock(*monitor, waiterAttachment) && !done && !deadline.hasExpired())
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_FALSE(done) << "the second update must wait for the first transaction";
    EXPECT_FALSE(deadline.hasExpired()) << "the second update was never seen waiting";
    holder->transaction().rollback();
    waiter.join();
    EXPECT_TRUE(failure.empty()) << failure;
    Query q(*holder, QStringLiteral("SELECT GNOS FROM N_KLIENT WHERE ISN = 1"));
    q.open();
    EXPECT_EQ(q.field(u"GNOS").asString(), QStringLiteral("waiter"));
}

TEST_F(DatabaseTest, ErrorsCarryTheDatabaseMessageAndCode)
{
    auto c = database.connect();
    try {
        Query(*c, QStringLiteral("SELECT NO_SUCH_COLUMN FROM N_KLIENT")).open();
        FAIL();
    } catch (const DbError& e) {
        EXPECT_EQ(e.code(), 335544569);
        EXPECT_TRUE(e.message().contains(QStringLiteral("NO_SUCH_COLUMN"))) << e.message().toStdString();
        EXPECT_FALSE(e.connectionLost());
    }
    EXPECT_THROW(Query(*c, QStringLiteral("UPDATE N_KLIENT SET ISN = 1")).open(), DbError);
}

TEST_F(DatabaseTest, AttachingAMissingDatabaseFailsWithItsMessage)
{
    ConnectionOptions o = database.options();
    o.database += QStringLiteral(".missing");
    Connection c(o);
    try {
        c.attach();
        FAIL();
    } catch (const DbError& e) {
        EXPECT_FALSE(e.message().isEmpty());
    }
    EXPECT_FALSE(c.isAttached());
}

TEST_F(DatabaseTest, ALostConnectionIsDetectedAndAttachesAnew)
{
    auto victim = database.connect();
    Query id(*victim, QStringLiteral("SELECT CURRENT_CONNECTION FROM RDB$DATABASE"));
    id.open();
    const std::int64_t attachment = id.field(0).asInt64();
    removeAttachment(database, attachment);

    try {
        id.open();
        FAIL() << "the removed attachment must fail";
    } catch (const DbError& e) {
        EXPECT_TRUE(e.connectionLost()) << e.message().toStdString();
    }
    victim->detach();
    id.open();  // attaches anew and prepares again
    EXPECT_NE(id.field(0).asInt64(), attachment);
}

TEST_F(DatabaseTest, AFailedStatementLeavesNoClientObjectsHeld)
{
    database.run(QString::fromLatin1(kValuesTable) +
                 QStringLiteral(";INSERT INTO N_KLIENT (ISN, GNOS) VALUES (1, 'a');"
                                "INSERT INTO N_KLIENT (ISN, GNOS) VALUES (2, 'b')"));
    struct Case {
        const char* what;
        const char* sql;
        std::function<void(Query&)> bind;
    };
    const Case cases[] = {
        {"refused by the database", "SELECT NO_SUCH_COLUMN FROM N_KLIENT", {}},
        {"a parameter missing from the list", "SELECT ISN FROM N_KLIENT WHERE ISN = :I",
         [](Query& q) { q.setParams({}); }},
        {"a value the database cannot convert", "SELECT ISN FROM T_VALUES WHERE D = :D",
         [](Query& q) { q.param(u"D").setValue(QStringLiteral("no date")); }},
        {"a row that fails while fetched", "SELECT 1 / (ISN - 2) FROM N_KLIENT", {}},
    };
    auto c = database.connect();
    c->transaction().start();
    const int held = heldClientObjects();
    for (const Case& k : cases) {
        SCOPED_TRACE(k.what);
        {
            Query q(*c, QString::fromLatin1(k.sql));
            if (k.bind)
                k.bind(q);
            EXPECT_THROW(q.open(), DbError);
        }
        EXPECT_EQ(heldClientObjects(), held);
    }
}

TEST_F(DatabaseTest, ABlobParameterOnALostAttachmentLeavesNoClientObjectsHeld)
{
    database.run(QString::fromLatin1(kValuesTable));
    const int before = heldClientObjects();
    {
        auto victim = database.connect();
        Query insert(*victim, QStringLiteral("INSERT INTO T_VALUES (ISN, TB) VALUES (:I, :TB)"));
        insert.param(u"I").setValue(std::int32_t{1});
        insert.param(u"TB").setValue(Value::textBlob(QStringLiteral("text")));
        insert.execute();
        removeAttachment(database, attachmentId(*victim));

        // Prepared already: the blob is the first thing that meets the loss.
        const int held = heldClientObjects();
        insert.param(u"I").setValue(std::int32_t{2});
        try {
            insert.execute();
            FAIL() << "the removed attachment must fail";
        } catch (const DbError& e) {
            EXPECT_TRUE(e.connectionLost()) << e.message().toStdString();
        }
        EXPECT_EQ(heldClientObjects(), held);
        victim->detach();
    }
    EXPECT_EQ(heldClientObjects(), before);
}
