// What a family may ask of the rest of the module, and nothing else: its
// axes, whether an axis is driven by anything, the inputs an axis reads,
// whether it is in a path and stopping the paths, raising an interrupt factor, setting a fault of the whole module, and the
// simulated time. The firmware is the one context of a running module; a
// family's test gives a fake one (tests/sim/family_harness.h).
//
// A family that takes a Context never includes the firmware: the firmware
// composes the families, never the other way round.
#ifndef VELKOR_SIM_CONTEXT_CONTEXT_H
#define VELKOR_SIM_CONTEXT_CONTEXT_H

#include <cstdint>

namespace velkor_sim {
namespace detail {

struct AxisState;

class Context {
public:
    // Axis 0..3: its counters, drive, speed readings and error bits.
    virtual AxisState& Axis(int index) = 0;
    virtual const AxisState& Axis(int index) const = 0;
    // Anything moving the axis or about to: a drive, a path, homing.
    virtual bool AxisDriving(int index) const = 0;
    // The input word an axis reads (switches, servo, home and encoder bits).
    virtual std::uint16_t AxisInputs(int index) const = 0;
    // Whether the axis belongs to a path in the command buffer; stopping the
    // paths (an axis of a path met a stop or a limit).
    virtual bool AxisInPath(int index) const = 0;
    virtual void StopAllPaths(bool slowly) = 0;
    // ORs factor bits into the interrupt line. `event`: whether an armed
    // interrupt routine may start on it.
    virtual void Raise(std::uint8_t factors, bool event) = 0;
    // Error bits of the whole module, reported with every axis.
    virtual void Fault(std::uint16_t bits) = 0;
    virtual std::uint16_t ModuleError() const = 0;
    // Simulated seconds since the module started.
    virtual double Time() const = 0;

protected:
    ~Context() = default;
};

} // namespace detail
} // namespace velkor_sim

#endif
