#pragma once
// The command line of kelvo-server and the demo set-up it may ask for.

#include "Connection.h"
#include "ConsoleServer.h"
#include "KelvoServerContainerUnit.h"
#include "Log.h"

#include <QString>
#include <QStringList>

#include <optional>
#include <stdexcept>

namespace host {

struct ServerOptions {
    // The goods database as both connections reach it: PRECES_DB of the
    // operator and SQLConnection_EMPLOYEE of each session (which alone takes
    // the role).
    db::ConnectionOptions database;
    QString role;
    ListenOptions listen;
    // Session connections attached ahead of the clients that will use them.
    int spareConnections = 100;
    QString printer;   // empty: the system's default printer
    QString printTo;   // a folder: each print job as a PDF file there
    bool headless = false;
    bool demo = false;
    // The settings store's file; empty: the current user's store.
    QString settingsLocation;
    std::optional<std::int32_t> printWaybill;
    logging::Level logLevel = logging::Level::Info;
    // The operator console; none: --console off.
    std::optional<console::ConsoleOptions> console = console::ConsoleOptions{};
};

// The environment variable a password may come in, when neither --password
// nor --password-file gives one.
inline constexpr char kPasswordVariable[] = "KELVO_PASSWORD";

// A command line that cannot be used; the text says why.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Parses the arguments (the program name first). --help and --version print
// and exit; a bad option or value throws UsageError.
ServerOptions parseServerOptions(const QStringList& arguments);

// The application object the command line needs, chosen before there is one:
// a console one to print help, the version or a usage error, a GUI one
// without a screen for --headless (reports are still laid out and printed),
// else one with widgets.
enum class ApplicationKind { Console, Headless, Window };
ApplicationKind applicationKind(const QStringList& arguments);

// The operator's connection PRECES_DB and a session's SQLConnection_EMPLOYEE.
db::ConnectionOptions operatorConnectionOptions(const ServerOptions& options);
db::ConnectionOptions employeeConnectionOptions(const ServerOptions& options);

// --demo: the project folder is the working directory when it holds
// db/schema.sql, else the source tree kelvo-server was built from. Its var/
// folder holds the demo database demo.fdb (made once from db/schema.sql and
// db/demo-data.sql and then kept), the demo's settings store Dravun.json and
// the prints (prints/, unless --print-to says otherwise). Points `options`
// there. Throws db::DbError or std::runtime_error.
void prepareDemo(ServerOptions& options);

}  // namespace host
