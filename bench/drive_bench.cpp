// The cost of one motion step per axis, with the drive model off (the motor
// on LP) and on (second-order loop, dead time, play and encoder noise): four
// axes in a continuous move at constant speed, one Advance of one step per
// iteration on the manual clock. The figure is ns per axis-step.
#include <Velkor.h>
#include <benchmark/benchmark.h>
#include <brelan/backplane.h>
#include <velkor_sim/virtual_module.h>

#include <chrono>

namespace {

void BM_MotionStepPerAxis(benchmark::State& state)
{
    const bool model = state.range(0) != 0;
    brelan::Reset();
    velkor_sim::VirtualModule module;
    module.PlugInto(3);
    Velkor_REGISTRATION(0, 3);
    for (int i = 0; i < velkor_sim::kAxisCount; ++i) {
        velkor_sim::MachineAxis m;
        m.plusLimit = 2147483647; // never reached
        if (model) {
            m.naturalFrequency = 20;
            m.damping = 0.6;
            m.deadTime = 3;
            m.backlash = 4;
            m.encoderNoise = 0.5;
        }
        module.SetMachine(i, m);
    }
    Velkor_NORMAL_SPEED(0, 15, 1);
    Velkor_SET_V(0, 15, 1000);
    Velkor_CONTINUE_MOVE(0, 15, 1);
    module.WaitSettled();
    for (auto _ : state) {
        module.Advance(std::chrono::microseconds(1000));
    }
    state.SetItemsProcessed(state.iterations() * velkor_sim::kAxisCount);
    // Seconds per axis-step, printed with its SI prefix ("250n": 250 ns).
    state.counters["per_axis_step"] =
        benchmark::Counter(static_cast<double>(state.iterations() * velkor_sim::kAxisCount),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    Velkor_STOP_SUDDENLY(0, 15);
    module.Unplug();
    brelan::Reset();
}
BENCHMARK(BM_MotionStepPerAxis)->ArgName("drive_model")->Arg(0)->Arg(1);

} // namespace
