// A handheld that drops its connection while its waybill is being printed:
// the print finishes, the waybill is blocked, and the server goes on serving
// and printing for the others.

#include "PrintFixture.h"
#include "ServedSessions.h"
#include "ServiceFixture.h"

#include "Query.h"

#include <QJsonDocument>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

using namespace servicetest;

namespace {

constexpr auto kPatience = std::chrono::seconds(30);

// The jobs of every device, recorded; painting waits at a gate until the
// test opens it, so that the test can act while a print is under way.
class GatedPrinting {
public:
    void waitAtGate()
    {
        std::unique_lock lock(mutex_);
        ++painting_;
        changed_.notify_all();
        changed_.wait(lock, [&] { return open_; });
    }
    void openGate()
    {
        std::lock_guard lock(mutex_);
        open_ = true;
        changed_.notify_all();
    }
    bool waitUntilPainting(int jobs)
    {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, kPatience, [&] { return painting_ >= jobs; });
    }
    // Runs `use` on the recording under the lock.
    template <typename Use>
    auto withRecording(Use&& use)
    {
        std::lock_guard lock(mutex_);
        changed_.notify_all();
        return use(recording_);
    }
    int endedJobs()
    {
        return withRecording([](const engine::RecordingDevice& recording) {
            return static_cast<int>(std::count_if(recording.jobs().begin(), recording.jobs().end(), [](const auto& job) {
                return job.state == engine::RecordingDevice::JobState::Ended;
            }));
        });
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    int painting_ = 0;
    bool open_ = false;
    engine::RecordingDevice recording_;
};

class GatedDevice : public engine::OutputDevice {
public:
    explicit GatedDevice(GatedPrinting& printing) : printing_(printing) {}

    bool isUsable() const override { return true; }
    void beginJob(const engine::PrintJob& job) override
    {
        printing_.withRecording([&](engine::RecordingDevice& r) { r.beginJob(job); });
    }
    bool paint(const engine::PageDocument& document, const CancelCheck& cancelled) override
    {
        printing_.waitAtGate();
        return printing_.withRecording([&](engine::RecordingDevice& r) { return r.paint(document, cancelled); });
    }
    void endJob() override
    {
        printing_.withRecording([](engine::RecordingDevice& r) { r.endJob(); });
    }
    void abandonJob() override
    {
        printing_.withRecording([](engine::RecordingDevice& r) { r.abandonJob(); });
    }

private:
    GatedPrinting& printing_;
};

// The demo warehouse: waybills 1 (to department 2) and 5 are open and print
// on the general form.
class PrintDisconnectTest : public servicetest::PrintFixture {
protected:
    PrintDisconnectTest()
        : PrintFixture([this](std::int32_t, const QString&) {
              return printing::Destination{std::make_unique<GatedDevice>(printing), QStringLiteral("gate")};
          })
    {
    }

    bool blockedWithin(std::int32_t waybill, std::chrono::seconds patience)
    {
        const auto deadline = std::chrono::steady_clock::now() + patience;
        auto connection = database.connect();
        db::Query query(*connection, QStringLiteral("SELECT PZ_BLOK FROM O_PARPAV WHERE ISN = :ISN"));
        do {
            query.param(u"ISN").setValue(waybill);
            query.open();
            if (query.field(u"PZ_BLOK").asString() == QStringLiteral("T"))
                return true;
            query.close();
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        } while (std::chrono::steady_clock::now() < deadline);
        return false;
    }

    GatedPrinting printing;
};

TEST_F(PrintDisconnectTest, TheWaybillOfAClientGoneMidPrintIsPrintedAndBlocked)
{
    reliability::ServedSessions server(context);
    reliability::LineClient leaving(server.port());
    leaving.send(servicetest::printRequestLine(1));
    ASSERT_TRUE(printing.waitUntilPainting(1));
    leaving.abort();
    printing.openGate();

    EXPECT_TRUE(blockedWithin(1, kPatience));
    EXPECT_EQ(printing.endedJobs(), 1);

    // The others are still served, and the print lock was let go.
    reliability::LineClient staying(server.port());
    const QJsonObject openList = staying.ask(requestLine(
        1, "open",
        QJsonObject{{"provider", "DataSetProvider_O_PARPAV"},
                    {"params", QJsonObject{{"DATUMS", QDate::currentDate().toString(Qt::ISODate)}, {"ISNODALANO", 1},
                                           {"ISNODALAUZ", 2}}}}));
    ASSERT_TRUE(openList.contains("result")) << QJsonDocument(openList).toJson().toStdString();
    EXPECT_TRUE(openList["result"]["rows"].toArray().isEmpty());
    const QJsonObject next = staying.ask(servicetest::printRequestLine(5));
    EXPECT_FALSE(next.contains("error")) << QJsonDocument(next).toJson().toStdString();
    EXPECT_EQ(integerColumn(next["result"].toObject(), "ISN"), std::vector<qint64>{5});
    EXPECT_EQ(printing.endedJobs(), 2);
    EXPECT_TRUE(blockedWithin(5, std::chrono::seconds(0)));
}

}  // namespace
