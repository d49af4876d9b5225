#pragma once
// TServerContainer1, the application-server container: a TCP listener that
// serves each client connection on a thread of its own. A connection speaks
// newline-delimited requests; each line is answered by the connection's
// session with one line, in order. The session is made at the connection's
// first request and lives until the connection closes.
//
// The container keeps its connections in order on a network where clients
// vanish: TCP keepalive notices a peer that is gone, a line once begun must
// end within a time limit, and at the client limit the connection idle the
// longest makes room for a newcomer. A client that does not read its answers
// is not read from either (back-pressure), so that each connection holds at
// most its read buffer (the longest line), kMaxUnsentBytes and the answer in
// hand.

#include <QByteArray>
#include <QDateTime>
#include <QHostAddress>
#include <QList>
#include <QObject>

#include <chrono>
#include <functional>
#include <memory>

namespace host {

// A connection's session: answers one request line (without its newline)
// with one response line (without newline). Must not throw.
using LineHandler = std::function<QByteArray(const QByteArray& line)>;

// What the container publishes on every connection.
struct ServerClass {
    // Makes the session of a connection, on that connection's thread, where
    // it is also destroyed; `peer` is the client's address and port.
    std::function<LineHandler(const QString& peer)> newSession;
    // The error response line (without newline) that refuses a line over the
    // limit, a line not finished in time or a connection over the limit.
    std::function<QByteArray(const QString& message)> refusal;
};

struct ListenOptions {
    QHostAddress address = QHostAddress::Any;
    quint16 port = 9999;  // 0: any free port (tests)
    int maxClients = 200;
    qsizetype maxLineBytes = 1 << 20;
    // A line once begun must end within this time, or the connection closes.
    std::chrono::milliseconds lineTimeout = std::chrono::seconds(30);
    // Silence after which the system probes a connection; a peer that answers
    // none of the probes (kKeepAliveProbes, every kKeepAliveInterval) is taken
    // as gone. Zero: no keepalive.
    std::chrono::seconds keepAliveIdle = std::chrono::seconds(60);
};

inline constexpr std::chrono::seconds kKeepAliveInterval{10};
inline constexpr int kKeepAliveProbes = 6;
// Unsent answers beyond which a connection is not read from.
inline constexpr qint64 kMaxUnsentBytes = 64 * 1024;

// A client connection as the operator sees it.
struct ConnectionInfo {
    QString peer;  // address:port, as the log shows it
    QDateTime since;
    qint64 requests = 0;
    QDateTime lastRequest;  // invalid before the first request
};

// The client's address as the log shows it: 10.0.0.7:40112, [fe80::1]:40112.
QString peerText(const QHostAddress& address, quint16 port);

class TServerContainer1 : public QObject {
    Q_OBJECT
public:
    // Listens at once. Throws std::runtime_error when it cannot, e.g. when
    // the port is in use.
    TServerContainer1(ServerClass serverClass, const ListenOptions& options, QObject* parent = nullptr);
    ~TServerContainer1() override;

    quint16 port() const;
    // Connections being served (not those refused, nor those closing to make
    // room).
    int clientCount() const;
    // The connections being served, oldest first; on the container's thread.
    QList<ConnectionInfo> connections() const;

    // Closes the listener, then every client connection, and waits for their
    // threads; a request being served finishes first and its answer is
    // dropped when the client has gone.
    void stop();

private:
    class Listener;
    class ClientThread;

    void accept(qintptr socketDescriptor);
    // Closes the connection idle the longest; false when every one is busy.
    bool makeRoom();
    void refuse(qintptr socketDescriptor, const QString& message);
    void forget(ClientThread* client);

    ServerClass serverClass_;
    ListenOptions options_;
    std::unique_ptr<Listener> listener_;
    QList<ClientThread*> clients_;  // children of the container
};

}  // namespace host
