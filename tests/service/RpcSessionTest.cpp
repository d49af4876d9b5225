// The JSON-RPC session: framing of one line, error codes, the server
// methods, notifications, the catalogue, and the session's database
// connection (a failed attach tried again, a lost connection attached anew).

#include "DbError.h"
#include "KelvoServerMethodsUnit.h"
#include "Query.h"
#include "ServiceFixture.h"

#include <QJsonDocument>

using namespace servicetest;
using service::RpcSession;

namespace {

const char* const kRows = R"(
INSERT INTO N_ISI (ISN) VALUES (1);
INSERT INTO N_DEPART (ISN, GNOS, KARTIBA, GRUPA) VALUES (1, 'Noliktava', 1, '|N|');
INSERT INTO N_KLIENT (ISN, GNOS) VALUES (1, 'Piegādātājs');
INSERT INTO N_KLPREC (ISN, GNOS, ARTIKULS, ISPRKLIENT, TARA, PARDCENA1, NODOKLIS) VALUES (1, 'Kaste', 'T1', 1, 'T', 1.5, 21);
INSERT INTO O_PASPAV (ISN, ISNODALA, DATUMS, PIEGADPIRCEJS) VALUES (1, 1, '2026-12-09', 1);
INSERT INTO O_PASPRC (ISN, ISPASPAV, ISPRECE, APSTIPRIN_DAUDZ, ATKR_DAUDZ) VALUES (1, 1, 1, 5, 0);
INSERT INTO O_PARPAV (ISN, DATUMS, PZ_SERIJA, ISNODALANO, ISNODALAUZ) VALUES (1, '2026-12-09', 'PL', 1, 2);
)";

class RpcSessionTest : public ServiceTest {
protected:
    RpcSessionTest() { database.run(QString::fromUtf8(kRows)); }

    QJsonObject answer(const QByteArray& line) { return parseLine(session.handle(line)); }
};

QJsonObject openRequest(const QString& provider, const QJsonValue& params = {})
{
    QJsonObject request{{"provider", provider}};
    if (!params.isUndefined())
        request.insert("params", params);
    return request;
}

// An execute of the car update with a request key; nothing else is wrong.
QJsonObject keyed(const QString& provider, const QJsonValue& key)
{
    QJsonObject request = openRequest(provider, QJsonObject{{"ISMASINA", 1}, {"ISN", 1}});
    request.insert("requestKey", key);
    return request;
}

}  // namespace

TEST_F(RpcSessionTest, MalformedLinesGetTheirErrorAndTheSessionGoesOn)
{
    struct Case {
        const char* line;
        int code;
        QJsonValue id;
    };
    const Case cases[] = {
        {"{", -32700, QJsonValue::Null},
        {"{\"jsonrpc\":\"2.0\",\"id\":1,\"method\":\"providers\"", -32700, QJsonValue::Null},
        {"\"providers\"", -32600, QJsonValue::Null},
        {"[{\"jsonrpc\":\"2.0\",\"id\":1,\"method\":\"providers\"}]", -32600, QJsonValue::Null},
        {"{\"jsonrpc\":\"2.0\",\"id\":{},\"method\":\"providers\"}", -32600, QJsonValue::Null},
        {"{\"jsonrpc\":\"1.0\",\"id\":2,\"method\":\"providers\"}", -32600, 2},
        {"{\"id\":3,\"method\":\"providers\"}", -32600, 3},
        {"{\"jsonrpc\":\"2.0\",\"id\":\"a\"}", -32600, "a"},
        {"{\"jsonrpc\":\"2.0\",\"id\":4,\"method\":7}", -32600, 4},
        {"{\"jsonrpc\":\"2.0\",\"id\":5,\"method\":\"providers\",\"params\":5}", -32600, 5},
        {"{\"jsonrpc\":\"2.0\",\"method\":\"providers\",\"params\":\"x\"}", -32600, QJsonValue::Null},
        {"{\"jsonrpc\":\"2.0\",\"id\":6,\"method\":\"Nothing\"}", -32601, 6},
        {"{\"jsonrpc\":\"2.0\",\"id\":7,\"method\":\"TKelvoServerMethods_EMPLOYEE.open\"}", -32601, 7},
    };
    for (const Case& c : cases) {
        const QJsonObject response = answer(c.line);
        EXPECT_EQ(response.value("jsonrpc"), "2.0") << c.line;
        EXPECT_EQ(response.value("error").toObject().value("code").toInt(), c.code) << c.line;
        EXPECT_FALSE(response.value("error").toObject().value("message").toString().isEmpty()) << c.line;
        EXPECT_EQ(response.value("id"), c.id) << c.line;
        EXPECT_FALSE(response.contains("result")) << c.line;
    }
    EXPECT_EQ(result("EchoString", QJsonArray{"still here"}), "still here");
}

TEST_F(RpcSessionTest, RequestsTheServiceCannotRunAreInvalidParams)
{
    struct Case {
        const char* what;
        const char* method;
        QJsonValue params;
    };
    const Case cases[] = {
        {"no text", "EchoString", QJsonArray{}},
        {"a number for the text", "ReverseString", QJsonArray{5}},
        {"two texts", "EchoString", QJsonArray{"a", "b"}},
        {"value not a text", "EchoString", QJsonObject{{"value", true}}},
        {"no provider", "open", QJsonObject{}},
        {"provider not a name", "open", QJsonObject{{"provider", 5}}},
        {"unknown provider", "open", openRequest("DataSetProvider_Nothing")},
        {"name of a dataset", "open", openRequest("SQLDataSet_TARA")},
        {"execute provider opened", "open", openRequest("DataSetProvider_O_PARPAVupd")},
        {"open provider executed", "execute", openRequest("DataSetProvider_TARA")},
        {"parameter list a text", "open", openRequest("DataSetProvider_TARA", "ISN=1")},
        {"boolean value", "open",
         openRequest("DataSetProvider_sertifikati", QJsonObject{{"ISPRECE", true}, {"ISDEPART", 1}})},
        {"array value", "open",
         openRequest("DataSetProvider_sertifikati", QJsonObject{{"ISPRECE", QJsonArray{1}}, {"ISDEPART", 1}})},
        {"object value", "open",
         openRequest("DataSetProvider_sertifikati",
                     QJsonArray{QJsonObject{{"name", "ISPRECE"}, {"value", QJsonObject{}}}})},
        {"list entry without name", "open", openRequest("DataSetProvider_sertifikati", QJsonArray{QJsonObject{{"value", 1}}})},
        {"list entry not an object", "open", openRequest("DataSetProvider_sertifikati", QJsonArray{1})},
        {"unknown type", "open",
         openRequest("DataSetProvider_sertifikati",
                     QJsonArray{QJsonObject{{"name", "ISPRECE"}, {"type", "money"}, {"value", 1}}})},
        {"integer that is none", "open",
         openRequest("DataSetProvider_sertifikati",
                     QJsonArray{QJsonObject{{"name", "ISPRECE"}, {"type", "integer"}, {"value", 1.5}}})},
        {"date that is none", "open",
         openRequest("DataSetProvider_O_PARPAV",
                     QJsonArray{QJsonObject{{"name", "DATUMS"}, {"type", "date"}, {"value", "09.12.2026"}}})},
        {"statement parameter missing", "open",
         openRequest("DataSetProvider_sertifikati", QJsonObject{{"ISPRECE", 1}})},
        {"handler parameter missing", "open", openRequest("DataSetProvider_EMPLOYEE", QJsonObject{{"ISPRECE", 1}})},
        {"goods key not an integer", "open",
         openRequest("DataSetProvider_EMPLOYEE", QJsonObject{{"ISPRECE", "abc"}, {"GRUPA", "N"}})},
        {"request key on an open", "open", keyed("DataSetProvider_TARA", "k")},
        {"request key empty", "execute", keyed("DataSetProvider_O_PARPAVupd", "")},
        {"request key with a blank", "execute", keyed("DataSetProvider_O_PARPAVupd", "a b")},
        {"request key not ASCII", "execute", keyed("DataSetProvider_O_PARPAVupd", "rīts")},
        {"request key too long", "execute", keyed("DataSetProvider_O_PARPAVupd", QString(65, 'k'))},
        {"request key a number", "execute", keyed("DataSetProvider_O_PARPAVupd", 5)},
    };
    for (const Case& c : cases) {
        const QJsonObject response = call(c.method, c.params);
        EXPECT_EQ(response.value("error").toObject().value("code").toInt(), -32602) << c.what;
        EXPECT_EQ(response.value("id"), 1) << c.what;
    }
}

TEST_F(RpcSessionTest, ADatabaseErrorCarriesTheDatabasesMessage)
{
    const QJsonObject response = call("execute", openRequest("DataSetProvider_O_PASPRCupd",
                                                             QJsonObject{{"ATKR_DAUDZ", "abc"}, {"ISPASPRC", 0}, {"ISN", 1}}));
    const QJsonObject error = response.value("error").toObject();
    EXPECT_EQ(error.value("code").toInt(), -32000);
    EXPECT_TRUE(error.value("message").toString().contains("conversion error", Qt::CaseInsensitive))
        << error.value("message").toString().toStdString();
    EXPECT_EQ(execute("DataSetProvider_O_PASPRCupd", QJsonObject{{"ATKR_DAUDZ", 2.5}, {"ISPASPRC", 0}, {"ISN", 1}}), 1);
}

// A value for a parameter the provider declares an integer is a whole
// number, however it is sent; the database would round the others.
TEST_F(RpcSessionTest, AnIntegerParameterTakesOnlyAWholeNumberInEitherForm)
{
    const auto list = [](const QJsonValue& key, const QJsonValue& type) {
        QJsonObject keyEntry{{"name", "ISN"}, {"value", key}};
        if (!type.isUndefined())
            keyEntry.insert("type", type);
        return QJsonArray{QJsonObject{{"name", "ATKR_DAUDZ"}, {"value", 2}},
                          QJsonObject{{"name", "ISPASPRC"}, {"value", 0}}, keyEntry};
    };
    const auto object = [](const QJsonValue& key) { return QJsonObject{{"ATKR_DAUDZ", 2}, {"ISPASPRC", 0}, {"ISN", key}}; };
    struct Case {
        const char* what;
        QJsonValue params;
        int rowsAffected;  // -1: refused with -32602
    };
    const Case cases[] = {
        {"object, a number with a fraction", object(1.5), -1},
        {"object, its text", object("1.5"), -1},
        {"list without a type, a number with a fraction", list(1.5, QJsonValue::Undefined), -1},
        {"list without a type, its text", list("1.5", QJsonValue::Undefined), -1},
        {"list typed integer", list(1.5, "integer"), -1},
        {"list typed float", list(1.5, "float"), -1},
        {"list typed text", list("1.5", "text"), -1},
        {"object, 0.6 would round to the line", object(0.6), -1},
        {"object, a whole number", object(1), 1},
        {"object, its digits", object("1"), 1},
        {"list typed float, a whole number", list(1, "float"), 1},
        {"object, a key no line has", object(2), 0},
    };
    for (const Case& c : cases) {
        const QJsonObject response = call("execute", openRequest("DataSetProvider_O_PASPRCupd", c.params));
        if (c.rowsAffected < 0)
            EXPECT_EQ(response["error"]["code"], -32602) << c.what;
        else
            EXPECT_EQ(response["result"]["rowsAffected"], c.rowsAffected) << c.what;
    }

    // Messages write numbers with a decimal point.
    const QJsonObject tooLarge =
        call("open", openRequest("DataSetProvider_EMPLOYEE", QJsonObject{{"ISPRECE", 9.3e18}, {"GRUPA", "N"}}));
    EXPECT_EQ(tooLarge["error"]["message"], "Parameter 'ISPRECE': 9.3e+18 is not a whole number");
    service::TKelvoServerMethods_EMPLOYEE methods(context);
    std::vector<db::Param> sent{db::Param("ISPRECE"), db::Param("GRUPA")};
    sent[0].setValue(9.3e18);
    try {
        methods.open(u"DataSetProvider_EMPLOYEE", std::move(sent));
        ADD_FAILURE();
    } catch (const service::InvalidParams& e) {
        EXPECT_STREQ(e.what(), "Parameter 'ISPRECE': '9.3e+18' is not a valid integer");
    }
}

TEST_F(RpcSessionTest, APrintFailureIsReportedAsSuch)
{
    std::vector<std::pair<int, int>> printed;
    context.printWaybill = [&](std::int32_t waybill, std::int32_t alcoholLines) {
        printed.emplace_back(waybill, alcoholLines);
        if (waybill == 1)
            throw service::PrintError("printer jammed");
    };
    const QJsonObject error = call("open", openRequest("DataSetProvider_drukat", QJsonObject{{"ISN", 1}}))
                                  .value("error")
                                  .toObject();
    EXPECT_EQ(error.value("code").toInt(), -32001);
    EXPECT_EQ(error.value("message").toString(), "printer jammed");
    EXPECT_EQ(open("DataSetProvider_drukat", QJsonObject{{"ISN", 99}}).value("rows").toArray().size(), 0);
    EXPECT_EQ(printed, (std::vector<std::pair<int, int>>{{1, 0}, {0, 0}}));
}

TEST_F(RpcSessionTest, ServerMethodsEchoAndReverseUtf16Units)
{
    struct Case {
        QString text;
        QString reversed;
    };
    const Case cases[] = {
        {"abc", "cba"},
        {"", ""},
        {"Rīga ĀČ", "ČĀ agīR"},
        // a character outside the basic plane is two units: reversed, they swap
        {QString::fromUtf8("a\xF0\x9F\x98\x80z"), QString("z") + QChar(0xDE00) + QChar(0xD83D) + "a"},
    };
    for (const Case& c : cases) {
        for (const QString& prefix : {QString(), QString("TKelvoServerMethods_EMPLOYEE.")}) {
            EXPECT_EQ(result(prefix + "EchoString", QJsonArray{c.text}).toString(), c.text);
            EXPECT_EQ(result(prefix + "EchoString", QJsonObject{{"value", c.text}}).toString(), c.text);
            EXPECT_EQ(result(prefix + "ReverseString", QJsonArray{c.text}).toString(), c.reversed);
            EXPECT_EQ(result(prefix + "ReverseString", QJsonObject{{"value", c.text}}).toString(), c.reversed);
        }
    }
}

TEST_F(RpcSessionTest, ANotificationIsCarriedOutAndNotAnswered)
{
    EXPECT_TRUE(session.handle(requestLine(QJsonValue::Undefined, "execute",
                                           openRequest("DataSetProvider_O_PARPAVupd",
                                                       QJsonObject{{"ISMASINA", 7}, {"ISN", 1}})))
                    .isEmpty());
    EXPECT_EQ(select("SELECT ISMASINA FROM O_PARPAV WHERE ISN = 1").at(0).at(0).toInt(), 7);
    EXPECT_TRUE(session.handle(requestLine(QJsonValue::Undefined, "Nothing")).isEmpty());
    EXPECT_TRUE(session.handle(requestLine(QJsonValue::Undefined, "open", openRequest("DataSetProvider_Nothing")))
                    .isEmpty());
    EXPECT_TRUE(session.handle("").isEmpty());
    EXPECT_TRUE(session.handle(" \r").isEmpty());
    // An id of null is no notification.
    EXPECT_EQ(parseLine(session.handle(requestLine(QJsonValue::Null, "EchoString", QJsonArray{"x"}))).value("result"),
              "x");
}

TEST_F(RpcSessionTest, AnswersKeepTheRequestsId)
{
    for (const QJsonValue& id : {QJsonValue("a-17"), QJsonValue(17), QJsonValue(9171900001LL)}) {
        const QJsonObject response = parseLine(session.handle(requestLine(id, "EchoString", QJsonArray{"x"})));
        EXPECT_EQ(response.value("id"), id);
        EXPECT_EQ(response.value("result"), "x");
    }
}

TEST_F(RpcSessionTest, TheCatalogueListsTheFourteenProvidersWithTheirUseAndTypes)
{
    const QJsonArray catalogue = result("providers").toArray();
    QStringList opened, executed;
    for (const QJsonValue& entry : catalogue)
        (entry["use"] == "open" ? opened : executed) << entry["name"].toString().mid(16);
    EXPECT_EQ(opened, QStringList({"EMPLOYEE", "PRECE", "TARA", "O_PARPAV", "O_PARPRCnew", "drukat", "soferi",
                                   "NODGRUPA", "sertifikati"}));
    EXPECT_EQ(executed, QStringList({"O_PARPAVins", "O_PASPRCupd", "O_PARPRCins", "O_PARPAVupd", "O_PARPRCupd"}));
    const QJsonArray pendingLines = catalogue.at(0)["parameters"].toArray();
    EXPECT_EQ(pendingLines, (QJsonArray{QJsonObject{{"name", "ISPRECE"}, {"type", "integer"}},
                                        QJsonObject{{"name", "GRUPA"}, {"type", "text"}}}));
    EXPECT_EQ(catalogue.at(3)["parameters"].toArray().at(0), (QJsonObject{{"name", "DATUMS"}, {"type", QJsonValue::Null}}));
}

TEST(RpcSessionAttach, AFailedAttachFailsThatRequestAndTheNextTriesAgain)
{
    QTemporaryDir dir(testsupport::scratchFolderTemplate());
    operator_state::SettingsStore store(dir.filePath("Dravun.json"));
    service::ServiceContext context;
    context.employeeConnection.database = dir.filePath("later.fdb");
    operator_state::OperatorValues operatorValues;
    context.operatorValues = &operatorValues;
    context.settingsStore = &store;
    RpcSession session(context);

    const QJsonObject error = parseLine(session.handle(requestLine(1, "EchoString", QJsonArray{"x"})))["error"].toObject();
    EXPECT_EQ(error["code"].toInt(), -32000);
    EXPECT_TRUE(error["message"].toString().contains("later.fdb")) << error["message"].toString().toStdString();

    testsupport::copyFreshDatabase(context.employeeConnection.database);
    EXPECT_EQ(parseLine(session.handle(requestLine(2, "EchoString", QJsonArray{"x"})))["result"], "x");
    const QJsonObject rows = parseLine(session.handle(requestLine(3, "open", openRequest("DataSetProvider_soferi"))));
    EXPECT_EQ(rows["result"]["rows"].toArray().size(), 0);
}

TEST_F(RpcSessionTest, ALostConnectionFailsTheRequestInFlightAndTheNextAttachesAnew)
{
    ASSERT_EQ(open("DataSetProvider_TARA").value("rows").toArray().size(), 1);
    database.run("DELETE FROM MON$ATTACHMENTS WHERE MON$ATTACHMENT_ID <> CURRENT_CONNECTION AND MON$SYSTEM_FLAG = 0");

    EXPECT_EQ(errorCode("open", openRequest("DataSetProvider_TARA")), -32000);
    EXPECT_EQ(open("DataSetProvider_TARA").value("rows").toArray().size(), 1);
    EXPECT_EQ(execute("DataSetProvider_O_PARPAVupd", QJsonObject{{"ISMASINA", 3}, {"ISN", 1}}), 1);
}
