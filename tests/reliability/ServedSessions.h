#pragma once
// The server's TCP container serving service sessions on loopback, on a
// thread of its own, and a blocking line client: a test's clients may then
// wait for their answers on any thread, the main one included.

#include "KelvoServerContainerUnit.h"
#include "ServiceContext.h"

#include <QJsonObject>
#include <QTcpSocket>
#include <QThread>

#include <future>

namespace reliability {

// A connection's session is a service::RpcSession on `context`, as in
// kelvo-server.
host::ServerClass rpcSessions(const service::ServiceContext& context);

class ServedSessions {
public:
    explicit ServedSessions(const service::ServiceContext& context, qsizetype maxLineBytes = 1 << 20);
    ~ServedSessions();
    ServedSessions(const ServedSessions&) = delete;
    ServedSessions& operator=(const ServedSessions&) = delete;

    quint16 port() const { return port_; }

private:
    // Listens, serves until told to quit, then stops the container, all on
    // the thread: the container and its listener belong to it.
    class ServerThread : public QThread {
    public:
        ServerThread(host::ServerClass serverClass, host::ListenOptions options);
        std::future<quint16> port() { return port_.get_future(); }

    protected:
        void run() override;

    private:
        const host::ServerClass serverClass_;
        const host::ListenOptions options_;
        std::promise<quint16> port_;
    };

    ServerThread thread_;
    quint16 port_ = 0;
};

// One client connection on loopback, used by one thread.
class LineClient {
public:
    explicit LineClient(quint16 port);

    bool isConnected() const { return socket_.state() == QAbstractSocket::ConnectedState; }
    void send(const QByteArray& line);
    // The next answer line without its newline; a null array when none
    // comes in time or the connection closes first.
    QByteArray nextLine(int timeoutMs = 30000);
    // One request line and its answer as an object (empty when none came).
    QJsonObject ask(const QByteArray& line);
    // Whether the server closes the connection within the time.
    bool closedByServer(int timeoutMs = 10000);
    // Drops the connection at once, as a handheld that loses its network.
    void abort() { socket_.abort(); }

private:
    QTcpSocket socket_;
};

}  // namespace reliability
