// SIGTERM to a headless kelvo-server while handhelds keep it busy: it ends
// within a few seconds and saves the settings. Its settings file was cut
// short or held garbage, which reads as no settings: the design values and
// today's dates apply, and the file is written whole at the end.

#include "ServedSessions.h"
#include "WaybillFixture.h"

#include "CaseName.h"
#include "Query.h"
#include "ServerProcess.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QProcess>
#include <QTcpServer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

using namespace servicetest;

namespace {

constexpr int kHandhelds = 3;

struct BrokenStore {
    const char* name;
    const char* content;
};

void PrintTo(const BrokenStore& store, std::ostream* os)
{
    *os << store.name;
}

const BrokenStore kBrokenStores[] = {
    {"CutShort", R"({"Datums": "01.11.2026", "Nodala": 3, "Kopijas": 4, "TekPZNr_PL": "91719)"},
    {"Garbage", "\x13\xff garbage"},
};

quint16 freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

// Sends the handheld mix until the server closes the connection; counts
// the answers and any answer that is no result.
struct BusyHandheld {
    void run(quint16 port)
    {
        reliability::LineClient client(port);
        const QByteArray requests[] = {
            requestLine(1, "EchoString", QJsonArray{"sveiki"}),
            requestLine(2, "open", QJsonObject{{"provider", "DataSetProvider_PRECE"}}),
            requestLine(3, "execute",
                        QJsonObject{{"provider", "DataSetProvider_O_PARPAVins"}, {"params", newWaybill(1)}}),
        };
        for (int i = 0; client.isConnected(); ++i) {
            client.send(requests[i % 3]);
            const QByteArray answer = client.nextLine(10000);
            if (answer.isNull())
                break;
            ++answers;
            if (!QJsonDocument::fromJson(answer).object().contains("result") && failures++ == 0)
                firstFailure = answer;
        }
    }

    std::atomic<int> answers = 0;
    std::atomic<int> failures = 0;
    QByteArray firstFailure;
};

class SigtermTest : public ::testing::TestWithParam<BrokenStore> {
protected:
    QString storeFile() const { return home.filePath("config/ZEMBRIK/Tolvira/Dravun.json"); }

    QJsonObject storedObject() const
    {
        QFile file(storeFile());
        return file.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(file.readAll()).object() : QJsonObject{};
    }

    void startServer(quint16 port)
    {
        QDir().mkpath(QFileInfo(storeFile()).absolutePath());
        QFile store(storeFile());
        ASSERT_TRUE(store.open(QIODevice::WriteOnly));
        store.write(GetParam().content);
        store.close();

        testsupport::startHeadlessServer(server, QStringLiteral(KELVO_SERVER), home, database.options().database, port);
        ASSERT_TRUE(server.waitForStarted());
    }

    std::int64_t waybillsInTheDatabase() const
    {
        const auto connection = database.connect();
        db::Query count(*connection, QStringLiteral("SELECT COUNT(*) FROM O_PARPAV"));
        count.open();
        return count.field(0).asInt64();
    }

    bool listens(quint16 port)
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (server.state() == QProcess::Running && std::chrono::steady_clock::now() < deadline) {
            if (reliability::LineClient(port).isConnected())
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return false;
    }

    testsupport::TestDatabase database;
    QTemporaryDir home{testsupport::scratchFolderTemplate()};
    QProcess server;
};

TEST_P(SigtermTest, EndsSoonWhileServingAndSavesTheSettings)
{
    database.run(QString::fromUtf8(kWaybillRows));
    const quint16 port = freePort();
    startServer(port);
    ASSERT_TRUE(listens(port)) << server.readAllStandardError().toStdString();

    BusyHandheld handhelds[kHandhelds];
    std::vector<std::thread> threads;
    for (BusyHandheld& handheld : handhelds)
        threads.emplace_back([&handheld, port] { handheld.run(port); });
    // Requests are running on every connection.
    const auto busy = [&] {
        return std::all_of(std::begin(handhelds), std::end(handhelds), [](const BusyHandheld& h) { return h.answers >= 6; });
    };
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!busy() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_TRUE(busy());

    const auto signalled = std::chrono::steady_clock::now();
    server.terminate();
    const bool ended = server.waitForFinished(10000);
    const auto took = std::chrono::steady_clock::now() - signalled;
    if (!ended)
        server.kill();
    for (std::thread& thread : threads)
        thread.join();

    ASSERT_TRUE(ended) << "kelvo-server did not end within 10 s of SIGTERM";
    EXPECT_LT(took, std::chrono::seconds(10));
    EXPECT_EQ(server.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(server.exitCode(), 0) << server.readAllStandardError().toStdString();
    for (const BusyHandheld& handheld : handhelds)
        EXPECT_EQ(handheld.failures, 0) << handheld.firstFailure.toStdString();

    // The broken file read as no settings; the save wrote today's dates,
    // the design copies and the counter after the last waybill made.
    const auto waybills = static_cast<std::uint64_t>(waybillsInTheDatabase());
    const QString today = QDate::currentDate().toString("dd.MM.yyyy");
    EXPECT_EQ(QJsonDocument(storedObject()).toJson().toStdString(), QJsonDocument(QJsonObject{{"Datums", today},
                                           {"Datums2", today},
                                           {"Kopijas", 2},
                                           {"TekPZNr_PL", service::waybillNumberText(service::kFirstWaybillNumber + waybills)}}).toJson().toStdString());
}

INSTANTIATE_TEST_SUITE_P(Stores, SigtermTest, ::testing::ValuesIn(kBrokenStores),
                         testsupport::CaseName());

}  // namespace
