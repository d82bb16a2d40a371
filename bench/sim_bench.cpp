// Packets per second through the library into virtual modules, each with its
// own firmware thread taking packets with no added latency: one card, and
// several cards driven from as many threads at once. The backplane has seven
// slots, so seven cards is the most that can each have a module of their own.
#include <Velkor.h>
#include <benchmark/benchmark.h>
#include <brelan/backplane.h>
#include <velkor_sim/virtual_module.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

namespace {

constexpr int kMostCards = brelan::kLastSlot; // one module per slot

// Card c on slot c + 1, each with a virtual module.
class Rack {
public:
    explicit Rack(int cards)
    {
        brelan::Reset();
        for (int c = 0; c < cards; ++c) {
            modules_.push_back(std::make_unique<velkor_sim::VirtualModule>());
            modules_.back()->PlugInto(static_cast<std::uint8_t>(c + 1));
            Velkor_REGISTRATION(static_cast<std::uint8_t>(c), static_cast<std::uint8_t>(c + 1));
        }
    }
    ~Rack() { brelan::Reset(); }
    std::uint64_t Taken() const
    {
        std::uint64_t n = 0;
        for (const auto& m : modules_) {
            n += m->GetCounters().packetsTaken;
        }
        return n;
    }

private:
    std::vector<std::unique_ptr<velkor_sim::VirtualModule>> modules_;
};

// Each benchmark thread drives its own card with 8-byte packets.
void BM_PacketsIntoVirtualModules(benchmark::State& state)
{
    static Rack* rack = nullptr;
    if (state.thread_index() == 0) {
        rack = new Rack(state.threads());
    }
    const auto card = static_cast<std::uint8_t>(state.thread_index());
    for (auto _ : state) {
        Velkor_SET_V(card, 1, 1000);
    }
    state.SetItemsProcessed(state.iterations());
    if (state.thread_index() == 0) {
        state.counters["packets_taken"] = static_cast<double>(rack->Taken());
        delete rack;
        rack = nullptr;
    }
}
BENCHMARK(BM_PacketsIntoVirtualModules)->Threads(1)->Threads(2)->Threads(4)->Threads(kMostCards)->UseRealTime()
    ->MinTime(1.0);

// Packets per second of `cards` cards driven at once for `time`.
double Rate(int cards, std::chrono::milliseconds time)
{
    Rack rack(cards);
    std::atomic<bool> stop{false};
    std::vector<std::thread> threads;
    std::vector<std::uint64_t> sent(cards, 0);
    const auto start = std::chrono::steady_clock::now();
    for (int c = 0; c < cards; ++c) {
        threads.emplace_back([c, &stop, &sent] {
            while (!stop.load(std::memory_order_relaxed)) {
                Velkor_SET_V(static_cast<std::uint8_t>(c), 1, 1000);
                ++sent[c];
            }
        });
    }
    std::this_thread::sleep_for(time);
    stop = true;
    for (auto& t : threads) {
        t.join();
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::uint64_t total = 0;
    for (std::uint64_t n : sent) {
        total += n;
    }
    return static_cast<double>(total) / seconds;
}

// The scaling figure itself: the aggregate rate of all cards against as many
// times the rate of one card alone.
void BM_CardScaling(benchmark::State& state)
{
    for (auto _ : state) {
        const double one = Rate(1, std::chrono::milliseconds(1500));
        const double all = Rate(kMostCards, std::chrono::milliseconds(1500));
        state.counters["one_card_pps"] = one;
        state.counters["all_cards_pps"] = all;
        state.counters["cards"] = kMostCards;
        state.counters["ratio"] = all / (kMostCards * one);
    }
}
BENCHMARK(BM_CardScaling)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

} // namespace
