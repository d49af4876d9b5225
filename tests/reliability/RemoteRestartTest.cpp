// Remote mode: the Firebird server is stopped and started again while
// handhelds stay connected to kelvo's container. Requests in between fail
// with the database's message; afterwards the same connections are served
// again, without the handhelds reconnecting.

#include "ServedSessions.h"
#include "WaybillFixture.h"

#include <QFile>
#include <QJsonDocument>
#include <QProcess>
#include <QUuid>

#include <algorithm>

using namespace servicetest;

namespace {

class RemoteRestartTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        QFile portFile(serverDir + QStringLiteral("/port"));
        ASSERT_TRUE(portFile.open(QIODevice::ReadOnly)) << "no test server in " << serverDir.toStdString();
        // A copy of the tests' template: made through the server on disk it
        // would take seconds.
        const QString path = QStringLiteral("%1/db/%2.fdb").arg(serverDir, QUuid::createUuid().toString(QUuid::Id128));
        testsupport::copyFreshDatabase(path);
        options.database =
            QStringLiteral("127.0.0.1/%1:%2").arg(QString::fromLatin1(portFile.readAll()).trimmed(), path);
        options.password = QStringLiteral("plovnigur");
        db::Connection(options).runScript(QString::fromUtf8(kWaybillRows));

        operatorValues = std::make_unique<operator_state::OperatorValues>();
        operatorValues->setSendingDepartment(1);
        operatorValues->setDateFrom(kDay);
        operatorValues->setDateTo(kDay);
        context.employeeConnection = options;
        context.operatorValues = operatorValues.get();
        context.settingsStore = &store;
    }

    void TearDown() override
    {
        if (stopped)
            server("restart");
        db::Connection(options).dropDatabase();
    }

    // Runs the test server's script: start, stop or restart.
    bool server(const char* action)
    {
        stopped = QString::fromLatin1(action) == QLatin1String("stop");
        return QProcess::execute(QStringLiteral(FIREBIRD_TEST_SERVER), {QString::fromLatin1(action), serverDir}) == 0;
    }

    const QString serverDir = qEnvironmentVariable("KELVO_TEST_SERVER_DIR");
    bool stopped = false;
    db::ConnectionOptions options;
    QTemporaryDir storeDir{testsupport::scratchFolderTemplate()};
    operator_state::SettingsStore store{storeDir.filePath("Dravun.json")};
    std::unique_ptr<operator_state::OperatorValues> operatorValues;
    service::ServiceContext context;
};

const QByteArray kPendingLines =
    requestLine(1, "open", QJsonObject{{"provider", "DataSetProvider_EMPLOYEE"},
                                       {"params", QJsonObject{{"ISPRECE", 1}, {"GRUPA", "R"}}}});
// Runs on the scan threads, not on the connection's own.
const QByteArray kGoodsList = requestLine(3, "open", QJsonObject{{"provider", "DataSetProvider_PRECE"}});
const QByteArray kCollect =
    requestLine(2, "execute", QJsonObject{{"provider", "DataSetProvider_O_PASPRCupd"},
                                          {"params", QJsonObject{{"ATKR_DAUDZ", 4}, {"ISPASPRC", 0}, {"ISN", 1001}}}});

std::vector<qint64> keys(const QJsonObject& response, const char* column)
{
    EXPECT_TRUE(response.contains("result")) << QJsonDocument(response).toJson(QJsonDocument::Compact).toStdString();
    std::vector<qint64> values = integerColumn(response["result"].toObject(), column);
    std::sort(values.begin(), values.end());
    return values;
}

std::vector<qint64> pendingLineKeys(const QJsonObject& response)
{
    return keys(response, "ISN");
}

TEST_F(RemoteRestartTest, RequestsFailWhileTheDatabaseIsDownAndSucceedAfterOnTheSameConnection)
{
    reliability::ServedSessions served(context);
    reliability::LineClient active(served.port());
    reliability::LineClient idle(served.port());
    ASSERT_EQ(pendingLineKeys(active.ask(kPendingLines)), std::vector<qint64>{1001});
    ASSERT_EQ(pendingLineKeys(idle.ask(kPendingLines)), std::vector<qint64>{1001});

    ASSERT_TRUE(server("stop"));
    // The first finds its connection lost, the next cannot attach.
    for (const QByteArray& line : {kGoodsList, kPendingLines, kCollect, kGoodsList}) {
        const QJsonObject error = active.ask(line)["error"].toObject();
        EXPECT_EQ(error["code"].toInt(), service::rpc::DatabaseError);
        EXPECT_FALSE(error["message"].toString().isEmpty());
    }
    ASSERT_TRUE(server("restart"));

    EXPECT_EQ(keys(active.ask(kGoodsList), "ISPRECE"), (std::vector<qint64>{1, 2}));
    EXPECT_EQ(pendingLineKeys(active.ask(kPendingLines)), std::vector<qint64>{1001});
    EXPECT_EQ(active.ask(kCollect)["result"].toObject()["rowsAffected"].toInt(), 1);
    // The idle one learns of its lost connection with its next request,
    // which may fail so; the one after is served.
    const QJsonObject idlesFirst = idle.ask(kPendingLines);
    if (idlesFirst.contains("error")) {
        EXPECT_EQ(idlesFirst["error"].toObject()["code"].toInt(), service::rpc::DatabaseError);
    }
    EXPECT_EQ(pendingLineKeys(idle.ask(kPendingLines)), std::vector<qint64>{1001});
    EXPECT_TRUE(active.isConnected());
    EXPECT_TRUE(idle.isConnected());
}

}  // namespace
