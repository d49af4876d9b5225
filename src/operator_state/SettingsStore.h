#pragma once
// The per-user settings store under Software\ZEMBRIK\Tolvira\Dravun: typed
// values (text or integer) by name. On Windows the registry key under
// HKEY_CURRENT_USER (through QSettings); elsewhere one flat JSON object in
// $XDG_CONFIG_HOME/ZEMBRIK/Tolvira/Dravun.json (default ~/.config), a JSON
// string for a text and a JSON integer for an integer, written atomically.
// A file cut short or holding anything but such an object reads as an empty
// key; the next update() replaces it.
//
// Thread-safe. update() is one atomic read-modify-write across the threads of
// the process and across processes of the same user (a lock file beside the
// store), which the waybill number counter relies on.

#include <QString>
#include <QVariant>

#include <functional>
#include <optional>

namespace operator_state {

class SettingsStore {
public:
    // The values of the key: a QString for a text value, a qint64 (or int)
    // for an integer value.
    using Values = QVariantMap;

    // The store of the current user. `location` overrides the file (tests,
    // the demo).
    explicit SettingsStore(QString location = {});

    // Opens the key, creating it if missing, and reads all values.
    // std::nullopt when the key cannot be opened or created.
    std::optional<Values> read() const;

    // Under the store's lock: reads the values, lets `change` modify them, and
    // writes them back. Returns false, leaving the store as it was, when the
    // key cannot be opened or the values cannot be written.
    bool update(const std::function<void(Values&)>& change);

    const QString& location() const { return location_; }

private:
    QString location_;
};

}  // namespace operator_state
