#include "ServiceManager.h"

#include <systemd/sd-daemon.h>

#include <algorithm>
#include <ctime>

namespace host {
namespace {

void notify(const QByteArray& state)
{
    sd_notify(0, state.constData());
}

quint64 monotonicUs()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<quint64>(now.tv_sec) * 1000000 + static_cast<quint64>(now.tv_nsec) / 1000;
}

}  // namespace

ServiceManager::ServiceManager(QObject* parent) : QObject(parent)
{
    uint64_t intervalUs = 0;
    if (sd_watchdog_enabled(0, &intervalUs) <= 0 || intervalUs == 0)
        return;
    watchdog_.setInterval(std::max<int>(1, static_cast<int>(intervalUs / 2000)));
    connect(&watchdog_, &QTimer::timeout, this, [] { notify("WATCHDOG=1"); });
    watchdog_.start();
}

void ServiceManager::ready(const QString& status)
{
    notify("READY=1\nSTATUS=" + status.toUtf8());
}

void ServiceManager::reloading()
{
    notify("RELOADING=1\nMONOTONIC_USEC=" + QByteArray::number(monotonicUs()));
}

void ServiceManager::stopping()
{
    watchdog_.stop();
    notify("STOPPING=1");
}

}  // namespace host
