#pragma once
// Database failures: the database's own message text (formatted from the
// status vector) and its codes.

#include <QString>

#include <stdexcept>
#include <vector>

namespace db {

class DbError : public std::runtime_error {
public:
    DbError(const QString& message, std::vector<long> codes = {});

    const QString& message() const { return message_; }
    // The main error code (first in the status vector), 0 when none.
    long code() const { return codes_.empty() ? 0 : codes_.front(); }
    const std::vector<long>& codes() const { return codes_; }
    bool hasCode(long code) const;
    // True when the connection to the database is gone (network error,
    // shutdown): the caller should detach and attach anew.
    bool connectionLost() const;
    // True when the statement met another transaction's update of a row it
    // changes, and that transaction committed while it waited.
    bool updateConflict() const;
    // True when an insert or update met a row with the same primary or
    // unique key (after waiting for the transaction that wrote it).
    bool duplicateKey() const;
    // True when the statement names a table the database does not have.
    bool unknownTable() const;
    // For a failure whose codes do not say so but after which the
    // connection no longer answers.
    void markConnectionLost() { lost_ = true; }

private:
    QString message_;
    std::vector<long> codes_;
    bool lost_ = false;
};

}  // namespace db
