#pragma once
// A fresh embedded goods database for one test: made from db/schema.sql in a
// temporary folder that disappears with the object (on tmpfs where there is
// one: a database file on disk takes seconds to make, with its forced writes). Tests insert the rows
// they need with run().

#include "Connection.h"

#include <QTemporaryDir>

#include <memory>

namespace testsupport {

// A file of the source tree (scripts, fixtures).
QString sourcePath(const QString& relative);

class TestDatabase {
public:
    // Runs the schema, then the extra scripts. Throws db::DbError when the
    // database cannot be made.
    explicit TestDatabase(const QStringList& extraScripts = {});

    // For connections of the test's own: the database file, SYSDBA, the
    // given character set (NONE: the windows-1257 code page), the given
    // transaction mode.
    db::ConnectionOptions options(db::TransactionMode mode = db::TransactionMode::AutoCommit,
                                  const QString& charset = QStringLiteral("NONE")) const;
    // An attached connection.
    std::unique_ptr<db::Connection> connect(db::TransactionMode mode = db::TransactionMode::AutoCommit,
                                            const QString& charset = QStringLiteral("NONE")) const;

    // Runs a script of statements separated by ';', each committed as it
    // completes.
    void run(const QString& script) const;

private:
    QTemporaryDir dir_;
};

}  // namespace testsupport
