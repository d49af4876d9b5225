#pragma once
// A fresh embedded goods database for one test: a copy of a template made
// from db/schema.sql (and the extra scripts), in a temporary folder that
// disappears with the object (on tmpfs where there is one). Tests insert the
// rows they need with run().
//
// A template is made once for all test processes: it is kept in the build
// tree under a name drawn from its scripts' contents and the database
// layer's build, made under a lock and published whole by a rename, so that
// parallel tests and runs never copy a half-made one.

#include "Connection.h"

#include <QTemporaryDir>

#include <memory>

namespace testsupport {

// A file of the source tree (scripts, fixtures).
QString sourcePath(const QString& relative);

// A QTemporaryDir template on tmpfs where there is one: databases with their
// forced writes, and settings saved with a sync, take long on a disk.
QString scratchFolderTemplate();

// Puts a fresh database, the schema and then the extra scripts run in it,
// at `path`, which must not exist yet. Throws when it cannot.
void copyFreshDatabase(const QString& path, const QStringList& extraScripts = {});

class TestDatabase {
public:
    // The schema, then the extra scripts. Throws when the database cannot be
    // made.
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
