// The axis settings that shape how the machine is driven: pulse output,
// limit switches, home inputs, input filter, the counter ring, triangle
// avoidance and the external drive inputs (handwheel, jog buttons). Every
// value outside its documented set is refused with the bad-command bit and
// leaves the setting as it was.
#include "axis/machine.h"

#include "axis/axis.h"
#include "axis/axis_fields.h"
#include "context/context.h"
#include "axis/drives.h"

#include <cmath>

namespace velkor_sim {
namespace detail {
namespace {

// Applies `set` to each selected axis when `valid`, else sets the
// bad-command bit of each; an invalid selector is a module fault.
template <typename Set>
void Setting(Context& ctx, std::uint8_t mask, bool valid, Set&& set)
{
    if (!ValidSelector(mask)) {
        ctx.Fault(error::kBadCommand);
        return;
    }
    for (int i = 0; i < kAxisCount; ++i) {
        if (mask & (1u << i)) {
            if (valid) {
                set(ctx.Machine(i).settings, i);
            } else {
                ctx.Axis(i).error |= error::kBadCommand;
            }
        }
    }
}

bool Flag(std::uint8_t value) { return value <= 1; }

using External = MachineSettings::External;

} // namespace

void SetPulseMode(Context& ctx, const Command& cmd)
{
    Setting(ctx, cmd[axis_field::kAxes], cmd[axis_field::kFlag] <= 3, [&](MachineSettings& s, int) { s.pulseMode = cmd[axis_field::kFlag]; });
}

void SetHardLimits(Context& ctx, const Command& cmd)
{
    Setting(ctx, cmd[axis_field::kAxes], Flag(cmd[axis_field::kFirst]) && Flag(cmd[axis_field::kSecond]), [&](MachineSettings& s, int) {
        s.limitsOn = cmd[axis_field::kFirst] == 1;
        s.limitActiveHigh = cmd[axis_field::kSecond] == 1;
    });
}

void LimitStopMode(Context& ctx, const Command& cmd)
{
    Setting(ctx, cmd[axis_field::kAxes], Flag(cmd[axis_field::kFlag]), [&](MachineSettings& s, int) { s.limitSlow = cmd[axis_field::kFlag] == 1; });
}

void SetNearHome(Context& ctx, const Command& cmd)
{
    Setting(ctx, cmd[axis_field::kAxes], Flag(cmd[axis_field::kFlag]), [&](MachineSettings& s, int) { s.nearHome = cmd[axis_field::kFlag] == 1; });
}

void SetHomeEdge(Context& ctx, const Command& cmd)
{
    Setting(ctx, cmd[axis_field::kAxes], Flag(cmd[axis_field::kFlag]), [&](MachineSettings& s, int) { s.homeEdge = cmd[axis_field::kFlag]; });
}

void SetFilter(Context& ctx, const Command& cmd)
{
    Setting(ctx, cmd[axis_field::kAxes], Flag(cmd[axis_field::kFirst]) && cmd[axis_field::kSecond] <= 7, [&](MachineSettings& s, int) {
        s.filterOn = cmd[axis_field::kFirst];
        s.filterTime = cmd[axis_field::kSecond];
    });
}

void RingEnable(Context& ctx, const Command& cmd)
{
    const std::uint32_t ring = cmd[axis_field::kValue];
    Setting(ctx, cmd[axis_field::kAxes], ring != 0 && ring <= 0x7FFFFFFFu, [&](MachineSettings& s, int) { s.ring = ring; });
}

void RingDisable(Context& ctx, const Command& cmd)
{
    Setting(ctx, cmd[axis_field::kAxes], true, [](MachineSettings& s, int) { s.ring = 0; });
}

void AvoidTriangle(Context& ctx, const Command& cmd)
{
    Setting(ctx, cmd[axis_field::kAxes], true, [&](MachineSettings& s, int) { s.avtri = cmd.Code() == 28; });
}

void ShapeDrive(const Context& ctx, int index, Drive& drive)
{
    if (!ctx.Machine(index).settings.avtri || drive.kind != Drive::Kind::Fixed) {
        return;
    }
    // The ramps may take half the distance at most; the other half runs at
    // the top speed.
    Profile& pr = drive.profile;
    const double top = std::sqrt(pr.sv * pr.sv + drive.target / (1 / pr.a + 1 / pr.d));
    if (top < pr.v) {
        pr.v = std::fmax(top, pr.sv);
    }
}

void ExternalDrive(Context& ctx, const Command& cmd)
{
    const std::uint8_t code = cmd.Code();
    const std::uint32_t value = code == 33 ? 0 : cmd[axis_field::kValue];
    // Handwheel and fixed-pulse modes need a distance; continuous mode takes
    // 0 as "the axis's own speed".
    const bool valid = code == 32 || code == 33 || value != 0;
    Setting(ctx, cmd[axis_field::kAxes], valid && value <= 0x7FFFFFFFu, [&](MachineSettings& s, int i) {
        switch (code) {
        case 30: s.external = External::Handwheel; break;
        case 31: s.external = External::FixedPulse; break;
        case 32: s.external = External::ContinuousPulse; break;
        default:
            if (s.external == External::ContinuousPulse && ctx.Axis(i).drive.kind == Drive::Kind::Continuous) {
                StopAxes(ctx, static_cast<std::uint8_t>(1u << i), true);
            }
            s.external = External::Off;
            break;
        }
        s.externalValue = value;
    });
}

void PressJog(Context& ctx, int index, int dir)
{
    const MachineSettings& s = ctx.Machine(index).settings;
    const std::uint8_t mask = static_cast<std::uint8_t>(1u << index);
    if (s.external == External::FixedPulse && dir != 0) {
        StartMove(ctx, mask, Drive::Kind::Fixed, static_cast<std::int32_t>(s.externalValue) * (dir > 0 ? 1 : -1));
    } else if (s.external == External::ContinuousPulse) {
        if (dir == 0) {
            if (ctx.Axis(index).drive.kind == Drive::Kind::Continuous) {
                StopAxes(ctx, mask, true);
            }
            return;
        }
        StartMove(ctx, mask, Drive::Kind::Continuous, dir > 0 ? 1 : -1);
        Drive& d = ctx.Axis(index).drive;
        if (d.kind == Drive::Kind::Continuous && s.externalValue != 0) {
            d.profile.v = static_cast<double>(s.externalValue);
            d.profile.sv = std::fmin(d.profile.sv, d.profile.v);
            d.speed = d.profile.sv;
        }
    }
}

void TurnHandwheel(Context& ctx, int index, std::int32_t counts)
{
    const MachineSettings& s = ctx.Machine(index).settings;
    if (s.external != External::Handwheel || counts == 0) {
        return;
    }
    const double pulses = static_cast<double>(counts) * s.externalValue;
    if (std::fabs(pulses) > 0x7FFFFFFF) {
        ctx.Axis(index).error |= error::kBadCommand;
        return;
    }
    // Turning on in the direction of a handwheel move under way lengthens it.
    Drive& d = ctx.Axis(index).drive;
    const int dir = counts > 0 ? 1 : -1;
    if (d.kind == Drive::Kind::Fixed && d.dir == dir && !d.slowStop) {
        d.target += std::fabs(pulses);
        return;
    }
    StartMove(ctx, static_cast<std::uint8_t>(1u << index), Drive::Kind::Fixed, static_cast<std::int32_t>(pulses));
}

} // namespace detail
} // namespace velkor_sim
