#pragma once
// What the console shows and changes, as JSON: the operator's values with
// the department lists, the server's state, the handhelds and the print
// journal; and a change of the operator's values as the page sends it.

#include "OperatorDatabase.h"
#include "OperatorValues.h"
#include "PrintJournal.h"

#include <QDateTime>
#include <QJsonObject>
#include <QList>
#include <QString>

#include <functional>
#include <optional>

namespace console {

// A handheld's connection.
struct Handheld {
    QString peer;
    QDateTime since;
    qint64 requests = 0;
    QDateTime lastRequest;  // invalid before the first request
};

struct ServerStatus {
    QString mode;           // "window" or "headless"
    QString listenAddress;  // of the handhelds
    QString database;
    // None until the first check.
    std::optional<bool> databaseReachable;
    QString databaseError;
    QDateTime databaseCheckedAt;
    // The number the next waybill receives; empty when the counter is to
    // continue after the newest waybill of the database.
    QString nextWaybillNumber;
    std::optional<printing::PrintEntry> runningPrint;
    QList<Handheld> handhelds;
};

// What the console reads and changes; its functions run on the console's
// thread, except `reprint`, which runs on a thread of its own.
struct ConsoleBackend {
    operator_state::OperatorValues& values;
    const operator_state::OperatorDatabase& database;
    const printing::PrintJournal& journal;
    std::function<ServerStatus()> status;
    // Prints the waybill again as a handheld's request would, with the copies
    // in force; `requester` names who asked, for the journal. Throws on
    // failure (the journal has the entry either way).
    std::function<void(std::int32_t waybillIsn, const QString& requester)> reprint;
};

// Entries of the journal the page shows, newest first.
inline constexpr int kJournalShown = 100;

QJsonObject stateJson(const ConsoleBackend& backend);

// A change the page asks for (any of "dateFrom", "dateTo" as dd.MM.yyyy,
// "today": true for both dates today, "sendingDepartment", "hiddenDepartment"
// (a key of its list; 0 or null clears it), "copies"). Checked whole before
// anything changes; the error text (for the operator) when it cannot be
// applied.
std::optional<QString> applySettings(const QJsonObject& change, operator_state::OperatorValues& values,
                                     const operator_state::OperatorDatabase& database);

}  // namespace console
