#include "OperatorSettings.h"

#include "SettingsStore.h"

#include <limits>
#include <utility>

namespace host {
namespace {

const QString kDepartmentsSql = QStringLiteral("SELECT ISN, GNOS FROM N_DEPART ORDER BY GNOS");

// How far the window's first show steps into each list.
constexpr int kShownRows = 7;

db::ConnectionOptions explicitMode(db::ConnectionOptions options)
{
    options.mode = db::TransactionMode::Explicit;
    return options;
}

// Opens a department list, steps forward through at most seven rows, then
// onto the row whose key is `kept` (exact match; without one the list stays
// where the stepping left it).
std::vector<Department> openList(db::Query& query, std::optional<std::int32_t> kept)
{
    query.close();
    query.open();
    std::vector<Department> rows;
    int keptRow = -1;
    for (; !query.eof(); query.next()) {
        rows.push_back({query.field(u"ISN").asInteger(), query.field(u"GNOS").asString()});
        if (kept && rows.back().isn == *kept && keptRow < 0)
            keptRow = query.recNo();
    }
    query.first();
    for (int i = 0; i < kShownRows && !query.eof(); ++i)
        query.next();
    if (keptRow >= 0) {
        query.first();
        while (query.recNo() < keptRow)
            query.next();
    }
    return rows;
}

std::optional<std::int32_t> currentKey(const db::Query& query)
{
    if (!query.isOpen() || query.isEmpty())
        return std::nullopt;
    return query.field(u"ISN").asInteger();
}

template <typename T>
bool replace(T& member, const T& value)
{
    return std::exchange(member, value) != value;
}

std::optional<QDate> storedDate(const SettingsStore::Values& values, const char* name)
{
    const QVariant value = values.value(QLatin1String(name));
    if (value.typeId() != QMetaType::QString)
        return std::nullopt;
    // As the short date format reads: day and month with or without their
    // leading zero.
    const QDate date = QDate::fromString(value.toString(), QStringLiteral("d.M.yyyy"));
    return date.isValid() ? std::optional(date) : std::nullopt;
}

std::optional<std::int32_t> storedInteger(const SettingsStore::Values& values, const char* name)
{
    const QVariant value = values.value(QLatin1String(name));
    if (value.typeId() != QMetaType::LongLong && value.typeId() != QMetaType::Int)
        return std::nullopt;
    const qint64 number = value.toLongLong();
    if (number < std::numeric_limits<std::int32_t>::min() || number > std::numeric_limits<std::int32_t>::max())
        return std::nullopt;
    return static_cast<std::int32_t>(number);
}

}  // namespace

OperatorSettings::OperatorSettings(db::ConnectionOptions operatorConnection, QObject* parent)
    : QObject(parent),
      connection_(std::make_unique<db::Connection>(explicitMode(std::move(operatorConnection)))),
      sendingDepartments_(std::make_unique<db::Query>(*connection_, kDepartmentsSql)),
      hiddenDepartments_(std::make_unique<db::Query>(*connection_, kDepartmentsSql))
{
}

OperatorSettings::~OperatorSettings() = default;

OperatorSnapshot OperatorSettings::snapshot() const
{
    QMutexLocker locker(&mutex_);
    return values_;
}

void OperatorSettings::modify(const std::function<bool()>& change)
{
    bool changedSomething = false;
    {
        QMutexLocker locker(&mutex_);
        changedSomething = change();
    }
    if (changedSomething)
        emit changed();
}

void OperatorSettings::setDateFrom(const QDate& date)
{
    modify([&] { return replace(values_.dateFrom, date); });
}

void OperatorSettings::setDateTo(const QDate& date)
{
    modify([&] { return replace(values_.dateTo, date); });
}

void OperatorSettings::setSendingDepartment(std::optional<std::int32_t> key)
{
    modify([&] {
        values_.sendingDepartment = key.value_or(0);
        return replace(sendingKey_, key);
    });
}

void OperatorSettings::setHiddenDepartment(std::optional<std::int32_t> key)
{
    modify([&] {
        values_.hiddenDepartment = key.value_or(0);
        return replace(hiddenKey_, key);
    });
}

void OperatorSettings::setCopies(int copies)
{
    modify([&] { return replace(values_.copies, copies); });
}

std::optional<std::int32_t> OperatorSettings::sendingDepartmentKey() const
{
    QMutexLocker locker(&mutex_);
    return sendingKey_;
}

std::optional<std::int32_t> OperatorSettings::hiddenDepartmentKey() const
{
    QMutexLocker locker(&mutex_);
    return hiddenKey_;
}

void OperatorSettings::openDepartmentLists()
{
    QMutexLocker printing(&printLock_);
    openLists({});
}

OperatorSettings::DepartmentPositions OperatorSettings::departmentPositions() const
{
    return {currentKey(*sendingDepartments_), currentKey(*hiddenDepartments_)};
}

void OperatorSettings::reopenDepartmentLists(const DepartmentPositions& kept)
{
    openLists(kept);
    emit departmentListsChanged();
}

void OperatorSettings::openLists(const DepartmentPositions& kept)
{
    std::vector<Department> sending = openList(*sendingDepartments_, kept.sending);
    std::vector<Department> hidden = openList(*hiddenDepartments_, kept.hidden);
    QMutexLocker locker(&mutex_);
    sendingList_ = std::move(sending);
    hiddenList_ = std::move(hidden);
}

std::vector<Department> OperatorSettings::sendingDepartmentList() const
{
    QMutexLocker locker(&mutex_);
    return sendingList_;
}

std::vector<Department> OperatorSettings::hiddenDepartmentList() const
{
    QMutexLocker locker(&mutex_);
    return hiddenList_;
}

// --- The operator settings in the settings store ---------------------------

void restoreOperatorSettings(const SettingsStore& store, OperatorSettings& settings)
{
    const std::optional<SettingsStore::Values> values = store.read();
    if (!values)
        return;
    const QDate today = QDate::currentDate();
    settings.setDateFrom(storedDate(*values, settingNames::DateFrom).value_or(today));
    settings.setDateTo(storedDate(*values, settingNames::DateTo).value_or(today));
    if (const auto key = storedInteger(*values, settingNames::SendingDepartment))
        settings.setSendingDepartment(*key);
    if (const auto key = storedInteger(*values, settingNames::HiddenDepartment))
        settings.setHiddenDepartment(*key);
    if (const auto copies = storedInteger(*values, settingNames::Copies))
        settings.setCopies(*copies);
}

void saveOperatorSettings(SettingsStore& store, const OperatorSettings& settings)
{
    const OperatorSnapshot values = settings.snapshot();
    const std::optional<std::int32_t> sendingKey = settings.sendingDepartmentKey();
    const std::optional<std::int32_t> hiddenKey = settings.hiddenDepartmentKey();
    store.update([&](SettingsStore::Values& stored) {
        const auto putDate = [&](const char* name, const QDate& date) {
            if (date.isValid())
                stored.insert(QLatin1String(name), date.toString(QLatin1String(kStoredDateFormat)));
        };
        const auto putInteger = [&](const char* name, std::optional<std::int32_t> number) {
            if (number)
                stored.insert(QLatin1String(name), qint64{*number});
        };
        putDate(settingNames::DateFrom, values.dateFrom);
        putDate(settingNames::DateTo, values.dateTo);
        putInteger(settingNames::SendingDepartment, sendingKey);
        putInteger(settingNames::HiddenDepartment, hiddenKey);
        putInteger(settingNames::Copies, values.copies);
    });
}

}  // namespace host
