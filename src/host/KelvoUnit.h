#pragma once
// TForm1, the operator window: the working date range, the sending and the
// hidden department and the number of copies, a view of the operator's
// values and of the department lists of the operator's database. Every
// change the operator makes goes to the values at once; they are restored
// from the store when the window is first shown and saved when it is closed.

#include <QWidget>

#include <optional>

class QComboBox;
class QDateEdit;
class QLabel;
class QSpinBox;

namespace operator_state {
class OperatorDatabase;
class OperatorValues;
class SettingsStore;
struct Department;
}  // namespace operator_state

namespace host {

using operator_state::Department;
using operator_state::OperatorDatabase;
using operator_state::OperatorValues;
using operator_state::SettingsStore;

// The window's show and close handling on the operator state alone, for the
// window and for the headless server.
// Show: opens the two department lists under the print lock (the first open
// connects PRECES_DB; throws db::DbError when the database cannot be
// reached), then restores the values.
void operatorShow(OperatorValues& values, OperatorDatabase& database, const SettingsStore& store);
// Close: saves the values.
void operatorClose(const OperatorValues& values, SettingsStore& store);
// Reload (SIGHUP): restores the values from the store once more, by the rules
// of the show; the window follows them.
void operatorReload(OperatorValues& values, const SettingsStore& store);

class TForm1 : public QWidget {
    Q_OBJECT
public:
    TForm1(OperatorValues& values, OperatorDatabase& database, SettingsStore& store, QWidget* parent = nullptr);

    // Runs once, before the window is first shown: operatorShow, then the
    // widgets follow. Throws what operatorShow throws.
    void FormShow();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void FormClose();
    void buildControls();
    void connectControls();
    void fillLookups();
    // The widgets take the settings' values without reporting them back.
    void showSettings();
    static void selectKey(QComboBox* lookup, std::optional<std::int32_t> key);

    OperatorValues& values_;
    OperatorDatabase& database_;
    SettingsStore& store_;

    QLabel* Label1 = nullptr;
    QDateEdit* DateTimePicker1 = nullptr;
    QLabel* Label5 = nullptr;
    QDateEdit* DateTimePicker2 = nullptr;
    QLabel* Label2 = nullptr;
    QComboBox* DBLookupComboBox1 = nullptr;
    QLabel* Label4 = nullptr;
    QComboBox* DBLookupComboBox2 = nullptr;
    QLabel* Label3 = nullptr;
    QSpinBox* CSpinEdit1 = nullptr;
};

}  // namespace host
