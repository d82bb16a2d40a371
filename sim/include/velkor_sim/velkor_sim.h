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

/* ---- Macro programs ---------------------------------------------------- */

/* Steps of the closed program `program`; 0 for a number never closed. */
VELKOR_SIM_API uint32_t VelkorSim_MacroProgramSteps(const VelkorSimModule* module, uint8_t program);
/* Writes step `index` of a program, decoded ("MP_FOR count=3"), into text
 * (at most size bytes, the ending 0 included). Returns 1, or 0 when there is
 * no such step (text then holds an empty string when size > 0). */
VELKOR_SIM_API int VelkorSim_DescribeMacroStep(const VelkorSimModule* module, uint8_t program, uint32_t index,
                                               char* text, uint32_t size);
/* 1 while a program run (debugged or not) is in progress, otherwise 0. */
VELKOR_SIM_API int VelkorSim_MacroRunning(const VelkorSimModule* module);

#ifdef __cplusplus
}
#endif

#endif
