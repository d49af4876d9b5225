#include "RpcSession.h"

#include "DbError.h"
#include "JsonText.h"
#include "KelvoServerMethodsUnit.h"
#include "Log.h"
#include "ProtocolCodec.h"
#include "RequestKeys.h"
#include "WaybillCounter.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <optional>

namespace service {

namespace {

QJsonObject response(const QJsonValue& id)
{
    return {{u"jsonrpc"_qs, u"2.0"_qs}, {u"id"_qs, id}};
}

QByteArray toLine(const QJsonObject& object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

// The result comes as JSON text, so that a large one is written only once;
// the keys stand in the order QJsonDocument writes them, as in error lines.
QByteArray resultLine(const QJsonValue& id, const QByteArray& resultText)
{
    QByteArray line = "{\"id\":" + json::jsonText(id) + ",\"jsonrpc\":\"2.0\",\"result\":";
    line.reserve(line.size() + resultText.size() + 1);
    return line.append(resultText).append('}');
}

bool isValidId(const QJsonValue& id)
{
    return id.isUndefined() || id.isNull() || id.isString() || id.isDouble();
}

// ["text"] or {"value": "text"}
QString textArgument(const QJsonValue& params)
{
    const QJsonValue value = params.isArray() && params.toArray().size() == 1 ? params.toArray().first()
                                                                               : params.toObject().value(u"value");
    if (!value.isString())
        throw InvalidParams(QStringLiteral("The method takes one text: [\"text\"] or {\"value\": \"text\"}"));
    return value.toString();
}

struct ProviderRequest {
    QString provider;
    std::vector<db::Param> params;
    std::optional<QString> requestKey;
};

// {"provider": "DataSetProvider_...", "params": P, "requestKey": "..."}; the
// key only where it is taken.
ProviderRequest providerRequest(const QJsonValue& params, bool takesRequestKey)
{
    const QJsonObject request = params.toObject();
    const QJsonValue provider = request.value(u"provider");
    if (!provider.isString())
        throw InvalidParams(QStringLiteral("open and execute take {\"provider\": name, \"params\": list}"));
    static const std::vector<DeclaredParam> kUnknownProvider;
    const ProviderEntry* entry = findProvider(provider.toString());
    ProviderRequest decoded{provider.toString(),
                            codec::decodeParams(request.value(u"params"), entry ? entry->params : kUnknownProvider),
                            std::nullopt};
    const QJsonValue key = request.value(u"requestKey");
    if (key.isUndefined() || key.isNull())
        return decoded;
    if (!takesRequestKey)
        throw InvalidParams(QStringLiteral("Only an execute takes a request key"));
    if (!key.isString() || !isValidRequestKey(key.toString()))
        throw InvalidParams(QStringLiteral("A request key is a text of 1 to %1 printable ASCII characters without blanks")
                                .arg(kMaxRequestKeyLength));
    decoded.requestKey = key.toString();
    return decoded;
}

}  // namespace

rpc::Failure rpc::currentFailure()
{
    try {
        throw;
    } catch (const service::InvalidParams& e) {
        return {InvalidParams, QString::fromStdString(e.what())};
    } catch (const db::DbError& e) {
        return {DatabaseError, e.message()};
    } catch (const PrintError& e) {
        return {PrintFailure, QString::fromStdString(e.what())};
    } catch (const WaybillNumberError& e) {
        return {WaybillNumberFailure, QString::fromStdString(e.what())};
    } catch (const std::exception& e) {
        return {InternalError, QString::fromStdString(e.what())};
    } catch (...) {
        return {InternalError, QStringLiteral("Internal error")};
    }
}

QByteArray rpc::errorLine(const QJsonValue& id, int code, const QString& message)
{
    QJsonObject object = response(id);
    object.insert(u"error"_qs, QJsonObject{{u"code"_qs, code}, {u"message"_qs, message}});
    return toLine(object);
}

RpcSession::RpcSession(const ServiceContext& context) : context_(context) {}

RpcSession::~RpcSession() = default;

QByteArray RpcSession::handle(const QByteArray& line)
{
    if (line.trimmed().isEmpty())
        return {};
    // Inside brackets, any JSON value parses (a document alone must be an
    // object or an array), so a line that is JSON but no request is told
    // from one that is no JSON.
    QJsonParseError parse;
    const QJsonArray wrapped = QJsonDocument::fromJson('[' + line + ']', &parse).array();
    if (parse.error != QJsonParseError::NoError || wrapped.size() != 1)
        return rpc::errorLine(QJsonValue::Null, rpc::ParseError,
                              QStringLiteral("Parse error: ")
                                  + (parse.error ? parse.errorString() : QStringLiteral("more than one JSON value")));
    const QJsonObject request = wrapped.first().toObject();
    const QJsonValue id = request.value(u"id");
    if (!wrapped.first().isObject() || !isValidId(id))
        return rpc::errorLine(QJsonValue::Null, rpc::InvalidRequest,
                              QStringLiteral("A request is one JSON object with a string, number or null id"));
    const QJsonValue answerId = id.isUndefined() ? QJsonValue(QJsonValue::Null) : id;
    const QJsonValue method = request.value(u"method");
    const QJsonValue params = request.value(u"params");
    if (request.value(u"jsonrpc") != u"2.0"_qs || !method.isString()
        || !(params.isUndefined() || params.isArray() || params.isObject()))
        return rpc::errorLine(answerId, rpc::InvalidRequest,
                              QStringLiteral("A request has \"jsonrpc\": \"2.0\", a method name and structured params"));

    QByteArray answer;
    if (const Method run = findMethod(method.toString())) {
        try {
            methods();  // the first request creates the session's instance
            answer = resultLine(answerId, (this->*run)(params));
        } catch (...) {
            const rpc::Failure failure = rpc::currentFailure();
            if (failure.code == rpc::DatabaseError)
                logging::warning("request.failed", {{"peer", context_.peer},
                                                    {"method", method.toString()},
                                                    {"provider", params.toObject().value(u"provider").toString()},
                                                    {"error", failure.message}});
            answer = rpc::errorLine(answerId, failure.code, failure.message);
        }
    } else {
        answer = rpc::errorLine(answerId, rpc::MethodNotFound,
                                QStringLiteral("Method '%1' not found").arg(method.toString()));
    }
    return id.isUndefined() ? QByteArray() : answer;
}

RpcSession::Method RpcSession::findMethod(const QString& name)
{
    static const std::pair<QString, Method> kMethods[] = {
        {u"EchoString"_qs, &RpcSession::echoString},
        {u"TKelvoServerMethods_EMPLOYEE.EchoString"_qs, &RpcSession::echoString},
        {u"ReverseString"_qs, &RpcSession::reverseString},
        {u"TKelvoServerMethods_EMPLOYEE.ReverseString"_qs, &RpcSession::reverseString},
        {u"open"_qs, &RpcSession::open},
        {u"execute"_qs, &RpcSession::execute},
        {u"providers"_qs, &RpcSession::providers},
    };
    for (const auto& [methodName, method] : kMethods) {
        if (name == methodName)
            return method;
    }
    return nullptr;
}

TKelvoServerMethods_EMPLOYEE& RpcSession::methods()
{
    if (!methods_)
        methods_ = std::make_unique<TKelvoServerMethods_EMPLOYEE>(context_);
    return *methods_;
}

QByteArray RpcSession::echoString(const QJsonValue& params)
{
    return json::jsonText(methods().EchoString(textArgument(params)));
}

QByteArray RpcSession::reverseString(const QJsonValue& params)
{
    return json::jsonText(methods().ReverseString(textArgument(params)));
}

QByteArray RpcSession::open(const QJsonValue& params)
{
    ProviderRequest request = providerRequest(params, false);
    return methods().openText(request.provider, std::move(request.params),
                              [](const RowsSource& rows) { return codec::encodeRows(rows); });
}

void RpcSession::logCreatedWaybill(const QString& provider, const Executed& executed) const
{
    if (executed.rowsAffected <= 0 || provider != u"DataSetProvider_O_PARPAVins")
        return;
    QVariant isn;
    QVariant number;
    for (const auto& [name, value] : executed.returned) {
        if (name == u"ISN")
            isn = value.toString();
        else if (name == u"NR_PAVADZ")
            number = value.toString();
    }
    logging::info("waybill.created", {{"isn", isn}, {"number", number}, {"peer", context_.peer}});
}

QByteArray RpcSession::execute(const QJsonValue& params)
{
    ProviderRequest request = providerRequest(params, true);
    if (!request.requestKey) {
        const Executed executed = methods().execute(request.provider, std::move(request.params));
        logCreatedWaybill(request.provider, executed);
        return codec::encodeExecuted(executed);
    }
    // The statement runs only the first time a key comes; a kept answer
    // created nothing now.
    std::optional<Executed> ran;
    const QByteArray answer = methods().executeOnce(*request.requestKey, request.provider, std::move(request.params),
                                                    [&ran](const Executed& executed) {
                                                        ran = executed;
                                                        return codec::encodeExecuted(executed);
                                                    });
    if (ran)
        logCreatedWaybill(request.provider, *ran);
    return answer;
}

QByteArray RpcSession::providers(const QJsonValue&)
{
    return json::jsonText(codec::encodeCatalogue());
}

}  // namespace service
