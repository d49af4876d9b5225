// Waybill creation: the number counter, the store failures that must not
// let a number be issued twice, concurrent creation, and a handheld building
// a waybill step by step.

#include "KelvoServerMethodsUnit.h"
#include "ServiceFixture.h"
#include "WaybillCounter.h"

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

const char* const kRows = R"(
INSERT INTO N_ISI (ISN) VALUES (1);
INSERT INTO N_DEPART (ISN, GNOS, KARTIBA, GRUPA) VALUES (1, 'Noliktava', 10, '|N|');
INSERT INTO N_DEPART (ISN, GNOS, KARTIBA, GRUPA) VALUES (2, 'Centrs', 20, '|R|');
INSERT INTO N_KLIENT (ISN, GNOS) VALUES (1, 'Piegādātājs');
INSERT INTO N_KLPREC (ISN, GNOS, ARTIKULS, ISPRKLIENT, PARDCENA1, NODOKLIS) VALUES (1, 'Piens', '1001', 1, 0.89, 21);
INSERT INTO N_KLPREC (ISN, GNOS, ARTIKULS, ISPRKLIENT, PARDCENA1, NODOKLIS, ALKOHOLS) VALUES (2, 'Degvīns', '4001', 1, 9.9, 21, 40);
INSERT INTO N_MASINA (ISN, GNOS) VALUES (1, 'Volvo, J. Bērziņš');
INSERT INTO O_PASPAV (ISN, ISNODALA, ISNODALAUZ, DATUMS, PIEGADPIRCEJS) VALUES (101, 2, 1, '2026-12-09', 1);
INSERT INTO O_PASPRC (ISN, ISPASPAV, ISPRECE, DAUDZUMS, APSTIPRIN_DAUDZ, ATKR_DAUDZ, CENA, NODOKLIS) VALUES (1001, 101, 1, 10, 10, 0, 0.7, 21);
INSERT INTO O_PASPRC (ISN, ISPASPAV, ISPRECE, DAUDZUMS, APSTIPRIN_DAUDZ, ATKR_DAUDZ, CENA, NODOKLIS) VALUES (1002, 101, 2, 3, 3, 0, 8, 21);
INSERT INTO N_SERTIF (ISN, GNOS) VALUES (2, 'Atbilstības sertifikāts 17');
INSERT INTO N_SERTPREC (ISSERTIF, ISPRECE, ISNODALA) VALUES (2, 1, 2);
)";

const QDate kDay{2026, 12, 9};

QJsonObject newWaybill(int receiver)
{
    return {{"DATUMS", "2026-12-09"}, {"ISNODALANO", 99}, {"ISNODALAUZ", receiver}, {"NR_PAVADZ", "from client"}};
}

class WaybillTest : public ServiceTest {
protected:
    WaybillTest()
    {
        database.run(QString::fromUtf8(kRows));
        operatorSettings.setSendingDepartment(1);
        operatorSettings.setDateFrom(kDay);
        operatorSettings.setDateTo(kDay);
    }

    void storeCounter(const QVariant& value)
    {
        ASSERT_TRUE(store.update([&](host::SettingsStore::Values& values) {
            values.insert("Datums", "09.12.2026");
            if (value.isValid())
                values.insert(service::kWaybillCounterName, value);
        }));
    }

    std::vector<std::vector<db::Value>> waybills()
    {
        return select("SELECT NR_PAVADZ, ISNODALANO, ISNODALAUZ, PZ_SERIJA, DATUMS FROM O_PARPAV ORDER BY ISN");
    }
};

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
        ASSERT_TRUE(store.update([](host::SettingsStore::Values& values) { values.clear(); }));
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
    operatorSettings.setSendingDepartment(std::nullopt);
    EXPECT_EQ(execute("DataSetProvider_O_PARPAVins", newWaybill(2)), 1);
    EXPECT_EQ(waybills(), (std::vector<std::vector<db::Value>>{
                              {"9171900001", std::int32_t{1}, std::int32_t{2}, "PL", kDay},
                              {"9171900002", std::int32_t{0}, std::int32_t{2}, "PL", kDay},
                          }));
    EXPECT_EQ(storedCounter(), QVariant(QString("9171900003")));
}

TEST_F(WaybillTest, WaybillInsertStatementParameters)
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
    const db::Query& dataSet = methods.dataSet(u"O_PARPAVins");
    EXPECT_EQ(dataSet.sql(), "INSERT INTO O_PARPAV (DATUMS, ISNODALANO, ISNODALAUZ, PZ_SERIJA, NR_PAVADZ) "
                             "VALUES (:DATUMS, :ISNODALANO, :ISNODALAUZ, 'PL', :NR_PAVADZ)");
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
    host::SettingsStore unopenable(storeDir.filePath("file/ZEMBRIK/Tolvira/Dravun.json"));
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
    // The goods to collect and the lines of the first item.
    EXPECT_EQ(integerColumn(open("DataSetProvider_PRECE"), "ISPRECE"), (std::vector<qint64>{2, 1}));
    const QJsonObject milkLines = open("DataSetProvider_EMPLOYEE", QJsonObject{{"ISPRECE", 1}, {"GRUPA", "R"}});
    ASSERT_EQ(integerColumn(milkLines, "ISN"), std::vector<qint64>{1001});
    const int receiver = cell(milkLines, 0, "ISNODALA").toInt();

    // Create the waybill and find its key among the open ones.
    EXPECT_EQ(execute("DataSetProvider_O_PARPAVins", newWaybill(receiver)), 1);
    const QJsonObject openWaybill{{"DATUMS", "2026-12-09"}, {"ISNODALANO", 0}, {"ISNODALAUZ", receiver}};
    const QJsonObject listed = open("DataSetProvider_O_PARPAV", openWaybill);
    ASSERT_EQ(listed["rows"].toArray().size(), 1);
    const int waybill = cell(listed, 0, "ISN").toInt();

    // A line for each goods item, its key read back; the collected
    // quantities recorded on the order lines.
    const auto addLine = [&](int goods, double quantity) {
        EXPECT_EQ(execute("DataSetProvider_O_PARPRCins",
                          QJsonObject{{"ISPARVPAV", waybill}, {"ISPRECE", goods}, {"PARD_CENA", 0.89}, {"CENA", 0.7},
                                      {"DAUDZUMS", quantity}, {"NODOKLIS", 21}, {"ISSERTIF", 0}}),
                  1);
        return cell(open("DataSetProvider_O_PARPRCnew"), 0, "ISN").toInt();
    };
    const int milkLine = addLine(1, 10);
    EXPECT_EQ(execute("DataSetProvider_O_PASPRCupd", QJsonObject{{"ATKR_DAUDZ", 10}, {"ISPASPRC", 0}, {"ISN", 1001}}), 1);
    addLine(2, 1);
    EXPECT_EQ(execute("DataSetProvider_O_PASPRCupd", QJsonObject{{"ATKR_DAUDZ", 1}, {"ISPASPRC", 0}, {"ISN", 1002}}), 1);

    // A certificate for the milk line, and the car.
    const QJsonObject certificates = open("DataSetProvider_sertifikati", QJsonObject{{"ISPRECE", 1}, {"ISDEPART", receiver}});
    ASSERT_EQ(integerColumn(certificates, "ISSERTIF"), std::vector<qint64>{2});
    EXPECT_EQ(execute("DataSetProvider_O_PARPRCupd", QJsonObject{{"ISSERTIF", 2}, {"ISN", milkLine}}), 1);
    const int car = cell(open("DataSetProvider_soferi"), 0, "ISN").toInt();
    EXPECT_EQ(execute("DataSetProvider_O_PARPAVupd", QJsonObject{{"ISMASINA", car}, {"ISN", waybill}}), 1);

    // The collected milk has left the pending lists; the spirit, collected
    // in part, stays.
    EXPECT_TRUE(open("DataSetProvider_EMPLOYEE")["rows"].toArray().isEmpty());
    EXPECT_EQ(integerColumn(open("DataSetProvider_PRECE"), "ISPRECE"), std::vector<qint64>{2});
    const QJsonObject after = open("DataSetProvider_O_PARPAV", openWaybill);
    EXPECT_EQ(after["rows"].toArray(), (QJsonArray{QJsonArray{waybill, car, 1, 2}}));
    EXPECT_EQ(select("SELECT NR_PAVADZ, ISNODALANO, ISMASINA FROM O_PARPAV"),
              (std::vector<std::vector<db::Value>>{{"9171900001", std::int32_t{1}, std::int32_t{car}}}));
    EXPECT_EQ(select(QString("SELECT ISSERTIF, ISPRECE FROM O_PARPRC WHERE ISN = %1").arg(milkLine)),
              (std::vector<std::vector<db::Value>>{{std::int32_t{2}, std::int32_t{1}}}));
}
