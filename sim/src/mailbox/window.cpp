// The window side of the mailbox: what a register access by the host does,
// and how the firmware takes a packet or answers a code.
#include "module/module_impl.h"

namespace velkor_sim {
namespace {

constexpr std::size_t kLogLimit = 1u << 18;

} // namespace

std::uint8_t VirtualModule::Impl::ReadRegister(std::uint8_t offset)
{
    ++firmware.counters.busReads;
    if (offset >= window.size()) {
        return 0xFF;
    }
    switch (offset) {
    case reg::kId: return options.id;
    case reg::kInterruptCode: return firmware.interrupts.ReadCode();
    default: return window[offset];
    }
}

void VirtualModule::Impl::WriteRegister(std::uint8_t offset, std::uint8_t value)
{
    ++firmware.counters.busWrites;
    if (offset >= window.size() || offset == reg::kId || offset == reg::kInterruptCode) {
        return; // read-only registers
    }
    if (offset == reg::kSequence) {
        detail::SequenceWritten(firmware, value, window[reg::kHandshake] == kPacket, packetSequence);
    }
    window[offset] = value;
    if (offset == reg::kHandshake && value != 0) {
        if (value == kPacket) {
            packetSequence = window[reg::kSequence];
            for (int i = 0; i < kDataBytes; ++i) {
                packet[i] = window[reg::kData + 2 * i];
            }
            detail::PacketArrived(firmware, packetSequence);
        }
        postedAt = SteadyClock::now();
        wake.notify_one();
    }
}

void VirtualModule::Impl::ServiceMailbox()
{
    const std::uint8_t code = window[reg::kHandshake];
    LogEntry entry;
    if (code == kPacket) {
        firmware.TakePacket(packet);
        entry.kind = LogEntry::Kind::Packet;
        entry.sequence = packetSequence;
        entry.code = packet[0];
        entry.bytes = packet;
    } else {
        for (int i = 0; i < 10; ++i) {
            entry.registers[i] = window[96 + 2 * i];
        }
        firmware.Answer(code, window);
        entry.kind = LogEntry::Kind::Exchange;
        entry.code = code;
        for (int i = 0; i < kDataBytes; ++i) {
            entry.bytes[i] = window[reg::kData + 2 * i];
        }
    }
    PlaceDebugRegister(); // before the host can see the code cleared
    window[reg::kHandshake] = 0;
    if (options.keepLog && log.size() < kLogLimit) {
        entry.time = firmware.time;
        log.push_back(entry);
    }
}

} // namespace velkor_sim
