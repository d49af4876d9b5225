#pragma once
// The operator console: one page, served over HTTP on the event loop of the
// thread that makes it (the main thread), with the operator's values, the
// server's state and the print journal. The page asks for the state every
// second (GET /api/state) and sends changes as JSON (POST /api/settings,
// /api/reprint); its files are compiled in and it loads nothing from
// elsewhere. Asking rather than being told (server-sent events): Qt
// HttpServer 6.4, Debian 12's, answers a request with one response and has
// no way to keep one open and learn when its client went.

#include "ConsoleAccess.h"
#include "ConsoleModel.h"

#include <QHostAddress>
#include <QObject>
#include <QThreadPool>

#include <memory>

QT_BEGIN_NAMESPACE
class QHttpServerRequest;
class QHttpServerResponse;
class QTcpServer;
QT_END_NAMESPACE

namespace console {

struct ConsoleOptions {
    QHostAddress address = QHostAddress::LocalHost;
    quint16 port = 9980;  // 0: any free port (tests)
    // Required on any address but a loopback one.
    QByteArray token;
};

class ConsoleServer : public QObject {
    Q_OBJECT
public:
    // Listens at once. Throws std::runtime_error when it cannot, or when the
    // address is not a loopback one and there is no token.
    ConsoleServer(const ConsoleOptions& options, ConsoleBackend backend, QObject* parent = nullptr);
    // Waits for a reprint still running.
    ~ConsoleServer() override;

    quint16 port() const;

private:
    class Http;

    QHttpServerResponse answer(const QHttpServerRequest& request);
    QHttpServerResponse page(const QHttpServerRequest& request);
    QHttpServerResponse login(const QHttpServerRequest& request);
    QHttpServerResponse settings(const QHttpServerRequest& request);
    QHttpServerResponse reprint(const QHttpServerRequest& request);

    ConsoleBackend backend_;
    ConsoleAccess access_;
    QThreadPool reprints_;
    QTcpServer* listener_ = nullptr;  // owned by http_
    std::unique_ptr<Http> http_;
};

}  // namespace console
