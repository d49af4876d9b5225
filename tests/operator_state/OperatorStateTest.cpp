#include "OperatorDatabase.h"
#include "OperatorValues.h"
#include "SettingsStore.h"
#include "StoreFixture.h"
#include "TestDatabase.h"

#include "DbError.h"

#include <QJsonDocument>
#include <QLocale>

#include <optional>

namespace operatorstatetest {
using testsupport::CaseName;
using testsupport::StoreTest;
namespace {

using operator_state::Department;
using operator_state::OperatorDatabase;
using operator_state::OperatorValues;
using operator_state::PrintLock;
using operator_state::SettingsStore;

const QDate kDesignDate{2014, 11, 11};

db::ConnectionOptions unusedConnection()
{
    db::ConnectionOptions options;
    options.database = QStringLiteral("/nonexistent/kelvo/preces.fdb");
    return options;
}

// --- Restoring ---------------------------------------------------------------

struct RestoreCase {
    const char* name;
    const char* store;  // the store's file; nullptr: none
    bool blocked;       // the store cannot be opened
    QDate dateFrom;     // invalid: today's date
    QDate dateTo;
    std::optional<std::int32_t> sendingKey;
    std::optional<std::int32_t> hiddenKey;
    int copies;
};

const char* const kAllValues =
    R"({"Datums": "01.11.2026", "Datums2": "09.12.2026", "Nodala": 3, "Nerad_nodala": 5, "Kopijas": 4})";

const RestoreCase kRestoreCases[] = {
    {"FirstStart", nullptr, false, {}, {}, {}, {}, 2},
    {"StoreCannotBeOpened", nullptr, true, kDesignDate, kDesignDate, {}, {}, 2},
    {"AllValues", kAllValues, false, {2026, 11, 1}, {2026, 12, 9}, 3, 5, 4},
    {"DateWithoutLeadingZeros", R"({"Datums": "1.2.2026", "Datums2": "9.12.2026"})", false, {2026, 2, 1},
     {2026, 12, 9}, {}, {}, 2},
    {"DateInAnotherFormat",
     R"({"Datums": "2026-11-01", "Datums2": "09.12.2026", "Nodala": 3, "Nerad_nodala": 5, "Kopijas": 4})", false, {},
     {2026, 12, 9}, 3, 5, 4},
    {"ImpossibleDate", R"({"Datums": "01.11.2026", "Datums2": "31.02.2026"})", false, {2026, 11, 1}, {}, {}, {}, 2},
    {"DateStoredAsInteger", R"({"Datums": 20261101, "Datums2": "09.12.2026"})", false, {}, {2026, 12, 9}, {}, {}, 2},
    {"KeyStoredAsText",
     R"({"Datums": "01.11.2026", "Datums2": "09.12.2026", "Nodala": "3", "Nerad_nodala": 5, "Kopijas": 4})", false,
     {2026, 11, 1}, {2026, 12, 9}, {}, 5, 4},
    {"KeyBeyond32Bits", R"({"Nodala": 3, "Nerad_nodala": 4294967296})", false, {}, {}, 3, {}, 2},
    {"KeyNamingNoDepartment", R"({"Nodala": 999})", false, {}, {}, 999, {}, 2},
    {"CopiesZero", R"({"Kopijas": 0})", false, {}, {}, {}, {}, 0},
    {"CopiesNegative", R"({"Kopijas": -3})", false, {}, {}, {}, {}, -3},
    {"CopiesStoredAsText", R"({"Kopijas": "4"})", false, {}, {}, {}, {}, 2},
    {"GarbageFile", "\x13garbage", false, {}, {}, {}, {}, 2},
    {"TruncatedFile", R"({"Datums": "01.11.2026", "Nodala": 3, "Kop)", false, {}, {}, {}, {}, 2},
};

class RestoreTest : public StoreTest, public ::testing::WithParamInterface<RestoreCase> {};

TEST_P(RestoreTest, EachValueOnItsOwn)
{
    const RestoreCase& c = GetParam();
    if (c.blocked)
        blockStore();
    if (c.store)
        writeStoreFile(c.store);
    const SettingsStore store;
    OperatorValues settings;

    operator_state::restoreOperatorValues(store, settings);

    const QDate today = QDate::currentDate();
    const operator_state::OperatorSnapshot values = settings.snapshot();
    EXPECT_EQ(values.dateFrom, c.dateFrom.isValid() ? c.dateFrom : today);
    EXPECT_EQ(values.dateTo, c.dateTo.isValid() ? c.dateTo : today);
    EXPECT_EQ(settings.sendingDepartmentKey(), c.sendingKey);
    EXPECT_EQ(settings.hiddenDepartmentKey(), c.hiddenKey);
    EXPECT_EQ(values.sendingDepartment, c.sendingKey.value_or(0));
    EXPECT_EQ(values.hiddenDepartment, c.hiddenKey.value_or(0));
    EXPECT_EQ(values.copies, c.copies);
    EXPECT_EQ(values.vatRate, 0);
    // Opening the key creates it.
    EXPECT_EQ(storeExists(), !c.blocked);
}

INSTANTIATE_TEST_SUITE_P(Cases, RestoreTest, ::testing::ValuesIn(kRestoreCases),
                         CaseName());

// --- Saving -----------------------------------------------------------------

struct SaveCase {
    const char* name;
    const char* before;  // the store's file before; nullptr: none
    bool blocked;
    std::optional<std::int32_t> sendingKey;
    std::optional<std::int32_t> hiddenKey;
    int copies;
    const char* after;  // the stored object after; nullptr: no store at all
};

const SaveCase kSaveCases[] = {
    {"FirstClose", nullptr, false, {}, {}, 2, R"({"Datums": "01.11.2026", "Datums2": "09.12.2026", "Kopijas": 2})"},
    {"LookupsWithoutKeyKeepStoredKeys", R"({"Nodala": 7, "Nerad_nodala": 8})", false, {}, {}, 2,
     R"({"Datums": "01.11.2026", "Datums2": "09.12.2026", "Nodala": 7, "Nerad_nodala": 8, "Kopijas": 2})"},
    {"ChosenKeys", R"({"Nodala": 7, "Nerad_nodala": 8})", false, 3, 5, 2,
     R"({"Datums": "01.11.2026", "Datums2": "09.12.2026", "Nodala": 3, "Nerad_nodala": 5, "Kopijas": 2})"},
    {"CopiesZero", nullptr, false, {}, {}, 0, R"({"Datums": "01.11.2026", "Datums2": "09.12.2026", "Kopijas": 0})"},
    {"CopiesNegative", nullptr, false, {}, {}, -5,
     R"({"Datums": "01.11.2026", "Datums2": "09.12.2026", "Kopijas": -5})"},
    {"KeepsTheCounter", R"({"TekPZNr_PL": "9171900002", "Kopijas": 9})", false, {}, 1, 2,
     R"({"Datums": "01.11.2026", "Datums2": "09.12.2026", "Nerad_nodala": 1, "Kopijas": 2, "TekPZNr_PL": "9171900002"})"},
    {"ReplacesGarbage", "garbage", false, {}, {}, 2,
     R"({"Datums": "01.11.2026", "Datums2": "09.12.2026", "Kopijas": 2})"},
    {"StoreCannotBeOpened", nullptr, true, 3, 5, 2, nullptr},
};

class SaveTest : public StoreTest, public ::testing::WithParamInterface<SaveCase> {
protected:
    // A machine whose own date format is not the stored one.
    SaveTest() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }
    ~SaveTest() override { QLocale::setDefault(QLocale::c()); }
};

TEST_P(SaveTest, EachValueOnItsOwn)
{
    const SaveCase& c = GetParam();
    if (c.blocked)
        blockStore();
    if (c.before)
        writeStoreFile(c.before);
    SettingsStore store;
    OperatorValues settings;
    settings.setDateFrom({2026, 11, 1});
    settings.setDateTo({2026, 12, 9});
    settings.setSendingDepartment(c.sendingKey);
    settings.setHiddenDepartment(c.hiddenKey);
    settings.setCopies(c.copies);

    operator_state::saveOperatorValues(store, settings);

    EXPECT_EQ(storeExists(), c.after != nullptr);
    if (c.after) {
        EXPECT_EQ(storedObject(), QJsonDocument::fromJson(c.after).object());
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, SaveTest, ::testing::ValuesIn(kSaveCases),
                         CaseName());

TEST(OperatorValuesTest, ChangesAreSignalledOnce)
{
    OperatorValues settings;
    int changes = 0;
    QObject::connect(&settings, &OperatorValues::changed, [&] { ++changes; });
    settings.setCopies(3);
    settings.setCopies(3);
    settings.setSendingDepartment(0);  // a key of 0 is a key value, not none
    settings.setSendingDepartment(0);
    EXPECT_EQ(changes, 2);
    EXPECT_EQ(settings.sendingDepartmentKey(), std::optional<std::int32_t>(0));
}

// --- The department lists ------------------------------------------------------

// `count` departments whose names sort the other way round from their keys.
void insertDepartments(const testsupport::TestDatabase& database, int count)
{
    QString script;
    for (int isn = 1; isn <= count; ++isn)
        script += QStringLiteral("INSERT INTO N_DEPART (ISN, GNOS) VALUES (%1, 'Nodaļa %2');\n").arg(isn).arg(20 - isn);
    database.run(script);
}

std::vector<Department> expectedList(int count)
{
    std::vector<Department> list;
    for (int isn = count; isn >= 1; --isn)
        list.push_back({isn, QStringLiteral("Nodaļa %1").arg(20 - isn)});
    return list;
}

struct ListCase {
    int departments;
    int row;  // where the first show leaves each list
};

class DepartmentListsTest : public ::testing::TestWithParam<ListCase> {};

TEST_P(DepartmentListsTest, FirstShowListsByNameAndStepsAtMostSevenRowsIn)
{
    const testsupport::TestDatabase database;
    insertDepartments(database, GetParam().departments);
    PrintLock printLock;
    OperatorDatabase operatorDatabase(database.options(db::TransactionMode::AutoCommit), printLock);
    const PrintLock::Held held = printLock.acquire();

    operatorDatabase.openDepartmentLists(held);

    const std::vector<Department> expected = expectedList(GetParam().departments);
    EXPECT_EQ(operatorDatabase.connection(held).options().mode, db::TransactionMode::Explicit);
    EXPECT_EQ(operatorDatabase.sendingDepartmentList(), expected);
    EXPECT_EQ(operatorDatabase.hiddenDepartmentList(), expected);
    const std::int32_t keyAtRow = expected.at(static_cast<size_t>(GetParam().row)).isn;
    EXPECT_EQ(operatorDatabase.departmentPositions(held).sending, keyAtRow);
    EXPECT_EQ(operatorDatabase.departmentPositions(held).hidden, keyAtRow);
}

INSTANTIATE_TEST_SUITE_P(Lengths, DepartmentListsTest,
                         ::testing::Values(ListCase{9, 7}, ListCase{8, 7}, ListCase{3, 2}),
                         [](const auto& c) { return "departments_" + std::to_string(c.param.departments); });

TEST(DepartmentListsReopenTest, ReopenedListsShowWhatWasCommittedAndStandOnTheirRows)
{
    const testsupport::TestDatabase database;
    insertDepartments(database, 6);
    PrintLock printLock;
    OperatorDatabase operatorDatabase(database.options(), printLock);
    const PrintLock::Held held = printLock.acquire();
    operatorDatabase.openDepartmentLists(held);
    database.run(QStringLiteral("INSERT INTO N_DEPART (ISN, GNOS) VALUES (50, 'Aaa');"));
    int reopened = 0;
    QObject::connect(&operatorDatabase, &OperatorDatabase::departmentListsChanged, [&] { ++reopened; });

    operatorDatabase.connection(held).transaction().commit();
    // The sending list goes back to department 4; the hidden one keeps a key
    // that is gone and stays where stepping left it (the seventh row on).
    operatorDatabase.reopenDepartmentLists(held, {4, 99});

    EXPECT_EQ(reopened, 1);
    ASSERT_EQ(operatorDatabase.sendingDepartmentList().size(), 7u);
    EXPECT_EQ(operatorDatabase.sendingDepartmentList().front(), (Department{50, QStringLiteral("Aaa")}));
    EXPECT_EQ(operatorDatabase.hiddenDepartmentList().size(), 7u);
    EXPECT_EQ(operatorDatabase.departmentPositions(held).sending, 4);
    EXPECT_EQ(operatorDatabase.departmentPositions(held).hidden, operatorDatabase.hiddenDepartmentList().back().isn);
}

TEST(DepartmentListsReopenTest, UnreachableDatabaseFailsTheFirstShow)
{
    PrintLock printLock;
    OperatorDatabase operatorDatabase(unusedConnection(), printLock);
    EXPECT_THROW(operatorDatabase.openDepartmentLists(printLock.acquire()), db::DbError);
}

TEST(PrintLockTest, TheOperatorsDatabaseIsRefusedUnderAnotherLock)
{
    PrintLock printLock;
    PrintLock another;
    OperatorDatabase operatorDatabase(unusedConnection(), printLock);
    EXPECT_THROW(operatorDatabase.connection(another.acquire()), std::logic_error);
    EXPECT_NO_THROW(operatorDatabase.connection(printLock.acquire()));
}

}  // namespace
}  // namespace operatorstatetest
