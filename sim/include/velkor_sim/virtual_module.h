// The virtual module: a device for a slot of the virtual backplane that plays
// the motion module's firmware behind the mailbox window, so that programs
// written against Velkor.h run unchanged on an ordinary PC.
//
// The firmware runs on a thread of its own, which sleeps while there is
// nothing to do. It takes each packet posted with handshake 1, answers each
// query and control code and clears the handshake register to 0, and runs a
// motion model of four axes in simulated time. Time comes from one of two
// clocks: a manual clock that only moves when a test calls Advance(), or a
// real-time clock (optionally faster than real time) for the main job.
//
// Conventions the firmware keeps (docs/virtual-module.md has them all):
//  - an axis selector is a bit mask: 1, 2, 4 and 8 select axes 1 to 4, a sum
//    of them several axes at once; a query that returns one value answers for
//    the lowest selected axis;
//  - speeds are pulses per second, accelerations pulses per second squared,
//    positions pulses; all interpolation values are relative to the start of
//    the segment;
//  - the reply of STOP_WAIT is 1 when every selected axis has stopped and has
//    no motion queued or held back, otherwise 0.
#ifndef VELKOR_SIM_VIRTUAL_MODULE_H
#define VELKOR_SIM_VIRTUAL_MODULE_H

#include <brelan/backplane.h>

#include <array>
#include <chrono>
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
constexpr std::uint16_t kPacketMissing = 0x1000;  // a packet number was skipped or given up
} // namespace error

// Error bits of a macro program run that ended on a fault (module-wide).
namespace error {
constexpr std::uint16_t kProgramMissing = 0x0200;   // no program has the number called
constexpr std::uint16_t kProgramMalformed = 0x0400; // unbalanced blocks, a bad value, a division by zero, calls too deep
constexpr std::uint16_t kProgramRunaway = 0x0800;   // too many steps without simulated time passing
constexpr std::uint16_t kProgramTooLong = 0x2000;   // the program was recorded past its length limit
} // namespace error

enum class ClockKind : std::uint8_t { Manual, RealTime };

struct ModuleOptions {
    std::uint8_t id = 'D';                          // module ID byte: 'D', or 'U'
    ClockKind clock = ClockKind::Manual;
    double timeScale = 1.0;                         // real-time clock: simulated seconds per second
    std::chrono::microseconds takeLatency{0};       // real time before a packet or code is taken
    std::chrono::microseconds step{1000};           // simulated time per motion step
    std::uint32_t firmwareVersion = kDefaultFirmwareVersion;
    bool keepTrail = false;                         // record the positions driven (TakeTrail)
    bool keepLog = false;                           // record every packet and exchange (TakeLog)
};

// What an application could see of one axis, and a little more.
struct AxisStatus {
    std::int32_t lp = 0;
    std::int32_t ep = 0;
    double speed = 0;        // pulses per second, magnitude
    double acceleration = 0; // pulses per second squared, magnitude
    bool driving = false;    // moving, or with motion queued or held back
    std::uint16_t errorCode = 0;
    std::uint16_t inputs = 0;
};

struct Counters {
    std::uint64_t packetsTaken = 0;
    std::uint64_t exchangesAnswered = 0; // queries and control codes
    std::uint64_t busReads = 0;
    std::uint64_t busWrites = 0;
    std::uint32_t sequenceGaps = 0;   // packet numbers skipped in the ring of 30
    std::uint32_t droppedPackets = 0; // packets announced by the host and then given up
    std::uint32_t unsimulated = 0;    // commands and codes taken without being simulated
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

class VirtualModule : public brelan::SlotDevice {
public:
    explicit VirtualModule(const ModuleOptions& options = ModuleOptions{});
    ~VirtualModule() override; // unplugs and ends the firmware thread
    VirtualModule(const VirtualModule&) = delete;
    VirtualModule& operator=(const VirtualModule&) = delete;

    // Plugs the module into a slot (1 to 7) of the virtual backplane.
    bool PlugInto(std::uint8_t slot);
    void Unplug();

    // The window, called by the backplane for each register access.
    std::uint8_t Read(std::uint8_t offset) override;
    void Write(std::uint8_t offset, std::uint8_t value) override;

    // Manual clock: lets the firmware take what is waiting in the mailbox,
    // then runs the motion model for `time` of simulated time.
    void Advance(std::chrono::microseconds time);
    // Manual clock: advances step by step until none of the selected axes is
    // driving, at most `limit`. Returns whether they all stopped.
    bool AdvanceUntilStopped(std::uint8_t axisMask, std::chrono::microseconds limit);
    double Now() const; // simulated seconds since the module was made

    // While busy, the firmware takes no packet and answers no code: the
    // handshake register stays as the host wrote it.
    void SetBusy(bool busy);
    void SetTakeLatency(std::chrono::microseconds latency);
    // Blocks until the mailbox holds nothing the firmware has still to take
    // (returns at once while busy).
    void WaitSettled();

    AxisStatus Axis(int index) const; // index 0..3
    Counters GetCounters() const;
    // Codes taken without being simulated, with how often each came.
    std::map<std::uint8_t, std::uint32_t> Unsimulated() const;

    // Stores and inputs, as the firmware keeps them.
    void SetInputs(int axisIndex, std::uint16_t word);
    void SetRemoteInput(std::uint8_t port, std::uint16_t word);
    std::uint32_t RemoteOutput(std::uint8_t port) const;
    std::uint8_t ByteVariable(std::uint8_t index) const;
    std::int32_t LongVariable(std::uint16_t index) const;
    std::uint32_t MdWord(std::uint16_t index) const; // raw bits: integer or float
    void SetLatch(int axisIndex, std::int32_t value);
    void SetFirmwareVersion(std::uint32_t version);

    // Macro programs (docs/virtual-module.md, "Macro programs").
    std::size_t MacroProgramSteps(std::uint8_t program) const;
    // The steps of a closed program, in order; empty for an unknown number.
    std::vector<MacroStep> MacroProgram(std::uint8_t program) const;
    MacroRunStatus MacroRun() const;
    // Manual clock: advances step by step until no program run is in
    // progress, at most `limit`. A run paused by the debugger does not end
    // by itself. Returns whether the run ended.
    bool AdvanceUntilProgramEnds(std::chrono::microseconds limit);

    // Sets factor bits in the interrupt code register and raises the slot
    // interrupt, as the firmware does for its own events.
    void RaiseInterrupt(std::uint8_t factors);

    std::vector<TrailPoint> TakeTrail();
    std::vector<LogEntry> TakeLog();

private:
    class Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace velkor_sim

#endif
