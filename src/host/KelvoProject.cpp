// kelvo-server: the start-up. It creates the process-wide objects in their
// order (the operator window Form1, the container ServerContainer1 whose
// listener opens at once, the report forms) and runs the event loop, whose
// first act shows the window. Closing the window (SIGINT or SIGTERM without
// one) saves the settings; then the objects go in reverse order, the
// container closing its listener and client connections. SIGHUP reads the
// settings again. Under systemd it reports readiness and keeps the watchdog
// fed.

#include "DatabaseWatch.h"
#include "KelvoServerContainerUnit.h"
#include "KelvoUnit.h"
#include "PrintProgressWindow.h"
#include "ServerClass.h"
#include "ProcessSignals.h"
#include "ServerOptions.h"
#include "ServiceManager.h"

#include "DbError.h"
#include "Log.h"
#include "NoticeBox.h"
#include "OperatorDatabase.h"
#include "OperatorValues.h"
#include "PrintLock.h"
#include "PrintStation.h"
#include "ProviderCatalogue.h"
#include "Query.h"
#include "ReportFont.h"
#include "RequestKeys.h"
#include "RpcSession.h"
#include "ServiceContext.h"
#include "SettingsStore.h"
#include "SharedRuns.h"
#include "SpareConnections.h"
#include "WaybillCounter.h"

#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {

using namespace host;
using operator_state::OperatorDatabase;
using operator_state::OperatorValues;
using operator_state::PrintLock;
using operator_state::SettingsStore;

// An error before the window is up: the log always, and the message box
// when there is a screen.
void showStartupError(const QString& message, bool headless)
{
    logging::error("startup.failed", {{"error", message}});
    if (!headless)
        QMessageBox::critical(nullptr, QCoreApplication::applicationName(), message);
}

QString listenText(const ListenOptions& listen, quint16 port)
{
    return peerText(listen.address == QHostAddress::Any ? QHostAddress(QHostAddress::AnyIPv4) : listen.address, port);
}

QString printTarget(const ServerOptions& options)
{
    if (!options.printTo.isEmpty())
        return QStringLiteral("PDF files in %1").arg(options.printTo);
    return options.printer.isEmpty() ? QStringLiteral("default printer") : options.printer;
}

// What the server runs with; never the password.
void logStart(const ServerOptions& options)
{
    logging::info("server.starting", {{"version", QCoreApplication::applicationVersion()},
                                      {"mode", options.headless ? "headless" : "window"},
                                      {"database", options.database.database},
                                      {"user", options.database.user},
                                      {"charset", options.database.charset},
                                      {"printer", printTarget(options)}});
}

void logListening(const ServerOptions& options, quint16 port)
{
    const ListenOptions& listen = options.listen;
    logging::info("server.listening", {{"address", listenText(listen, port)},
                                       {"max_clients", listen.maxClients},
                                       {"max_line", listen.maxLineBytes},
                                       {"line_timeout_s", static_cast<qint64>(listen.lineTimeout.count() / 1000)},
                                       {"keepalive_s", static_cast<qint64>(listen.keepAliveIdle.count())}});
}

// The operator's state: its values, its database and the print lock that
// guards that database and the report forms.
struct OperatorState {
    explicit OperatorState(const ServerOptions& options) : database(operatorConnectionOptions(options), printLock) {}

    PrintLock printLock;
    OperatorValues values;
    OperatorDatabase database;
};

printing::PrintStation makePrintStation(OperatorState& state, const ServerOptions& options)
{
    return printing::PrintStation(state.values, state.database, printing::targetDevices({options.printer, options.printTo}));
}

// Prints one waybill by its key, on the form the print request would choose:
// its alcohol lines are counted on PRECES_DB by the print request's own
// statement.
void printWaybillByKey(printing::PrintStation& station, OperatorDatabase& database, std::int32_t waybillIsn,
                       const QString& requester)
{
    std::int32_t alcoholLines = 0;
    {
        const PrintLock::Held held = database.printLock().acquire();
        db::Query count(database.connection(held), service::printRequestStatement());
        count.param(u"ISN").setValue(waybillIsn);
        count.open();
        alcoholLines = count.field(u"SKAITS").asInteger();  // 0 when there is no such waybill
    }
    station.printRequest(waybillIsn, alcoholLines, requester);
}

// --print-waybill: prints one waybill with the operator's stored settings
// (the copies) and ends.
int printOneWaybill(const ServerOptions& options, std::int32_t waybillIsn)
{
    SettingsStore store(options.settingsLocation);
    OperatorState state(options);
    restoreOperatorValues(store, state.values);
    printing::PrintStation station = makePrintStation(state, options);
    printWaybillByKey(station, state.database, waybillIsn, QStringLiteral("command line"));
    return 0;
}

// The number the next waybill receives, as the counter holds it; empty when
// the counter is to continue after the newest waybill of the database.
QString nextWaybillNumber(const SettingsStore& store)
{
    const std::optional<SettingsStore::Values> values = store.read();
    const QVariant stored = values ? values->value(service::kWaybillCounterName) : QVariant();
    if (!service::storedCounterValue(stored))
        return {};
    return service::waybillNumberText(
        service::waybillNumbers(stored, []() -> std::optional<std::uint64_t> { return std::nullopt; }).given);
}

// How often the console's view of the database is brought up to date.
constexpr std::chrono::seconds kDatabaseCheckInterval{10};

// What the console shows of the server, read afresh for each look.
struct ConsoleView {
    const ServerOptions& options;
    const TServerContainer1& container;
    const printing::PrintStation& station;
    const SettingsStore& store;
    const DatabaseWatch& databaseWatch;

    console::ServerStatus operator()() const
    {
        console::ServerStatus status;
        status.mode = options.headless ? QStringLiteral("headless") : QStringLiteral("window");
        status.listenAddress = listenText(options.listen, container.port());
        status.database = options.database.database;
        const DatabaseWatch::Reachability reachability = databaseWatch.reachability();
        status.databaseReachable = reachability.reachable;
        status.databaseError = reachability.error;
        status.databaseCheckedAt = reachability.checkedAt;
        status.nextWaybillNumber = nextWaybillNumber(store);
        status.runningPrint = station.runningPrint();
        for (const ConnectionInfo& connection : container.connections())
            status.handhelds.append({connection.peer, connection.since, connection.requests, connection.lastRequest});
        return status;
    }
};

std::unique_ptr<console::ConsoleServer> startConsole(const console::ConsoleOptions& consoleOptions,
                                                     console::ConsoleBackend backend)
{
    auto server = std::make_unique<console::ConsoleServer>(consoleOptions, std::move(backend));
    logging::info("console.listening", {{"address", peerText(consoleOptions.address, server->port())},
                                        {"login", consoleOptions.token.isEmpty() ? "none" : "token"}});
    return server;
}

int serve(ServerOptions options)
{
    if (options.demo)
        prepareDemo(options);
    if (options.printWaybill)
        return printOneWaybill(options, *options.printWaybill);
    logStart(options);
    SettingsStore store(options.settingsLocation);
    OperatorState state(options);

    // The operator window, not yet shown; it holds the design values.
    std::unique_ptr<TForm1> Form1;
    if (!options.headless)
        Form1 = std::make_unique<TForm1>(state.values, state.database, store);

    // Clients are served from here on. A print request that comes before the
    // report forms exist is refused rather than lost silently.
    std::atomic<printing::PrintStation*> printStation{nullptr};
    // The goods lists that clients ask for at the same time share one run;
    // the sessions' connections are attached ahead, as the clients come.
    service::SharedRuns sharedRuns;
    service::SpareConnections spareConnections(employeeConnectionOptions(options), options.spareConnections,
                                               service::findProvider(u"DataSetProvider_NODGRUPA")->statement);
    spareConnections.fill();
    const service::ServiceContext context{employeeConnectionOptions(options), &state.values, &store, {}, {},
                                          &sharedRuns, &spareConnections};
    const auto sessionContext = [&context, &printStation](const QString& peer) {
        service::ServiceContext session = context;
        session.peer = peer;
        session.printWaybill = [&printStation, peer](std::int32_t waybillIsn, std::int32_t alcoholLines) {
            printing::PrintStation* station = printStation.load();
            if (!station)
                throw printing::PrintError("The server is still starting; try the print again");
            station->printRequest(waybillIsn, alcoholLines, peer);
        };
        return session;
    };
    TServerContainer1 ServerContainer1(DSServerClass1GetClass(sessionContext), options.listen);
    logListening(options, ServerContainer1.port());

    // The report forms PrParvietPZ and PrParvAlkoholaPZ.
    printing::PrintStation station = makePrintStation(state, options);
    printStation.store(&station);
    // The console goes before the report forms, a reprint it runs with it.
    std::unique_ptr<DatabaseWatch> databaseWatch;
    std::unique_ptr<console::ConsoleServer> operatorConsole;
    if (options.console) {
        databaseWatch = std::make_unique<DatabaseWatch>(employeeConnectionOptions(options), kDatabaseCheckInterval);
        operatorConsole = startConsole(
            *options.console,
            {state.values, state.database, station.journal(),
             ConsoleView{options, ServerContainer1, station, store, *databaseWatch},
             [&station, &state](std::int32_t waybillIsn, const QString& requester) {
                 printWaybillByKey(station, state.database, waybillIsn, requester);
             }});
    }
    std::unique_ptr<PrintProgressWindow> progressWindow;
    if (Form1) {
        progressWindow = std::make_unique<PrintProgressWindow>(Form1.get());
        progressWindow->follow(station.generalProgress());
        progressWindow->follow(station.alcoholProgress());
    }

    ServiceManager serviceManager;
    const QString serving = QStringLiteral("Serving on %1").arg(listenText(options.listen, ServerContainer1.port()));
    bool shown = false;
    QTimer::singleShot(0, [&] {
        try {
            if (Form1) {
                Form1->FormShow();
                Form1->show();
            } else {
                operatorShow(state.values, state.database, store);
            }
            shown = true;
            const service::RequestKeysCheck keys = service::checkRequestKeys(context.employeeConnection);
            logging::write(keys.available ? logging::Level::Info : logging::Level::Warning, "request_keys.checked",
                           {{"retries_safe", keys.available}, {"detail", keys.detail}});
            serviceManager.ready(serving);
        } catch (...) {
            showStartupError(service::rpc::currentFailure().message, options.headless);
            QCoreApplication::exit(1);
        }
    });
    // Settings are saved only once they have been restored; before that a
    // reload has nothing to do, since the show restores them.
    const auto terminate = [&](const char* signal) {
        logging::info("server.stopping", {{"signal", signal}});
        serviceManager.stopping();
        if (shown && Form1) {
            Form1->close();  // FormClose saves; the last window closed ends the loop
            return;
        }
        if (shown)
            operatorClose(state.values, store);
        QCoreApplication::quit();
    };
    const auto reload = [&] {
        if (!shown)
            return;
        serviceManager.reloading();
        operatorReload(state.values, store);
        serviceManager.ready(serving);
    };
    const ProcessSignals processSignals(terminate, reload);
    const int status = QCoreApplication::exec();
    // The clients go before the report forms they may still be printing on.
    ServerContainer1.stop();
    logging::info("server.stopped", {{"exit_code", status}});
    return status;
}

int runServer(const ServerOptions& options)
{
    try {
        return serve(options);
    } catch (...) {
        showStartupError(service::rpc::currentFailure().message, options.headless);
        return 1;
    }
}

// Qt's own, while endWithoutDisplay stands in for it.
QtMessageHandler qtMessageHandler = nullptr;

// Qt ends a process whose window system it cannot reach with abort() and
// the advice to reinstall; the server says what to do and ends with 1.
void endWithoutDisplay(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (type != QtFatalMsg) {
        qtMessageHandler(type, context, message);
        return;
    }
    logging::error("startup.failed",
                   {{"error", QStringLiteral("No display to show the operator window on (DISPLAY=%1, WAYLAND_DISPLAY=%2); "
                                             "start kelvo-server with --headless to serve without the window")
                                  .arg(qEnvironmentVariable("DISPLAY"), qEnvironmentVariable("WAYLAND_DISPLAY"))}});
    std::_Exit(1);
}

std::unique_ptr<QCoreApplication> makeApplication(int& argc, char** argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    switch (applicationKind(arguments)) {
    case ApplicationKind::Console:
        return std::make_unique<QCoreApplication>(argc, argv);
    case ApplicationKind::Headless:
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        return std::make_unique<QGuiApplication>(argc, argv);
    case ApplicationKind::Window:
        break;
    }
    qtMessageHandler = qInstallMessageHandler(endWithoutDisplay);
    auto application = std::make_unique<QApplication>(argc, argv);
    qInstallMessageHandler(qtMessageHandler);
    return application;
}

}  // namespace

int main(int argc, char* argv[])
{
    const std::unique_ptr<QCoreApplication> application = makeApplication(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kelvo-server"));
    QCoreApplication::setApplicationVersion(QStringLiteral(KELVO_VERSION));

    ServerOptions options;
    try {
        options = parseServerOptions(QCoreApplication::arguments());
    } catch (const UsageError& error) {
        std::fprintf(stderr, "kelvo-server: %s\nTry kelvo-server --help.\n", error.what());
        return 2;
    }
    // Read once; the password does not go on to anything the server starts.
    qunsetenv(kPasswordVariable);
    logging::setThreshold(options.logLevel);
    if (!options.headless)
        common::setErrorNotifier(common::messageBoxNotifier());
    engine::checkReportFont();

    const int status = runServer(options);
    db::shutdownClient();
    return status;
}
