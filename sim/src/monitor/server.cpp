// The monitor's server (server.h): requests, subscriptions, distribution and
// the thread that serves the endpoint.
#include "monitor/server.h"

#include "velkor_sim/module_list.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <thread>
#include <cmath>
#include <cstdio>

namespace velkor_sim {
namespace monitor {
namespace {

constexpr double kTokenSeconds = 5;
// The server thread goes round at most this often: what the modules queued
// meanwhile goes out together, so that samples of seven modules at 1 kHz
// cost a few hundred rounds a second, not thousands.
constexpr std::chrono::microseconds kRound{2000};
constexpr int kMaxSteps = 100000;
constexpr std::size_t kMaxRead = 100000;

std::uint8_t SlotBit(std::uint8_t slot) { return static_cast<std::uint8_t>(1u << slot); }

std::uint32_t EventBit(Record::Kind kind)
{
    switch (kind) {
    case Record::Kind::Interrupt: return event::kInterrupt;
    case Record::Kind::Errors: return event::kErrors;
    case Record::Kind::Program: return event::kProgram;
    case Record::Kind::Packet: return event::kPacket;
    case Record::Kind::Failure: return event::kFailure;
    case Record::Kind::Clock: return event::kClock;
    case Record::Kind::Module: return event::kModule;
    case Record::Kind::Sample: break;
    }
    return 0;
}

std::string Dump(const Json& j) { return j.dump(-1, ' ', false, Json::error_handler_t::replace); }

// A line with "lost":0 in it, and where that 0 is, so that each client's
// count goes in (most often 0: the line as it is).
struct LostLine {
    std::string text; // with the newline
    std::size_t at = 0;
};

LostLine WithLost(std::string line)
{
    static const std::string kLost = "\"lost\":0";
    LostLine l;
    l.at = line.find(kLost) + kLost.size() - 1;
    l.text = std::move(line);
    l.text += '\n';
    return l;
}

void AppendLost(std::string& out, const LostLine& line, std::uint64_t lost)
{
    if (lost == 0) {
        out += line.text;
        return;
    }
    out.append(line.text, 0, line.at);
    out += std::to_string(lost);
    out.append(line.text, line.at + 1, std::string::npos);
}

// A sample line, written by hand: thousands of them a second.
class Writer {
public:
    void Text(const char* text) { out_.append(text); }
    template <typename T>
    void Int(T value)
    {
        char digits[24];
        const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
        out_.append(digits, end);
    }
    void Fixed(double value, int decimals)
    {
        char digits[64];
        const auto done = std::to_chars(digits, digits + sizeof digits, std::isfinite(value) ? value : 0.0,
                                        std::chars_format::fixed, decimals);
        out_.append(digits, done.ec == std::errc() ? done.ptr : digits);
    }
    std::string Take() { return std::move(out_); }

private:
    std::string out_;
};

LostLine SampleLine(const Record& r)
{
    Writer w;
    w.Text("{\"type\":\"sample\",\"slot\":");
    w.Int(unsigned(r.slot));
    w.Text(",\"time\":");
    w.Fixed(r.time, 6);
    w.Text(",\"mono\":");
    w.Fixed(r.mono, 6);
    w.Text(",\"seq\":");
    w.Int(r.seq);
    w.Text(",\"lost\":0,\"axes\":[");
    for (int i = 0; i < kAxisCount; ++i) {
        const SampleAxis& a = r.axes[i];
        w.Text(i == 0 ? "{\"lp\":" : ",{\"lp\":");
        w.Int(a.lp);
        w.Text(",\"ep\":");
        w.Int(a.ep);
        w.Text(",\"speed\":");
        w.Fixed(a.speed, 3);
        w.Text(a.driving ? ",\"driving\":true,\"error_code\":" : ",\"driving\":false,\"error_code\":");
        w.Int(unsigned(a.errorCode));
        w.Text(",\"inputs\":");
        w.Int(unsigned(a.inputs));
        w.Text(",\"outputs\":");
        w.Int(unsigned(a.outputs));
        w.Text("}");
    }
    w.Text("],\"buffer\":");
    w.Int(r.buffer);
    w.Text("}");
    return WithLost(w.Take());
}

void Deliver(Client& c, const LostLine& line, std::uint64_t lost)
{
    if (c.file != nullptr) {
        std::string text;
        AppendLost(text, line, lost);
        *c.file << text;
        return;
    }
    AppendLost(c.out, line, lost);
}

void Append(Client& c, const std::string& text)
{
    if (c.file != nullptr) {
        *c.file << text;
        return;
    }
    c.out += text;
}

} // namespace

Core::Core() = default;

Core::~Core()
{
    Stop();
    Detach();
}

void Core::Attach()
{
    if (!attached_) {
        attached_ = true;
        detail::SetPlugListener(this);
    }
}

void Core::Detach()
{
    if (!attached_) {
        return;
    }
    {
        auto hold = detail::LockRegistry();
        for (auto& entry : plugs_) {
            entry.second.module->RemoveObserver(entry.second.tap.get());
        }
        plugs_.clear();
        attached_ = false;
    }
    detail::SetPlugListener(nullptr);
}

void Core::Plugged(VirtualModule& module, std::uint8_t slot)
{
    if (!attached_ || slot >= kSlots) {
        return;
    }
    auto tap = std::make_shared<Tap>(slot, module.Clock().step, waker_);
    tap->period = slotPeriod_[slot];
    tap->events = slotEvents_[slot];
    module.AddObserver(tap.get());
    plugs_[slot] = Plug{&module, tap};
    Record r;
    r.kind = Record::Kind::Module;
    r.slot = slot;
    r.time = module.Now();
    r.plugged = true;
    {
        std::lock_guard<std::mutex> hold(pendingMutex_);
        pending_.push_back(r);
    }
    waker_.Wake();
}

void Core::Unplugged(VirtualModule& module, std::uint8_t slot)
{
    const auto found = plugs_.find(slot);
    if (found == plugs_.end() || found->second.module != &module) {
        return;
    }
    module.RemoveObserver(found->second.tap.get());
    std::vector<Record> last;
    std::uint64_t lostSamples = 0, lostEvents = 0;
    found->second.tap->Take(last, lostSamples, lostEvents);
    Record r;
    r.slot = slot;
    r.time = module.Now();
    r.kind = Record::Kind::Failure;
    r.reason = 2;
    last.push_back(r);
    r.kind = Record::Kind::Module;
    r.plugged = false;
    last.push_back(r);
    plugs_.erase(found);
    scopeLeft_.erase(slot);
    {
        std::lock_guard<std::mutex> hold(pendingMutex_);
        pending_.insert(pending_.end(), last.begin(), last.end());
    }
    waker_.Wake();
}

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

void Core::Resubscribe()
{
    for (int slot = 1; slot < kSlots; ++slot) {
        double period = 0;
        std::uint32_t events = 0;
        for (const auto& c : clients_) {
            if (c->dead || !(c->slots & SlotBit(static_cast<std::uint8_t>(slot)))) {
                continue;
            }
            if (c->period > 0 && (period == 0 || c->period < period)) {
                period = c->period;
            }
            events |= c->events;
        }
        slotPeriod_[slot] = period;
        slotEvents_[slot] = events;
        const auto found = plugs_.find(static_cast<std::uint8_t>(slot));
        if (found != plugs_.end()) {
            found->second.tap->period = period;
            found->second.tap->events = events;
        }
    }
}

namespace {

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

} // namespace

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
        double smallestStep = 1;
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
        module.PressJog(axis, static_cast<int>(IntArg(args, "direction", -1, 1)));
        return Json::object();
    }
    if (cmd == "handwheel") {
        VirtualModule& module = ModuleAt(args);
        const int axis = AxisIndex(args);
        module.TurnHandwheel(axis, static_cast<std::int32_t>(IntArg(args, "counts", -1000000, 1000000)));
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
                throw Failure("refused", "the module refused the scope settings");
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

void Core::SendFirstSamples(Client& client)
{
    if (client.period <= 0) {
        return;
    }
    std::vector<Record> first;
    {
        auto hold = detail::LockRegistry();
        for (const auto& entry : plugs_) {
            if (!(client.slots & SlotBit(entry.first))) {
                continue;
            }
            const ModuleSnapshot s = entry.second.module->Snapshot();
            Record r;
            r.slot = entry.first;
            r.time = s.time;
            r.mono = MonotonicSeconds();
            r.seq = s.steps;
            r.halfStep = s.clock.step / 2;
            for (int i = 0; i < kAxisCount; ++i) {
                const AxisStatus& a = s.axes[i];
                r.axes[i] = SampleAxis{a.lp, a.ep, a.speed, static_cast<std::uint16_t>(a.errorCode | s.moduleErrors),
                                       a.inputs, s.outputs[i], a.driving};
            }
            r.buffer = static_cast<std::uint32_t>(s.bufferedSegments);
            first.push_back(r);
        }
    }
    for (const Record& r : first) {
        Deliver(client, SampleLine(r), client.lostSamples[r.slot]);
        client.lostSamples[r.slot] = 0;
        client.nextSample[r.slot] = r.time + client.period - r.halfStep;
    }
}

std::string Core::RecordLine(const Record& r)
{
    Json j{{"type", "event"}};
    const char* names[] = {"sample", "interrupt", "errors", "program", "packet", "failure", "clock", "module"};
    j["event"] = names[static_cast<int>(r.kind)];
    j["slot"] = r.slot;
    j["time"] = r.time;
    j["lost"] = 0;
    switch (r.kind) {
    case Record::Kind::Interrupt:
        j["factors"] = r.factors;
        j["names"] = FactorNames(r.factors);
        j["code"] = r.code;
        break;
    case Record::Kind::Errors: {
        j["axis"] = r.axis + 1;
        j["before"] = r.before;
        j["after"] = r.after;
        j["set"] = ErrorNames(static_cast<std::uint16_t>(r.after & ~r.before));
        j["cleared"] = ErrorNames(static_cast<std::uint16_t>(r.before & ~r.after));
        break;
    }
    case Record::Kind::Program: {
        j["running"] = r.run.running;
        j["debugging"] = r.run.debugging;
        j["paused"] = r.run.paused;
        j["program"] = r.run.program;
        j["step"] = r.run.step;
        std::string text;
        const auto found = plugs_.find(r.slot);
        if (r.run.running && found != plugs_.end()) {
            const std::vector<MacroStep> steps = found->second.module->MacroProgram(r.run.program);
            if (r.run.step < steps.size()) {
                text = DescribeStep(steps[r.run.step]);
            }
        }
        j["text"] = text;
        break;
    }
    case Record::Kind::Packet: {
        const std::string text = Describe(r.entry);
        j["sequence"] = r.entry.sequence;
        j["code"] = r.entry.code;
        j["name"] = CodeName(r.entry.code, LogEntry::Kind::Packet);
        j["fields"] = PacketFields(text);
        j["text"] = text;
        break;
    }
    case Record::Kind::Failure:
        j["reason"] = r.reason == 0 ? "busy" : r.reason == 1 ? "program_fault" : "unplugged";
        j["message"] = r.reason == 0   ? "the module stopped answering (busy)"
                       : r.reason == 1 ? "a program run ended on a fault: " + Dump(ErrorNames(r.after))
                                       : "the module was unplugged";
        break;
    case Record::Kind::Clock: j["clock"] = ClockJson(r.slot, r.clock); break;
    case Record::Kind::Module: j["plugged"] = r.plugged; break;
    case Record::Kind::Sample: break;
    }
    return Dump(j);
}

void Core::Distribute(std::vector<std::unique_ptr<Client>>& clients)
{
    struct Out {
        Record::Kind kind;
        std::uint8_t slot;
        double time;
        double halfStep;
        LostLine line;
    };
    std::vector<Out> lines;
    std::array<std::uint64_t, kSlots> tapLostSamples{};
    std::uint64_t tapLostEvents = 0;
    {
        std::vector<Record>& records = taken_; // kept, with its room, from round to round
        records.clear();
        {
            std::lock_guard<std::mutex> hold(pendingMutex_);
            records.insert(records.end(), pending_.begin(), pending_.end());
            pending_.clear();
        }
        auto hold = detail::LockRegistry();
        for (auto& entry : plugs_) {
            std::uint64_t lostSamples = 0, lostEvents = 0;
            entry.second.tap->Take(records, lostSamples, lostEvents);
            tapLostSamples[entry.first] += lostSamples;
            tapLostEvents += lostEvents;
        }
        lines.reserve(records.size());
        for (const Record& r : records) {
            lastTime_ = std::max(lastTime_, r.time);
            lines.push_back(Out{r.kind, r.slot, r.time, r.halfStep,
                                r.kind == Record::Kind::Sample ? SampleLine(r) : WithLost(RecordLine(r))});
        }
    }
    for (auto& c : clients) {
        if (c->dead || !c->authenticated) {
            continue;
        }
        for (int s = 1; s < kSlots; ++s) {
            if (c->period > 0 && (c->slots & SlotBit(static_cast<std::uint8_t>(s)))) {
                c->lostSamples[s] += tapLostSamples[s];
            }
        }
        if (c->events != 0) {
            c->lostEvents += tapLostEvents;
        }
        for (const Out& o : lines) {
            if (!(c->slots & SlotBit(o.slot)) && o.kind != Record::Kind::Module) {
                continue;
            }
            const bool full = c->file == nullptr && c->Pending() >= kSoftQueue;
            if (o.kind == Record::Kind::Sample) {
                if (c->period <= 0 || o.time < c->nextSample[o.slot]) {
                    continue;
                }
                c->nextSample[o.slot] = o.time + c->period - o.halfStep;
                if (full) {
                    ++c->lostSamples[o.slot];
                    continue;
                }
                Deliver(*c, o.line, c->lostSamples[o.slot]);
                c->lostSamples[o.slot] = 0;
            } else {
                if (!(c->events & EventBit(o.kind))) {
                    continue;
                }
                if (full) {
                    ++c->lostEvents;
                    continue;
                }
                Deliver(*c, o.line, c->lostEvents);
                c->lostEvents = 0;
            }
        }
    }
}

bool Core::Start(const MonitorOptions& options, std::string& error)
{
    if (!waker_.Open()) {
        error = "cannot make the monitor's wake-up pair";
        return false;
    }
    if (!options.path.empty() && !OpenEndpoint(options.path, endpoint_, error)) {
        return false;
    }
    if (!options.recordFile.empty()) {
        if (!(options.recordRate > 0)) {
            error = "the record rate must be more than 0";
            CloseEndpoint(endpoint_);
            return false;
        }
        recordFile_ = std::make_unique<std::ofstream>(options.recordFile, std::ios::trunc);
        if (!*recordFile_) {
            error = "cannot write " + options.recordFile;
            recordFile_.reset();
            CloseEndpoint(endpoint_);
            return false;
        }
        auto recorder = std::make_unique<Client>();
        recorder->file = recordFile_.get();
        recorder->period = 1 / options.recordRate;
        recorder->events = event::kAll;
        clients_.push_back(std::move(recorder));
    }
    Attach();
    {
        auto hold = detail::LockRegistry();
        Resubscribe();
        if (recordFile_ != nullptr) {
            Json modules = Json::array();
            for (const auto& entry : plugs_) {
                modules.push_back(ModuleJson(entry.second.module->Snapshot()));
            }
            *recordFile_ << Dump(Json{{"type", "session"},
                                      {"protocol", "velkor-monitor"},
                                      {"version", kVersion},
                                      {"rate", options.recordRate},
                                      {"pid", ProcessId()},
                                      {"modules", modules}})
                         << '\n';
        }
    }
    thread_ = std::thread([this] { Run(); });
    return true;
}

void Core::Stop()
{
    if (!thread_.joinable()) {
        return;
    }
    quit_ = true;
    waker_.WakeAlways();
    thread_.join();
    Distribute(clients_);
    FinishRecord();
    for (auto& c : clients_) {
        CloseSocket(c->socket);
    }
    clients_.clear();
    CloseEndpoint(endpoint_);
    Detach();
}

void Core::FinishRecord()
{
    if (recordFile_ == nullptr) {
        return;
    }
    {
        auto hold = detail::LockRegistry();
        for (const auto& entry : plugs_) {
            const ModuleSnapshot s = entry.second.module->Snapshot();
            lastTime_ = std::max(lastTime_, s.time);
            Json status = StatusJson(s);
            Json line{{"type", "status"}};
            line.update(status);
            *recordFile_ << Dump(line) << '\n';
        }
    }
    *recordFile_ << Dump(Json{{"type", "end"}, {"time", lastTime_}}) << '\n';
    recordFile_->flush();
}

void Core::Accept()
{
    for (;;) {
        const Socket s = AcceptClient(endpoint_.listener);
        if (s == kNoSocket) {
            return;
        }
        std::size_t connected = 0;
        for (const auto& c : clients_) {
            connected += c->file == nullptr ? 1 : 0;
        }
        if (connected >= kMaxClients) {
            const std::string bye = "{\"type\":\"bye\",\"reason\":\"too_many_clients\"}\n";
            SendSome(s, bye.data(), bye.size());
            CloseSocket(s);
            continue;
        }
        auto c = std::make_unique<Client>();
        c->socket = s;
        c->connectedAt = MonotonicSeconds();
        c->authenticated = endpoint_.token.empty();
        if (c->authenticated) {
            auto hold = detail::LockRegistry();
            Append(*c, Dump(Greeting(Slots())) + "\n");
        }
        clients_.push_back(std::move(c));
    }
}

void Core::Serve(Client& c)
{
    char buffer[16384];
    for (int reads = 0; reads < 16 && !c.dead; ++reads) {
        const long n = ReceiveSome(c.socket, buffer, sizeof buffer);
        if (n == -1) {
            break;
        }
        if (n <= 0) {
            c.dead = true; // closed, even mid-line, or failed
            break;
        }
        c.in.Append(buffer, static_cast<std::size_t>(n));
        std::string line;
        while (!c.dead && c.in.Next(line)) {
            if (!c.authenticated) {
                if (line != endpoint_.token) {
                    c.dead = true;
                    break;
                }
                c.authenticated = true;
                auto hold = detail::LockRegistry();
                Append(c, Dump(Greeting(Slots())) + "\n");
                continue;
            }
            HandleLine(c, line);
        }
        if (c.in.Overflowed()) {
            Append(c, ErrorLine(nullptr, "line_too_long",
                                "a line may be at most " + std::to_string(kMaxLine) + " bytes"));
            c.closing = true;
            break;
        }
    }
}

namespace {

void Flush(Client& c)
{
    while (!c.dead && c.Pending() > 0) {
        const long n = SendSome(c.socket, c.out.data() + c.outSent, c.Pending());
        if (n < 0) {
            c.dead = true;
        } else if (n == 0) {
            break;
        } else {
            c.outSent += static_cast<std::size_t>(n);
        }
    }
    if (c.Pending() == 0) {
        c.out.clear();
        c.outSent = 0;
        if (c.closing) {
            c.dead = true;
        }
    } else if (c.outSent > (64u << 10)) {
        c.out.erase(0, c.outSent);
        c.outSent = 0;
    }
}

} // namespace

void Core::Run()
{
    std::vector<PollItem> items;
    auto lastRound = std::chrono::steady_clock::now();
    while (!quit_.load()) {
        const auto sinceRound = std::chrono::steady_clock::now() - lastRound;
        if (sinceRound < kRound) {
            std::this_thread::sleep_for(kRound - sinceRound);
        }
        lastRound = std::chrono::steady_clock::now();
        items.clear();
        PollItem wake;
        wake.socket = waker_.Reader();
        items.push_back(wake);
        if (endpoint_.listener != kNoSocket) {
            PollItem l;
            l.socket = endpoint_.listener;
            items.push_back(l);
        }
        bool waitingForToken = false;
        for (const auto& c : clients_) {
            if (c->file != nullptr) {
                continue;
            }
            PollItem p;
            p.socket = c->socket;
            p.wantWrite = c->Pending() > 0;
            items.push_back(p);
            waitingForToken = waitingForToken || !c->authenticated;
        }
        if (!PollSockets(items, waitingForToken ? 500 : -1)) {
            break;
        }
        if (quit_.load()) {
            break;
        }
        if (items[0].readable) {
            waker_.Drain();
        }
        Distribute(clients_);
        if (endpoint_.listener != kNoSocket && items[1].readable) {
            Accept();
        }
        const double now = MonotonicSeconds();
        bool gone = false;
        for (auto& c : clients_) {
            if (c->file != nullptr) {
                continue;
            }
            if (!c->closing) {
                Serve(*c);
            }
            if (!c->authenticated && now - c->connectedAt > kTokenSeconds) {
                c->dead = true;
            }
            Flush(*c);
            if (c->Pending() > kHardQueue) {
                c->dead = true;
            }
            gone = gone || c->dead;
        }
        if (gone) {
            for (auto& c : clients_) {
                if (c->dead) {
                    CloseSocket(c->socket);
                }
            }
            clients_.erase(std::remove_if(clients_.begin(), clients_.end(),
                                          [](const std::unique_ptr<Client>& c) { return c->dead; }),
                           clients_.end());
            auto hold = detail::LockRegistry();
            Resubscribe();
        }
        if (recordFile_ != nullptr) {
            recordFile_->flush();
        }
    }
}

} // namespace monitor
} // namespace velkor_sim
