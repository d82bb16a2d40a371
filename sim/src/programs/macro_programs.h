// Macro programs: the store they are recorded into, the runner that carries
// them out on the module's own timeline, and the debugger that stops before
// each step.
//
//  - program_store.cpp: recording between MP_CREATE and MP_CLOSE, and the
//    check of a closed program (blocks balanced, values in range);
//  - program_runner.cpp: MP_CALL, the flow steps (loops, conditions, timer,
//    waiting for a stop, calls), the step budget and the faults;
//  - macro_steps.cpp: the steps that also work outside a program: variables,
//    arithmetic, the readers' variable and LOAD_INITIAL;
//  - debugger.cpp: MP_DEBUG, ISR_DEBUG, CONTINUE_DEBUG, STOP_DEBUG and the
//    debug register.
//
// A recorded step is carried out through the context (Context::Execute), the
// same entry a packet from the mailbox takes; only the flow steps are the
// runner's own.
#ifndef VELKOR_SIM_PROGRAMS_MACRO_PROGRAMS_H
#define VELKOR_SIM_PROGRAMS_MACRO_PROGRAMS_H

#include "protocol/fields.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <vector>

namespace velkor_sim {
namespace detail {

class Command;
class Context;
class InterruptLine;
struct PathState;
struct Stores;
struct MacroStore;

// What the programs work on: their store and run, the variables they
// compute with, the interrupt line they arm and raise, the paths' set-up
// LOAD_INITIAL restores, and the context, through which a step is carried
// out as a packet from the host is.
struct ProgramsAt {
    MacroStore& macros;
    Stores& stores;
    InterruptLine& interrupts;
    PathState& paths;
    Context& ctx;

    void Fault(std::uint16_t bits) const;
};

// Codes the programs family knows by number.
namespace macro {
constexpr std::uint8_t kLoadInitial = 200;
constexpr std::uint8_t kCreate = 201;
constexpr std::uint8_t kClose = 202;
constexpr std::uint8_t kCall = 203;
constexpr std::uint8_t kSetVar = 210;
constexpr std::uint8_t kSetRVar = 211;
constexpr std::uint8_t kCalculate = 212;
constexpr std::uint8_t kFor = 213;
constexpr std::uint8_t kNext = 214;
constexpr std::uint8_t kIf = 215;
constexpr std::uint8_t kElse = 216;
constexpr std::uint8_t kIfEnd = 217;
constexpr std::uint8_t kTimer = 218;
constexpr std::uint8_t kStopWait = 219;
constexpr std::uint8_t kSetRint = 220;
constexpr std::uint8_t kDebug = 240;
constexpr std::uint8_t kIsrDebug = 241;
constexpr std::uint8_t kContinueDebug = 242;
constexpr std::uint8_t kStopDebug = 243;

constexpr std::size_t kMaxSteps = 1024;     // steps of one program
constexpr std::size_t kMaxNesting = 16;     // FOR and IF blocks inside each other
constexpr std::size_t kMaxCallDepth = 8;    // programs calling programs
constexpr std::size_t kStepBudget = 100000; // steps carried out without simulated time passing
constexpr std::uint32_t kVariableCount = 65536;
} // namespace macro

// Factor bits of the interrupt code that belong to programs.
namespace factor {
constexpr std::uint8_t kDebugEvent = 0x20;   // a debugged program stopped before a step, or ended
constexpr std::uint8_t kProgramFault = 0x80; // a program run ended on a fault (with MP_SET_RINT's bit: the program asks for attention)
} // namespace factor

// What the debug byte says (window offset 76) when it is not a step's code.
namespace debug {
constexpr std::uint8_t kEnded = 0;   // the program ran to its end; word: its step count
constexpr std::uint8_t kFault = 1;   // the run ended on a fault; word: the step at fault
constexpr std::uint8_t kStopped = 2; // STOP_DEBUG, a stop, a reset or a buffer clear ended it; word: the step
constexpr std::uint8_t kArmed = 3;   // ISR_DEBUG waits for an interrupt event; word: the program number
} // namespace debug

// A closed program with the result of its check.
struct Program {
    std::vector<Bytes> steps;
    bool tooLong = false;        // steps were dropped at the length limit
    std::uint16_t fault = 0;     // error bits a call sets instead of running; 0: runnable
    std::size_t faultAt = 0;     // the step the check stopped at
    std::vector<std::size_t> jump; // FOR: past its NEXT; NEXT: its FOR; IF: past its ELSE or to its IF_END; ELSE: its IF_END
};
using ProgramPtr = std::shared_ptr<const Program>;

struct LoopFrame {
    std::size_t forAt = 0;
    std::int64_t left = 0; // passes still to run, this one included
};

// One program being run: a call of it from the host or from another program.
struct CallFrame {
    ProgramPtr program;
    std::uint8_t number = 0;
    std::size_t pc = 0; // the step the program stands at
    std::vector<LoopFrame> loops;
};

struct ProgramRun {
    enum class Wait : std::uint8_t { None, Timer, Stop };
    bool active = false;
    bool debugging = false;
    bool paused = false;   // debugging: stopped before the step at pc
    bool approved = false; // debugging: CONTINUE_DEBUG let the step at pc go
    Wait wait = Wait::None;
    double timerLeft = 0;  // seconds
    std::uint8_t waitAxes = 0;
    std::vector<CallFrame> calls; // back: the program running now
};

struct MacroStore {
    // Recording
    std::map<std::uint8_t, ProgramPtr> programs;
    bool recording = false;
    std::uint8_t program = 0;
    Program draft;
    // Running and debugging
    ProgramRun run;
    std::uint16_t readerVariable = 0; // where the recorded readers load their value
    bool isrArmed = false;
    std::uint8_t isrProgram = 0;
    bool debugLive = false; // the module writes debugByte and debugWord to the window
    std::uint8_t debugByte = 0;
    std::uint16_t debugWord = 0;
};

// Recording (program_store.cpp). Keeps the packet as a step when a program
// is being recorded; returns whether it did.
bool RecordStep(ProgramsAt pr, const Bytes& p);
// Checks a closed program: blocks balanced and nested no deeper than the
// limit, values in range. Fills fault, faultAt and jump.
void CheckProgram(Program& program);

// Running (program_runner.cpp).
// Starts program `number` from its first step; a fault is reported at once.
void StartRun(ProgramsAt pr, std::uint8_t number, bool debugging);
// Carries out steps until the program waits, pauses, ends or faults.
void ContinueRun(ProgramsAt pr);
// Ends the run without a fault; the debug register tells why.
void EndRun(ProgramsAt pr, std::uint8_t why);
// The host took a packet or answered a code: direct stops end a run, an
// armed interrupt routine may start, and the run goes on.
void ProgramsAfterHost(ProgramsAt pr, std::uint8_t code, bool exchange);
// A motion step of dt seconds has passed.
void ProgramsAfterStep(ProgramsAt pr, double dt);
// Whether a run waits for simulated time to pass.
bool ProgramNeedsTime(const MacroStore& macros);
// RESET_CARD and CLEAR_CARD_BUFFER: recording and runs end, the armed
// routine is dropped; RESET_CARD also puts the reader variable back to 0.
void ClearPrograms(ProgramsAt pr, bool reset);

// Window offsets of the debug register: the word low and high, the byte.
constexpr int kDebugWordLow = 72;
constexpr int kDebugWordHigh = 74;
constexpr int kDebugByte = 76;
// Shows a step (or an end) in the debug register (debugger.cpp).
void ShowDebug(ProgramsAt pr, std::uint8_t byte, std::uint16_t word);

// Packet handlers
void MpCreate(ProgramsAt pr, const Command& cmd);    // 201
void MpClose(ProgramsAt pr, const Command& cmd);     // 202
void MpCall(ProgramsAt pr, const Command& cmd);      // 203
void LoadInitial(ProgramsAt pr, const Command& cmd); // 200
void MpSetVar(ProgramsAt pr, const Command& cmd);    // 210
void MpSetRVar(ProgramsAt pr, const Command& cmd);   // 211
void MpCalculate(ProgramsAt pr, const Command& cmd); // 212
void FlowOutsideProgram(ProgramsAt pr, const Command& cmd); // 213..219 sent directly
void MpSetRint(ProgramsAt pr, const Command& cmd);   // 220
void MpDebug(ProgramsAt pr, const Command& cmd);     // 240
void IsrDebug(ProgramsAt pr, const Command& cmd);    // 241
// Exchange handlers
void ContinueDebug(ProgramsAt pr, Window& w);      // 242
void StopDebug(ProgramsAt pr, Window& w);          // 243

// Arithmetic and comparison shared by the steps and the program check.
bool KnownCalculation(std::uint8_t op);
bool KnownComparison(std::uint8_t first, std::uint8_t second);
// Compares a with b by the operator bytes of MP_IF (a known comparison).
bool CompareVariables(std::int32_t a, std::uint8_t first, std::uint8_t second, std::int32_t b);
// a op b with 32-bit wrap-around; false for a division by zero.
bool Calculate(std::int32_t a, std::uint8_t op, std::int32_t b, std::int32_t& result);
inline bool VariableIndex(std::int32_t v) { return v >= 0 && static_cast<std::uint32_t>(v) < macro::kVariableCount; }

} // namespace detail
} // namespace velkor_sim

#endif
