// The virtual module: a device for a slot of the virtual backplane that plays
// the motion module's firmware behind the mailbox window, so that programs
// written against Velkor.h run unchanged on an ordinary PC.
//
// A packet posted with handshake 1 is taken, and a query or control code
// answered, in the host's write of the handshake register itself, so the host
// never finds the mailbox busy; a take latency or the busy mode make the
// firmware take them later, on a thread of its own. Path segments go into a
// command buffer of bufferSegments places: a segment packet that finds it
// full stays in the mailbox (handshake 1) until the motion frees room. The
// thread runs a motion model of four axes in simulated time and sleeps while
// nothing moves. Time comes from one of three clocks: a manual clock that
// only moves when a test calls Advance(), a real-time clock (optionally
// faster than real time), and a fast clock that runs ahead while the host only
// polls.
//
// Conventions the firmware keeps (docs/virtual-module.md has them all):
//  - an axis selector is a bit mask: 1, 2, 4 and 8 select axes 1 to 4, a sum
//    of them several axes at once; a query that returns one value answers for
//    the lowest selected axis;
//  - speeds are pulses per second, accelerations pulses per second squared,
//    positions pulses; all interpolation values are relative to the start of
//    the segment;
//  - the reply of STOP_WAIT is 1 when every selected axis has stopped and has
//    no motion queued or held back (nor a homing running, nor a wait for
//    its drive to be in position), otherwise 0.
#ifndef VELKOR_SIM_VIRTUAL_MODULE_H
#define VELKOR_SIM_VIRTUAL_MODULE_H

#include <brelan/backplane.h>
#include <velkor_sim/scope.h>

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace velkor_sim {

constexpr int kAxisCount = 4;
constexpr int kDataBytes = 30; // packet and reply bytes 0..29 of the mailbox window
// The firmware version word the module reports unless told otherwise:
// major << 16 | minor << 8 | patch, here 3.1.0.
constexpr std::uint32_t kDefaultFirmwareVersion = 0x00030100;

// Bits of an axis's error code (GET_ERROR_CODE). Bit 8 is never set by the
// module: the library uses it to report its own stop flag.
namespace error {
constexpr std::uint16_t kSoftLimitPlus = 0x0001;  // stopped at the + soft limit
constexpr std::uint16_t kSoftLimitMinus = 0x0002; // stopped at the - soft limit
constexpr std::uint16_t kAxisBusy = 0x0004;       // a move was refused: the axis was in use
constexpr std::uint16_t kBadCommand = 0x0008;     // a command with invalid values was ignored
// The machine around the axis: limit switches, servo drive, homing.
constexpr std::uint16_t kHardLimitPlus = 0x0010;  // stopped at, or refused by, the + limit switch
constexpr std::uint16_t kHardLimitMinus = 0x0020; // stopped at, or refused by, the - limit switch
constexpr std::uint16_t kServoAlarm = 0x0040;     // the servo drive's alarm stopped or refused motion
constexpr std::uint16_t kServoOff = 0x0080;       // motion refused or stopped: the servo is off
constexpr std::uint16_t kHomingFailed = 0x0200;   // homing ended without finding home
constexpr std::uint16_t kNotSimulated = 0x0800;   // a command the module does not carry out (unknown, or not simulated)
constexpr std::uint16_t kPacketMissing = 0x1000;  // a packet number was skipped or given up
} // namespace error

// Error bits of a macro program run that ended on a fault (module-wide).
namespace error {
constexpr std::uint16_t kProgramMissing = 0x4000;   // no program has the number called
constexpr std::uint16_t kProgramMalformed = 0x0400; // unbalanced blocks, a bad value, a division by zero, calls too deep
constexpr std::uint16_t kProgramRunaway = 0x8000;   // too many steps without simulated time passing
constexpr std::uint16_t kProgramTooLong = 0x2000;   // the program was recorded past its length limit
} // namespace error

// Manual: time passes only in Advance(). RealTime: simulated time follows the
// wall clock times timeScale. Fast: as RealTime while the host commands; while
// it only polls (its last exchange was a query that reads, or a read of the
// interrupt code), waits for room in the command buffer, or waits silently
// for an armed, registered interrupt, time runs ahead at up to sprintScale.
enum class ClockKind : std::uint8_t { Manual, RealTime, Fast };

// The longest Advance() in one call, 10^15 us (about 31.7 years).
constexpr std::chrono::microseconds kLongestAdvance{1000000000000000LL};

// Path segments the command buffer holds unless told otherwise.
constexpr std::size_t kDefaultBufferSegments = 1024;

struct ModuleOptions {
    std::uint8_t id = 'D';                          // module ID byte: 'D', or 'U'
    ClockKind clock = ClockKind::Manual;
    double timeScale = 1.0;                         // real-time and fast clocks: simulated seconds per second
    double sprintScale = 100000.0;                  // fast clock: the most while the host only polls
    std::chrono::microseconds takeLatency{0};       // real time before a packet or code is taken
    std::chrono::microseconds step{1000};           // simulated time per motion step
    std::size_t bufferSegments = kDefaultBufferSegments; // command buffer places (at least 1)
    std::uint32_t firmwareVersion = kDefaultFirmwareVersion;
    bool keepTrail = false;                         // record the positions driven (TakeTrail)
    bool keepLog = false;                           // record every packet and exchange (TakeLog)
    bool strict = false;                            // a command the module cannot use aborts the program
};

// The machine around one axis, as the simulator sets it up: where its
// switches sit and how its drive and encoder behave. Switch positions are
// machine positions in pulses: LP counts them from power-up, until SET_LP or
// a homing moves the LP scale (AxisStatus::machine tells where the axis
// is). A switch is actuated at the positions given (limits: at and beyond;
// home and near-home: from .. to, inclusive).
// The external drive mode of an axis (EXD_MP, EXD_FP, EXD_CP, EXD_DISABLE).
enum class ExternalDrive : std::uint8_t { Off, Handwheel, FixedPulse, Continuous };

struct MachineAxis {
    std::int32_t plusLimit = 10000000;
    std::int32_t minusLimit = -10000000;
    std::int32_t homeFrom = -5000;
    std::int32_t homeTo = -4000;
    std::int32_t nearHomeFrom = -5000;
    std::int32_t nearHomeTo = -2000;
    std::int32_t indexPitch = 1000; // encoder index pulse every pitch pulses (0: none) ..
    std::int32_t indexPhase = 500;  // .. at the positions phase + k * pitch
    double followingTime = 0;       // s: the motor lags LP by its speed times this (0: no lag)
    double inPositionBand = 1;      // pulses: the drive is in position while |LP - motor| <= this
    double encoderRatio = 1;        // encoder counts per command pulse, before the multiplier
    std::uint16_t normallyClosed = 0; // input bits (0..6) whose contact opens when actuated
    // The drive's dynamics (docs/virtual-module.md, "The drive model"). The
    // defaults leave the first-order lag of followingTime alone.
    double naturalFrequency = 0;    // Hz: above 0, a second-order loop replaces the first-order lag
    double damping = 1;             // the second-order loop's damping ratio (above 0)
    std::int32_t deadTime = 0;      // motion steps between a command and the loop seeing it (0..1000)
    double backlash = 0;            // pulses: the play the loop takes up after a reversal before the motor reading moves
    double encoderNoise = 0;        // encoder counts, standard deviation of the noise on each reading (0: none)
    std::uint32_t noiseSeed = 1;    // seed of that noise: the same seed, the same readings
    double followingLimit = 0;      // pulses: a following error beyond this raises the drive's alarm (0: no limit)
};

// Bits of an axis's input word (GET_DI_ALL; GET_DI reads one of them): the
// levels at the module's terminals. Bits 8..15 are general inputs, set only
// through SetInputs.
namespace input {
constexpr std::uint16_t kPlusLimit = 0x0001;
constexpr std::uint16_t kMinusLimit = 0x0002;
constexpr std::uint16_t kHome = 0x0004;
constexpr std::uint16_t kNearHome = 0x0008;
constexpr std::uint16_t kIndex = 0x0010;
constexpr std::uint16_t kServoAlarm = 0x0020;
constexpr std::uint16_t kInPosition = 0x0040;
} // namespace input

// What an application could see of one axis, and a little more.
struct AxisStatus {
    std::int32_t lp = 0;
    std::int32_t ep = 0;
    double speed = 0;        // pulses per second, magnitude
    double acceleration = 0; // pulses per second squared, magnitude
    bool driving = false;    // moving, or with motion queued or held back
    std::uint16_t errorCode = 0;
    std::uint16_t inputs = 0; // the input word as GET_DI_ALL reads it
    bool servoOn = true;
    bool homing = false;      // a homing sequence is running
    double motor = 0;         // where the motor is, on the LP scale (it lags LP)
    std::int32_t machine = 0; // the machine position LP stands for (LP at power-up, before presets and homing)
    double followingError = 0; // LP minus the motor, pulses
    std::int32_t latch = 0;    // the value GET_LATCH reads
    std::uint8_t outputs = 0;  // the eight output bits
};

struct Counters {
    std::uint64_t packetsTaken = 0;
    std::uint64_t exchangesAnswered = 0; // queries and control codes
    std::uint64_t busReads = 0;
    std::uint64_t busWrites = 0;
    std::uint32_t sequenceGaps = 0;   // packet numbers skipped in the ring of 30
    std::uint32_t droppedPackets = 0; // packets announced by the host and then given up
    std::uint32_t unsimulated = 0;    // commands and codes the module could not use (Unsimulated())
    std::uint64_t packetsHeld = 0;    // packets that waited in the mailbox for room in the command buffer
};

// One position sample of the path driven.
struct TrailPoint {
    double time = 0; // simulated seconds
    std::array<std::int32_t, kAxisCount> lp{};
};

// One packet taken or one exchange answered, for tracing.
struct LogEntry {
    enum class Kind : std::uint8_t { Packet, Exchange };
    Kind kind = Kind::Packet;
    std::uint8_t sequence = 0; // the number a packet carried
    std::uint8_t code = 0;
    std::array<std::uint8_t, kDataBytes> bytes{}; // packet bytes, or the reply of an exchange
    std::array<std::uint8_t, 10> registers{};     // parameter registers 96, 98, .., 114 of an exchange
    double time = 0;                               // simulated seconds
};

// The name of a command or handshake code ("SET_MAX_V"), or "code N".
std::string CodeName(std::uint8_t code, LogEntry::Kind kind);
// One line describing an entry with its fields decoded:
// "#7 SET_MAX_V axis=1 data=500" or "query GET_LP axis=1 -> 2000".
std::string Describe(const LogEntry& entry);

// A macro program step as recorded (the packet's bytes).
using MacroStep = std::array<std::uint8_t, kDataBytes>;
// One step with its fields decoded: MP_IF var_a=1 op=">=" var_b=2.
std::string DescribeStep(const MacroStep& step);

// Where the module's program runner stands.
struct MacroRunStatus {
    bool running = false;   // a program run is in progress
    bool debugging = false; // it stops before each step
    bool paused = false;    // it stands before a step, waiting for CONTINUE_DEBUG
    std::uint8_t program = 0; // the program running now (a called one while inside it)
    std::uint16_t step = 0;   // the index of the step it stands at
    bool routineArmed = false; // ISR_DEBUG waits for an interrupt event
};

// How a module's clock runs now (Clock()).
struct ClockState {
    ClockKind kind = ClockKind::Manual;
    bool paused = false;   // PauseClock(true): no motion step runs on its own
    double timeScale = 1;  // simulated seconds per real second at the ordinary pace
    double step = 0.001;   // simulated seconds per motion step
};

// Everything an onlooker can see of a module at one moment (Snapshot()).
struct ModuleSnapshot {
    double time = 0;          // simulated seconds
    std::uint64_t steps = 0;  // motion steps run since the module was made
    std::uint8_t slot = 0;    // 0 while not plugged
    std::uint8_t id = 'D';
    std::uint32_t firmwareVersion = 0;
    ClockState clock;
    bool busy = false;        // SetBusy(true): the module takes and answers nothing
    std::array<AxisStatus, kAxisCount> axes{};
    std::array<std::uint16_t, kAxisCount> forcedInputs{}; // what SetInputs forces high
    std::array<std::uint8_t, kAxisCount> outputs{};
    std::array<std::int32_t, kAxisCount> latch{};
    std::array<bool, kAxisCount> driveAlarm{};            // SetDriveAlarm
    // What the jog buttons and the handwheel do to each axis, as the host set
    // it with the EXD commands (PressJog and TurnHandwheel act only in these).
    std::array<ExternalDrive, kAxisCount> externalDrive{};
    // Where each axis's commanded motion ends: a fixed move's end, or the end
    // of the interpolated path running (its segments queued so far included).
    // hasEnd is false for an axis at rest, in a continuous move or homing.
    std::array<bool, kAxisCount> hasEnd{};
    std::array<std::int64_t, kAxisCount> commandedEnd{};
    std::array<MachineAxis, kAxisCount> machine{};
    std::uint16_t moduleErrors = 0; // error bits of the whole module, reported with every axis
    bool interruptOn = false;       // ENABLE_INT
    std::uint8_t interruptEnabled = 0; // factor enable mask
    std::uint8_t interruptCode = 0;    // the code register, unread factors
    bool interruptUp = false;          // signalled and not yet read
    std::size_t bufferedSegments = 0;
    std::size_t bufferCapacity = 0;
    MacroRunStatus program;
    bool remoteLoopback = false;
    Counters counters;
};

class VirtualModule;
namespace detail {
class LockedControl; // scenario actions, under the lock a hook holds (src/scenarios)
}

// What an observer's hook may look at: the module as it stands during the
// call. The caller holds the module's lock, so these read without taking it;
// a view is valid only during the hook it was passed to.
class ModuleView {
public:
    double Time() const;
    std::uint64_t Steps() const;
    std::uint8_t Slot() const;
    AxisStatus Axis(int index) const; // index 0..3
    std::int32_t Lp(int index) const; // LP alone, cheaper
    std::size_t BufferedSegments() const;
    std::uint8_t Outputs(int index) const;
    std::uint16_t ModuleErrors() const;
    std::uint16_t ForcedInputs(int index) const; // what SetInputs forces high
    bool DriveAlarm(int index) const;            // SetDriveAlarm
    // Where the axis's commanded motion ends (ModuleSnapshot::commandedEnd);
    // false when it has no end.
    bool CommandedEnd(int index, std::int64_t& end) const;
    ModuleSnapshot Snapshot() const;

private:
    friend class VirtualModule;
    explicit ModuleView(const VirtualModule& module) : module_(module) {}
    const VirtualModule& module_;
};

// Hooks into a module's life, for onlookers (the monitor, test scenarios).
//
// Each hook is called with the module's lock held, by whichever thread made
// the module act: the firmware thread (real-time and fast clocks), the
// host's thread in its register access (a packet taken at once, a motion
// catch-up), or the thread calling a simulator function (Advance, SetInputs,
// ...). Hooks of one module never run at the same time; those of different
// modules may. A hook must be quick and must not block, and it must not call
// the module's own functions (its lock is held): what it needs comes with
// the call or through the ModuleView. Hooks that nobody overrides do nothing.
// With no observer added the module's only cost is a check of an empty list.
class ModuleObserver {
public:
    virtual ~ModuleObserver() = default;
    // A motion step ran; view.Time() is the simulated time after it. The
    // changes below are reported before the step they came in.
    virtual void MotionStepped(const ModuleView& view) { (void)view; }
    // A packet the host posted was taken (not the steps of a macro program);
    // entry.time is the simulated time.
    virtual void PacketTaken(const LogEntry& entry, const ModuleView& view) { (void)entry; (void)view; }
    // Factors went into the interrupt code register: `factors` the new bits,
    // `code` the register now.
    virtual void InterruptRaised(std::uint8_t factors, std::uint8_t code, const ModuleView& view)
    {
        (void)factors; (void)code; (void)view;
    }
    // The error word of an axis (as GET_ERROR_CODE reads it: the axis's bits
    // with the module-wide ones) changed.
    virtual void ErrorsChanged(int axisIndex, std::uint16_t before, std::uint16_t after, const ModuleView& view)
    {
        (void)axisIndex; (void)before; (void)after; (void)view;
    }
    // The macro program runner started, ended, or stands at another step or
    // program. Steps run within one call are reported once, where it stands
    // afterwards.
    virtual void ProgramMoved(const MacroRunStatus& run, const ModuleView& view) { (void)run; (void)view; }
    // SetBusy changed the busy mode.
    virtual void BusyChanged(bool busy, const ModuleView& view) { (void)busy; (void)view; }
    // PauseClock or SetTimeScale changed the clock.
    virtual void ClockChanged(const ClockState& clock, const ModuleView& view) { (void)clock; (void)view; }
};

class VirtualModule : public brelan::SlotDevice {
public:
    explicit VirtualModule(const ModuleOptions& options = ModuleOptions{});
    ~VirtualModule() override; // unplugs and ends the firmware thread
    VirtualModule(const VirtualModule&) = delete;
    VirtualModule& operator=(const VirtualModule&) = delete;

    // Plugs the module into a slot (1 to 7) of the virtual backplane, out of
    // the slot it was in. A module already in that slot is put out of it (it
    // counts as unplugged). False for another slot number, and nothing
    // changes: the module stays where it was.
    bool PlugInto(std::uint8_t slot);
    // Takes the module out of its slot; a device plugged into that slot
    // since stays.
    void Unplug();

    // The window, called by the backplane for each register access.
    std::uint8_t Read(std::uint8_t offset) override;
    void Write(std::uint8_t offset, std::uint8_t value) override;

    // Manual clock: lets the firmware take what is waiting in the mailbox,
    // then runs the motion model for `time` of simulated time (at most
    // kLongestAdvance; more is taken as that, a negative time as 0). Once
    // nothing moves, waits for time or samples, the rest of the time passes
    // in one jump, so an idle advance is cheap however long.
    void Advance(std::chrono::microseconds time);
    // Manual clock: advances step by step until none of the selected axes is
    // driving, at most `limit`. Returns whether they all stopped.
    bool AdvanceUntilStopped(std::uint8_t axisMask, std::chrono::microseconds limit);
    double Now() const; // simulated seconds since the module was made

    // While busy, the firmware takes no packet and answers no code: the
    // handshake register stays as the host wrote it. Busy mode and a take
    // latency hand the mailbox to the firmware thread.
    void SetBusy(bool busy);
    void SetTakeLatency(std::chrono::microseconds latency);
    // Blocks until the mailbox holds nothing the firmware can take without
    // simulated time passing (returns at once while busy, or while a packet
    // waits for room in the command buffer).
    void WaitSettled();
    // Path segments in the command buffer, not yet started.
    std::size_t BufferedSegments() const;

    AxisStatus Axis(int index) const; // index 0..3
    Counters GetCounters() const;
    // Codes the module could not use, with how often each came: unknown
    // codes, commands not simulated or kept without effect (error bit 0x0800),
    // and commands refused for values the module cannot use (0x0008).
    // CodeName() names them.
    std::map<std::uint8_t, std::uint32_t> Unsimulated() const;
    // Strict mode: such a command prints its name to stderr and aborts the
    // program, so that a test suite cannot pass over it.
    void SetStrict(bool strict);

    // The machine around axis `axisIndex` (0..3): switch positions, drive and
    // encoder. Setting it takes effect from the next motion step.
    void SetMachine(int axisIndex, const MachineAxis& machine);
    MachineAxis Machine(int axisIndex) const;
    // The servo drive's alarm output of an axis.
    void SetDriveAlarm(int axisIndex, bool on);
    // The external drive inputs (EXD_*): a jog button pressed towards
    // direction +1 or -1, or released (0); a handwheel turned by counts.
    void PressJog(int axisIndex, int direction);
    void TurnHandwheel(int axisIndex, std::int32_t counts);

    // Stores and inputs, as the firmware keeps them. SetInputs forces input
    // terminals of an axis high (bits as in `input`), over the machine's own
    // levels; bits 8..15 are general inputs.
    void SetInputs(int axisIndex, std::uint16_t word);
    void SetRemoteInput(std::uint8_t port, std::uint16_t word);
    std::uint32_t RemoteOutput(std::uint8_t port) const;
    std::uint8_t ByteVariable(std::uint8_t index) const;
    std::int32_t LongVariable(std::uint16_t index) const;
    std::uint32_t MdWord(std::uint16_t index) const; // raw bits: integer or float
    void SetLatch(int axisIndex, std::int32_t value);
    // The axis's eight output bits (SET_OUT, compares, synchronous actions).
    std::uint8_t Outputs(int axisIndex) const;
    // Remote I/O: with the loopback on, each port's input word reads the low
    // 16 bits of its own output word; off (the default), it reads what
    // SetRemoteInput put there.
    void SetRemoteLoopback(bool on);
    void SetFirmwareVersion(std::uint32_t version);

    // Macro programs (docs/virtual-module.md, "Macro programs").
    std::size_t MacroProgramSteps(std::uint8_t program) const;
    // The steps of a closed program, in order; empty for an unknown number.
    std::vector<MacroStep> MacroProgram(std::uint8_t program) const;
    MacroRunStatus MacroRun() const;
    // Manual clock: advances step by step until no program run is in
    // progress, at most `limit`. A run the debugger holds before a step does
    // not end by itself: false at once. Returns whether the run ended.
    bool AdvanceUntilProgramEnds(std::chrono::microseconds limit);

    // Raises interrupt factors as the firmware does for its own events: the
    // enabled ones go into the code register, and the slot interrupt is
    // signalled if the line was down.
    void RaiseInterrupt(std::uint8_t factors);

    std::vector<TrailPoint> TakeTrail();
    std::vector<LogEntry> TakeLog();

    // The scope (velkor_sim/scope.h). StartScope returns false, and changes
    // nothing, for settings out of range.
    bool StartScope(const ScopeSettings& settings);
    void StopScope();
    std::vector<ScopeSample> TakeScope();
    ScopeState GetScopeState() const;

    // Onlookers (ModuleObserver). AddObserver adds one (once); RemoveObserver
    // returns when no hook of it runs any more, after which it may be
    // destroyed. Neither may be called from a hook.
    void AddObserver(ModuleObserver* observer);
    void RemoveObserver(ModuleObserver* observer);
    ModuleSnapshot Snapshot() const;

    // The clock, for an onlooker. PauseClock(true) stops simulated time on
    // the real-time and fast clocks (the manual clock only moves in Advance
    // anyway): no motion step runs, the host's packets and queries are still
    // taken and answered; resumed, time goes on from where it stood.
    // StepClock runs motion steps at once, paused or not. SetTimeScale sets
    // the real-time pace (more than 0, at most 1000; the fast clock's sprint
    // scale is raised to it when below); false, and nothing changes, for a
    // value out of range.
    void PauseClock(bool paused);
    void StepClock(int steps);
    bool SetTimeScale(double scale);
    ClockState Clock() const;

private:
    friend class ModuleView;
    friend class detail::LockedControl;
    ModuleView View() const { return ModuleView(*this); } // for the hooks
    class Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace velkor_sim

#endif
