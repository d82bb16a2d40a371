// Time measures the benchmarks share: seconds of a steady-clock span, and the
// processor time of the whole process so far (user and system).
#ifndef VELKOR_BENCH_PROCESS_TIME_H
#define VELKOR_BENCH_PROCESS_TIME_H

#include <sys/resource.h>

#include <chrono>

namespace velkor_bench {

inline double Seconds(std::chrono::steady_clock::duration d) { return std::chrono::duration<double>(d).count(); }

inline double ProcessCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
}

} // namespace velkor_bench

#endif
