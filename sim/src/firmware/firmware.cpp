// Taking a packet and answering a code: the decoder table finds the family
// handler; the firmware keeps what is common to all families.
#include "firmware/firmware.h"

#include "decoder/decoder.h"

namespace velkor_sim {
namespace detail {

Firmware::Firmware(const ModuleOptions& options)
    : bufferCapacity(options.bufferSegments > 0 ? options.bufferSegments : 1), firmwareVersion(options.firmwareVersion),
      keepTrail(options.keepTrail)
{
}

bool Firmware::HasRoomFor(const Bytes& bytes) const
{
    if (macros.recording || !AddsSegment(bytes[0])) {
        return true;
    }
    return paths.queuedSegments < bufferCapacity || !BufferDraining(*this);
}

void Firmware::Unsimulated(std::uint8_t code)
{
    ++unsimulated[code];
    ++counters.unsimulated;
}

void Firmware::TakePacket(const Bytes& bytes)
{
    ++counters.packetsTaken;
    if (!RecordStep(*this, bytes)) {
        ExecutePacket(bytes);
    }
    ProgramsAfterHost(*this, bytes[0], false);
}

void Firmware::ExecutePacket(const Bytes& bytes)
{
    const std::uint8_t code = bytes[0];
    CheckArcPair(*this, code);
    const PacketEntry* entry = FindPacket(code);
    if (entry == nullptr || entry->support == Support::NotSimulated) {
        Unsimulated(code);
        return;
    }
    if (entry->run != nullptr) {
        entry->run(*this, bytes);
    }
}

void Firmware::Answer(std::uint8_t code, Window& window)
{
    ++counters.exchangesAnswered;
    const ExchangeEntry* entry = FindExchange(code);
    if (entry == nullptr || entry->run == nullptr) {
        Unsimulated(code);
    } else {
        entry->run(*this, window);
    }
    ProgramsAfterHost(*this, code, true);
}

void Firmware::Reset()
{
    for (AxisState& ax : axes) {
        ax.drive = Drive{};
        ax.pending = Drive{};
        ax.held = false;
        ax.speed = 0;
        ax.acceleration = 0;
        ax.error = 0;
        ax.profile = ProfileValues{};
        ax.maxV = kDefaultMaxV;
        ax.softLimits = false;
    }
    paths.Reset();
    ResetMachine(*this);
    ClearPrograms(*this, true);
    moduleError = 0;
    interrupts.Reset();
}

} // namespace detail
} // namespace velkor_sim
