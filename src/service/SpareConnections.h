#pragma once
// Database connections attached ahead of the sessions that will use them.
// Attaching takes the embedded engine several milliseconds of one core, so
// a crowd of handhelds connecting at once (after a restart of the server or
// of the network) would wait for each other's attaches; with connections
// attached beforehand each session starts at once.
//
// Each session still has a connection of its own: it takes one here (or,
// when none is spare, attaches one itself) and gives it back when it ends,
// for the next session, as long as there is room. A spare connection that
// no longer answers (the database server was restarted) is let go when it
// is taken, and the session gets another.

#include "Connection.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace service {

class SpareConnections {
public:
    // Keeps up to `capacity` connections with these options. A connection
    // attached by the filling first runs `warmUp` (a statement with rows and
    // no parameters, such as a session's first one): a connection's first
    // statement on texts costs the engine about as much as its attach.
    SpareConnections(db::ConnectionOptions options, int capacity, QString warmUp = {});
    // Stops the filling and detaches the spare connections.
    ~SpareConnections();
    SpareConnections(const SpareConnections&) = delete;
    SpareConnections& operator=(const SpareConnections&) = delete;

    // Attaches connections up to the capacity, one after another, on a
    // thread of its own, once (those taken meanwhile are not attached
    // again); a failed attach ends the filling (the sessions attach for
    // themselves then, and report the failure). Logs connections.spare
    // (debug) when it is done.
    void fill();

    // An attached connection for a session. Throws db::DbError when none is
    // spare and it cannot attach one.
    std::unique_ptr<db::Connection> take();
    // A session's connection when the session ends: kept while there is
    // room and it is attached, detached otherwise.
    void giveBack(std::unique_ptr<db::Connection> connection);

    int spare() const;

private:
    std::unique_ptr<db::Connection> takeSpare();
    void keepFilling();

    const db::ConnectionOptions options_;
    const int capacity_;
    const QString warmUp_;
    mutable std::mutex mutex_;
    std::vector<std::unique_ptr<db::Connection>> spare_;
    std::atomic<bool> stopping_ = false;
    std::thread filling_;
};

}  // namespace service
