/* Setting up a virtual module from C: the few calls a C program needs to put
 * a virtual module into a slot of the virtual backplane before it talks to it
 * through Velkor.h, and to look at the module's packet counters afterwards.
 * The module runs on the real-time clock. */
#ifndef VELKOR_SIM_VELKOR_SIM_H
#define VELKOR_SIM_VELKOR_SIM_H

#include <stddef.h>
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

typedef struct VelkorSimCodeCount {
    uint8_t code;   /* command or handshake code */
    uint32_t count; /* how often it came */
} VelkorSimCodeCount;

/* The codes the module took without being able to use them, lowest first:
 * up to `capacity` of them into out (which may be NULL when capacity is 0).
 * Returns how many different codes there are. */
VELKOR_SIM_API size_t VelkorSim_Unsimulated(const VelkorSimModule* module, VelkorSimCodeCount* out, size_t capacity);
/* The name of a command code ("SET_MAX_V"), or "code N"; the text stays
 * valid until the program ends. */
VELKOR_SIM_API const char* VelkorSim_CodeName(uint8_t code);
/* Strict mode (1): a command the module cannot use (unknown, not simulated,
 * or with a value it cannot use) prints its name to stderr and aborts the
 * program, so that a test run cannot pass over it. 0: such commands set
 * their error bit and are listed (see docs/virtual-module.md). */
VELKOR_SIM_API void VelkorSim_SetStrict(VelkorSimModule* module, int strict);
/* The eight output bits of axis 0..3 (SET_OUT, compares, synchronous
 * actions); 0 for another index or a NULL module. */
VELKOR_SIM_API uint8_t VelkorSim_Outputs(const VelkorSimModule* module, int axis_index);
/* Remote I/O loopback (1): each port's input word reads its own output
 * word's low 16 bits. Off by default. */
VELKOR_SIM_API void VelkorSim_SetRemoteLoopback(VelkorSimModule* module, int on);

#ifdef __cplusplus
}
#endif

#endif
