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
    void SetUp() override
    {
        const QString dir = qEnvironmentVariable("KELVO_TEST_SERVER_DIR");
        QFile portFile(dir + QStringLiteral("/port"));
        ASSERT_TRUE(portFile.open(QIODevice::ReadOnly)) << "no test server in " << dir.toStdString();
        const QString port = QString::fromLatin1(portFile.readAll()).trimmed();
        options.database = QStringLiteral("127.0.0.1/%1:%2/db/%3.fdb")
                               .arg(port, dir, QUuid::createUuid().toString(QUuid::Id128));
        options.password = QStringLiteral("plovnigur");
        Connection::createDatabase(options, {testsupport::sourcePath(QStringLiteral("db/schema.sql"))});
        created = options;
    }

    void TearDown() override
    {
        Connection c(created);
        c.dropDatabase();
    }

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
