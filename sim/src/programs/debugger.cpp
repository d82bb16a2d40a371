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

#include "firmware/firmware.h"

namespace velkor_sim {
namespace detail {
namespace {

// Debug events reach the host only as factor 5 of the slot interrupt, so a
// debugging session switches the interrupt and that factor on (they stay on).
void OpenDebugLine(Firmware& fw)
{
    fw.interrupts.SwitchOn(true);
    fw.interrupts.EnableFactors(factor::kDebugEvent);
}

} // namespace

void ShowDebug(Firmware& fw, std::uint8_t byte, std::uint16_t word)
{
    MacroStore& m = fw.macros;
    m.debugLive = true;
    m.debugByte = byte;
    m.debugWord = word;
}

void MpDebug(Firmware& fw, const Bytes& p)
{
    OpenDebugLine(fw);
    StartRun(fw, p[2], true);
}

void IsrDebug(Firmware& fw, const Bytes& p)
{
    OpenDebugLine(fw);
    MacroStore& m = fw.macros;
    if (m.programs.find(p[2]) == m.programs.end()) {
        fw.Fault(error::kProgramMissing);
        fw.interrupts.Raise(factor::kProgramFault, false);
        ShowDebug(fw, debug::kFault, 0);
        fw.interrupts.Raise(factor::kDebugEvent);
        return;
    }
    m.isrArmed = true;
    m.isrProgram = p[2];
    fw.interrupts.TakeSeen(); // only events from now on start it
    if (!m.run.active) {
        ShowDebug(fw, debug::kArmed, p[2]);
    }
}

// Lets the step the debugged run stopped before go; otherwise nothing to do.
void ContinueDebug(Firmware& fw, Window&)
{
    ProgramRun& r = fw.macros.run;
    if (!r.active || !r.debugging || !r.paused) {
        return;
    }
    r.paused = false;
    r.approved = true;
    ContinueRun(fw);
}

// Ends a debugged run, and disarms an interrupt routine not yet started.
void StopDebug(Firmware& fw, Window&)
{
    MacroStore& m = fw.macros;
    if (m.isrArmed) {
        m.isrArmed = false;
        if (!m.run.active) {
            ShowDebug(fw, debug::kStopped, 0);
        }
    }
    if (m.run.active && m.run.debugging) {
        EndRun(fw, debug::kStopped);
    }
}

} // namespace detail
} // namespace velkor_sim
