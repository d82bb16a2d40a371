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

// A packet of n bytes on an idle module: the sequence number, one read of the
// handshake register, the n bytes and the handshake write, nothing more.
void BM_Packet(benchmark::State& state)
{
    Bench bench;
    const auto length = static_cast<std::uint8_t>(state.range(0));
    velkor::CardRecord& card = *velkor::FindCard(0);
    const std::uint64_t before = bench.module.accesses;
    for (auto _ : state) {
        DWtoB(0, 500, 4);
        card.packetLength = length;
        benchmark::DoNotOptimize(WRITE_DATA(0));
    }
    const double perPacket = double(bench.module.accesses - before) / double(state.iterations());
    state.counters["bus_accesses_per_packet"] = perPacket;
    if (perPacket != length + 3) {
        state.SkipWithError("a packet cost more than its bytes plus three accesses");
    }
}
BENCHMARK(BM_Packet)->Arg(2)->Arg(8)->Arg(16)->Arg(27);

// A query with a four-byte reply: 31 to the sequence register, one read of
// the idle handshake, the code, one read of the answer, four reply reads and
// the sequence number written back.
void BM_QueryOf4ReplyBytes(benchmark::State& state)
{
    Bench bench;
    const std::uint64_t before = bench.module.accesses;
    for (auto _ : state) {
        benchmark::DoNotOptimize(Velkor_GET_FW_VERSION(0));
    }
    const double perQuery = double(bench.module.accesses - before) / double(state.iterations());
    state.counters["bus_accesses_per_query"] = perQuery;
    if (perQuery != 9) {
        state.SkipWithError("a query cost more than nine accesses");
    }
}
BENCHMARK(BM_QueryOf4ReplyBytes);

} // namespace
