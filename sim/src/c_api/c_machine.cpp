// The C calls over the machine around a module's axes (velkor_sim.h): its
// switches, drive and encoder, the drive alarm, the jog buttons and the
// handwheel.
#include "c_api/c_module.h"

extern "C" {

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
