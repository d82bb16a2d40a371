// The axis settings that shape how the machine is driven: pulse output,
// limit switches, home inputs, input filter, the counter ring, triangle
// avoidance and the external drive inputs (handwheel, jog buttons). Every
// value outside its documented set is refused with the bad-command bit and
// leaves the setting as it was.
#include "axis/machine.h"

#include "firmware/firmware.h"
#include "axis/drives.h"

#include <cmath>

namespace velkor_sim {
namespace detail {
namespace {

// Applies `set` to each selected axis when `valid`, else sets the
// bad-command bit of each; an invalid selector is a module fault.
template <typename Set>
void Setting(Firmware& fw, std::uint8_t mask, bool valid, Set&& set)
{
    if (!ValidSelector(mask)) {
        fw.Fault(error::kBadCommand);
        return;
    }
    for (int i = 0; i < kAxisCount; ++i) {
        if (mask & (1u << i)) {
            if (valid) {
                set(fw.machine[i].settings, i);
            } else {
                fw.axes[i].error |= error::kBadCommand;
            }
        }
    }
}

bool Flag(std::uint8_t value) { return value <= 1; }

using External = MachineSettings::External;

} // namespace

void SetPulseMode(Firmware& fw, const Bytes& p)
{
    Setting(fw, p[2], p[4] <= 3, [&](MachineSettings& s, int) { s.pulseMode = p[4]; });
}

void SetHardLimits(Firmware& fw, const Bytes& p)
{
    Setting(fw, p[2], Flag(p[4]) && Flag(p[6]), [&](MachineSettings& s, int) {
        s.limitsOn = p[4] == 1;
        s.limitActiveHigh = p[6] == 1;
    });
}

void LimitStopMode(Firmware& fw, const Bytes& p)
{
    Setting(fw, p[2], Flag(p[4]), [&](MachineSettings& s, int) { s.limitSlow = p[4] == 1; });
}

void SetNearHome(Firmware& fw, const Bytes& p)
{
    Setting(fw, p[2], Flag(p[4]), [&](MachineSettings& s, int) { s.nearHome = p[4] == 1; });
}

void SetHomeEdge(Firmware& fw, const Bytes& p)
{
    Setting(fw, p[2], Flag(p[4]), [&](MachineSettings& s, int) { s.homeEdge = p[4]; });
}

void SetFilter(Firmware& fw, const Bytes& p)
{
    Setting(fw, p[2], Flag(p[4]) && p[6] <= 7, [&](MachineSettings& s, int) {
        s.filterOn = p[4];
        s.filterTime = p[6];
    });
}

void RingEnable(Firmware& fw, const Bytes& p)
{
    const std::uint32_t ring = U32(p, 4);
    Setting(fw, p[2], ring != 0 && ring <= 0x7FFFFFFFu, [&](MachineSettings& s, int) { s.ring = ring; });
}

void RingDisable(Firmware& fw, const Bytes& p)
{
    Setting(fw, p[2], true, [](MachineSettings& s, int) { s.ring = 0; });
}

void AvoidTriangle(Firmware& fw, const Bytes& p)
{
    Setting(fw, p[2], true, [&](MachineSettings& s, int) { s.avtri = p[0] == 28; });
}

void ShapeDrive(const Firmware& fw, int index, Drive& drive)
{
    if (!fw.machine[index].settings.avtri || drive.kind != Drive::Kind::Fixed) {
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

void ExternalDrive(Firmware& fw, const Bytes& p)
{
    const std::uint32_t value = p[0] == 33 ? 0 : U32(p, 4);
    // Handwheel and fixed-pulse modes need a distance; continuous mode takes
    // 0 as "the axis's own speed".
    const bool valid = p[0] == 32 || p[0] == 33 || value != 0;
    Setting(fw, p[2], valid && value <= 0x7FFFFFFFu, [&](MachineSettings& s, int i) {
        switch (p[0]) {
        case 30: s.external = External::Handwheel; break;
        case 31: s.external = External::FixedPulse; break;
        case 32: s.external = External::ContinuousPulse; break;
        default:
            if (s.external == External::ContinuousPulse && fw.axes[i].drive.kind == Drive::Kind::Continuous) {
                StopAxes(fw, static_cast<std::uint8_t>(1u << i), true);
            }
            s.external = External::Off;
            break;
        }
        s.externalValue = value;
    });
}

void PressJog(Firmware& fw, int index, int dir)
{
    const MachineSettings& s = fw.machine[index].settings;
    const std::uint8_t mask = static_cast<std::uint8_t>(1u << index);
    if (s.external == External::FixedPulse && dir != 0) {
        StartMove(fw, mask, Drive::Kind::Fixed, static_cast<std::int32_t>(s.externalValue) * (dir > 0 ? 1 : -1));
    } else if (s.external == External::ContinuousPulse) {
        if (dir == 0) {
            if (fw.axes[index].drive.kind == Drive::Kind::Continuous) {
                StopAxes(fw, mask, true);
            }
            return;
        }
        StartMove(fw, mask, Drive::Kind::Continuous, dir > 0 ? 1 : -1);
        Drive& d = fw.axes[index].drive;
        if (d.kind == Drive::Kind::Continuous && s.externalValue != 0) {
            d.profile.v = static_cast<double>(s.externalValue);
            d.profile.sv = std::fmin(d.profile.sv, d.profile.v);
            d.speed = d.profile.sv;
        }
    }
}

void TurnHandwheel(Firmware& fw, int index, std::int32_t counts)
{
    const MachineSettings& s = fw.machine[index].settings;
    if (s.external != External::Handwheel || counts == 0) {
        return;
    }
    const double pulses = static_cast<double>(counts) * s.externalValue;
    if (std::fabs(pulses) > 0x7FFFFFFF) {
        fw.axes[index].error |= error::kBadCommand;
        return;
    }
    // Turning on in the direction of a handwheel move under way lengthens it.
    Drive& d = fw.axes[index].drive;
    const int dir = counts > 0 ? 1 : -1;
    if (d.kind == Drive::Kind::Fixed && d.dir == dir && !d.slowStop) {
        d.target += std::fabs(pulses);
        return;
    }
    StartMove(fw, static_cast<std::uint8_t>(1u << index), Drive::Kind::Fixed, static_cast<std::int32_t>(pulses));
}

} // namespace detail
} // namespace velkor_sim
