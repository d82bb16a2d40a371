// The window side of the mailbox: what a register access by the host does,
// and how the firmware takes a packet or answers a code.
#include "module/module_impl.h"

#include "decoder/decoder.h"

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
    case reg::kInterruptCode:
        HostPolled();
        return firmware.interrupts.ReadCode();
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
    if (offset != reg::kHandshake || value == 0) {
        return;
    }
    if (value == kPacket) {
        packetSequence = window[reg::kSequence];
        for (int i = 0; i < kDataBytes; ++i) {
            packet[i] = window[reg::kData + 2 * i];
        }
        detail::PacketArrived(firmware, packetSequence);
        HostCommanded();
    } else {
        const detail::ExchangeEntry* entry = detail::FindExchange(value);
        if (entry != nullptr && entry->replyWidth > 0) {
            HostPolled(); // a query that only reads
        } else {
            HostCommanded();
        }
    }
    if (!busy && latency.count() == 0) {
        TryService(); // at once, in the host's write
        return;
    }
    postedAt = SteadyClock::now();
    wake.notify_one();
}

void VirtualModule::Impl::TryService()
{
    if (window[reg::kHandshake] == kPacket && !firmware.HasRoomFor(packet)) {
        if (!heldForRoom) {
            heldForRoom = true;
            ++firmware.counters.packetsHeld;
        }
        return;
    }
    ServiceMailbox();
}

void VirtualModule::Impl::ServiceMailbox()
{
    const std::uint8_t code = window[reg::kHandshake];
    LogEntry entry;
    if (code == kPacket) {
        firmware.TakePacket(packet);
        if (options.keepLog) {
            entry.kind = LogEntry::Kind::Packet;
            entry.sequence = packetSequence;
            entry.code = packet[0];
            entry.bytes = packet;
        }
    } else if (options.keepLog) {
        for (int i = 0; i < 10; ++i) {
            entry.registers[i] = window[96 + 2 * i];
        }
        firmware.Answer(code, window);
        entry.kind = LogEntry::Kind::Exchange;
        entry.code = code;
        for (int i = 0; i < kDataBytes; ++i) {
            entry.bytes[i] = window[reg::kData + 2 * i];
        }
    } else {
        firmware.Answer(code, window);
    }
    window[reg::kHandshake] = 0;
    if (options.keepLog && log.size() < kLogLimit) {
        entry.time = firmware.time;
        log.push_back(entry);
    }
    settled.notify_all();
    WakeForMotion();
}

void VirtualModule::Impl::SignalInterrupt()
{
    if (!firmware.interrupts.TakeSignal()) {
        return;
    }
    // Under the module's lock, so that the host cannot read the code between
    // the line going up and the signal: every signal finds its code.
    if (slot == 0 || !brelan::RaiseInterrupt(slot)) {
        firmware.interrupts.NotDelivered();
    }
}

} // namespace velkor_sim
