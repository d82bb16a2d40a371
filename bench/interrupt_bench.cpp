// Latency from a module's interrupt to the return of the flag wait that sees
// it: the service thread's wake-up, its code read and acknowledgement, and
// the waiter's 2 ms polling. Interrupts are raised at spread-out moments so
// that they fall at every phase of the waiter's polling passes.
#include "transport/card_table.h"

#include <Velkor.h>
#include <benchmark/benchmark.h>
#include <brelan/backplane.h>

#include <algorithm>
#include <chrono>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::uint8_t kCard = 0;
constexpr std::uint8_t kSlot = 3;
constexpr std::uint8_t kFactor = 0x01;

// A module whose interrupt code register always names factor 0 and whose
// mailbox is always idle.
class InterruptingModule : public brelan::SlotDevice {
public:
    std::uint8_t Read(std::uint8_t offset) override
    {
        switch (offset) {
        case 0: return 'D';
        case 124: return kFactor;
        case 126: return 0;
        default: return data[offset];
        }
    }
    void Write(std::uint8_t offset, std::uint8_t value) override { data[offset] = value; }
    std::uint8_t data[brelan::kWindowSize] = {};
};

double Percentile(std::vector<double> sorted, double fraction)
{
    const std::size_t index = std::min(sorted.size() - 1, static_cast<std::size_t>(fraction * double(sorted.size())));
    return sorted[index];
}

void BM_InterruptToRintWaitReturn(benchmark::State& state)
{
    InterruptingModule module;
    brelan::Reset();
    brelan::Plug(kSlot, &module);
    if (Velkor_REGISTRATION(kCard, kSlot) != 1 || Velkor_ENABLE_RINT(kCard) != 1) {
        state.SkipWithError("no interrupt service");
        return;
    }
    Velkor_CLEAR_RINT_FLAG(kCard);
    std::vector<double> latencies;
    std::uint32_t i = 0;
    for (auto _ : state) {
        // 0 to 2.9 ms after the waiter started: every phase of a 2 ms pass.
        const auto delay = std::chrono::microseconds((i++ * 37 % 30) * 100);
        Clock::time_point raisedAt;
        std::thread device([&] {
            std::this_thread::sleep_for(delay);
            raisedAt = Clock::now();
            brelan::RaiseInterrupt(kSlot);
        });
        const std::uint8_t code = Velkor_RINT_WAIT(kCard, kFactor, 0);
        const Clock::time_point returnedAt = Clock::now();
        device.join();
        benchmark::DoNotOptimize(code);
        const double seconds = std::chrono::duration<double>(returnedAt - raisedAt).count();
        state.SetIterationTime(seconds);
        latencies.push_back(seconds * 1e6);
    }
    Velkor_DISABLE_RINT(kCard);
    const auto deadline = Clock::now() + std::chrono::seconds(5);
    while (velkor::FindCard(kCard)->interruptThreads.load() != 0 && Clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    brelan::Unplug(kSlot);
    if (latencies.empty()) {
        return;
    }
    std::sort(latencies.begin(), latencies.end());
    state.counters["median_us"] = Percentile(latencies, 0.5);
    state.counters["p99_us"] = Percentile(latencies, 0.99);
}
BENCHMARK(BM_InterruptToRintWaitReturn)->Iterations(400)->UseManualTime()->Unit(benchmark::kMicrosecond);

} // namespace
