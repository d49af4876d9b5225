#include "KelvoServerContainerUnit.h"
#include "StoreFixture.h"

#include <QProcess>
#include <QTcpSocket>
#include <QTest>

#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <linux/sockios.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <optional>
#include <thread>

namespace hosttest {
using testsupport::CaseName;
using testsupport::StoreTest;
namespace {

using host::TServerContainer1;

// Long enough for a stop that did not wait for the request to be seen
// returning before it.
constexpr auto kSlowRequest = std::chrono::milliseconds(400);

// Held requests wait for the test at most this long.
constexpr auto kHoldDeadline = std::chrono::seconds(30);

struct SessionLog {
    std::atomic<int> created = 0;
    std::atomic<int> destroyed = 0;
    std::atomic<int> destroyedOnAnotherThread = 0;
    std::atomic<int> started = 0;
    std::atomic<int> handled = 0;
    std::mutex mutex;
    QStringList peers;  // of the sessions made, in order

    // Lets the held requests go on.
    void release()
    {
        const std::lock_guard lock(holdMutex);
        released = true;
        releasedChanged.notify_all();
    }
    void waitForRelease()
    {
        std::unique_lock lock(holdMutex);
        releasedChanged.wait_for(lock, kHoldDeadline, [this] { return released; });
    }

private:
    std::mutex holdMutex;
    std::condition_variable releasedChanged;
    bool released = false;
};

// Answers "echo " + the line; "sleep" takes a while first, "hold" waits
// until the test releases it.
class FakeSession {
public:
    explicit FakeSession(SessionLog& log) : log_(log) { ++log_.created; }
    ~FakeSession()
    {
        if (std::this_thread::get_id() != thread_)
            ++log_.destroyedOnAnotherThread;
        ++log_.destroyed;
    }
    FakeSession(const FakeSession&) = delete;
    FakeSession& operator=(const FakeSession&) = delete;

    QByteArray handle(const QByteArray& line)
    {
        ++log_.started;
        if (line == "sleep")
            std::this_thread::sleep_for(kSlowRequest);
        if (line == "hold")
            log_.waitForRelease();
        ++log_.handled;
        return "echo " + line;
    }

private:
    SessionLog& log_;
    const std::thread::id thread_ = std::this_thread::get_id();
};

host::ServerClass fakeServerClass(SessionLog& log)
{
    return {
        [&log](const QString& peer) {
            {
                const std::lock_guard lock(log.mutex);
                log.peers << peer;
            }
            auto session = std::make_shared<FakeSession>(log);
            return host::LineHandler([session](const QByteArray& line) { return session->handle(line); });
        },
        [](const QString& message) { return ("refused: " + message).toUtf8(); },
    };
}

// The container's end of `client`'s connection: the container runs in this
// process, so it is one of this process's sockets. -1 when there is none.
int serverEndOf(const QTcpSocket& client)
{
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        const int fd = std::stoi(entry.path().filename().string());
        sockaddr_in local{};
        sockaddr_in peer{};
        socklen_t localSize = sizeof local;
        socklen_t peerSize = sizeof peer;
        if (getsockname(fd, reinterpret_cast<sockaddr*>(&local), &localSize) == 0
            && getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &peerSize) == 0 && local.sin_family == AF_INET
            && ntohs(local.sin_port) == client.peerPort() && ntohs(peer.sin_port) == client.localPort())
            return fd;
    }
    return -1;
}

// Whether the container has taken everything `client` sent off its socket:
// the container's end acknowledged all of it and holds none unread.
bool containerReadAllOf(const QTcpSocket& client)
{
    int unacknowledged = -1;
    int unread = -1;
    const int server = serverEndOf(client);
    return ioctl(static_cast<int>(client.socketDescriptor()), SIOCOUTQ, &unacknowledged) == 0 && unacknowledged == 0
           && server >= 0 && ioctl(server, SIOCINQ, &unread) == 0 && unread == 0;
}

class ContainerTest : public ::testing::Test {
protected:
    void startServer(int maxClients = 200, qsizetype maxLineBytes = 1 << 20)
    {
        startServer(host::ListenOptions{QHostAddress::LocalHost, 0, maxClients, maxLineBytes});
    }

    void startServer(const host::ListenOptions& options)
    {
        container = std::make_unique<TServerContainer1>(fakeServerClass(log), options);
    }

    std::unique_ptr<QTcpSocket> connectClient()
    {
        auto socket = std::make_unique<QTcpSocket>();
        socket->connectToHost(QHostAddress::LocalHost, container->port());
        EXPECT_TRUE(QTest::qWaitFor([&] { return socket->state() == QAbstractSocket::ConnectedState; }, kPatienceMs));
        return socket;
    }

    // The next answer line without its newline; nothing when none comes.
    static std::optional<QByteArray> readLine(QTcpSocket& socket)
    {
        if (!QTest::qWaitFor([&] { return socket.canReadLine(); }, kPatienceMs))
            return std::nullopt;
        return socket.readLine().chopped(1);
    }

    static std::optional<QByteArray> ask(QTcpSocket& socket, const QByteArray& line)
    {
        socket.write(line + '\n');
        return readLine(socket);
    }

    static bool closedByServer(QTcpSocket& socket)
    {
        return QTest::qWaitFor([&] { return socket.state() == QAbstractSocket::UnconnectedState; }, kPatienceMs);
    }

    static bool waitFor(const std::function<bool()>& condition) { return QTest::qWaitFor(condition, kPatienceMs); }

    static constexpr int kPatienceMs = 30000;

    SessionLog log;
    std::unique_ptr<TServerContainer1> container;
};

TEST_F(ContainerTest, RequestsInOnePacketAreAnsweredInOrderByTheConnectionsOneSession)
{
    startServer();
    auto client = connectClient();
    client->write("first\nsecond\nthird\n");
    EXPECT_EQ(readLine(*client), "echo first");
    EXPECT_EQ(readLine(*client), "echo second");
    EXPECT_EQ(readLine(*client), "echo third");
    EXPECT_EQ(log.created, 1);
}

// Each piece is read by the container before the next is sent; an answer
// to a piece would come before the answer to the whole line.
TEST_F(ContainerTest, RequestSplitOverPacketsIsAnsweredOnceComplete)
{
    startServer();
    auto client = connectClient();
    for (const char* piece : {"hel", "lo\r"}) {
        client->write(piece);
        ASSERT_TRUE(client->waitForBytesWritten(1000));
        ASSERT_TRUE(waitFor([&] { return containerReadAllOf(*client); })) << piece;
    }
    client->write("\n");
    EXPECT_EQ(readLine(*client), "echo hello");
    EXPECT_EQ(log.started, 1);
}

TEST_F(ContainerTest, EmptyLinesAreSkipped)
{
    startServer();
    auto client = connectClient();
    client->write("\n\r\n  \t\nx\n\ny\n");
    EXPECT_EQ(readLine(*client), "echo x");
    EXPECT_EQ(readLine(*client), "echo y");
    // Answers come in order: nothing else was answered before the next one.
    EXPECT_EQ(ask(*client, "z"), "echo z");
    EXPECT_EQ(client->bytesAvailable(), 0);
    EXPECT_EQ(log.handled, 3);
}

TEST_F(ContainerTest, SessionIsMadeAtTheFirstRequestAndEachConnectionHasItsOwn)
{
    startServer();
    auto first = connectClient();
    auto second = connectClient();
    ASSERT_TRUE(waitFor([&] { return container->clientCount() == 2; }));
    EXPECT_EQ(log.created, 0);
    EXPECT_EQ(ask(*first, "a"), "echo a");
    EXPECT_EQ(ask(*second, "b"), "echo b");
    EXPECT_EQ(ask(*first, "c"), "echo c");
    EXPECT_EQ(log.created, 2);

    first->disconnectFromHost();
    ASSERT_TRUE(waitFor([&] { return log.destroyed == 1; }));
    EXPECT_EQ(log.destroyedOnAnotherThread, 0);
    EXPECT_TRUE(waitFor([&] { return container->clientCount() == 1; }));
}

// What the operator sees of the handhelds: each connection with its peer,
// since when it is there, its requests and the time of the last one.
TEST_F(ContainerTest, ConnectionsShowTheirPeerSinceAndRequests)
{
    startServer();
    const QDateTime before = QDateTime::currentDateTime().addMSecs(-1);
    auto asking = connectClient();
    auto silent = connectClient();
    ASSERT_TRUE(waitFor([&] { return container->connections().size() == 2; }));
    EXPECT_EQ(ask(*asking, "a"), "echo a");
    EXPECT_EQ(ask(*asking, "b"), "echo b");

    const auto infoOf = [&](const QTcpSocket& client) {
        const QString peer = QStringLiteral("127.0.0.1:%1").arg(client.localPort());
        for (const host::ConnectionInfo& info : container->connections()) {
            if (info.peer == peer)
                return std::optional(info);
        }
        return std::optional<host::ConnectionInfo>();
    };
    const std::optional<host::ConnectionInfo> asked = infoOf(*asking);
    const std::optional<host::ConnectionInfo> quiet = infoOf(*silent);
    ASSERT_TRUE(asked && quiet);
    EXPECT_EQ(asked->requests, 2);
    EXPECT_GE(asked->since, before);
    EXPECT_GE(asked->lastRequest, asked->since);
    EXPECT_EQ(quiet->requests, 0);
    EXPECT_FALSE(quiet->lastRequest.isValid());

    silent->disconnectFromHost();
    EXPECT_TRUE(waitFor([&] { return container->connections().size() == 1; }));
}

struct LongLineCase {
    const char* name;
    qsizetype maxLineBytes;
    QByteArray sent;
    std::vector<QByteArray> answers;
    bool closed;
};

const QByteArray kSixteen(16, 'x');
const QByteArray kSeventeen(17, 'x');
const qsizetype kMiB = 1 << 20;

const LongLineCase kLongLineCases[] = {
    {"AtTheLimit", 16, kSixteen + "\r\n", {"echo " + kSixteen}, false},
    {"OverTheLimitAfterAnAnsweredLine", 16, "short\n" + kSeventeen + "\nnever\n",
     {"echo short", "refused: Request line longer than 16 bytes"}, true},
    {"OverTheLimitWithoutNewline", 16, QByteArray(40, 'y'), {"refused: Request line longer than 16 bytes"}, true},
    {"OverTheDefaultMebibyte", kMiB, QByteArray(kMiB + 1, 'z') + "\n",
     {"refused: Request line longer than 1048576 bytes"}, true},
};

class LongLineTest : public ContainerTest, public ::testing::WithParamInterface<LongLineCase> {};

TEST_P(LongLineTest, LineOverTheLimitIsRefusedAndClosesTheConnection)
{
    const LongLineCase& c = GetParam();
    startServer(200, c.maxLineBytes);
    auto client = connectClient();
    client->write(c.sent);
    for (const QByteArray& answer : c.answers)
        EXPECT_EQ(readLine(*client), answer);
    if (c.closed) {
        EXPECT_TRUE(closedByServer(*client));
        EXPECT_EQ(client->readAll(), QByteArray());
    } else {
        EXPECT_EQ(ask(*client, "after"), "echo after");
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, LongLineTest, ::testing::ValuesIn(kLongLineCases),
                         CaseName());

TEST_F(ContainerTest, AtTheLimitTheConnectionIdleTheLongestMakesRoom)
{
    startServer(2);
    auto first = connectClient();
    auto second = connectClient();
    EXPECT_EQ(ask(*first, "a"), "echo a");
    EXPECT_EQ(ask(*second, "b"), "echo b");

    // It asks at once, as clients do.
    auto third = connectClient();
    third->write("c\n");
    EXPECT_EQ(readLine(*third), "echo c");
    EXPECT_TRUE(closedByServer(*first));
    EXPECT_EQ(ask(*second, "d"), "echo d");
    EXPECT_EQ(container->clientCount(), 2);
    EXPECT_TRUE(waitFor([&] { return log.destroyed == 1; }));
}

TEST_F(ContainerTest, AtTheLimitWithEveryConnectionBusyANewcomerGetsOneErrorLineAndIsClosed)
{
    startServer(2);
    auto first = connectClient();
    auto second = connectClient();
    first->write("sleep\n");
    second->write("sleep\n");
    ASSERT_TRUE(waitFor([&] { return log.started == 2; }));

    auto third = connectClient();
    third->write("c\n");
    EXPECT_EQ(readLine(*third), "refused: Too many connections (limit 2)");
    EXPECT_TRUE(closedByServer(*third));
    EXPECT_EQ(readLine(*first), "echo sleep");
    EXPECT_EQ(readLine(*second), "echo sleep");
    EXPECT_EQ(log.handled, 2);

    first->disconnectFromHost();
    ASSERT_TRUE(waitFor([&] { return container->clientCount() == 1; }));
    auto fourth = connectClient();
    EXPECT_EQ(ask(*fourth, "d"), "echo d");
}

// Handhelds that left without closing, and clients that stopped in the
// middle of a line, hold every slot; a newcomer is served all the same.
TEST_F(ContainerTest, ANewcomerIsServedWhile200StaleOrHalfLineConnectionsAreHeld)
{
    // The half lines are not closed for their time while the test runs.
    host::ListenOptions options{QHostAddress::LocalHost, 0};
    options.lineTimeout = std::chrono::minutes(10);
    startServer(options);
    std::vector<std::unique_ptr<QTcpSocket>> held;
    for (int i = 0; i < 200; ++i) {
        held.push_back(connectClient());
        if (i % 2 == 1)
            held.back()->write(R"({"jsonrpc": "2.0", "id": 1, "meth)");
    }
    ASSERT_TRUE(waitFor([&] { return container->clientCount() == 200; }));

    auto newcomer = connectClient();
    EXPECT_EQ(ask(*newcomer, "hello"), "echo hello");
    // The one that came first made room; the others stay.
    EXPECT_TRUE(closedByServer(*held.front()));
    EXPECT_EQ(container->clientCount(), 200);
    EXPECT_EQ(std::count_if(held.begin(), held.end(),
                            [](const auto& socket) { return socket->state() == QAbstractSocket::ConnectedState; }),
              199);
}

struct UnfinishedLineCase {
    const char* name;
    bool trickles;  // keeps sending bytes of the line, never its end
};

const UnfinishedLineCase kUnfinishedLineCases[] = {{"SilentAfterItsStart", false}, {"Trickling", true}};

class UnfinishedLineTest : public ContainerTest, public ::testing::WithParamInterface<UnfinishedLineCase> {};

TEST_P(UnfinishedLineTest, ALineNotFinishedInTimeIsRefusedAndClosesTheConnection)
{
    host::ListenOptions options{QHostAddress::LocalHost, 0};
    options.lineTimeout = std::chrono::seconds(1);
    startServer(options);
    auto client = connectClient();
    EXPECT_EQ(ask(*client, "first"), "echo first");
    client->write("sec");
    QByteArray received;
    const bool closed = QTest::qWaitFor(
        [&] {
            received += client->readAll();
            if (GetParam().trickles && client->state() == QAbstractSocket::ConnectedState)
                client->write("o");
            return client->state() == QAbstractSocket::UnconnectedState;
        },
        kPatienceMs);
    received += client->readAll();
    EXPECT_TRUE(closed);
    EXPECT_EQ(received, "refused: Request line not finished within 1 s\n");
    EXPECT_EQ(log.handled, 1);
}

INSTANTIATE_TEST_SUITE_P(Cases, UnfinishedLineTest, ::testing::ValuesIn(kUnfinishedLineCases), CaseName());

// What the system's socket table says of the server's side of the
// connections on `port`: the keepalive timer shows as "timer:(keepalive,...".
QString serverSockets(quint16 port)
{
    QProcess ss;
    ss.start(QStringLiteral("ss"), {QStringLiteral("-Htno"), QStringLiteral("state"), QStringLiteral("established"),
                                    QStringLiteral("( sport = :%1 )").arg(port)});
    if (!ss.waitForFinished(30000))
        return {};
    return QString::fromUtf8(ss.readAllStandardOutput());
}

struct KeepAliveCase {
    const char* name;
    std::chrono::seconds idle;
    bool probed;
};

const KeepAliveCase kKeepAliveCases[] = {
    {"AfterTheDefaultMinute", std::chrono::seconds(60), true},
    {"Off", std::chrono::seconds(0), false},
};

class KeepAliveTest : public ContainerTest, public ::testing::WithParamInterface<KeepAliveCase> {};

TEST_P(KeepAliveTest, ClientConnectionsAreProbedAfterTheirIdleTime)
{
    host::ListenOptions options{QHostAddress::LocalHost, 0};
    options.keepAliveIdle = GetParam().idle;
    startServer(options);
    auto client = connectClient();
    EXPECT_EQ(ask(*client, "a"), "echo a");
    const QString sockets = serverSockets(container->port());
    ASSERT_FALSE(sockets.isEmpty()) << "ss lists no connection on the port";
    EXPECT_EQ(sockets.contains(QStringLiteral("timer:(keepalive,")), GetParam().probed) << sockets.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Cases, KeepAliveTest, ::testing::ValuesIn(kKeepAliveCases), CaseName());

TEST_F(ContainerTest, EachSessionIsToldItsClientsAddress)
{
    startServer();
    auto client = connectClient();
    EXPECT_EQ(ask(*client, "a"), "echo a");
    const std::lock_guard lock(log.mutex);
    EXPECT_EQ(log.peers, QStringList{QStringLiteral("127.0.0.1:%1").arg(client->localPort())});
}

TEST_F(ContainerTest, ClientVanishingMidRequestDisturbsNothing)
{
    startServer();
    auto vanishing = connectClient();
    auto other = connectClient();
    vanishing->write("hold\n");
    ASSERT_TRUE(waitFor([&] { return log.started == 1; }));
    vanishing->abort();

    // Answered while the vanished client's request is still held.
    EXPECT_EQ(ask(*other, "meanwhile"), "echo meanwhile");
    EXPECT_EQ(log.handled, 1);
    log.release();
    // The request finishes, its answer goes nowhere, its session goes.
    EXPECT_TRUE(waitFor([&] { return log.handled == 2 && log.destroyed == 1; }));
    EXPECT_EQ(ask(*other, "after"), "echo after");
    auto next = connectClient();
    EXPECT_EQ(ask(*next, "new"), "echo new");
    EXPECT_EQ(log.destroyedOnAnotherThread, 0);
}

TEST_F(ContainerTest, StopClosesTheListenerThenTheClientsAfterTheirRequests)
{
    startServer();
    auto idle = connectClient();
    auto busy = connectClient();
    EXPECT_EQ(ask(*idle, "a"), "echo a");
    busy->write("sleep\n");
    ASSERT_TRUE(waitFor([&] { return log.started == 2; }));
    const quint16 port = container->port();

    container->stop();

    EXPECT_EQ(log.handled, 2);
    EXPECT_EQ(log.destroyed, 2);
    EXPECT_EQ(log.destroyedOnAnotherThread, 0);
    EXPECT_EQ(container->clientCount(), 0);
    EXPECT_TRUE(closedByServer(*idle));
    EXPECT_TRUE(closedByServer(*busy));

    QTcpSocket late;
    late.connectToHost(QHostAddress::LocalHost, port);
    EXPECT_FALSE(late.waitForConnected(1000));
}

TEST_F(ContainerTest, PortInUseFailsAtCreation)
{
    startServer();
    const host::ListenOptions samePort{QHostAddress::LocalHost, container->port()};
    EXPECT_THROW({ TServerContainer1 second(fakeServerClass(log), samePort); }, std::runtime_error);
}

}  // namespace
}  // namespace hosttest
