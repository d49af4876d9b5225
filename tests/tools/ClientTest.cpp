// kelvo-client: the request a command line makes, the text it shows, and
// the program against a server that answers one line.

#include "ClientRequest.h"

#include <QJsonDocument>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>

#include <gtest/gtest.h>

#include <future>
#include <thread>

using namespace client;

TEST(ClientRequest, AssignmentsBecomeParameterEntries)
{
    struct Case {
        const char* assignment;
        QJsonObject entry;
    };
    const Case cases[] = {
        {"ISPRECE=int:12", {{"name", "ISPRECE"}, {"type", "integer"}, {"value", 12}}},
        {"ATKR_DAUDZ=float:1,5", {{"name", "ATKR_DAUDZ"}, {"type", "float"}, {"value", 1.5}}},
        {"CENA=float:0.79", {{"name", "CENA"}, {"type", "float"}, {"value", 0.79}}},
        {"GRUPA=text:12", {{"name", "GRUPA"}, {"type", "text"}, {"value", "12"}}},
        {"DATUMS=date:2026-12-09", {{"name", "DATUMS"}, {"type", "date"}, {"value", "2026-12-09"}}},
        {"AT=timestamp:2026-12-09T14:30:00", {{"name", "AT"}, {"type", "timestamp"}, {"value", "2026-12-09T14:30:00"}}},
        {"T=time:14:30:00", {{"name", "T"}, {"type", "time"}, {"value", "14:30:00"}}},
        {"GRUPA=Rīga", {{"name", "GRUPA"}, {"value", "Rīga"}}},
        {"ISSERTIF=null", {{"name", "ISSERTIF"}, {"value", QJsonValue::Null}}},
        {"NR_PAVADZ=", {{"name", "NR_PAVADZ"}, {"value", ""}}},
        {"K=a=b", {{"name", "K"}, {"value", "a=b"}}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(parameterEntry(c.assignment), c.entry) << c.assignment;

    for (const char* wrong : {"ISPRECE=int:x", "ISPRECE=int:1.5", "CENA=float:", "DATUMS=date:09.12.2026",
                              "T=time:25:00:00", "=5", "ISPRECE", "ISPRECE=integer:5", "X=bool:1", "GRUPA=Riga:Centrs"})
        EXPECT_THROW(parameterEntry(wrong), UsageError) << wrong;
    // A colon after something else than a word is part of the text.
    EXPECT_EQ(parameterEntry("GRUPA=Rīga:Centrs"), (QJsonObject{{"name", "GRUPA"}, {"value", "Rīga:Centrs"}}));
    EXPECT_EQ(parameterEntry("T=14:30"), (QJsonObject{{"name", "T"}, {"value", "14:30"}}));
    EXPECT_EQ(parameterEntry("GRUPA=text:Riga:Centrs"),
              (QJsonObject{{"name", "GRUPA"}, {"type", "text"}, {"value", "Riga:Centrs"}}));
    try {
        parameterEntry("ISPRECE=integer:5");
    } catch (const UsageError& e) {
        EXPECT_STREQ(e.what(), "ISPRECE: unknown type 'integer' (int, float, text, date, timestamp, time; "
                               "text:integer:5 sends the value as a text)");
    }
}

TEST(ClientRequest, CommandsBecomeRequests)
{
    struct Case {
        QStringList arguments;
        const char* method;
        QJsonValue params;
    };
    const Case cases[] = {
        {{"echo", "Rīga"}, "EchoString", QJsonArray{"Rīga"}},
        {{"reverse", "abc"}, "ReverseString", QJsonArray{"abc"}},
        {{"providers"}, "providers", QJsonValue::Undefined},
        {{"open", "PRECE"}, "open", QJsonObject{{"provider", "DataSetProvider_PRECE"}}},
        {{"open", "DataSetProvider_EMPLOYEE", "ISPRECE=int:1", "GRUPA=Rīga"},
         "open",
         QJsonObject{{"provider", "DataSetProvider_EMPLOYEE"},
                     {"params", QJsonArray{QJsonObject{{"name", "ISPRECE"}, {"type", "integer"}, {"value", 1}},
                                           QJsonObject{{"name", "GRUPA"}, {"value", "Rīga"}}}}}},
        {{"execute", "O_PARPAVupd", "ISN=int:6"},
         "execute",
         QJsonObject{{"provider", "DataSetProvider_O_PARPAVupd"},
                     {"params", QJsonArray{QJsonObject{{"name", "ISN"}, {"type", "integer"}, {"value", 6}}}}}},
    };
    for (const Case& c : cases) {
        const Request request = requestFor(c.arguments);
        EXPECT_EQ(request.method, c.method) << c.arguments.join(' ').toStdString();
        EXPECT_EQ(request.params, c.params) << c.arguments.join(' ').toStdString();
    }
    const Request keyed = requestFor({"execute", "O_PARPAVupd", "ISN=int:6"}, "a1b2");
    EXPECT_EQ(keyed.params["requestKey"], "a1b2");

    // Each refusal says what is missing or wrong.
    struct Wrong {
        QStringList arguments;
        const char* requestKey;
        const char* message;
    };
    const Wrong wrongs[] = {
        {{}, "", "no command given"},
        {{"open"}, "", "open needs a provider"},
        {{"execute"}, "", "execute needs a provider"},
        {{"echo"}, "", "echo needs one text (quote a text with blanks)"},
        {{"reverse", "a", "b"}, "", "reverse needs one text (quote a text with blanks)"},
        {{"providers", "x"}, "", "providers takes no arguments"},
        {{"delete", "PRECE"}, "", "'delete' is no command (open, execute, echo, reverse, providers)"},
        {{"open", "PRECE"}, "k", "--request-key goes with execute"},
    };
    for (const Wrong& wrong : wrongs) {
        try {
            requestFor(wrong.arguments, wrong.requestKey);
            ADD_FAILURE() << wrong.arguments.join(' ').toStdString();
        } catch (const UsageError& e) {
            EXPECT_STREQ(e.what(), wrong.message);
        }
    }
}

TEST(ClientRequest, RowsShowAsAnAlignedTable)
{
    const QJsonObject rows{
        {"columns", QJsonArray{QJsonObject{{"name", "ISPRECE"}}, QJsonObject{{"name", "ART_PRECE"}},
                               QJsonObject{{"name", "ALKOHOLS"}}}},
        {"rows", QJsonArray{QJsonArray{19, "4004\r\nBalzams", 45.5}, QJsonArray{1, QJsonValue::Null, 0}}},
    };
    EXPECT_EQ(formatResult({"open", {}}, rows).toStdString(),
              "ISPRECE  ART_PRECE        ALKOHOLS\n"
              "-------  ---------------  --------\n"
              "19       4004\\r\\nBalzams  45.5\n"
              "1                         0\n"
              "(2 rows)\n");
    EXPECT_EQ(formatResult({"execute", {}}, QJsonObject{{"rowsAffected", 3}}), "3 rows affected\n");
    EXPECT_EQ(formatResult({"execute", {}}, QJsonObject{{"ISN", 7}, {"NR_PAVADZ", "9171900003"}, {"rowsAffected", 1}}),
              "1 rows affected\nISN: 7\nNR_PAVADZ: 9171900003\n");
    EXPECT_EQ(formatResult({"ReverseString", {}}, "cba"), "cba\n");
    const QJsonArray catalogue{QJsonObject{
        {"name", "DataSetProvider_O_PARPAVupd"},
        {"use", "execute"},
        {"parameters", QJsonArray{QJsonObject{{"name", "ISMASINA"}, {"type", "integer"}},
                                  QJsonObject{{"name", "ISN"}, {"type", QJsonValue::Null}}}},
    }};
    EXPECT_EQ(formatResult({"providers", {}}, catalogue).toStdString(),
              "PROVIDER                     USE      PARAMETERS\n"
              "---------------------------  -------  -------------------------------\n"
              "DataSetProvider_O_PARPAVupd  execute  ISMASINA integer, ISN (as sent)\n");
}

// --- The program against a server that answers one request line ---

namespace {

struct ClientRun {
    int exitCode;
    QString out, err;
    QByteArray received;  // the line the server got
};

ClientRun runClient(const QStringList& arguments, const QByteArray& answer)
{
    // The server lives on its own thread, where its sockets are made.
    std::promise<quint16> port;
    QByteArray received;
    std::thread serving([&] {
        QTcpServer server;
        server.listen(QHostAddress::LocalHost);
        port.set_value(server.serverPort());
        if (!server.waitForNewConnection(30000))
            return;
        QTcpSocket* socket = server.nextPendingConnection();
        while (!socket->canReadLine() && socket->waitForReadyRead(30000)) {
        }
        received = socket->readLine();
        if (!answer.isEmpty()) {
            socket->write(answer + '\n');
            socket->waitForBytesWritten(30000);
        }
        socket->disconnectFromHost();
        if (socket->state() != QAbstractSocket::UnconnectedState)
            socket->waitForDisconnected(30000);
    });
    QProcess client;
    client.start(KELVO_CLIENT, QStringList{"--port", QString::number(port.get_future().get())} + arguments);
    client.waitForFinished(60000);
    serving.join();
    return {client.exitCode(), QString::fromUtf8(client.readAllStandardOutput()),
            QString::fromUtf8(client.readAllStandardError()), received};
}

}  // namespace

TEST(ClientProgram, SendsOneRequestLineAndPrintsTheResult)
{
    const ClientRun run = runClient({"open", "soferi"},
                              R"({"id":1,"jsonrpc":"2.0","result":{"columns":[{"name":"ISN"},{"name":"GNOS"}],"rows":[[3,"Iveco"]]}})");
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    const QJsonObject request = QJsonDocument::fromJson(run.received).object();
    EXPECT_TRUE(run.received.endsWith('\n'));
    EXPECT_EQ(request["jsonrpc"], "2.0");
    EXPECT_EQ(request["method"], "open");
    EXPECT_EQ(request["params"], (QJsonObject{{"provider", "DataSetProvider_soferi"}}));
    EXPECT_EQ(run.out.toStdString(), "ISN  GNOS\n---  -----\n3    Iveco\n(1 rows)\n");

    const ClientRun json = runClient({"--json", "echo", "Rīga"}, R"({"id":1,"jsonrpc":"2.0","result":"Rīga"})");
    EXPECT_EQ(json.exitCode, 0);
    EXPECT_EQ(json.out, "\"Rīga\"\n");
}

TEST(ClientProgram, AnErrorGoesToStandardErrorWithAFailingExit)
{
    const ClientRun refused = runClient({"open", "Nothing"},
                                  R"({"id":1,"jsonrpc":"2.0","error":{"code":-32602,"message":"Unknown provider"}})");
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_TRUE(refused.out.isEmpty());
    EXPECT_TRUE(refused.err.contains("-32602") && refused.err.contains("Unknown provider")) << refused.err.toStdString();

    const ClientRun unanswered = runClient({"providers"}, {});
    EXPECT_EQ(unanswered.exitCode, 2);
    EXPECT_FALSE(unanswered.err.isEmpty());

    QProcess usage;
    usage.start(KELVO_CLIENT, {"open"});
    usage.waitForFinished(60000);
    EXPECT_EQ(usage.exitCode(), 2);
    const QByteArray said = usage.readAllStandardError();
    EXPECT_TRUE(said.contains("open needs a provider") && said.contains("--help")) << said.toStdString();
}

TEST(ClientProgram, SendsTheRequestKeyAndTellsItsVersion)
{
    const ClientRun run = runClient({"--request-key", "f47ac10b", "execute", "O_PARPRCins", "ISPARVPAV=int:6"},
                                    R"({"id":1,"jsonrpc":"2.0","result":{"ISN":14,"rowsAffected":1}})");
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(QJsonDocument::fromJson(run.received)["params"]["requestKey"], "f47ac10b");
    EXPECT_EQ(run.out.toStdString(), "1 rows affected\nISN: 14\n");

    QProcess version;
    version.start(KELVO_CLIENT, {"--version"});
    version.waitForFinished(60000);
    EXPECT_EQ(version.exitCode(), 0);
    EXPECT_EQ(version.readAllStandardOutput().trimmed(), "kelvo-client " KELVO_VERSION);
}
