#include "ScanThreads.h"

namespace service {

QThreadPool& scanThreads()
{
    static QThreadPool pool;
    static const bool configured = [] {
        // A pool holds as many threads as there are cores, unless told otherwise.
        pool.setObjectName(QStringLiteral("whole-range scans"));
        pool.setThreadPriority(QThread::IdlePriority);
        return true;
    }();
    Q_UNUSED(configured);
    return pool;
}

}  // namespace service
