// kelvo-server: the start-up. It creates the process-wide objects in their
// order (the operator window Form1, the container ServerContainer1 whose
// listener opens at once, the report forms) and runs the event loop, whose
// first act shows the window. Closing the window (SIGINT or SIGTERM without
// one) saves the settings; then the objects go in reverse order, the
// container closing its listener and client connections.

#include "KelvoServerContainerUnit.h"
#include "KelvoUnit.h"
#include "OperatorSettings.h"
#include "PrintProgressWindow.h"
#include "ServerClass.h"
#include "ServerOptions.h"
#include "SettingsStore.h"
#include "TerminationSignals.h"

#include "DbError.h"
#include "NoticeBox.h"
#include "PrParvAlkoholaPZForm.h"
#include "PrParvietPZForm.h"
#include "PrintStation.h"
#include "ReportFont.h"
#include "ServiceContext.h"

#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include <atomic>
#include <cstdio>
#include <memory>

namespace {

using namespace host;

// The message of what is being thrown; anything but a standard exception
// has an empty one.
QString currentErrorMessage()
{
    try {
        throw;
    } catch (const db::DbError& error) {
        return error.message();
    } catch (const std::exception& error) {
        return QString::fromUtf8(error.what());
    } catch (...) {
        return {};
    }
}

// An error before the window is up: standard error always, and the message
// box when there is a screen.
void showStartupError(const QString& message, bool headless)
{
    std::fprintf(stderr, "kelvo-server: %s\n", qUtf8Printable(message));
    if (!headless)
        QMessageBox::critical(nullptr, QCoreApplication::applicationName(), message);
}

// The report forms and the print station, created together after the
// container: the forms live for the process and are reused by every print.
struct ReportForms {
    ReportForms(OperatorSettings& settings, const ServerOptions& options)
        : PrParvietPZ(settings.operatorConnection(), vatRate(settings)),
          PrParvAlkoholaPZ(settings.operatorConnection(), vatRate(settings)),
          printStation(settings, PrParvietPZ, PrParvAlkoholaPZ,
                       service::targetDevices({options.printer, options.printTo}, settings.operatorConnection()))
    {
    }

    static std::function<double()> vatRate(OperatorSettings& settings)
    {
        return [&settings] { return settings.snapshot().vatRate; };
    }

    reports::TPrParvietPZ PrParvietPZ;
    reports::TPrParvAlkoholaPZ PrParvAlkoholaPZ;
    service::PrintStation printStation;
};

// --print-waybill: prints one waybill with the operator's stored settings
// (the copies) and ends.
int printOneWaybill(const ServerOptions& options, std::int32_t waybillIsn)
{
    SettingsStore store(options.settingsLocation);
    OperatorSettings settings(operatorConnectionOptions(options));
    restoreOperatorSettings(store, settings);
    ReportForms forms(settings, options);
    forms.printStation.printWaybill(waybillIsn);
    return 0;
}

int serve(ServerOptions options)
{
    if (options.demo)
        prepareDemo(options);
    if (options.printWaybill)
        return printOneWaybill(options, *options.printWaybill);
    SettingsStore store(options.settingsLocation);
    OperatorSettings settings(operatorConnectionOptions(options));

    // The operator window, not yet shown; it holds the design values.
    std::unique_ptr<TForm1> Form1;
    if (!options.headless)
        Form1 = std::make_unique<TForm1>(settings, store);

    // Clients are served from here on. A print request that comes before the
    // report forms exist is refused rather than lost silently.
    std::atomic<service::PrintStation*> printStation{nullptr};
    service::ServiceContext context{employeeConnectionOptions(options), &settings, &store, {}};
    context.printWaybill = [&printStation](std::int32_t waybillIsn, std::int32_t alcoholLines) {
        service::PrintStation* station = printStation.load();
        if (!station)
            throw service::PrintError("The server is still starting; try the print again");
        station->printRequest(waybillIsn, alcoholLines);
    };
    TServerContainer1 ServerContainer1(DSServerClass1GetClass(context), options.listen);

    ReportForms forms(settings, options);
    printStation.store(&forms.printStation);
    std::unique_ptr<PrintProgressWindow> progressWindow;
    if (Form1) {
        progressWindow = std::make_unique<PrintProgressWindow>(Form1.get());
        progressWindow->follow(forms.PrParvietPZ.report().progress());
        progressWindow->follow(forms.PrParvAlkoholaPZ.report().progress());
    }

    bool shown = false;
    QTimer::singleShot(0, [&] {
        try {
            if (Form1) {
                Form1->FormShow();
                Form1->show();
            } else {
                operatorShow(settings, store);
            }
            shown = true;
        } catch (...) {
            showStartupError(currentErrorMessage(), options.headless);
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
            operatorClose(settings, store);
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
        showStartupError(currentErrorMessage(), options.headless);
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
