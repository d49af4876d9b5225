#include "KelvoServerContainerUnit.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>

#include <stdexcept>

#ifdef Q_OS_WIN
#include <winsock2.h>
#else
#include <unistd.h>
#endif

namespace host {
namespace {

// Answers waiting for a client that does not read them: beyond this its
// further requests wait as well.
constexpr qint64 kMaxUnsentBytes = 16 << 20;
// How long a refused client may still send before its connection closes.
constexpr int kLingerMs = 500;
// How long the answers already written may take to leave when a connection
// is closed by the server.
constexpr int kFlushMs = 2000;

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

}  // namespace

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
    ClientThread(qintptr socketDescriptor, ServerClass serverClass, qsizetype maxLineBytes, QObject* parent)
        : QThread(parent),
          socketDescriptor_(socketDescriptor),
          serverClass_(std::move(serverClass)),
          maxLineBytes_(maxLineBytes)
    {
    }

protected:
    void run() override
    {
        QTcpSocket socket;
        if (!socket.setSocketDescriptor(socketDescriptor_)) {
            closeDescriptor(socketDescriptor_);
            return;
        }
        // Room for one line and its "\r\n": a full buffer without a newline
        // holds a line over the limit. The socket reads no more until the
        // buffer is drained, so a client cannot pile up input.
        socket.setReadBufferSize(maxLineBytes_ + 2);
        const auto serveSocket = [this, &socket] { serve(socket); };
        connect(&socket, &QIODevice::readyRead, &socket, serveSocket);
        connect(&socket, &QIODevice::bytesWritten, &socket, serveSocket);
        connect(&socket, &QAbstractSocket::disconnected, &socket, [this] { quit(); });
        exec();
        session_ = {};
        closeConnection(socket);
    }

private:
    void serve(QTcpSocket& socket)
    {
        while (!refused_ && !isInterruptionRequested() && socket.state() == QAbstractSocket::ConnectedState) {
            // A client that does not read its answers is not read from either.
            if (socket.bytesToWrite() > kMaxUnsentBytes)
                return;
            if (!socket.canReadLine()) {
                if (socket.bytesAvailable() > maxLineBytes_ + 1)
                    refuseLine(socket);
                return;
            }
            QByteArray line = socket.readLine();
            line.chop(1);
            if (line.endsWith('\r'))
                line.chop(1);
            if (line.size() > maxLineBytes_) {
                refuseLine(socket);
                return;
            }
            if (line.trimmed().isEmpty())
                continue;
            if (!session_)
                session_ = serverClass_.newSession();
            // A notification is answered with nothing at all.
            if (const QByteArray answer = session_(line); !answer.isEmpty())
                socket.write(answer + '\n');
        }
    }

    void refuseLine(QTcpSocket& socket)
    {
        refused_ = true;
        refuseAndClose(socket, serverClass_.refusal(
                                   QStringLiteral("Request line longer than %1 bytes").arg(maxLineBytes_)));
    }

    const qintptr socketDescriptor_;
    const ServerClass serverClass_;
    const qsizetype maxLineBytes_;
    LineHandler session_;
    bool refused_ = false;
};

TServerContainer1::TServerContainer1(ServerClass serverClass, const ListenOptions& options, QObject* parent)
    : QObject(parent), serverClass_(std::move(serverClass)), options_(options), listener_(std::make_unique<Listener>(*this))
{
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
    if (clients_.size() >= options_.maxClients) {
        refuse(socketDescriptor, QStringLiteral("Too many connections (limit %1)").arg(options_.maxClients));
        return;
    }
    auto* client = new ClientThread(socketDescriptor, serverClass_, options_.maxLineBytes, this);
    // Queued to this thread; a client deleted by stop() takes its call along.
    connect(client, &QThread::finished, client, [this, client] { forget(client); });
    clients_.append(client);
    client->start();
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
    refuseAndClose(*socket, serverClass_.refusal(message));
}

void TServerContainer1::forget(ClientThread* client)
{
    clients_.removeOne(client);
    client->wait();
    client->deleteLater();
}

}  // namespace host
