#include "SettingsStore.h"

#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QMutex>
#include <QStandardPaths>

#ifdef Q_OS_WIN
#include <QSettings>
#else
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#endif

namespace operator_state {
namespace {

using Values = SettingsStore::Values;

// How long update() waits for another process to finish its update.
constexpr int kLockWaitMs = 10000;

QMutex& storeMutex()
{
    static QMutex mutex;
    return mutex;
}

#ifdef Q_OS_WIN

QString defaultLocation()
{
    return QStringLiteral("HKEY_CURRENT_USER\\Software\\ZEMBRIK\\Tolvira\\Dravun");
}

// The registry has no folder of its own to put the lock beside; the user's
// temporary folder is per user as well.
QString lockPath(const QString&)
{
    return QDir::temp().filePath(QStringLiteral("ZEMBRIK-Tolvira-Dravun.lock"));
}

bool prepareKey(const QString&)
{
    return true;
}

std::optional<Values> readValues(const QString& location)
{
    QSettings key(location, QSettings::NativeFormat);
    if (key.status() != QSettings::NoError)
        return std::nullopt;
    Values values;
    for (const QString& name : key.childKeys()) {
        QVariant value = key.value(name);
        // REG_DWORD comes back as int: every integer is a qint64 to callers.
        if (value.typeId() == QMetaType::Int)
            value = QVariant(qint64{value.toInt()});
        values.insert(name, value);
    }
    return values;
}

bool writeValues(const QString& location, const Values& values)
{
    QSettings key(location, QSettings::NativeFormat);
    for (const QString& name : key.childKeys()) {
        if (!values.contains(name))
            key.remove(name);
    }
    for (auto it = values.begin(); it != values.end(); ++it) {
        if (it->typeId() == QMetaType::QString) {
            key.setValue(it.key(), *it);
        } else {
            // An integer that fits is a REG_DWORD, as the registry's readers
            // of these values expect.
            const qint64 number = it->toLongLong();
            key.setValue(it.key(), number == static_cast<int>(number) ? QVariant(static_cast<int>(number))
                                                                        : QVariant(number));
        }
    }
    key.sync();
    return key.status() == QSettings::NoError;
}

#else

QString defaultLocation()
{
    // GenericConfigLocation is $XDG_CONFIG_HOME, or ~/.config without it.
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation))
        .filePath(QStringLiteral("ZEMBRIK/Tolvira/Dravun.json"));
}

QString lockPath(const QString& location)
{
    return location + QStringLiteral(".lock");
}

bool prepareKey(const QString& location)
{
    return QDir().mkpath(QFileInfo(location).absolutePath());
}

// A missing file is an empty key; a file that is there but cannot be read
// is a key that cannot be opened. Anything but a JSON object reads as empty.
std::optional<Values> readValues(const QString& location)
{
    QFile file(location);
    if (!file.exists())
        return Values{};
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return QJsonDocument::fromJson(file.readAll()).object().toVariantMap();
}

bool writeValues(const QString& location, const Values& values)
{
    QSaveFile file(location);
    return file.open(QIODevice::WriteOnly)
           && file.write(QJsonDocument(QJsonObject::fromVariantMap(values)).toJson()) >= 0 && file.commit();
}

#endif

bool updateValues(const QString& location, const std::function<void(Values&)>& change)
{
    QMutexLocker locker(&storeMutex());
    if (!prepareKey(location))
        return false;
    QLockFile lock(lockPath(location));
    if (!lock.tryLock(kLockWaitMs))
        return false;
    std::optional<Values> values = readValues(location);
    if (!values)
        return false;
    change(*values);
    return writeValues(location, *values);
}

}  // namespace

SettingsStore::SettingsStore(QString location)
    : location_(location.isEmpty() ? defaultLocation() : std::move(location))
{
}

std::optional<SettingsStore::Values> SettingsStore::read() const
{
#ifndef Q_OS_WIN
    // Creating the key writes an empty object under the lock, so that it
    // never replaces what another process has just stored.
    if (!QFileInfo::exists(location_) && !updateValues(location_, [](Values&) {}))
        return std::nullopt;
#endif
    return readValues(location_);
}

bool SettingsStore::update(const std::function<void(Values&)>& change)
{
    return updateValues(location_, change);
}

}  // namespace operator_state
