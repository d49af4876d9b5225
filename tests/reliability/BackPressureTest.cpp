// Clients that send requests and never read the answers: kelvo-server stops
// reading them once their unsent answers pass the container's threshold, so
// its memory stays within the bound operations.md states (per connection the
// longest line, the unsent threshold and the answer in hand), and another
// client is still answered.

#include "KelvoServerContainerUnit.h"
#include "ServedSessions.h"
#include "ServiceFixture.h"
#include "ServerProcess.h"

#include <QFile>
#include <QJsonDocument>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTcpServer>

#include <chrono>
#include <thread>

#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace servicetest;

namespace {

constexpr int kClients = 200;
constexpr qsizetype kMaxLine = 64 * 1024;
constexpr qsizetype kAnswerText = 32 * 1024;
constexpr auto kPatience = std::chrono::minutes(2);
// In a sanitizer build most of the server's memory is the sanitizer's
// (shadow memory, freed blocks held back to catch their use): the bound is
// checked without one only, the rest of the behaviour in every build.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kMemoryIsTheServers = false;
#else
constexpr bool kMemoryIsTheServers = true;
#endif

quint16 freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

// A field of /proc/PID/status in bytes (VmRSS, VmHWM).
qint64 memoryOf(qint64 pid, const char* field)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const QRegularExpression line(QStringLiteral("^%1:\\s+(\\d+) kB$").arg(QLatin1String(field)),
                                  QRegularExpression::MultilineOption);
    return line.match(QString::fromLatin1(status.readAll())).captured(1).toLongLong() * 1024;
}

// A client on a plain socket with a small receive buffer, so that the
// answers it does not read pile up in the server rather than in the system.
class SilentClient {
public:
    explicit SilentClient(quint16 port)
    {
        descriptor_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const int receiveBuffer = 4096;
        ::setsockopt(descriptor_, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        connected_ = ::connect(descriptor_, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
        sockaddr_in local{};
        socklen_t size = sizeof local;
        ::getsockname(descriptor_, reinterpret_cast<sockaddr*>(&local), &size);
        localPort_ = ntohs(local.sin_port);
    }
    ~SilentClient() { ::close(descriptor_); }
    SilentClient(const SilentClient&) = delete;
    SilentClient& operator=(const SilentClient&) = delete;

    bool isConnected() const { return connected_; }
    quint16 localPort() const { return localPort_; }

    // One request and its answer, before the client falls silent.
    bool ask(const QByteArray& line)
    {
        if (::send(descriptor_, line.constData(), static_cast<size_t>(line.size()), MSG_NOSIGNAL) != line.size())
            return false;
        char byte = 0;
        while (::recv(descriptor_, &byte, 1, 0) == 1) {
            if (byte == '\n')
                return true;
        }
        return false;
    }

    // Sends as much of an endless stream of `line` as the system takes now.
    void sendWhatIsTaken(const QByteArray& line)
    {
        for (;;) {
            const ssize_t sent = ::send(descriptor_, line.constData() + offset_, static_cast<size_t>(line.size() - offset_),
                                        MSG_NOSIGNAL | MSG_DONTWAIT);
            if (sent <= 0)
                return;
            offset_ = (offset_ + sent) % line.size();
        }
    }

private:
    int descriptor_ = -1;
    bool connected_ = false;
    quint16 localPort_ = 0;
    qsizetype offset_ = 0;
};

class BackPressureTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        server.setProcessChannelMode(QProcess::MergedChannels);
        testsupport::startHeadlessServer(server, QStringLiteral(KELVO_SERVER), home, database.options().database, port,
                                         {"--max-clients", QString::number(kClients + 10), "--max-line",
                                          QString::number(kMaxLine), "--log-level", "debug"});
        ASSERT_TRUE(server.waitForStarted());
    }

    void TearDown() override
    {
        server.terminate();
        if (!server.waitForFinished(30000))
            server.kill();
    }

    // Listens, and has attached the connections it keeps ahead for the
    // sessions, so that its memory grows only with the clients.
    bool ready()
    {
        const auto deadline = std::chrono::steady_clock::now() + kPatience;
        while (server.state() == QProcess::Running && std::chrono::steady_clock::now() < deadline) {
            server.waitForReadyRead(50);
            output += server.readAll();
            if (output.contains("event=connections.spare") && reliability::LineClient(port).isConnected())
                return true;
        }
        return false;
    }

    // The client ports the server has stopped reading, from its log.
    QSet<quint16> pausedPeers()
    {
        server.waitForReadyRead(10);
        output += server.readAll();
        static const QRegularExpression paused(QStringLiteral("event=connection\\.paused peer=127\\.0\\.0\\.1:(\\d+)"));
        QSet<quint16> ports;
        for (auto match = paused.globalMatch(QString::fromUtf8(output)); match.hasNext();)
            ports.insert(static_cast<quint16>(match.next().captured(1).toUInt()));
        return ports;
    }

    testsupport::TestDatabase database;
    QTemporaryDir home;
    const quint16 port = freePort();
    QProcess server;
    QByteArray output;
};

TEST_F(BackPressureTest, TwoHundredClientsThatNeverReadKeepTheServerUnderItsBoundWhileAnotherIsAnswered)
{
    ASSERT_TRUE(ready()) << output.toStdString();
    const QByteArray echo = requestLine(1, "EchoString", QJsonArray{QString(kAnswerText, u'x')}) + '\n';
    // Every client has its session (and its database connection) before
    // the measure starts.
    std::vector<std::unique_ptr<SilentClient>> clients;
    for (int i = 0; i < kClients; ++i) {
        clients.push_back(std::make_unique<SilentClient>(port));
        ASSERT_TRUE(clients.back()->isConnected());
        ASSERT_TRUE(clients.back()->ask(requestLine(1, "EchoString", QJsonArray{"ready"}) + '\n'));
    }
    const qint64 pid = server.processId();
    const qint64 before = memoryOf(pid, "VmRSS");
    // Per connection: its read buffer (a line), the unsent answers beyond
    // which it is not read, and the answer in hand, twice while it is copied.
    const qint64 answer = echo.size();
    const qint64 bound = before + kClients * (kMaxLine + 2 + host::kMaxUnsentBytes + 2 * answer);

    const auto deadline = std::chrono::steady_clock::now() + kPatience;
    qint64 most = before;
    while (pausedPeers().size() < kClients && std::chrono::steady_clock::now() < deadline) {
        for (const auto& client : clients)
            client->sendWhatIsTaken(echo);
        most = std::max(most, memoryOf(pid, "VmRSS"));
        if (kMemoryIsTheServers) {
            ASSERT_LE(most, bound) << "grew by " << (most - before) / 1024 << " KiB";
        }
    }
    ASSERT_EQ(pausedPeers().size(), kClients) << "not every client's reading stopped in time";

    reliability::LineClient other(port);
    const QJsonObject answered = other.ask(requestLine(2, "EchoString", QJsonArray{"still served"}));
    EXPECT_EQ(answered["result"].toString(), "still served") << QJsonDocument(answered).toJson().toStdString();
    const qint64 peak = memoryOf(pid, "VmHWM");
    if (kMemoryIsTheServers) {
        EXPECT_LE(peak, bound) << "peak " << peak / 1024 << " KiB, bound " << bound / 1024 << " KiB";
    }
    RecordProperty("grown_kib", static_cast<int>((peak - before) / 1024));
    RecordProperty("bound_kib", static_cast<int>((bound - before) / 1024));
}

}  // namespace
