#pragma once
// The operator's working state, shared by the operator window (which edits it
// on the main thread) and the request handlers and reports (which read it on
// worker threads): the five settings values, the operator connection
// PRECES_DB with its one transaction PRECES_TR, the two department lists and
// the VAT rate of the reports' captions.
//
// The values live under a mutex and are read as one consistent snapshot, so a
// request never mixes two states. The connection and the department lists are
// used only under the print lock, which a print request holds from its first
// step to its last.

#include "Connection.h"
#include "Query.h"

#include <QDate>
#include <QMutex>
#include <QObject>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace host {

class SettingsStore;

struct OperatorSnapshot {
    QDate dateFrom{2014, 11, 11};
    QDate dateTo{2014, 11, 11};
    // Department keys (N_DEPART.ISN); 0 while the lookup holds no key value.
    std::int32_t sendingDepartment = 0;
    std::int32_t hiddenDepartment = 0;
    int copies = 2;
    double vatRate = 0;  // percent; nothing sets it
};

// One row of a department list.
struct Department {
    std::int32_t isn = 0;
    QString name;  // GNOS

    bool operator==(const Department&) const = default;
};

class OperatorSettings : public QObject {
    Q_OBJECT
public:
    // The connection runs in TransactionMode::Explicit whatever `mode` says.
    explicit OperatorSettings(db::ConnectionOptions operatorConnection, QObject* parent = nullptr);
    ~OperatorSettings() override;

    OperatorSnapshot snapshot() const;

    void setDateFrom(const QDate& date);
    void setDateTo(const QDate& date);
    // std::nullopt: the lookup holds no key value (read as 0).
    void setSendingDepartment(std::optional<std::int32_t> key);
    void setHiddenDepartment(std::optional<std::int32_t> key);
    void setCopies(int copies);
    std::optional<std::int32_t> sendingDepartmentKey() const;
    std::optional<std::int32_t> hiddenDepartmentKey() const;

    // Held by a print request from its first step to its last, and taken by
    // everything else that uses the operator connection or the department
    // lists, so that one thread at a time does.
    QMutex& printLock() { return printLock_; }

    // PRECES_DB (explicit snapshot transaction PRECES_TR); connects when the
    // first dataset opens.
    db::Connection& operatorConnection() { return *connection_; }
    // IBQuery_nodalas and IBQuery_nerad_nodalas: "SELECT ISN, GNOS FROM
    // N_DEPART ORDER BY GNOS" on PRECES_DB.
    db::Query& sendingDepartments() { return *sendingDepartments_; }
    db::Query& hiddenDepartments() { return *hiddenDepartments_; }

    // The window's first show: closes and reopens both lists (the first open
    // connects PRECES_DB) and steps each forward through at most seven rows.
    // Takes the print lock. Throws db::DbError, e.g. when the database cannot
    // be reached.
    void openDepartmentLists();
    // The keys (ISN) of the rows the two lists stand on; none for a list that
    // is closed or empty. The caller holds the print lock.
    struct DepartmentPositions {
        std::optional<std::int32_t> sending;
        std::optional<std::int32_t> hidden;
    };
    DepartmentPositions departmentPositions() const;
    // Reopens both lists (committing PRECES_TR closes them), steps each
    // forward through at most seven rows and then onto the row of its kept
    // key, where there is one; emits departmentListsChanged. The caller holds
    // the print lock. Throws db::DbError.
    void reopenDepartmentLists(const DepartmentPositions& kept);

    // The rows of the two lists as last opened, for the window (which never
    // touches the queries themselves).
    std::vector<Department> sendingDepartmentList() const;
    std::vector<Department> hiddenDepartmentList() const;

signals:
    // A value changed (the window follows it).
    void changed();
    // The department lists were reopened (queued to the window).
    void departmentListsChanged();

private:
    // Runs `change` under the mutex; emits changed when it says it changed
    // something.
    void modify(const std::function<bool()>& change);
    void openLists(const DepartmentPositions& kept);

    mutable QMutex mutex_;
    OperatorSnapshot values_;
    std::optional<std::int32_t> sendingKey_;
    std::optional<std::int32_t> hiddenKey_;
    std::vector<Department> sendingList_;
    std::vector<Department> hiddenList_;

    QMutex printLock_;
    std::unique_ptr<db::Connection> connection_;
    std::unique_ptr<db::Query> sendingDepartments_;
    std::unique_ptr<db::Query> hiddenDepartments_;
};

// --- The operator settings in the settings store ---------------------------

// Value names under Software\ZEMBRIK\Tolvira\Dravun.
namespace settingNames {
inline constexpr char DateFrom[] = "Datums";
inline constexpr char DateTo[] = "Datums2";
inline constexpr char SendingDepartment[] = "Nodala";
inline constexpr char HiddenDepartment[] = "Nerad_nodala";
inline constexpr char Copies[] = "Kopijas";
}  // namespace settingNames

// The regional short date format of the stored dates, whatever the machine's
// locale.
inline constexpr char kStoredDateFormat[] = "dd.MM.yyyy";

// Restores the five values, each on its own: a date that is missing, not
// text or not a date in the short date format becomes today's date; a key or
// the copies that are missing or not a 32-bit integer stay as they are. When
// the key cannot be opened nothing changes.
void restoreOperatorSettings(const SettingsStore& store, OperatorSettings& settings);

// Saves the five values in one update, keeping the store's other values. A
// lookup without a key value leaves its value as it was. When the key cannot
// be opened nothing is saved.
void saveOperatorSettings(SettingsStore& store, const OperatorSettings& settings);

}  // namespace host
