// What a family may ask of the rest of the module, and nothing else: its
// axes (with the machine around each and its homing), whether an axis is
// driven by anything, the inputs an axis reads and the outputs it sets,
// whether it is in a path, the path running and stopping the paths, raising
// an interrupt factor, setting a fault of the whole module, carrying out a
// command, and the simulated time. The firmware
// is the one context of a running module; a family's test gives a fake one
// (tests/sim/family_harness.h).
//
// A family that takes a Context never includes the firmware: the firmware
// composes the families, never the other way round.
#ifndef VELKOR_SIM_CONTEXT_CONTEXT_H
#define VELKOR_SIM_CONTEXT_CONTEXT_H

#include "protocol/fields.h"

#include <cstdint>
#include <type_traits>

namespace velkor_sim {
namespace detail {

struct AxisState;
struct MachineAxisState;
struct HomingAxis;

// Factor bits of the interrupt code: what a family raises (Context::Raise).
namespace factor {
constexpr std::uint8_t kDriveEnd = 0x01; // a drive or path ended, or was stopped
constexpr std::uint8_t kLimit = 0x02;    // an axis stopped at (or was refused by) a limit
constexpr std::uint8_t kServoAlarm = 0x04; // a servo drive's alarm came on
constexpr std::uint8_t kHomed = 0x08;    // a homing sequence ended (done or failed)
constexpr std::uint8_t kMacro = 0x80;    // MP_SET_RINT carried out
} // namespace factor

class Context {
public:
    Context(const Context&) = delete;
    Context& operator=(const Context&) = delete;

    // Axis 0..3: its counters, drive, speed readings and error bits; the
    // machine around it (switches, servo drive, encoder) and its homing.
    // Plain reads of the axes the context was bound to, defined beside the
    // axis (axis/axis.h): the motion step reads them often.
    inline AxisState& Axis(int index);
    inline const AxisState& Axis(int index) const;
    inline MachineAxisState& Machine(int index);
    inline const MachineAxisState& Machine(int index) const;
    inline HomingAxis& Homing(int index);
    inline const HomingAxis& Homing(int index) const;
    // Anything moving the axis or about to: a drive, a path, homing.
    virtual bool AxisDriving(int index) const = 0;
    // The input word an axis reads (switches, servo, home and encoder bits).
    virtual std::uint16_t AxisInputs(int index) const = 0;
    // Whether the axis belongs to a path in the command buffer; stopping the
    // paths (an axis of a path met a stop or a limit).
    virtual bool AxisInPath(int index) const = 0;
    virtual void StopAllPaths(bool slowly) = 0;
    // A preset moved the axis's counter by delta: the paths it is in move along.
    virtual void ShiftInPaths(int index, std::int64_t delta) = 0;
    // Whether a path is running, and its speed along the path in pulses/s (0
    // when none runs).
    virtual bool PathRunning() const = 0;
    virtual double PathSpeed() const = 0;
    // The output bits of an axis (SET_OUTPUT and the synchronous actions).
    virtual std::uint8_t AxisOutputs(int index) const = 0;
    // ORs factor bits into the interrupt line. `event`: whether an armed
    // interrupt routine may start on it.
    virtual void Raise(std::uint8_t factors, bool event) = 0;
    // Error bits of the whole module, reported with every axis.
    virtual void Fault(std::uint16_t bits) = 0;
    virtual std::uint16_t ModuleError() const = 0;
    virtual void ClearFaults() = 0; // CLEAR_STOP
    // Carries out a command as if taken from the mailbox (a program's step).
    virtual void Execute(const Bytes& packet) = 0;
    // Simulated seconds since the module started.
    virtual double Time() const = 0;

protected:
    Context() = default;
    ~Context() = default;
    // The four axes, the implementer's own.
    void Bind(AxisState* axes) { axes_ = axes; }

private:
    AxisState* axes_ = nullptr;
};

// Calls action(axis) (or action(axis, index)) for every axis the selector
// names; an invalid selector sets the bad-command bit instead.
template <typename Action>
void ForAxes(Context& ctx, std::uint8_t mask, Action&& action)
{
    if (!ValidSelector(mask)) {
        ctx.Fault(error::kBadCommand);
        return;
    }
    for (int i = 0; i < kAxisCount; ++i) {
        if (mask & (1u << i)) {
            if constexpr (std::is_invocable_v<Action, AxisState&, int>) {
                action(ctx.Axis(i), i);
            } else {
                action(ctx.Axis(i));
            }
        }
    }
}

} // namespace detail
} // namespace velkor_sim

#endif
