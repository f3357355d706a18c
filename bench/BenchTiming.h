#pragma once

#include <QElapsedTimer>

#include <algorithm>
#include <functional>

// What the benchmarks share to time their runs.
inline constexpr qint64 MiB = 1024 * 1024;

// Wall seconds of one run of work.
inline double seconds(const std::function<void()> &work)
{
    QElapsedTimer timer;
    timer.start();
    work();
    return timer.nsecsElapsed() / 1e9;
}

// The fastest of runs runs of work, in wall seconds.
inline double bestOf(int runs, const std::function<void()> &work)
{
    double best = 1e30;
    for (int i = 0; i < runs; ++i)
        best = std::min(best, seconds(work));
    return best;
}

template <typename Values> double median(Values values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}
