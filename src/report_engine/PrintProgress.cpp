#include "PrintProgress.h"

namespace engine {

ProgressScope::ProgressScope(PrintProgress& progress, int recordCount)
    : progress_(progress), recordCount_(recordCount)
{
    progress_.cancelRequested_.store(false);
    emit progress_.started(recordCount_);
}

ProgressScope::~ProgressScope()
{
    emit progress_.finished();
}

}  // namespace engine
