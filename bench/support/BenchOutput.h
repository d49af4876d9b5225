#pragma once
// The benchmarks' output: each figure on its own line as "name: value unit",
// and each target as "target <what>: met" or "target <what>: missed", which
// scripts/run-bench counts for its closing line.

#include <QString>

#include <cstdio>

namespace bench {

inline void printFigure(const QString& name, double value, const char* unit, int decimals = 2)
{
    std::printf("%s: %.*f %s\n", qPrintable(name), decimals, value, unit);
    std::fflush(stdout);
}

// Returns `met`, so a bench can also use it for its exit status.
inline bool printTarget(const QString& what, bool met)
{
    std::printf("target %s: %s\n", qPrintable(what), met ? "met" : "missed");
    std::fflush(stdout);
    return met;
}

// Progress and diagnostics, kept off the figures.
template <typename... Args>
void note(const char* format, Args... args)
{
    std::fprintf(stderr, format, args...);
    std::fputc('\n', stderr);
}

}  // namespace bench
