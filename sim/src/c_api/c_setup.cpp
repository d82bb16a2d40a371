// The C setup calls over the VirtualModule.
#include "velkor_sim/velkor_sim.h"
#include "velkor_sim/virtual_module.h"

struct VelkorSimModule {
    velkor_sim::VirtualModule module;
    explicit VelkorSimModule(const velkor_sim::ModuleOptions& options) : module(options) {}
};

extern "C" {

VelkorSimModule* VelkorSim_Plug(uint8_t slot, double time_scale)
{
    velkor_sim::ModuleOptions options;
    options.clock = velkor_sim::ClockKind::RealTime;
    options.timeScale = time_scale > 0 ? time_scale : 1.0;
    auto* handle = new VelkorSimModule(options);
    if (!handle->module.PlugInto(slot)) {
        delete handle;
        return nullptr;
    }
    return handle;
}

void VelkorSim_Unplug(VelkorSimModule* module) { delete module; }

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
