// libFuzzer target: one request line as a client sends it.
//
// The line goes through a session whose database cannot be attached, which
// runs the whole line parser and request check and answers every request
// with an error; its answer must be one JSON object on one line. The same
// bytes, read as a JSON value, go through the decoding of a parameter list
// (and so does the inner "params" of a request), which may throw nothing but
// InvalidParams, and each decoded value is converted to its declared type.

#include "KelvoServerMethodsUnit.h"
#include "OperatorValues.h"
#include "ProtocolCodec.h"
#include "RpcSession.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <cstdint>
#include <cstdlib>

namespace {

db::ConnectionOptions unreachable()
{
    db::ConnectionOptions options;
    options.database = QStringLiteral("/nonexistent/kelvo-fuzz/preces.fdb");
    return options;
}

struct Harness {
    Harness()
    {
        context.employeeConnection = unreachable();
        context.operatorValues = &operatorValues;
    }

    operator_state::OperatorValues operatorValues;
    service::ServiceContext context;
    service::RpcSession session{context};
};

bool isOneJsonLine(const QByteArray& answer)
{
    QJsonParseError error;
    return !answer.contains('\n') && QJsonDocument::fromJson(answer, &error).isObject()
           && error.error == QJsonParseError::NoError;
}

void decode(const QJsonValue& params)
{
    try {
        for (const db::Param& param : service::codec::decodeParams(params))
            param.boundValue();
    } catch (const service::InvalidParams&) {
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static Harness harness;
    const QByteArray line(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));

    const QByteArray answer = harness.session.handle(line);
    if (!answer.isEmpty() && !isOneJsonLine(answer))
        std::abort();

    const QJsonArray wrapped = QJsonDocument::fromJson('[' + line + ']').array();
    if (wrapped.size() == 1) {
        decode(wrapped.first());
        decode(wrapped.first().toObject().value(u"params").toObject().value(u"params"));
    }
    return 0;
}
