#pragma once
// The operator's five values: the working date range, the sending and the
// hidden department and the number of copies (and the reports' VAT rate).
// The operator window edits them on the main thread; the request handlers
// and the prints read them on worker threads, always as one consistent
// snapshot, so that a request never mixes two states.

#include <QDate>
#include <QMutex>
#include <QObject>

#include <cstdint>
#include <functional>
#include <optional>

namespace operator_state {

class SettingsStore;

struct OperatorSnapshot {
    QDate dateFrom{2014, 11, 11};
    QDate dateTo{2014, 11, 11};
    // Department keys (N_DEPART.ISN); 0 while the lookup holds no key value.
    std::int32_t sendingDepartment = 0;
    std::int32_t hiddenDepartment = 0;
    int copies = 2;
    double vatRate = 0;  // percent; nothing sets it
};

class OperatorValues : public QObject {
    Q_OBJECT
public:
    explicit OperatorValues(QObject* parent = nullptr);

    OperatorSnapshot snapshot() const;

    void setDateFrom(const QDate& date);
    void setDateTo(const QDate& date);
    // std::nullopt: the lookup holds no key value (read as 0).
    void setSendingDepartment(std::optional<std::int32_t> key);
    void setHiddenDepartment(std::optional<std::int32_t> key);
    void setCopies(int copies);
    std::optional<std::int32_t> sendingDepartmentKey() const;
    std::optional<std::int32_t> hiddenDepartmentKey() const;

signals:
    // A value changed (the window follows it).
    void changed();

private:
    // Runs `change` under the mutex; emits changed when it says it changed
    // something.
    void modify(const std::function<bool()>& change);

    mutable QMutex mutex_;
    OperatorSnapshot values_;
    std::optional<std::int32_t> sendingKey_;
    std::optional<std::int32_t> hiddenKey_;
};

// --- The operator values in the settings store -----------------------------

// Value names under Software\ZEMBRIK\Tolvira\Dravun.
namespace settingNames {
inline constexpr char DateFrom[] = "Datums";
inline constexpr char DateTo[] = "Datums2";
inline constexpr char SendingDepartment[] = "Nodala";
inline constexpr char HiddenDepartment[] = "Nerad_nodala";
inline constexpr char Copies[] = "Kopijas";
}  // namespace settingNames

// The regional short date format of the stored dates, whatever the machine's
// locale.
inline constexpr char kStoredDateFormat[] = "dd.MM.yyyy";

// Restores the five values, each on its own: a date that is missing, not
// text or not a date in the short date format becomes today's date; a key or
// the copies that are missing or not a 32-bit integer stay as they are. When
// the key cannot be opened nothing changes and the answer is false.
bool restoreOperatorValues(const SettingsStore& store, OperatorValues& values);

// Saves the five values in one update, keeping the store's other values. A
// lookup without a key value leaves its value as it was. When the key cannot
// be opened nothing is saved and the answer is false.
bool saveOperatorValues(SettingsStore& store, const OperatorValues& values);

}  // namespace operator_state
