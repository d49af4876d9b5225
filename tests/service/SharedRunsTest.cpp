// Runs shared by the requests that ask for the same statement at the same
// time: who waits for which run, what each gets, and goods lists of several
// sessions asked together as the operator's settings and the orders change.

#include "ServiceFixture.h"
#include "SharedRuns.h"

#include <QDeadlineTimer>
#include <QThread>

#include <atomic>
#include <condition_variable>
#include <future>
#include <mutex>
#include <stdexcept>

using namespace servicetest;

namespace {

// A run that goes on until it is let go, numbered in the order runs start.
class HeldRuns {
public:
    std::function<QByteArray()> run(const QByteArray& failWith = {})
    {
        return [this, failWith] {
            const int number = ++started_;
            std::unique_lock lock(mutex_);
            released_.wait(lock, [&] { return letGo_ >= number; });
            if (!failWith.isEmpty())
                throw std::runtime_error(failWith.toStdString());
            return QByteArray("run ") + QByteArray::number(number);
        };
    }
    void letGo(int runs)
    {
        std::lock_guard lock(mutex_);
        letGo_ = runs;
        released_.notify_all();
    }
    int started() const { return started_; }

private:
    std::atomic<int> started_ = 0;
    std::mutex mutex_;
    std::condition_variable released_;
    int letGo_ = 0;
};

// Waits, with a generous deadline, until `done` holds.
bool eventually(const std::function<bool()>& done)
{
    const QDeadlineTimer deadline(30000);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QThread::msleep(1);
    }
    return true;
}

std::future<QByteArray> ask(service::SharedRuns& runs, const QString& key, const std::function<QByteArray()>& run)
{
    return std::async(std::launch::async, [&runs, key, run] { return runs.answer(key, run); });
}

}  // namespace

TEST(SharedRunsTest, RequestsThatComeDuringARunShareTheNextRun)
{
    service::SharedRuns runs;
    HeldRuns held;
    auto first = ask(runs, "goods", held.run());
    ASSERT_TRUE(eventually([&] { return held.started() == 1; }));
    auto second = ask(runs, "goods", held.run());
    auto third = ask(runs, "goods", held.run());
    ASSERT_TRUE(eventually([&] { return runs.waitingForNext("goods") == 2; }));

    held.letGo(1);
    EXPECT_EQ(first.get(), "run 1");
    ASSERT_TRUE(eventually([&] { return held.started() == 2; }));
    // One that comes now, while the second run goes, waits for a third.
    auto fourth = ask(runs, "goods", held.run());
    ASSERT_TRUE(eventually([&] { return runs.waitingForNext("goods") == 1; }));
    held.letGo(3);
    EXPECT_EQ(second.get(), "run 2");
    EXPECT_EQ(third.get(), "run 2");
    EXPECT_EQ(fourth.get(), "run 3");
    EXPECT_EQ(held.started(), 3);
    EXPECT_EQ(runs.waitingForNext("goods"), 0);
}

TEST(SharedRunsTest, AFailedRunFailsEveryRequestOfItAndTheNextRunsAnew)
{
    service::SharedRuns runs;
    HeldRuns held;
    auto first = ask(runs, "goods", held.run());
    ASSERT_TRUE(eventually([&] { return held.started() == 1; }));
    // The second leads the next run: it comes first.
    auto second = ask(runs, "goods", held.run("lost connection"));
    ASSERT_TRUE(eventually([&] { return runs.waitingForNext("goods") == 1; }));
    auto third = ask(runs, "goods", held.run());
    ASSERT_TRUE(eventually([&] { return runs.waitingForNext("goods") == 2; }));
    held.letGo(2);
    EXPECT_EQ(first.get(), "run 1");
    for (auto* failed : {&second, &third}) {
        try {
            failed->get();
            ADD_FAILURE() << "a request of the failed run was answered";
        } catch (const std::runtime_error& e) {
            EXPECT_STREQ(e.what(), "lost connection");
        }
    }
    held.letGo(3);
    EXPECT_EQ(runs.answer("goods", held.run()), "run 3");
}

TEST(SharedRunsTest, RequestsOfAnotherKeyRunForThemselves)
{
    service::SharedRuns runs;
    HeldRuns held;
    auto goods = ask(runs, "goods under one range", held.run());
    ASSERT_TRUE(eventually([&] { return held.started() == 1; }));
    HeldRuns other;
    other.letGo(1);
    EXPECT_EQ(runs.answer("goods under another range", other.run()), "run 1");
    EXPECT_EQ(runs.waitingForNext("goods under one range"), 0);
    held.letGo(1);
    EXPECT_EQ(goods.get(), "run 1");
}

namespace {

const char* const kOrders = R"(
INSERT INTO N_DEPART (ISN, GNOS, KARTIBA, GRUPA) VALUES (2, 'Centrs', 20, '|R|');
INSERT INTO N_DEPART (ISN, GNOS, KARTIBA, GRUPA) VALUES (3, 'Bulduri', 20, '|R|');
INSERT INTO N_KLIENT (ISN, GNOS) VALUES (1, 'Zemgales Piens');
INSERT INTO N_KLPREC (ISN, GNOS, ARTIKULS, ISPRKLIENT) VALUES (1, 'Piens', '1001', 1);
INSERT INTO N_KLPREC (ISN, GNOS, ARTIKULS, ISPRKLIENT) VALUES (2, 'Maize', '1002', 1);
INSERT INTO N_KLPREC (ISN, GNOS, ARTIKULS, ISPRKLIENT) VALUES (3, 'Sula', '1003', 1);
INSERT INTO O_PASPAV (ISN, ISNODALA, DATUMS, PIEGADPIRCEJS) VALUES (101, 2, '2026-12-01', 1);
INSERT INTO O_PASPAV (ISN, ISNODALA, DATUMS, PIEGADPIRCEJS) VALUES (102, 3, '2026-12-05', 1);
INSERT INTO O_PASPRC (ISN, ISPASPAV, ISPRECE, APSTIPRIN_DAUDZ, ATKR_DAUDZ) VALUES (1001, 101, 1, 10, 0);
INSERT INTO O_PASPRC (ISN, ISPASPAV, ISPRECE, APSTIPRIN_DAUDZ, ATKR_DAUDZ) VALUES (1002, 102, 2, 10, 0);
)";

class SharedGoodsListTest : public ServiceTest {
protected:
    SharedGoodsListTest()
    {
        database.run(QString::fromUtf8(kOrders));
        context.sharedRuns = &runs;
        operatorValues.setDateFrom({2026, 12, 1});
        operatorValues.setDateTo({2026, 12, 10});
    }

    // The goods lists of `sessions` sessions asked at the same moment.
    std::vector<std::vector<qint64>> askTogether(std::vector<std::unique_ptr<service::RpcSession>>& sessions)
    {
        std::vector<std::future<QByteArray>> answers;
        for (auto& s : sessions) {
            answers.push_back(std::async(std::launch::async, [&s] {
                return s->handle(requestLine(1, "open", QJsonObject{{"provider", "DataSetProvider_PRECE"}}));
            }));
        }
        std::vector<std::vector<qint64>> goods;
        for (auto& a : answers)
            goods.push_back(integerColumn(parseLine(a.get()).value("result").toObject(), "ISPRECE"));
        return goods;
    }

    service::SharedRuns runs;
};

}  // namespace

// Each round asks after the operator and the orders changed: an answer of
// an earlier round would show the change missing.
TEST_F(SharedGoodsListTest, GoodsListsAskedTogetherShowTheOrdersAndSettingsOfTheirMoment)
{
    std::vector<std::unique_ptr<service::RpcSession>> sessions;
    for (int i = 0; i < 6; ++i)
        sessions.push_back(std::make_unique<service::RpcSession>(context));
    struct Round {
        const char* what;
        std::function<void()> change;
        std::vector<qint64> goods;  // by name
    };
    const Round rounds[] = {
        {"as stored", [] {}, {2, 1}},
        {"department 2 hidden", [&] { operatorValues.setHiddenDepartment(2); }, {2}},
        {"an order line of department 3 added",
         [&] {
             database.run("INSERT INTO O_PASPRC (ISN, ISPASPAV, ISPRECE, APSTIPRIN_DAUDZ, ATKR_DAUDZ) "
                          "VALUES (1003, 102, 3, 10, 0)");
         },
         {2, 3}},
        {"no department hidden", [&] { operatorValues.setHiddenDepartment(std::nullopt); }, {2, 1, 3}},
        {"the range ends before the second order", [&] { operatorValues.setDateTo({2026, 12, 4}); }, {1}},
    };
    for (const Round& round : rounds) {
        round.change();
        for (const std::vector<qint64>& goods : askTogether(sessions))
            EXPECT_EQ(goods, round.goods) << round.what;
    }
}
