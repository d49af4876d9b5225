#include "PrintStation.h"

#include "PrParvAlkoholaPZForm.h"
#include "PrParvietPZForm.h"
#include "WaybillStatements.h"

#include "DbError.h"
#include "Query.h"
#include "ReportModel.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include <cstdio>
#include <stdexcept>

namespace printing {

namespace {


void commitIfActive(db::Connection& connection)
{
    if (connection.transaction().isActive())
        connection.transaction().commit();
}

void throwUnlessPrinted(engine::PrintResult result)
{
    if (result == engine::PrintResult::Cancelled)
        throw PrintError("Printing was cancelled");
}

QString waybillNumber(db::Connection& connection, std::int32_t waybillIsn)
{
    db::Query query(connection, QStringLiteral("SELECT PZ_SERIJA, NR_PAVADZ FROM O_PARPAV WHERE ISN = :ISN"));
    query.param(u"ISN").setValue(waybillIsn);
    query.open();
    return query.field(u"PZ_SERIJA").asString().trimmed() + query.field(u"NR_PAVADZ").asString().trimmed();
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
    return [target = std::move(target)](db::Connection& connection,
                                        std::int32_t waybillIsn) -> std::unique_ptr<engine::OutputDevice> {
        if (target.pdfFolder.isEmpty())
            return std::make_unique<engine::PrinterDevice>(target.printerName);
        QDir folder(target.pdfFolder);
        if (!folder.mkpath(QStringLiteral(".")))
            throw PrintError("Cannot make the folder " + target.pdfFolder.toStdString());
        const QString number = waybillNumber(connection, waybillIsn);
        const QString name = pdfFileName(waybillIsn, number, QDateTime::currentDateTime());
        // The time has milliseconds; two jobs within one still get names of their own.
        QString path = folder.filePath(name);
        for (int n = 2; QFileInfo::exists(path); ++n)
            path = folder.filePath(QString(name).replace(QStringLiteral(".pdf"), QStringLiteral("-%1.pdf").arg(n)));
        return std::make_unique<engine::PdfDevice>(path);
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

void PrintStation::printOnForm(db::Connection& PRECES_DB, std::int32_t waybillIsn, std::int32_t alcoholLines)
{
    const int copies = operatorValues_.snapshot().copies;  // read now
    const std::unique_ptr<engine::OutputDevice> device = devices_(PRECES_DB, waybillIsn);
    reports::WaybillForm& form = alcoholLines > 0 ? static_cast<reports::WaybillForm&>(*alcohol_) : *general_;
    try {
        throwUnlessPrinted(form.printWaybill(waybillIsn, copies, *device));
    } catch (const engine::EngineError& e) {
        throw PrintError(e.what());
    }
}

void PrintStation::printRequest(std::int32_t waybillIsn, std::int32_t alcoholLines)
{
    const operator_state::PrintLock::Held printing = operatorDatabase_.printLock().acquire();
    db::Connection& PRECES_DB = operatorDatabase_.connection(printing);
    const operator_state::OperatorDatabase::DepartmentPositions kept = operatorDatabase_.departmentPositions(printing);
    try {
        commitIfActive(PRECES_DB);
        printOnForm(PRECES_DB, waybillIsn, alcoholLines);
        reports::blockWaybill(PRECES_DB, waybillIsn);
        commitIfActive(PRECES_DB);
    } catch (...) {
        // A failed print still leaves the operator window with its lists;
        // the print's own error is the one the client hears of.
        try {
            if (PRECES_DB.transaction().isActive())
                PRECES_DB.transaction().rollback();
            operatorDatabase_.reopenDepartmentLists(printing, kept);
        } catch (const db::DbError& e) {
            std::fprintf(stderr, "kelvo-server: department lists not reopened: %s\n", qUtf8Printable(e.message()));
        }
        throw;
    }
    operatorDatabase_.reopenDepartmentLists(printing, kept);
}

}  // namespace printing
