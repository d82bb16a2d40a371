// The C API (velkor_sim.h) over the VirtualModule: making and plugging
// modules, their clock, axes, inputs and counters. The trail, the log and the
// scope are read in c_records.cpp, the machine around the axes is set in
// c_machine.cpp, the macro programs in c_programs.cpp and scenarios in
// c_scenarios.cpp.
#include "c_api/c_layouts.h"
#include "c_api/c_module.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string>

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
    auto* handle = new VelkorSimModule(options);
    LiveHandles::Add(handle);
    return handle;
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
        VelkorSim_Unplug(handle);
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

void VelkorSim_Unplug(VelkorSimModule* module)
{
    // A handle unplugged already (or never made here) is left alone.
    if (LiveHandles::Remove(module)) {
        delete module;
    }
}

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

int VelkorSim_GetAxisSized(const VelkorSimModule* module, int axis_index, VelkorSimAxis* out, size_t size)
{
    using namespace velkor_sim::c_layouts;
    if (module == nullptr || out == nullptr || axis_index < 0 || axis_index >= velkor_sim::kAxisCount ||
        NewestThatFits(size, kAxisLayouts) == 0) {
        return 0;
    }
    const velkor_sim::AxisStatus a = module->module.Axis(axis_index);
    VelkorSimAxis whole;
    std::memset(&whole, 0, sizeof whole); // no stray bytes in the padding either
    whole.lp = a.lp;
    whole.ep = a.ep;
    whole.speed = a.speed;
    whole.acceleration = a.acceleration;
    whole.driving = static_cast<uint8_t>(a.driving ? 1 : 0);
    whole.error_code = a.errorCode;
    whole.inputs = a.inputs;
    whole.machine = a.machine;
    whole.motor = a.motor;
    whole.following_error = a.followingError;
    whole.latch = a.latch;
    whole.outputs = a.outputs;
    return WritePrefix(whole, out, size, kAxisLayouts) ? 1 : 0;
}

int(VelkorSim_GetAxis)(const VelkorSimModule* module, int axis_index, VelkorSimAxis* out)
{
    return VelkorSim_GetAxisSized(module, axis_index, out, sizeof(velkor_sim::c_layouts::AxisFirst));
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

} // extern "C"
