#include "mailbox/sequence.h"

#include "context/context.h"

namespace velkor_sim {
namespace detail {
namespace {

std::uint8_t Next(std::uint8_t n) { return n + 1 >= kSequenceRing ? 0 : n + 1; }

} // namespace

// The host writes the next number to the sequence register before it knows
// whether the mailbox is free. While a packet is still held, that number is
// an announcement: either the packet follows once the mailbox is free, or the
// host gives up on it (its stop flag is set) and the next thing it writes to
// the register is the same number again or the direct-exchange marker. A
// probe that walks the numbers on (the host's sequence probe) is neither.
void SequenceWritten(SequenceBook& book, Counters& counters, Context& ctx, std::uint8_t value, bool packetHeld, std::uint8_t heldSequence)
{
    if (book.announced) {
        if (value == book.announcedSequence || value == kDirectSequence) {
            ++counters.droppedPackets;
            ctx.Fault(error::kPacketMissing);
        }
        book.announced = false;
    }
    if (packetHeld && value < kSequenceRing && value == Next(heldSequence)) {
        book.announced = true;
        book.announcedSequence = value;
    }
}

void PacketArrived(SequenceBook& book, Counters& counters, Context& ctx, std::uint8_t sequence)
{
    book.announced = false;
    if (book.known && sequence != Next(book.last)) {
        const int skipped = (sequence + kSequenceRing - Next(book.last)) % kSequenceRing;
        counters.sequenceGaps += static_cast<std::uint32_t>(skipped);
        ctx.Fault(error::kPacketMissing);
    }
    book.known = true;
    book.last = sequence;
}

} // namespace detail
} // namespace velkor_sim
