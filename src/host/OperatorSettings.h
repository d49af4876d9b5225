#pragma once
// The operator's working state, shared by the operator window (which edits it
// on the main thread) and the request handlers and reports (which read it on
// worker threads): the five settings values, the operator connection
// PRECES_DB with its one transaction PRECES_TR, the two department lists and
// the VAT rate of the reports' captions.
//
// The values live under a mutex and are read as one consistent snapshot, so a
// request never mixes two states. The connection and the department lists are
// used only under the process-wide print lock (or on the main thread before
// the server serves prints).

#include "Connection.h"
#include "Query.h"

#include <QDate>
#include <QMutex>
#include <QObject>

#include <memory>
#include <optional>

namespace host {

struct OperatorSnapshot {
    QDate dateFrom{2014, 11, 11};
    QDate dateTo{2014, 11, 11};
    // Department keys (N_DEPART.ISN); 0 while the lookup holds no key value.
    std::int32_t sendingDepartment = 0;
    std::int32_t hiddenDepartment = 0;
    int copies = 2;
    double vatRate = 0;  // percent; nothing sets it
};

class OperatorSettings : public QObject {
    Q_OBJECT
public:
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

    // PRECES_DB (explicit snapshot transaction PRECES_TR); connects when the
    // first dataset opens.
    db::Connection& operatorConnection() { return *connection_; }
    // IBQuery_nodalas and IBQuery_nerad_nodalas: "SELECT ISN, GNOS FROM
    // N_DEPART ORDER BY GNOS" on PRECES_DB.
    db::Query& sendingDepartments() { return *sendingDepartments_; }
    db::Query& hiddenDepartments() { return *hiddenDepartments_; }

    // Reopens both lists (committing PRECES_TR closes them) and puts each back
    // on the row it stood on; emits departmentListsChanged.
    void reopenDepartmentLists(int sendingRow, int hiddenRow);

signals:
    // A value changed (the window follows it).
    void changed();
    // The department lists were reopened (queued to the window).
    void departmentListsChanged();

private:
    mutable QMutex mutex_;
    OperatorSnapshot values_;
    std::optional<std::int32_t> sendingKey_;
    std::optional<std::int32_t> hiddenKey_;
    std::unique_ptr<db::Connection> connection_;
    std::unique_ptr<db::Query> sendingDepartments_;
    std::unique_ptr<db::Query> hiddenDepartments_;
};

}  // namespace host
