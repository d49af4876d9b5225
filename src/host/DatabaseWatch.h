#pragma once
// Whether the goods database answers, for the operator console: a
// connection of its own, asked every few seconds on a thread of its own, so
// that a database that hangs holds up neither a print nor the console.

#include "Connection.h"

#include <QDateTime>
#include <QString>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>

namespace host {

class DatabaseWatch {
public:
    struct Reachability {
        std::optional<bool> reachable;  // none before the first check
        QString error;                  // the database's message when not
        QDateTime checkedAt;
    };

    DatabaseWatch(db::ConnectionOptions options, std::chrono::seconds interval);
    // Waits for a check in flight.
    ~DatabaseWatch();
    DatabaseWatch(const DatabaseWatch&) = delete;
    DatabaseWatch& operator=(const DatabaseWatch&) = delete;

    Reachability reachability() const;

private:
    void run();
    Reachability check(db::Connection& connection) const;

    const db::ConnectionOptions options_;
    const std::chrono::seconds interval_;
    mutable std::mutex mutex_;
    std::condition_variable stopRequested_;
    bool stopping_ = false;
    Reachability reachability_;
    std::thread thread_;
};

}  // namespace host
