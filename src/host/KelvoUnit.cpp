#include "KelvoUnit.h"

#include "Log.h"
#include "OperatorDatabase.h"
#include "OperatorValues.h"
#include "SettingsStore.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QDateEdit>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QStyle>

#include <limits>

namespace host {
namespace {

const QString kCaption = QStringLiteral("Zaziviviza Duvirov uduzadodi dororav 1.34.17");
constexpr QSize kClientSize{463, 420};

template <typename Widget>
Widget* place(QWidget* parent, const char* name, const QRect& geometry)
{
    auto* widget = new Widget(parent);
    widget->setObjectName(QLatin1String(name));
    widget->setGeometry(geometry);
    return widget;
}

// Labels size themselves to their text.
QLabel* placeLabel(QWidget* parent, const char* name, const QString& text, const QPoint& topLeft)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    label->move(topLeft);
    label->adjustSize();
    return label;
}

QDateEdit* placeDatePicker(QWidget* parent, const char* name, const QRect& geometry)
{
    auto* picker = place<QDateEdit>(parent, name, geometry);
    picker->setCalendarPopup(true);
    picker->setDisplayFormat(QLatin1String(operator_state::kStoredDateFormat));
    return picker;
}

QVariant departmentKey(std::optional<std::int32_t> key)
{
    return key ? QVariant(*key) : QVariant(QStringLiteral("none"));
}

// The values in force after a restore; a store that cannot be opened is
// worth a warning, since nothing was restored.
void logRestore(const char* event, bool restored, const OperatorValues& values, const SettingsStore& store)
{
    if (!restored) {
        logging::warning(event, {{"store", store.location()}, {"restored", "no: the store cannot be opened"}});
        return;
    }
    const operator_state::OperatorSnapshot snapshot = values.snapshot();
    const QString dateFormat = QLatin1String(operator_state::kStoredDateFormat);
    logging::info(event, {{"store", store.location()},
                          {"date_from", snapshot.dateFrom.toString(dateFormat)},
                          {"date_to", snapshot.dateTo.toString(dateFormat)},
                          {"sending_department", departmentKey(values.sendingDepartmentKey())},
                          {"hidden_department", departmentKey(values.hiddenDepartmentKey())},
                          {"copies", snapshot.copies}});
}

}  // namespace

void operatorShow(OperatorValues& values, OperatorDatabase& database, const SettingsStore& store)
{
    {
        const operator_state::PrintLock::Held held = database.printLock().acquire();
        database.openDepartmentLists(held);
    }
    logRestore("settings.restored", restoreOperatorValues(store, values), values, store);
}

void operatorClose(const OperatorValues& values, SettingsStore& store)
{
    if (saveOperatorValues(store, values))
        logging::info("settings.saved", {{"store", store.location()}});
    else
        logging::warning("settings.not_saved", {{"store", store.location()}});
}

void operatorReload(OperatorValues& values, const SettingsStore& store)
{
    logRestore("settings.reloaded", restoreOperatorValues(store, values), values, store);
}

TForm1::TForm1(OperatorValues& values, OperatorDatabase& database, SettingsStore& store, QWidget* parent)
    : QWidget(parent), values_(values), database_(database), store_(store)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(kCaption);
    setFont(QFont(QStringLiteral("Tahoma"), 8));
    setFixedSize(kClientSize);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        setGeometry(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, kClientSize, screen->availableGeometry()));
    buildControls();
    showSettings();
    connectControls();
}

void TForm1::buildControls()
{
    Label1 = placeLabel(this, "Label1", QStringLiteral("Datums"), {8, 8});
    DateTimePicker1 = placeDatePicker(this, "DateTimePicker1", {254, 5, 94, 21});
    Label5 = placeLabel(this, "Label5", QStringLiteral("-"), {355, 8});
    DateTimePicker2 = placeDatePicker(this, "DateTimePicker2", {366, 5, 94, 21});
    Label2 = placeLabel(this, "Label2", QStringLiteral("Nodaļa"), {8, 30});
    DBLookupComboBox1 = place<QComboBox>(this, "DBLookupComboBox1", {139, 26, 321, 21});
    Label4 = placeLabel(this, "Label4", QStringLiteral("Nerādāmā nodaļa"), {8, 51});
    DBLookupComboBox2 = place<QComboBox>(this, "DBLookupComboBox2", {139, 47, 321, 21});
    Label3 = placeLabel(this, "Label3", QStringLiteral("Pavadzīmes kopiju skaits"), {7, 72});
    CSpinEdit1 = place<QSpinBox>(this, "CSpinEdit1", {390, 68, 70, 22});
    CSpinEdit1->setRange(std::numeric_limits<int>::min(), std::numeric_limits<int>::max());
}

void TForm1::connectControls()
{
    connect(DateTimePicker1, &QDateEdit::dateChanged, &values_, &OperatorValues::setDateFrom);
    connect(DateTimePicker2, &QDateEdit::dateChanged, &values_, &OperatorValues::setDateTo);
    // activated: only the operator's choices, not the window's own selection.
    connect(DBLookupComboBox1, &QComboBox::activated, this,
            [this](int index) { values_.setSendingDepartment(DBLookupComboBox1->itemData(index).toInt()); });
    connect(DBLookupComboBox2, &QComboBox::activated, this,
            [this](int index) { values_.setHiddenDepartment(DBLookupComboBox2->itemData(index).toInt()); });
    connect(CSpinEdit1, &QSpinBox::valueChanged, &values_, &OperatorValues::setCopies);
    connect(&values_, &OperatorValues::changed, this, &TForm1::showSettings);
    // Reopened by a print request on its thread: queued here.
    connect(&database_, &OperatorDatabase::departmentListsChanged, this, &TForm1::fillLookups);
}

void TForm1::FormShow()
{
    operatorShow(values_, database_, store_);
    fillLookups();
}

void TForm1::FormClose()
{
    operatorClose(values_, store_);
}

void TForm1::closeEvent(QCloseEvent* event)
{
    FormClose();
    event->accept();
}

void TForm1::fillLookups()
{
    const auto fill = [](QComboBox* lookup, const std::vector<Department>& departments,
                         std::optional<std::int32_t> key) {
        const QSignalBlocker blocker(lookup);
        lookup->clear();
        for (const Department& department : departments)
            lookup->addItem(department.name, department.isn);
        selectKey(lookup, key);
    };
    fill(DBLookupComboBox1, database_.sendingDepartmentList(), values_.sendingDepartmentKey());
    fill(DBLookupComboBox2, database_.hiddenDepartmentList(), values_.hiddenDepartmentKey());
}

void TForm1::showSettings()
{
    const operator_state::OperatorSnapshot values = values_.snapshot();
    // Only what differs, so that a control being edited keeps its cursor.
    const auto showDate = [](QDateEdit* picker, const QDate& date) {
        if (picker->date() != date) {
            const QSignalBlocker blocker(picker);
            picker->setDate(date);
        }
    };
    showDate(DateTimePicker1, values.dateFrom);
    showDate(DateTimePicker2, values.dateTo);
    if (CSpinEdit1->value() != values.copies) {
        const QSignalBlocker blocker(CSpinEdit1);
        CSpinEdit1->setValue(values.copies);
    }
    selectKey(DBLookupComboBox1, values_.sendingDepartmentKey());
    selectKey(DBLookupComboBox2, values_.hiddenDepartmentKey());
}

// A key that names no listed department (or no key at all) shows nothing.
void TForm1::selectKey(QComboBox* lookup, std::optional<std::int32_t> key)
{
    const int index = key ? lookup->findData(*key) : -1;
    if (lookup->currentIndex() != index) {
        const QSignalBlocker blocker(lookup);
        lookup->setCurrentIndex(index);
    }
}

}  // namespace host
