// The virtual module measured as an application uses it:
//  - packets and queries per second into one module, against the same
//    library on the in-memory bus (a module that answers at once) in the same
//    run;
//  - seven modules in slots 1 to 7 on the real-time clock, a sending and a
//    querying thread per card, 20,000 mixed packets per card with interrupts
//    on, checked for gaps, drops and end positions;
//  - processor time of seven idle modules, and of seven modules moving four
//    axes each at the ordinary pace;
//  - a motion of ten simulated seconds on the fast clock;
//  - the motion step's processor time per axis on the manual clock;
//  - the hand-over of a three-dimensional arc of about 10,000 chords.
#include "instant_module.h"
#include "transport/card_table.h"

#include <Velkor.h>
#include <benchmark/benchmark.h>
#include <brelan/backplane.h>
#include <velkor_sim/virtual_module.h>

#include "process_time.h"


#include <atomic>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kCards = brelan::kLastSlot; // one module per slot

using velkor_bench::ProcessCpuSeconds;
using velkor_bench::Seconds;

// Calls `call` for `time` and returns the calls per second.
template <typename Call>
double CallsPerSecond(std::chrono::milliseconds time, Call call)
{
    std::uint64_t n = 0;
    const auto start = Clock::now();
    const auto end = start + time;
    while (Clock::now() < end) {
        for (int i = 0; i < 256; ++i) {
            call();
        }
        n += 256;
    }
    return double(n) / Seconds(Clock::now() - start);
}

// Waits until the interrupt service thread of `card` has ended.
void WaitForServiceThreads(std::uint8_t card)
{
    const auto deadline = Clock::now() + std::chrono::seconds(5);
    while (velkor::FindCard(card)->interruptThreads.load() != 0 && Clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

// Packets (SET_V, 8 bytes) and queries (GET_LP) per second through the
// library, into one virtual module with no take latency and room in its
// buffer, and into a module that answers in memory.
void BM_OneModuleAgainstInMemoryBus(benchmark::State& state)
{
    const auto time = std::chrono::milliseconds(1000);
    for (auto _ : state) {
        double instantPackets = 0;
        double instantQueries = 0;
        {
            velkor_bench::InstantCard bench;
            instantPackets = CallsPerSecond(time, [] { Velkor_SET_V(0, 1, 1000); });
            instantQueries = CallsPerSecond(time, [] { benchmark::DoNotOptimize(Velkor_GET_LP(0, 1)); });
        }
        double modulePackets = 0;
        double moduleQueries = 0;
        {
            brelan::Reset();
            velkor_sim::VirtualModule module;
            module.PlugInto(3);
            Velkor_REGISTRATION(0, 3);
            modulePackets = CallsPerSecond(time, [] { Velkor_SET_V(0, 1, 1000); });
            moduleQueries = CallsPerSecond(time, [] { benchmark::DoNotOptimize(Velkor_GET_LP(0, 1)); });
            module.Unplug();
        }
        state.counters["bus_packets_per_s"] = instantPackets;
        state.counters["module_packets_per_s"] = modulePackets;
        state.counters["packet_ratio"] = modulePackets / instantPackets;
        state.counters["bus_queries_per_s"] = instantQueries;
        state.counters["module_queries_per_s"] = moduleQueries;
        state.counters["query_ratio"] = moduleQueries / instantQueries;
    }
}
BENCHMARK(BM_OneModuleAgainstInMemoryBus)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

// Seven cards at once, each with a sender of 20,000 mixed packets and a
// querier, interrupts on. The mix per group of four packets: a segment of
// a continuous path over axes 1 and 2, a speed setting, a variable, and
// MP_SET_RINT, which raises interrupt factor 7. Axes 3 and 4 make a fixed
// move each at the start. The querier reads LP, an error code and a
// variable flat out, taking the card lock from its sender as often as it
// can. (Not STOP_WAIT: the library holds the card lock through the 2 ms
// pause of each, which would measure that pause.)
void BM_SevenCardLoad(benchmark::State& state)
{
    constexpr int kPacketsPerCard = 20000;
    for (auto _ : state) {
        brelan::Reset();
        std::vector<std::unique_ptr<velkor_sim::VirtualModule>> modules;
        velkor_sim::ModuleOptions options;
        options.clock = velkor_sim::ClockKind::RealTime;
        for (int c = 0; c < kCards; ++c) {
            modules.push_back(std::make_unique<velkor_sim::VirtualModule>(options));
            modules.back()->PlugInto(static_cast<std::uint8_t>(c + 1));
            const auto card = static_cast<std::uint8_t>(c);
            Velkor_REGISTRATION(card, static_cast<std::uint8_t>(c + 1));
            Velkor_INTFACTOR_ENABLE(card, 0x81, 0, 0);
            Velkor_ENABLE_INT(card);
            Velkor_ENABLE_RINT(card);
        }
        std::vector<std::array<std::int64_t, 4>> expected(kCards, {0, 0, 0, 0});
        std::vector<std::uint64_t> queries(kCards, 0);
        std::vector<std::uint64_t> takenBefore(kCards, 0);
        for (int c = 0; c < kCards; ++c) {
            takenBefore[c] = modules[c]->GetCounters().packetsTaken;
        }
        std::atomic<int> sendersLeft{kCards};
        std::vector<std::thread> threads;
        const auto start = Clock::now();
        for (int c = 0; c < kCards; ++c) {
            const auto card = static_cast<std::uint8_t>(c);
            threads.emplace_back([card, &expected, &sendersLeft] {
                auto& sum = expected[card];
                Velkor_SET_SV(card, 12, 50000);
                Velkor_SET_V(card, 12, 50000);
                Velkor_FIXED_MOVE(card, 4, 777);
                Velkor_FIXED_MOVE(card, 8, -555);
                sum[2] = 777;
                sum[3] = -555;
                Velkor_LINE_2D_INITIAL(card, 1, 2, 500000, 500000, 0);
                int sent = 6;
                for (int i = 0; sent < kPacketsPerCard; ++i, ++sent) {
                    switch (i % 4) {
                    case 0: {
                        const std::int32_t dx = 1 + i % 3;
                        const std::int32_t dy = (i % 8) - 4;
                        const bool last = sent == kPacketsPerCard - 1;
                        Velkor_LINE_2D_CONTINUE(card, last ? 1 : 0, dx, dy);
                        sum[0] += dx;
                        sum[1] += dy;
                        break;
                    }
                    case 1: Velkor_SET_V(card, 4, 50000 + i); break;
                    case 2: Velkor_WRITE_VAR(card, i % 4096, i); break;
                    default: Velkor_MP_SET_RINT(card); break;
                    }
                }
                Velkor_INTP_END(card, 0); // the path ends even if the last packet was no segment
                --sendersLeft;
            });
            threads.emplace_back([card, &queries, &sendersLeft] {
                std::uint64_t n = 0;
                while (sendersLeft.load(std::memory_order_relaxed) > 0) {
                    benchmark::DoNotOptimize(Velkor_GET_LP(card, 1));
                    benchmark::DoNotOptimize(Velkor_GET_ERROR_CODE(card, 4));
                    benchmark::DoNotOptimize(Velkor_READ_VAR(card, 7));
                    n += 3;
                }
                queries[card] = n;
            });
        }
        for (auto& t : threads) {
            t.join();
        }
        const double seconds = Seconds(Clock::now() - start);
        // Let the motion end, then check every card.
        bool onSum = true;
        std::uint64_t taken = 0;
        std::uint64_t allQueries = 0;
        std::uint32_t gaps = 0;
        std::uint32_t drops = 0;
        std::uint32_t interrupts = 0;
        std::uint64_t held = 0;
        for (int c = 0; c < kCards; ++c) {
            const auto card = static_cast<std::uint8_t>(c);
            const auto deadline = Clock::now() + std::chrono::seconds(30);
            while (Velkor_STOP_WAIT(card, 15) != 1 && Clock::now() < deadline) {
            }
            for (int a = 0; a < 4; ++a) {
                onSum = onSum && Velkor_GET_LP(card, static_cast<std::uint8_t>(1u << a)) == expected[c][a];
            }
            const auto counters = modules[c]->GetCounters();
            taken += counters.packetsTaken - takenBefore[c];
            gaps += counters.sequenceGaps;
            drops += counters.droppedPackets;
            held += counters.packetsHeld;
            allQueries += queries[c];
            interrupts += brelan::GetInterruptState(static_cast<std::uint8_t>(c + 1)).raised;
            Velkor_DISABLE_RINT(card);
        }
        for (int c = 0; c < kCards; ++c) {
            WaitForServiceThreads(static_cast<std::uint8_t>(c));
            modules[c]->Unplug();
        }
        state.counters["packets_per_s"] = double(taken) / seconds;
        state.counters["queries_per_s"] = double(allQueries) / seconds;
        state.counters["packets"] = double(taken);
        state.counters["interrupts"] = interrupts;
        state.counters["sequence_gaps"] = gaps;
        state.counters["dropped"] = drops;
        state.counters["held_for_room"] = double(held);
        state.counters["axes_on_sum"] = onSum ? 1 : 0;
        state.counters["seconds"] = seconds;
        if (gaps != 0 || drops != 0 || !onSum) {
            state.SkipWithError("packets lost or an axis off its commanded sum");
        }
    }
}
BENCHMARK(BM_SevenCardLoad)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

// Processor time per real second of seven plugged modules: idle, then each
// moving its four axes at the ordinary pace.
void BM_SevenModulesCpu(benchmark::State& state)
{
    const auto span = std::chrono::seconds(2);
    for (auto _ : state) {
        brelan::Reset();
        velkor_sim::ModuleOptions options;
        options.clock = velkor_sim::ClockKind::RealTime;
        std::vector<std::unique_ptr<velkor_sim::VirtualModule>> modules;
        for (int c = 0; c < kCards; ++c) {
            modules.push_back(std::make_unique<velkor_sim::VirtualModule>(options));
            modules.back()->PlugInto(static_cast<std::uint8_t>(c + 1));
            Velkor_REGISTRATION(static_cast<std::uint8_t>(c), static_cast<std::uint8_t>(c + 1));
        }
        double cpu = ProcessCpuSeconds();
        auto start = Clock::now();
        std::this_thread::sleep_for(span);
        state.counters["idle_core_fraction"] = (ProcessCpuSeconds() - cpu) / Seconds(Clock::now() - start);
        for (int c = 0; c < kCards; ++c) {
            const auto card = static_cast<std::uint8_t>(c);
            Velkor_SET_V(card, 15, 10000);
            Velkor_CONTINUE_MOVE(card, 15, 1);
        }
        cpu = ProcessCpuSeconds();
        start = Clock::now();
        std::this_thread::sleep_for(span);
        state.counters["moving_core_fraction"] = (ProcessCpuSeconds() - cpu) / Seconds(Clock::now() - start);
        for (int c = 0; c < kCards; ++c) {
            Velkor_STOP_SUDDENLY(static_cast<std::uint8_t>(c), 15);
            Velkor_CLEAR_STOP(static_cast<std::uint8_t>(c));
            modules[c]->Unplug();
        }
    }
}
BENCHMARK(BM_SevenModulesCpu)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

// A fixed move of ten simulated seconds (10,000 pulses at 1000 per second,
// ramps of 0.1 s) on the fast clock, waited for with STOP_WAIT.
void BM_FastClockTenSecondMove(benchmark::State& state)
{
    for (auto _ : state) {
        brelan::Reset();
        velkor_sim::ModuleOptions options;
        options.clock = velkor_sim::ClockKind::Fast;
        velkor_sim::VirtualModule module(options);
        module.PlugInto(3);
        Velkor_REGISTRATION(0, 3);
        Velkor_SET_SV(0, 1, 100);
        Velkor_SET_V(0, 1, 1000);
        Velkor_SET_A(0, 1, 10000);
        const auto start = Clock::now();
        Velkor_FIXED_MOVE(0, 1, 10000);
        while (Velkor_STOP_WAIT(0, 1) != 1) {
        }
        const double real = Seconds(Clock::now() - start);
        state.counters["simulated_s"] = module.Now();
        state.counters["real_ms"] = real * 1000;
        state.counters["speed_up"] = module.Now() / real;
        if (Velkor_GET_LP(0, 1) != 10000) {
            state.SkipWithError("the move did not end on its target");
        }
        module.Unplug();
    }
}
BENCHMARK(BM_FastClockTenSecondMove)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();

// An arc in space cut into about 10,000 chords, held with DRV_HOLD so that
// it is handed over whole before it moves: the time ARC_3D takes.
void BM_LongArcHandover(benchmark::State& state)
{
    for (auto _ : state) {
        brelan::Reset();
        velkor_sim::ModuleOptions options;
        options.clock = velkor_sim::ClockKind::RealTime;
        velkor_sim::VirtualModule module(options);
        module.PlugInto(3);
        Velkor_REGISTRATION(0, 3);
        Velkor_DRV_HOLD(0, 7);
        const std::uint64_t before = module.GetCounters().packetsTaken;
        const POINT_3D mid{20000000, 20000000, 5000000};
        const POINT_3D end{40000000, 0, 0};
        const auto start = Clock::now();
        benchmark::DoNotOptimize(Velkor_ARC_3D(0, 1, 2, 4, &mid, &end, 1, 8000000));
        const double seconds = Seconds(Clock::now() - start);
        const double chords = double(module.GetCounters().packetsTaken - before - 2);
        state.counters["chords"] = chords;
        state.counters["handover_ms"] = seconds * 1000;
        state.counters["chords_per_s"] = chords / seconds;
        Velkor_RESET_CARD(0);
        module.Unplug();
    }
}
BENCHMARK(BM_LongArcHandover)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// The cost of the motion step per axis: four axes running fixed moves on the
// manual clock (trapezoids, and S-curves with jerk), ten simulated seconds
// per iteration, in nanoseconds of the process's processor time (the
// firmware thread's included) per axis and step.
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
