#pragma once
// The common end of a bench's main(): runs its body and returns its exit
// status (0 every target met, 1 one missed), or 2 with the error on standard
// error; the Firebird client is shut down either way.

#include "BenchOutput.h"

#include "Connection.h"
#include "DbError.h"

#include <exception>

namespace bench {

template <typename Body>
int runBench(const char* name, Body&& body)
{
    int status = 2;
    try {
        status = body();
    } catch (const db::DbError& e) {
        note("%s: %s", name, qPrintable(e.message()));
    } catch (const std::exception& e) {
        note("%s: %s", name, e.what());
    }
    db::shutdownClient();
    return status;
}

}  // namespace bench
