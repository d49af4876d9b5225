#pragma once
// Internal: the pieces of libfbclient's object API the layer shares between
// its files. Not for use outside src/db and its tests.

#include "Connection.h"
#include "DbError.h"

#include <firebird/Interface.h>

#include <QStringDecoder>
#include <QStringEncoder>

#include <atomic>
#include <mutex>
#include <type_traits>
#include <utility>

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

// The objects Owned holds at the moment, in all threads.
inline std::atomic<int> heldObjects{0};

// Owns one object of the object API (a reference-counted one such as an
// attachment, transaction, statement, cursor, blob or metadata, or a
// disposable one such as a parameter block builder) and lets it go when
// dropped.
//
// The calls that end an object (free, close, commit, rollback, detach, drop)
// release it when they succeed and leave it to the caller when they fail:
// end() and endOrKeep() run such a call and keep count of whose it is.
template <typename T>
class Owned {
public:
    Owned() = default;
    explicit Owned(T* object) { reset(object); }
    ~Owned() { reset(); }
    Owned(Owned&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
    Owned& operator=(Owned&& other) noexcept
    {
        if (this != &other) {
            reset();
            object_ = std::exchange(other.object_, nullptr);
        }
        return *this;
    }

    T* get() const { return object_; }
    T* operator->() const { return object_; }
    explicit operator bool() const { return object_ != nullptr; }

    // Lets the object go and takes the given one instead.
    void reset(T* object = nullptr)
    {
        if (object_)
            drop(std::exchange(object_, nullptr));
        if (object)
            ++heldObjects;
        object_ = object;
    }

    // Runs call(object), a call that ends it; when it fails, the object is
    // released here. Either way it is no longer held.
    template <typename Call>
    void end(Call&& call)
    {
        try {
            call(object_);
        } catch (...) {
            reset();
            throw;
        }
        forget();
    }

    // The same for a call after whose failure the object still serves (a
    // commit that can be rolled back instead): it stays held.
    template <typename Call>
    void endOrKeep(Call&& call)
    {
        call(object_);
        forget();
    }

private:
    static void drop(T* object)
    {
        --heldObjects;
        if constexpr (std::is_base_of_v<Firebird::IDisposable, T>)
            object->dispose();
        else
            object->release();
    }

    // The object was released by the call that ended it.
    void forget()
    {
        object_ = nullptr;
        --heldObjects;
    }

    T* object_ = nullptr;
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
    fb::Owned<Firebird::IProvider> provider;
    fb::Owned<Firebird::IAttachment> attachment;
    fb::Owned<Firebird::ITransaction> transaction;
    std::vector<Query*> datasets;  // opened in the current transaction
    mutable QStringEncoder encoder;
    mutable QStringDecoder decoder;
    QString eightBitCodePage;
    int generation = 0;  // counts attachments, so statements know when to prepare anew
    bool inUnitOfWork = false;  // the transaction is a UnitOfWork's
    // The auto-commit transaction, set aside while a unit of work runs: idle,
    // it holds no locks, and ending and starting it anew would cost a write
    // of the database each.
    fb::Owned<Firebird::ITransaction> suspended;

    // The transaction statements run in: started on demand.
    Firebird::ITransaction* activeTransaction(Connection& connection);
    // Whether the transaction lasts beyond its statements, so that a commit
    // or rollback closes the datasets opened in it.
    bool explicitTransaction(const Connection& connection) const
    {
        return connection.options().mode == TransactionMode::Explicit || inUnitOfWork;
    }
    // Once a unit of work's transaction has ended: the one it set aside
    // serves again.
    void resumeAfterUnitOfWork()
    {
        if (transaction || !inUnitOfWork)
            return;
        inUnitOfWork = false;
        transaction = std::move(suspended);
    }
};

}  // namespace db
