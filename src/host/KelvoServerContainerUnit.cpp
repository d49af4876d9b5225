#include "KelvoServerContainerUnit.h"

#include "Log.h"

#include <QMutex>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <stdexcept>

#ifdef Q_OS_WIN
#include <winsock2.h>
#else
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace host {
namespace {

// How long a refused client may still send before its connection closes.
constexpr int kLingerMs = 500;
// How long the answers already written may take to leave when a connection
// is closed by the server.
constexpr int kFlushMs = 2000;
// Qt's own length of the queue of connections not yet accepted.
constexpr int kDefaultListenBacklog = 50;

// Sends the refusal and closes a moment later, discarding what the client
// still sends: closing with unread input resets the connection, which could
// lose the refusal on its way.
void refuseAndClose(QTcpSocket& socket, const QByteArray& refusal)
{
    QObject::connect(&socket, &QIODevice::readyRead, &socket, [&socket] { socket.readAll(); });
    socket.write(refusal + '\n');
    QTimer::singleShot(kLingerMs, &socket, [&socket] { socket.disconnectFromHost(); });
}

// A descriptor the socket refused to take is still open.
void closeDescriptor(qintptr socketDescriptor)
{
#ifdef Q_OS_WIN
    ::closesocket(static_cast<SOCKET>(socketDescriptor));
#else
    ::close(static_cast<int>(socketDescriptor));
#endif
}

void closeConnection(QTcpSocket& socket)
{
    socket.disconnectFromHost();
    if (socket.state() != QAbstractSocket::UnconnectedState)
        socket.waitForDisconnected(kFlushMs);
}

// Probes after `idle` of silence; a peer that answers none of the probes, or
// leaves answers unacknowledged as long, is gone and the socket fails.
void enableKeepAlive(QTcpSocket& socket, std::chrono::seconds idle)
{
    if (idle.count() <= 0)
        return;
    socket.setSocketOption(QAbstractSocket::KeepAliveOption, 1);
#ifdef Q_OS_LINUX
    const int descriptor = static_cast<int>(socket.socketDescriptor());
    const int idleSeconds = static_cast<int>(idle.count());
    const int interval = static_cast<int>(kKeepAliveInterval.count());
    const int probes = kKeepAliveProbes;
    const unsigned int userTimeoutMs = static_cast<unsigned int>((idleSeconds + interval * probes) * 1000);
    ::setsockopt(descriptor, IPPROTO_TCP, TCP_KEEPIDLE, &idleSeconds, sizeof idleSeconds);
    ::setsockopt(descriptor, IPPROTO_TCP, TCP_KEEPINTVL, &interval, sizeof interval);
    ::setsockopt(descriptor, IPPROTO_TCP, TCP_KEEPCNT, &probes, sizeof probes);
    ::setsockopt(descriptor, IPPROTO_TCP, TCP_USER_TIMEOUT, &userTimeoutMs, sizeof userTimeoutMs);
#endif
}

qint64 steadyMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace

QString peerText(const QHostAddress& address, quint16 port)
{
    bool isIpv4 = false;
    const quint32 ipv4 = address.toIPv4Address(&isIpv4);
    if (isIpv4)
        return QStringLiteral("%1:%2").arg(QHostAddress(ipv4).toString()).arg(port);
    return QStringLiteral("[%1]:%2").arg(address.toString()).arg(port);
}

class TServerContainer1::Listener : public QTcpServer {
public:
    explicit Listener(TServerContainer1& container) : container_(container) {}

protected:
    void incomingConnection(qintptr socketDescriptor) override { container_.accept(socketDescriptor); }

private:
    TServerContainer1& container_;
};

// One client connection: its socket, its session and its event loop, all on
// this thread.
class TServerContainer1::ClientThread : public QThread {
public:
    ClientThread(qintptr socketDescriptor, ServerClass serverClass, const ListenOptions& options, QObject* parent)
        : QThread(parent), socketDescriptor_(socketDescriptor), serverClass_(std::move(serverClass)), options_(options)
    {
    }

    // QThread::wait(), before every deletion, orders the writes of run()
    // before this; the flag shows that order to ThreadSanitizer too, which
    // cannot see inside Qt.
    ~ClientThread() override { (void)ran_.load(std::memory_order_acquire); }

    // No request is being served.
    bool isIdle() const { return !busy_; }
    // Since the last answer, or since the connection came.
    qint64 idleSinceMs() const { return idleSinceMs_; }
    bool isEvicted() const { return evicted_; }

    // From any thread; no peer while the connection is being set up.
    ConnectionInfo info() const
    {
        const QMutexLocker locker(&infoMutex_);
        return info_;
    }

    // From the container's thread: closes the connection to make room.
    void evict()
    {
        evicted_ = true;
        requestInterruption();
        quit();
    }

protected:
    void run() override
    {
        serveConnection();
        ran_.store(true, std::memory_order_release);
    }

private:
    void serveConnection()
    {
        QTcpSocket socket;
        if (!socket.setSocketDescriptor(socketDescriptor_)) {
            closeDescriptor(socketDescriptor_);
            return;
        }
        peer_ = peerText(socket.peerAddress(), socket.peerPort());
        {
            const QMutexLocker locker(&infoMutex_);
            info_.peer = peer_;
        }
        enableKeepAlive(socket, options_.keepAliveIdle);
        // Room for one line and its "\r\n": a full buffer without a newline
        // holds a line over the limit. The socket reads no more until the
        // buffer is drained, so a client cannot pile up input.
        socket.setReadBufferSize(options_.maxLineBytes + 2);
        QTimer lineTimer;
        lineTimer.setSingleShot(true);
        lineTimer.setInterval(options_.lineTimeout);
        lineTimer_ = &lineTimer;
        connect(&lineTimer, &QTimer::timeout, &socket, [this, &socket] {
            refuse(socket, "line not finished",
                   QStringLiteral("Request line not finished within %1 s").arg(options_.lineTimeout.count() / 1000.0));
        });
        const auto serveSocket = [this, &socket] { serve(socket); };
        connect(&socket, &QIODevice::readyRead, &socket, serveSocket);
        connect(&socket, &QIODevice::bytesWritten, &socket, serveSocket);
        connect(&socket, &QAbstractSocket::disconnected, &socket, [this] { quit(); });
        connect(&socket, &QAbstractSocket::errorOccurred, &socket, [this, &socket](QAbstractSocket::SocketError error) {
            if (error != QAbstractSocket::RemoteHostClosedError && closeReason_.isEmpty())
                closeReason_ = socket.errorString();
        });
        logging::info("connection.opened", {{"peer", peer_}});
        exec();
        session_ = {};
        closeConnection(socket);
        logging::info("connection.closed", {{"peer", peer_}, {"reason", closeReason()}, {"requests", requests_}});
    }

    void serve(QTcpSocket& socket)
    {
        while (!closing_ && !isInterruptionRequested() && socket.state() == QAbstractSocket::ConnectedState) {
            // A client that does not read its answers is not read from either.
            if (socket.bytesToWrite() > kMaxUnsentBytes) {
                pause(socket);
                return;
            }
            paused_ = false;
            if (!socket.canReadLine()) {
                if (socket.bytesAvailable() > options_.maxLineBytes + 1)
                    refuseLongLine(socket);
                else
                    awaitRestOfLine(socket);
                return;
            }
            lineTimer_->stop();
            QByteArray line = socket.readLine();
            line.chop(1);
            if (line.endsWith('\r'))
                line.chop(1);
            if (line.size() > options_.maxLineBytes) {
                refuseLongLine(socket);
                return;
            }
            if (line.trimmed().isEmpty())
                continue;
            // A notification is answered with nothing at all.
            if (const QByteArray answer = handle(line); !answer.isEmpty()) {
                socket.write(answer);
                socket.write("\n", 1);
            }
        }
    }

    QByteArray handle(const QByteArray& line)
    {
        busy_ = true;
        if (!session_)
            session_ = serverClass_.newSession(peer_);
        QByteArray answer = session_(line);
        ++requests_;
        {
            const QMutexLocker locker(&infoMutex_);
            info_.requests = requests_;
            // In UTC: the local time would read the time zone again for
            // every request.
            info_.lastRequest = QDateTime::currentDateTimeUtc();
        }
        idleSinceMs_ = steadyMs();
        busy_ = false;
        return answer;
    }

    // The begun line has a time limit from its first byte on.
    void awaitRestOfLine(const QTcpSocket& socket)
    {
        if (socket.bytesAvailable() == 0)
            lineTimer_->stop();
        else if (!lineTimer_->isActive())
            lineTimer_->start();
    }

    void pause(const QTcpSocket& socket)
    {
        lineTimer_->stop();
        if (!paused_)
            logging::debug("connection.paused", {{"peer", peer_}, {"unsent", socket.bytesToWrite()}});
        paused_ = true;
    }

    void refuseLongLine(QTcpSocket& socket)
    {
        refuse(socket, "line too long", QStringLiteral("Request line longer than %1 bytes").arg(options_.maxLineBytes));
    }

    void refuse(QTcpSocket& socket, const char* reason, const QString& message)
    {
        closing_ = true;
        lineTimer_->stop();
        closeReason_ = QLatin1String(reason);
        logging::warning("request.refused", {{"peer", peer_}, {"reason", reason}});
        refuseAndClose(socket, serverClass_.refusal(message));
    }

    QString closeReason() const
    {
        if (!closeReason_.isEmpty())
            return closeReason_;
        if (evicted_)
            return QStringLiteral("made room for a new connection");
        if (isInterruptionRequested())
            return QStringLiteral("server stopping");
        return QStringLiteral("closed by the client");
    }

    const qintptr socketDescriptor_;
    const ServerClass serverClass_;
    const ListenOptions options_;
    QString peer_;
    LineHandler session_;
    QTimer* lineTimer_ = nullptr;
    bool closing_ = false;
    bool paused_ = false;
    qint64 requests_ = 0;
    QString closeReason_;
    std::atomic<bool> busy_ = false;
    std::atomic<bool> evicted_ = false;
    std::atomic<qint64> idleSinceMs_ = steadyMs();
    mutable QMutex infoMutex_;
    ConnectionInfo info_{{}, QDateTime::currentDateTimeUtc(), 0, {}};
    std::atomic<bool> ran_ = false;
};

TServerContainer1::TServerContainer1(ServerClass serverClass, const ListenOptions& options, QObject* parent)
    : QObject(parent), serverClass_(std::move(serverClass)), options_(options), listener_(std::make_unique<Listener>(*this))
{
    // A crowd of handhelds reconnecting at once (after a restart of the
    // server or of the wireless network) waits in the queue of connections
    // not yet accepted; Qt's 50 would drop the rest, whose systems try again
    // only a second later.
    listener_->setListenBacklogSize(std::max(kDefaultListenBacklog, options_.maxClients));
    if (!listener_->listen(options_.address, options_.port)) {
        throw std::runtime_error(QStringLiteral("Cannot listen on %1 port %2: %3")
                                     .arg(options_.address.toString())
                                     .arg(options_.port)
                                     .arg(listener_->errorString())
                                     .toStdString());
    }
}

TServerContainer1::~TServerContainer1()
{
    stop();
}

quint16 TServerContainer1::port() const
{
    return listener_->serverPort();
}

int TServerContainer1::clientCount() const
{
    return static_cast<int>(
        std::count_if(clients_.begin(), clients_.end(), [](const ClientThread* client) { return !client->isEvicted(); }));
}

QList<ConnectionInfo> TServerContainer1::connections() const
{
    QList<ConnectionInfo> connections;
    for (const ClientThread* client : clients_) {
        if (ConnectionInfo info = client->info(); !client->isEvicted() && !info.peer.isEmpty())
            connections.append(std::move(info));
    }
    return connections;
}

void TServerContainer1::stop()
{
    listener_->close();
    for (ClientThread* client : std::as_const(clients_)) {
        client->requestInterruption();
        client->quit();
    }
    for (ClientThread* client : std::as_const(clients_))
        client->wait();
    qDeleteAll(clients_);
    clients_.clear();
}

void TServerContainer1::accept(qintptr socketDescriptor)
{
    if (clientCount() >= options_.maxClients && !makeRoom()) {
        refuse(socketDescriptor, QStringLiteral("Too many connections (limit %1)").arg(options_.maxClients));
        return;
    }
    auto* client = new ClientThread(socketDescriptor, serverClass_, options_, this);
    // Queued to this thread; a client deleted by stop() takes its call along.
    connect(client, &QThread::finished, client, [this, client] { forget(client); });
    clients_.append(client);
    client->start();
}

bool TServerContainer1::makeRoom()
{
    ClientThread* longestIdle = nullptr;
    for (ClientThread* client : std::as_const(clients_)) {
        if (!client->isEvicted() && client->isIdle()
            && (!longestIdle || client->idleSinceMs() < longestIdle->idleSinceMs()))
            longestIdle = client;
    }
    if (!longestIdle)
        return false;
    longestIdle->evict();
    return true;
}

void TServerContainer1::refuse(qintptr socketDescriptor, const QString& message)
{
    auto* socket = new QTcpSocket(this);
    connect(socket, &QAbstractSocket::disconnected, socket, &QObject::deleteLater);
    if (!socket->setSocketDescriptor(socketDescriptor)) {
        closeDescriptor(socketDescriptor);
        socket->deleteLater();
        return;
    }
    logging::warning("connection.refused", {{"peer", peerText(socket->peerAddress(), socket->peerPort())},
                                            {"reason", "client limit"},
                                            {"limit", options_.maxClients}});
    refuseAndClose(*socket, serverClass_.refusal(message));
}

void TServerContainer1::forget(ClientThread* client)
{
    clients_.removeOne(client);
    client->wait();
    client->deleteLater();
}

}  // namespace host
