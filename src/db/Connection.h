#pragma once
// A connection to a Firebird database through libfbclient's object API.
//
// A plain file path opens the database in-process through the embedded
// engine; "host:path" or "host/port:path" goes to a server.
//
// Threads: a Connection, its Transaction and its Queries are used by one
// thread at a time; separate connections work in parallel.

#include "Value.h"

#include <QString>
#include <QStringList>

#include <memory>

namespace db {

class Query;

enum class TransactionMode {
    // Read committed, record version, wait on locks; every statement is
    // committed when it completes.
    AutoCommit,
    // One explicit snapshot transaction (wait on locks), started when a
    // dataset needs it and ended on request.
    Explicit,
};

struct ConnectionOptions {
    QString database;
    QString user = QStringLiteral("SYSDBA");
    QString password;
    QString role;
    // NONE or a Firebird character set name (UTF8, WIN1257, ...).
    QString charset = QStringLiteral("NONE");
    // For charset NONE: the 8-bit code page texts are decoded from and
    // encoded to.
    QString codePage = QStringLiteral("windows-1257");
    TransactionMode mode = TransactionMode::AutoCommit;
};

class Connection;

// The connection's transaction. In explicit mode it is the one the datasets
// run in; committing or rolling it back closes every dataset that ran in it.
class Transaction {
public:
    bool isActive() const;
    void start();
    void commit();
    void rollback();

private:
    friend class Connection;
    friend class Query;
    explicit Transaction(Connection& connection) : connection_(connection) {}
    friend class UnitOfWork;
    void end(bool commit);
    void closeDatasets();

    Connection& connection_;
};

// One explicit transaction on an auto-commit connection, for statements that
// must take effect together or not at all: read committed, record version,
// wait on locks. The connection's statements run in it until commit();
// destroyed without commit() it is rolled back. Afterwards each statement is
// committed on its own again.
class UnitOfWork {
public:
    // Throws DbError on a connection in explicit mode, whose statements are
    // in one transaction already, and when the transaction cannot start.
    explicit UnitOfWork(Connection& connection);
    ~UnitOfWork();
    UnitOfWork(const UnitOfWork&) = delete;
    UnitOfWork& operator=(const UnitOfWork&) = delete;

    void commit();

private:
    Connection& connection_;
    bool ended_ = false;
};

class Connection {
public:
    explicit Connection(ConnectionOptions options);
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // Attaches; a no-op when attached. Throws DbError.
    void attach();
    // Ends the open transaction (rolling back uncommitted explicit work) and
    // detaches. Never throws; a lost connection is released all the same.
    void detach();
    bool isAttached() const;
    // Asks the database whether the attachment still answers.
    bool ping();

    const ConnectionOptions& options() const { return options_; }
    Transaction& transaction() { return transaction_; }

    // Texts as this connection carries them.
    QByteArray encode(const QString& text) const;
    QString decode(const char* bytes, qsizetype size) const;
    // The 8-bit code page texts are decoded with; empty for a Unicode
    // connection character set.
    QString eightBitCodePage() const;

    // Runs a script of statements separated by ';' (SET TERM honoured), each
    // committed when it completes.
    void runScript(const QString& script);
    void runScriptFile(const QString& path);

    // Creates a database (default character set WIN1257, dialect 3) and runs
    // the given script files in it, in order.
    static void createDatabase(const ConnectionOptions& options, const QStringList& scriptFiles = {});
    // Drops an attached database (tests and tools clean up with it).
    void dropDatabase();

    struct Impl;
    Impl& impl() { return *impl_; }

private:
    friend class Transaction;
    friend class UnitOfWork;
    ConnectionOptions options_;
    std::unique_ptr<Impl> impl_;
    Transaction transaction_;
};

// How many of the client library's objects (attachments, transactions,
// statements, cursors, blobs, metadata, ...) this process holds at the
// moment. A call that fails leaves the count as it found it, unless it
// attached or prepared on the way.
int heldClientObjects();

// Ends the client library's threads and the embedded engine; call once
// before the process exits.
void shutdownClient();

// For a process that handles SIGINT and SIGTERM itself. The client library
// would otherwise shut every connection and the embedded engine down the
// moment such a signal arrives, failing the statements under way; the
// process ends them with shutdownClient() when it is done.
void leaveTerminationSignalsToTheProcess();

}  // namespace db
