// kelvo-client: a command-line client of the order-control server's
// protocol (newline-delimited JSON-RPC 2.0 over TCP).

#include "ClientRequest.h"
#include "JsonText.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTcpSocket>
#include <QTextStream>

#include <cstdio>

namespace {

// Exit codes: the server refused the request; the command line or the
// connection failed.
constexpr int kRequestFailed = 1;
constexpr int kUsageOrConnection = 2;

int fail(int code, const QString& message)
{
    QTextStream(stderr) << "kelvo-client: " << message << Qt::endl;
    return code;
}

QByteArray requestLine(const client::Request& request)
{
    QJsonObject json{{"jsonrpc", "2.0"}, {"id", 1}, {"method", request.method}};
    if (!request.params.isUndefined())
        json.insert("params", request.params);
    return QJsonDocument(json).toJson(QJsonDocument::Compact) + '\n';
}

// The result as JSON: objects and arrays indented, a text as a JSON string.
QByteArray rawJson(const QJsonValue& result)
{
    if (result.isObject())
        return QJsonDocument(result.toObject()).toJson(QJsonDocument::Indented);
    if (result.isArray())
        return QJsonDocument(result.toArray()).toJson(QJsonDocument::Indented);
    return json::jsonText(result) + '\n';
}

}  // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName("kelvo-client");
    QCoreApplication::setApplicationVersion(KELVO_VERSION);
    QCommandLineParser parser;
    parser.setApplicationDescription(
        "Sends one request to a Kelvo order-control server and prints the answer.\n\n"
        "Commands:\n"
        "  open PROVIDER [NAME=VALUE ...]     rows of a provider, as a table\n"
        "  execute PROVIDER [NAME=VALUE ...]  runs an insert or update provider\n"
        "  echo TEXT, reverse TEXT            the two server methods\n"
        "  providers                          the provider catalogue\n\n"
        "PROVIDER may be given without its DataSetProvider_ prefix. VALUE is sent as a text,\n"
        "or typed by a prefix: int:12, float:1.5, text:abc, date:2026-12-09,\n"
        "timestamp:2026-12-09T14:30:00, time:14:30:00; null sends a null. A value that\n"
        "begins with another word and a colon is refused: send such a text as text:...\n\n"
        "An execute shows the rows it affected and the keys an insert gave (ISN, NR_PAVADZ).\n"
        "Sent again with the same --request-key, it is carried out only once.\n\n"
        "Exit status: 0 done, 1 the server refused the request, 2 usage or connection error.");
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption host("host", "Server host (default localhost).", "H", "localhost");
    const QCommandLineOption port("port", "Server port (default 9999).", "P", "9999");
    const QCommandLineOption json("json", "Print the raw JSON result.");
    const QCommandLineOption timeout("timeout", "Seconds to wait for the answer (default 120).", "S", "120");
    const QCommandLineOption requestKey("request-key",
                                        "With execute: a key of your choosing (a UUID, say) that makes the server "
                                        "carry the request out once, however often it is sent.",
                                        "KEY");
    parser.addOptions({host, port, json, timeout, requestKey});
    parser.addPositionalArgument("command", "open, execute, echo, reverse or providers, with its arguments.",
                                 "COMMAND [ARGS...]");
    if (!parser.parse(app.arguments()))
        return fail(kUsageOrConnection, parser.errorText());
    if (parser.isSet("help"))
        parser.showHelp(0);
    if (parser.isSet("version"))
        parser.showVersion();

    if (parser.isSet(requestKey) && parser.value(requestKey).isEmpty())
        return fail(kUsageOrConnection, "--request-key needs a key (see --help)");
    client::Request request;
    try {
        request = client::requestFor(parser.positionalArguments(), parser.value(requestKey));
    } catch (const client::UsageError& e) {
        return fail(kUsageOrConnection, QString::fromStdString(e.what()) + " (see --help)");
    }
    bool portOk = false;
    const quint16 portNumber = parser.value(port).toUShort(&portOk);
    const int waitMs = parser.value(timeout).toInt() * 1000;
    if (!portOk || waitMs <= 0)
        return fail(kUsageOrConnection, "--port and --timeout take positive numbers");

    QTcpSocket socket;
    socket.connectToHost(parser.value(host), portNumber);
    if (!socket.waitForConnected(10000))
        return fail(kUsageOrConnection, QString("cannot connect to %1:%2: %3")
                                            .arg(parser.value(host), parser.value(port), socket.errorString()));
    socket.write(requestLine(request));
    while (!socket.canReadLine()) {
        if (!socket.waitForReadyRead(waitMs))
            return fail(kUsageOrConnection, "no answer: " + socket.errorString());
    }
    const QJsonObject answer = QJsonDocument::fromJson(socket.readLine()).object();
    if (answer.contains("error")) {
        const QJsonObject error = answer["error"].toObject();
        return fail(kRequestFailed, QString("error %1: %2").arg(error["code"].toInt()).arg(error["message"].toString()));
    }
    if (!answer.contains("result"))
        return fail(kUsageOrConnection, "the server's answer is no JSON-RPC response");

    QTextStream out(stdout);
    if (parser.isSet(json))
        out << rawJson(answer["result"]);
    else
        out << client::formatResult(request, answer["result"]);
    return 0;
}
