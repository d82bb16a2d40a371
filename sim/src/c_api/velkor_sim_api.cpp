// The C API (velkor_sim.h) over the VirtualModule. A handle keeps what a
// partial take left over, so that C callers can read the trail, the log and
// the scope in pieces of the size they choose.
#include "c_api/c_module.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <fstream>
#include <string>

namespace {

using velkor_sim::VirtualModule;

// Refills `queue` from `take` and moves up to `capacity` of its oldest items
// out through `convert`.
template <typename Item, typename Out, typename Take, typename Convert>
size_t TakeSome(VelkorSimModule* m, std::deque<Item> VelkorSimModule::*leftover, Out* out, size_t capacity, Take take,
                Convert convert)
{
    if (m == nullptr || (out == nullptr && capacity > 0)) {
        return 0;
    }
    std::lock_guard<std::mutex> hold(m->leftovers);
    std::deque<Item>& queue = m->*leftover;
    for (auto& item : take(m->module)) {
        queue.push_back(item);
    }
    const size_t n = std::min(capacity, queue.size());
    for (size_t i = 0; i < n; ++i) {
        out[i] = convert(queue.front());
        queue.pop_front();
    }
    return n;
}

velkor_sim::LogEntry ToEntry(const VelkorSimLogEntry& e)
{
    velkor_sim::LogEntry entry;
    entry.kind = e.kind == VELKOR_SIM_LOG_EXCHANGE ? velkor_sim::LogEntry::Kind::Exchange
                                                   : velkor_sim::LogEntry::Kind::Packet;
    entry.sequence = e.sequence;
    entry.code = e.code;
    std::memcpy(entry.bytes.data(), e.bytes, sizeof e.bytes);
    std::memcpy(entry.registers.data(), e.registers, sizeof e.registers);
    entry.time = e.time;
    return entry;
}

VelkorSimScopeSample ToSample(const velkor_sim::ScopeSample& s)
{
    VelkorSimScopeSample out{};
    out.time = s.time;
    for (int i = 0; i < 4; ++i) {
        const velkor_sim::ScopeAxisSample& a = s.axes[i];
        out.axes[i] = VelkorSimScopeAxis{a.lp,       a.ep,           a.speed,   a.inputs, a.velocity,
                                         a.acceleration, a.followingError, a.outputs, a.latch};
    }
    out.path_speed = s.pathSpeed;
    return out;
}

} // namespace

extern "C" {

// ---- Modules ----

void VelkorSim_DefaultOptions(VelkorSimOptions* options)
{
    if (options == nullptr) {
        return;
    }
    const velkor_sim::ModuleOptions d;
    *options = VelkorSimOptions{};
    options->size = sizeof(VelkorSimOptions);
    options->id = d.id;
    options->clock = VELKOR_SIM_CLOCK_MANUAL;
    options->keep_trail = d.keepTrail ? 1 : 0;
    options->keep_log = d.keepLog ? 1 : 0;
    options->time_scale = d.timeScale;
    options->take_latency_us = static_cast<uint32_t>(d.takeLatency.count());
    options->step_us = static_cast<uint32_t>(d.step.count());
    options->firmware_version = d.firmwareVersion;
    options->sprint_scale = d.sprintScale;
    options->buffer_segments = static_cast<uint32_t>(d.bufferSegments);
}

VelkorSimModule* VelkorSim_Create(const VelkorSimOptions* given)
{
    VelkorSimOptions o;
    VelkorSim_DefaultOptions(&o);
    if (given != nullptr) {
        // A caller built against an older header passes a shorter struct.
        std::memcpy(&o, given, std::min<size_t>(given->size, sizeof o));
        o.size = sizeof o;
    }
    if ((o.id != 'D' && o.id != 'U') || o.clock > VELKOR_SIM_CLOCK_FAST || !(o.time_scale > 0) ||
        o.time_scale > 1e6 || o.step_us == 0 || !(o.sprint_scale >= o.time_scale) || o.sprint_scale > 1e6 ||
        o.buffer_segments == 0) {
        return nullptr;
    }
    velkor_sim::ModuleOptions options;
    options.id = o.id;
    options.clock = o.clock == VELKOR_SIM_CLOCK_FAST        ? velkor_sim::ClockKind::Fast
                    : o.clock == VELKOR_SIM_CLOCK_REAL_TIME ? velkor_sim::ClockKind::RealTime
                                                            : velkor_sim::ClockKind::Manual;
    options.timeScale = o.time_scale;
    options.sprintScale = o.sprint_scale;
    options.bufferSegments = o.buffer_segments;
    options.takeLatency = std::chrono::microseconds(o.take_latency_us);
    options.step = std::chrono::microseconds(o.step_us);
    options.firmwareVersion = o.firmware_version;
    options.keepTrail = o.keep_trail != 0;
    options.keepLog = o.keep_log != 0;
    return new VelkorSimModule(options);
}

int VelkorSim_PlugInto(VelkorSimModule* module, uint8_t slot)
{
    return module != nullptr && module->module.PlugInto(slot) ? 1 : 0;
}

namespace {

VelkorSimModule* CreateAndPlug(const VelkorSimOptions& o, uint8_t slot)
{
    VelkorSimModule* handle = VelkorSim_Create(&o);
    if (handle != nullptr && !handle->module.PlugInto(slot)) {
        delete handle;
        return nullptr;
    }
    return handle;
}

} // namespace

VelkorSimModule* VelkorSim_Plug(uint8_t slot, double time_scale)
{
    VelkorSimOptions o;
    VelkorSim_DefaultOptions(&o);
    o.clock = VELKOR_SIM_CLOCK_REAL_TIME;
    o.time_scale = time_scale > 0 ? time_scale : 1.0;
    return CreateAndPlug(o, slot);
}

VelkorSimModule* VelkorSim_PlugFast(uint8_t slot)
{
    VelkorSimOptions o;
    VelkorSim_DefaultOptions(&o);
    o.clock = VELKOR_SIM_CLOCK_FAST;
    return CreateAndPlug(o, slot);
}

void VelkorSim_Unplug(VelkorSimModule* module) { delete module; }

// ---- Clock and mailbox ----

void VelkorSim_Advance(VelkorSimModule* module, uint64_t microseconds)
{
    if (module != nullptr) {
        module->module.Advance(std::chrono::microseconds(static_cast<std::int64_t>(
            std::min<uint64_t>(microseconds, static_cast<uint64_t>(INT64_MAX)))));
    }
}

int VelkorSim_AdvanceUntilStopped(VelkorSimModule* module, uint8_t axis_mask, uint64_t limit_us)
{
    if (module == nullptr) {
        return 0;
    }
    const auto limit = std::chrono::microseconds(
        static_cast<std::int64_t>(std::min<uint64_t>(limit_us, static_cast<uint64_t>(INT64_MAX))));
    return module->module.AdvanceUntilStopped(axis_mask, limit) ? 1 : 0;
}

double VelkorSim_Now(const VelkorSimModule* module) { return module != nullptr ? module->module.Now() : 0; }

void VelkorSim_SetBusy(VelkorSimModule* module, int busy)
{
    if (module != nullptr) {
        module->module.SetBusy(busy != 0);
    }
}

void VelkorSim_SetTakeLatency(VelkorSimModule* module, uint32_t microseconds)
{
    if (module != nullptr) {
        module->module.SetTakeLatency(std::chrono::microseconds(microseconds));
    }
}

void VelkorSim_WaitSettled(VelkorSimModule* module)
{
    if (module != nullptr) {
        module->module.WaitSettled();
    }
}

size_t VelkorSim_BufferedSegments(const VelkorSimModule* module)
{
    return module != nullptr ? module->module.BufferedSegments() : 0;
}

// ---- Axes, inputs, latch, outputs, interrupts, stores ----

int VelkorSim_GetAxis(const VelkorSimModule* module, int axis_index, VelkorSimAxis* out)
{
    if (module == nullptr || out == nullptr || axis_index < 0 || axis_index >= velkor_sim::kAxisCount) {
        return 0;
    }
    const velkor_sim::AxisStatus a = module->module.Axis(axis_index);
    *out = VelkorSimAxis{a.lp,        a.ep,     a.speed,   a.acceleration,   static_cast<uint8_t>(a.driving ? 1 : 0),
                         a.errorCode, a.inputs, a.machine, a.motor, a.followingError, a.latch, a.outputs};
    return 1;
}

void VelkorSim_SetInputs(VelkorSimModule* module, int axis_index, uint16_t word)
{
    if (module != nullptr) {
        module->module.SetInputs(axis_index, word);
    }
}

void VelkorSim_SetLatch(VelkorSimModule* module, int axis_index, int32_t value)
{
    if (module != nullptr) {
        module->module.SetLatch(axis_index, value);
    }
}

void VelkorSim_SetRemoteInput(VelkorSimModule* module, uint8_t port, uint16_t word)
{
    if (module != nullptr) {
        module->module.SetRemoteInput(port, word);
    }
}

uint32_t VelkorSim_RemoteOutput(const VelkorSimModule* module, uint8_t port)
{
    return module != nullptr ? module->module.RemoteOutput(port) : 0;
}

void VelkorSim_SetRemoteLoopback(VelkorSimModule* module, int on)
{
    if (module != nullptr) {
        module->module.SetRemoteLoopback(on != 0);
    }
}

uint8_t VelkorSim_Outputs(const VelkorSimModule* module, int axis_index)
{
    return module != nullptr ? module->module.Outputs(axis_index) : 0;
}

void VelkorSim_SetStrict(VelkorSimModule* module, int strict)
{
    if (module != nullptr) {
        module->module.SetStrict(strict != 0);
    }
}

void VelkorSim_RaiseInterrupt(VelkorSimModule* module, uint8_t factors)
{
    if (module != nullptr) {
        module->module.RaiseInterrupt(factors);
    }
}

uint8_t VelkorSim_ByteVariable(const VelkorSimModule* module, uint8_t index)
{
    return module != nullptr ? module->module.ByteVariable(index) : 0;
}

int32_t VelkorSim_LongVariable(const VelkorSimModule* module, uint16_t index)
{
    return module != nullptr ? module->module.LongVariable(index) : 0;
}

uint32_t VelkorSim_MdWord(const VelkorSimModule* module, uint16_t index)
{
    return module != nullptr ? module->module.MdWord(index) : 0;
}

size_t VelkorSim_MacroProgramSteps(const VelkorSimModule* module, uint8_t program)
{
    return module != nullptr ? module->module.MacroProgramSteps(program) : 0;
}

void VelkorSim_SetFirmwareVersion(VelkorSimModule* module, uint32_t version)
{
    if (module != nullptr) {
        module->module.SetFirmwareVersion(version);
    }
}

// ---- Counters and codes ----

void VelkorSim_GetCounters(const VelkorSimModule* module, VelkorSimCounters* out)
{
    if (out == nullptr) {
        return;
    }
    *out = VelkorSimCounters{};
    if (module != nullptr) {
        const velkor_sim::Counters c = module->module.GetCounters();
        *out = VelkorSimCounters{c.packetsTaken, c.exchangesAnswered, c.busReads,    c.busWrites,
                                 c.sequenceGaps, c.droppedPackets,    c.unsimulated, c.packetsHeld};
    }
}

uint64_t VelkorSim_PacketsTaken(const VelkorSimModule* module)
{
    return module != nullptr ? module->module.GetCounters().packetsTaken : 0;
}

uint32_t VelkorSim_SequenceGaps(const VelkorSimModule* module)
{
    return module != nullptr ? module->module.GetCounters().sequenceGaps : 0;
}

uint32_t VelkorSim_DroppedPackets(const VelkorSimModule* module)
{
    return module != nullptr ? module->module.GetCounters().droppedPackets : 0;
}

size_t VelkorSim_Unsimulated(const VelkorSimModule* module, VelkorSimCodeCount* out, size_t capacity)
{
    if (module == nullptr) {
        return 0;
    }
    const auto codes = module->module.Unsimulated();
    size_t i = 0;
    for (const auto& entry : codes) {
        if (i < capacity && out != nullptr) {
            out[i] = VelkorSimCodeCount{entry.first, entry.second};
        }
        ++i;
    }
    return codes.size();
}

const char* VelkorSim_CodeName(uint8_t code)
{
    // Made once, kept for the life of the program: the command's name, or the
    // handshake code's for a code that is only a query or control code.
    static const std::array<std::string, 256> names = [] {
        std::array<std::string, 256> all;
        for (int c = 0; c < 256; ++c) {
            const auto u = static_cast<std::uint8_t>(c);
            all[c] = velkor_sim::CodeName(u, velkor_sim::LogEntry::Kind::Packet);
            if (all[c].compare(0, 5, "code ") == 0) {
                all[c] = velkor_sim::CodeName(u, velkor_sim::LogEntry::Kind::Exchange);
            }
        }
        return all;
    }();
    return names[code].c_str();
}

// ---- Trail and log ----

size_t VelkorSim_TakeTrail(VelkorSimModule* module, VelkorSimTrailPoint* out, size_t capacity)
{
    return TakeSome(
        module, &VelkorSimModule::trail, out,
        capacity, [](VirtualModule& m) { return m.TakeTrail(); },
        [](const velkor_sim::TrailPoint& p) {
            return VelkorSimTrailPoint{p.time, {p.lp[0], p.lp[1], p.lp[2], p.lp[3]}};
        });
}

size_t VelkorSim_TakeLog(VelkorSimModule* module, VelkorSimLogEntry* out, size_t capacity)
{
    return TakeSome(
        module, &VelkorSimModule::log, out,
        capacity, [](VirtualModule& m) { return m.TakeLog(); },
        [](const velkor_sim::LogEntry& e) {
            VelkorSimLogEntry c{};
            c.kind = e.kind == velkor_sim::LogEntry::Kind::Exchange ? VELKOR_SIM_LOG_EXCHANGE : VELKOR_SIM_LOG_PACKET;
            c.sequence = e.sequence;
            c.code = e.code;
            std::memcpy(c.bytes, e.bytes.data(), sizeof c.bytes);
            std::memcpy(c.registers, e.registers.data(), sizeof c.registers);
            c.time = e.time;
            return c;
        });
}

size_t VelkorSim_DescribeLogEntry(const VelkorSimLogEntry* entry, char* text, size_t size)
{
    if (entry == nullptr) {
        if (text != nullptr && size > 0) {
            text[0] = '\0';
        }
        return 0;
    }
    const std::string line = velkor_sim::Describe(ToEntry(*entry));
    if (text != nullptr && size > 0) {
        const size_t n = std::min(size - 1, line.size());
        std::memcpy(text, line.data(), n);
        text[n] = '\0';
    }
    return line.size();
}

// ---- Scope ----

void VelkorSim_DefaultScopeSettings(VelkorSimScopeSettings* settings)
{
    if (settings == nullptr) {
        return;
    }
    const velkor_sim::ScopeSettings d;
    *settings = VelkorSimScopeSettings{};
    settings->period = d.period;
    settings->duration = d.duration;
    settings->capacity = static_cast<uint32_t>(d.capacity);
    settings->pretrigger = static_cast<uint32_t>(d.pretrigger);
    settings->trigger_kind = VELKOR_SIM_TRIGGER_NONE;
    settings->trigger_edge = VELKOR_SIM_EDGE_RISING;
    settings->trigger_axes = d.trigger.axes;
}

int VelkorSim_StartScope(VelkorSimModule* module, const VelkorSimScopeSettings* settings)
{
    if (module == nullptr || settings == nullptr || settings->trigger_kind > VELKOR_SIM_TRIGGER_PATH_START ||
        settings->trigger_edge > VELKOR_SIM_EDGE_EITHER) {
        return 0;
    }
    velkor_sim::ScopeSettings s;
    s.period = settings->period;
    s.duration = settings->duration;
    s.capacity = settings->capacity;
    s.pretrigger = settings->pretrigger;
    s.trigger.kind = static_cast<velkor_sim::TriggerKind>(settings->trigger_kind);
    s.trigger.axis = settings->trigger_axis;
    s.trigger.position = settings->trigger_position;
    s.trigger.input = settings->trigger_input;
    s.trigger.edge = static_cast<velkor_sim::Edge>(settings->trigger_edge);
    s.trigger.axes = settings->trigger_axes;
    if (!module->module.StartScope(s)) {
        return 0;
    }
    std::lock_guard<std::mutex> hold(module->leftovers);
    module->scope.clear();
    return 1;
}

void VelkorSim_StopScope(VelkorSimModule* module)
{
    if (module != nullptr) {
        module->module.StopScope();
    }
}

size_t VelkorSim_TakeScope(VelkorSimModule* module, VelkorSimScopeSample* out, size_t capacity)
{
    return TakeSome(
        module, &VelkorSimModule::scope, out,
        capacity, [](VirtualModule& m) { return m.TakeScope(); }, ToSample);
}

void VelkorSim_GetScopeState(const VelkorSimModule* module, VelkorSimScopeState* out)
{
    if (out == nullptr) {
        return;
    }
    *out = VelkorSimScopeState{};
    if (module != nullptr) {
        const velkor_sim::ScopeState s = module->module.GetScopeState();
        std::lock_guard<std::mutex> hold(module->leftovers);
        *out = VelkorSimScopeState{static_cast<uint8_t>(s.running ? 1 : 0), static_cast<uint8_t>(s.triggered ? 1 : 0),
                                   s.triggerTime, s.taken, s.lost, s.waiting + module->scope.size()};
    }
}

long VelkorSim_WriteScopeCsv(VelkorSimModule* module, uint8_t slot, const char* file)
{
    if (module == nullptr || file == nullptr) {
        return -1;
    }
    std::ofstream out(file, std::ios::binary);
    if (!out) {
        return -1;
    }
    std::vector<velkor_sim::ScopeSample> samples;
    {
        std::lock_guard<std::mutex> hold(module->leftovers);
        samples.assign(module->scope.begin(), module->scope.end());
        module->scope.clear();
    }
    for (const auto& s : module->module.TakeScope()) {
        samples.push_back(s);
    }
    velkor_sim::WriteScopeCsv(out, slot, samples, true);
    out.flush();
    return out ? static_cast<long>(samples.size()) : -1;
}

// ---- The machine around the axes

int VelkorSim_GetMachine(const VelkorSimModule* module, int axis_index, VelkorSimMachineAxis* out)
{
    if (module == nullptr || out == nullptr || axis_index < 0 || axis_index >= velkor_sim::kAxisCount) {
        return 0;
    }
    const velkor_sim::MachineAxis m = module->module.Machine(axis_index);
    out->plus_limit = m.plusLimit;
    out->minus_limit = m.minusLimit;
    out->home_from = m.homeFrom;
    out->home_to = m.homeTo;
    out->near_home_from = m.nearHomeFrom;
    out->near_home_to = m.nearHomeTo;
    out->index_pitch = m.indexPitch;
    out->index_phase = m.indexPhase;
    out->following_time = m.followingTime;
    out->in_position_band = m.inPositionBand;
    out->encoder_ratio = m.encoderRatio;
    out->normally_closed = m.normallyClosed;
    out->natural_frequency = m.naturalFrequency;
    out->damping = m.damping;
    out->dead_time = m.deadTime;
    out->backlash = m.backlash;
    out->encoder_noise = m.encoderNoise;
    out->noise_seed = m.noiseSeed;
    out->following_limit = m.followingLimit;
    return 1;
}

int VelkorSim_SetMachine(VelkorSimModule* module, int axis_index, const VelkorSimMachineAxis* machine)
{
    if (module == nullptr || machine == nullptr || axis_index < 0 || axis_index >= velkor_sim::kAxisCount) {
        return 0;
    }
    velkor_sim::MachineAxis m;
    m.plusLimit = machine->plus_limit;
    m.minusLimit = machine->minus_limit;
    m.homeFrom = machine->home_from;
    m.homeTo = machine->home_to;
    m.nearHomeFrom = machine->near_home_from;
    m.nearHomeTo = machine->near_home_to;
    m.indexPitch = machine->index_pitch;
    m.indexPhase = machine->index_phase;
    m.followingTime = machine->following_time;
    m.inPositionBand = machine->in_position_band;
    m.encoderRatio = machine->encoder_ratio;
    m.normallyClosed = machine->normally_closed;
    m.naturalFrequency = machine->natural_frequency;
    m.damping = machine->damping;
    m.deadTime = machine->dead_time;
    m.backlash = machine->backlash;
    m.encoderNoise = machine->encoder_noise;
    m.noiseSeed = machine->noise_seed;
    m.followingLimit = machine->following_limit;
    module->module.SetMachine(axis_index, m);
    return 1;
}

void VelkorSim_SetDriveAlarm(VelkorSimModule* module, int axis_index, int on)
{
    if (module != nullptr) {
        module->module.SetDriveAlarm(axis_index, on != 0);
    }
}

void VelkorSim_PressJog(VelkorSimModule* module, int axis_index, int direction)
{
    if (module != nullptr) {
        module->module.PressJog(axis_index, direction);
    }
}

void VelkorSim_TurnHandwheel(VelkorSimModule* module, int axis_index, int32_t counts)
{
    if (module != nullptr) {
        module->module.TurnHandwheel(axis_index, counts);
    }
}

} // extern "C"
