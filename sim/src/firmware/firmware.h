// The module's firmware as a plain state machine. It knows nothing of threads
// or clocks: the VirtualModule around it serializes every call and decides
// when simulated time passes.
//
// The firmware composes the families: it holds their state by value, binds
// the codes of the command table (protocol/decoder.cpp) to their handlers
// (firmware/bindings.cpp), is the context the families ask
// (context/context.h), and runs the motion step in one list
// (firmware/step.cpp). A new family is a state member here, its folder, its
// rows in the command table and its bindings.
//
// Where things take effect, for the families that hook in:
//  - ExecutePacket(): a packet taken from the mailbox (and not recorded into
//    a macro program) runs the handler its code is bound to.
//  - Answer(): a query or control code runs its handler, which writes the
//    reply into the window.
//  - Raise(factors): the one way an event reaches the interrupt code
//    register and the slot interrupt.
//  - Step(dt): one motion step of dt simulated seconds, in the order listed
//    in firmware/step.cpp.
//  - ProgramsAfterHost(): after every packet and code from the host a macro
//    program run goes on (programs/macro_programs.h); its steps take effect
//    through ExecutePacket().
#ifndef VELKOR_SIM_FIRMWARE_FIRMWARE_H
#define VELKOR_SIM_FIRMWARE_FIRMWARE_H

#include "context/context.h"
#include "protocol/fields.h"
#include "axis/homing.h"
#include "interrupts/interrupt_line.h"
#include "axis/machine.h"
#include "mailbox/sequence.h"
#include "axis/axis.h"
#include "paths/paths.h"
#include "paths/special_paths.h"
#include "programs/macro_programs.h"
#include "protocol/command.h"
#include "scope/recorder.h"
#include "stores/variables.h"
#include "sync/sync.h"
#include "velkor_sim/virtual_module.h"

#include <array>
#include <cstdint>
#include <map>
#include <vector>

namespace velkor_sim {
namespace detail {

class Firmware final : public Context {
public:
    explicit Firmware(const ModuleOptions& options);

    // Segments the command buffer holds (ModuleOptions::bufferSegments).
    const std::size_t bufferCapacity;

    // Whether the packet can be taken now: a packet that adds a segment waits
    // while the command buffer is full and the motion is using it up.
    bool HasRoomFor(const Bytes& bytes) const;
    // A packet taken from the mailbox: recorded into a macro program, or executed.
    void TakePacket(const Bytes& bytes);
    void ExecutePacket(const Bytes& bytes);
    // A query or control code: reads the parameter registers of `window`
    // and writes the reply into the data area of `window`.
    void Answer(std::uint8_t code, Window& window);
    // Runs the motion model for dt seconds of simulated time.
    void Step(double dt);

    bool Moving() const; // anything for the motion model to do

    // The context the families ask (context/context.h).
    bool AxisDriving(int index) const override;
    std::uint16_t AxisInputs(int index) const override;
    bool AxisInPath(int index) const override;
    void StopAllPaths(bool slowly) override;
    void ShiftInPaths(int index, std::int64_t delta) override;
    bool PathRunning() const override { return paths.running; }
    double PathSpeed() const override { return paths.running ? paths.speed : 0.0; }
    std::uint8_t AxisOutputs(int index) const override { return sync.outputs[index]; }
    void Raise(std::uint8_t factors, bool event) override { interrupts.Raise(factors, event); }
    std::uint16_t ModuleError() const override { return moduleError; }
    void ClearFaults() override { moduleError = 0; }
    double Time() const override { return time; }
    void Execute(const Bytes& packet) override { ExecutePacket(packet); }

    // The paths with their state and this context (paths/paths.h).
    PathsAt PathsAtWork() { return PathsAt{paths, special, *this}; }
    // The macro programs with what they work on (programs/macro_programs.h).
    ProgramsAt ProgramsAtWork() { return ProgramsAt{macros, stores, interrupts, paths, *this}; }

    // Error bits of the whole module, reported with every axis. A bad-command
    // bit also lists the command being carried out (Unsimulated).
    void Fault(std::uint16_t bits) override
    {
        moduleError |= bits;
        if (bits & error::kBadCommand) {
            ++refusals;
        }
    }
    // A command or code the module could not use: listed, and in strict mode
    // the end of the session.
    void Unsimulated(std::uint8_t code);
    // A command or code not carried out at all (unknown, not simulated, or
    // kept without effect): listed, and the not-simulated bit set.
    void NotCarriedOut(std::uint8_t code);
    // RESET_CARD: everything back to its start but positions and stores.
    void Reset();

    double time = 0; // simulated seconds
    std::uint32_t firmwareVersion;
    Counters counters;
    std::map<std::uint8_t, std::uint32_t> unsimulated;
    std::uint16_t moduleError = 0;
    std::uint32_t refusals = 0; // bad-command faults so far
    bool strict = false;        // a command the module cannot use ends the session

    std::array<AxisState, kAxisCount> axes; // each with its machine and homing
    PathState paths;
    Stores stores;
    MacroStore macros;
    InterruptLine interrupts;
    SequenceBook sequence;
    SyncState sync;
    SpecialPaths special;
    CommandAssembler assembler; // the packets of a command of several
    Scope scope; // samples after every motion step

    bool keepTrail = false;
    std::vector<TrailPoint> trail;

private:
    // The parts of Step() that are the firmware's own (firmware/step.cpp).
    void RememberPositions();
    void StepDrives(double dt);
    void ReadSpeeds(double dt);
    void RecordTrail();
};

} // namespace detail
} // namespace velkor_sim

#endif
