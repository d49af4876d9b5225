#pragma once
// Internal: the pieces of libfbclient's object API the layer shares between
// its files. Not for use outside src/db.

#include "Connection.h"
#include "DbError.h"

#include <firebird/Interface.h>

#include <QStringDecoder>
#include <QStringEncoder>

#include <mutex>

namespace db::fb {

using Firebird::ThrowStatusWrapper;

Firebird::IMaster* master();
Firebird::IUtil* util();

// A status of the calling thread, disposed at scope end.
class Status {
public:
    Status() : status_(master()->getStatus()), wrapper_(status_) {}
    ~Status() { status_->dispose(); }
    Status(const Status&) = delete;
    Status& operator=(const Status&) = delete;
    ThrowStatusWrapper* operator&() { return &wrapper_; }

private:
    Firebird::IStatus* status_;
    ThrowStatusWrapper wrapper_;
};

// The database's error as a DbError.
DbError toDbError(const Firebird::FbException& e);

// Runs a call of the object API, turning its exceptions into DbError.
template <typename F>
auto call(F&& f)
{
    try {
        return f();
    } catch (const Firebird::FbException& e) {
        throw toDbError(e);
    }
}

}  // namespace db::fb

namespace db {

struct Connection::Impl {
    Firebird::IProvider* provider = nullptr;
    Firebird::IAttachment* attachment = nullptr;
    Firebird::ITransaction* transaction = nullptr;
    std::vector<Query*> datasets;  // opened in the current transaction
    mutable QStringEncoder encoder;
    mutable QStringDecoder decoder;
    QString eightBitCodePage;
    int generation = 0;  // counts attachments, so statements know when to prepare anew

    // The transaction statements run in: started on demand.
    Firebird::ITransaction* activeTransaction(Connection& connection);
};

}  // namespace db
