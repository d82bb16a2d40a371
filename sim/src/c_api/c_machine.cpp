// The C calls over the machine around a module's axes (velkor_sim.h): its
// switches, drive and encoder, the drive alarm, the jog buttons and the
// handwheel.
#include "c_api/c_layouts.h"
#include "c_api/c_module.h"

namespace {

bool UsableAxis(const VelkorSimModule* module, int axis_index, const void* machine, size_t size)
{
    return module != nullptr && machine != nullptr && axis_index >= 0 && axis_index < velkor_sim::kAxisCount &&
           velkor_sim::c_layouts::NewestThatFits(size, velkor_sim::c_layouts::kMachineLayouts) != 0;
}

VelkorSimMachineAxis ToC(const velkor_sim::MachineAxis& m)
{
    VelkorSimMachineAxis c;
    std::memset(&c, 0, sizeof c); // no stray bytes in the padding either
    c.plus_limit = m.plusLimit;
    c.minus_limit = m.minusLimit;
    c.home_from = m.homeFrom;
    c.home_to = m.homeTo;
    c.near_home_from = m.nearHomeFrom;
    c.near_home_to = m.nearHomeTo;
    c.index_pitch = m.indexPitch;
    c.index_phase = m.indexPhase;
    c.following_time = m.followingTime;
    c.in_position_band = m.inPositionBand;
    c.encoder_ratio = m.encoderRatio;
    c.normally_closed = m.normallyClosed;
    c.natural_frequency = m.naturalFrequency;
    c.damping = m.damping;
    c.dead_time = m.deadTime;
    c.backlash = m.backlash;
    c.encoder_noise = m.encoderNoise;
    c.noise_seed = m.noiseSeed;
    c.following_limit = m.followingLimit;
    return c;
}

velkor_sim::MachineAxis FromC(const VelkorSimMachineAxis* machine)
{
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
    return m;
}

} // namespace

extern "C" {

int VelkorSim_GetMachineSized(const VelkorSimModule* module, int axis_index, VelkorSimMachineAxis* out, size_t size)
{
    if (!UsableAxis(module, axis_index, out, size)) {
        return 0;
    }
    const VelkorSimMachineAxis whole = ToC(module->module.Machine(axis_index));
    return velkor_sim::c_layouts::WritePrefix(whole, out, size, velkor_sim::c_layouts::kMachineLayouts) ? 1 : 0;
}

int VelkorSim_SetMachineSized(VelkorSimModule* module, int axis_index, const VelkorSimMachineAxis* machine, size_t size)
{
    if (!UsableAxis(module, axis_index, machine, size)) {
        return 0;
    }
    // Fields past the caller's layout keep the values the axis has.
    VelkorSimMachineAxis whole = ToC(module->module.Machine(axis_index));
    velkor_sim::c_layouts::ReadPrefix(whole, machine, size, velkor_sim::c_layouts::kMachineLayouts);
    module->module.SetMachine(axis_index, FromC(&whole));
    return 1;
}

int(VelkorSim_GetMachine)(const VelkorSimModule* module, int axis_index, VelkorSimMachineAxis* out)
{
    return VelkorSim_GetMachineSized(module, axis_index, out, sizeof(velkor_sim::c_layouts::MachineFirst));
}

int(VelkorSim_SetMachine)(VelkorSimModule* module, int axis_index, const VelkorSimMachineAxis* machine)
{
    return VelkorSim_SetMachineSized(module, axis_index, machine, sizeof(velkor_sim::c_layouts::MachineFirst));
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
