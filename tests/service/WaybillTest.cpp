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
    struct Case {
        const char* what;
        QVariant stored;
        std::uint64_t given;
        const char* next;
    };
    const Case cases[] = {
        {"absent", QVariant(), 9171900001, "9171900002"},
        {"first of the range", "9171900001", 9171900001, "9171900002"},
        {"last but one", "9171999998", 9171999998, "9171999999"},
        {"last: wraps", "9171999999", 9171999999, "9171900001"},
        {"above the range", "9172000000", 9172000000, "9171900001"},
        {"signed 64-bit maximum", "9223372036854775807", 9223372036854775807u, "9171900001"},
        {"just below the range", "9171900000", 9171900000, "9171900001"},
        {"small number", "5", 5, "6"},
        {"negative: unsigned, wraps", "-1", 18446744073709551615u, "9171900001"},
        {"text", "abc", 9171900001, "9171900002"},
        {"empty", "", 9171900001, "9171900002"},
        {"too large for 64 bits", "99999999999999999999", 9171900001, "9171900002"},
        {"decimal fraction", "9171900005.5", 9171900001, "9171900002"},
        {"an integer value, not text", QVariant(qint64{9171900005}), 9171900001, "9171900002"},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(store.update([](operator_state::SettingsStore::Values& values) { values.clear(); }));
        storeCounter(c.stored);
        EXPECT_EQ(service::issueWaybillNumber(store), c.given) << c.what;
        const auto values = store.read();
        ASSERT_TRUE(values) << c.what;
        EXPECT_EQ(values->value(service::kWaybillCounterName), QVariant(QString(c.next))) << c.what;
        EXPECT_EQ(values->value("Datums"), QVariant(QString("09.12.2026"))) << c.what;
    }
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
    EXPECT_EQ(methods.execute(u"DataSetProvider_O_PARPAVins", std::move(sent)), 1);
    EXPECT_EQ(waybills(), (std::vector<std::vector<db::Value>>{
                              {"9171999999", std::int32_t{1}, std::int32_t{7}, "PL", kDay},
                          }));
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

TEST_F(WaybillTest, TwentyWaybillsCreatedAtOnceGetTwentyNumbers)
{
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
    for (const auto& row : waybills())
        numbers.insert(row.at(0).toString());
    std::set<QString> expected;
    for (int i = 1; i <= kClients; ++i)
        expected.insert(QString::number(9171900000 + i));
    EXPECT_EQ(numbers, expected);
    EXPECT_EQ(storedCounter(), QVariant(QString::number(9171900001 + kClients)));
}

TEST_F(WaybillTest, AHandheldBuildsAWaybill)
{
    buildAWaybillAsAHandheld();
}
