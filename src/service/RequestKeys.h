#pragma once
// Request keys: an execute may carry a key of the client's choosing (a UUID
// for one user action, say). Its answer is kept with the key in the goods
// database (table KELVO_REQUESTS), in the same transaction as its statement,
// so that the request sent again, on any connection and after a restart,
// gets the kept answer and changes nothing.
//
// The key's row is the lock: the first execute inserts it before it runs
// its statement, and a second one with the same key waits on that insert
// until the first commits (then it finds the kept answer) or rolls back
// (then it runs itself).

#include "Query.h"

#include <QByteArray>
#include <QString>

#include <optional>
#include <vector>

namespace service {

// How long a kept answer serves a resent request.
constexpr int kRequestKeyDays = 7;
// Keys are 1 to 64 printable ASCII characters, no blanks.
constexpr int kMaxRequestKeyLength = 64;
bool isValidRequestKey(const QString& key);

// What a keyed request is checked against when it comes again: its
// provider and the parameters it ran with.
struct RequestFingerprint {
    QString provider;
    QString paramsHash;  // SHA-256 in hex
};
// Order and case of the names do not count; names, types and values do.
QString paramsHash(const std::vector<db::Param>& params);

class RequestKeys {
public:
    // Uses `connection` for its statements, in whatever transaction it has.
    explicit RequestKeys(db::Connection& connection);

    enum class Outcome {
        Claimed,  // the request is new: run it, then keep() its answer
        Kept,     // answered before: `answer` is the kept answer
        NoTable,  // the database has no KELVO_REQUESTS: retries are not safe
    };
    struct Claim {
        Outcome outcome = Outcome::Claimed;
        RequestFingerprint kept;  // for Kept: the request the key was used for
        QByteArray answer;        // for Kept
    };

    // Inside the connection's unit of work, before the request runs.
    Claim claim(const QString& key, const RequestFingerprint& request);
    // The answer of a claimed key, in the same unit of work.
    void keep(const QString& key, const QByteArray& answer);
    // Removes the keys older than kRequestKeyDays; a no-op without the table.
    void removeExpired();
    // Removes them at most once an hour in the process, when the last time
    // lies that far back.
    void removeExpiredNowAndThen();

private:
    db::Connection& connection_;
    db::Query insert_;
    db::Query select_;
    db::Query answer_;
    db::Query expired_;
};

// Whether the goods database has the table of request keys; removes the
// expired ones on the way. Never throws: a database that cannot be reached
// counts as no table, with its message in `detail`.
struct RequestKeysCheck {
    bool available = false;
    QString detail;
};
RequestKeysCheck checkRequestKeys(const db::ConnectionOptions& options);

}  // namespace service
