#include "ConsoleModel.h"

#include <QJsonArray>

#include <algorithm>
#include <limits>

namespace console {
namespace {

const QString kDateFormat = QLatin1String(operator_state::kStoredDateFormat);
const QString kTimeFormat = QStringLiteral("dd.MM.yyyy HH:mm:ss");

QJsonValue timeJson(const QDateTime& time)
{
    return time.isValid() ? QJsonValue(time.toLocalTime().toString(kTimeFormat)) : QJsonValue(QJsonValue::Null);
}

QJsonValue keyJson(std::optional<std::int32_t> key)
{
    return key ? QJsonValue(*key) : QJsonValue(QJsonValue::Null);
}

QJsonArray departmentsJson(const std::vector<operator_state::Department>& departments)
{
    QJsonArray list;
    for (const operator_state::Department& department : departments)
        list.append(QJsonObject{{"isn", department.isn}, {"name", department.name}});
    return list;
}

QJsonObject settingsJson(const operator_state::OperatorValues& values)
{
    const operator_state::OperatorSnapshot snapshot = values.snapshot();
    return {{"dateFrom", snapshot.dateFrom.toString(kDateFormat)},
            {"dateTo", snapshot.dateTo.toString(kDateFormat)},
            {"sendingDepartment", keyJson(values.sendingDepartmentKey())},
            {"hiddenDepartment", keyJson(values.hiddenDepartmentKey())},
            {"copies", snapshot.copies}};
}

QJsonObject printJson(const printing::PrintEntry& entry)
{
    return {{"startedAt", timeJson(entry.startedAt)},
            {"isn", entry.waybillIsn},
            {"number", entry.waybillNumber},
            {"form", entry.form},
            {"copies", entry.copies},
            {"destination", entry.destination},
            {"durationMs", entry.durationMs},
            {"outcome", printing::outcomeName(entry.outcome)},
            {"error", entry.error},
            {"peer", entry.peer}};
}

QJsonObject serverJson(const ServerStatus& status)
{
    QJsonArray handhelds;
    for (const Handheld& handheld : status.handhelds) {
        handhelds.append(QJsonObject{{"peer", handheld.peer},
                                     {"since", timeJson(handheld.since)},
                                     {"requests", handheld.requests},
                                     {"lastRequest", timeJson(handheld.lastRequest)}});
    }
    return {{"mode", status.mode},
            {"listen", status.listenAddress},
            {"database", status.database},
            {"databaseReachable", status.databaseReachable ? QJsonValue(*status.databaseReachable) : QJsonValue()},
            {"databaseError", status.databaseError},
            {"databaseCheckedAt", timeJson(status.databaseCheckedAt)},
            {"nextWaybillNumber", status.nextWaybillNumber},
            {"runningPrint", status.runningPrint ? QJsonValue(printJson(*status.runningPrint)) : QJsonValue()},
            {"handhelds", handhelds},
            {"time", timeJson(QDateTime::currentDateTime())}};
}

QJsonArray journalJson(const printing::PrintJournal& journal)
{
    const std::vector<printing::PrintEntry> entries = journal.entries();
    QJsonArray list;
    const auto shown = std::min<std::ptrdiff_t>(static_cast<std::ptrdiff_t>(entries.size()), kJournalShown);
    for (auto entry = entries.rbegin(); entry != entries.rbegin() + shown; ++entry)
        list.append(printJson(*entry));
    return list;
}

// A date as the window shows it; none for anything else.
std::optional<QDate> dateIn(const QJsonValue& value)
{
    const QDate date = QDate::fromString(value.toString(), kDateFormat);
    return date.isValid() ? std::optional(date) : std::nullopt;
}

bool isWholeNumber(const QJsonValue& value, double minimum, double maximum)
{
    const double number = value.toDouble();
    return value.isDouble() && number == static_cast<double>(static_cast<qint64>(number)) && number >= minimum
           && number <= maximum;
}

// A department choice: the key, or no department (0).
using DepartmentChoice = std::optional<std::int32_t>;

// A key of `departments`; 0 or null is no department where `clearable`.
// None when it is neither.
std::optional<DepartmentChoice> departmentIn(const QJsonValue& value,
                                                        const std::vector<operator_state::Department>& departments,
                                                        bool clearable)
{
    if (clearable && (value.isNull() || (value.isDouble() && value.toDouble() == 0)))
        return DepartmentChoice(0);
    if (!isWholeNumber(value, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()))
        return std::nullopt;
    const auto key = static_cast<std::int32_t>(value.toDouble());
    const bool listed = std::any_of(departments.begin(), departments.end(),
                                    [key](const operator_state::Department& department) { return department.isn == key; });
    if (!listed)
        return std::nullopt;
    return DepartmentChoice(key);
}

}  // namespace

QJsonObject stateJson(const ConsoleBackend& backend)
{
    return {{"settings", settingsJson(backend.values)},
            {"departments", QJsonObject{{"sending", departmentsJson(backend.database.sendingDepartmentList())},
                                        {"hidden", departmentsJson(backend.database.hiddenDepartmentList())}}},
            {"server", serverJson(backend.status())},
            {"journal", journalJson(backend.journal)}};
}

std::optional<QString> applySettings(const QJsonObject& change, operator_state::OperatorValues& values,
                                     const operator_state::OperatorDatabase& database)
{
    static const QStringList known = {"today", "dateFrom", "dateTo", "sendingDepartment", "hiddenDepartment", "copies"};
    for (const QString& name : change.keys()) {
        if (!known.contains(name))
            return QStringLiteral("Nezināms iestatījums: %1").arg(name);
    }
    std::optional<QDate> dateFrom;
    std::optional<QDate> dateTo;
    if (change.value(QLatin1String("today")).toBool())
        dateFrom = dateTo = QDate::currentDate();
    for (const auto& [name, date] : {std::pair{"dateFrom", &dateFrom}, std::pair{"dateTo", &dateTo}}) {
        if (!change.contains(QLatin1String(name)))
            continue;
        *date = dateIn(change.value(QLatin1String(name)));
        if (!*date)
            return QStringLiteral("Datumam jābūt formā dd.mm.gggg: %1").arg(change.value(QLatin1String(name)).toString());
    }
    std::optional<DepartmentChoice> sending;
    if (change.contains(QLatin1String("sendingDepartment"))) {
        sending = departmentIn(change.value(QLatin1String("sendingDepartment")), database.sendingDepartmentList(), false);
        if (!sending)
            return QStringLiteral("Šādas nodaļas sarakstā nav");
    }
    std::optional<DepartmentChoice> hidden;
    if (change.contains(QLatin1String("hiddenDepartment"))) {
        hidden = departmentIn(change.value(QLatin1String("hiddenDepartment")), database.hiddenDepartmentList(), true);
        if (!hidden)
            return QStringLiteral("Šādas nerādāmās nodaļas sarakstā nav");
    }
    std::optional<int> copies;
    if (change.contains(QLatin1String("copies"))) {
        const QJsonValue value = change.value(QLatin1String("copies"));
        if (!isWholeNumber(value, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()))
            return QStringLiteral("Kopiju skaitam jābūt veselam skaitlim");
        copies = static_cast<int>(value.toDouble());
    }
    if (dateFrom)
        values.setDateFrom(*dateFrom);
    if (dateTo)
        values.setDateTo(*dateTo);
    if (sending)
        values.setSendingDepartment(*sending);
    if (hidden)
        values.setHiddenDepartment(*hidden);
    if (copies)
        values.setCopies(*copies);
    return std::nullopt;
}

}  // namespace console
