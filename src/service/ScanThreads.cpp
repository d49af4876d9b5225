#include "ScanThreads.h"

namespace service {

// A thread pool holds as many threads as there are cores unless told
// otherwise.
QThreadPool& scanThreads()
{
    static QThreadPool pool;
    return pool;
}

}  // namespace service
