#pragma once

// What every live benchmark prints beside its own figures: whether its sound thread got real-time
// scheduling, its worst wake-up in milliseconds and in blocks, taken apart into scheduling and the
// thread's own work, and the machine's load. Without the first and the last the second means
// little: a refused priority or a busy machine explains a late block.

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>

#include "platform/sound/SoundLibrary.h"

namespace sonorel_bench {

// The load averages over 1, 5 and 15 minutes.
inline std::string LoadAverage()
{
    std::ifstream in("/proc/loadavg");
    std::string one, five, fifteen;
    in >> one >> five >> fifteen;
    return one + " " + five + " " + fifteen;
}

// The highest 1-minute load average seen by the calls so far (sample it while the benchmark runs).
inline double PeakLoad()
{
    static double peak = 0;
    std::ifstream in("/proc/loadavg");
    double one = 0;
    in >> one;
    peak = std::max(peak, one);
    return peak;
}

inline void PrintLiveFigures(const char* thread, const std::string& priority, const BassBlockTiming& worst,
                             int blockFrames, int rate)
{
    const double blockMs = rate > 0 ? 1000.0 * blockFrames / rate : 0;
    std::printf("%s: real-time priority %s; worst wake-up %.2f ms after its deadline = %.2f blocks of %.1f ms "
                "(%.2f ms waiting for a CPU after its sleep; the block's work %.2f ms, %.2f ms of it on a CPU); "
                "load %s, 1-minute peak %.2f\n",
                thread, priority.empty() ? "not asked" : priority.c_str(), worst.lateUs / 1000.0,
                blockMs > 0 ? worst.lateUs / 1000.0 / blockMs : 0, blockMs, worst.wakeDelayUs / 1000.0,
                worst.workUs / 1000.0, worst.workCpuUs / 1000.0, LoadAverage().c_str(), PeakLoad());
}

inline void PrintLiveFigures(const BassOutputInfo& info)
{
    PrintLiveFigures("output thread", info.realTimePriority, info.worstBlock, info.blockFrames, info.frequency);
}

} // namespace sonorel_bench
