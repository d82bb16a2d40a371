// Taking a packet and answering a code: the command table says how far a
// code is carried out, its binding finds the family handler; the firmware
// keeps what is common to all families.
#include "firmware/firmware.h"

#include "firmware/bindings.h"
#include "protocol/command.h"
#include "protocol/decoder.h"

#include <cstdio>
#include <cstdlib>

namespace velkor_sim {
namespace detail {

Firmware::Firmware(const ModuleOptions& options)
    : bufferCapacity(options.bufferSegments > 0 ? options.bufferSegments : 1), firmwareVersion(options.firmwareVersion),
      strict(options.strict), keepTrail(options.keepTrail)
{
    Bind(axes.data());
}

bool Firmware::HasRoomFor(const Bytes& bytes) const
{
    if (macros.recording || !AddsSegment(bytes[0])) {
        return true;
    }
    return paths.queuedSegments < bufferCapacity || !BufferDraining(paths, *this);
}

void Firmware::Unsimulated(std::uint8_t code)
{
    ++unsimulated[code];
    ++counters.unsimulated;
    if (strict) {
        std::fprintf(stderr,
                     "velkor_sim: strict mode: the module could not use %s (code %u); see the module's list of "
                     "commands it could not use\n",
                     CodeName(code, FindPacket(code) != nullptr ? LogEntry::Kind::Packet : LogEntry::Kind::Exchange).c_str(),
                     unsigned(code));
        std::fflush(stderr);
        std::abort();
    }
}

void Firmware::NotCarriedOut(std::uint8_t code)
{
    moduleError |= error::kNotSimulated;
    Unsimulated(code);
}

void Firmware::TakePacket(const Bytes& bytes)
{
    ++counters.packetsTaken;
    if (!RecordStep(ProgramsAtWork(), bytes)) {
        ExecutePacket(bytes);
    }
    ProgramsAfterHost(ProgramsAtWork(), bytes[0], false);
}

void Firmware::ExecutePacket(const Bytes& bytes)
{
    const std::uint8_t code = bytes[0];
    const PacketEntry* entry = FindPacket(code);
    if (entry == nullptr || entry->support == Support::NotSimulated) {
        NotCarriedOut(code);
        return;
    }
    const std::uint32_t refused = refusals;
    const Bytes* whole = nullptr;
    switch (assembler.Take(*entry, bytes, &whole)) {
    case CommandAssembler::Outcome::Complete:
        if (const PacketHandler run = PacketHandlerOf(code)) {
            run(*this, Command(*entry, whole));
        }
        break;
    case CommandAssembler::Outcome::OutOfTurn:
        Fault(error::kBadCommand); // a part of a command was lost
        break;
    case CommandAssembler::Outcome::Waiting: break;
    }
    if (entry->support == Support::Kept) {
        NotCarriedOut(code);
    } else if (refusals != refused) {
        Unsimulated(code); // refused for a value it cannot use
    }
    WatchSync(sync, *this);
}

void Firmware::Answer(std::uint8_t code, Window& window)
{
    ++counters.exchangesAnswered;
    const ExchangeHandler run = FindExchange(code) != nullptr ? ExchangeHandlerOf(code) : nullptr;
    if (run == nullptr) {
        NotCarriedOut(code);
    } else {
        const std::uint32_t refused = refusals;
        run(*this, window);
        if (refusals != refused) {
            Unsimulated(code);
        }
        WatchSync(sync, *this);
    }
    ProgramsAfterHost(ProgramsAtWork(), code, true);
}

void Firmware::Reset()
{
    for (AxisState& ax : axes) {
        ax.Reset();
    }
    paths.Reset();
    ResetMachine(*this);
    ClearPrograms(ProgramsAtWork(), true);
    moduleError = 0;
    interrupts.Reset();
    sync.Reset();
    special.Reset();
    assembler.Reset();
}

} // namespace detail
} // namespace velkor_sim
