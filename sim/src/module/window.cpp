// The window side of the mailbox: what a register access by the host does,
// and how the firmware takes a packet or answers a code.
#include "module/module_impl.h"

#include "protocol/decoder.h"

namespace velkor_sim {
namespace {

constexpr std::size_t kLogLimit = 1u << 18;

} // namespace

std::uint8_t VirtualModule::Impl::ReadPlain(std::uint8_t offset)
{
    busReads.fetch_add(1, std::memory_order_relaxed);
    if (offset >= window.size()) {
        return 0xFF;
    }
    if (offset == reg::kHandshake) {
        return Handshake();
    }
    return offset == reg::kId ? options.id : Reg(offset);
}

void VirtualModule::Impl::WritePlain(std::uint8_t offset, std::uint8_t value)
{
    busWrites.fetch_add(1, std::memory_order_relaxed);
    if (offset >= window.size() || offset == reg::kId || offset == reg::kInterruptCode) {
        return; // read-only registers
    }
    SetReg(offset, value);
}

std::uint8_t VirtualModule::Impl::ReadRegister(std::uint8_t offset)
{
    busReads.fetch_add(1, std::memory_order_relaxed);
    if (offset == reg::kInterruptCode) {
        HostPolled();
        return firmware.interrupts.ReadCode();
    }
    if (heldForRoom) {
        CatchUp(); // the host polls its held packet
    }
    return Handshake();
}

void VirtualModule::Impl::WriteRegister(std::uint8_t offset, std::uint8_t value)
{
    busWrites.fetch_add(1, std::memory_order_relaxed);
    if (offset == reg::kSequence) {
        detail::SequenceWritten(firmware.sequence, firmware.counters, firmware, value, Handshake() == kPacket, packetSequence);
        announced.store(firmware.sequence.announced, std::memory_order_release);
        SetReg(offset, value);
        return;
    }
    SetHandshake(value);
    if (value == 0) {
        return;
    }
    if (value == kPacket) {
        packetSequence = Reg(reg::kSequence);
        for (int i = 0; i < kDataBytes; ++i) {
            packet[i] = Reg(reg::kData + 2 * i);
        }
        detail::PacketArrived(firmware.sequence, firmware.counters, firmware, packetSequence);
        announced.store(false, std::memory_order_release);
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
    if (Handshake() == kPacket && !firmware.HasRoomFor(packet)) {
        CatchUp();
        if (firmware.HasRoomFor(packet)) {
            ServiceMailbox();
            return;
        }
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
    const std::uint8_t code = Handshake();
    if (code == kPacket && dropNextPacket) {
        dropNextPacket = false; // handed over and lost: nothing done, nothing reported
    } else if (code == kPacket) {
        firmware.TakePacket(packet);
        LogEntry& entry = lastPacket.entry;
        entry.kind = LogEntry::Kind::Packet;
        entry.sequence = packetSequence;
        entry.code = packet[0];
        entry.bytes = packet;
        Remember(lastPacket);
        if (!observers.empty()) {
            ObservePacket(entry);
        }
    } else {
        // The firmware answers in a copy of the window's upper half (data
        // area and parameter registers); the reply area goes back.
        detail::Window copy{};
        for (int i = reg::kData; i < static_cast<int>(copy.size()); ++i) {
            copy[i] = Reg(i);
        }
        firmware.Answer(code, copy);
        for (int i = reg::kData; i < reg::kData + 2 * kDataBytes; i += 2) {
            SetReg(i, copy[i]);
        }
        LogEntry& entry = lastExchange.entry;
        entry.kind = LogEntry::Kind::Exchange;
        entry.code = code;
        for (int i = 0; i < 10; ++i) {
            entry.registers[i] = copy[96 + 2 * i];
        }
        for (int i = 0; i < kDataBytes; ++i) {
            entry.bytes[i] = copy[reg::kData + 2 * i];
        }
        Remember(lastExchange);
    }
    PlaceDebugRegister(); // before the host can see the code cleared
    SetHandshake(0);      // after the reply
    settled.notify_all();
    WakeForMotion();
}

void VirtualModule::Impl::Log(LogEntry& entry)
{
    if (log.size() < kLogLimit) {
        entry.time = firmware.time;
        log.push_back(entry);
    }
}

void VirtualModule::Impl::Remember(LastCall& call)
{
    call.entry.time = firmware.time;
    call.when = SteadyClock::now();
    call.any = true;
    if (options.keepLog) {
        LogEntry copy = call.entry;
        Log(copy);
    }
}

void VirtualModule::Impl::DeliverSignal()
{
    // Under the module's lock, so that the host cannot read the code between
    // the line going up and the signal: every signal finds its code.
    if (slot == 0 || !brelan::RaiseInterrupt(slot)) {
        firmware.interrupts.NotDelivered();
    }
}

} // namespace velkor_sim
