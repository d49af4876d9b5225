#pragma once
// The threads the opens that read the whole working range run on, with the
// writing of their answers: as many as there are cores. Such an open takes
// about a hundred milliseconds of CPU; the scans beyond one a core wait in
// the pool's queue, first come first served. Opens of the same statement
// share their runs (SharedRuns), so that a crowd of handhelds asking for the
// goods list keeps at most one core busy with it.

#include <QThreadPool>

#include <atomic>
#include <functional>
#include <future>
#include <memory>

namespace service {

QThreadPool& scanThreads();

// The pool hands a job to its thread under a lock of its own, which orders
// the job's making before its run; this counter shows that order to
// ThreadSanitizer too, which cannot see inside Qt.
inline std::atomic<unsigned>& scanHandover()
{
    static std::atomic<unsigned> handover;
    return handover;
}

// Runs `work` on a scan thread and waits for it: its result, or its
// exception thrown again here.
template <typename Work>
auto runOnScanThread(Work&& work)
{
    using Result = decltype(work());
    auto task = std::make_shared<std::packaged_task<Result()>>(std::forward<Work>(work));
    std::future<Result> result = task->get_future();
    std::function<void()> job = [task] {
        scanHandover().load(std::memory_order_acquire);
        (*task)();
    };
    scanHandover().fetch_add(1, std::memory_order_release);
    scanThreads().start(std::move(job));
    return result.get();
}

}  // namespace service
