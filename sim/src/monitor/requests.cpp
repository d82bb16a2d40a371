// The monitor's requests (server.h): each command read from a client,
// answered under the registry's lock.
#include "monitor/server.h"

#include "velkor_sim/module_list.h"

#include <algorithm>

namespace velkor_sim {
namespace monitor {
namespace {

constexpr int kMaxSteps = 100000;
constexpr std::size_t kMaxRead = 100000;

int AxisIndex(const Json& args) { return static_cast<int>(IntArg(args, "axis", 1, kAxisCount)) - 1; }

std::uint16_t SwitchBit(const std::string& name)
{
    if (name == "plus_limit") {
        return input::kPlusLimit;
    }
    if (name == "minus_limit") {
        return input::kMinusLimit;
    }
    if (name == "home") {
        return input::kHome;
    }
    if (name == "near_home") {
        return input::kNearHome;
    }
    throw Failure("bad_argument", "name must be plus_limit, minus_limit, home or near_home");
}

Json MachineJson(const MachineAxis& m)
{
    return Json{{"plus_limit", m.plusLimit}, {"minus_limit", m.minusLimit},        {"home_from", m.homeFrom},
                {"home_to", m.homeTo},       {"near_home_from", m.nearHomeFrom}, {"near_home_to", m.nearHomeTo}};
}

Json InputsResult(VirtualModule& module, int axis)
{
    const ModuleSnapshot s = module.Snapshot();
    return Json{{"forced", s.forcedInputs[axis]}, {"inputs", s.axes[axis].inputs}};
}

void NeedsRunningClock(VirtualModule& module)
{
    if (module.Clock().kind == ClockKind::Manual) {
        throw Failure("manual_clock", "the module in slot " + std::to_string(module.Snapshot().slot) +
                                          " is on the manual clock: its time belongs to the program");
    }
}

Json SampleJson(const ScopeSample& s)
{
    Json j = Json::array({s.time});
    for (const ScopeAxisSample& a : s.axes) {
        j.push_back(Json::array({a.lp, a.ep, a.speed, a.inputs}));
    }
    return j;
}

// Why an axis takes no jog or handwheel now, as the monitor's error says it.
std::string NoJogWhy(int axis, ExternalDrive mode, const char* what)
{
    return "axis " + std::to_string(axis + 1) + " takes no " + (what[0] == 'j' ? "jog" : "handwheel") +
           ": the program " +
           (mode == ExternalDrive::Off ? std::string("has not enabled the external drive")
                                       : "set the external drive to " + ExternalDriveName(mode)) +
           (what[0] == 'j' ? " (the jog buttons act with EXD_FP or EXD_CP)" : " (the handwheel acts with EXD_MP)");
}

// Actions that change the machine while no step may run: the change is sampled.
bool ChangesMachine(const std::string& cmd)
{
    static const char* const kActions[] = {"set_inputs", "switch", "move_switch", "drive_alarm",
                                           "jog", "handwheel", "remote_input", "latch"};
    return std::find(std::begin(kActions), std::end(kActions), cmd) != std::end(kActions);
}

} // namespace

std::vector<std::uint8_t> Core::Slots()
{
    std::vector<std::uint8_t> slots;
    for (const auto& entry : plugs_) {
        slots.push_back(entry.first);
    }
    return slots;
}

VirtualModule& Core::ModuleAt(const Json& args, Tap** tap)
{
    const std::uint8_t slot = static_cast<std::uint8_t>(IntArg(args, "slot", 1, 7));
    const auto found = plugs_.find(slot);
    if (found == plugs_.end()) {
        throw Failure("no_module", "no module in slot " + std::to_string(slot));
    }
    if (tap != nullptr) {
        *tap = found->second.tap.get();
    }
    return *found->second.module;
}
Json Core::Dispatch(Client& client, const Request& request)
{
    const std::string& cmd = request.cmd;
    const Json& args = request.args;
    if (cmd == "hello") {
        return Greeting(Slots());
    }
    if (cmd == "list") {
        Json modules = Json::array();
        for (const auto& entry : plugs_) {
            modules.push_back(ModuleJson(entry.second.module->Snapshot()));
        }
        return Json{{"modules", modules}};
    }
    if (cmd == "status") {
        return StatusJson(ModuleAt(args).Snapshot());
    }
    if (cmd == "subscribe") {
        // Capped at the motion step rate of the modules plugged, or of a
        // module's default clock when none is plugged yet (velkor demo --web
        // subscribes before its module is there).
        double smallestStep = plugs_.empty() ? ClockState{}.step : 1;
        for (const auto& entry : plugs_) {
            smallestStep = std::min(smallestStep, entry.second.module->Clock().step);
        }
        const double rate = std::min(NumberArg(args, "rate", 0, 1e9, 0), 1 / smallestStep);
        std::uint8_t slots = 0xFE;
        if (Has(args, "slots")) {
            const Json& list = args.at("slots");
            if (!list.is_array()) {
                throw Failure("bad_argument", "slots must be an array of slots");
            }
            slots = 0;
            for (const Json& s : list) {
                if (!s.is_number_integer() || s.get<std::int64_t>() < 1 || s.get<std::int64_t>() > 7) {
                    throw Failure("bad_argument", "slots must hold slots 1 to 7");
                }
                slots |= SlotBit(static_cast<std::uint8_t>(s.get<int>()));
            }
        }
        const std::uint32_t events = Has(args, "events") ? EventMask(args.at("events")) : 0;
        client.period = rate > 0 ? 1 / rate : 0;
        client.slots = slots;
        client.events = events;
        client.nextSample.fill(0);
        Resubscribe();
        Json slotList = Json::array();
        for (int s = 1; s < kSlots; ++s) {
            if (slots & SlotBit(static_cast<std::uint8_t>(s))) {
                slotList.push_back(s);
            }
        }
        return Json{{"rate", rate},
                    {"period", client.period},
                    {"slots", slots == 0xFE ? Json("all") : slotList},
                    {"events", EventList(events)}};
    }
    if (cmd == "unsubscribe") {
        client.period = 0;
        client.events = 0;
        Resubscribe();
        return Json::object();
    }
    if (cmd == "set_inputs") {
        VirtualModule& module = ModuleAt(args);
        const int axis = AxisIndex(args);
        if (!Has(args, "word") && !Has(args, "set") && !Has(args, "clear")) {
            throw Failure("bad_argument", "set_inputs needs set, clear or word");
        }
        std::uint16_t word = module.Snapshot().forcedInputs[axis];
        if (Has(args, "word")) {
            word = static_cast<std::uint16_t>(IntArg(args, "word", 0, 0xFFFF));
        }
        word = static_cast<std::uint16_t>(word | IntArg(args, "set", 0, 0xFFFF, 0));
        word = static_cast<std::uint16_t>(word & ~IntArg(args, "clear", 0, 0xFFFF, 0));
        module.SetInputs(axis, word);
        return InputsResult(module, axis);
    }
    if (cmd == "switch") {
        VirtualModule& module = ModuleAt(args);
        const int axis = AxisIndex(args);
        const std::uint16_t bit = SwitchBit(StringArg(args, "name", ""));
        const bool on = BoolArg(args, "on");
        const std::uint16_t forced = module.Snapshot().forcedInputs[axis];
        module.SetInputs(axis, static_cast<std::uint16_t>(on ? forced | bit : forced & ~bit));
        return InputsResult(module, axis);
    }
    if (cmd == "move_switch") {
        VirtualModule& module = ModuleAt(args);
        const int axis = AxisIndex(args);
        const std::string name = StringArg(args, "name", "");
        constexpr std::int64_t kFar = 2000000000;
        MachineAxis m = module.Machine(axis);
        if (name == "plus_limit" || name == "minus_limit") {
            (name == "plus_limit" ? m.plusLimit : m.minusLimit) =
                static_cast<std::int32_t>(IntArg(args, "at", -kFar, kFar));
        } else if (name == "home" || name == "near_home") {
            const std::int32_t from = static_cast<std::int32_t>(IntArg(args, "from", -kFar, kFar));
            const std::int32_t to = static_cast<std::int32_t>(IntArg(args, "to", from, kFar));
            (name == "home" ? m.homeFrom : m.nearHomeFrom) = from;
            (name == "home" ? m.homeTo : m.nearHomeTo) = to;
        } else {
            SwitchBit(name); // says what is wrong
        }
        module.SetMachine(axis, m);
        return Json{{"machine", MachineJson(module.Machine(axis))}};
    }
    if (cmd == "drive_alarm") {
        VirtualModule& module = ModuleAt(args);
        const int axis = AxisIndex(args);
        module.SetDriveAlarm(axis, BoolArg(args, "on"));
        return Json::object();
    }
    if (cmd == "jog") {
        VirtualModule& module = ModuleAt(args);
        const int axis = AxisIndex(args);
        const int direction = static_cast<int>(IntArg(args, "direction", -1, 1));
        // Releasing a button is never refused; pressing one does nothing
        // unless the program set the axis for jog buttons.
        const ExternalDrive mode = module.Snapshot().externalDrive[axis];
        if (direction != 0 && mode != ExternalDrive::FixedPulse && mode != ExternalDrive::Continuous) {
            throw Failure("no_external_drive", NoJogWhy(axis, mode, "jog buttons"));
        }
        module.PressJog(axis, direction);
        return Json::object();
    }
    if (cmd == "handwheel") {
        VirtualModule& module = ModuleAt(args);
        const int axis = AxisIndex(args);
        const auto counts = static_cast<std::int32_t>(IntArg(args, "counts", -1000000, 1000000));
        const ExternalDrive mode = module.Snapshot().externalDrive[axis];
        if (counts != 0 && mode != ExternalDrive::Handwheel) {
            throw Failure("no_external_drive", NoJogWhy(axis, mode, "the handwheel"));
        }
        module.TurnHandwheel(axis, counts);
        return Json::object();
    }
    if (cmd == "remote_input") {
        VirtualModule& module = ModuleAt(args);
        const auto port = static_cast<std::uint8_t>(IntArg(args, "port", 0, 255));
        module.SetRemoteInput(port, static_cast<std::uint16_t>(IntArg(args, "word", 0, 0xFFFF)));
        return Json::object();
    }
    if (cmd == "latch") {
        VirtualModule& module = ModuleAt(args);
        const int axis = AxisIndex(args);
        module.SetLatch(axis, static_cast<std::int32_t>(IntArg(args, "value", INT32_MIN, INT32_MAX)));
        return Json::object();
    }
    if (cmd == "pause" || cmd == "resume" || cmd == "speed") {
        std::vector<VirtualModule*> modules;
        if (Has(args, "slot")) {
            modules.push_back(&ModuleAt(args));
        } else {
            for (const auto& entry : plugs_) {
                modules.push_back(entry.second.module);
            }
        }
        const double scale = cmd == "speed" ? NumberArg(args, "scale", 1e-9, 1000, -1) : 0;
        if (cmd == "speed" && scale < 0) {
            throw Failure("bad_argument", "scale is missing");
        }
        for (VirtualModule* m : modules) {
            NeedsRunningClock(*m);
        }
        Json clocks = Json::array();
        for (VirtualModule* m : modules) {
            if (cmd == "speed") {
                m->SetTimeScale(scale);
            } else {
                m->PauseClock(cmd == "pause");
            }
            const ModuleSnapshot s = m->Snapshot();
            clocks.push_back(ClockJson(s.slot, s.clock));
        }
        return Json{{"clocks", clocks}};
    }
    if (cmd == "step") {
        VirtualModule& module = ModuleAt(args);
        const int steps = static_cast<int>(IntArg(args, "steps", 1, kMaxSteps, 1));
        NeedsRunningClock(module);
        if (!module.Clock().paused) {
            throw Failure("not_paused", "pause the module's clock before stepping it");
        }
        module.StepClock(steps);
        return Json{{"time", module.Now()}};
    }
    if (cmd == "scope_arm" || cmd == "scope_stop" || cmd == "scope_read") {
        VirtualModule& module = ModuleAt(args);
        const auto slot = static_cast<std::uint8_t>(args.at("slot").get<int>());
        if (cmd == "scope_arm") {
            ScopeSettings settings;
            std::string error;
            if (!ParseScopeSettings(StringArg(args, "settings", ""), settings, error)) {
                throw Failure("bad_argument", "settings: " + error);
            }
            if (!module.StartScope(settings)) {
                throw Failure("bad_argument", "settings: the module cannot record with these");
            }
            scopeLeft_.erase(slot);
        } else if (cmd == "scope_stop") {
            module.StopScope();
        } else {
            const std::size_t max = static_cast<std::size_t>(IntArg(args, "max", 1, kMaxRead, 5000));
            std::deque<ScopeSample>& left = scopeLeft_[slot];
            if (left.size() < max) {
                for (const ScopeSample& s : module.TakeScope()) {
                    left.push_back(s);
                }
            }
            Json samples = Json::array();
            while (!left.empty() && samples.size() < max) {
                samples.push_back(SampleJson(left.front()));
                left.pop_front();
            }
            return Json{{"state", ScopeStateJson(module.GetScopeState())},
                        {"samples", samples},
                        {"more", !left.empty() || module.GetScopeState().waiting > 0}};
        }
        return Json{{"state", ScopeStateJson(module.GetScopeState())}};
    }
    if (cmd == "trail_read") {
        Tap* tap = nullptr;
        ModuleAt(args, &tap);
        const double since = NumberArg(args, "since", -1e300, 1e300, -1);
        const std::size_t max = static_cast<std::size_t>(IntArg(args, "max", 1, kMaxRead, 10000));
        return tap->Trail(since, max);
    }
    throw Failure("unknown_command", "no command " + Dump(Json(cmd)));
}

void Core::HandleLine(Client& client, const std::string& line)
{
    if (line.empty()) {
        return;
    }
    Json id;
    bool subscribed = false;
    try {
        const Request request = ParseRequest(line, id);
        Json result;
        {
            auto hold = detail::LockRegistry();
            result = Dispatch(client, request);
            Tap* tap = nullptr;
            if (ChangesMachine(request.cmd)) {
                ModuleAt(request.args, &tap);
                tap->Touch();
            }
        }
        Append(client, ReplyLine(id, result));
        subscribed = request.cmd == "subscribe";
    } catch (const Failure& f) {
        Append(client, ErrorLine(id, f.code, f.what()));
    } catch (const std::exception& e) {
        Append(client, ErrorLine(id, "internal", e.what()));
    }
    if (subscribed) {
        SendFirstSamples(client);
    }
    if (client.Pending() > kHardQueue) {
        client.dead = true; // it asks and does not read
    }
}

} // namespace monitor
} // namespace velkor_sim
