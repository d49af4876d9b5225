#include "DatabaseWatch.h"

#include "DbError.h"

namespace host {

DatabaseWatch::DatabaseWatch(db::ConnectionOptions options, std::chrono::seconds interval)
    : options_(std::move(options)), interval_(interval), thread_([this] { run(); })
{
}

DatabaseWatch::~DatabaseWatch()
{
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    stopRequested_.notify_all();
    thread_.join();
}

DatabaseWatch::Reachability DatabaseWatch::reachability() const
{
    const std::lock_guard lock(mutex_);
    return reachability_;
}

void DatabaseWatch::run()
{
    db::Connection connection(options_);
    std::unique_lock lock(mutex_);
    while (!stopping_) {
        lock.unlock();
        Reachability checked = check(connection);
        lock.lock();
        reachability_ = std::move(checked);
        stopRequested_.wait_for(lock, interval_, [this] { return stopping_; });
    }
    lock.unlock();
    connection.detach();
}

// A connection that no longer answers is let go and attached anew.
DatabaseWatch::Reachability DatabaseWatch::check(db::Connection& connection) const
{
    try {
        connection.attach();
        if (connection.ping())
            return {true, {}, QDateTime::currentDateTime()};
        connection.detach();
        connection.attach();
        return {true, {}, QDateTime::currentDateTime()};
    } catch (const db::DbError& e) {
        connection.detach();
        return {false, e.message(), QDateTime::currentDateTime()};
    }
}

}  // namespace host
