#pragma once
// SIGINT and SIGTERM as a call on the main thread's event loop, where the
// server can save the settings and stop in order (a signal handler itself
// may do next to nothing).

#include <QObject>

#include <functional>

class QSocketNotifier;

namespace host {

class TerminationSignals : public QObject {
    Q_OBJECT
public:
    // From now on until destruction SIGINT and SIGTERM call `onSignal`; from
    // now on the database client library leaves them to the process.
    explicit TerminationSignals(std::function<void()> onSignal, QObject* parent = nullptr);
    ~TerminationSignals() override;

private:
    std::function<void()> onSignal_;
    QSocketNotifier* notifier_ = nullptr;
};

}  // namespace host
