// kelvo-server as a process: start-up failures, a run from start to SIGTERM,
// SIGHUP and what it tells systemd.

#include "StoreFixture.h"
#include "TestDatabase.h"

#include <QDeadlineTimer>
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

#include <algorithm>
#include <csignal>
#include <cstring>

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

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
        // The console's default port is one for all; these servers need none.
        if (!arguments.contains(QStringLiteral("--console")))
            arguments << QStringLiteral("--console") << QStringLiteral("off");
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

    // Everything the server wrote on standard error so far.
    QString errorOutput()
    {
        errors_ += QString::fromUtf8(server.readAllStandardError());
        return errors_;
    }

    // The first log line of the event `event`, once the server wrote it;
    // empty when it ends or a minute passes first.
    QString logLine(const char* event)
    {
        const QString marker = QStringLiteral("event=%1 ").arg(QLatin1String(event));
        QString line;
        (void)QTest::qWaitFor(
            [&] {
                server.waitForReadyRead(50);
                for (const QString& candidate : errorOutput().split(u'\n')) {
                    if ((candidate + u' ').contains(marker)) {
                        line = candidate;
                        return true;
                    }
                }
                return server.state() != QProcess::Running;
            },
            60000);
        return line;
    }

    void signal(int number) { ::kill(static_cast<pid_t>(server.processId()), number); }

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

private:
    QString errors_;
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
    EXPECT_TRUE(errorOutput().contains(QStringLiteral("level=error event=startup.failed error=")));
    // The settings were neither restored nor saved.
    EXPECT_FALSE(storeExists());
}

TEST_F(StartupTest, BadOptionIsAUsageError)
{
    start({QStringLiteral("--port"), QStringLiteral("ninety")});
    EXPECT_EQ(exitCode(), 2);
    EXPECT_TRUE(errorOutput().contains(QStringLiteral("--port")));
}

struct NoDisplayCase {
    const char* name;
    const char* display;  // nullptr: none set
};

const NoDisplayCase kNoDisplayCases[] = {{"NoneSet", nullptr}, {"NotThere", ":97"}};

class NoDisplayTest : public StartupTest, public ::testing::WithParamInterface<NoDisplayCase> {};

TEST_P(NoDisplayTest, TheWindowModeEndsWithCode1AndAMessageThatNamesHeadless)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(QLatin1String(name));
    if (GetParam().display)
        environment.insert(QStringLiteral("DISPLAY"), QLatin1String(GetParam().display));
    server.setProcessEnvironment(environment);
    start({QStringLiteral("--port"), QString::number(freePort()), QStringLiteral("--database"),
           home.filePath(QStringLiteral("none.fdb"))},
          false);
    EXPECT_EQ(exitCode(), 1) << errorOutput().toStdString();
    EXPECT_TRUE(errorOutput().contains(QStringLiteral("start kelvo-server with --headless"))) << errorOutput().toStdString();
    EXPECT_FALSE(errorOutput().contains(QStringLiteral("Reinstalling")));
    EXPECT_FALSE(storeExists());
}

INSTANTIATE_TEST_SUITE_P(Cases, NoDisplayTest, ::testing::ValuesIn(kNoDisplayCases), CaseName());

class ServingTest : public StartupTest, public ::testing::WithParamInterface<bool> {};

// With the window (offscreen) SIGTERM closes it, which saves the settings.
// The password, given in the environment, appears nowhere in the log.
TEST_P(ServingTest, ServesThenSavesAndClosesClientsOnSigterm)
{
    const testsupport::TestDatabase database;
    const quint16 port = freePort();
    const QString password = QStringLiteral("not-to-be-seen-8d1f");
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("KELVO_PASSWORD"), password);
    server.setProcessEnvironment(environment);
    start({QStringLiteral("--port"), QString::number(port), QStringLiteral("--database"), database.options().database},
          GetParam());
    QTcpSocket client;
    ASSERT_TRUE(connectTo(client, port)) << errorOutput().toStdString();
    const quint16 clientPort = client.localPort();

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
    const QString log = errorOutput();
    EXPECT_TRUE(log.contains(QStringLiteral("level=info event=server.listening address=127.0.0.1:%1").arg(port)))
        << log.toStdString();
    EXPECT_TRUE(log.contains(QStringLiteral("event=connection.opened peer=127.0.0.1:%1").arg(clientPort)));
    EXPECT_TRUE(log.contains(QStringLiteral("event=server.stopping signal=SIGTERM")));
    EXPECT_FALSE(log.contains(password));
}

const auto kModeName = [](const auto& mode) { return std::string(mode.param ? "Headless" : "Window"); };

INSTANTIATE_TEST_SUITE_P(Modes, ServingTest, ::testing::Values(true, false), kModeName);

class ReloadTest : public StartupTest, public ::testing::WithParamInterface<bool> {};

// An edited store applies at SIGHUP, by the rules of the start (a date that
// is missing becomes today's), and is what the stop saves.
TEST_P(ReloadTest, SighupAppliesAnEditedStoreAndTheStopSavesIt)
{
    const testsupport::TestDatabase database;
    writeStoreFile(R"({"Datums": "01.11.2026", "Datums2": "09.12.2026", "Kopijas": 3, "TekPZNr_PL": "9171900002"})");
    start({QStringLiteral("--port"), QString::number(freePort()), QStringLiteral("--database"),
           database.options().database},
          GetParam());
    ASSERT_TRUE(logLine("settings.restored").contains(QStringLiteral("date_from=01.11.2026 date_to=09.12.2026 "
                                                                     "sending_department=none hidden_department=none "
                                                                     "copies=3")))
        << errorOutput().toStdString();

    writeStoreFile(R"({"Datums": "02.11.2026", "Nodala": 11, "Kopijas": 7, "TekPZNr_PL": "9171900002"})");
    signal(SIGHUP);
    const QString today = QDate::currentDate().toString(QStringLiteral("dd.MM.yyyy"));
    EXPECT_TRUE(logLine("settings.reloaded")
                    .contains(QStringLiteral("date_from=02.11.2026 date_to=%1 sending_department=11 "
                                             "hidden_department=none copies=7")
                                  .arg(today)))
        << errorOutput().toStdString();

    server.terminate();
    EXPECT_EQ(exitCode(), 0) << errorOutput().toStdString();
    EXPECT_EQ(storedObject(), QJsonDocument::fromJson(QStringLiteral(R"({"Datums": "02.11.2026", "Datums2": "%1",
        "Nodala": 11, "Kopijas": 7, "TekPZNr_PL": "9171900002"})").arg(today).toUtf8()).object());
}

INSTANTIATE_TEST_SUITE_P(Modes, ReloadTest, ::testing::Values(true, false), kModeName);

// A datagram socket in the place of systemd's notification socket.
class NotifySocket {
public:
    explicit NotifySocket(const QString& path) : path_(path)
    {
        descriptor_ = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const QByteArray name = QFile::encodeName(path);
        std::memcpy(address.sun_path, name.constData(), std::min<size_t>(name.size(), sizeof address.sun_path - 1));
        bound_ = ::bind(descriptor_, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    }
    ~NotifySocket() { ::close(descriptor_); }

    bool isBound() const { return bound_; }

    // Waits, for at most a minute, for a message that holds `state` (e.g.
    // "READY=1"); the messages before it are passed over.
    QByteArray waitFor(const QByteArray& state)
    {
        const QDeadlineTimer deadline(60000);
        while (!deadline.hasExpired()) {
            pollfd ready{descriptor_, POLLIN, 0};
            if (::poll(&ready, 1, static_cast<int>(deadline.remainingTime())) <= 0)
                break;
            char message[4096];
            const ssize_t size = ::recv(descriptor_, message, sizeof message, 0);
            if (size > 0 && QByteArray(message, size).split('\n').contains(state))
                return QByteArray(message, size);
        }
        return {};
    }

private:
    QString path_;
    int descriptor_ = -1;
    bool bound_ = false;
};

TEST_F(StartupTest, StartedBySystemdItReportsReadyReloadingAndStoppingAndFeedsTheWatchdog)
{
    const testsupport::TestDatabase database;
    NotifySocket notifications(home.filePath(QStringLiteral("notify")));
    ASSERT_TRUE(notifications.isBound());
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("NOTIFY_SOCKET"), home.filePath(QStringLiteral("notify")));
    environment.insert(QStringLiteral("WATCHDOG_USEC"), QStringLiteral("200000"));
    server.setProcessEnvironment(environment);
    const quint16 port = freePort();
    start({QStringLiteral("--port"), QString::number(port), QStringLiteral("--database"), database.options().database});

    EXPECT_TRUE(notifications.waitFor("READY=1").contains(QStringLiteral("STATUS=Serving on 127.0.0.1:%1").arg(port).toUtf8()))
        << errorOutput().toStdString();
    EXPECT_FALSE(notifications.waitFor("WATCHDOG=1").isEmpty());
    signal(SIGHUP);
    EXPECT_FALSE(notifications.waitFor("RELOADING=1").isEmpty());
    EXPECT_FALSE(notifications.waitFor("READY=1").isEmpty());
    server.terminate();
    EXPECT_FALSE(notifications.waitFor("STOPPING=1").isEmpty());
    EXPECT_EQ(exitCode(), 0) << errorOutput().toStdString();
}

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
