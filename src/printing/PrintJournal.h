#pragma once
// The journal of the latest prints: what was printed, for whom, where, how
// long it took and how it ended. Each print adds one entry; the server's log
// line of the print is written from it. Bounded: beyond its capacity the
// oldest entries go. Thread-safe.

#include <QDateTime>
#include <QMutex>
#include <QObject>
#include <QString>

#include <cstdint>
#include <deque>
#include <vector>

namespace printing {

enum class PrintOutcome {
    Printed,
    NoPrinter,   // no usable printer: nothing printed, the waybill still blocked
    NotPrinted,  // the report chose not to print
    Cancelled,
    Failed,
};

// "printed", "no printer", "not printed", "cancelled", "failed".
QString outcomeName(PrintOutcome outcome);

struct PrintEntry {
    QDateTime startedAt;
    std::int32_t waybillIsn = 0;
    QString waybillNumber;  // series and number, e.g. PL9171900001
    QString form;           // "general" or "alcohol"
    int copies = 0;
    QString destination;    // the printer's name, or the PDF file
    qint64 durationMs = 0;
    PrintOutcome outcome = PrintOutcome::Printed;
    QString error;          // the failure's message
    QString peer;           // the client that asked, empty when none did
};

class PrintJournal : public QObject {
    Q_OBJECT
public:
    static constexpr int kDefaultCapacity = 500;

    explicit PrintJournal(int capacity = kDefaultCapacity, QObject* parent = nullptr);

    // Adds the entry, dropping the oldest beyond the capacity, writes its log
    // line and emits entryAdded.
    void add(const PrintEntry& entry);
    // Oldest first.
    std::vector<PrintEntry> entries() const;
    int capacity() const { return capacity_; }

signals:
    // On the thread that printed; connect queued to use it elsewhere.
    void entryAdded(const printing::PrintEntry& entry);

private:
    const int capacity_;
    mutable QMutex mutex_;
    std::deque<PrintEntry> entries_;
};

// The log line of a print: info when it printed, a warning otherwise.
void logPrint(const PrintEntry& entry);

}  // namespace printing
