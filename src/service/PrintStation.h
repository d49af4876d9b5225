#pragma once
// The print request: the one place where a handheld's request reaches the
// office printer. It holds what exists once in the process for printing (the
// two report forms, the operator's connection and department lists) and lets
// one print run at a time, under the operator settings' print lock.

#include "PrintDevices.h"

#include <QDateTime>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>

namespace host {
class OperatorSettings;
}  // namespace host

namespace db {
class Connection;
}  // namespace db

namespace reports {
class WaybillForm;
}  // namespace reports

namespace service {

// Where print jobs go: a folder of PDF files, else the named printer, else
// the system's default printer.
struct PrintTarget {
    QString printerName;
    QString pdfFolder;
};

// Makes the device for one print job of a waybill, anew for each print.
using DeviceFactory = std::function<std::unique_ptr<engine::OutputDevice>(std::int32_t waybillIsn)>;

// The devices of a print target; a PDF file is named after the waybill,
// read through `connection`.
DeviceFactory targetDevices(PrintTarget target, db::Connection& connection);

class PrintStation {
public:
    PrintStation(host::OperatorSettings& operatorSettings, reports::WaybillForm& general,
                 reports::WaybillForm& alcohol, DeviceFactory devices);

    // SQLDataSet_drukatAfterOpen's work: prints the waybill `waybillIsn` on
    // the alcohol form when it has alcohol lines, else on the general form,
    // in the operator's number of copies; blocks it through PRECES_DB;
    // commits; puts the department lists back on their rows. Throws
    // PrintError or db::DbError; the lists are reopened either way.
    void printRequest(std::int32_t waybillIsn, std::int32_t alcoholLines);

    // For printing one waybill from the command line: counts its alcohol
    // lines on PRECES_DB as the print request's statement does, then prints
    // it the same way.
    void printWaybill(std::int32_t waybillIsn);

private:
    void printOnForm(std::int32_t waybillIsn, std::int32_t alcoholLines);

    host::OperatorSettings& operatorSettings_;
    reports::WaybillForm& general_;
    reports::WaybillForm& alcohol_;
    DeviceFactory devices_;
};

// The PDF file name of a job: waybill key, number and time, so that jobs
// never overwrite each other.
QString pdfFileName(std::int32_t waybillIsn, const QString& waybillNumber, const QDateTime& at);

}  // namespace service
