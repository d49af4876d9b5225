// Hostile request lines, each answered with an error (or, for SQL text in a
// text parameter, with no rows) while the server goes on serving: through a
// session directly, and once over TCP where a second connection must still be
// answered after every hostile line.

#include "ServedSessions.h"
#include "WaybillFixture.h"

#include <QJsonDocument>

using namespace servicetest;
using service::rpc::DatabaseError;
using service::rpc::InvalidParams;
using service::rpc::InvalidRequest;
using service::rpc::MethodNotFound;
using service::rpc::ParseError;

namespace {

// Not an error: an open that finds nothing.
constexpr int kNoRows = 0;
constexpr qsizetype kLineLimit = 1 << 20;

QByteArray request(const QByteArray& method, const QByteArray& params)
{
    return R"({"jsonrpc":"2.0","id":1,"method":")" + method + R"(","params":)" + params + "}";
}

QByteArray provider(const QByteArray& method, const QByteArray& name, const QByteArray& params)
{
    return request(method, R"({"provider":")" + name + R"(","params":)" + params + "}");
}

QByteArray pendingLines(const QByteArray& isprece, const QByteArray& grupa)
{
    return provider("open", "DataSetProvider_EMPLOYEE", R"({"ISPRECE":)" + isprece + R"(,"GRUPA":)" + grupa + "}");
}

QByteArray collect(const QByteArray& quantity, const QByteArray& orderLine)
{
    return provider("execute", "DataSetProvider_O_PASPRCupd",
                    R"({"ATKR_DAUDZ":)" + quantity + R"(,"ISPASPRC":0,"ISN":)" + orderLine + "}");
}

QByteArray nested(int depth, char open, const QByteArray& inner, char close)
{
    QByteArray text;
    for (int i = 0; i < depth; ++i)
        text += open == '{' ? QByteArray(R"({"a":)") : QByteArray(1, open);
    text += inner;
    return text + QByteArray(depth, close);
}

QByteArray manyParams(int count)
{
    QJsonObject params;
    for (int i = 0; i < count; ++i)
        params.insert(QStringLiteral("P%1").arg(i), i);
    return QJsonDocument(params).toJson(QJsonDocument::Compact);
}

// A literal with NUL bytes in it, whole.
template <std::size_t N>
QByteArray bytes(const char (&text)[N])
{
    return QByteArray(text, N - 1);
}

struct HostileCase {
    const char* name;
    QByteArray line;
    int code;  // the error expected, or kNoRows
};

const HostileCase kHostileCases[] = {
    // Framing
    {"NotJson", "{bad", ParseError},
    {"TwoRequestsOnOneLine", request("EchoString", R"(["a"])") + " " + request("EchoString", R"(["b"])"), ParseError},
    {"Batch", "[" + request("EchoString", R"(["a"])") + "]", InvalidRequest},
    {"NoObject", "\"EchoString\"", InvalidRequest},
    {"LineOverTheLimit", QByteArray(kLineLimit + 1, 'x'), ParseError},
    {"NulByteBetweenMembers", bytes("{\"jsonrpc\":\"2.0\",\0\"id\":1,\"method\":\"providers\"}"), ParseError},
    {"NulByteInTheMethodName", bytes("{\"jsonrpc\":\"2.0\",\"id\":1,\"method\":\"Echo\0String\",\"params\":[\"a\"]}"),
     MethodNotFound},
    {"NulByteInATextParameter", pendingLines("1", bytes("\"R\0\"")), kNoRows},
    // Nesting
    {"DeepNesting", provider("open", "DataSetProvider_PRECE", nested(100000, '[', "", ']')), ParseError},
    {"DeepObjectNesting", provider("open", "DataSetProvider_PRECE", nested(100000, '{', "1", '}')), ParseError},
    {"NestedParameterValue", pendingLines(nested(1000, '[', "1", ']'), R"("R")"), InvalidParams},
    // Numbers
    {"NumberBeyondDouble", pendingLines("1e400", R"("R")"), ParseError},
    {"NegativeNumberBeyondDouble", collect("-1e400", "1001"), ParseError},
    {"IntegerOf70Bits", pendingLines("1180591620717411303424", R"("R")"), InvalidParams},
    {"TypedIntegerOf70Bits",
     provider("open", "DataSetProvider_EMPLOYEE",
              R"([{"name":"ISPRECE","type":"integer","value":1180591620717411303424},{"name":"GRUPA","value":"R"}])"),
     InvalidParams},
    {"IntegerOf64BitsForAnIntegerColumn", collect("1", "9223372036854775807"), DatabaseError},
    {"IntegerBeyond32BitsAsText", pendingLines(R"("4294967297")", R"("R")"), InvalidParams},
    {"QuantityOf70BitsAsText",
     provider("execute", "DataSetProvider_O_PASPRCupd",
              R"([{"name":"ATKR_DAUDZ","type":"float","value":"1e400"},{"name":"ISPASPRC","value":0},{"name":"ISN","value":1001}])"),
     InvalidParams},
    // Invalid UTF-8
    {"InvalidUtf8", request("EchoString", "[\"\xff\xfe\"]"), ParseError},
    {"OverlongUtf8", request("EchoString", "[\"\xc0\xaf\"]"), ParseError},
    {"EncodedSurrogate", pendingLines("1", "\"\xed\xa0\x80\""), ParseError},
    {"TruncatedUtf8", pendingLines("1", "\"R\xc4\""), ParseError},
    {"LoneSurrogateEscape", pendingLines("1", R"("\ud800")"), kNoRows},
    // Wrong types
    {"NoJsonRpcVersion", R"({"jsonrpc":2.0,"id":1,"method":"providers"})", InvalidRequest},
    {"MethodAsNumber", R"({"jsonrpc":"2.0","id":1,"method":7})", InvalidRequest},
    {"IdAsObject", R"({"jsonrpc":"2.0","id":{},"method":"providers"})", InvalidRequest},
    {"ParamsAsText", request("open", R"("DataSetProvider_PRECE")"), InvalidRequest},
    {"ProviderAsNumber", request("open", R"({"provider":5})"), InvalidParams},
    {"ParameterListAsText", provider("open", "DataSetProvider_PRECE", R"("ISPRECE=1")"), InvalidParams},
    {"BooleanValue", pendingLines("true", R"("R")"), InvalidParams},
    {"ObjectValue", pendingLines(R"({"$gt":0})", R"("R")"), InvalidParams},
    {"TypeAsNumber", provider("open", "DataSetProvider_EMPLOYEE", R"([{"name":"ISPRECE","type":4,"value":1}])"),
     InvalidParams},
    {"UnknownType", provider("open", "DataSetProvider_EMPLOYEE", R"([{"name":"ISPRECE","type":"int64","value":1}])"),
     InvalidParams},
    {"ImpossibleDate",
     provider("open", "DataSetProvider_O_PARPAV",
              R"([{"name":"DATUMS","type":"date","value":"2026-02-30"},{"name":"ISNODALANO","value":0},{"name":"ISNODALAUZ","value":2}])"),
     InvalidParams},
    {"ParameterWithoutName", provider("open", "DataSetProvider_EMPLOYEE", R"([{"value":1},"ISPRECE"])"), InvalidParams},
    {"EchoOfANumber", request("EchoString", "[1]"), InvalidParams},
    {"EchoOfTwoTexts", request("EchoString", R"(["a","b"])"), InvalidParams},
    // Sizes
    {"TenThousandParameters", provider("open", "DataSetProvider_EMPLOYEE", manyParams(10000)), InvalidParams},
    {"TenThousandEchoArguments", request("EchoString", QJsonDocument(QJsonArray::fromStringList(QStringList(10000, "a"))).toJson(QJsonDocument::Compact)), InvalidParams},
    // Unknown providers and methods
    {"UnknownProvider", provider("open", "DataSetProvider_NOPE", "{}"), InvalidParams},
    {"ProviderNameInOtherCase", provider("open", "dataSetProvider_PRECE", "{}"), InvalidParams},
    {"EmptyProviderName", provider("open", "", "{}"), InvalidParams},
    {"HugeProviderName", provider("open", QByteArray(500000, 'P'), "{}"), InvalidParams},
    {"ExecuteProviderOpened", provider("open", "DataSetProvider_O_PASPRCupd", "{}"), InvalidParams},
    {"UnknownMethod", request("DROP", "[]"), MethodNotFound},
    // SQL text as values: bound as parameters, never part of a statement
    {"SqlInAnIntegerParameter", pendingLines(R"("1; DROP TABLE N_KLPREC")", R"("R")"), InvalidParams},
    {"SqlInATextParameter", pendingLines("1", R"("' OR 1=1 --")"), kNoRows},
    {"SqlInAnUntypedKey", collect("5", R"("1001 OR 1=1")"), InvalidParams},
    {"SqlInAnUntypedQuantity", collect(R"("0; DELETE FROM O_PASPRC")", "1001"), DatabaseError},
    {"SqlInAPrintKey", provider("open", "DataSetProvider_drukat", R"({"ISN":"1 OR 1=1"})"), DatabaseError},
    {"SqlInAProviderName", provider("open", "DataSetProvider_PRECE; DROP TABLE N_KLPREC", "{}"), InvalidParams},
};

struct Answer {
    int code = -1;  // kNoRows for a result without rows
    QString what;   // for the failure message
};

Answer answerOf(const QByteArray& line)
{
    QJsonParseError parse;
    const QJsonObject response = QJsonDocument::fromJson(line, &parse).object();
    if (parse.error != QJsonParseError::NoError || line.contains('\n'))
        return {-1, QStringLiteral("no JSON line: ") + QString::fromUtf8(line.left(200))};
    const QString text = QString::fromUtf8(line.left(300));
    if (response.contains(u"error"))
        return {response.value(u"error").toObject().value(u"code").toInt(), text};
    const QJsonArray rows = response.value(u"result").toObject().value(u"rows").toArray();
    return {rows.isEmpty() && response.contains(u"result") ? kNoRows : 1, text};
}

class HostileRequestTest : public WaybillTest {
protected:
    // What a hostile line must leave as it was: the goods and the order
    // lines with nothing collected.
    void expectTheDataUntouched()
    {
        EXPECT_EQ(select("SELECT COUNT(*) FROM N_KLPREC"), (std::vector<std::vector<db::Value>>{{std::int64_t{2}}}));
        EXPECT_EQ(select("SELECT ISN, ATKR_DAUDZ FROM O_PASPRC ORDER BY ISN"),
                  (std::vector<std::vector<db::Value>>{{std::int32_t{1001}, 0.0}, {std::int32_t{1002}, 0.0}}));
        EXPECT_TRUE(select("SELECT ISN FROM O_PARPAV WHERE PZ_BLOK = 'T'").empty());
    }

    QString echo(const std::function<QByteArray(const QByteArray&)>& via)
    {
        return parseLine(via(requestLine(2, "EchoString", QJsonArray{"still here"}))).value("result").toString();
    }
};

TEST_F(HostileRequestTest, EachIsAnsweredWithAnErrorAndTheSessionGoesOn)
{
    for (const HostileCase& c : kHostileCases) {
        SCOPED_TRACE(c.name);
        const Answer answer = answerOf(session.handle(c.line));
        EXPECT_EQ(answer.code, c.code) << answer.what.toStdString();
        EXPECT_EQ(echo(transport), "still here");
    }
    // The pending line is still found the ordinary way.
    EXPECT_EQ(integerColumn(open("DataSetProvider_EMPLOYEE", QJsonObject{{"ISPRECE", 1}, {"GRUPA", "R"}}), "ISN"),
              std::vector<qint64>{1001});
    expectTheDataUntouched();
}

TEST_F(HostileRequestTest, OverTcpEveryOtherConnectionIsStillAnswered)
{
    reliability::ServedSessions server(context, kLineLimit);
    reliability::LineClient bystander(server.port());
    const auto viaBystander = [&](const QByteArray& line) {
        bystander.send(line);
        return bystander.nextLine();
    };
    auto hostile = std::make_unique<reliability::LineClient>(server.port());
    for (const HostileCase& c : kHostileCases) {
        SCOPED_TRACE(c.name);
        const bool overLimit = c.line.size() > kLineLimit;
        hostile->send(c.line);
        const Answer answer = answerOf(hostile->nextLine());
        // The container refuses a line over the limit before any session
        // sees it, and closes that connection.
        EXPECT_EQ(answer.code, overLimit ? InvalidRequest : c.code) << answer.what.toStdString();
        EXPECT_EQ(hostile->closedByServer(overLimit ? 10000 : 0), overLimit);
        EXPECT_EQ(echo(viaBystander), "still here");
        if (!hostile->isConnected())
            hostile = std::make_unique<reliability::LineClient>(server.port());
    }
    expectTheDataUntouched();
}

}  // namespace
