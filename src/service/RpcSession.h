#pragma once
// One client connection's session: parses newline-delimited JSON-RPC 2.0
// request lines and answers each with one response line. The first request
// creates the session's TKelvoServerMethods_EMPLOYEE instance (and its
// database connection); it lives until the session is destroyed. When the
// database cannot be attached, that request fails and the next one tries
// again.
//
// A request without "id" is a notification: it is carried out and, as
// JSON-RPC 2.0 has it, answered with nothing (an empty line back from
// handle(), which the caller does not send). A blank line is ignored the same
// way. Batches (arrays) are not served: they are invalid requests.
//
// A session is used by one thread at a time (the connection's); sessions of
// different connections run in parallel.

#include "ServiceContext.h"

#include <QByteArray>
#include <QJsonValue>
#include <QString>

#include <memory>

namespace service {

class TKelvoServerMethods_EMPLOYEE;
struct Executed;

namespace rpc {
// JSON-RPC error codes.
constexpr int ParseError = -32700;
constexpr int InvalidRequest = -32600;
constexpr int MethodNotFound = -32601;
constexpr int InvalidParams = -32602;
constexpr int InternalError = -32603;
constexpr int DatabaseError = -32000;
constexpr int PrintFailure = -32001;
// A waybill could not be numbered because its number could not be kept.
constexpr int WaybillNumberFailure = -32002;

// One error response line (no newline), e.g. for a line over the limit.
QByteArray errorLine(const QJsonValue& id, int code, const QString& message);

// The error code and message a failure carries.
struct Failure {
    int code;
    QString message;
};
// The failure of the exception in flight; call it only inside a catch block.
Failure currentFailure();
}  // namespace rpc

class RpcSession {
public:
    explicit RpcSession(const ServiceContext& context);
    ~RpcSession();
    RpcSession(const RpcSession&) = delete;
    RpcSession& operator=(const RpcSession&) = delete;

    // Answers one request line (without its newline). Returns the response
    // line without newline, empty for a notification or a blank line; never
    // throws.
    QByteArray handle(const QByteArray& line);

private:
    // Each gives the JSON text of its result.
    using Method = QByteArray (RpcSession::*)(const QJsonValue& params);
    static Method findMethod(const QString& name);
    TKelvoServerMethods_EMPLOYEE& methods();

    QByteArray echoString(const QJsonValue& params);
    QByteArray reverseString(const QJsonValue& params);
    QByteArray open(const QJsonValue& params);
    QByteArray execute(const QJsonValue& params);
    QByteArray providers(const QJsonValue& params);
    // The log line of a waybill the execute created.
    void logCreatedWaybill(const QString& provider, const Executed& executed) const;

    const ServiceContext& context_;
    std::unique_ptr<TKelvoServerMethods_EMPLOYEE> methods_;
};

}  // namespace service
