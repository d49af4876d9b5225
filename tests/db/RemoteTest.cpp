// The client layer against a real Firebird server on loopback (host/port:path).

#include "DbError.h"
#include "Query.h"
#include "TestDatabase.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QUuid>

using namespace db;

namespace {

class RemoteTest : public ::testing::Test {
protected:
    // A fresh database in the server's folder, a copy of the tests'
    // template: made through the server on disk it would take seconds.
    void SetUp() override
    {
        QFile portFile(serverDir + QStringLiteral("/port"));
        ASSERT_TRUE(portFile.open(QIODevice::ReadOnly)) << "no test server in " << serverDir.toStdString();
        port = QString::fromLatin1(portFile.readAll()).trimmed();
        const QString path = newDatabasePath();
        testsupport::copyFreshDatabase(path);
        options.database = throughTheServer(path);
        options.password = QStringLiteral("plovnigur");
        created = options;
    }

    void TearDown() override
    {
        Connection c(created);
        c.dropDatabase();
    }

    QString newDatabasePath() const
    {
        return QStringLiteral("%1/db/%2.fdb").arg(serverDir, QUuid::createUuid().toString(QUuid::Id128));
    }
    QString throughTheServer(const QString& path) const { return QStringLiteral("127.0.0.1/%1:%2").arg(port, path); }

    const QString serverDir = qEnvironmentVariable("KELVO_TEST_SERVER_DIR");
    QString port;
    ConnectionOptions options;
    ConnectionOptions created;
};

}  // namespace

TEST_F(RemoteTest, StatementsRunThroughTheServer)
{
    options.charset = QStringLiteral("NONE");
    Connection c(options);
    const QString name = QStringLiteral("Rīgas nodaļa");
    Query ins(c, QStringLiteral("INSERT INTO N_DEPART (GNOS, GRUPA) VALUES (:G, '|Rīga|') RETURNING ISN"));
    ins.param(u"G").setValue(name);
    ins.open();
    Query sel(c, QStringLiteral("SELECT GNOS FROM N_DEPART WHERE ISN = :I AND GRUPA LIKE '%|' || :GR || '|%'"));
    sel.param(u"I").setValue(ins.field(u"ISN").value());
    sel.param(u"GR").setValue(QStringLiteral("Rīga"));
    sel.open();
    ASSERT_EQ(sel.recordCount(), 1);
    EXPECT_EQ(sel.field(u"GNOS").asString(), name);
}

TEST_F(RemoteTest, ADatabaseIsCreatedThroughTheServer)
{
    ConnectionOptions made = options;
    made.database = throughTheServer(newDatabasePath());
    Connection::createDatabase(made);
    Connection c(made);
    c.runScript(QStringLiteral("CREATE TABLE T (A VARCHAR(20));"
                               "INSERT INTO T VALUES ('Rīga')"));
    Query q(c, QStringLiteral("SELECT A, RDB$CHARACTER_SET_NAME FROM T, RDB$DATABASE"));
    q.open();
    EXPECT_EQ(q.field(u"A").asString(), QStringLiteral("Rīga"));
    EXPECT_EQ(q.field(u"RDB$CHARACTER_SET_NAME").asString().trimmed(), QStringLiteral("WIN1257"));
    c.dropDatabase();
}

TEST_F(RemoteTest, AWrongPasswordFailsWithTheServersMessage)
{
    options.password = QStringLiteral("wrong");
    Connection c(options);
    try {
        c.attach();
        FAIL();
    } catch (const DbError& e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("password"), Qt::CaseInsensitive)) << e.message().toStdString();
        EXPECT_FALSE(e.connectionLost());
    }
}

TEST_F(RemoteTest, ALostAttachmentIsDetectedAndAttachesAnew)
{
    Connection victim(options);
    Query id(victim, QStringLiteral("SELECT CURRENT_CONNECTION FROM RDB$DATABASE"));
    id.open();
    const std::int64_t attachment = id.field(0).asInt64();
    {
        Connection admin(options);
        Query kill(admin, QStringLiteral("DELETE FROM MON$ATTACHMENTS WHERE MON$ATTACHMENT_ID = :A"));
        kill.param(u"A").setValue(attachment);
        kill.execute();
    }
    try {
        id.open();
        FAIL();
    } catch (const DbError& e) {
        std::string codes;
        for (long code : e.codes())
            codes += std::to_string(code) + " ";
        EXPECT_TRUE(e.connectionLost()) << e.message().toStdString() << " codes " << codes;
    }
    victim.detach();
    id.open();
    EXPECT_NE(id.field(0).asInt64(), attachment);
}
