#pragma once
// The print request: the one place where a handheld's request reaches the
// office printer. It holds what exists once in the process for printing (the
// two report forms, the operator's connection and department lists) and lets
// one print run at a time, under the operator settings' print lock.

#include "PrintDevices.h"

#include <QString>

#include <cstdint>
#include <memory>

namespace host {
class OperatorSettings;
}  // namespace host

namespace reports {
class TPrParvietPZ;
class TPrParvAlkoholaPZ;
}  // namespace reports

namespace service {

// Where print jobs go: a folder of PDF files, else the named printer, else
// the system's default printer.
struct PrintTarget {
    QString printerName;
    QString pdfFolder;
};

class PrintStation {
public:
    PrintStation(host::OperatorSettings& operatorSettings, reports::TPrParvietPZ& general,
                 reports::TPrParvAlkoholaPZ& alcohol, PrintTarget target);

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

    // The device for one job, made anew for each print.
    std::unique_ptr<engine::OutputDevice> outputDevice(std::int32_t waybillIsn);

private:
    void printOnForm(std::int32_t waybillIsn, std::int32_t alcoholLines);

    host::OperatorSettings& operatorSettings_;
    reports::TPrParvietPZ& general_;
    reports::TPrParvAlkoholaPZ& alcohol_;
    PrintTarget target_;
};

// The PDF file name of a job: waybill key, number and time, so that jobs
// never overwrite each other.
QString pdfFileName(std::int32_t waybillIsn, const QString& waybillNumber, const QDateTime& at);

}  // namespace service
