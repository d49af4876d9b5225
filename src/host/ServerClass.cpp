#include "ServerClass.h"

#include "RpcSession.h"

#include <memory>

namespace host {

ServerClass DSServerClass1GetClass(const service::ServiceContext& context)
{
    return {
        [&context] {
            auto session = std::make_shared<service::RpcSession>(context);
            return LineHandler([session](const QByteArray& line) { return session->handle(line); });
        },
        [](const QString& message) {
            return service::rpc::errorLine(QJsonValue::Null, service::rpc::InvalidRequest, message);
        },
    };
}

}  // namespace host
