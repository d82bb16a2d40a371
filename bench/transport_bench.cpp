// Bus accesses and library time per packet and per query on the in-memory
// backplane, against a module that takes every packet at once.
#include "transport/card_table.h"

#include <Velkor.h>
#include <benchmark/benchmark.h>
#include <brelan/backplane.h>

#include <atomic>

namespace {

// The cheapest module: every access counted, the handshake always idle.
class CountingModule : public brelan::SlotDevice {
public:
    std::uint8_t Read(std::uint8_t offset) override
    {
        ++accesses;
        return offset == 0 ? 'D' : data[offset];
    }
    void Write(std::uint8_t offset, std::uint8_t value) override
    {
        ++accesses;
        data[offset] = offset == 126 ? 0 : value;
    }
    std::uint64_t accesses = 0;
    std::uint8_t data[brelan::kWindowSize] = {};
};

struct Bench {
    Bench()
    {
        brelan::Reset();
        brelan::Plug(3, &module);
        Velkor_REGISTRATION(0, 3);
    }
    ~Bench() { brelan::Unplug(3); }
    CountingModule module;
};

void BM_PacketOf8Bytes(benchmark::State& state)
{
    Bench bench;
    const std::uint64_t before = bench.module.accesses;
    for (auto _ : state) {
        DWtoB(0, 500, 4);
        velkor::FindCard(0)->packetLength = 8;
        benchmark::DoNotOptimize(WRITE_DATA(0));
    }
    state.counters["bus_accesses_per_packet"] =
        benchmark::Counter(double(bench.module.accesses - before) / double(state.iterations()));
}
BENCHMARK(BM_PacketOf8Bytes);

void BM_QueryOf4ReplyBytes(benchmark::State& state)
{
    Bench bench;
    const std::uint64_t before = bench.module.accesses;
    for (auto _ : state) {
        benchmark::DoNotOptimize(Velkor_GET_FW_VERSION(0));
    }
    state.counters["bus_accesses_per_query"] =
        benchmark::Counter(double(bench.module.accesses - before) / double(state.iterations()));
}
BENCHMARK(BM_QueryOf4ReplyBytes);

} // namespace
