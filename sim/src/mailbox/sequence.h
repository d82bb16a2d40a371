// Packet numbers as the module sees them: packets must follow the ring
// 0..29, and a number written to the sequence register while a packet is
// still held announces the next packet, which the host may give up.
#ifndef VELKOR_SIM_MAILBOX_SEQUENCE_H
#define VELKOR_SIM_MAILBOX_SEQUENCE_H

#include "velkor_sim/virtual_module.h"

#include <cstdint>

namespace velkor_sim {
namespace detail {

class Context;

constexpr std::uint8_t kSequenceRing = 30;
constexpr std::uint8_t kDirectSequence = 31;

struct SequenceBook {
    bool known = false;
    std::uint8_t last = 0;
    bool announced = false;
    std::uint8_t announcedSequence = 0;

    // After RESET_CARD and CLEAR_CARD_BUFFER the host numbers the next packet 0.
    void ExpectZeroNext()
    {
        known = true;
        last = kSequenceRing - 1;
    }
};

// The host wrote `value` to the sequence register; `packetHeld` tells whether
// a packet numbered `heldSequence` is still waiting to be taken.
void SequenceWritten(SequenceBook& book, Counters& counters, Context& ctx, std::uint8_t value, bool packetHeld, std::uint8_t heldSequence);
// A packet was posted (handshake 1) with the number the sequence register held.
void PacketArrived(SequenceBook& book, Counters& counters, Context& ctx, std::uint8_t sequence);

} // namespace detail
} // namespace velkor_sim

#endif
