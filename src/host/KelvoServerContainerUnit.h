#pragma once
// TServerContainer1, the application-server container: a TCP listener that
// serves each client connection on a thread of its own. A connection speaks
// newline-delimited requests; each line is answered by the connection's
// session with one line, in order. The session is made at the connection's
// first request and lives until the connection closes.

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QObject>

#include <functional>
#include <memory>

namespace host {

// A connection's session: answers one request line (without its newline)
// with one response line (without newline). Must not throw.
using LineHandler = std::function<QByteArray(const QByteArray& line)>;

// What the container publishes on every connection.
struct ServerClass {
    // Makes the session of a connection, on that connection's thread, where
    // it is also destroyed.
    std::function<LineHandler()> newSession;
    // The error response line (without newline) that refuses a line over the
    // limit or a connection over the limit.
    std::function<QByteArray(const QString& message)> refusal;
};

struct ListenOptions {
    QHostAddress address = QHostAddress::Any;
    quint16 port = 9999;  // 0: any free port (tests)
    int maxClients = 200;
    qsizetype maxLineBytes = 1 << 20;
};

class TServerContainer1 : public QObject {
    Q_OBJECT
public:
    // Listens at once. Throws std::runtime_error when it cannot, e.g. when
    // the port is in use.
    TServerContainer1(ServerClass serverClass, const ListenOptions& options, QObject* parent = nullptr);
    ~TServerContainer1() override;

    quint16 port() const;
    // Connections being served (not those refused).
    int clientCount() const { return static_cast<int>(clients_.size()); }

    // Closes the listener, then every client connection, and waits for their
    // threads; a request being served finishes first and its answer is
    // dropped when the client has gone.
    void stop();

private:
    class Listener;
    class ClientThread;

    void accept(qintptr socketDescriptor);
    void refuse(qintptr socketDescriptor, const QString& message);
    void forget(ClientThread* client);

    ServerClass serverClass_;
    ListenOptions options_;
    std::unique_ptr<Listener> listener_;
    QList<ClientThread*> clients_;  // children of the container
};

}  // namespace host
