#include "ServerClass.h"

#include "RpcSession.h"

#include <memory>

namespace host {
namespace {

// A session and the context it runs on, which lives as long as it does.
struct Session {
    explicit Session(service::ServiceContext sessionContext) : context(std::move(sessionContext)) {}

    const service::ServiceContext context;
    service::RpcSession rpc{context};
};

}  // namespace

ServerClass DSServerClass1GetClass(SessionContext sessionContext)
{
    return {
        [sessionContext = std::move(sessionContext)](const QString& peer) {
            auto session = std::make_shared<Session>(sessionContext(peer));
            return LineHandler([session](const QByteArray& line) { return session->rpc.handle(line); });
        },
        [](const QString& message) {
            return service::rpc::errorLine(QJsonValue::Null, service::rpc::InvalidRequest, message);
        },
    };
}

ServerClass DSServerClass1GetClass(const service::ServiceContext& context)
{
    return DSServerClass1GetClass([&context](const QString& peer) {
        service::ServiceContext sessionContext = context;
        sessionContext.peer = peer;
        return sessionContext;
    });
}

}  // namespace host
