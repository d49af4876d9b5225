// Request keys: an execute sent again with its key, on the same connection
// or another, while the first still runs or long after, is carried out once
// and answered as the first was.

#include "RequestKeys.h"
#include "WaybillFixture.h"

#include "Query.h"

#include <QFile>
#include <QJsonDocument>

#include <thread>

using namespace servicetest;

namespace {

QJsonObject keyedRequest(const QString& provider, const QJsonValue& params, const QString& key)
{
    return {{"provider", provider}, {"params", params}, {"requestKey", key}};
}

const QJsonObject kLine{{"ISPARVPAV", 1}, {"ISPRECE", 1}, {"PARD_CENA", 0.89}, {"CENA", 0.7},
                        {"DAUDZUMS", 4}, {"NODOKLIS", 21}, {"ISSERTIF", 0}};

class RequestKeysTest : public WaybillTest {
protected:
    // The answer object of a keyed execute.
    const QJsonObject keyed(const QString& provider, const QJsonValue& params, const QString& key,
                      service::RpcSession* on = nullptr)
    {
        return call("execute", keyedRequest(provider, params, key), on);
    }

    std::int64_t count(const QString& sql) { return select(sql).at(0).at(0).toInt64(); }
};

}  // namespace

TEST_F(RequestKeysTest, AKeySentAgainIsAnsweredAsTheFirstAndChangesNothing)
{
    const QJsonObject first = keyed("DataSetProvider_O_PARPAVins", newWaybill(2), "waybill-1");
    ASSERT_TRUE(first.contains("result")) << QJsonDocument(first).toJson().toStdString();
    service::RpcSession other(context);
    EXPECT_EQ(keyed("DataSetProvider_O_PARPAVins", newWaybill(2), "waybill-1")["result"], first["result"]);
    EXPECT_EQ(keyed("DataSetProvider_O_PARPAVins", newWaybill(2), "waybill-1", &other)["result"], first["result"]);
    // The same request in the list form is the same request.
    const QJsonArray asList{QJsonObject{{"name", "DATUMS"}, {"value", "2026-12-09"}},
                            QJsonObject{{"name", "ISNODALANO"}, {"value", 99}},
                            QJsonObject{{"name", "ISNODALAUZ"}, {"value", 2}},
                            QJsonObject{{"name", "NR_PAVADZ"}, {"value", "from client"}}};
    EXPECT_EQ(keyed("DataSetProvider_O_PARPAVins", asList, "waybill-1", &other)["result"], first["result"]);
    EXPECT_EQ(count("SELECT COUNT(*) FROM O_PARPAV"), 1);
    EXPECT_EQ(storedCounter(), QVariant(QString("9171900002")));  // advanced once

    QJsonObject line = kLine;
    line["ISPARVPAV"] = first["result"]["ISN"];
    const QJsonObject firstLine = keyed("DataSetProvider_O_PARPRCins", line, "line-1");
    EXPECT_EQ(keyed("DataSetProvider_O_PARPRCins", line, "line-1", &other)["result"], firstLine["result"]);
    EXPECT_EQ(count("SELECT COUNT(*) FROM O_PARPRC"), 1);

    // Another key is another request.
    EXPECT_NE(keyed("DataSetProvider_O_PARPRCins", line, "line-2")["result"], firstLine["result"]);
    EXPECT_EQ(count("SELECT COUNT(*) FROM O_PARPRC"), 2);
}

TEST_F(RequestKeysTest, TheKeyOfOneRequestIsRefusedForAnother)
{
    ASSERT_TRUE(keyed("DataSetProvider_O_PARPAVins", newWaybill(2), "k").contains("result"));
    for (const QJsonObject& other : {keyedRequest("DataSetProvider_O_PARPAVins", newWaybill(3), "k"),
                                     keyedRequest("DataSetProvider_O_PARPAVupd", QJsonObject{{"ISMASINA", 1}, {"ISN", 1}}, "k")}) {
        const QJsonObject error = call("execute", other)["error"].toObject();
        EXPECT_EQ(error["code"], -32602);
        EXPECT_TRUE(error["message"].toString().contains("'k' was used for DataSetProvider_O_PARPAVins"))
            << error["message"].toString().toStdString();
    }
    EXPECT_EQ(count("SELECT COUNT(*) FROM O_PARPAV"), 1);
    EXPECT_TRUE(select("SELECT ISMASINA FROM O_PARPAV").at(0).at(0).isNull());
}

TEST_F(RequestKeysTest, ARequestThatFailedKeepsNoAnswer)
{
    QJsonObject withoutNumber = newWaybill(2);
    withoutNumber.remove("NR_PAVADZ");
    EXPECT_EQ(keyed("DataSetProvider_O_PARPAVins", withoutNumber, "k")["error"]["code"], -32602);
    EXPECT_EQ(count("SELECT COUNT(*) FROM KELVO_REQUESTS"), 0);
    // Sent again as it should have been, it runs.
    EXPECT_EQ(keyed("DataSetProvider_O_PARPAVins", newWaybill(2), "k")["result"]["rowsAffected"], 1);
    EXPECT_EQ(count("SELECT COUNT(*) FROM O_PARPAV"), 1);
}

// The first request waits on another transaction's uncommitted waybill of
// the key its insert is about to take; the second, sent with the same
// request key on another connection, waits on the first's key. When that
// transaction is rolled back the first runs, and the second gets its answer.
TEST_F(RequestKeysTest, ASecondSendWhileTheFirstRunsWaitsForItsAnswer)
{
    const auto holder = database.connect(db::TransactionMode::Explicit);
    db::Query(*holder, QStringLiteral("INSERT INTO O_PARPAV (ISN, NR_PAVADZ) VALUES (GEN_ID(O_PARPAVGEN, 0) + 1, 'x')"))
        .execute();

    const QByteArray line = requestLine(1, "execute", keyedRequest("DataSetProvider_O_PARPAVins", newWaybill(2), "k"));
    service::RpcSession first(context), second(context);
    QJsonObject firstAnswer, secondAnswer;
    std::thread firstSend([&] { firstAnswer = parseLine(first.handle(line)); });
    const bool firstWaits = statementRuns("INSERT INTO O_PARPAV");
    std::thread secondSend([&] { secondAnswer = parseLine(second.handle(line)); });
    const bool secondWaits = statementRuns("INSERT INTO KELVO_REQUESTS");
    holder->transaction().rollback();
    firstSend.join();
    secondSend.join();
    ASSERT_TRUE(firstWaits);
    ASSERT_TRUE(secondWaits);

    ASSERT_TRUE(firstAnswer.contains("result")) << QJsonDocument(firstAnswer).toJson().toStdString();
    EXPECT_EQ(secondAnswer["result"], firstAnswer["result"]);
    EXPECT_EQ(count("SELECT COUNT(*) FROM O_PARPAV"), 1);
    EXPECT_EQ(storedCounter(), QVariant(QString("9171900002")));
}

// A keyed update that waited on another connection's update of the same row
// fails with that one's commit; its whole transaction, key and all, runs
// again and the update is carried out once.
TEST_F(RequestKeysTest, AKeyedUpdateThatMetACommittedUpdateRunsAgainWhole)
{
    const auto holder = database.connect(db::TransactionMode::Explicit);
    db::Query(*holder, QStringLiteral("UPDATE O_PASPRC SET ATKR_DAUDZ = 5 WHERE ISN = 1001")).execute();
    const QJsonObject collected{{"ATKR_DAUDZ", 10}, {"ISPASPRC", 0}, {"ISN", 1001}};
    QJsonObject answer;
    std::thread handheld([&] { answer = keyed("DataSetProvider_O_PASPRCupd", collected, "k"); });
    const bool waits = statementRuns("update O_PASPRC");
    holder->transaction().commit();
    handheld.join();
    ASSERT_TRUE(waits);

    EXPECT_EQ(answer["result"], (QJsonObject{{"rowsAffected", 1}})) << QJsonDocument(answer).toJson().toStdString();
    EXPECT_EQ(select("SELECT ATKR_DAUDZ FROM O_PASPRC WHERE ISN = 1001").at(0).at(0), db::Value(10.0));
    EXPECT_EQ(count("SELECT COUNT(*) FROM KELVO_REQUESTS WHERE ANSWER IS NOT NULL"), 1);
}

TEST_F(RequestKeysTest, WithoutTheTableAKeyedRequestRunsAsOneWithoutAKey)
{
    EXPECT_TRUE(service::checkRequestKeys(database.options()).available);
    database.run(QStringLiteral("DROP TABLE KELVO_REQUESTS"));
    const service::RequestKeysCheck check = service::checkRequestKeys(database.options());
    EXPECT_FALSE(check.available);
    EXPECT_TRUE(check.detail.contains("KELVO_REQUESTS")) << check.detail.toStdString();

    testing::internal::CaptureStderr();
    const QJsonObject first = keyed("DataSetProvider_O_PARPAVins", newWaybill(2), "k");
    const QJsonObject again = keyed("DataSetProvider_O_PARPAVins", newWaybill(2), "k");
    const QString log = QString::fromStdString(testing::internal::GetCapturedStderr());
    EXPECT_EQ(first["result"]["NR_PAVADZ"], "9171900001");
    EXPECT_EQ(again["result"]["NR_PAVADZ"], "9171900002");
    EXPECT_EQ(count("SELECT COUNT(*) FROM O_PARPAV"), 2);
    EXPECT_EQ(log.count("event=request_keys.missing"), 1) << log.toStdString();  // once a session
}

TEST_F(RequestKeysTest, KeysOlderThanAWeekAreRemoved)
{
    database.run(QStringLiteral(
        "INSERT INTO KELVO_REQUESTS (REQUEST_KEY, PROVIDER, PARAMS_HASH, ANSWER, CREATED) "
        "VALUES ('old', 'P', 'h', '{}', CURRENT_TIMESTAMP - 7.01);"
        "INSERT INTO KELVO_REQUESTS (REQUEST_KEY, PROVIDER, PARAMS_HASH, ANSWER, CREATED) "
        "VALUES ('recent', 'P', 'h', '{}', CURRENT_TIMESTAMP - 6.99)"));
    const auto connection = database.connect();
    service::RequestKeys(*connection).removeExpired();
    EXPECT_EQ(select("SELECT REQUEST_KEY FROM KELVO_REQUESTS"), (std::vector<std::vector<db::Value>>{{"recent"}}));
}

// db/request-keys.sql adds to an existing database the table db/schema.sql
// makes in a new one.
TEST_F(RequestKeysTest, TheScriptOfItsOwnMakesTheTableTheSchemaHas)
{
    const QString layout = QStringLiteral(
        "SELECT TRIM(RF.RDB$FIELD_NAME), F.RDB$FIELD_TYPE, F.RDB$FIELD_LENGTH, COALESCE(RF.RDB$NULL_FLAG, 0), "
        "CAST(RF.RDB$DEFAULT_SOURCE AS VARCHAR(100)) "
        "FROM RDB$RELATION_FIELDS RF JOIN RDB$FIELDS F ON F.RDB$FIELD_NAME = RF.RDB$FIELD_SOURCE "
        "WHERE RF.RDB$RELATION_NAME = 'KELVO_REQUESTS' ORDER BY RF.RDB$FIELD_POSITION");
    const QString indices = QStringLiteral(
        "SELECT TRIM(I.RDB$INDEX_NAME), TRIM(S.RDB$FIELD_NAME), COALESCE(I.RDB$UNIQUE_FLAG, 0) FROM RDB$INDICES I "
        "JOIN RDB$INDEX_SEGMENTS S ON S.RDB$INDEX_NAME = I.RDB$INDEX_NAME "
        "WHERE I.RDB$RELATION_NAME = 'KELVO_REQUESTS' ORDER BY 1, 2");
    const auto fromSchema = select(layout);
    const auto indicesFromSchema = select(indices);
    ASSERT_EQ(fromSchema.size(), 5u);

    database.run(QStringLiteral("DROP TABLE KELVO_REQUESTS"));
    QFile script(testsupport::sourcePath("db/request-keys.sql"));
    ASSERT_TRUE(script.open(QIODevice::ReadOnly));
    database.run(QString::fromUtf8(script.readAll()));
    EXPECT_EQ(select(layout), fromSchema);
    EXPECT_EQ(select(indices), indicesFromSchema);
}
