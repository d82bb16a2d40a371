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

/* Plugs the modules that the environment variable VELKOR_SIM_MODULES names
 * ("3" or "3,speed=20;5,id=U"; see docs/virtual-module.md) and keeps them
 * until the program ends, when their reports are written to the folder in
 * VELKOR_SIM_REPORT. The slot-bus stand-in calls this when a program first
 * asks for a slot's address, so that an unchanged program runs on virtual
 * modules. Returns the number of modules plugged, 0 when the variable is
 * not set, -1 when it cannot be read (the reason goes to stderr). Only the
 * first call plugs; later calls return the first call's result. */
VELKOR_SIM_API int VelkorSim_PlugFromEnvironment(void);

#ifdef __cplusplus
}
#endif

#endif
