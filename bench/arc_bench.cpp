// The arc planner alone (chords planned per second) and a stand-alone arc of
// 1000 chords on the in-memory backplane (packets per second), against a
// module that takes every packet at once.
#include "instant_module.h"
#include "motion/arc_geometry.h"

#include <Velkor.h>
#include <benchmark/benchmark.h>

#include <cstdint>

namespace {

constexpr POINT_3D kOrigin{0, 0, 0};
// A half circle of radius 1012186 at tolerance 5 has exactly 1000 chords.
constexpr std::int32_t kRadius = 1012186;
constexpr POINT_3D kMid{kRadius, kRadius, 0};
constexpr POINT_3D kEnd{2 * kRadius, 0, 0};
constexpr std::uint32_t kTolerance = 5;
constexpr std::uint32_t kSpeed = 100000;

// Planning and walking every chord, as a sender does; the range argument is
// the tolerance, so that short and long chord runs are both measured.
void BM_PlanArcChords(benchmark::State& state)
{
    const auto tolerance = static_cast<std::uint32_t>(state.range(0));
    std::uint64_t chords = 0;
    for (auto _ : state) {
        const velkor::ArcPlan plan = velkor::PlanArc(&kOrigin, &kMid, &kEnd, tolerance, kSpeed, true);
        velkor::ChordWalker walker(plan);
        velkor::Chord chord;
        while (walker.Next(chord)) {
            benchmark::DoNotOptimize(chord);
            ++chords;
        }
    }
    state.counters["chords_per_arc"] = benchmark::Counter(double(chords) / double(state.iterations()));
    state.counters["chords_per_s"] = benchmark::Counter(double(chords), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_PlanArcChords)->Arg(1)->Arg(kTolerance)->Arg(1000);

void BM_ArcOf1000ChordsOnTheBus(benchmark::State& state)
{
    velkor_bench::InstantCard card;
    const std::uint64_t before = card.module.packets;
    for (auto _ : state) {
        benchmark::DoNotOptimize(Velkor_ARC_3D(0, 0, 1, 2, &kMid, &kEnd, kTolerance, kSpeed));
    }
    const std::uint64_t packets = card.module.packets - before;
    state.counters["packets_per_arc"] = benchmark::Counter(double(packets) / double(state.iterations()));
    state.counters["packets_per_s"] = benchmark::Counter(double(packets), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ArcOf1000ChordsOnTheBus);

} // namespace
