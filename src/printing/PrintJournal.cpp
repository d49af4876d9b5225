#include "PrintJournal.h"

#include "Log.h"

#include <algorithm>

namespace printing {

QString outcomeName(PrintOutcome outcome)
{
    switch (outcome) {
    case PrintOutcome::Printed: return QStringLiteral("printed");
    case PrintOutcome::NoPrinter: return QStringLiteral("no printer");
    case PrintOutcome::NotPrinted: return QStringLiteral("not printed");
    case PrintOutcome::Cancelled: return QStringLiteral("cancelled");
    case PrintOutcome::Failed: return QStringLiteral("failed");
    }
    return {};
}

PrintJournal::PrintJournal(int capacity, QObject* parent) : QObject(parent), capacity_(std::max(1, capacity)) {}

void PrintJournal::add(const PrintEntry& entry)
{
    {
        const QMutexLocker locker(&mutex_);
        entries_.push_back(entry);
        while (static_cast<int>(entries_.size()) > capacity_)
            entries_.pop_front();
    }
    logPrint(entry);
    emit entryAdded(entry);
}

std::vector<PrintEntry> PrintJournal::entries() const
{
    const QMutexLocker locker(&mutex_);
    return {entries_.begin(), entries_.end()};
}

void logPrint(const PrintEntry& entry)
{
    const logging::Level level = entry.outcome == PrintOutcome::Printed ? logging::Level::Info : logging::Level::Warning;
    logging::write(level, "print", {{"isn", entry.waybillIsn},
                                    {"number", entry.waybillNumber},
                                    {"form", entry.form},
                                    {"copies", entry.copies},
                                    {"destination", entry.destination},
                                    {"duration_ms", entry.durationMs},
                                    {"outcome", outcomeName(entry.outcome)},
                                    {"error", entry.error.isEmpty() ? QVariant() : QVariant(entry.error)},
                                    {"peer", entry.peer.isEmpty() ? QVariant() : QVariant(entry.peer)}});
}

}  // namespace printing
