#include "ProcessSignals.h"

#include "Connection.h"

#include <QSocketNotifier>

#include <csignal>
#include <stdexcept>

#include <sys/socket.h>
#include <unistd.h>

namespace host {
namespace {

// The handler writes the signal's number as one byte into the pair; the
// notifier reads it on the main thread.
int signalPair[2] = {-1, -1};

void onSignal(int signal)
{
    const char byte = static_cast<char>(signal);
    [[maybe_unused]] const ssize_t written = ::write(signalPair[0], &byte, 1);
}

void handle(int signal, void (*handler)(int))
{
    struct sigaction action = {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(signal, &action, nullptr);
}

}  // namespace

ProcessSignals::ProcessSignals(std::function<void(const char*)> onTerminate, std::function<void()> onReload,
                               QObject* parent)
    : QObject(parent), onTerminate_(std::move(onTerminate)), onReload_(std::move(onReload))
{
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPair) != 0)
        throw std::runtime_error("Cannot create the socket pair for the process's signals");
    notifier_ = new QSocketNotifier(signalPair[1], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] {
        char byte = 0;
        if (::read(signalPair[1], &byte, 1) != 1)
            return;
        switch (byte) {
        case SIGHUP: onReload_(); break;
        case SIGINT: onTerminate_("SIGINT"); break;
        default: onTerminate_("SIGTERM"); break;
        }
    });
    handle(SIGINT, onSignal);
    handle(SIGTERM, onSignal);
    handle(SIGHUP, onSignal);
    // The requests under way finish on their database connections first.
    db::leaveTerminationSignalsToTheProcess();
}

ProcessSignals::~ProcessSignals()
{
    handle(SIGINT, SIG_DFL);
    handle(SIGTERM, SIG_DFL);
    // A hangup after this point must not end a process that is stopping in
    // order anyway.
    handle(SIGHUP, SIG_IGN);
    delete notifier_;
    ::close(signalPair[0]);
    ::close(signalPair[1]);
    signalPair[0] = signalPair[1] = -1;
}

}  // namespace host
