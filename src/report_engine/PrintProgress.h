#pragma once
// How a run reports its progress and is cancelled, for the host's "Printing
// progress" window. The engine shows no window and pumps no events.
//
// The signals are emitted on the thread that runs Report::print (a worker
// thread in the server). Connect them to the window with the default
// (auto) connection: the window lives in the GUI thread, so they arrive
// queued there.
//   started(recordCount)          the job is open; show the window
//   recordPrinted(n, recordCount) n detail records printed so far
//   finished()                    the job is closed or abandoned; hide it
// requestCancel() is thread-safe: connect the window's Cancel button to it
// (a direct call from the GUI thread is what is wanted) or call it. The run
// stops at the next record or page, abandons the job, skips AfterPrint and
// Report::print returns PrintResult::Cancelled.

#include <QObject>

#include <atomic>

namespace engine {

class PrintProgress : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    bool isCancelRequested() const { return cancelRequested_.load(); }

public slots:
    void requestCancel() { cancelRequested_.store(true); }

signals:
    void started(int recordCount);
    void recordPrinted(int printed, int recordCount);
    void finished();

private:
    friend class ProgressScope;
    std::atomic_bool cancelRequested_{false};
};

// Brackets one job: clears an earlier cancel, emits started() and, however
// the job ends, finished().
class ProgressScope {
public:
    ProgressScope(PrintProgress& progress, int recordCount);
    ~ProgressScope();
    ProgressScope(const ProgressScope&) = delete;
    ProgressScope& operator=(const ProgressScope&) = delete;

    void recordPrinted(int printed) { emit progress_.recordPrinted(printed, recordCount_); }
    bool cancelRequested() const { return progress_.isCancelRequested(); }

private:
    PrintProgress& progress_;
    int recordCount_;
};

}  // namespace engine
