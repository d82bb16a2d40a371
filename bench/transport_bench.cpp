// Bus accesses and library time per packet and per query on the in-memory
// backplane, against a module that takes every packet at once.
#include "instant_module.h"
#include "transport/card_table.h"

#include <Velkor.h>
#include <benchmark/benchmark.h>


namespace {

using velkor_bench::InstantCard;

// A packet of n bytes on an idle module: the sequence number, one read of the
// handshake register, the n bytes and the handshake write, nothing more.
void BM_Packet(benchmark::State& state)
{
    InstantCard bench;
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
    InstantCard bench;
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
