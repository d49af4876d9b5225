#include "PrintStation.h"

#include "OperatorSettings.h"
#include "ServiceContext.h"
#include "WaybillForm.h"
#include "WaybillStatements.h"

#include "DbError.h"
#include "Query.h"
#include "ReportModel.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include <cstdio>

namespace service {

namespace {

const QString kAlcoholLines = QStringLiteral(
    "select ISN, (SELECT COUNT(*) FROM O_PARPRC, N_KLPREC WHERE O_PARPRC.ISPRECE = N_KLPREC.ISN "
    "AND N_KLPREC.ALKOHOLS > 0 AND O_PARPRC.ISPARVPAV = O_PARPAV.ISN) SKAITS from O_PARPAV where ISN = :ISN");

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

DeviceFactory targetDevices(PrintTarget target, db::Connection& connection)
{
    return [target = std::move(target), &connection](std::int32_t waybillIsn) -> std::unique_ptr<engine::OutputDevice> {
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

PrintStation::PrintStation(host::OperatorSettings& operatorSettings, reports::WaybillForm& general,
                           reports::WaybillForm& alcohol, DeviceFactory devices)
    : operatorSettings_(operatorSettings), general_(general), alcohol_(alcohol), devices_(std::move(devices))
{
}

void PrintStation::printOnForm(std::int32_t waybillIsn, std::int32_t alcoholLines)
{
    const int copies = operatorSettings_.snapshot().copies;  // read now
    const std::unique_ptr<engine::OutputDevice> device = devices_(waybillIsn);
    reports::WaybillForm& form = alcoholLines > 0 ? alcohol_ : general_;
    try {
        throwUnlessPrinted(form.printWaybill(waybillIsn, copies, *device));
    } catch (const engine::EngineError& e) {
        throw PrintError(e.what());
    }
}

void PrintStation::printRequest(std::int32_t waybillIsn, std::int32_t alcoholLines)
{
    QMutexLocker printing(&operatorSettings_.printLock());
    db::Connection& PRECES_DB = operatorSettings_.operatorConnection();
    const host::OperatorSettings::DepartmentPositions kept = operatorSettings_.departmentPositions();
    try {
        commitIfActive(PRECES_DB);
        printOnForm(waybillIsn, alcoholLines);
        reports::blockWaybill(PRECES_DB, waybillIsn);
        commitIfActive(PRECES_DB);
    } catch (...) {
        // A failed print still leaves the operator window with its lists;
        // the print's own error is the one the client hears of.
        try {
            if (PRECES_DB.transaction().isActive())
                PRECES_DB.transaction().rollback();
            operatorSettings_.reopenDepartmentLists(kept);
        } catch (const db::DbError& e) {
            std::fprintf(stderr, "kelvo-server: department lists not reopened: %s\n", qUtf8Printable(e.message()));
        }
        throw;
    }
    operatorSettings_.reopenDepartmentLists(kept);
}

void PrintStation::printWaybill(std::int32_t waybillIsn)
{
    std::int32_t alcoholLines = 0;
    {
        QMutexLocker printing(&operatorSettings_.printLock());
        db::Query count(operatorSettings_.operatorConnection(), kAlcoholLines);
        count.param(u"ISN").setValue(waybillIsn);
        count.open();
        alcoholLines = count.field(u"SKAITS").asInteger();  // 0 when there is no such waybill
    }
    printRequest(waybillIsn, alcoholLines);
}

}  // namespace service
