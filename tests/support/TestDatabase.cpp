#include "TestDatabase.h"

#include <QDir>
#include <QFileInfo>

#include <stdexcept>

namespace testsupport {

QString sourcePath(const QString& relative)
{
    return QDir(QStringLiteral(KELVO_SOURCE_DIR)).filePath(relative);
}

namespace {

QString temporaryFolderTemplate()
{
    const QString tmpfs = QStringLiteral("/dev/shm");
    const QFileInfo info(tmpfs);
    const QString base = info.isDir() && info.isWritable() ? tmpfs : QDir::tempPath();
    return base + QStringLiteral("/kelvo-test-XXXXXX");
}

}  // namespace

TestDatabase::TestDatabase(const QStringList& extraScripts) : dir_(temporaryFolderTemplate())
{
    if (!dir_.isValid())
        throw std::runtime_error("no temporary folder for the test database");
    db::Connection::createDatabase(options(), QStringList{sourcePath(QStringLiteral("db/schema.sql"))} + extraScripts);
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
