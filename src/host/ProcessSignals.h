#pragma once
// The signals a server is run with, as calls on the main thread's event
// loop, where the server can save the settings and stop in order, or read
// them again (a signal handler itself may do next to nothing): SIGINT and
// SIGTERM stop, SIGHUP reloads (a closed terminal, `systemctl reload`).

#include <QObject>

#include <functional>

class QSocketNotifier;

namespace host {

class ProcessSignals : public QObject {
    Q_OBJECT
public:
    // From now on until destruction SIGINT and SIGTERM call `onTerminate`
    // with the signal's name and SIGHUP calls `onReload`; from now on the
    // database client library leaves SIGINT and SIGTERM to the process.
    ProcessSignals(std::function<void(const char* signal)> onTerminate, std::function<void()> onReload,
                   QObject* parent = nullptr);
    ~ProcessSignals() override;

private:
    std::function<void(const char*)> onTerminate_;
    std::function<void()> onReload_;
    QSocketNotifier* notifier_ = nullptr;
};

}  // namespace host
