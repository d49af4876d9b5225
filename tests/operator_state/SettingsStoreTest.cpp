#include "SettingsStore.h"
#include "StoreFixture.h"

#include <QCoreApplication>
#include <QDir>
#include <QJsonDocument>
#include <QProcess>

#include <thread>
#include <vector>

namespace operatorstatetest {
using testsupport::CaseName;
using testsupport::StoreTest;
namespace {

using operator_state::SettingsStore;

const QString kCount = QStringLiteral("n");

bool increment(SettingsStore& store)
{
    return store.update([](SettingsStore::Values& values) { values.insert(kCount, values.value(kCount).toLongLong() + 1); });
}

class SettingsStoreTest : public StoreTest {};

TEST_F(SettingsStoreTest, FirstReadCreatesAnEmptyKeyUnderXdgConfigHome)
{
    const SettingsStore store;
    EXPECT_EQ(store.location(), storeFile());
    const auto values = store.read();
    ASSERT_TRUE(values.has_value());
    EXPECT_TRUE(values->isEmpty());
    EXPECT_TRUE(storeExists());
}

TEST_F(SettingsStoreTest, WithoutXdgConfigHomeTheStoreIsUnderDotConfig)
{
    qunsetenv("XDG_CONFIG_HOME");
    const SettingsStore store;
    EXPECT_EQ(store.location(), QDir(home.path()).filePath(QStringLiteral(".config/ZEMBRIK/Tolvira/Dravun.json")));
}

TEST_F(SettingsStoreTest, ValuesKeepTheirTypesAndUpdatesKeepTheOtherValues)
{
    writeStoreFile(R"({"Other": 1.5, "Flag": true, "Nodala": 3})");
    SettingsStore store;
    ASSERT_TRUE(store.update([](SettingsStore::Values& values) {
        values.insert(QStringLiteral("Datums"), QStringLiteral("01.11.2026"));
        values.insert(QStringLiteral("Nodala"), qint64{11});
        values.insert(QStringLiteral("TekPZNr_PL"), QStringLiteral("9171900002"));
    }));
    EXPECT_EQ(storedObject(), QJsonDocument::fromJson(R"({"Datums": "01.11.2026", "Nodala": 11,
        "TekPZNr_PL": "9171900002", "Other": 1.5, "Flag": true})").object());

    const auto values = store.read();
    ASSERT_TRUE(values.has_value());
    EXPECT_EQ(values->value(QStringLiteral("Datums")).typeId(), QMetaType::QString);
    EXPECT_EQ(values->value(QStringLiteral("Nodala")).typeId(), QMetaType::LongLong);
    EXPECT_EQ(values->value(QStringLiteral("Nodala")).toLongLong(), 11);
    EXPECT_EQ(values->value(QStringLiteral("TekPZNr_PL")).typeId(), QMetaType::QString);
}

TEST_F(SettingsStoreTest, StoreThatCannotBeOpenedReadsAsNothingAndKeepsNothing)
{
    blockStore();
    SettingsStore store;
    EXPECT_FALSE(store.read().has_value());
    bool changeRan = false;
    EXPECT_FALSE(store.update([&](SettingsStore::Values&) { changeRan = true; }));
    EXPECT_FALSE(changeRan);
}

struct UnreadableCase {
    const char* name;
    const char* content;
};

class UnreadableStoreTest : public StoreTest, public ::testing::WithParamInterface<UnreadableCase> {};

TEST_P(UnreadableStoreTest, ReadsAsAnEmptyKeyAndIsReplacedOnUpdate)
{
    writeStoreFile(GetParam().content);
    SettingsStore store;
    const auto values = store.read();
    ASSERT_TRUE(values.has_value());
    EXPECT_TRUE(values->isEmpty());

    ASSERT_TRUE(store.update([](SettingsStore::Values& stored) { stored.insert(QStringLiteral("Kopijas"), 3); }));
    EXPECT_EQ(storedObject(), QJsonDocument::fromJson(R"({"Kopijas": 3})").object());
}

INSTANTIATE_TEST_SUITE_P(Contents, UnreadableStoreTest,
                         ::testing::Values(UnreadableCase{"Empty", ""}, UnreadableCase{"Garbage", "garbage \x01\xff"},
                                           UnreadableCase{"CutShort", R"({"Datums": "01.11.20)"},
                                           UnreadableCase{"AnArray", R"(["Datums"])"}, UnreadableCase{"ANumber", "17"}),
                         CaseName());

TEST_F(SettingsStoreTest, UpdatesFromManyThreadsAreAtomic)
{
    constexpr int kThreads = 6;
    constexpr int kUpdates = 50;
    SettingsStore store;
    std::vector<std::thread> threads;
    std::atomic<int> failures = 0;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < kUpdates; ++i)
                failures += increment(store) ? 0 : 1;
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(failures, 0);
    EXPECT_EQ(store.read()->value(kCount).toLongLong(), kThreads * kUpdates);
}

TEST_F(SettingsStoreTest, UpdatesFromTwoProcessesAreAtomic)
{
    constexpr int kUpdates = 100;
    SettingsStore store;
    QProcess other;
    other.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--increment-store"), store.location(), QString::number(kUpdates)});
    ASSERT_TRUE(other.waitForStarted());
    // Both at work at the same time: start once the other has stored.
    while (store.read()->value(kCount).toLongLong() == 0 && other.state() == QProcess::Running)
        std::this_thread::yield();
    for (int i = 0; i < kUpdates; ++i)
        ASSERT_TRUE(increment(store));
    ASSERT_TRUE(other.waitForFinished(60000));
    EXPECT_EQ(other.exitCode(), 0);
    EXPECT_EQ(store.read()->value(kCount).toLongLong(), 2 * kUpdates);
}

}  // namespace
}  // namespace operatorstatetest
