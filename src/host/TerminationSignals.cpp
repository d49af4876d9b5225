#include "TerminationSignals.h"

#include "Connection.h"

#include <QSocketNotifier>

#include <csignal>
#include <stdexcept>

#include <sys/socket.h>
#include <unistd.h>

namespace host {
namespace {

// The handler writes one byte into the pair; the notifier reads it on the
// main thread.
int signalPair[2] = {-1, -1};

void onTerminationSignal(int)
{
    const char byte = 1;
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

TerminationSignals::TerminationSignals(std::function<void()> onSignal, QObject* parent)
    : QObject(parent), onSignal_(std::move(onSignal))
{
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPair) != 0)
        throw std::runtime_error("Cannot create the socket pair for SIGINT and SIGTERM");
    notifier_ = new QSocketNotifier(signalPair[1], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] {
        char byte = 0;
        if (::read(signalPair[1], &byte, 1) == 1)
            onSignal_();
    });
    handle(SIGINT, onTerminationSignal);
    handle(SIGTERM, onTerminationSignal);
    // The requests under way finish on their database connections first.
    db::leaveTerminationSignalsToTheProcess();
}

TerminationSignals::~TerminationSignals()
{
    handle(SIGINT, SIG_DFL);
    handle(SIGTERM, SIG_DFL);
    delete notifier_;
    ::close(signalPair[0]);
    ::close(signalPair[1]);
    signalPair[0] = signalPair[1] = -1;
}

}  // namespace host
