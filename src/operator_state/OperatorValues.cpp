#include "OperatorValues.h"

#include "SettingsStore.h"

#include <limits>
#include <utility>

namespace operator_state {
namespace {

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

OperatorValues::OperatorValues(QObject* parent) : QObject(parent) {}

OperatorSnapshot OperatorValues::snapshot() const
{
    QMutexLocker locker(&mutex_);
    return values_;
}

void OperatorValues::modify(const std::function<bool()>& change)
{
    bool changedSomething = false;
    {
        QMutexLocker locker(&mutex_);
        changedSomething = change();
    }
    if (changedSomething)
        emit changed();
}

void OperatorValues::setDateFrom(const QDate& date)
{
    modify([&] { return replace(values_.dateFrom, date); });
}

void OperatorValues::setDateTo(const QDate& date)
{
    modify([&] { return replace(values_.dateTo, date); });
}

void OperatorValues::setSendingDepartment(std::optional<std::int32_t> key)
{
    modify([&] {
        values_.sendingDepartment = key.value_or(0);
        return replace(sendingKey_, key);
    });
}

void OperatorValues::setHiddenDepartment(std::optional<std::int32_t> key)
{
    modify([&] {
        values_.hiddenDepartment = key.value_or(0);
        return replace(hiddenKey_, key);
    });
}

void OperatorValues::setCopies(int copies)
{
    modify([&] { return replace(values_.copies, copies); });
}

std::optional<std::int32_t> OperatorValues::sendingDepartmentKey() const
{
    QMutexLocker locker(&mutex_);
    return sendingKey_;
}

std::optional<std::int32_t> OperatorValues::hiddenDepartmentKey() const
{
    QMutexLocker locker(&mutex_);
    return hiddenKey_;
}

// --- The operator values in the settings store -----------------------------

bool restoreOperatorValues(const SettingsStore& store, OperatorValues& values)
{
    const std::optional<SettingsStore::Values> stored = store.read();
    if (!stored)
        return false;
    const QDate today = QDate::currentDate();
    values.setDateFrom(storedDate(*stored, settingNames::DateFrom).value_or(today));
    values.setDateTo(storedDate(*stored, settingNames::DateTo).value_or(today));
    if (const auto key = storedInteger(*stored, settingNames::SendingDepartment))
        values.setSendingDepartment(*key);
    if (const auto key = storedInteger(*stored, settingNames::HiddenDepartment))
        values.setHiddenDepartment(*key);
    if (const auto copies = storedInteger(*stored, settingNames::Copies))
        values.setCopies(*copies);
    return true;
}

bool saveOperatorValues(SettingsStore& store, const OperatorValues& operatorValues)
{
    const OperatorSnapshot values = operatorValues.snapshot();
    const std::optional<std::int32_t> sendingKey = operatorValues.sendingDepartmentKey();
    const std::optional<std::int32_t> hiddenKey = operatorValues.hiddenDepartmentKey();
    return store.update([&](SettingsStore::Values& stored) {
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

}  // namespace operator_state
