#pragma once
// The small window that shows how far a print has come ("Printing progress":
// records printed of the dataset's count) with a Cancel button. It follows
// the reports' progress signals, which come from the printing thread, and
// shows itself only while a print runs.

#include <QWidget>

class QLabel;
class QProgressBar;

namespace engine {
class PrintProgress;
}

namespace host {

class PrintProgressWindow : public QWidget {
    Q_OBJECT
public:
    explicit PrintProgressWindow(QWidget* parent = nullptr);

    // Follows one report's progress; Cancel asks that report to stop.
    void follow(engine::PrintProgress& progress);

private:
    void showStarted(int recordCount);
    void showRecord(int printed, int count);

    QLabel* label_;
    QProgressBar* bar_;
    engine::PrintProgress* current_ = nullptr;
};

}  // namespace host
