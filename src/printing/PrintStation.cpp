#include "PrintStation.h"

#include "PrParvAlkoholaPZForm.h"
#include "PrParvietPZForm.h"
#include "WaybillStatements.h"

#include "DbError.h"
#include "Log.h"
#include "Query.h"
#include "ReportModel.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QPrinterInfo>
#include <QRegularExpression>
#include <QScopeGuard>

#include <stdexcept>

namespace printing {

namespace {


void commitIfActive(db::Connection& connection)
{
    if (connection.transaction().isActive())
        connection.transaction().commit();
}

PrintOutcome outcomeOf(engine::PrintResult result)
{
    switch (result) {
    case engine::PrintResult::Printed: return PrintOutcome::Printed;
    case engine::PrintResult::NoPrinter: return PrintOutcome::NoPrinter;
    case engine::PrintResult::NotPrinted: return PrintOutcome::NotPrinted;
    case engine::PrintResult::Cancelled: return PrintOutcome::Cancelled;
    }
    return PrintOutcome::Failed;
}

QString waybillNumber(db::Connection& connection, std::int32_t waybillIsn)
{
    db::Query query(connection, QStringLiteral("SELECT PZ_SERIJA, NR_PAVADZ FROM O_PARPAV WHERE ISN = :ISN"));
    query.param(u"ISN").setValue(waybillIsn);
    query.open();
    return query.field(u"PZ_SERIJA").asString().trimmed() + query.field(u"NR_PAVADZ").asString().trimmed();
}

// The message of the exception in flight; call it only inside a catch block.
QString currentMessage()
{
    try {
        throw;
    } catch (const db::DbError& e) {
        return e.message();
    } catch (const std::exception& e) {
        return QString::fromStdString(e.what());
    } catch (...) {
        return QStringLiteral("Unknown failure");
    }
}

// Whether the exception in flight says that the database connection is gone.
bool currentFailureLostConnection()
{
    try {
        throw;
    } catch (const db::DbError& e) {
        return e.connectionLost();
    } catch (...) {
        return false;
    }
}

}  // namespace

QString pdfFileName(std::int32_t waybillIsn, const QString& waybillNumber, const QDateTime& at)
{
    QString number = waybillNumber;
    number.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9_-]")), QStringLiteral("_"));
    return QStringLiteral("waybill-%1-%2-%3.pdf")
        .arg(waybillIsn)
        .arg(number.isEmpty() ? QStringLiteral("none") : number, at.toString(QStringLiteral("yyyyMMdd-HHmmss-zzz")));
}

DeviceFactory targetDevices(PrintTarget target)
{
    return [target = std::move(target)](std::int32_t waybillIsn, const QString& number) -> Destination {
        if (target.pdfFolder.isEmpty()) {
            const QString printer = target.printerName.isEmpty() ? QPrinterInfo::defaultPrinterName() : target.printerName;
            return {std::make_unique<engine::PrinterDevice>(target.printerName),
                    printer.isEmpty() ? QStringLiteral("no printer") : printer};
        }
        QDir folder(target.pdfFolder);
        if (!folder.mkpath(QStringLiteral(".")))
            throw PrintError("Cannot make the folder " + target.pdfFolder.toStdString());
        const QString name = pdfFileName(waybillIsn, number, QDateTime::currentDateTime());
        // The time has milliseconds; two jobs within one still get names of their own.
        QString path = folder.filePath(name);
        for (int n = 2; QFileInfo::exists(path); ++n)
            path = folder.filePath(QString(name).replace(QStringLiteral(".pdf"), QStringLiteral("-%1.pdf").arg(n)));
        return {std::make_unique<engine::PdfDevice>(path), path};
    };
}

PrintStation::PrintStation(const operator_state::OperatorValues& operatorValues,
                           operator_state::OperatorDatabase& operatorDatabase, DeviceFactory devices)
    : operatorValues_(operatorValues), operatorDatabase_(operatorDatabase), devices_(std::move(devices))
{
    const auto vatRate = [&operatorValues] { return operatorValues.snapshot().vatRate; };
    const operator_state::PrintLock::Held held = operatorDatabase_.printLock().acquire();
    db::Connection& PRECES_DB = operatorDatabase_.connection(held);
    general_ = std::make_unique<reports::TPrParvietPZ>(PRECES_DB, vatRate);
    alcohol_ = std::make_unique<reports::TPrParvAlkoholaPZ>(PRECES_DB, vatRate);
}

PrintStation::~PrintStation() = default;

void PrintStation::checkHeld(const operator_state::PrintLock::Held& held) const
{
    if (!held.guards(operatorDatabase_.printLock()))
        throw std::logic_error("the report forms are used under another lock than the print lock");
}

reports::TPrParvietPZ& PrintStation::PrParvietPZ(const operator_state::PrintLock::Held& held)
{
    checkHeld(held);
    return *general_;
}

reports::TPrParvAlkoholaPZ& PrintStation::PrParvAlkoholaPZ(const operator_state::PrintLock::Held& held)
{
    checkHeld(held);
    return *alcohol_;
}

engine::PrintProgress& PrintStation::generalProgress()
{
    return general_->report().progress();
}

engine::PrintProgress& PrintStation::alcoholProgress()
{
    return alcohol_->report().progress();
}

void PrintStation::printOnForm(PrintEntry& entry, std::int32_t alcoholLines)
{
    entry.copies = operatorValues_.snapshot().copies;  // read now
    Destination destination = devices_(entry.waybillIsn, entry.waybillNumber);
    entry.destination = destination.name;
    reports::WaybillForm& form = alcoholLines > 0 ? static_cast<reports::WaybillForm&>(*alcohol_) : *general_;
    try {
        entry.outcome = outcomeOf(form.printWaybill(entry.waybillIsn, entry.copies, *destination.device));
    } catch (const engine::EngineError& e) {
        throw PrintError(e.what());
    }
    if (entry.outcome == PrintOutcome::Cancelled)
        throw PrintError("Printing was cancelled");
}

void PrintStation::printRequest(std::int32_t waybillIsn, std::int32_t alcoholLines, const QString& peer)
{
    const operator_state::PrintLock::Held printing = operatorDatabase_.printLock().acquire();
    PrintEntry entry;
    entry.startedAt = QDateTime::currentDateTime();
    entry.waybillIsn = waybillIsn;
    entry.form = alcoholLines > 0 ? QStringLiteral("alcohol") : QStringLiteral("general");
    entry.peer = peer;
    QElapsedTimer clock;
    clock.start();
    showRunning(entry);
    const auto done = qScopeGuard([this] { showRunning(std::nullopt); });
    try {
        printAndBlock(printing, entry, alcoholLines);
    } catch (...) {
        if (entry.outcome != PrintOutcome::Cancelled)
            entry.outcome = PrintOutcome::Failed;
        entry.error = currentMessage();
        entry.durationMs = clock.elapsed();
        journal_.add(entry);
        throw;
    }
    entry.durationMs = clock.elapsed();
    journal_.add(entry);
}

std::optional<PrintEntry> PrintStation::runningPrint() const
{
    const QMutexLocker locker(&runningMutex_);
    return running_;
}

void PrintStation::showRunning(std::optional<PrintEntry> entry)
{
    const QMutexLocker locker(&runningMutex_);
    running_ = std::move(entry);
}

void PrintStation::printAndBlock(const operator_state::PrintLock::Held& printing, PrintEntry& entry,
                                 std::int32_t alcoholLines)
{
    db::Connection& PRECES_DB = operatorDatabase_.connection(printing);
    const operator_state::OperatorDatabase::DepartmentPositions kept = operatorDatabase_.departmentPositions(printing);
    try {
        commitIfActive(PRECES_DB);
        entry.waybillNumber = waybillNumber(PRECES_DB, entry.waybillIsn);
        printOnForm(entry, alcoholLines);
        reports::blockWaybill(PRECES_DB, entry.waybillIsn);
        commitIfActive(PRECES_DB);
    } catch (...) {
        if (currentFailureLostConnection())
            PRECES_DB.detach();
        recoverFromFailure(printing, kept);
        throw;
    }
    operatorDatabase_.reopenDepartmentLists(printing, kept);
}

// A failed print still leaves the operator window with its lists; the
// print's own error is the one the client hears of. On a connection let go
// the lists attach it anew, or else the next print does.
void PrintStation::recoverFromFailure(const operator_state::PrintLock::Held& printing,
                                      const operator_state::OperatorDatabase::DepartmentPositions& kept)
{
    db::Connection& PRECES_DB = operatorDatabase_.connection(printing);
    try {
        if (PRECES_DB.transaction().isActive())
            PRECES_DB.transaction().rollback();
        operatorDatabase_.reopenDepartmentLists(printing, kept);
    } catch (const db::DbError& e) {
        if (e.connectionLost())
            PRECES_DB.detach();
        logging::warning("department_lists.not_reopened", {{"error", e.message()}});
    }
}

}  // namespace printing
