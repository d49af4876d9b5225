#pragma once
// What a service session needs of the process: where its own database
// connection goes, the operator's state, the settings store (the waybill
// number counter lives there) and the print request.

#include "Connection.h"

#include <functional>

namespace host {
class OperatorSettings;
class SettingsStore;
}  // namespace host

namespace service {

struct ServiceContext {
    // SQLConnection_EMPLOYEE of each session: auto-commit, dialect 3, the
    // configured character set and role.
    db::ConnectionOptions employeeConnection;
    host::OperatorSettings* operatorSettings = nullptr;
    host::SettingsStore* settingsStore = nullptr;
};

}  // namespace service
