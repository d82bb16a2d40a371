// A macro program that counts in a loop, in which no simulated time passes:
// variable 1 goes up by variable 2 (set to 1) `passes` times. It runs
// 2 + 2 x passes steps.
#ifndef VELKOR_BENCH_COUNTING_LOOP_H
#define VELKOR_BENCH_COUNTING_LOOP_H

#include <Velkor.h>

#include <cstdint>

namespace velkor_bench {

inline void RecordCountingLoop(std::uint8_t card, std::uint8_t program, std::int32_t passes)
{
    Velkor_MP_CREATE(card, program);
    Velkor_MP_SET_VAR(card, 2, 1);
    Velkor_MP_FOR(card, passes);
    Velkor_MP_VAR_CALCULATE(card, 1, '+', 1, 2);
    Velkor_MP_NEXT(card);
    Velkor_MP_CLOSE(card);
}

inline std::int64_t CountingLoopSteps(std::int32_t passes) { return 2 + 2 * static_cast<std::int64_t>(passes); }

} // namespace velkor_bench

#endif
