#pragma once
// A fresh embedded goods database in a temporary folder, made from
// db/schema.sql, for one test.

#include "Connection.h"
#include "Query.h"

#include <QTemporaryDir>

#include <memory>

namespace testing_support {

// The source tree, for scripts and fixtures.
QString sourcePath(const QString& relative);

class TestDatabase {
public:
    // Creates the database and runs the schema and then the extra scripts.
    explicit TestDatabase(const QStringList& extraScripts = {});
    ~TestDatabase();
    TestDatabase(const TestDatabase&) = delete;
    TestDatabase& operator=(const TestDatabase&) = delete;

    const QString& path() const { return path_; }
    db::ConnectionOptions options(db::TransactionMode mode = db::TransactionMode::AutoCommit,
                                  const QString& charset = QStringLiteral("NONE")) const;
    std::unique_ptr<db::Connection> connect(db::TransactionMode mode = db::TransactionMode::AutoCommit,
                                            const QString& charset = QStringLiteral("NONE")) const;

    // Runs statements (a script: ';'-separated) on a connection of its own,
    // each committed: fixtures set up their rows with it.
    void exec(const QString& script) const;

private:
    QTemporaryDir dir_;
    QString path_;
};

}  // namespace testing_support
