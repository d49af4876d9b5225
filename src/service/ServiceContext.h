#pragma once
// What a service session needs of the process: where its own database
// connection goes, the operator's state, the settings store (the waybill
// number counter lives there) and the print request.

#include "Connection.h"

#include <cstdint>
#include <functional>
#include <stdexcept>

namespace host {
class OperatorSettings;
class SettingsStore;
}  // namespace host

namespace service {

// Thrown by the print step when printing fails; the client gets a print
// failure. A db::DbError thrown by it reaches the client as a database error.
class PrintError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct ServiceContext {
    // SQLConnection_EMPLOYEE of each session: auto-commit, dialect 3, the
    // configured character set and role.
    db::ConnectionOptions employeeConnection;
    host::OperatorSettings* operatorSettings = nullptr;
    host::SettingsStore* settingsStore = nullptr;
    // The print step of a print request (DataSetProvider_drukat): prints the
    // waybill `waybillIsn`, which has `alcoholLines` alcohol lines, and blocks
    // it. Runs on the session's thread; unset, nothing is printed.
    std::function<void(std::int32_t waybillIsn, std::int32_t alcoholLines)> printWaybill;
};

}  // namespace service
