// kelvo-server as a process: start-up failures and a headless run from start
// to SIGTERM.

#include "StoreFixture.h"
#include "TestDatabase.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

namespace hosttest {
using testsupport::CaseName;
using testsupport::StoreTest;
namespace {

quint16 freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

class StartupTest : public StoreTest {
protected:
    // Headless unless told otherwise: a window would show start-up errors in
    // a message box that nobody closes.
    void start(QStringList arguments, bool headless = true)
    {
        if (headless)
            arguments << QStringLiteral("--headless");
        server.setProgram(QStringLiteral(KELVO_SERVER));
        server.setArguments(arguments << QStringLiteral("--listen") << QStringLiteral("127.0.0.1"));
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

class ServingTest : public StartupTest, public ::testing::WithParamInterface<bool> {};

// With the window (offscreen) SIGTERM closes it, which saves the settings.
TEST_P(ServingTest, ServesThenSavesAndClosesClientsOnSigterm)
{
    const testsupport::TestDatabase database;
    const quint16 port = freePort();
    start({QStringLiteral("--port"), QString::number(port), QStringLiteral("--database"), database.options().database},
          GetParam());
    QTcpSocket client;
    ASSERT_TRUE(connectTo(client, port)) << errorOutput().toStdString();

    client.write(R"({"jsonrpc": "2.0", "id": 1, "method": "EchoString", "params": ["sveiki"]})"
                 "\n");
    ASSERT_TRUE(QTest::qWaitFor([&] { return client.canReadLine(); }, 60000));
    const QJsonObject answer = QJsonDocument::fromJson(client.readLine()).object();
    EXPECT_EQ(answer.value(QStringLiteral("id")).toInt(), 1);
    EXPECT_EQ(answer.value(QStringLiteral("result")).toString(), QStringLiteral("sveiki"));

    server.terminate();
    EXPECT_EQ(exitCode(), 0) << errorOutput().toStdString();
    EXPECT_TRUE(QTest::qWaitFor([&] { return client.state() == QAbstractSocket::UnconnectedState; }, 30000));
    // A first start: both dates became today's, and were saved.
    const QString today = QDate::currentDate().toString(QStringLiteral("dd.MM.yyyy"));
    EXPECT_EQ(storedObject(), QJsonDocument::fromJson(QStringLiteral(R"({"Datums": "%1", "Datums2": "%1",
        "Kopijas": 2})").arg(today).toUtf8()).object());
}

INSTANTIATE_TEST_SUITE_P(Modes, ServingTest, ::testing::Values(true, false),
                         [](const auto& mode) { return std::string(mode.param ? "Headless" : "Window"); });

TEST_F(StartupTest, DemoMakesItsDatabaseOnceAndKeepsItsOwnStore)
{
    const QDir project(home.filePath(QStringLiteral("project")));
    ASSERT_TRUE(QDir().mkpath(project.path()));
    ASSERT_TRUE(QFile::link(testsupport::sourcePath(QStringLiteral("db")), project.filePath(QStringLiteral("db"))));
    server.setWorkingDirectory(project.path());
    const quint16 port = freePort();
    const QStringList arguments = {QStringLiteral("--demo"), QStringLiteral("--port"), QString::number(port)};

    for (int run = 1; run <= 2; ++run) {
        start(arguments);
        QTcpSocket client;
        ASSERT_TRUE(connectTo(client, port)) << errorOutput().toStdString();
        client.write(R"({"jsonrpc": "2.0", "id": 1, "method": "open", "params": {"provider": "DataSetProvider_PRECE"}})"
                     "\n");
        ASSERT_TRUE(QTest::qWaitFor([&] { return client.canReadLine(); }, 60000));
        const QJsonObject result = QJsonDocument::fromJson(client.readLine()).object().value(QStringLiteral("result")).toObject();
        EXPECT_FALSE(result.value(QStringLiteral("rows")).toArray().isEmpty()) << "run " << run;
        if (run == 1) {
            // The second run must find this very file again.
            ASSERT_TRUE(QFile::exists(project.filePath(QStringLiteral("var/demo.fdb"))));
            QFile marker(project.filePath(QStringLiteral("var/demo.fdb")));
            ASSERT_TRUE(marker.setPermissions(marker.permissions() | QFileDevice::ExeOther));
        }
        server.terminate();
        ASSERT_EQ(exitCode(), 0) << errorOutput().toStdString();
    }
    EXPECT_TRUE(QFileInfo(project.filePath(QStringLiteral("var/demo.fdb"))).permissions() & QFileDevice::ExeOther);
    EXPECT_TRUE(QFileInfo(project.filePath(QStringLiteral("var/prints"))).isDir());
    const QString today = QDate::currentDate().toString(QStringLiteral("dd.MM.yyyy"));
    QFile demoStore(project.filePath(QStringLiteral("var/Dravun.json")));
    ASSERT_TRUE(demoStore.open(QIODevice::ReadOnly));
    EXPECT_EQ(QJsonDocument::fromJson(demoStore.readAll()).object().value(QStringLiteral("Datums")).toString(), today);
    // The user's own store is left alone.
    EXPECT_FALSE(storeExists());
}

}  // namespace
}  // namespace hosttest
