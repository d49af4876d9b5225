// Remote mode: the Firebird server is stopped and started again while
// handhelds stay connected to kelvo's container. Requests in between fail
// with the database's message; afterwards the same connections are served
// again, without the handhelds reconnecting, and waybills print again on the
// operator's connection.

#include "PrintFixture.h"
#include "ServedSessions.h"
#include "WaybillFixture.h"

#include <QFile>
#include <QJsonDocument>
#include <QProcess>
#include <QUuid>

#include <algorithm>

using namespace servicetest;

namespace {

// A database of the test's own on the test server, which the test may stop
// and start again.
class RemoteServerTest : public ::testing::Test {
protected:
    // Makes the database from the schema and `scripts`.
    void createDatabase(const QStringList& scripts)
    {
        QFile portFile(serverDir + QStringLiteral("/port"));
        ASSERT_TRUE(portFile.open(QIODevice::ReadOnly)) << "no test server in " << serverDir.toStdString();
        // A copy of the tests' template: made through the server on disk it
        // would take seconds.
        const QString path = QStringLiteral("%1/db/%2.fdb").arg(serverDir, QUuid::createUuid().toString(QUuid::Id128));
        testsupport::copyFreshDatabase(path, scripts);
        created = true;
        options.database =
            QStringLiteral("127.0.0.1/%1:%2").arg(QString::fromLatin1(portFile.readAll()).trimmed(), path);
        options.password = QStringLiteral("plovnigur");
    }

    void TearDown() override
    {
        if (stopped)
            server("restart");
        if (created)
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
    bool created = false;
    db::ConnectionOptions options;
    QTemporaryDir storeDir{testsupport::scratchFolderTemplate()};
    operator_state::SettingsStore store{storeDir.filePath("Dravun.json")};
    service::ServiceContext context;
};

class RemoteRestartTest : public RemoteServerTest {
protected:
    void SetUp() override
    {
        createDatabase({});
        db::Connection(options).runScript(QString::fromUtf8(kWaybillRows));

        operatorValues = std::make_unique<operator_state::OperatorValues>();
        operatorValues->setSendingDepartment(1);
        operatorValues->setDateFrom(kDay);
        operatorValues->setDateTo(kDay);
        context.employeeConnection = options;
        context.operatorValues = operatorValues.get();
        context.settingsStore = &store;
    }

    std::unique_ptr<operator_state::OperatorValues> operatorValues;
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

// The demo warehouse on the test server, printed through the operator's own
// connection to it, as kelvo-server prints.
class RemotePrintTest : public RemoteServerTest {
protected:
    void SetUp() override
    {
        createDatabase({testsupport::sourcePath(QStringLiteral("db/demo-data.sql"))});
        db::ConnectionOptions operatorOptions = options;
        operatorOptions.mode = db::TransactionMode::Explicit;
        operatorDatabase = std::make_unique<operator_state::OperatorDatabase>(operatorOptions, printLock);
        station = std::make_unique<printing::PrintStation>(operatorValues, *operatorDatabase, [](std::int32_t, const QString&) {
            return printing::Destination{std::make_unique<engine::RecordingDevice>(), QStringLiteral("recording")};
        });
        operatorDatabase->openDepartmentLists(printLock.acquire());
        context.employeeConnection = options;
        context.operatorValues = &operatorValues;
        context.settingsStore = &store;
        context.printWaybill = [this](std::int32_t isn, std::int32_t alcoholLines) {
            station->printRequest(isn, alcoholLines);
        };
    }

    void TearDown() override
    {
        station.reset();
        operatorDatabase.reset();  // its connection goes before the database does
        RemoteServerTest::TearDown();
    }

    // Empty when the response is the row of waybill 5, printed; else the
    // response.
    static std::string printFailure(const QJsonObject& response)
    {
        if (!response.contains("error") && integerColumn(response["result"].toObject(), "ISN") == std::vector<qint64>{5})
            return {};
        return QJsonDocument(response).toJson(QJsonDocument::Compact).toStdString();
    }

    int printedJobs() const
    {
        const std::vector<printing::PrintEntry> entries = station->journal().entries();
        return static_cast<int>(std::count_if(entries.begin(), entries.end(), [](const printing::PrintEntry& entry) {
            return entry.outcome == printing::PrintOutcome::Printed;
        }));
    }

    operator_state::OperatorValues operatorValues;
    operator_state::PrintLock printLock;
    std::unique_ptr<operator_state::OperatorDatabase> operatorDatabase;
    std::unique_ptr<printing::PrintStation> station;
};

TEST_F(RemotePrintTest, PrintsWorkAgainAfterTheDatabaseServerWasStoppedAndStartedUnderConnectedClients)
{
    reliability::ServedSessions served(context);
    reliability::LineClient handheld(served.port());
    reliability::LineClient idle(served.port());
    ASSERT_EQ(printFailure(handheld.ask(printRequestLine(5))), "");
    ASSERT_FALSE(idle.ask(requestLine(1, "EchoString", QJsonArray{"here"})).contains("error"));

    ASSERT_TRUE(server("stop"));
    const QJsonObject down = handheld.ask(printRequestLine(5))["error"].toObject();
    EXPECT_EQ(down["code"].toInt(), service::rpc::DatabaseError);
    EXPECT_FALSE(down["message"].toString().isEmpty());
    ASSERT_TRUE(server("restart"));

    // The print that finds the operator's connection lost fails with the
    // database's message, as does the idle one's first request, which finds
    // its session's connection lost; from then on they attach anew.
    for (reliability::LineClient* client : {&handheld, &idle}) {
        const QJsonObject first = client->ask(printRequestLine(5));
        if (first.contains("error")) {
            EXPECT_EQ(first["error"]["code"].toInt(), service::rpc::DatabaseError);
        }
    }
    const int before = printedJobs();
    for (int print = 0; print < 4; ++print)
        EXPECT_EQ(printFailure((print % 2 ? idle : handheld).ask(printRequestLine(5))), "") << "print " << print;
    EXPECT_EQ(printedJobs(), before + 4);
    EXPECT_FALSE(operatorDatabase->sendingDepartmentList().empty());
    EXPECT_TRUE(handheld.isConnected());
    EXPECT_TRUE(idle.isConnected());
}

}  // namespace
