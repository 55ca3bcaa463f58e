#pragma once

#include <QByteArray>
#include <QtGlobal>

// How many rows a benchmark works on: the full size it measures, or the
// count in VEXO_BENCH_ROWS when set (scripts/bench-check runs them small, as a
// check that they still work, not as a measurement).
inline int benchRows(int full)
{
    bool ok = false;
    const int rows = qEnvironmentVariableIntValue("VEXO_BENCH_ROWS", &ok);
    return ok && rows > 0 ? rows : full;
}

// How long a benchmark that watches a quiet program runs, in milliseconds:
// the full time, or VEXO_BENCH_MILLISECONDS when set (bench-check again).
inline int benchMilliseconds(int full)
{
    bool ok = false;
    const int ms = qEnvironmentVariableIntValue("VEXO_BENCH_MILLISECONDS", &ok);
    return ok && ms > 0 ? ms : full;
}
