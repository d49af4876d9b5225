#pragma once
// What a service session needs of the process: where its own database
// connection goes, the operator's values, the settings store (the waybill
// number counter lives there), the print request and the runs the sessions
// share.

#include "Connection.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <stdexcept>

namespace operator_state {
class OperatorValues;
class SettingsStore;
}  // namespace operator_state

namespace service {

class SharedRuns;
class SpareConnections;

// A print failure: the client gets the print failure code.
class PrintError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct ServiceContext {
    // SQLConnection_EMPLOYEE of each session: auto-commit, dialect 3, the
    // configured character set and role.
    db::ConnectionOptions employeeConnection;
    const operator_state::OperatorValues* operatorValues = nullptr;
    operator_state::SettingsStore* settingsStore = nullptr;
    // The print step of a print request (DataSetProvider_drukat): prints the
    // waybill `waybillIsn`, which has `alcoholLines` alcohol lines, and blocks
    // it. Runs on the session's thread; unset, nothing is printed. A
    // db::DbError it throws reaches the client as a database error, any other
    // failure as a print failure.
    std::function<void(std::int32_t waybillIsn, std::int32_t alcoholLines)> printWaybill;
    // The client's address and port, for the session's log lines; empty
    // outside a connection.
    QString peer;
    // Where the sessions' goods lists share their runs; unset, each runs
    // its own.
    SharedRuns* sharedRuns = nullptr;
    // Where sessions take their connection from and give it back; unset,
    // each attaches its own.
    SpareConnections* spareConnections = nullptr;
};

}  // namespace service
