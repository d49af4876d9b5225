#pragma once
// The print request: the one place where a handheld's request reaches the
// office printer. It prints on the two report forms, which exist once in the
// process (PrParvietPZ and PrParvAlkoholaPZ), with the operator's connection
// and department lists, and lets one print run at a time: it holds the print
// lock from its first step to its last.

#include "OperatorDatabase.h"
#include "OperatorValues.h"
#include "PrintDevices.h"
#include "PrintJournal.h"
#include "PrintProgress.h"

#include <QDateTime>
#include <QMutex>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>

namespace reports {
class TPrParvietPZ;
class TPrParvAlkoholaPZ;
}  // namespace reports

namespace printing {

// Printing failed: nothing or not all was printed.
class PrintError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Where print jobs go: a folder of PDF files, else the named printer, else
// the system's default printer.
struct PrintTarget {
    QString printerName;
    QString pdfFolder;
};

// The device of one print job, and where it goes as the journal names it:
// the printer or the PDF file.
struct Destination {
    std::unique_ptr<engine::OutputDevice> device;
    QString name;
};

// Makes the destination of one print job of a waybill, anew for each print;
// a PDF file is named after the waybill's key and number.
using DeviceFactory = std::function<Destination(std::int32_t waybillIsn, const QString& waybillNumber)>;

DeviceFactory targetDevices(PrintTarget target);

// Owns the two report forms, which live as long as it does and which it
// reaches only under the print lock.
class PrintStation {
public:
    PrintStation(const operator_state::OperatorValues& operatorValues, operator_state::OperatorDatabase& operatorDatabase,
                 DeviceFactory devices);
    ~PrintStation();
    PrintStation(const PrintStation&) = delete;
    PrintStation& operator=(const PrintStation&) = delete;

    // SQLDataSet_drukatAfterOpen's work: prints the waybill `waybillIsn` on
    // the alcohol form when it has alcohol lines, else on the general form,
    // in the operator's number of copies; blocks it through PRECES_DB;
    // commits; puts the department lists back on their rows. Throws
    // PrintError or db::DbError; the lists are reopened either way. A failure
    // that finds PRECES_DB lost lets the connection go, so that the next print
    // attaches anew. Each print, whatever its outcome, adds an entry to the
    // journal; `peer` is the client that asked.
    void printRequest(std::int32_t waybillIsn, std::int32_t alcoholLines, const QString& peer = {});

    // The forms, for a holder of the print lock.
    reports::TPrParvietPZ& PrParvietPZ(const operator_state::PrintLock::Held& held);
    reports::TPrParvAlkoholaPZ& PrParvAlkoholaPZ(const operator_state::PrintLock::Held& held);
    // The progress of the forms' print runs, for any thread (the progress
    // window follows them).
    engine::PrintProgress& generalProgress();
    engine::PrintProgress& alcoholProgress();
    // The latest prints, for any thread.
    PrintJournal& journal() { return journal_; }
    // The print being made (its waybill, form, client and start), for any
    // thread; none between prints.
    std::optional<PrintEntry> runningPrint() const;

private:
    void printAndBlock(const operator_state::PrintLock::Held& printing, PrintEntry& entry, std::int32_t alcoholLines);
    void printOnForm(PrintEntry& entry, std::int32_t alcoholLines);
    void recoverFromFailure(const operator_state::PrintLock::Held& printing,
                            const operator_state::OperatorDatabase::DepartmentPositions& kept);
    void checkHeld(const operator_state::PrintLock::Held& held) const;
    void showRunning(std::optional<PrintEntry> entry);

    const operator_state::OperatorValues& operatorValues_;
    operator_state::OperatorDatabase& operatorDatabase_;
    DeviceFactory devices_;
    std::unique_ptr<reports::TPrParvietPZ> general_;
    std::unique_ptr<reports::TPrParvAlkoholaPZ> alcohol_;
    PrintJournal journal_;
    mutable QMutex runningMutex_;
    std::optional<PrintEntry> running_;
};

// The PDF file name of a job: waybill key, number and time, so that jobs
// never overwrite each other.
QString pdfFileName(std::int32_t waybillIsn, const QString& waybillNumber, const QDateTime& at);

}  // namespace printing
