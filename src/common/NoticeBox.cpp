#include "NoticeBox.h"

#include <QApplication>
#include <QMessageBox>
#include <QThread>

namespace common {
namespace {

void showNoticeBox(const QString& text)
{
    QMessageBox box(QMessageBox::NoIcon, QApplication::applicationDisplayName(), text, QMessageBox::Ok);
    box.exec();
}

}  // namespace

ErrorNotifier messageBoxNotifier()
{
    return [](const QString& text) {
        auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
        if (!app) {
            standardErrorNotifier()(text);
        } else if (QThread::currentThread() == app->thread()) {
            showNoticeBox(text);
        } else {
            QMetaObject::invokeMethod(app, [&text] { showNoticeBox(text); }, Qt::BlockingQueuedConnection);
        }
    };
}

}  // namespace common
