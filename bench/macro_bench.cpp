// Macro program steps per second in the virtual module: a program of a loop
// of calculations, called from the library and run to its end each time.
#include "counting_loop.h"

#include <Velkor.h>
#include <benchmark/benchmark.h>
#include <brelan/backplane.h>
#include <velkor_sim/virtual_module.h>

#include <chrono>

namespace {

constexpr std::uint8_t kCard = 0;
constexpr std::uint8_t kSlot = 1;
constexpr std::uint8_t kProgram = 1;

void BM_MacroProgramSteps(benchmark::State& state)
{
    const auto passes = static_cast<std::int32_t>(state.range(0));
    brelan::Reset();
    velkor_sim::VirtualModule module;
    module.PlugInto(kSlot);
    Velkor_REGISTRATION(kCard, kSlot);
    velkor_bench::RecordCountingLoop(kCard, kProgram, passes);
    const std::int64_t steps = velkor_bench::CountingLoopSteps(passes);
    for (auto _ : state) {
        Velkor_MP_CALL(kCard, kProgram);
        module.WaitSettled(); // the program runs to its end while the module takes the call
    }
    state.SetItemsProcessed(state.iterations() * steps);
    state.counters["steps_per_call"] = static_cast<double>(steps);
    if (module.MacroRun().running || Velkor_GET_ERROR(kCard) != 0) {
        state.SkipWithError("the program did not run to its end");
    }
    module.Unplug();
    brelan::Reset();
}
// Real time: the steps run on the firmware thread, not the calling one.
BENCHMARK(BM_MacroProgramSteps)->Arg(10)->Arg(1000)->Arg(40000)->UseRealTime();

} // namespace
