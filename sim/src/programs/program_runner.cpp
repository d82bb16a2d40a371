// The program runner: carries out a called program step by step on the
// module's own timeline while the host goes on sending packets and codes.
//
// A run goes on until it has to wait (TIMER, STOP_WAIT), the debugger stops
// it before a step, it ends, or it faults; it goes on after each motion step
// and after each packet or code from the host. Every step that is not a flow
// step is carried out with Firmware::ExecutePacket, as if the host had sent
// it at that moment.
#include "programs/macro_programs.h"

#include "context/context.h"
#include "interrupts/interrupt_line.h"
#include "paths/paths.h"
#include "programs/step_fields.h"
#include "stores/variables.h"

namespace velkor_sim {
namespace detail {

void ProgramsAt::Fault(std::uint16_t bits) const { ctx.Fault(bits); }
namespace {

constexpr double kTimeEpsilon = 1e-9;

// Ends the run on a fault: error bits, factor 6 and, in a debug run, a last
// debug event with the step at fault.
void Fail(ProgramsAt pr, std::uint16_t bits, std::size_t at)
{
    MacroStore& m = pr.macros;
    const bool debugging = m.run.debugging;
    m.run = ProgramRun{};
    pr.Fault(bits);
    pr.interrupts.Raise(factor::kProgramFault, false);
    ShowDebug(pr, debug::kFault, static_cast<std::uint16_t>(at));
    if (debugging) {
        pr.interrupts.Raise(factor::kDebugEvent);
    }
}

// Enters program `number`; false (after reporting the fault) when it cannot run.
bool PushCall(ProgramsAt pr, std::uint8_t number, std::size_t callerAt)
{
    MacroStore& m = pr.macros;
    const auto found = m.programs.find(number);
    if (found == m.programs.end()) {
        Fail(pr, error::kProgramMissing, callerAt);
        return false;
    }
    const ProgramPtr program = found->second;
    if (program->fault != 0) {
        Fail(pr, program->fault, program->faultAt);
        return false;
    }
    if (m.run.calls.size() >= macro::kMaxCallDepth) {
        Fail(pr, error::kProgramMalformed, callerAt);
        return false;
    }
    CallFrame frame;
    frame.program = program;
    frame.number = number;
    m.run.calls.push_back(std::move(frame));
    return true;
}

bool WaitOver(const ProgramsAt pr)
{
    const ProgramRun& r = pr.macros.run;
    if (r.wait == ProgramRun::Wait::Timer) {
        return r.timerLeft <= kTimeEpsilon;
    }
    for (int i = 0; i < kAxisCount; ++i) {
        if ((r.waitAxes & (1u << i)) && pr.ctx.AxisDriving(i)) {
            return false;
        }
    }
    return true;
}

// Carries out the step at pc of the program running now and moves pc on
// (or leaves it on a step that waits). Returns false when the run faulted.
bool Execute(ProgramsAt pr)
{
    ProgramRun& r = pr.macros.run;
    CallFrame& f = r.calls.back();
    const std::size_t at = f.pc;
    const Bytes step = f.program->steps[at];
    const std::vector<std::size_t>& jump = f.program->jump;
    std::vector<std::int32_t>& vars = pr.stores.longVars;
    switch (step[0]) {
    case macro::kFor: {
        const std::int32_t count = StoredCommand(step)[step_field::kForCount];
        if (count <= 0) {
            f.pc = jump[at];
        } else {
            f.loops.push_back(LoopFrame{at, count});
            ++f.pc;
        }
        return true;
    }
    case macro::kNext:
        if (f.loops.empty()) {
            Fail(pr, error::kProgramMalformed, at);
            return false;
        }
        if (--f.loops.back().left > 0) {
            f.pc = f.loops.back().forAt + 1;
        } else {
            f.loops.pop_back();
            ++f.pc;
        }
        return true;
    case macro::kIf: {
        const Command c = StoredCommand(step);
        const std::uint16_t op = c[step_field::kIfOp];
        f.pc = CompareVariables(vars[c[step_field::kIfA]], static_cast<std::uint8_t>(op), static_cast<std::uint8_t>(op >> 8),
                                vars[c[step_field::kIfB]])
                   ? at + 1
                   : jump[at];
        return true;
    }
    case macro::kElse: f.pc = jump[at]; return true; // the branch taken ends here
    case macro::kIfEnd: ++f.pc; return true;
    case macro::kCalculate: {
        const Command c = StoredCommand(step);
        std::int32_t result = 0;
        if (!Calculate(vars[c[step_field::kCalcA]], c[step_field::kCalcOp], vars[c[step_field::kCalcB]], result)) {
            Fail(pr, error::kProgramMalformed, at); // a division by zero
            return false;
        }
        vars[c[step_field::kCalcVar]] = result;
        ++f.pc;
        return true;
    }
    case macro::kTimer: {
        const std::int32_t ms = StoredCommand(step)[step_field::kTimerMs];
        if (ms == 0) {
            ++f.pc;
        } else {
            r.wait = ProgramRun::Wait::Timer;
            r.timerLeft = ms / 1000.0;
        }
        return true;
    }
    case macro::kStopWait: {
        const std::uint8_t axes = StoredCommand(step)[step_field::kStopWaitAxes];
        if (!ValidSelector(axes)) {
            pr.Fault(error::kBadCommand);
            ++f.pc;
        } else {
            r.wait = ProgramRun::Wait::Stop;
            r.waitAxes = axes;
        }
        return true;
    }
    case macro::kCall: // pc moves on when the callee returns
        return PushCall(pr, StoredCommand(step)[step_field::kCallProgram], at);
    default:
        ++f.pc;
        pr.ctx.Execute(step);
        return true;
    }
}

void StartRoutineOnEvent(ProgramsAt pr)
{
    MacroStore& m = pr.macros;
    if (!m.isrArmed || m.run.active) {
        return;
    }
    const std::uint8_t events = pr.interrupts.TakeSeen() & static_cast<std::uint8_t>(~factor::kDebugEvent);
    if (events != 0) {
        m.isrArmed = false;
        StartRun(pr, m.isrProgram, true);
    }
}

} // namespace

void StartRun(ProgramsAt pr, std::uint8_t number, bool debugging)
{
    ProgramRun& r = pr.macros.run;
    if (r.active) {
        pr.Fault(error::kAxisBusy); // one program runs at a time
        return;
    }
    r = ProgramRun{};
    r.active = true;
    r.debugging = debugging;
    if (PushCall(pr, number, 0)) {
        ContinueRun(pr);
    }
}

void ContinueRun(ProgramsAt pr)
{
    ProgramRun& r = pr.macros.run;
    std::size_t budget = 0;
    while (r.active && !r.paused) {
        CallFrame& f = r.calls.back();
        const std::size_t size = f.program->steps.size();
        if (f.pc >= size) {
            if (r.calls.size() > 1) {
                r.calls.pop_back();
                ++r.calls.back().pc; // past the MP_CALL step
                continue;
            }
            const bool debugging = r.debugging;
            r = ProgramRun{};
            ShowDebug(pr, debug::kEnded, static_cast<std::uint16_t>(size));
            if (debugging) {
                pr.interrupts.Raise(factor::kDebugEvent);
            }
            return;
        }
        ShowDebug(pr, f.program->steps[f.pc][0], static_cast<std::uint16_t>(f.pc));
        if (r.wait != ProgramRun::Wait::None) {
            if (!WaitOver(pr)) {
                return;
            }
            r.wait = ProgramRun::Wait::None;
            ++f.pc;
            continue;
        }
        if (r.debugging && !r.approved) {
            r.paused = true;
            pr.interrupts.Raise(factor::kDebugEvent);
            return;
        }
        r.approved = false;
        if (++budget > macro::kStepBudget) {
            Fail(pr, error::kProgramRunaway, f.pc);
            return;
        }
        if (!Execute(pr)) {
            return;
        }
    }
}

void EndRun(ProgramsAt pr, std::uint8_t why)
{
    ProgramRun& r = pr.macros.run;
    if (!r.active) {
        return;
    }
    const std::uint16_t at = r.calls.empty() ? 0 : static_cast<std::uint16_t>(r.calls.back().pc);
    r = ProgramRun{};
    ShowDebug(pr, why, at);
}

void ProgramsAfterHost(ProgramsAt pr, std::uint8_t code, bool exchange)
{
    // A direct stop from the host ends the program too, so that it cannot
    // start the axes again; stops that are steps of the program do not.
    if (exchange && code >= 183 && code <= 186) {
        EndRun(pr, debug::kStopped);
    }
    StartRoutineOnEvent(pr);
    ContinueRun(pr);
}

void ProgramsAfterStep(ProgramsAt pr, double dt)
{
    ProgramRun& r = pr.macros.run;
    if (r.active && !r.paused && r.wait == ProgramRun::Wait::Timer) {
        r.timerLeft -= dt;
    }
    StartRoutineOnEvent(pr);
    ContinueRun(pr);
}

bool ProgramNeedsTime(const MacroStore& macros)
{
    const ProgramRun& r = macros.run;
    return r.active && !r.paused && r.wait != ProgramRun::Wait::None;
}

void ClearPrograms(ProgramsAt pr, bool reset)
{
    MacroStore& m = pr.macros;
    m.recording = false;
    m.draft = Program{};
    m.isrArmed = false;
    EndRun(pr, debug::kStopped);
    if (reset) {
        m.readerVariable = 0;
        m.debugLive = false;
    }
}

void MpCall(ProgramsAt pr, const Command& cmd) { StartRun(pr, cmd[step_field::kCallProgram], false); }

// Loops, conditions, the timer and STOP_WAIT mean something only in a program.
void FlowOutsideProgram(ProgramsAt pr, const Command&) { pr.Fault(error::kBadCommand); }

} // namespace detail
} // namespace velkor_sim
