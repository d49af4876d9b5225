// A kelvo-server process on an embedded database: a keyed waybill insert,
// the server killed (SIGKILL) after the insert's commit and before the
// handheld took the answer, the server started again, the request sent once
// more: it is answered as the first time and the waybill exists once.
//
// The answer is written only after the commit of the request's transaction,
// so its first byte at the client proves the commit; the kill follows at
// once and the client drops what it received, as a handheld whose network
// went at that moment. Whether the answer was still in the server's socket
// or already in the client's makes no difference to the database, which is
// all the restarted server has.
//
// The start-up says in the log whether retries are safe.

#include "WaybillFixture.h"

#include "Query.h"
#include "ServerProcess.h"

#include <QJsonDocument>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>

#include <chrono>
#include <thread>

using namespace servicetest;

namespace {

constexpr int kDeadlineMs = 60000;

quint16 freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

class ServerProcessTest : public ::testing::Test {
protected:
    ServerProcessTest() { database.run(QString::fromUtf8(kWaybillRows)); }

    ~ServerProcessTest() override
    {
        if (server.state() != QProcess::NotRunning) {
            server.kill();
            server.waitForFinished(kDeadlineMs);
        }
    }

    QString storeFile() const { return home.filePath("config/ZEMBRIK/Tolvira/Dravun.json"); }

    // Starts kelvo-server and waits for the start-up's line on request
    // keys, which comes once the server serves; returns that line.
    QByteArray start()
    {
        port = freePort();
        testsupport::startHeadlessServer(server, QStringLiteral(KELVO_SERVER), home, database.options().database, port);
        if (!server.waitForStarted(kDeadlineMs))
            return {};
        QByteArray log;
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(kDeadlineMs);
        while (std::chrono::steady_clock::now() < until && server.state() == QProcess::Running) {
            server.waitForReadyRead(100);
            log += server.readAllStandardError();
            const qsizetype at = log.indexOf("event=request_keys.checked");
            if (at >= 0 && log.indexOf('\n', at) > at)
                return log.mid(at, log.indexOf('\n', at) - at);
        }
        ADD_FAILURE() << "no start-up line on request keys: " << log.toStdString();
        return {};
    }

    // One request line on a new connection; its answer line as it arrived.
    QByteArray send(const QByteArray& line)
    {
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, port);
        if (!socket.waitForConnected(kDeadlineMs))
            return {};
        socket.write(line + '\n');
        while (!socket.canReadLine() && socket.waitForReadyRead(kDeadlineMs)) {
        }
        return socket.readLine().trimmed();
    }

    std::vector<std::vector<db::Value>> select(const QString& sql) const
    {
        const auto connection = database.connect();
        db::Query query(*connection, sql);
        std::vector<std::vector<db::Value>> rows;
        for (query.open(); !query.eof(); query.next()) {
            rows.emplace_back();
            for (int i = 0; i < static_cast<int>(query.columns().size()); ++i)
                rows.back().push_back(query.value(i));
        }
        return rows;
    }

    testsupport::TestDatabase database;
    QTemporaryDir home;
    QProcess server;
    quint16 port = 0;
};

}  // namespace

TEST_F(ServerProcessTest, AWaybillResentAfterTheServerWasKilledPastItsCommitIsCreatedOnce)
{
    const QByteArray insert = requestLine(
        7, "execute",
        QJsonObject{{"provider", "DataSetProvider_O_PARPAVins"}, {"params", newWaybill(2)}, {"requestKey", "shift-7/1"}});

    EXPECT_TRUE(start().contains("retries_safe=true"));
    const QByteArray answered = send(insert);
    server.kill();
    ASSERT_TRUE(server.waitForFinished(kDeadlineMs));
    EXPECT_EQ(server.exitStatus(), QProcess::CrashExit);
    const QJsonObject first = QJsonDocument::fromJson(answered).object();
    ASSERT_TRUE(first.contains("result")) << answered.toStdString();

    EXPECT_TRUE(start().contains("retries_safe=true"));
    EXPECT_EQ(send(insert), answered);
    server.terminate();
    ASSERT_TRUE(server.waitForFinished(kDeadlineMs));

    EXPECT_EQ(select("SELECT ISN, NR_PAVADZ FROM O_PARPAV"),
              (std::vector<std::vector<db::Value>>{{static_cast<std::int32_t>(first["result"]["ISN"].toInt()),
                                                    first["result"]["NR_PAVADZ"].toString()}}));
    QFile store(storeFile());
    ASSERT_TRUE(store.open(QIODevice::ReadOnly));
    EXPECT_EQ(QJsonDocument::fromJson(store.readAll())["TekPZNr_PL"], "9171900002");
}

TEST_F(ServerProcessTest, TheStartUpSaysRetriesAreNotSafeWithoutTheTable)
{
    database.run(QStringLiteral("DROP TABLE KELVO_REQUESTS"));
    const QByteArray line = start();
    EXPECT_TRUE(line.contains("retries_safe=false")) << line.toStdString();
    EXPECT_TRUE(line.contains("db/request-keys.sql")) << line.toStdString();
    // Everything else is served as before.
    EXPECT_EQ(QJsonDocument::fromJson(send(requestLine(1, "execute",
                                                       QJsonObject{{"provider", "DataSetProvider_O_PARPAVins"},
                                                                   {"params", newWaybill(2)},
                                                                   {"requestKey", "k"}})))["result"]["rowsAffected"],
              1);
}
