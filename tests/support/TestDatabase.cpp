#include "TestDatabase.h"

#include <QDir>

namespace testing_support {

QString sourcePath(const QString& relative)
{
    return QDir(QStringLiteral(KELVO_SOURCE_DIR)).filePath(relative);
}

TestDatabase::TestDatabase(const QStringList& extraScripts)
    : path_(dir_.filePath(QStringLiteral("goods.fdb")))
{
    QStringList scripts{sourcePath(QStringLiteral("db/schema.sql"))};
    scripts += extraScripts;
    db::Connection::createDatabase(options(), scripts);
}

TestDatabase::~TestDatabase()
{
    // The temporary folder removes the file; nothing stays attached to it.
}

db::ConnectionOptions TestDatabase::options(db::TransactionMode mode, const QString& charset) const
{
    db::ConnectionOptions o;
    o.database = path_;
    o.charset = charset;
    o.mode = mode;
    return o;
}

std::unique_ptr<db::Connection> TestDatabase::connect(db::TransactionMode mode, const QString& charset) const
{
    auto connection = std::make_unique<db::Connection>(options(mode, charset));
    connection->attach();
    return connection;
}

void TestDatabase::exec(const QString& script) const
{
    db::Connection connection(options());
    connection.runScript(script);
}

}  // namespace testing_support
