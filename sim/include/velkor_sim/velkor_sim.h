/* Setting up a virtual module from C: the few calls a C program needs to put
 * a virtual module into a slot of the virtual backplane before it talks to it
 * through Velkor.h, and to look at the module's packet counters afterwards.
 * The module runs on the real-time clock. */
#ifndef VELKOR_SIM_VELKOR_SIM_H
#define VELKOR_SIM_VELKOR_SIM_H

#include <stdint.h>

/* The C calls are the exports of the shared virtual module (libvelkor_sim.so,
 * velkor_sim.dll); its C++ internals stay hidden. */
#if defined(_WIN32)
#  if defined(VELKOR_SIM_BUILDING)
#    define VELKOR_SIM_API __declspec(dllexport)
#  else
#    define VELKOR_SIM_API
#  endif
#else
#  define VELKOR_SIM_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef struct VelkorSimModule VelkorSimModule;

/* Makes a module, plugs it into slot (1..7) and starts its firmware; its
 * clock runs time_scale times faster than real time. NULL on a bad slot. */
VELKOR_SIM_API VelkorSimModule* VelkorSim_Plug(uint8_t slot, double time_scale);
/* Unplugs the module and ends its firmware. NULL is ignored. */
VELKOR_SIM_API void VelkorSim_Unplug(VelkorSimModule* module);
/* Packets taken, packet numbers skipped, and packets the host gave up. */
VELKOR_SIM_API uint64_t VelkorSim_PacketsTaken(const VelkorSimModule* module);
VELKOR_SIM_API uint32_t VelkorSim_SequenceGaps(const VelkorSimModule* module);
VELKOR_SIM_API uint32_t VelkorSim_DroppedPackets(const VelkorSimModule* module);

/* The machine around an axis: where its switches sit (whole positions on the
 * LP scale: limits actuated at and beyond, home and near-home from .. to) and
 * how its drive and encoder behave. docs/virtual-module.md has the defaults. */
typedef struct VelkorSimMachineAxis {
    int32_t plus_limit;
    int32_t minus_limit;
    int32_t home_from;
    int32_t home_to;
    int32_t near_home_from;
    int32_t near_home_to;
    int32_t index_pitch;      /* index pulse every pitch pulses (0: none) .. */
    int32_t index_phase;      /* .. at phase + k * pitch */
    double following_time;    /* s: the motor lags LP by its speed times this */
    double in_position_band;  /* pulses */
    double encoder_ratio;     /* encoder counts per command pulse, before the multiplier */
    uint16_t normally_closed; /* input bits whose contact opens when actuated */
} VelkorSimMachineAxis;

/* Reads and sets the machine around axis axis_index (0..3). They return 1,
 * or 0 for a NULL module or argument or an axis index out of range. */
VELKOR_SIM_API int VelkorSim_GetMachine(const VelkorSimModule* module, int axis_index, VelkorSimMachineAxis* out);
VELKOR_SIM_API int VelkorSim_SetMachine(VelkorSimModule* module, int axis_index, const VelkorSimMachineAxis* machine);
/* Switches the alarm output of an axis's servo drive on (non-zero) or off. */
VELKOR_SIM_API void VelkorSim_SetDriveAlarm(VelkorSimModule* module, int axis_index, int on);
/* The external drive inputs: a jog button pressed towards +1 or -1, or
 * released (0); a handwheel turned by counts. */
VELKOR_SIM_API void VelkorSim_PressJog(VelkorSimModule* module, int axis_index, int direction);
VELKOR_SIM_API void VelkorSim_TurnHandwheel(VelkorSimModule* module, int axis_index, int32_t counts);

#ifdef __cplusplus
}
#endif

#endif
