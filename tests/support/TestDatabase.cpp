#include "TestDatabase.h"

#include <QDir>

#include <stdexcept>

namespace testsupport {

QString sourcePath(const QString& relative)
{
    return QDir(QStringLiteral(KELVO_SOURCE_DIR)).filePath(relative);
}

TestDatabase::TestDatabase(const QStringList& extraScripts)
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
