#pragma once
// Runs of one statement shared by the sessions that ask for it at the same
// time. The goods list reads every pending line of the working range, and a
// crowd of handhelds asks for it at once, each with the same statement: one
// run answers them all.
//
// A request never gets rows read before it came: one that comes while a run
// of its key is going waits for the next run, which starts once that one has
// ended, and every request waiting for a run gets that run's answer (or its
// failure). The key is the statement with its parameters as the handler
// built them, so requests made under other operator settings never share a
// run.
//
// The run is carried out by the first request that waits for it, on its own
// thread and connection; the others only wait.

#include <QByteArray>
#include <QString>

#include <condition_variable>
#include <exception>
#include <functional>
#include <map>
#include <memory>
#include <mutex>

namespace service {

class SharedRuns {
public:
    // The answer of a run of `key` that starts after this call: `run`
    // carried out here, or another request's run. Throws what the run threw.
    QByteArray answer(const QString& key, const std::function<QByteArray()>& run);

    // Requests that wait for the next run of `key` (that has not started).
    int waitingForNext(const QString& key) const;

private:
    struct Run {
        QByteArray answer;
        std::exception_ptr failure;
        bool done = false;
        int requests = 0;
    };
    // The run going and the one gathering requests for when it ends.
    struct Key {
        std::shared_ptr<Run> going;
        std::shared_ptr<Run> next;
    };

    QByteArray lead(std::unique_lock<std::mutex>& lock, const QString& key, const std::shared_ptr<Run>& run,
                    const std::function<QByteArray()>& work);

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::map<QString, Key> keys_;
};

}  // namespace service
