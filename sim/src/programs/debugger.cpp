// The debugger: a program run that stops before every step.
//
// Before each step the module shows the step in the debug register (byte:
// the step's code; word: its index in the program) and raises factor 5; the
// step runs on CONTINUE_DEBUG, and the run stops before the next one.
// STOP_DEBUG ends the run. ISR_DEBUG arms a program as an interrupt routine:
// the next interrupt event starts it under the debugger.
//
// The debug register is window offset 76 (the byte) and offsets 72 and 74
// (the word, low byte first): reply bytes 6, 4 and 5. Once a program has run
// the module writes the runner's state there after every packet or code it
// takes and every motion step, whatever the host wrote to the data area.
#include "programs/macro_programs.h"

#include "context/context.h"
#include "interrupts/interrupt_line.h"
#include "paths/paths.h"
#include "programs/step_fields.h"
#include "stores/variables.h"

namespace velkor_sim {
namespace detail {
namespace {

// Debug events reach the host only as factor 5 of the slot interrupt, so a
// debugging session switches the interrupt and that factor on (they stay on).
void OpenDebugLine(ProgramsAt pr)
{
    pr.interrupts.SwitchOn(true);
    pr.interrupts.EnableFactors(factor::kDebugEvent);
}

} // namespace

void ShowDebug(ProgramsAt pr, std::uint8_t byte, std::uint16_t word)
{
    MacroStore& m = pr.macros;
    m.debugLive = true;
    m.debugByte = byte;
    m.debugWord = word;
}

void MpDebug(ProgramsAt pr, const Command& cmd)
{
    OpenDebugLine(pr);
    StartRun(pr, cmd[step_field::kDebugProgram], true);
}

void IsrDebug(ProgramsAt pr, const Command& cmd)
{
    OpenDebugLine(pr);
    MacroStore& m = pr.macros;
    const std::uint8_t program = cmd[step_field::kDebugProgram];
    if (m.programs.find(program) == m.programs.end()) {
        pr.Fault(error::kProgramMissing);
        pr.interrupts.Raise(factor::kProgramFault, false);
        ShowDebug(pr, debug::kFault, 0);
        pr.interrupts.Raise(factor::kDebugEvent);
        return;
    }
    m.isrArmed = true;
    m.isrProgram = program;
    pr.interrupts.TakeSeen(); // only events from now on start it
    if (!m.run.active) {
        ShowDebug(pr, debug::kArmed, program);
    }
}

// Lets the step the debugged run stopped before go; otherwise nothing to do.
void ContinueDebug(ProgramsAt pr, Window&)
{
    ProgramRun& r = pr.macros.run;
    if (!r.active || !r.debugging || !r.paused) {
        return;
    }
    r.paused = false;
    r.approved = true;
    ContinueRun(pr);
}

// Ends a debugged run, and disarms an interrupt routine not yet started.
void StopDebug(ProgramsAt pr, Window&)
{
    MacroStore& m = pr.macros;
    if (m.isrArmed) {
        m.isrArmed = false;
        if (!m.run.active) {
            ShowDebug(pr, debug::kStopped, 0);
        }
    }
    if (m.run.active && m.run.debugging) {
        EndRun(pr, debug::kStopped);
    }
}

} // namespace detail
} // namespace velkor_sim
