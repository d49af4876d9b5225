#include "PrintProgressWindow.h"

#include "PrintProgress.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace host {

PrintProgressWindow::PrintProgressWindow(QWidget* parent)
    : QWidget(parent, Qt::Dialog), label_(new QLabel(this)), bar_(new QProgressBar(this))
{
    setWindowTitle(QStringLiteral("Printing progress"));
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label_);
    layout->addWidget(bar_);
    layout->addWidget(cancel, 0, Qt::AlignHCenter);
    connect(cancel, &QPushButton::clicked, this, [this] {
        if (current_)
            current_->requestCancel();  // thread-safe: the printing thread checks it
    });
}

void PrintProgressWindow::follow(engine::PrintProgress& progress)
{
    // The signals come from the printing thread: queued to this window's.
    connect(&progress, &engine::PrintProgress::started, this, [this, &progress](int recordCount) {
        current_ = &progress;
        showStarted(recordCount);
    }, Qt::QueuedConnection);
    connect(&progress, &engine::PrintProgress::recordPrinted, this, &PrintProgressWindow::showRecord,
            Qt::QueuedConnection);
    connect(&progress, &engine::PrintProgress::finished, this, [this] {
        current_ = nullptr;
        hide();
    }, Qt::QueuedConnection);
}

void PrintProgressWindow::showStarted(int recordCount)
{
    showRecord(0, recordCount);
    show();
}

void PrintProgressWindow::showRecord(int printed, int count)
{
    bar_->setRange(0, std::max(count, 1));
    bar_->setValue(printed);
    label_->setText(QStringLiteral("%1 / %2").arg(printed).arg(count));
}

}  // namespace host
