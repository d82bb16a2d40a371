// The cheapest module a benchmark can put behind the bus: it answers 'D' at
// the ID register, reads back the data area, takes every packet and answers
// every query at once, and counts accesses and packets.
#ifndef VELKOR_BENCH_INSTANT_MODULE_H
#define VELKOR_BENCH_INSTANT_MODULE_H

#include <Velkor.h>
#include <brelan/backplane.h>

#include <cstdint>

namespace velkor_bench {

class InstantModule : public brelan::SlotDevice {
public:
    std::uint8_t Read(std::uint8_t offset) override
    {
        ++accesses;
        return offset == 0 ? 'D' : data[offset];
    }
    void Write(std::uint8_t offset, std::uint8_t value) override
    {
        ++accesses;
        if (offset == 126) {
            packets += value == 1 ? 1 : 0;
            value = 0; // taken, or answered, at once
        }
        data[offset] = value;
    }
    std::uint64_t accesses = 0;
    std::uint64_t packets = 0;
    std::uint8_t data[brelan::kWindowSize] = {};
};

// Card 0 registered on slot 3 with an InstantModule behind it, for one benchmark.
struct InstantCard {
    InstantCard()
    {
        brelan::Reset();
        brelan::Plug(3, &module);
        Velkor_REGISTRATION(0, 3);
    }
    ~InstantCard() { brelan::Unplug(3); }
    InstantModule module;
};

} // namespace velkor_bench

#endif
