// Waybill creation: the number counter, the store failures that must not
// let a number be issued twice, concurrent creation, and a handheld building
// a waybill step by step.

#include "KelvoServerMethodsUnit.h"
#include "WaybillCounter.h"
#include "WaybillFixture.h"

#include <QDir>
#include <QFile>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <barrier>
#include <latch>
#include <set>
#include <thread>

using namespace servicetest;

namespace {

// Makes a file immutable for as long as it lives (even root cannot replace
// it then).
class ImmutableFile {
public:
    explicit ImmutableFile(const QString& path) : fd_(::open(QFile::encodeName(path).constData(), O_RDONLY))
    {
        ok_ = fd_ >= 0 && setFlag(true);
    }
    ~ImmutableFile()
    {
        if (ok_)
            setFlag(false);
        if (fd_ >= 0)
            ::close(fd_);
    }
    bool ok() const { return ok_; }

private:
    bool setFlag(bool on)
    {
        int flags = 0;
        if (::ioctl(fd_, FS_IOC_GETFLAGS, &flags) != 0)
            return false;
        flags = on ? flags | FS_IMMUTABLE_FL : flags & ~FS_IMMUTABLE_FL;
        return ::ioctl(fd_, FS_IOC_SETFLAGS, &flags) == 0;
    }
    int fd_;
    bool ok_ = false;
};

}  // namespace

TEST_F(WaybillTest, TheCounterGivesItsNumberAndStoresTheNext)
{
    constexpr std::optional<std::uint64_t> kNone;
    struct Case {
        const char* what;
        QVariant stored;
        std::optional<std::uint64_t> newestInDatabase;
        std::uint64_t given;
        const char* next;
    };
    const Case cases[] = {
        {"absent, no waybill in the database", QVariant(), kNone, 9171900001, "9171900002"},
        {"absent: after the database's newest", QVariant(), 9171900041, 9171900042, "9171900043"},
        {"absent, the newest is the last: wraps", QVariant(), 9171999999, 9171900001, "9171900002"},
        {"absent, the newest is the last but one", QVariant(), 9171999998, 9171999999, "9171900001"},
        {"first of the range", "9171900001", 9171900041, 9171900001, "9171900002"},
        {"last but one", "9171999998", kNone, 9171999998, "9171999999"},
        {"last: wraps", "9171999999", kNone, 9171999999, "9171900001"},
        {"above the range", "9172000000", kNone, 9172000000, "9171900001"},
        {"signed 64-bit maximum", "9223372036854775807", kNone, 9223372036854775807u, "9171900001"},
        {"just below the range", "9171900000", kNone, 9171900000, "9171900001"},
        {"small number: used as stored", "5", 9171900041, 5, "6"},
        {"with a plus sign", "+5", 9171900041, 5, "6"},
        {"negative: unsigned, wraps", "-1", 9171900041, 18446744073709551615u, "9171900001"},
        {"text", "abc", 9171900041, 9171900042, "9171900043"},
        {"empty", "", 9171900041, 9171900042, "9171900043"},
        {"blanks around the digits", " 9171900005 ", 9171900041, 9171900042, "9171900043"},
        {"too large for 64 bits", "99999999999999999999", 9171900041, 9171900042, "9171900043"},
        {"decimal fraction", "9171900005.5", 9171900041, 9171900042, "9171900043"},
        {"an integer value, not text", QVariant(qint64{9171900005}), 9171900041, 9171900042, "9171900043"},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(store.update([](operator_state::SettingsStore::Values& values) { values.clear(); }));
        storeCounter(c.stored);
        int asked = 0;
        const auto newest = [&] {
            ++asked;
            return c.newestInDatabase;
        };
        EXPECT_EQ(service::issueWaybillNumber(store, newest), c.given) << c.what;
        // The database is read only where the store has no number.
        EXPECT_EQ(asked, service::storedCounterValue(c.stored) ? 0 : 1) << c.what;
        const auto values = store.read();
        ASSERT_TRUE(values) << c.what;
        EXPECT_EQ(values->value(service::kWaybillCounterName), QVariant(QString(c.next))) << c.what;
        EXPECT_EQ(values->value("Datums"), QVariant(QString("09.12.2026"))) << c.what;
    }
}

// The newest waybill of the range is the one of the highest key: waybills
// of other series, numbers outside the range and texts that are no number
// do not count.
TEST_F(WaybillTest, AnEmptyStoreContinuesAfterTheNewestWaybillOfTheDatabase)
{
    database.run(QStringLiteral(
        "INSERT INTO O_PARPAV (ISN, DATUMS, NR_PAVADZ, PZ_SERIJA) VALUES (50, '2026-12-01', '9171900077', 'PL');"
        "INSERT INTO O_PARPAV (ISN, DATUMS, NR_PAVADZ, PZ_SERIJA) VALUES (51, '2026-12-02', '9171900012', 'PL');"
        "INSERT INTO O_PARPAV (ISN, DATUMS, NR_PAVADZ, PZ_SERIJA) VALUES (52, '2026-12-03', '9171900500', 'XY');"
        "INSERT INTO O_PARPAV (ISN, DATUMS, NR_PAVADZ, PZ_SERIJA) VALUES (53, '2026-12-04', '9171900000', 'PL');"
        "INSERT INTO O_PARPAV (ISN, DATUMS, NR_PAVADZ, PZ_SERIJA) VALUES (54, '2026-12-05', '9172000001', 'PL');"
        "INSERT INTO O_PARPAV (ISN, DATUMS, NR_PAVADZ, PZ_SERIJA) VALUES (55, '2026-12-06', '91719000x1', 'PL');"
        "INSERT INTO O_PARPAV (ISN, DATUMS, NR_PAVADZ, PZ_SERIJA) VALUES (56, '2026-12-07', '917190001', 'PL');"
        "INSERT INTO O_PARPAV (ISN, DATUMS, NR_PAVADZ, PZ_SERIJA) VALUES (57, '2026-12-08', NULL, 'PL');"
        "ALTER SEQUENCE O_PARPAVGEN RESTART WITH 57"));
    EXPECT_EQ(execute("DataSetProvider_O_PARPAVins", newWaybill(2)), 1);
    EXPECT_EQ(execute("DataSetProvider_O_PARPAVins", newWaybill(2)), 1);
    EXPECT_EQ(select("SELECT NR_PAVADZ FROM O_PARPAV WHERE ISN > 57 ORDER BY ISN"),
              (std::vector<std::vector<db::Value>>{{"9171900013"}, {"9171900014"}}));
    EXPECT_EQ(storedCounter(), QVariant(QString("9171900015")));

    // A store that reads as no counter does the same; an empty database
    // starts the numbers at the first.
    storeCounter("damaged");
    EXPECT_EQ(execute("DataSetProvider_O_PARPAVins", newWaybill(2)), 1);
    EXPECT_EQ(select("SELECT MAX(NR_PAVADZ) FROM O_PARPAV WHERE PZ_SERIJA = 'PL' AND ISN > 57").at(0).at(0),
              db::Value("9171900015"));
    database.run(QStringLiteral("DELETE FROM O_PARPAV"));
    ASSERT_TRUE(store.update([](operator_state::SettingsStore::Values& values) { values.clear(); }));
    EXPECT_EQ(execute("DataSetProvider_O_PARPAVins", newWaybill(2)), 1);
    EXPECT_EQ(waybills().at(0).at(0), db::Value("9171900001"));
}

TEST_F(WaybillTest, TheServiceNumbersTheWaybillAndSetsTheSendingDepartment)
{
    EXPECT_EQ(execute("DataSetProvider_O_PARPAVins", newWaybill(2)), 1);
    operatorValues.setSendingDepartment(std::nullopt);
    EXPECT_EQ(execute("DataSetProvider_O_PARPAVins", newWaybill(2)), 1);
    EXPECT_EQ(waybills(), (std::vector<std::vector<db::Value>>{
                              {"9171900001", std::int32_t{1}, std::int32_t{2}, "PL", kDay},
                              {"9171900002", std::int32_t{0}, std::int32_t{2}, "PL", kDay},
                          }));
    EXPECT_EQ(storedCounter(), QVariant(QString("9171900003")));
}

TEST_F(WaybillTest, InsertsAnswerTheKeysTheyGaveBesideTheRowsAffected)
{
    const QJsonValue waybill =
        result("execute", QJsonObject{{"provider", "DataSetProvider_O_PARPAVins"}, {"params", newWaybill(2)}});
    const std::int32_t waybillKey = select("SELECT ISN FROM O_PARPAV").at(0).at(0).toInt();
    EXPECT_EQ(waybill, (QJsonObject{{"ISN", waybillKey}, {"NR_PAVADZ", "9171900001"}, {"rowsAffected", 1}}));

    const QJsonValue line = result(
        "execute", QJsonObject{{"provider", "DataSetProvider_O_PARPRCins"},
                               {"params", QJsonObject{{"ISPARVPAV", waybillKey}, {"ISPRECE", 1}, {"PARD_CENA", 0.89},
                                                      {"CENA", 0.7}, {"DAUDZUMS", 2}, {"NODOKLIS", 21},
                                                      {"ISSERTIF", 0}}}});
    EXPECT_EQ(line, (QJsonObject{{"ISN", select("SELECT ISN FROM O_PARPRC").at(0).at(0).toInt()}, {"rowsAffected", 1}}));
    // An update answers as before.
    EXPECT_EQ(result("execute", QJsonObject{{"provider", "DataSetProvider_O_PARPAVupd"},
                                            {"params", QJsonObject{{"ISMASINA", 1}, {"ISN", waybillKey}}}}),
              (QJsonObject{{"rowsAffected", 1}}));
}

TEST_F(WaybillTest, WaybillInsertBindsItsParametersAndStoresTheRow)
{
    storeCounter("9171999999");
    service::TKelvoServerMethods_EMPLOYEE methods(context);
    std::vector<db::Param> sent;
    for (const char* name : {"DATUMS", "ISNODALANO", "ISNODALAUZ", "NR_PAVADZ"}) {
        sent.emplace_back(name);
        sent.back().setValue("7");
    }
    sent[0].setValue("09.12.2026");
    const service::Executed executed = methods.execute(u"DataSetProvider_O_PARPAVins", std::move(sent));
    EXPECT_EQ(executed.rowsAffected, 1);
    EXPECT_EQ(waybills(), (std::vector<std::vector<db::Value>>{
                              {"9171999999", std::int32_t{1}, std::int32_t{7}, "PL", kDay},
                          }));
    ASSERT_EQ(executed.returned.size(), 2u);
    EXPECT_EQ(executed.returned[0], (std::pair<QString, db::Value>{"ISN", select("SELECT ISN FROM O_PARPAV").at(0).at(0)}));
    EXPECT_EQ(executed.returned[1], (std::pair<QString, db::Value>{"NR_PAVADZ", db::Value("9171999999")}));
    const db::Query& dataSet = methods.dataSet(u"O_PARPAVins");
    const auto& params = dataSet.params();
    ASSERT_EQ(params.size(), 4u);
    EXPECT_EQ(params[1].type(), db::Type::Integer);
    EXPECT_EQ(params[1].value(), db::Value(std::int32_t{1}));
    EXPECT_EQ(params[2].value(), db::Value("7"));
    EXPECT_FALSE(params[2].hasDeclaredType());
    EXPECT_EQ(params[3].type(), db::Type::Text);
    EXPECT_EQ(params[3].value(), db::Value("9171999999"));
}

TEST_F(WaybillTest, AListWithoutTheNumberFailsBeforeTheCounterMovesOneWithoutTheDepartmentAfter)
{
    QJsonObject withoutNumber = newWaybill(2);
    withoutNumber.remove("NR_PAVADZ");
    EXPECT_EQ(errorCode("execute", QJsonObject{{"provider", "DataSetProvider_O_PARPAVins"}, {"params", withoutNumber}}),
              -32602);
    EXPECT_FALSE(storedCounter().isValid());

    QJsonObject withoutDepartment = newWaybill(2);
    withoutDepartment.remove("ISNODALANO");
    EXPECT_EQ(
        errorCode("execute", QJsonObject{{"provider", "DataSetProvider_O_PARPAVins"}, {"params", withoutDepartment}}),
        -32602);
    EXPECT_EQ(storedCounter(), QVariant(QString("9171900002")));
    EXPECT_TRUE(waybills().empty());
}

TEST_F(WaybillTest, AFailedInsertHasUsedItsNumber)
{
    // Written out unsigned, -1 is longer than the number column holds.
    storeCounter("-1");
    const QJsonObject error =
        call("execute", QJsonObject{{"provider", "DataSetProvider_O_PARPAVins"}, {"params", newWaybill(2)}})["error"]
            .toObject();
    EXPECT_EQ(error["code"].toInt(), -32000);
    EXPECT_TRUE(error["message"].toString().contains("truncation", Qt::CaseInsensitive))
        << error["message"].toString().toStdString();
    EXPECT_EQ(storedCounter(), QVariant(QString("9171900001")));
    EXPECT_EQ(execute("DataSetProvider_O_PARPAVins", newWaybill(2)), 1);
    EXPECT_EQ(waybills().at(0).at(0), db::Value("9171900001"));
}

TEST_F(WaybillTest, NoWaybillIsCreatedWhenTheStoreCannotBeOpened)
{
    QFile blocker(storeDir.filePath("file"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    operator_state::SettingsStore unopenable(storeDir.filePath("file/ZEMBRIK/Tolvira/Dravun.json"));
    context.settingsStore = &unopenable;
    const QJsonObject error =
        call("execute", QJsonObject{{"provider", "DataSetProvider_O_PARPAVins"}, {"params", newWaybill(2)}})["error"]
            .toObject();
    EXPECT_EQ(error["code"].toInt(), -32002);
    EXPECT_TRUE(error["message"].toString().contains("TekPZNr_PL"));
    EXPECT_TRUE(waybills().empty());
}

TEST_F(WaybillTest, NoWaybillIsCreatedWhenTheAdvancedCounterCannotBeWritten)
{
    storeCounter("9171900005");
    const ImmutableFile frozen(store.location());
    if (!frozen.ok())
        GTEST_SKIP() << "the file system cannot make the store unwritable here";
    EXPECT_EQ(errorCode("execute", QJsonObject{{"provider", "DataSetProvider_O_PARPAVins"}, {"params", newWaybill(2)}}),
              -32002);
    EXPECT_TRUE(waybills().empty());
    EXPECT_EQ(storedCounter(), QVariant(QString("9171900005")));
}

// The store is empty and the database holds a waybill: the twenty recover
// the counter from it once, inside the store's locked step.
TEST_F(WaybillTest, TwentyWaybillsCreatedAtOnceGetTwentyNumbers)
{
    database.run(QStringLiteral(
        "INSERT INTO O_PARPAV (ISN, DATUMS, NR_PAVADZ, PZ_SERIJA) VALUES (50, '2026-12-01', '9171900500', 'PL')"));
    constexpr int kClients = 20;
    std::latch start(kClients);
    std::vector<std::thread> clients;
    std::vector<QJsonObject> answers(kClients);
    for (int i = 0; i < kClients; ++i) {
        clients.emplace_back([&, i] {
            service::RpcSession own(context);
            const QByteArray line = requestLine(i, "execute",
                                                QJsonObject{{"provider", "DataSetProvider_O_PARPAVins"},
                                                            {"params", newWaybill(100 + i)}});
            start.arrive_and_wait();
            answers[static_cast<size_t>(i)] = parseLine(own.handle(line));
        });
    }
    for (std::thread& t : clients)
        t.join();
    for (const QJsonObject& answer : answers)
        EXPECT_EQ(answer["result"]["rowsAffected"], 1);

    std::set<QString> numbers;
    for (const auto& row : select("SELECT NR_PAVADZ FROM O_PARPAV WHERE ISN <> 50"))
        numbers.insert(row.at(0).toString());
    std::set<QString> expected;
    for (int i = 1; i <= kClients; ++i)
        expected.insert(QString::number(9171900500 + i));
    EXPECT_EQ(numbers, expected);
    EXPECT_EQ(storedCounter(), QVariant(QString::number(9171900501 + kClients)));
}

// Each handheld inserts a waybill and lines into it, all at the same
// moment, round after round: the keys each answer names are its own rows.
TEST_F(WaybillTest, ClientsInsertingAtTheSameMomentEachGetTheirOwnKeys)
{
    constexpr int kClients = 8;
    constexpr int kRounds = 5;
    constexpr int kLines = 3;
    struct Inserted {
        qint64 waybill = 0;
        QString number;
        std::vector<qint64> lines;
    };
    std::vector<std::vector<Inserted>> inserted(kClients);
    std::barrier round(kClients);
    std::vector<std::thread> clients;
    for (int c = 0; c < kClients; ++c) {
        clients.emplace_back([&, c] {
            service::RpcSession own(context);
            for (int r = 0; r < kRounds; ++r) {
                round.arrive_and_wait();
                Inserted mine;
                const QJsonObject waybill = result("execute",
                                                   QJsonObject{{"provider", "DataSetProvider_O_PARPAVins"},
                                                               {"params", newWaybill(100 + c)}},
                                                   &own)
                                                .toObject();
                mine.waybill = waybill["ISN"].toInteger();
                mine.number = waybill["NR_PAVADZ"].toString();
                for (int l = 0; l < kLines; ++l) {
                    const QJsonObject line{{"ISPARVPAV", mine.waybill}, {"ISPRECE", 1}, {"PARD_CENA", 0.89},
                                           {"CENA", 0.7}, {"DAUDZUMS", 100 * c + l}, {"NODOKLIS", 21},
                                           {"ISSERTIF", 0}};
                    mine.lines.push_back(
                        result("execute", QJsonObject{{"provider", "DataSetProvider_O_PARPRCins"}, {"params", line}},
                               &own)["ISN"]
                            .toInteger());
                }
                inserted[static_cast<size_t>(c)].push_back(mine);
            }
        });
    }
    for (std::thread& t : clients)
        t.join();

    std::set<qint64> waybillKeys, lineKeys;
    for (int c = 0; c < kClients; ++c) {
        ASSERT_EQ(inserted[static_cast<size_t>(c)].size(), static_cast<size_t>(kRounds));
        for (const Inserted& mine : inserted[static_cast<size_t>(c)]) {
            waybillKeys.insert(mine.waybill);
            EXPECT_EQ(select(QString("SELECT NR_PAVADZ, ISNODALAUZ FROM O_PARPAV WHERE ISN = %1").arg(mine.waybill)),
                      (std::vector<std::vector<db::Value>>{{mine.number, std::int32_t{100 + c}}}));
            for (int l = 0; l < kLines; ++l) {
                lineKeys.insert(mine.lines[static_cast<size_t>(l)]);
                EXPECT_EQ(select(QString("SELECT ISPARVPAV, DAUDZUMS FROM O_PARPRC WHERE ISN = %1")
                                     .arg(mine.lines[static_cast<size_t>(l)])),
                          (std::vector<std::vector<db::Value>>{
                              {static_cast<std::int32_t>(mine.waybill), static_cast<double>(100 * c + l)}}));
            }
        }
    }
    EXPECT_EQ(waybillKeys.size(), static_cast<size_t>(kClients * kRounds));
    EXPECT_EQ(lineKeys.size(), static_cast<size_t>(kClients * kRounds * kLines));
}

TEST_F(WaybillTest, AHandheldBuildsAWaybill)
{
    buildAWaybillAsAHandheld();
}
