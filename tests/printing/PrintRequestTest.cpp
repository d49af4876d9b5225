// The print request through a service session: the form it chooses, the
// copies, the totals a waybill built by a handheld prints, the blocking,
// the department lists, failures, and one print at a time. Printing goes to recording devices; the demo warehouse is the data.

#include "PrintFixture.h"
#include "ServiceFixture.h"
#include "Sumlat.h"

#include <QDate>
#include <QJsonDocument>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <tuple>

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
        : PrintFixture([this](std::int32_t, const QString&) {
              return printing::Destination{std::make_unique<SharedRecording>(log), QStringLiteral("recording")};
          })
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

// A waybill a handheld builds on the demo: the totals and the amount in
// words it prints are those of its lines (the demo shows the sale figures
// and words): curd 10 at 1.19 and rye bread 4 at 1.39, 21 % VAT.
TEST_F(PrintRequestTest, AWaybillBuiltByAHandheldPrintsTheTotalsOfItsLines)
{
    const auto execute = [&](const char* provider, const QJsonObject& params) {
        const QJsonObject response =
            parseLine(session.handle(requestLine(1, "execute", QJsonObject{{"provider", provider}, {"params", params}})));
        EXPECT_FALSE(response.contains("error")) << provider;
        return response.value("result").toObject();
    };
    const QJsonObject created = execute("DataSetProvider_O_PARPAVins",
                                        {{"DATUMS", QDate::currentDate().toString(Qt::ISODate)},
                                         {"ISNODALANO", 1}, {"ISNODALAUZ", 2}, {"NR_PAVADZ", "from client"}});
    const int waybill = created.value("ISN").toInt();
    ASSERT_GT(waybill, 0);
    for (const auto& [goods, salePrice, price, quantity] : {std::tuple{3, 1.19, 1.05, 10.0}, {6, 1.39, 1.25, 4.0}})
        execute("DataSetProvider_O_PARPRCins", {{"ISPARVPAV", waybill}, {"ISPRECE", goods}, {"PARD_CENA", salePrice},
                                                {"CENA", price}, {"DAUDZUMS", quantity}, {"NODOKLIS", 21},
                                                {"ISSERTIF", 0}});
    ASSERT_FALSE(print(waybill).contains("error"));

    ASSERT_EQ(jobs().size(), 1u);
    const auto textOf = [&](const QString& element) {
        QStringList lines;
        for (const engine::Page& page : jobs()[0].document.pages)
            for (const engine::TextRun* run : page.textRuns(element))
                lines.append(run->text);
        return lines.join(u' ');
    };
    // 11.90 + 5.56 without VAT, 2.50 + 1.17 VAT, each line's VAT in cents
    EXPECT_EQ(textOf(QStringLiteral("lbSumSummaBezPVN")), QStringLiteral("17,46"));
    EXPECT_EQ(textOf(QStringLiteral("lbSumPVNSumma")), QStringLiteral("3,67"));
    EXPECT_EQ(textOf(QStringLiteral("lbSumKopSumma")), QStringLiteral("21,13"));
    EXPECT_EQ(textOf(QStringLiteral("shSummaVardiem")),
              QStringLiteral("Pārd.summa vārdiem : ") + common::AmountInWords(21.13));
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

TEST_F(PrintRequestTest, EachPrintIsJournalledWithWhatWhereForWhomAndHowItEnded)
{
    context.peer = QStringLiteral("10.0.0.7:40112");
    operatorValues.setCopies(3);
    std::vector<printing::PrintEntry> announced;
    QObject::connect(&station.journal(), &printing::PrintJournal::entryAdded,
                     [&](const printing::PrintEntry& entry) { announced.push_back(entry); });
    const QDateTime before = QDateTime::currentDateTime();
    ASSERT_FALSE(print(1).contains("error"));
    ASSERT_FALSE(print(2).contains("error"));
    database.run(QStringLiteral("ALTER TABLE N_ISI2 DROP ISIPARV6ARTIKULS"));
    ASSERT_TRUE(print(5).contains("error"));

    const std::vector<printing::PrintEntry> entries = station.journal().entries();
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(announced.size(), 3u);
    struct Expected {
        std::int32_t isn;
        const char* number;
        const char* form;
        printing::PrintOutcome outcome;
    };
    const Expected expected[] = {
        {1, "PL9171800417", "general", printing::PrintOutcome::Printed},
        {2, "PL9171800418", "alcohol", printing::PrintOutcome::Printed},
        {5, "PL9171800416", "general", printing::PrintOutcome::Failed},
    };
    for (size_t i = 0; i < entries.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(entries[i].waybillIsn, expected[i].isn);
        EXPECT_EQ(entries[i].waybillNumber, QLatin1String(expected[i].number));
        EXPECT_EQ(entries[i].form, QLatin1String(expected[i].form));
        EXPECT_EQ(entries[i].outcome, expected[i].outcome);
        EXPECT_EQ(entries[i].copies, 3);
        EXPECT_EQ(entries[i].destination, QStringLiteral("recording"));
        EXPECT_EQ(entries[i].peer, QStringLiteral("10.0.0.7:40112"));
        EXPECT_GE(entries[i].startedAt, before);
        EXPECT_GE(entries[i].durationMs, 0);
        EXPECT_EQ(announced[i].waybillIsn, entries[i].waybillIsn);
    }
    EXPECT_TRUE(entries[0].error.isEmpty());
    EXPECT_TRUE(entries[2].error.contains("ISIPARV6ARTIKULS")) << entries[2].error.toStdString();
}

TEST(PrintJournalTest, KeepsTheLatestEntriesUpToItsCapacity)
{
    printing::PrintJournal journal(3);
    for (std::int32_t isn = 1; isn <= 5; ++isn) {
        printing::PrintEntry entry;
        entry.waybillIsn = isn;
        journal.add(entry);
    }
    std::vector<std::int32_t> kept;
    for (const printing::PrintEntry& entry : journal.entries())
        kept.push_back(entry.waybillIsn);
    EXPECT_EQ(kept, (std::vector<std::int32_t>{3, 4, 5}));
}

// No default printer, or --printer naming no queue: nothing is printed and
// nothing is reported to the client; the waybill is still blocked, and the
// journal says there was no printer.
class NoUsablePrinterTest : public PrintFixture {
protected:
    NoUsablePrinterTest()
        : PrintFixture([](std::int32_t, const QString&) {
              return printing::Destination{std::make_unique<engine::RecordingDevice>(false), QStringLiteral("no printer")};
          })
    {
    }
};

TEST_F(NoUsablePrinterTest, TheWaybillIsBlockedAndJournalledAsNoPrinter)
{
    service::RpcSession session{context};
    const QJsonObject response = parseLine(session.handle(printRequestLine(1)));
    ASSERT_FALSE(response.contains("error")) << QJsonDocument(response).toJson().toStdString();
    EXPECT_EQ(blocked(1), QStringLiteral("T"));
    ASSERT_EQ(station.journal().entries().size(), 1u);
    EXPECT_EQ(station.journal().entries()[0].outcome, printing::PrintOutcome::NoPrinter);
    EXPECT_EQ(station.journal().entries()[0].destination, QStringLiteral("no printer"));
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
