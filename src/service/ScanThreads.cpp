#include "ScanThreads.h"

namespace service {

namespace {

// A thread pool holds as many threads as there are cores unless told
// otherwise.
class ScanThreadPool : public QThreadPool {
public:
    ScanThreadPool()
    {
        setObjectName(QStringLiteral("whole-range scans"));
        setThreadPriority(QThread::IdlePriority);
    }
};

}  // namespace

QThreadPool& scanThreads()
{
    static ScanThreadPool pool;
    return pool;
}

}  // namespace service
