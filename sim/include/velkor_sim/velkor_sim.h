/**
 * @file
 * The virtual module from C: make modules and plug them into slots of the
 * virtual backplane, drive their clock, set their inputs, look at their
 * axes, stores, counters, trail, log and scope. A program talks to a plugged
 * module through Velkor.h exactly as to a module in a controller; these calls
 * are the test bench around it. They are the exports of the shared virtual
 * module (libvelkor_sim.so, velkor_sim.dll); link with the flags that
 * `pkg-config --libs velkor-sim` gives, or the CMake target Velkor::Sim.
 *
 * One section per family of the module. Every call takes the module first;
 * a NULL module is ignored (calls that return a value return 0). Axis indexes
 * are 0 to 3 (axis selectors on the bus are bit masks; here one axis is
 * meant). Units: positions in pulses, speeds in pulses per second, time in
 * simulated seconds unless a name says microseconds. docs/virtual-module.md
 * is the module's manual. */
#ifndef VELKOR_SIM_VELKOR_SIM_H
#define VELKOR_SIM_VELKOR_SIM_H

#include <stddef.h>
#include <stdint.h>

/**
 * @def VELKOR_SIM_API
 * Marks the C calls as the exports of the shared virtual module
 * (libvelkor_sim.so, velkor_sim.dll); its C++ internals stay hidden.
 */
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

/**
 * @file
 * @par Structures that grow
 * A program built against an older velkor_sim.h keeps
 * working with a newer library, and the library never writes or reads past
 * the structures such a program passes:
 *  - A structure the library fills or reads through a pointer only grows at
 *    its end. Fields are never removed, reordered or retyped (that needs a
 *    new major version, a new SONAME).
 *  - Each call that takes one has a sized form taking the caller's sizeof
 *    (VelkorSim_GetAxisSized, VelkorSim_GetMachineSized,
 *    VelkorSim_SetMachineSized, VelkorSim_TakeScopeSized). The library uses
 *    the newest layout it knows that fits in that size: it writes no byte
 *    past it (bytes up to size that it does not know, fields of a newer
 *    header, are set to 0) and reads no byte past it (fields the caller's
 *    layout lacks keep their values). A size below the first layout is
 *    refused. The header turns the plain name (VelkorSim_GetAxis) into the
 *    sized call with its own sizeof, so a rebuilt program gets every field.
 *  - The plain-named exports stay for programs built before the sized calls
 *    and use the first layout shipped with this major version.
 *  - VelkorSimOptions carries its size in its first field instead.
 *  - A structure inside an array of another (VelkorSimScopeAxis in a sample)
 *    does not grow: new channels go at the end of the outer structure.
 *  - A new structure passed by pointer comes with a sized call or a size
 *    field from its first release.
 */

/** A virtual module: made by VelkorSim_Create (or the Plug calls), freed by VelkorSim_Unplug. */
typedef struct VelkorSimModule VelkorSimModule;

/** @name Modules: make, plug, end */
/** @{ */

enum {
    VELKOR_SIM_CLOCK_MANUAL = 0,    /**< time moves only in VelkorSim_Advance */
    VELKOR_SIM_CLOCK_REAL_TIME = 1, /**< time follows the wall clock, times time_scale */
    VELKOR_SIM_CLOCK_FAST = 2       /**< as real time while the program commands; up to
                                       sprint_scale times faster while it only polls */
};

/** How a module is made (VelkorSim_DefaultOptions, then VelkorSim_Create). */
typedef struct VelkorSimOptions {
    uint32_t size;             /**< sizeof(VelkorSimOptions), set by VelkorSim_DefaultOptions */
    uint8_t id;                /**< module ID byte: 'D' or 'U' */
    uint8_t clock;             /**< VELKOR_SIM_CLOCK_... */
    uint8_t keep_trail;        /**< 1: record the positions driven (VelkorSim_TakeTrail) */
    uint8_t keep_log;          /**< 1: record every packet and exchange (VelkorSim_TakeLog) */
    double time_scale;         /**< real-time clock: simulated seconds per real second */
    uint32_t take_latency_us;  /**< real time before the firmware takes a packet or code */
    uint32_t step_us;          /**< simulated time per motion step */
    uint32_t firmware_version; /**< major << 16 | minor << 8 | patch */
    double sprint_scale;       /**< fast clock: simulated seconds per real second, at most */
    uint32_t buffer_segments;  /**< path segments the command buffer holds */
} VelkorSimOptions;

/**
 * The defaults: 'D', manual clock, scale 1, no latency, 1 ms steps, 3.1.0,
 * sprint scale 1000, 1024 buffer places.
 *
 * @param options Filled with the defaults, size included (NULL: ignored).
 */
VELKOR_SIM_API void VelkorSim_DefaultOptions(VelkorSimOptions* options);
/**
 * Makes a module (not yet plugged) with the options given (NULL: the
 * defaults). NULL when the options are out of range (id not 'D' or 'U',
 * clock unknown, time_scale not above 0, step 0, sprint_scale below
 * time_scale, buffer_segments 0).
 *
 * @param options The options, their size field set (NULL: the defaults).
 * @return The module, not yet plugged; NULL when an option is out of range.
 */
VELKOR_SIM_API VelkorSimModule* VelkorSim_Create(const VelkorSimOptions* options);
/**
 * Plugs the module into slot 1..7 (from another slot it was in); a module
 * already in that slot is put out of it. 1, or 0 for another slot number,
 * which changes nothing (the module stays where it was).
 *
 * @param module The module (NULL: ignored).
 * @param slot Backplane slot 1..7.
 * @return 1 plugged; 0 for another slot number or a NULL module (nothing changes).
 */
VELKOR_SIM_API int VelkorSim_PlugInto(VelkorSimModule* module, uint8_t slot);
/**
 * Makes a module on the real-time clock, time_scale times faster than real
 * time, and plugs it into slot (1..7). NULL on a bad slot.
 *
 * @param slot Backplane slot 1..7.
 * @param time_scale Simulated seconds per real second (above 0).
 * @return The module; NULL on a bad slot.
 */
VELKOR_SIM_API VelkorSimModule* VelkorSim_Plug(uint8_t slot, double time_scale);
/**
 * The same on the fast clock: real time while the program commands, up to
 * 1000 times faster while it only polls. NULL on a bad slot.
 *
 * @param slot Backplane slot 1..7.
 * @return The module; NULL on a bad slot.
 */
VELKOR_SIM_API VelkorSimModule* VelkorSim_PlugFast(uint8_t slot);
/**
 * Unplugs the module (a module plugged into its slot since stays), ends
 * its firmware and frees it. NULL is ignored.
 *
 * @param module The module (NULL: ignored).
 */
VELKOR_SIM_API void VelkorSim_Unplug(VelkorSimModule* module);
/**
 * Plugs the modules that the environment variable VELKOR_SIM_MODULES names
 * ("3" or "3,speed=20;5,id=U"; see docs/virtual-module.md) and keeps them
 * until the program ends, when their reports are written to the folder in
 * VELKOR_SIM_REPORT. The slot-bus stand-in calls this when a program first
 * asks for a slot's address, so that an unchanged program runs on virtual
 * modules. Returns the number of modules plugged, 0 when the variable is
 * not set, -1 when it cannot be read (the reason goes to stderr). Only the
 * first call plugs; later calls return the first call's result.
 *
 * @return The number of modules plugged; 0 when VELKOR_SIM_MODULES is not set; -1 when it cannot be read.
 */
VELKOR_SIM_API int VelkorSim_PlugFromEnvironment(void);

/** @} */

/** @name Clock and mailbox */
/** @{ */

/** The longest VelkorSim_Advance in one call: 10^15 us, about 31.7 years. */
#define VELKOR_SIM_LONGEST_ADVANCE_US 1000000000000000ULL
/**
 * Manual clock: lets the firmware take what waits in the mailbox, then runs
 * the motion model for the time given (more than
 * VELKOR_SIM_LONGEST_ADVANCE_US is taken as that). Once nothing moves, waits
 * for time or samples, the rest passes in one jump: an idle advance is
 * cheap however long.
 *
 * @param module The module (NULL: ignored).
 * @param microseconds Simulated time, microseconds.
 */
VELKOR_SIM_API void VelkorSim_Advance(VelkorSimModule* module, uint64_t microseconds);
/**
 * Manual clock: advances step by step until none of the axes in axis_mask
 * (bit 0 = axis index 0) is driving, at most limit_us. 1 when they stopped.
 *
 * @param module The module (NULL: ignored).
 * @param axis_mask Axes to wait for: bit 0 = axis index 0.
 * @param limit_us The longest simulated time to advance, microseconds.
 * @return 1 when the axes stopped, 0 at the limit or for a NULL module.
 */
VELKOR_SIM_API int VelkorSim_AdvanceUntilStopped(VelkorSimModule* module, uint8_t axis_mask, uint64_t limit_us);
/**
 * Simulated seconds since the module was made.
 *
 * @param module The module (NULL: ignored).
 * @return Simulated seconds; 0 for a NULL module.
 */
VELKOR_SIM_API double VelkorSim_Now(const VelkorSimModule* module);
/**
 * While busy (1), the firmware takes no packet and answers no code.
 *
 * @param module The module (NULL: ignored).
 * @param busy 1 busy, 0 taking packets again.
 */
VELKOR_SIM_API void VelkorSim_SetBusy(VelkorSimModule* module, int busy);
/**
 * Real time the firmware waits before it takes a packet or answers a code (as VelkorSimOptions.take_latency_us).
 *
 * @param module The module (NULL: ignored).
 * @param microseconds Real time before the firmware takes a packet or code, microseconds.
 */
VELKOR_SIM_API void VelkorSim_SetTakeLatency(VelkorSimModule* module, uint32_t microseconds);
/**
 * Blocks until the mailbox holds nothing the firmware can take without
 * simulated time passing.
 *
 * @param module The module (NULL: ignored).
 */
VELKOR_SIM_API void VelkorSim_WaitSettled(VelkorSimModule* module);
/**
 * Path segments in the command buffer, not yet started.
 *
 * @param module The module (NULL: ignored).
 * @return The number of segments waiting; 0 for a NULL module.
 */
VELKOR_SIM_API size_t VelkorSim_BufferedSegments(const VelkorSimModule* module);

/** @} */

/** @name Axes */
/** @{ */

/** One axis as the module has it now (VelkorSim_GetAxis). */
typedef struct VelkorSimAxis {
    int32_t lp;          /**< LP counter, pulses */
    int32_t ep;          /**< EP counter, encoder counts */
    double speed;        /**< pulses per second, magnitude */
    double acceleration; /**< pulses per second squared, magnitude */
    uint8_t driving;     /**< 1: moving, or with motion queued or held back */
    uint16_t error_code; /**< the bits of GET_ERROR_CODE */
    uint16_t inputs;     /**< the input word of GET_DI_ALL */
    int32_t machine;     /**< the machine position the axis is at (where LP is now): a switch
                          * at LP p sits at machine position p - lp + machine */
    double motor;           /**< where the motor is, on the LP scale */
    double following_error; /**< LP minus the motor, pulses */
    int32_t latch;          /**< the value GET_LATCH reads */
    uint8_t outputs;        /**< the eight output bits */
} VelkorSimAxis;

/**
 * The axis (index 0..3) into *out, at most size bytes of it (the caller's
 * sizeof(VelkorSimAxis)): see "Structures that grow" below. 1, or 0 for a
 * bad index or a size below the first layout (nothing is written then).
 *
 * @param module The module (NULL: ignored).
 * @param axis_index Axis index 0..3 (axis 1 to 4).
 * @param out Where the axis goes.
 * @param size The caller's sizeof(VelkorSimAxis): no more is written.
 * @return 1, or 0 for a NULL module or out, a bad index or a size below the first layout.
 */
VELKOR_SIM_API int VelkorSim_GetAxisSized(const VelkorSimModule* module, int axis_index, VelkorSimAxis* out, size_t size);
/**
 * For programs built before VelkorSim_GetAxisSized: fills only the first
 * layout (lp to inputs). Built against this header, a call of
 * VelkorSim_GetAxis is a call of VelkorSim_GetAxisSized with this header's
 * sizeof(VelkorSimAxis).
 *
 * @param module The module (NULL: ignored).
 * @param axis_index Axis index 0..3 (axis 1 to 4).
 * @param out Where the first layout's fields go.
 * @return 1, or 0 for a NULL module or out or a bad index.
 */
VELKOR_SIM_API int VelkorSim_GetAxis(const VelkorSimModule* module, int axis_index, VelkorSimAxis* out);
/**
 * A call compiled against this header: VelkorSim_GetAxisSized() with sizeof(VelkorSimAxis), so that every field of
 * this header's structure is used.
 *
 * @param module The module.
 * @param axis_index Axis index 0..3.
 * @param out Where the axis goes.
 * @return As VelkorSim_GetAxisSized().
 */
#define VelkorSim_GetAxis(module, axis_index, out) \
    VelkorSim_GetAxisSized((module), (axis_index), (out), sizeof(VelkorSimAxis))

/** @} */

/** @name Inputs, latch, outputs and remote I/O */
/** @{ */

/**
 * The axis's 16-bit input word, as GET_DI and GET_DI_ALL read it.
 *
 * @param module The module (NULL: ignored).
 * @param axis_index Axis index 0..3 (axis 1 to 4).
 * @param word The input word (bit meanings as GET_DI_ALL's).
 */
VELKOR_SIM_API void VelkorSim_SetInputs(VelkorSimModule* module, int axis_index, uint16_t word);
/**
 * The value GET_LATCH returns for the axis.
 *
 * @param module The module (NULL: ignored).
 * @param axis_index Axis index 0..3 (axis 1 to 4).
 * @param value The latch value, pulses.
 */
VELKOR_SIM_API void VelkorSim_SetLatch(VelkorSimModule* module, int axis_index, int32_t value);
/**
 * A remote input port's word (QUORL_IN); until set, it reads the port's output.
 *
 * @param module The module (NULL: ignored).
 * @param port Remote I/O port number.
 * @param word The port's input word.
 */
VELKOR_SIM_API void VelkorSim_SetRemoteInput(VelkorSimModule* module, uint8_t port, uint16_t word);
/**
 * The last word written to a remote output port (QUORL_OUT).
 *
 * @param module The module (NULL: ignored).
 * @param port Remote I/O port number.
 * @return The port's output word; 0 for a NULL module.
 */
VELKOR_SIM_API uint32_t VelkorSim_RemoteOutput(const VelkorSimModule* module, uint8_t port);

/** @} */

/** @name Interrupts */
/** @{ */

/**
 * Raises the factor bits as the firmware does for its own events: those the
 * host has enabled (ENABLE_INT, INTFACTOR_ENABLE) go into the interrupt code
 * register and raise the slot interrupt.
 *
 * @param module The module (NULL: ignored).
 * @param factors Interrupt factor bits (bit i = factor i).
 */
VELKOR_SIM_API void VelkorSim_RaiseInterrupt(VelkorSimModule* module, uint8_t factors);

/** @} */

/** @name Stores and version */
/** @{ */

/**
 * Byte variable `index` as the module stores it (READ_bVAR, WRITE_bVAR).
 *
 * @param module The module (NULL: ignored).
 * @param index Byte variable index.
 * @return The byte variable; 0 for a NULL module.
 */
VELKOR_SIM_API uint8_t VelkorSim_ByteVariable(const VelkorSimModule* module, uint8_t index);
/**
 * Long variable `index` as the module stores it (READ_VAR, WRITE_VAR).
 *
 * @param module The module (NULL: ignored).
 * @param index Long variable index.
 * @return The long variable; 0 for a NULL module.
 */
VELKOR_SIM_API int32_t VelkorSim_LongVariable(const VelkorSimModule* module, uint16_t index);
/**
 * An MD table entry's raw 32 bits (an integer, or a float's bits).
 *
 * @param module The module (NULL: ignored).
 * @param index MD table index.
 * @return The entry's 32 bits; 0 for a NULL module.
 */
VELKOR_SIM_API uint32_t VelkorSim_MdWord(const VelkorSimModule* module, uint16_t index);
/**
 * The number of steps of closed macro program `program` (MP_CREATE .. MP_CLOSE).
 *
 * @param module The module (NULL: ignored).
 * @param program Macro program number 0..255.
 * @return The number of steps of the closed program; 0 for none or a NULL module.
 */
VELKOR_SIM_API size_t VelkorSim_MacroProgramSteps(const VelkorSimModule* module, uint8_t program);
/**
 * Sets the firmware version word the module reports (GET_FW_VERSION).
 *
 * @param module The module (NULL: ignored).
 * @param version Firmware version: major << 16 | minor << 8 | patch.
 */
VELKOR_SIM_API void VelkorSim_SetFirmwareVersion(VelkorSimModule* module, uint32_t version);

/** @} */

/** @name Counters and the commands the module could not use */
/** @{ */

/** The module's counters (VelkorSim_GetCounters). */
typedef struct VelkorSimCounters {
    uint64_t packets_taken;      /**< packets taken from the mailbox */
    uint64_t exchanges_answered; /**< queries and control codes */
    uint64_t bus_reads;          /**< reads of the window by the host */
    uint64_t bus_writes;         /**< writes to the window by the host */
    uint32_t sequence_gaps;   /**< packet numbers skipped in the ring of 30 */
    uint32_t dropped_packets; /**< packets announced by the host and then given up */
    uint32_t unsimulated;     /**< commands and codes taken without being simulated */
    uint64_t packets_held;    /**< packets that waited in the mailbox for room in the command buffer */
} VelkorSimCounters;

/**
 * Every counter of the module into *out (NULL: nothing).
 *
 * @param module The module (NULL: ignored).
 * @param out Where the counters go (NULL: ignored).
 */
VELKOR_SIM_API void VelkorSim_GetCounters(const VelkorSimModule* module, VelkorSimCounters* out);
/**
 * Packets taken, packet numbers skipped, and packets the host gave up.
 *
 * @param module The module (NULL: ignored).
 * @return Packets taken; 0 for a NULL module.
 */
VELKOR_SIM_API uint64_t VelkorSim_PacketsTaken(const VelkorSimModule* module);
/**
 * Packet numbers skipped in the ring of 30 (described with VelkorSim_PacketsTaken()).
 *
 * @param module The module (NULL: ignored).
 * @return Packet numbers skipped; 0 for a NULL module.
 */
VELKOR_SIM_API uint32_t VelkorSim_SequenceGaps(const VelkorSimModule* module);
/**
 * Packets announced by the host and then given up (described with VelkorSim_PacketsTaken()).
 *
 * @param module The module (NULL: ignored).
 * @return Packets the host gave up; 0 for a NULL module.
 */
VELKOR_SIM_API uint32_t VelkorSim_DroppedPackets(const VelkorSimModule* module);

/** A command code the module could not use, and how often it came. */
typedef struct VelkorSimCodeCount {
    uint8_t code;   /**< command or handshake code */
    uint32_t count; /**< how often it came */
} VelkorSimCodeCount;

/**
 * The codes the module took without being able to use them, lowest first:
 * up to `capacity` of them into out (which may be NULL when capacity is 0).
 * Returns how many different codes there are.
 *
 * @param module The module (NULL: ignored).
 * @param out Where the codes go (NULL when capacity is 0).
 * @param capacity How many items out holds.
 * @return How many different codes there are (may exceed capacity).
 */
VELKOR_SIM_API size_t VelkorSim_Unsimulated(const VelkorSimModule* module, VelkorSimCodeCount* out, size_t capacity);
/**
 * The name of a command code ("SET_MAX_V"), or "code N"; the text stays
 * valid until the program ends.
 *
 * @param code Command or handshake code.
 * @return The name; never NULL.
 */
VELKOR_SIM_API const char* VelkorSim_CodeName(uint8_t code);

/** @} */

/** @name Trail: the positions driven (with keep_trail) */
/** @{ */

/** A position driven: the four LP counters at a simulated time. */
typedef struct VelkorSimTrailPoint {
    double time; /**< simulated seconds */
    int32_t lp[4]; /**< LP of axes 1 to 4, pulses */
} VelkorSimTrailPoint;

/**
 * Moves up to `capacity` of the oldest points recorded into out; returns how
 * many. Call again until it returns 0 to read them all.
 *
 * @param module The module (NULL: ignored).
 * @param out Where the points go.
 * @param capacity How many items out holds.
 * @return How many points were moved into out.
 */
VELKOR_SIM_API size_t VelkorSim_TakeTrail(VelkorSimModule* module, VelkorSimTrailPoint* out, size_t capacity);

/** @} */

/** @name Log: every packet taken and exchange answered (with keep_log) */
/** @{ */

enum { VELKOR_SIM_LOG_PACKET = 0, VELKOR_SIM_LOG_EXCHANGE = 1 };

/** A packet taken or an exchange answered (VelkorSim_TakeLog). */
typedef struct VelkorSimLogEntry {
    uint8_t kind;          /**< VELKOR_SIM_LOG_... */
    uint8_t sequence;      /**< the number a packet carried */
    uint8_t code;          /**< command or query code */
    uint8_t bytes[30];     /**< packet bytes, or the reply of an exchange */
    uint8_t registers[10]; /**< parameter registers 96, 98, .., 114 of an exchange */
    double time;           /**< simulated seconds */
} VelkorSimLogEntry;

/**
 * Moves up to `capacity` of the oldest entries into out; returns how many.
 *
 * @param module The module (NULL: ignored).
 * @param out Where the entries go.
 * @param capacity How many items out holds.
 * @return How many entries were moved into out.
 */
VELKOR_SIM_API size_t VelkorSim_TakeLog(VelkorSimModule* module, VelkorSimLogEntry* out, size_t capacity);
/**
 * One line describing the entry with its fields decoded ("#7 SET_MAX_V axis=1
 * data=500", "query GET_LP axis=1 -> 2000") into text (at most size bytes,
 * always ended with 0 when size > 0). Returns the length of the whole line.
 *
 * @param entry A log entry from VelkorSim_TakeLog.
 * @param text Where the text goes (may be NULL when size is 0).
 * @param size Bytes at text, the ending 0 included.
 * @return The length of the whole line (0 for a NULL entry).
 */
VELKOR_SIM_API size_t VelkorSim_DescribeLogEntry(const VelkorSimLogEntry* entry, char* text, size_t size);

/** @} */

/** @name Scope: samples at a fixed simulated rate, from a trigger on */
/** @{ */

enum {
    VELKOR_SIM_TRIGGER_NONE = 0,       /**< capture from the start */
    VELKOR_SIM_TRIGGER_POSITION = 1,   /**< LP of trigger_axis crosses trigger_position */
    VELKOR_SIM_TRIGGER_INPUT_EDGE = 2, /**< bit trigger_input of trigger_axis's inputs changes */
    VELKOR_SIM_TRIGGER_DRIVE_START = 3, /**< an axis of trigger_axes starts to move */
    VELKOR_SIM_TRIGGER_PATH_START = 4   /**< a path starts to move while none was running */
};
enum { VELKOR_SIM_EDGE_RISING = 0, VELKOR_SIM_EDGE_FALLING = 1, VELKOR_SIM_EDGE_EITHER = 2 };

/** What the scope captures and when it starts (VelkorSim_StartScope). */
typedef struct VelkorSimScopeSettings {
    double period;             /**< simulated seconds between samples (default 0.001) */
    double duration;           /**< seconds captured from the trigger; 0: until stopped */
    uint32_t capacity;         /**< samples the ring holds (default 65536, at most 4194304) */
    uint32_t pretrigger;       /**< samples before the trigger kept (default 0) */
    uint8_t trigger_kind;      /**< VELKOR_SIM_TRIGGER_... */
    uint8_t trigger_axis;      /**< 0..3 */
    uint8_t trigger_input;     /**< 0..15 */
    uint8_t trigger_edge;      /**< VELKOR_SIM_EDGE_... */
    uint8_t trigger_axes;      /**< bit mask, bit 0 = axis index 0 */
    int32_t trigger_position;  /**< pulses */
} VelkorSimScopeSettings;

/** One axis in a scope sample. */
typedef struct VelkorSimScopeAxis {
    int32_t lp;             /**< LP counter, pulses */
    int32_t ep;             /**< EP counter, encoder counts */
    double speed;           /**< pulses per second */
    uint16_t inputs;        /**< the input word */
    double velocity;        /**< pulses per second, signed */
    double acceleration;    /**< pulses per second squared, signed */
    double following_error; /**< LP minus the motor, pulses */
    uint8_t outputs;        /**< the eight output bits */
    int32_t latch;          /**< the value GET_LATCH reads */
} VelkorSimScopeAxis;

/** One scope sample: the four axes at a simulated time. */
typedef struct VelkorSimScopeSample {
    double time; /**< simulated seconds */
    VelkorSimScopeAxis axes[4]; /**< axes 1 to 4 */
    double path_speed; /**< the running path's vector speed (0: none) */
} VelkorSimScopeSample;

/** The scope's capture state (VelkorSim_GetScopeState). */
typedef struct VelkorSimScopeState {
    uint8_t running;      /**< 1 while capturing or waiting for the trigger */
    uint8_t triggered;    /**< 1 once the trigger fired */
    double trigger_time;  /**< when it fired */
    uint64_t taken;       /**< samples put into the ring since the start */
    uint64_t lost;        /**< samples pushed out of a full ring unread */
    uint64_t waiting;     /**< samples not yet taken */
} VelkorSimScopeState;

/**
 * The default capture settings into *settings (see VelkorSimScopeSettings for each default).
 *
 * @param settings Filled with the defaults (NULL: ignored).
 */
VELKOR_SIM_API void VelkorSim_DefaultScopeSettings(VelkorSimScopeSettings* settings);
/**
 * Starts (or restarts, emptying the ring) a capture. 1, or 0 when a setting
 * is out of range (then nothing changes).
 *
 * @param module The module (NULL: ignored).
 * @param settings What to capture and when to start.
 * @return 1 started; 0 when a setting is out of range (nothing changes).
 */
VELKOR_SIM_API int VelkorSim_StartScope(VelkorSimModule* module, const VelkorSimScopeSettings* settings);
/**
 * Stops the capture; the samples taken stay to be read.
 *
 * @param module The module (NULL: ignored).
 */
VELKOR_SIM_API void VelkorSim_StopScope(VelkorSimModule* module);
/**
 * Moves up to `capacity` of the oldest samples into out, each sample_size
 * bytes apart and at most sample_size bytes long (the caller's
 * sizeof(VelkorSimScopeSample)): see "Structures that grow" below. Returns
 * how many; 0, taking nothing, for a sample_size below the first layout.
 *
 * @param module The module (NULL: ignored).
 * @param out Where the samples go, sample_size bytes apart.
 * @param capacity How many items out holds.
 * @param sample_size The caller's sizeof(VelkorSimScopeSample): the stride of out and the most written per sample.
 * @return How many samples were moved into out; 0 for a sample_size below the first layout.
 */
VELKOR_SIM_API size_t VelkorSim_TakeScopeSized(VelkorSimModule* module, VelkorSimScopeSample* out, size_t capacity, size_t sample_size);
/**
 * For programs built before VelkorSim_TakeScopeSized: samples of the first
 * layout (time and lp, ep, speed, inputs of each axis). Built against this
 * header, a call of VelkorSim_TakeScope is a call of
 * VelkorSim_TakeScopeSized with this header's sizeof(VelkorSimScopeSample).
 *
 * @param module The module (NULL: ignored).
 * @param out Where the samples go, in the first layout.
 * @param capacity How many items out holds.
 * @return How many samples were moved into out.
 */
VELKOR_SIM_API size_t VelkorSim_TakeScope(VelkorSimModule* module, VelkorSimScopeSample* out, size_t capacity);
/**
 * A call compiled against this header: VelkorSim_TakeScopeSized() with sizeof(VelkorSimScopeSample), so that every field of
 * this header's structure is used.
 *
 * @param module The module.
 * @param out Where the samples go.
 * @param capacity How many samples out holds.
 * @return As VelkorSim_TakeScopeSized().
 */
#define VelkorSim_TakeScope(module, out, capacity) \
    VelkorSim_TakeScopeSized((module), (out), (capacity), sizeof(VelkorSimScopeSample))
/**
 * The capture's state into *out (all 0 for a NULL module).
 *
 * @param module The module (NULL: ignored).
 * @param out Where the state goes (NULL: ignored).
 */
VELKOR_SIM_API void VelkorSim_GetScopeState(const VelkorSimModule* module, VelkorSimScopeState* out);
/**
 * Takes every sample waiting and writes them to a CSV file (the columns of
 * `velkor run --scope`, slot given for its column); returns the number of
 * samples written, or -1 when the file cannot be written.
 *
 * @param module The module (NULL: ignored).
 * @param slot The slot written in the file's slot column.
 * @param file Path of the CSV file to write.
 * @return The number of samples written, or -1 when the file cannot be written.
 */
VELKOR_SIM_API long VelkorSim_WriteScopeCsv(VelkorSimModule* module, uint8_t slot, const char* file);

/** @} */

/** @name The machine around the axes: switches, drive, encoder */
/** @{ */

/**
 * The machine around an axis: where its switches sit (whole machine
 * positions: limits actuated at and beyond, home and near-home from .. to;
 * machine position 0 is LP 0 at power-up, and a preset or homing moves the LP
 * scale, never the switches: VelkorSimAxis.machine tells where LP is) and how
 * its drive and encoder behave. docs/virtual-module.md has the defaults.
 */
typedef struct VelkorSimMachineAxis {
    int32_t plus_limit;       /**< + limit switch, actuated at and beyond, machine position */
    int32_t minus_limit;      /**< - limit switch, actuated at and beyond, machine position */
    int32_t home_from;        /**< home switch from .. */
    int32_t home_to;          /**< .. to, machine positions */
    int32_t near_home_from;   /**< near-home switch from .. */
    int32_t near_home_to;     /**< .. to, machine positions */
    int32_t index_pitch;      /**< index pulse every pitch pulses (0: none) .. */
    int32_t index_phase;      /**< .. at phase + k * pitch */
    double following_time;    /**< s: the motor lags LP by its speed times this */
    double in_position_band;  /**< pulses */
    double encoder_ratio;     /**< encoder counts per command pulse, before the multiplier */
    uint16_t normally_closed; /**< input bits whose contact opens when actuated */
    /* The drive model (docs/virtual-module.md, "The drive model"): */
    double natural_frequency; /**< Hz; above 0 a second-order loop replaces following_time */
    double damping;           /**< damping ratio of the second-order loop (above 0; default 1) */
    int32_t dead_time;        /**< motion steps (0..1000) */
    double backlash;          /**< pulses of play taken up after a reversal */
    double encoder_noise;     /**< counts, standard deviation of each reading's noise */
    uint32_t noise_seed;      /**< the noise's seed */
    double following_limit;   /**< pulses: a larger following error raises the drive alarm (0: none) */
} VelkorSimMachineAxis;

/**
 * Reads and sets the machine around axis axis_index (0..3), at most size
 * bytes of the structure (the caller's sizeof(VelkorSimMachineAxis)): see
 * "Structures that grow" below; fields past the caller's layout keep their
 * values on a set. They return 1, or 0 for a NULL module or argument, an axis
 * index out of range or a size below the first layout (nothing changes).
 *
 * @param module The module (NULL: ignored).
 * @param axis_index Axis index 0..3 (axis 1 to 4).
 * @param out Where the machine goes.
 * @param size The caller's sizeof(VelkorSimMachineAxis): no more is written.
 * @return 1, or 0 for a NULL module or out, a bad index or a size below the first layout.
 */
VELKOR_SIM_API int VelkorSim_GetMachineSized(const VelkorSimModule* module, int axis_index, VelkorSimMachineAxis* out, size_t size);
/**
 * Sets the machine around the axis; described with VelkorSim_GetMachineSized().
 *
 * @param module The module (NULL: ignored).
 * @param axis_index Axis index 0..3 (axis 1 to 4).
 * @param machine The machine to set.
 * @param size The caller's sizeof(VelkorSimMachineAxis): no more is read.
 * @return 1, or 0 for a NULL module or machine, a bad index or a size below the first layout.
 */
VELKOR_SIM_API int VelkorSim_SetMachineSized(VelkorSimModule* module, int axis_index, const VelkorSimMachineAxis* machine, size_t size);
/**
 * For programs built before the sized calls: the first layout only
 * (plus_limit to normally_closed); a set keeps the drive model as it is.
 * Built against this header, VelkorSim_GetMachine and VelkorSim_SetMachine
 * are the sized calls with this header's sizeof(VelkorSimMachineAxis).
 *
 * @param module The module (NULL: ignored).
 * @param axis_index Axis index 0..3 (axis 1 to 4).
 * @param out Where the first layout's fields go.
 * @return 1, or 0 for a NULL module or out or a bad index.
 */
VELKOR_SIM_API int VelkorSim_GetMachine(const VelkorSimModule* module, int axis_index, VelkorSimMachineAxis* out);
/**
 * Sets the first layout of the machine; described with VelkorSim_GetMachine().
 *
 * @param module The module (NULL: ignored).
 * @param axis_index Axis index 0..3 (axis 1 to 4).
 * @param machine The first layout's fields to set.
 * @return 1, or 0 for a NULL module or machine or a bad index.
 */
VELKOR_SIM_API int VelkorSim_SetMachine(VelkorSimModule* module, int axis_index, const VelkorSimMachineAxis* machine);
/**
 * A call compiled against this header: VelkorSim_GetMachineSized() with sizeof(VelkorSimMachineAxis), so that every field of
 * this header's structure is used.
 *
 * @param module The module.
 * @param axis_index Axis index 0..3.
 * @param out Where the machine goes.
 * @return As VelkorSim_GetMachineSized().
 */
#define VelkorSim_GetMachine(module, axis_index, out) \
    VelkorSim_GetMachineSized((module), (axis_index), (out), sizeof(VelkorSimMachineAxis))
/**
 * A call compiled against this header: VelkorSim_SetMachineSized() with sizeof(VelkorSimMachineAxis), so that every field of
 * this header's structure is used.
 *
 * @param module The module.
 * @param axis_index Axis index 0..3.
 * @param machine The machine to set.
 * @return As VelkorSim_SetMachineSized().
 */
#define VelkorSim_SetMachine(module, axis_index, machine) \
    VelkorSim_SetMachineSized((module), (axis_index), (machine), sizeof(VelkorSimMachineAxis))
/**
 * Switches the alarm output of an axis's servo drive on (non-zero) or off.
 *
 * @param module The module (NULL: ignored).
 * @param axis_index Axis index 0..3 (axis 1 to 4).
 * @param on Nonzero: the alarm output on; 0: off.
 */
VELKOR_SIM_API void VelkorSim_SetDriveAlarm(VelkorSimModule* module, int axis_index, int on);
/**
 * The external drive inputs: a jog button pressed towards +1 or -1, or
 * released (0); a handwheel turned by counts.
 *
 * @param module The module (NULL: ignored).
 * @param axis_index Axis index 0..3 (axis 1 to 4).
 * @param direction +1 or -1: the button towards that direction pressed; 0: released.
 */
VELKOR_SIM_API void VelkorSim_PressJog(VelkorSimModule* module, int axis_index, int direction);
/**
 * Turns the axis's handwheel by `counts` (described with VelkorSim_PressJog()).
 *
 * @param module The module (NULL: ignored).
 * @param axis_index Axis index 0..3 (axis 1 to 4).
 * @param counts Handwheel counts, signed.
 */
VELKOR_SIM_API void VelkorSim_TurnHandwheel(VelkorSimModule* module, int axis_index, int32_t counts);

/** @} */

/** @name Output bits, remote I/O loopback, strict mode */
/** @{ */

/**
 * Strict mode (1): a command the module cannot use (unknown, not simulated,
 * or with a value it cannot use) prints its name to stderr and aborts the
 * program, so that a test run cannot pass over it. 0: such commands set
 * their error bit and are listed (see docs/virtual-module.md).
 *
 * @param module The module (NULL: ignored).
 * @param strict 1 strict, 0 not.
 */
VELKOR_SIM_API void VelkorSim_SetStrict(VelkorSimModule* module, int strict);
/**
 * The eight output bits of axis 0..3 (SET_OUT, compares, synchronous
 * actions); 0 for another index or a NULL module.
 *
 * @param module The module (NULL: ignored).
 * @param axis_index Axis index 0..3 (axis 1 to 4).
 * @return The eight output bits; 0 for another index or a NULL module.
 */
VELKOR_SIM_API uint8_t VelkorSim_Outputs(const VelkorSimModule* module, int axis_index);
/**
 * Remote I/O loopback (1): each port's input word reads its own output
 * word's low 16 bits. Off by default.
 *
 * @param module The module (NULL: ignored).
 * @param on 1: each port's input reads its output's low 16 bits; 0: off.
 */
VELKOR_SIM_API void VelkorSim_SetRemoteLoopback(VelkorSimModule* module, int on);

/** @} */

/** @name Macro programs */
/** @{ */

/* VelkorSim_MacroProgramSteps (above, with the stores) counts the steps of a
 * closed program. */
/**
 * Writes step `index` of a program, decoded ("MP_FOR count=3"), into text
 * (at most size bytes, the ending 0 included). Returns 1, or 0 when there is
 * no such step (text then holds an empty string when size > 0).
 *
 * @param module The module (NULL: ignored).
 * @param program Macro program number 0..255.
 * @param index Step index, 0 first.
 * @param text Where the text goes (may be NULL when size is 0).
 * @param size Bytes at text, the ending 0 included.
 * @return 1, or 0 when there is no such step.
 */
VELKOR_SIM_API int VelkorSim_DescribeMacroStep(const VelkorSimModule* module, uint8_t program, uint32_t index, char* text, size_t size);
/**
 * 1 while a program run (debugged or not) is in progress, otherwise 0.
 *
 * @param module The module (NULL: ignored).
 * @return 1 while a run is in progress, otherwise 0.
 */
VELKOR_SIM_API int VelkorSim_MacroRunning(const VelkorSimModule* module);
/**
 * Manual clock: advances step by step until no program run is in progress,
 * at most limit_us. 1 when the run ended; 0 at the limit, or at once while
 * the debugger holds the run before a step.
 *
 * @param module The module (NULL: ignored).
 * @param limit_us The longest simulated time to advance, microseconds.
 * @return 1 when the run ended; 0 at the limit or while the debugger holds the run.
 */
VELKOR_SIM_API int VelkorSim_AdvanceUntilProgramEnds(VelkorSimModule* module, uint64_t limit_us);

/** @} */

/** @name The monitor: a live channel for other processes (docs/monitor.md) */
/** @{ */

/**
 * Opens the process's monitor endpoint at path (a Unix domain socket in a
 * folder only the user can write to; on Windows an endpoint file naming a
 * loopback port and a token) for every module plugged, now and later.
 * 1, or 0 with the reason on stderr (a monitor runs already, a bad folder,
 * a path in use). VELKOR_SIM_MONITOR=PATH does the same for the modules of
 * the environment.
 *
 * @param path Where the endpoint goes.
 * @return 1 open; 0 with the reason on stderr.
 */
VELKOR_SIM_API int VelkorSim_StartMonitor(const char* path);
/** Closes the endpoint and disconnects its clients; nothing when none is open. */
VELKOR_SIM_API void VelkorSim_StopMonitor(void);

/** @} */

/** @name Scenarios */
/** @{ */

/**
 * A scenario file (docs/scenarios.md): the machine around the modules, the
 * events that play on them and the checks of the outcome. Load or parse one,
 * apply it to each module by slot, run the bench, then ask for the report.
 */
typedef struct VelkorSimScenario VelkorSimScenario;
/**
 * Reads a scenario file (or its text). NULL when it cannot be used, with the
 * reason (FILE:LINE:COLUMN: FIELD: what is wrong) in error (at most size
 * bytes, the ending 0 included).
 *
 * @param path The scenario file.
 * @param error Where the reason goes on failure (may be NULL when size is 0).
 * @param size Bytes at error, the ending 0 included.
 * @return The scenario, or NULL with the reason in error.
 */
VELKOR_SIM_API VelkorSimScenario* VelkorSim_LoadScenario(const char* path, char* error, size_t size);
/**
 * Reads a scenario from its text; described with VelkorSim_LoadScenario().
 *
 * @param text The scenario's text.
 * @param error Where the reason goes on failure (may be NULL when size is 0).
 * @param size Bytes at error, the ending 0 included.
 * @return The scenario, or NULL with the reason in error.
 */
VELKOR_SIM_API VelkorSimScenario* VelkorSim_ParseScenario(const char* text, char* error, size_t size);
/**
 * Puts the machine of the scenario's slot on the module and watches it for
 * the slot's events and checks. 1, or 0 with the reason in error.
 *
 * @param scenario The scenario (NULL: ignored).
 * @param module The module (NULL: ignored).
 * @param slot The scenario's slot whose machine, events and checks apply.
 * @param error Where the reason goes on failure (may be NULL when size is 0).
 * @param size Bytes at error, the ending 0 included.
 * @return 1, or 0 with the reason in error.
 */
VELKOR_SIM_API int VelkorSim_ApplyScenario(VelkorSimScenario* scenario, VelkorSimModule* module, uint8_t slot, char* error, size_t size);
/**
 * Evaluates the checks (exit code checks against exit_code) and writes one
 * line per check into text ("PASS  name: measured (expected ...)"), as much
 * as fits in size bytes. Returns the number of checks that failed. The
 * scenario watches no module afterwards: call it before the modules go.
 *
 * @param scenario The scenario (NULL: ignored).
 * @param exit_code The program's exit code, for the exit-code checks.
 * @param text Where the report lines go (may be NULL when size is 0).
 * @param size Bytes at text, the ending 0 included.
 * @return The number of checks that failed.
 */
VELKOR_SIM_API int VelkorSim_ScenarioReport(VelkorSimScenario* scenario, int exit_code, char* text, size_t size);
/**
 * Frees a scenario (NULL is ignored); call it after VelkorSim_ScenarioReport().
 *
 * @param scenario The scenario (NULL: ignored).
 */
VELKOR_SIM_API void VelkorSim_FreeScenario(VelkorSimScenario* scenario);

/** @} */

#ifdef __cplusplus
}
#endif

#endif
