// What paths held back cost the packets and programs that do not touch them:
// 2-D lines queued on axes 1 and 2 behind Velkor_DRV_HOLD (beyond the
// command buffer's places, which do not hold the host while nothing drains
// them), then packets for axis 4 and calls of a macro program loop in which
// no simulated time passes. Both should cost the same with 0 or 16,000
// paths waiting.
#include "counting_loop.h"

#include <Velkor.h>
#include <benchmark/benchmark.h>
#include <brelan/backplane.h>
#include <velkor_sim/virtual_module.h>

namespace {

constexpr std::uint8_t kCard = 0;
constexpr std::uint8_t kSlot = 1;
constexpr std::uint8_t kProgram = 1;
constexpr std::int32_t kLoopPasses = 1000;

// A module on the manual clock with `held` 2-D lines waiting behind a hold.
class HeldPaths {
public:
    explicit HeldPaths(std::int64_t held)
    {
        brelan::Reset();
        module_.PlugInto(kSlot);
        Velkor_REGISTRATION(kCard, kSlot);
        Velkor_DRV_HOLD(kCard, 3);
        for (std::int64_t i = 0; i < held; ++i) {
            Velkor_LINE_2D(kCard, 10, 10);
        }
        module_.WaitSettled();
    }
    ~HeldPaths()
    {
        module_.Unplug();
        brelan::Reset();
    }
    velkor_sim::VirtualModule& module() { return module_; }

private:
    velkor_sim::VirtualModule module_;
};

void BM_PacketWithHeldPaths(benchmark::State& state)
{
    HeldPaths rig(state.range(0));
    for (auto _ : state) {
        Velkor_SET_V(kCard, 8, 1000);
    }
    state.SetItemsProcessed(state.iterations());
    if (rig.module().BufferedSegments() != static_cast<std::size_t>(state.range(0))) {
        state.SkipWithError("the held paths were not all queued");
    }
}
BENCHMARK(BM_PacketWithHeldPaths)->Arg(0)->Arg(1000)->Arg(4000)->Arg(16000)->Unit(benchmark::kMicrosecond);

void BM_MacroLoopWithHeldPaths(benchmark::State& state)
{
    HeldPaths rig(state.range(0));
    velkor_bench::RecordCountingLoop(kCard, kProgram, kLoopPasses);
    for (auto _ : state) {
        Velkor_MP_CALL(kCard, kProgram);
        rig.module().WaitSettled(); // the loop runs to its end while the module takes the call
    }
    state.counters["steps_per_call"] = static_cast<double>(velkor_bench::CountingLoopSteps(kLoopPasses));
    if (rig.module().MacroRun().running) {
        state.SkipWithError("the program did not run to its end");
    }
}
// Real time: the steps run on the firmware thread when it takes the call.
BENCHMARK(BM_MacroLoopWithHeldPaths)->Arg(0)->Arg(1000)->Arg(4000)->Arg(16000)->UseRealTime()
    ->Unit(benchmark::kMicrosecond);

} // namespace
