#include "ConsoleModel.h"
#include "KelvoUnit.h"
#include "OperatorDatabase.h"
#include "OperatorValues.h"
#include "SettingsStore.h"
#include "StoreFixture.h"
#include "TestDatabase.h"

#include <QComboBox>
#include <QDateEdit>
#include <QJsonDocument>
#include <QLabel>
#include <QScreen>
#include <QSpinBox>
#include <QTest>

#include <limits>
#include <thread>

namespace hosttest {
using testsupport::CaseName;
using testsupport::StoreTest;
namespace {

using operator_state::OperatorDatabase;
using operator_state::OperatorValues;
using operator_state::PrintLock;
using operator_state::SettingsStore;
using host::TForm1;

db::ConnectionOptions unusedConnection()
{
    db::ConnectionOptions options;
    options.database = QStringLiteral("/nonexistent/kelvo/preces.fdb");
    return options;
}

// What a control shows.
QString shownText(const QWidget* control)
{
    if (const auto* label = qobject_cast<const QLabel*>(control))
        return label->text();
    if (const auto* spin = qobject_cast<const QAbstractSpinBox*>(control))
        return spin->text();
    if (const auto* lookup = qobject_cast<const QComboBox*>(control))
        return lookup->currentText();
    return {};
}

class WindowTest : public StoreTest {
protected:
    template <typename Control>
    Control* control(const char* name)
    {
        auto* found = form.findChild<Control*>(QLatin1String(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }

    SettingsStore store;
    OperatorValues settings;
    PrintLock printLock;
    OperatorDatabase operatorDatabase{unusedConnection(), printLock};
    TForm1 form{settings, operatorDatabase, store};
};

TEST_F(WindowTest, CaptionFixedClientAreaCentredTahoma)
{
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Zaziviviza Duvirov uduzadodi dororav 1.34.17"));
    EXPECT_EQ(form.size(), QSize(463, 420));
    EXPECT_EQ(form.minimumSize(), QSize(463, 420));
    EXPECT_EQ(form.maximumSize(), QSize(463, 420));
    EXPECT_EQ(form.font().family(), QStringLiteral("Tahoma"));
    EXPECT_EQ(form.font().pointSize(), 8);
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_LE((form.geometry().center() - screen.center()).manhattanLength(), 1);
}

struct ControlCase {
    const char* name;
    QRect geometry;  // labels size themselves: width and height 0
    const char* text;
};

const ControlCase kControls[] = {
    {"Label1", {8, 8, 0, 0}, "Datums"},
    {"DateTimePicker1", {254, 5, 94, 21}, "11.11.2014"},
    {"Label5", {355, 8, 0, 0}, "-"},
    {"DateTimePicker2", {366, 5, 94, 21}, "11.11.2014"},
    {"Label2", {8, 30, 0, 0}, "Nodaļa"},
    {"DBLookupComboBox1", {139, 26, 321, 21}, ""},
    {"Label4", {8, 51, 0, 0}, "Nerādāmā nodaļa"},
    {"DBLookupComboBox2", {139, 47, 321, 21}, ""},
    {"Label3", {7, 72, 0, 0}, "Pavadzīmes kopiju skaits"},
    {"CSpinEdit1", {390, 68, 70, 22}, "2"},
};

TEST_F(WindowTest, EveryControlAtItsPlaceWithItsDesignContent)
{
    EXPECT_EQ(form.findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly).size(), std::size(kControls));
    for (const ControlCase& c : kControls) {
        const auto* widget = control<QWidget>(c.name);
        if (!widget)
            continue;
        EXPECT_EQ(widget->pos(), c.geometry.topLeft()) << c.name;
        if (c.geometry.width() > 0) {
            EXPECT_EQ(widget->size(), c.geometry.size()) << c.name;
        }
        EXPECT_EQ(shownText(widget), QString::fromUtf8(c.text)) << c.name;
    }
}

TEST_F(WindowTest, DatePickersPopUpACalendarLookupsHoldNoKeyCopiesHaveNoBounds)
{
    for (const char* name : {"DateTimePicker1", "DateTimePicker2"}) {
        const auto* picker = control<QDateEdit>(name);
        ASSERT_TRUE(picker);
        EXPECT_TRUE(picker->calendarPopup()) << name;
        EXPECT_EQ(picker->displayFormat(), QStringLiteral("dd.MM.yyyy")) << name;
        EXPECT_EQ(picker->date(), QDate(2014, 11, 11)) << name;
    }
    for (const char* name : {"DBLookupComboBox1", "DBLookupComboBox2"})
        EXPECT_EQ(control<QComboBox>(name)->currentIndex(), -1) << name;
    const auto* copies = control<QSpinBox>("CSpinEdit1");
    EXPECT_EQ(copies->minimum(), std::numeric_limits<int>::min());
    EXPECT_EQ(copies->maximum(), std::numeric_limits<int>::max());
}

// A window on a database with three departments.
class ShownWindowTest : public StoreTest {
protected:
    ShownWindowTest()
    {
        database.run(QStringLiteral("INSERT INTO N_DEPART (ISN, GNOS) VALUES (1, 'Centrālā noliktava');"
                                    "INSERT INTO N_DEPART (ISN, GNOS) VALUES (2, 'Veikals \"Sigulda\"');"
                                    "INSERT INTO N_DEPART (ISN, GNOS) VALUES (3, 'Veikals \"Cēsis\"');"));
    }

    QStringList items(const char* lookupName)
    {
        QStringList names;
        const auto* lookup = form.findChild<QComboBox*>(QLatin1String(lookupName));
        for (int i = 0; i < lookup->count(); ++i)
            names << lookup->itemText(i);
        return names;
    }

    QComboBox* lookup(const char* name) { return form.findChild<QComboBox*>(QLatin1String(name)); }

    testsupport::TestDatabase database;
    SettingsStore store;
    OperatorValues settings;
    PrintLock printLock;
    OperatorDatabase operatorDatabase{database.options(), printLock};
    TForm1 form{settings, operatorDatabase, store};
};

TEST_F(ShownWindowTest, FormShowListsDepartmentsAndRestoresTheSettings)
{
    writeStoreFile(R"({"Datums": "01.11.2026", "Datums2": "09.12.2026", "Nodala": 99, "Nerad_nodala": 2, "Kopijas": 3})");
    form.FormShow();

    const QStringList departments = {QStringLiteral("Centrālā noliktava"), QStringLiteral("Veikals \"Cēsis\""),
                                     QStringLiteral("Veikals \"Sigulda\"")};
    EXPECT_EQ(items("DBLookupComboBox1"), departments);
    EXPECT_EQ(items("DBLookupComboBox2"), departments);
    // A stored key that names no department: nothing shown, the key kept.
    EXPECT_EQ(lookup("DBLookupComboBox1")->currentIndex(), -1);
    EXPECT_EQ(settings.snapshot().sendingDepartment, 99);
    EXPECT_EQ(lookup("DBLookupComboBox2")->currentText(), QStringLiteral("Veikals \"Sigulda\""));
    EXPECT_EQ(form.findChild<QDateEdit*>(QStringLiteral("DateTimePicker1"))->text(), QStringLiteral("01.11.2026"));
    EXPECT_EQ(form.findChild<QDateEdit*>(QStringLiteral("DateTimePicker2"))->text(), QStringLiteral("09.12.2026"));
    EXPECT_EQ(form.findChild<QSpinBox*>(QStringLiteral("CSpinEdit1"))->value(), 3);
}

TEST_F(ShownWindowTest, OperatorChangesReachTheSettingsAtOnceAndAreSavedOnClose)
{
    form.FormShow();
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));

    QTest::keyClick(lookup("DBLookupComboBox1"), Qt::Key_Down);
    EXPECT_EQ(settings.sendingDepartmentKey(), std::optional<std::int32_t>(1));
    QTest::keyClick(lookup("DBLookupComboBox1"), Qt::Key_Down);
    EXPECT_EQ(settings.sendingDepartmentKey(), std::optional<std::int32_t>(3));
    auto* copies = form.findChild<QSpinBox*>(QStringLiteral("CSpinEdit1"));
    copies->selectAll();
    QTest::keyClicks(copies, QStringLiteral("-4"));
    EXPECT_EQ(settings.snapshot().copies, -4);
    form.findChild<QDateEdit*>(QStringLiteral("DateTimePicker2"))->setDate({2026, 12, 24});
    EXPECT_EQ(settings.snapshot().dateTo, QDate(2026, 12, 24));
    // Nothing chosen for the hidden department: its value is not saved.
    EXPECT_EQ(settings.hiddenDepartmentKey(), std::nullopt);

    form.close();
    const QString today = QDate::currentDate().toString(QStringLiteral("dd.MM.yyyy"));
    EXPECT_EQ(storedObject(), QJsonDocument::fromJson(QStringLiteral(R"({"Datums": "%1", "Datums2": "24.12.2026",
        "Nodala": 3, "Kopijas": -4})").arg(today).toUtf8()).object());
}

TEST_F(ShownWindowTest, ListsReopenedOnAnotherThreadReachTheWindow)
{
    writeStoreFile(R"({"Nodala": 2})");
    form.FormShow();
    database.run(QStringLiteral("INSERT INTO N_DEPART (ISN, GNOS) VALUES (4, 'Aaa');"));

    std::thread printRequest([&] {
        const PrintLock::Held held = printLock.acquire();
        operatorDatabase.connection(held).transaction().commit();
        operatorDatabase.reopenDepartmentLists(held, operatorDatabase.departmentPositions(held));
    });
    printRequest.join();

    ASSERT_TRUE(QTest::qWaitFor([&] { return lookup("DBLookupComboBox1")->count() == 4; }, 5000));
    EXPECT_EQ(lookup("DBLookupComboBox1")->itemText(0), QStringLiteral("Aaa"));
    EXPECT_EQ(lookup("DBLookupComboBox1")->currentText(), QStringLiteral("Veikals \"Sigulda\""));
    EXPECT_EQ(lookup("DBLookupComboBox2")->count(), 4);
}

// The console changes the same values: the window shows the change at once,
// and the close saves it; a hidden department cleared there stays cleared.
TEST_F(ShownWindowTest, ConsoleChangesShowInTheWindowAndAreSavedOnClose)
{
    writeStoreFile(R"({"Nodala": 1, "Nerad_nodala": 2, "Kopijas": 2})");
    form.FormShow();
    ASSERT_EQ(lookup("DBLookupComboBox2")->currentText(), QStringLiteral("Veikals \"Sigulda\""));

    const QJsonObject change = QJsonDocument::fromJson(
        R"({"dateFrom": "01.12.2026", "sendingDepartment": 3, "hiddenDepartment": 0, "copies": 5})").object();
    ASSERT_EQ(console::applySettings(change, settings, operatorDatabase), std::nullopt);

    EXPECT_EQ(form.findChild<QDateEdit*>(QStringLiteral("DateTimePicker1"))->text(), QStringLiteral("01.12.2026"));
    EXPECT_EQ(lookup("DBLookupComboBox1")->currentText(), QStringLiteral("Veikals \"Cēsis\""));
    EXPECT_EQ(lookup("DBLookupComboBox2")->currentIndex(), -1);
    EXPECT_EQ(form.findChild<QSpinBox*>(QStringLiteral("CSpinEdit1"))->value(), 5);
    form.close();
    const QJsonObject stored = storedObject();
    EXPECT_EQ(stored.value(QStringLiteral("Datums")).toString(), QStringLiteral("01.12.2026"));
    EXPECT_EQ(stored.value(QStringLiteral("Nodala")).toInt(), 3);
    EXPECT_EQ(stored.value(QStringLiteral("Nerad_nodala")).toInt(-1), 0);
    EXPECT_EQ(stored.value(QStringLiteral("Kopijas")).toInt(), 5);
}

}  // namespace
}  // namespace hosttest
