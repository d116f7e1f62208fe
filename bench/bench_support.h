#pragma once

#include "livelog/live_log_format.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <algorithm>
#include <functional>
#include <vector>

namespace BenchSupport {

// What that many posts after a clear leave, built in one pass (posting one by one would copy the log
// over and over).
inline QByteArray logOfSize(qsizetype size)
{
    QByteArray entries;
    int count = 0;
    while (entries.size() + 2 * (count + 1) < size) {
        entries += "Entry " + QByteArray::number(count) + " from a workstation down the hall" +
                   LiveLogFormat::separator + LiveLogFormat::separator;
        ++count;
    }
    return entries + LiveLogFormat::clearedLog() + LiveLogFormat::lineEnd.repeated(count);
}

inline double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

inline double milliseconds(const std::function<void()>& work)
{
    QElapsedTimer timer;
    timer.start();
    work();
    return timer.nsecsElapsed() / 1e6;
}

inline std::vector<double> repeat(int rounds, const std::function<void()>& work)
{
    std::vector<double> times;
    for (int round = 0; round < rounds; ++round)
        times.push_back(milliseconds(work));
    return times;
}

} // namespace BenchSupport
