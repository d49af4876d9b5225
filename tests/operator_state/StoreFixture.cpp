#include "StoreFixture.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>

namespace testsupport {
namespace {

void restoreVariable(const char* name, const QByteArray& value)
{
    if (value.isNull())
        qunsetenv(name);
    else
        qputenv(name, value);
}

}  // namespace

StoreTest::StoreTest() : savedHome_(qgetenv("HOME")), savedConfigHome_(qgetenv("XDG_CONFIG_HOME"))
{
    qputenv("HOME", QFile::encodeName(home.path()));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.filePath(QStringLiteral("config"))));
}

StoreTest::~StoreTest()
{
    restoreVariable("HOME", savedHome_);
    restoreVariable("XDG_CONFIG_HOME", savedConfigHome_);
}

QString StoreTest::storeFile() const
{
    return QDir(QFile::decodeName(qgetenv("XDG_CONFIG_HOME"))).filePath(QStringLiteral("ZEMBRIK/Tolvira/Dravun.json"));
}

bool StoreTest::storeExists() const
{
    return QFile::exists(storeFile());
}

void StoreTest::writeStoreFile(const QByteArray& content) const
{
    QDir().mkpath(QFileInfo(storeFile()).absolutePath());
    QFile file(storeFile());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(content);
}

QJsonObject StoreTest::storedObject() const
{
    QFile file(storeFile());
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QJsonDocument::fromJson(file.readAll()).object();
}

void StoreTest::blockStore()
{
    const QString regularFile = home.filePath(QStringLiteral("not-a-folder"));
    QFile file(regularFile);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(regularFile + QStringLiteral("/config")));
}

}  // namespace testsupport
