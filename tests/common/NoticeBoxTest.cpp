#include "NoticeBox.h"

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QTimer>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

struct SeenBox {
    QString text;
    qsizetype buttonCount = 0;
    bool hasOkButton = false;
    bool modal = false;
    bool callerWasWaiting = false;
};

// Watches for the notice box on the GUI thread, notes what it shows and
// presses its OK button.
void pressOkOnNextBox(SeenBox& seen, const std::atomic<bool>& callerReturned)
{
    auto* timer = new QTimer(qApp);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, &seen, &callerReturned] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box)
            return;
        QAbstractButton* ok = box->button(QMessageBox::Ok);
        seen.text = box->text();
        seen.buttonCount = box->buttons().size();
        seen.hasOkButton = ok != nullptr;
        seen.modal = box->isModal();
        seen.callerWasWaiting = !callerReturned;
        if (ok)
            ok->click();
        else
            box->done(0);
        timer->deleteLater();
    });
    timer->start(10);
}

void expectOneOkBox(const SeenBox& seen, const QString& text)
{
    EXPECT_EQ(seen.text.toStdString(), text.toStdString());
    EXPECT_EQ(seen.buttonCount, 1);
    EXPECT_TRUE(seen.hasOkButton);
    EXPECT_TRUE(seen.modal);
    EXPECT_TRUE(seen.callerWasWaiting);
}

TEST(MessageBoxNotifier, AWorkerThreadWaitsUntilTheBoxIsClosed)
{
    const QString text = QStringLiteral("KĻŪDA FUNKCIJA : PAZIŅOJUMS no darba pavediena");
    SeenBox seen;
    std::atomic<bool> callerReturned = false;
    pressOkOnNextBox(seen, callerReturned);
    std::thread worker([&] {
        common::messageBoxNotifier()(text);
        callerReturned = true;
    });
    QElapsedTimer clock;
    clock.start();
    while (!callerReturned && clock.elapsed() < 10000)
        QApplication::processEvents(QEventLoop::AllEvents, 50);
    worker.join();
    expectOneOkBox(seen, text);
}

TEST(MessageBoxNotifier, TheGuiThreadShowsTheBoxItself)
{
    const QString text = QStringLiteral("KĻŪDA FUNKCIJA : PAZIŅOJUMS no galvenā pavediena");
    SeenBox seen;
    std::atomic<bool> callerReturned = false;
    pressOkOnNextBox(seen, callerReturned);
    common::messageBoxNotifier()(text);
    callerReturned = true;
    expectOneOkBox(seen, text);
}

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
