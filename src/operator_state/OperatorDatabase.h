#pragma once
// The operator's database: the connection PRECES_DB with its one snapshot
// transaction PRECES_TR, and the two department lists the operator window
// shows (IBQuery_nodalas and IBQuery_nerad_nodalas). The department lists,
// the reports and the blocking of printed waybills use the connection; a
// commit of PRECES_TR closes every dataset on it, so a print reopens the
// lists at its end.
//
// The connection and the lists are used by one thread at a time: only a
// holder of the print lock reaches them. The rows of the lists as last
// opened are kept as copies that any thread may read (the window does).

#include "Connection.h"
#include "PrintLock.h"
#include "Query.h"

#include <QMutex>
#include <QObject>

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace operator_state {

// One row of a department list.
struct Department {
    std::int32_t isn = 0;
    QString name;  // GNOS

    bool operator==(const Department&) const = default;
};

class OperatorDatabase : public QObject {
    Q_OBJECT
public:
    // The connection runs in TransactionMode::Explicit whatever `options`
    // say; it connects when the first dataset opens. `printLock` guards it.
    OperatorDatabase(db::ConnectionOptions options, PrintLock& printLock, QObject* parent = nullptr);
    ~OperatorDatabase() override;

    PrintLock& printLock() const { return printLock_; }

    // PRECES_DB.
    db::Connection& connection(const PrintLock::Held& held);

    // The window's first show: closes and reopens both lists (the first open
    // connects PRECES_DB) and steps each forward through at most seven rows.
    // Throws db::DbError, e.g. when the database cannot be reached.
    void openDepartmentLists(const PrintLock::Held& held);

    // The keys (ISN) of the rows the two lists stand on; none for a list that
    // is closed or empty.
    struct DepartmentPositions {
        std::optional<std::int32_t> sending;
        std::optional<std::int32_t> hidden;
    };
    DepartmentPositions departmentPositions(const PrintLock::Held& held) const;
    // Reopens both lists, steps each forward through at most seven rows and
    // then onto the row of its kept key, where there is one; emits
    // departmentListsChanged. Throws db::DbError.
    void reopenDepartmentLists(const PrintLock::Held& held, const DepartmentPositions& kept);

    // The rows of the two lists as last opened.
    std::vector<Department> sendingDepartmentList() const;
    std::vector<Department> hiddenDepartmentList() const;

signals:
    // The department lists were reopened (queued to the window).
    void departmentListsChanged();

private:
    void checkHeld(const PrintLock::Held& held) const;
    void openLists(const DepartmentPositions& kept);

    PrintLock& printLock_;
    std::unique_ptr<db::Connection> connection_;
    std::unique_ptr<db::Query> sendingDepartments_;
    std::unique_ptr<db::Query> hiddenDepartments_;

    mutable QMutex listsMutex_;
    std::vector<Department> sendingList_;
    std::vector<Department> hiddenList_;
};

}  // namespace operator_state
