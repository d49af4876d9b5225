// The print request through a service session: the form it chooses, the
// copies, the blocking, the department lists, failures, and one print at a
// time. Printing goes to recording devices; the demo warehouse is the data.

#include "PrintFixture.h"
#include "ServiceFixture.h"

#include <QDate>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

using namespace servicetest;

namespace {

// Hands every job to one shared recording, with a pause while painting so
// that overlapping prints would show.
class SharedRecording : public engine::OutputDevice {
public:
    struct Log {
        std::mutex mutex;
        engine::RecordingDevice recording;
        std::vector<std::pair<std::chrono::steady_clock::time_point, std::chrono::steady_clock::time_point>> spans;
        std::chrono::milliseconds pause{0};
    };

    explicit SharedRecording(Log& log) : log_(log) {}

    bool isUsable() const override { return true; }
    void beginJob(const engine::PrintJob& job) override
    {
        started_ = std::chrono::steady_clock::now();
        std::lock_guard lock(log_.mutex);
        log_.recording.beginJob(job);
    }
    bool paint(const engine::PageDocument& document, const CancelCheck& cancelled) override
    {
        std::this_thread::sleep_for(log_.pause);
        std::lock_guard lock(log_.mutex);
        return log_.recording.paint(document, cancelled);
    }
    void endJob() override
    {
        std::lock_guard lock(log_.mutex);
        log_.recording.endJob();
        log_.spans.emplace_back(started_, std::chrono::steady_clock::now());
    }
    void abandonJob() override
    {
        std::lock_guard lock(log_.mutex);
        log_.recording.abandonJob();
    }

private:
    Log& log_;
    std::chrono::steady_clock::time_point started_;
};

class PrintRequestTest : public PrintFixture {
protected:
    PrintRequestTest()
        : PrintFixture([this](db::Connection&, std::int32_t) { return std::make_unique<SharedRecording>(log); })
    {
    }

    QJsonObject print(std::int32_t waybill, service::RpcSession& on)
    {
        return parseLine(on.handle(printRequestLine(waybill)));
    }
    QJsonObject print(std::int32_t waybill) { return print(waybill, session); }

    QJsonArray openWaybills(int receiver)
    {
        const QJsonObject response = parseLine(session.handle(requestLine(
            1, "open",
            QJsonObject{{"provider", "DataSetProvider_O_PARPAV"},
                        {"params", QJsonObject{{"DATUMS", QDate::currentDate().toString(Qt::ISODate)},
                                               {"ISNODALANO", 1}, {"ISNODALAUZ", receiver}}}})));
        return response.value("result").toObject().value("rows").toArray();
    }

    const std::vector<engine::RecordingDevice::Job>& jobs() const { return log.recording.jobs(); }

    SharedRecording::Log log;
    service::RpcSession session{context};
};

const QString kGeneralTitle = QStringLiteral("PĀRVIETOŠANAS PAVADZĪME");

TEST_F(PrintRequestTest, AWaybillWithoutAlcoholPrintsOnTheGeneralFormInPortrait)
{
    station.PrParvietPZ(printLock.acquire()).QuickRep1.page().orientation = QPageLayout::Landscape;
    const QJsonObject response = print(1);
    ASSERT_FALSE(response.contains("error")) << response.value("error").toObject().value("message").toString().toStdString();
    EXPECT_EQ(integerColumn(response.value("result").toObject(), "SKAITS"), std::vector<qint64>{0});
    ASSERT_EQ(jobs().size(), 1u);
    EXPECT_EQ(jobs()[0].settings.title, kGeneralTitle);
    EXPECT_EQ(jobs()[0].settings.orientation, QPageLayout::Portrait);
    EXPECT_EQ(station.PrParvietPZ(printLock.acquire()).WaybillIsn, 1);
}

TEST_F(PrintRequestTest, OneAlcoholLineAmongOthersChoosesTheAlcoholForm)
{
    const QJsonObject response = print(2);
    ASSERT_FALSE(response.contains("error"));
    EXPECT_GT(integerColumn(response.value("result").toObject(), "SKAITS").at(0), 0);
    ASSERT_EQ(jobs().size(), 1u);
    EXPECT_NE(jobs()[0].settings.title, kGeneralTitle);
    EXPECT_EQ(station.PrParvAlkoholaPZ(printLock.acquire()).WaybillIsn, 2);
}

TEST_F(PrintRequestTest, TheOperatorsCopiesReachThePrinterAsOneJob)
{
    for (const int copies : {3, 1}) {
        operatorValues.setCopies(copies);
        ASSERT_FALSE(print(1).contains("error"));
        EXPECT_EQ(jobs().back().settings.copies, copies);
    }
    EXPECT_EQ(jobs().size(), 2u);
}

TEST_F(PrintRequestTest, APrintedWaybillIsBlockedAndLeavesTheOpenList)
{
    ASSERT_EQ(openWaybills(2).size(), 1);
    ASSERT_FALSE(print(1).contains("error"));
    EXPECT_EQ(blocked(1), QStringLiteral("T"));
    EXPECT_TRUE(openWaybills(2).isEmpty());

    // A blocked waybill prints again and stays blocked.
    ASSERT_FALSE(print(3).contains("error"));
    EXPECT_EQ(blocked(3), QStringLiteral("T"));
    EXPECT_EQ(jobs().size(), 2u);
}

TEST_F(PrintRequestTest, TheDepartmentListsStandOnTheirEarlierRows)
{
    // Both lists on a row of their own, not where the first show left them.
    const operator_state::OperatorDatabase::DepartmentPositions before{
        operatorDatabase.sendingDepartmentList().at(2).isn, operatorDatabase.hiddenDepartmentList().at(4).isn};
    {
        const operator_state::PrintLock::Held held = printLock.acquire();
        operatorDatabase.reopenDepartmentLists(held, before);
    }
    int reopened = 0;
    QObject::connect(&operatorDatabase, &operator_state::OperatorDatabase::departmentListsChanged, [&] { ++reopened; });

    ASSERT_FALSE(print(1).contains("error"));

    EXPECT_EQ(reopened, 1);
    const operator_state::PrintLock::Held held = printLock.acquire();
    EXPECT_EQ(operatorDatabase.departmentPositions(held).sending, before.sending);
    EXPECT_EQ(operatorDatabase.departmentPositions(held).hidden, before.hidden);
}

TEST_F(PrintRequestTest, AKeyThatNamesNoWaybillReturnsNoRowsAndBlocksNothing)
{
    const QJsonObject response = print(999);
    ASSERT_FALSE(response.contains("error"));
    EXPECT_TRUE(response.value("result").toObject().value("rows").toArray().isEmpty());
    EXPECT_EQ(station.PrParvietPZ(printLock.acquire()).WaybillIsn, 0);  // the general form ran for key 0
    EXPECT_EQ(blocked(1), QString());
}

TEST_F(PrintRequestTest, AFailingReportEndsTheRequestAndStillReopensTheLists)
{
    // A column switch the layout reads is gone from both settings tables.
    database.run(QStringLiteral("ALTER TABLE N_ISI2 DROP ISIPARV6ARTIKULS"));
    const QJsonObject response = print(1);
    ASSERT_TRUE(response.contains("error"));
    EXPECT_EQ(response.value("error").toObject().value("code").toInt(), service::rpc::DatabaseError);
    EXPECT_TRUE(response.value("error").toObject().value("message").toString().contains("ISIPARV6ARTIKULS"));
    EXPECT_TRUE(operatorDatabase.departmentPositions(printLock.acquire()).sending.has_value());
    EXPECT_FALSE(operatorDatabase.sendingDepartmentList().empty());
    EXPECT_EQ(blocked(1), QString());
}

TEST_F(PrintRequestTest, TwoClientsPrintingAtOnceAreServedOneAfterTheOther)
{
    log.pause = std::chrono::milliseconds(300);
    service::RpcSession other(context);
    std::atomic<int> failures{0};
    std::thread first([&] { failures += print(1, session).contains("error"); });
    std::thread second([&] { failures += print(5, other).contains("error"); });
    first.join();
    second.join();
    EXPECT_EQ(failures, 0);
    ASSERT_EQ(log.spans.size(), 2u);
    const auto& [aStart, aEnd] = log.spans[0];
    const auto& [bStart, bEnd] = log.spans[1];
    EXPECT_TRUE(aEnd <= bStart || bEnd <= aStart) << "two print jobs overlapped";
}

}  // namespace
