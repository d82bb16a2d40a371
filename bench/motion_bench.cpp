// The cost of the motion step per axis: four axes running fixed moves on the
// manual clock (trapezoids, and S-curves with jerk), ten simulated seconds
// per iteration, in nanoseconds of the process's processor time (the
// firmware thread's included) per axis and step.
#include <Velkor.h>
#include <benchmark/benchmark.h>
#include <brelan/backplane.h>
#include <velkor_sim/virtual_module.h>

#include <sys/resource.h>

#include <chrono>

namespace {

double ProcessCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
}

void BM_MotionStepPerAxis(benchmark::State& state)
{
    const bool sCurve = state.range(0) != 0;
    brelan::Reset();
    velkor_sim::VirtualModule module;
    module.PlugInto(3);
    Velkor_REGISTRATION(0, 3);
    Velkor_SET_SV(0, 15, 100);
    Velkor_SET_V(0, 15, 40000);
    Velkor_SET_A(0, 15, 200000);
    Velkor_SET_K(0, 15, sCurve ? 4000000 : 0);
    constexpr int kSteps = 10000; // 1 ms each
    std::int32_t distance = 360000; // nine seconds at V, and the ramps
    const double cpu = ProcessCpuSeconds();
    for (auto _ : state) {
        Velkor_FIXED_MOVE(0, 15, distance);
        module.Advance(std::chrono::milliseconds(kSteps));
        distance = -distance;
    }
    const double axisSteps = 4.0 * kSteps * static_cast<double>(state.iterations());
    state.counters["ns_per_axis_step"] = (ProcessCpuSeconds() - cpu) / axisSteps * 1e9;
    Velkor_STOP_SUDDENLY(0, 15);
    module.Unplug();
}
BENCHMARK(BM_MotionStepPerAxis)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

} // namespace
