#include "ConsoleServer.h"

#include "Log.h"

#include <QAbstractHttpServer>
#include <QFile>
#include <QHttpServerRequest>
#include <QHttpServerResponse>
#include <QJsonDocument>
#include <QTcpServer>

#include <limits>
#include <stdexcept>

namespace console {
namespace {

using Method = QHttpServerRequest::Method;
using Status = QHttpServerResponse::StatusCode;

struct StaticFile {
    const char* path;
    const char* resource;
    const char* mimeType;
};

constexpr StaticFile kFiles[] = {
    {"/", ":/console/index.html", "text/html; charset=utf-8"},
    {"/console.js", ":/console/console.js", "text/javascript; charset=utf-8"},
    {"/console.css", ":/console/console.css", "text/css; charset=utf-8"},
};

QHttpServerResponse jsonResponse(const QJsonObject& object, Status status = Status::Ok)
{
    return QHttpServerResponse("application/json; charset=utf-8", QJsonDocument(object).toJson(QJsonDocument::Compact),
                               status);
}

QHttpServerResponse errorResponse(const QString& message, Status status)
{
    return jsonResponse(QJsonObject{{"error", message}}, status);
}

// The page runs only its own scripts and styles, reaches only this server
// and is never framed.
void secure(QHttpServerResponse& response)
{
    response.setHeader("Content-Security-Policy",
                       "default-src 'none'; script-src 'self'; style-src 'self'; img-src 'self'; connect-src 'self'; "
                       "base-uri 'none'; form-action 'none'; frame-ancestors 'none'");
    response.setHeader("X-Content-Type-Options", "nosniff");
    response.setHeader("X-Frame-Options", "DENY");
    response.setHeader("Referrer-Policy", "no-referrer");
    response.setHeader("Cache-Control", "no-store");
}

std::optional<QJsonObject> jsonBody(const QHttpServerRequest& request)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(request.body(), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    return document.object();
}

QString requester(const QHttpServerRequest& request)
{
    return QStringLiteral("console %1").arg(request.remoteAddress().toString());
}

}  // namespace

class ConsoleServer::Http : public QAbstractHttpServer {
public:
    explicit Http(ConsoleServer& console) : console_(console) {}

protected:
    bool handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) override
    {
        QHttpServerResponse response = console_.answer(request);
        secure(response);
        response.write(makeResponder(request, socket));
        return true;
    }
    void missingHandler(const QHttpServerRequest&, QTcpSocket*) override {}

private:
    ConsoleServer& console_;
};

ConsoleServer::ConsoleServer(const ConsoleOptions& options, ConsoleBackend backend, QObject* parent)
    : QObject(parent), backend_(std::move(backend)), access_(options.address, options.port, options.token),
      http_(std::make_unique<Http>(*this))
{
    if (!options.address.isLoopback() && options.token.isEmpty())
        throw std::runtime_error(QStringLiteral("The console on %1 needs a token (--console-token-file)")
                                     .arg(options.address.toString())
                                     .toStdString());
    reprints_.setMaxThreadCount(1);
    listener_ = new QTcpServer(http_.get());
    if (!listener_->listen(options.address, options.port)) {
        throw std::runtime_error(QStringLiteral("Cannot listen for the console on %1 port %2: %3")
                                     .arg(options.address.toString())
                                     .arg(options.port)
                                     .arg(listener_->errorString())
                                     .toStdString());
    }
    access_.setPort(listener_->serverPort());
    http_->bind(listener_);
}

ConsoleServer::~ConsoleServer()
{
    reprints_.waitForDone();
}

quint16 ConsoleServer::port() const
{
    return listener_->serverPort();
}

QHttpServerResponse ConsoleServer::answer(const QHttpServerRequest& request)
{
    const Headers headers = request.headers();
    if (!access_.hostAllowed(headers))
        return errorResponse(QStringLiteral("Nepazīstams adresāts (Host)"), Status::Forbidden);
    const QString path = request.url().path();
    const bool changes = request.method() == Method::Post;
    if (!changes && request.method() != Method::Get)
        return errorResponse(QStringLiteral("Metode nav atļauta"), Status::MethodNotAllowed);
    if (changes && !access_.changeAllowed(headers))
        return errorResponse(QStringLiteral("Pieprasījums nav no konsoles lapas"), Status::Forbidden);
    if (!changes && !path.startsWith(QLatin1String("/api/")))
        return page(request);
    if (path == QLatin1String("/api/login") && changes)
        return login(request);
    if (!access_.authenticated(headers))
        return errorResponse(QStringLiteral("Vajadzīga piekļuves atslēga"), Status::Unauthorized);
    if (path == QLatin1String("/api/state") && !changes)
        return jsonResponse(stateJson(backend_));
    if (path == QLatin1String("/api/settings") && changes)
        return settings(request);
    if (path == QLatin1String("/api/reprint") && changes)
        return reprint(request);
    return errorResponse(QStringLiteral("Nav atrasts"), Status::NotFound);
}

// The page and its files need no login: they hold nothing but the page,
// which asks for the login when the state needs one.
QHttpServerResponse ConsoleServer::page(const QHttpServerRequest& request)
{
    const QString path = request.url().path();
    for (const StaticFile& file : kFiles) {
        if (path != QLatin1String(file.path))
            continue;
        QFile resource(QLatin1String(file.resource));
        if (!resource.open(QIODevice::ReadOnly))
            return errorResponse(QStringLiteral("Lapa nav pieejama"), Status::InternalServerError);
        return QHttpServerResponse(file.mimeType, resource.readAll());
    }
    return errorResponse(QStringLiteral("Nav atrasts"), Status::NotFound);
}

QHttpServerResponse ConsoleServer::login(const QHttpServerRequest& request)
{
    const std::optional<QJsonObject> body = jsonBody(request);
    if (!body || !access_.tokenMatches(body->value(QLatin1String("token")).toString().toUtf8())) {
        logging::warning("console.login_refused", {{"peer", request.remoteAddress().toString()}});
        return errorResponse(QStringLiteral("Nepareiza piekļuves atslēga"), Status::Forbidden);
    }
    QHttpServerResponse response(Status::NoContent);
    response.setHeader("Set-Cookie", access_.sessionCookie());
    return response;
}

QHttpServerResponse ConsoleServer::settings(const QHttpServerRequest& request)
{
    const std::optional<QJsonObject> body = jsonBody(request);
    if (!body)
        return errorResponse(QStringLiteral("Pieprasījumam jābūt JSON objektam"), Status::BadRequest);
    if (const std::optional<QString> error = applySettings(*body, backend_.values, backend_.database))
        return errorResponse(*error, Status::BadRequest);
    logging::info("console.settings_changed",
                  {{"peer", request.remoteAddress().toString()},
                   {"change", QString::fromUtf8(QJsonDocument(*body).toJson(QJsonDocument::Compact))}});
    return jsonResponse(stateJson(backend_));
}

// The print runs on a thread of the console's own, so that the page and the
// window go on while it prints; the journal shows how it ended.
QHttpServerResponse ConsoleServer::reprint(const QHttpServerRequest& request)
{
    const std::optional<QJsonObject> body = jsonBody(request);
    const QJsonValue isn = body ? body->value(QLatin1String("isn")) : QJsonValue();
    const double key = isn.toDouble(-1);
    if (!isn.isDouble() || key < 0 || key > std::numeric_limits<std::int32_t>::max() || key != static_cast<std::int32_t>(key))
        return errorResponse(QStringLiteral("Pavadzīmes atslēgai jābūt veselam skaitlim"), Status::BadRequest);
    const auto waybillIsn = static_cast<std::int32_t>(key);
    const QString by = requester(request);
    logging::info("console.reprint", {{"isn", waybillIsn}, {"peer", by}});
    reprints_.start([reprint = backend_.reprint, waybillIsn, by] {
        try {
            reprint(waybillIsn, by);
        } catch (...) {
            // The journal has the entry and the log its line.
        }
    });
    return jsonResponse(QJsonObject{{"accepted", true}, {"isn", waybillIsn}}, Status::Accepted);
}

}  // namespace console
