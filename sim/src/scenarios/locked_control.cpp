// Scenario actions under the module's lock (scenarios/locked_control.h).
#include "scenarios/locked_control.h"

#include "mailbox/sequence.h"
#include "module/module_impl.h"

#include "velkor_sim/bit_names.h"

#include <cstdio>

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

std::string LockedControl::LastCalls(VirtualModule& module)
{
    VirtualModule::Impl& m = *module.impl_;
    std::string text;
    char when[96];
    {
        std::lock_guard<std::mutex> hold(m.mutex);
        const SteadyClock::time_point now = SteadyClock::now();
        for (const VirtualModule::Impl::LastCall* last : {&m.lastPacket, &m.lastExchange}) {
            const char* what = last == &m.lastPacket ? "last packet" : "last query";
            if (!last->any) {
                text += std::string(text.empty() ? "" : "; ") + "no " + (last == &m.lastPacket ? "packet" : "query") +
                        " yet";
                continue;
            }
            std::string call = Describe(last->entry);
            if (call.compare(0, 6, "query ") == 0) {
                call.erase(0, 6);
            }
            for (std::size_t at = call.find("  "); at != std::string::npos; at = call.find("  ", at)) {
                call.erase(at, 1); // the trace's column padding
            }
            std::snprintf(when, sizeof when, " at %.3f s (%.1f s ago)", last->entry.time,
                          std::chrono::duration<double>(now - last->when).count());
            text += std::string(text.empty() ? "" : "; ") + what + " " + call + when;
        }
    }
    const ModuleSnapshot s = module.Snapshot();
    std::string idle;
    for (int i = 0; i < kAxisCount; ++i) {
        const AxisStatus& a = s.axes[i];
        const std::string errors = JoinedNames(a.errorCode, ErrorBitNames(), 16);
        if (!a.driving && !a.homing && errors.empty()) {
            idle += (idle.empty() ? "" : ", ") + std::to_string(i + 1);
            continue;
        }
        std::snprintf(when, sizeof when, "; axis %d %s at %.0f pulses/s, LP %d", i + 1,
                      a.homing ? "homing" : a.driving ? "driving" : "at rest", a.speed, a.lp);
        text += when;
        if (!errors.empty()) {
            text += ", errors " + errors;
        }
    }
    if (!idle.empty()) {
        text += std::string(idle.size() == 1 ? "; axis " : "; axes ") + idle + " at rest";
    }
    return text;
}

} // namespace detail
} // namespace velkor_sim
