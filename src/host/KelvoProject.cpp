// kelvo-server: the start-up. It creates the process-wide objects in their
// order (the operator window Form1, the container ServerContainer1 whose
// listener opens at once, the report forms) and runs the event loop, whose
// first act shows the window. Closing the window (SIGINT or SIGTERM without
// one) saves the settings; then the objects go in reverse order, the
// container closing its listener and client connections.

#include "KelvoServerContainerUnit.h"
#include "KelvoUnit.h"
#include "PrintProgressWindow.h"
#include "ServerClass.h"
#include "ServerOptions.h"
#include "TerminationSignals.h"

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

#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include <atomic>
#include <cstdio>
#include <memory>

namespace {

using namespace host;
using operator_state::OperatorDatabase;
using operator_state::OperatorValues;
using operator_state::PrintLock;
using operator_state::SettingsStore;

// An error before the window is up: standard error always, and the message
// box when there is a screen.
void showStartupError(const QString& message, bool headless)
{
    std::fprintf(stderr, "kelvo-server: %s\n", qUtf8Printable(message));
    if (!headless)
        QMessageBox::critical(nullptr, QCoreApplication::applicationName(), message);
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
void printWaybillByKey(printing::PrintStation& station, OperatorDatabase& database, std::int32_t waybillIsn)
{
    std::int32_t alcoholLines = 0;
    {
        const PrintLock::Held held = database.printLock().acquire();
        db::Query count(database.connection(held), service::printRequestStatement());
        count.param(u"ISN").setValue(waybillIsn);
        count.open();
        alcoholLines = count.field(u"SKAITS").asInteger();  // 0 when there is no such waybill
    }
    station.printRequest(waybillIsn, alcoholLines);
}

// --print-waybill: prints one waybill with the operator's stored settings
// (the copies) and ends.
int printOneWaybill(const ServerOptions& options, std::int32_t waybillIsn)
{
    SettingsStore store(options.settingsLocation);
    OperatorState state(options);
    restoreOperatorValues(store, state.values);
    printing::PrintStation station = makePrintStation(state, options);
    printWaybillByKey(station, state.database, waybillIsn);
    return 0;
}

int serve(ServerOptions options)
{
    if (options.demo)
        prepareDemo(options);
    if (options.printWaybill)
        return printOneWaybill(options, *options.printWaybill);
    SettingsStore store(options.settingsLocation);
    OperatorState state(options);

    // The operator window, not yet shown; it holds the design values.
    std::unique_ptr<TForm1> Form1;
    if (!options.headless)
        Form1 = std::make_unique<TForm1>(state.values, state.database, store);

    // Clients are served from here on. A print request that comes before the
    // report forms exist is refused rather than lost silently.
    std::atomic<printing::PrintStation*> printStation{nullptr};
    service::ServiceContext context{employeeConnectionOptions(options), &state.values, &store, {}};
    context.printWaybill = [&printStation](std::int32_t waybillIsn, std::int32_t alcoholLines) {
        printing::PrintStation* station = printStation.load();
        if (!station)
            throw printing::PrintError("The server is still starting; try the print again");
        station->printRequest(waybillIsn, alcoholLines);
    };
    TServerContainer1 ServerContainer1(DSServerClass1GetClass(context), options.listen);

    // The report forms PrParvietPZ and PrParvAlkoholaPZ.
    printing::PrintStation station = makePrintStation(state, options);
    printStation.store(&station);
    std::unique_ptr<PrintProgressWindow> progressWindow;
    if (Form1) {
        progressWindow = std::make_unique<PrintProgressWindow>(Form1.get());
        progressWindow->follow(station.generalProgress());
        progressWindow->follow(station.alcoholProgress());
    }

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
        } catch (...) {
            showStartupError(service::rpc::currentFailure().message, options.headless);
            QCoreApplication::exit(1);
        }
    });
    // Settings are saved only once they have been restored.
    const TerminationSignals terminationSignals([&] {
        if (shown && Form1) {
            Form1->close();  // FormClose saves; the last window closed ends the loop
            return;
        }
        if (shown)
            operatorClose(state.values, store);
        QCoreApplication::quit();
    });
    const int status = QCoreApplication::exec();
    // The clients go before the report forms they may still be printing on.
    ServerContainer1.stop();
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
    return std::make_unique<QApplication>(argc, argv);
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
    if (!options.headless)
        common::setErrorNotifier(common::messageBoxNotifier());
    engine::checkReportFont();

    const int status = runServer(options);
    db::shutdownClient();
    return status;
}
