// kelvo-server as a process: start-up failures and a headless run from start
// to SIGTERM.

#include "StoreFixture.h"
#include "TestDatabase.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

namespace hosttest {
namespace {

quint16 freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

class StartupTest : public StoreTest {
protected:
    void start(QStringList arguments)
    {
        server.setProgram(QStringLiteral(KELVO_SERVER));
        server.setArguments(arguments << QStringLiteral("--headless") << QStringLiteral("--listen")
                                      << QStringLiteral("127.0.0.1"));
        server.start();
        ASSERT_TRUE(server.waitForStarted());
    }

    // The exit code; -1 when it did not end in time.
    int exitCode()
    {
        if (!server.waitForFinished(30000)) {
            server.kill();
            server.waitForFinished();
            return -1;
        }
        return server.exitStatus() == QProcess::NormalExit ? server.exitCode() : -1;
    }

    QString errorOutput() { return QString::fromUtf8(server.readAllStandardError()); }

    // Connected to the server once it listens.
    bool connectTo(QTcpSocket& client, quint16 port)
    {
        return QTest::qWaitFor(
            [&] {
                if (server.state() != QProcess::Running)
                    return true;
                client.connectToHost(QHostAddress::LocalHost, port);
                return client.waitForConnected(200);
            },
            30000) && client.state() == QAbstractSocket::ConnectedState;
    }

    QProcess server;
};

TEST_F(StartupTest, PortInUseEndsTheStartWithTheErrorOnStandardError)
{
    QTcpServer taken;
    ASSERT_TRUE(taken.listen(QHostAddress::LocalHost, 0));
    start({QStringLiteral("--port"), QString::number(taken.serverPort()), QStringLiteral("--database"),
           home.filePath(QStringLiteral("none.fdb"))});
    EXPECT_EQ(exitCode(), 1);
    EXPECT_TRUE(errorOutput().contains(QStringLiteral("Cannot listen on 127.0.0.1 port %1").arg(taken.serverPort())));
    EXPECT_FALSE(storeExists());
}

TEST_F(StartupTest, UnreachableDatabaseEndsTheStartAtTheFirstShow)
{
    start({QStringLiteral("--port"), QString::number(freePort()), QStringLiteral("--database"),
           home.filePath(QStringLiteral("missing/preces.fdb"))});
    EXPECT_EQ(exitCode(), 1);
    EXPECT_TRUE(errorOutput().contains(QStringLiteral("kelvo-server: ")));
    // The settings were neither restored nor saved.
    EXPECT_FALSE(storeExists());
}

TEST_F(StartupTest, BadOptionIsAUsageError)
{
    start({QStringLiteral("--port"), QStringLiteral("ninety")});
    EXPECT_EQ(exitCode(), 2);
    EXPECT_TRUE(errorOutput().contains(QStringLiteral("--port")));
}

TEST_F(StartupTest, HeadlessServerServesThenSavesAndClosesClientsOnSigterm)
{
    const testsupport::TestDatabase database;
    const quint16 port = freePort();
    start({QStringLiteral("--port"), QString::number(port), QStringLiteral("--database"),
           database.options().database});
    QTcpSocket client;
    ASSERT_TRUE(connectTo(client, port)) << errorOutput().toStdString();

    client.write(R"({"jsonrpc": "2.0", "id": 1, "method": "EchoString", "params": ["sveiki"]})"
                 "\n");
    ASSERT_TRUE(QTest::qWaitFor([&] { return client.canReadLine(); }, 10000));
    const QJsonObject answer = QJsonDocument::fromJson(client.readLine()).object();
    EXPECT_EQ(answer.value(QStringLiteral("id")).toInt(), 1);
    EXPECT_EQ(answer.value(QStringLiteral("result")).toString(), QStringLiteral("sveiki"));

    server.terminate();
    EXPECT_EQ(exitCode(), 0) << errorOutput().toStdString();
    EXPECT_TRUE(QTest::qWaitFor([&] { return client.state() == QAbstractSocket::UnconnectedState; }, 5000));
    // A first start: both dates became today's, and were saved.
    const QString today = QDate::currentDate().toString(QStringLiteral("dd.MM.yyyy"));
    EXPECT_EQ(storedObject(), QJsonDocument::fromJson(QStringLiteral(R"({"Datums": "%1", "Datums2": "%1",
        "Kopijas": 2})").arg(today).toUtf8()).object());
}

}  // namespace
}  // namespace hosttest
