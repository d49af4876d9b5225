#pragma once
// Tells systemd how the server stands, when systemd started it as a
// Type=notify service (NOTIFY_SOCKET is set): ready once it serves,
// reloading, stopping, and while it runs the watchdog's keep-alive from the
// main thread's event loop, at half the interval systemd asks for. Without
// systemd nothing is sent and no timer runs.

#include <QObject>
#include <QTimer>

namespace host {

class ServiceManager : public QObject {
    Q_OBJECT
public:
    explicit ServiceManager(QObject* parent = nullptr);

    // The listener is open and the settings are restored; `status` is shown
    // by systemctl status.
    void ready(const QString& status);
    void reloading();
    void stopping();

private:
    QTimer watchdog_;
};

}  // namespace host
