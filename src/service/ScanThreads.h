#pragma once
// The threads the opens that read the whole working range run on, with the
// writing of their answers: as many as there are cores. Such an open takes
// about a hundred milliseconds of CPU; the scans beyond one a core wait in
// the pool's queue, first come first served. Opens of the same statement
// share their runs (SharedRuns), so that a crowd of handhelds asking for the
// goods list keeps at most one core busy with it.

#include <QThreadPool>

#include <future>
#include <memory>

namespace service {

QThreadPool& scanThreads();

// Runs `work` on a scan thread and waits for it: its result, or its
// exception thrown again here.
template <typename Work>
auto runOnScanThread(Work&& work)
{
    using Result = decltype(work());
    auto task = std::make_shared<std::packaged_task<Result()>>(std::forward<Work>(work));
    std::future<Result> result = task->get_future();
    scanThreads().start([task] { (*task)(); });
    return result.get();
}

}  // namespace service
