#include "TestDatabase.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSaveFile>

#include <gtest/gtest.h>

#include <stdexcept>

namespace testsupport {

QString sourcePath(const QString& relative)
{
    return QDir(QStringLiteral(KELVO_SOURCE_DIR)).filePath(relative);
}

QString scratchFolderTemplate()
{
    const QString tmpfs = QStringLiteral("/dev/shm");
    const QFileInfo info(tmpfs);
    const QString base = info.isDir() && info.isWritable() ? tmpfs : QDir::tempPath();
    return base + QStringLiteral("/kelvo-test-XXXXXX");
}

namespace {

// Ends the client library's threads and the embedded engine after the last
// test, as the server does before it exits: left to the process's exit, an
// engine thread may still be finishing while the engine's library is
// unloaded.
class ClientShutdown : public ::testing::Environment {
public:
    void TearDown() override { db::shutdownClient(); }
};

const auto* const clientShutdown = ::testing::AddGlobalTestEnvironment(new ClientShutdown);

QString hexHash(const QByteArray& data, int length)
{
    return QString::fromLatin1(QCryptographicHash::hash(data, QCryptographicHash::Sha256).toHex().left(length));
}

// Stands for the database layer's build: how it creates a database and runs
// scripts may change with it.
QString libraryStamp()
{
    const QFileInfo library(QStringLiteral(KELVO_DB_LIBRARY));
    if (!library.exists())
        throw std::runtime_error("database layer library not found: " KELVO_DB_LIBRARY);
    return hexHash(QByteArray::number(library.lastModified().toMSecsSinceEpoch()) + ' '
                       + QByteArray::number(library.size()),
                   12);
}

QString scriptsHash(const QStringList& scripts)
{
    QByteArray contents;
    for (const QString& script : scripts) {
        QFile file(script);
        if (!file.open(QIODevice::ReadOnly))
            throw std::runtime_error("cannot read script " + script.toStdString());
        const QByteArray content = file.readAll();
        contents += QByteArray::number(content.size()) + ':' + content;
    }
    return hexHash(contents, 24);
}

// Runs the scripts in a new database on tmpfs and publishes the file whole
// at `path`; templates of other builds of the database layer, which no test
// of this build reads, go.
void makeTemplate(const QStringList& scripts, const QString& path, const QString& stamp)
{
    const QTemporaryDir work(scratchFolderTemplate());
    if (!work.isValid())
        throw std::runtime_error("no temporary folder for a template database");
    db::ConnectionOptions options;
    options.database = work.filePath(QStringLiteral("template.fdb"));
    db::Connection::createDatabase(options, scripts);  // detached when it returns

    QFile made(options.database);
    QSaveFile published(path);
    if (!made.open(QIODevice::ReadOnly) || !published.open(QIODevice::WriteOnly)
        || published.write(made.readAll()) != made.size() || !published.commit())
        throw std::runtime_error("cannot publish the template database " + path.toStdString());

    const QDir folder = QFileInfo(path).dir();
    for (const QFileInfo& old : folder.entryInfoList({QStringLiteral("*.fdb")}, QDir::Files)) {
        if (!old.fileName().startsWith(stamp))
            QFile::remove(old.filePath());
    }
}

// The template for these scripts, made first when there is none.
QString templateFor(const QStringList& scripts)
{
    const QDir folder(QStringLiteral(KELVO_BINARY_DIR "/test-databases"));
    if (!folder.mkpath(QStringLiteral(".")))
        throw std::runtime_error("cannot make " KELVO_BINARY_DIR "/test-databases");
    const QString stamp = libraryStamp();
    const QString name = stamp + u'-' + scriptsHash(scripts);
    const QString path = folder.filePath(name + QStringLiteral(".fdb"));
    if (QFileInfo::exists(path))
        return path;
    // The lock spares the others the work; the rename keeps the file sound
    // even when a lock taken for stale lets two processes make it.
    QLockFile lock(folder.filePath(name + QStringLiteral(".lock")));
    if (!lock.lock())
        throw std::runtime_error("cannot lock " + lock.fileName().toStdString());
    if (!QFileInfo::exists(path))
        makeTemplate(scripts, path, stamp);
    return path;
}

}  // namespace

void copyFreshDatabase(const QString& path, const QStringList& extraScripts)
{
    const QString source = templateFor(QStringList{sourcePath(QStringLiteral("db/schema.sql"))} + extraScripts);
    if (!QFile::copy(source, path))
        throw std::runtime_error("cannot copy the template database to " + path.toStdString());
}

TestDatabase::TestDatabase(const QStringList& extraScripts) : dir_(scratchFolderTemplate())
{
    if (!dir_.isValid())
        throw std::runtime_error("no temporary folder for the test database");
    copyFreshDatabase(options().database, extraScripts);
}

db::ConnectionOptions TestDatabase::options(db::TransactionMode mode, const QString& charset) const
{
    db::ConnectionOptions options;
    options.database = dir_.filePath(QStringLiteral("test.fdb"));
    options.mode = mode;
    options.charset = charset;
    return options;
}

std::unique_ptr<db::Connection> TestDatabase::connect(db::TransactionMode mode, const QString& charset) const
{
    auto connection = std::make_unique<db::Connection>(options(mode, charset));
    connection->attach();
    return connection;
}

void TestDatabase::run(const QString& script) const
{
    connect()->runScript(script);
}

}  // namespace testsupport
