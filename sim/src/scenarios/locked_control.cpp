// Scenario actions under the module's lock (scenarios/locked_control.h).
#include "scenarios/locked_control.h"

#include "mailbox/sequence.h"
#include "module/module_impl.h"

namespace velkor_sim {
namespace detail {

void LockedControl::Apply(const ScenarioAction& a)
{
    VirtualModule::Impl& m = *module_.impl_;
    Firmware& fw = m.firmware;
    switch (a.kind) {
    case ActionKind::Input: {
        const auto bit = static_cast<std::uint16_t>(1u << a.bit);
        fw.axes[a.axis].inputs = static_cast<std::uint16_t>(a.on ? fw.axes[a.axis].inputs | bit
                                                                 : fw.axes[a.axis].inputs & ~bit);
        WatchAlarm(fw, a.axis);
        break;
    }
    case ActionKind::Actuate: {
        static const std::uint16_t kBits[] = {input::kPlusLimit, input::kMinusLimit, input::kHome, input::kNearHome};
        ScenarioAction forced = a;
        forced.kind = ActionKind::Input;
        forced.bit = 0;
        while ((1u << forced.bit) != kBits[static_cast<int>(a.which)]) {
            ++forced.bit;
        }
        Apply(forced);
        return;
    }
    case ActionKind::MoveSwitch: {
        MachineAxis& l = fw.axes[a.axis].machine.layout;
        switch (a.which) {
        case SwitchKind::PlusLimit: l.plusLimit = a.from; break;
        case SwitchKind::MinusLimit: l.minusLimit = a.from; break;
        case SwitchKind::Home: l.homeFrom = a.from; l.homeTo = a.to; break;
        case SwitchKind::NearHome: l.nearHomeFrom = a.from; l.nearHomeTo = a.to; break;
        }
        WatchAlarm(fw, a.axis);
        break;
    }
    case ActionKind::DriveAlarm:
        fw.axes[a.axis].machine.driveAlarm = a.on;
        WatchAlarm(fw, a.axis);
        break;
    case ActionKind::Jog:
        PressJog(fw, a.axis, a.direction);
        break;
    case ActionKind::Handwheel:
        TurnHandwheel(fw, a.axis, a.counts);
        break;
    case ActionKind::Busy:
    case ActionKind::StopAnswering:
        SetBusy(true);
        return;
    case ActionKind::DropPacket:
        m.dropNextPacket = true;
        return;
    }
    m.WakeForMotion();
}

void LockedControl::SetBusy(bool busy)
{
    VirtualModule::Impl& m = *module_.impl_;
    if (m.busy == busy) {
        return;
    }
    m.busy = busy;
    const ModuleView view = module_.View();
    for (ModuleObserver* o : m.observers) {
        o->BusyChanged(busy, view);
    }
    m.wake.notify_one();
    m.settled.notify_all();
}

std::string LockedControl::Mailbox(VirtualModule& module)
{
    VirtualModule::Impl& m = *module.impl_;
    std::lock_guard<std::mutex> hold(m.mutex);
    const std::uint8_t code = m.Handshake();
    if (code == 0) {
        return std::string();
    }
    std::string text = code == kPacket ? CodeName(m.packet[0], LogEntry::Kind::Packet) + " (a packet) not taken"
                                       : CodeName(code, LogEntry::Kind::Exchange) + " (a query or control code) not answered";
    // A packet the module has not taken holds up the host's next call, which
    // announces itself in the sequence register before it waits.
    const std::uint8_t sequence = m.Reg(reg::kSequence);
    if (code == kPacket && sequence != m.packetSequence) {
        text += sequence == kDirectSequence ? ", with a query or control code waiting behind it"
                                            : ", with the next packet waiting behind it";
    }
    if (m.busy) {
        text += "; the module stopped answering";
    } else if (m.heldForRoom) {
        text += "; it waits for room in the command buffer";
    }
    return text;
}

} // namespace detail
} // namespace velkor_sim
