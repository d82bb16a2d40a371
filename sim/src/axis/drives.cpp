// Single-axis drives run the speed profile of axis/speed_shape.h towards
// their target (or without end), and a slow stop decelerates with D. Positions
// are kept exact in doubles; the LP counter is their whole part, and the end
// of a move is placed on its integer end point.
#include "axis/drives.h"

#include "axis/axis.h"
#include "axis/axis_fields.h"
#include "context/context.h"
#include "axis/homing.h"
#include "axis/machine.h"
#include "axis/speed_shape.h"
#include "axis/axis_config.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace velkor_sim {
namespace detail {

Profile ProfileValues::Resolve(std::uint32_t maxV) const
{
    Profile p;
    p.v = static_cast<double>(maxV != 0 && v > maxV ? maxV : v);
    if (p.v < 1) {
        p.v = 1;
    }
    p.sv = sv < p.v ? static_cast<double>(sv) : p.v;
    if (p.sv < 1) {
        p.sv = 1; // a profile never starts from standstill, so a move always ends
    }
    // 0: the speed changes at once (without jerk a jump, which the profile plans
    // as taking no time at all)
    p.a = a != 0 ? static_cast<double>(a) : std::numeric_limits<double>::infinity();
    p.d = d != 0 ? static_cast<double>(d) : p.a;
    if (mode == 1) {
        p.sv = p.v; // constant speed: no ramps at all
    }
    p.k = static_cast<double>(k);
    p.l = static_cast<double>(l);
    p.ao = static_cast<double>(ao);
    return p;
}

void StartMove(Context& fw, std::uint8_t mask, Drive::Kind kind, std::int32_t value)
{
    if (!ValidSelector(mask)) {
        fw.Fault(error::kBadCommand);
        return;
    }
    for (int i = 0; i < kAxisCount; ++i) {
        if (!(mask & (1u << i))) {
            continue;
        }
        AxisState& a = fw.Axis(i);
        if (fw.AxisDriving(i)) {
            a.error |= error::kAxisBusy;
            continue;
        }
        if (kind == Drive::Kind::Fixed && value == 0) {
            continue;
        }
        if (!DriveReady(fw, i, value < 0 ? -1 : 1)) {
            continue; // servo off, alarm, or a limit switch in the way
        }
        Drive d;
        d.kind = kind;
        d.dir = value < 0 ? -1 : 1;
        d.target = std::fabs(static_cast<double>(value));
        d.profile = a.profile.Resolve(a.maxV);
        ShapeDrive(fw, i, d);
        d.speed = d.profile.sv;
        d.start = a.lp;
        (a.held ? a.pending : a.drive) = d;
    }
}

void StopAxes(Context& fw, std::uint8_t mask, bool slowly)
{
    bool pathHit = false;
    for (int i = 0; i < kAxisCount; ++i) {
        if (!(mask & (1u << i))) {
            continue;
        }
        AxisState& a = fw.Axis(i);
        a.pending = Drive{};
        StopHoming(fw, i, slowly ? HomingStop::Slowly : HomingStop::Suddenly);
        if (a.drive.kind != Drive::Kind::None) {
            if (slowly) {
                a.drive.slowStop = true;
            } else {
                a.drive = Drive{};
                a.speed = 0;
                a.acceleration = 0;
                DriveEnded(fw);
            }
        }
        pathHit = pathHit || fw.AxisInPath(i);
    }
    if (pathHit) {
        fw.StopAllPaths(slowly);
    }
}

void DriveEnded(Context& fw) { fw.Raise(factor::kDriveEnd, true); }

void MoveAxisTo(Context& fw, int index, double pos, std::int64_t lp)
{
    AxisState& a = fw.Axis(index);
    a.lp = lp;
    a.pos = pos;
}

void StepDrive(Context& fw, int index, double dt)
{
    AxisState& a = fw.Axis(index);
    Drive& d = a.drive;
    const bool fixed = d.kind == Drive::Kind::Fixed;
    const double remaining = fixed ? d.target - d.done : 1e300;
    double v = d.speed;
    double ds;
    bool ends = false;
    if (d.slowStop) {
        v = std::max(0.0, d.speed - d.profile.d * dt);
        if (v <= d.profile.sv + kOnTheStep * d.profile.d * dt) {
            v = d.profile.sv;
            ends = true;
        }
        ds = 0.5 * (d.speed + v) * dt;
    } else {
        ds = ProfileStep(d.run, d.profile, remaining, dt, v);
    }
    if (fixed && ds >= remaining - std::max(1e-9, kOnTheStep * ds)) {
        ds = remaining;
        ends = true;
    }
    d.done = fixed && ends && !d.slowStop ? d.target : d.done + ds;
    d.speed = v;
    std::int64_t lp = d.start + d.dir * static_cast<std::int64_t>(std::floor(d.done));
    double pos = static_cast<double>(d.start) + d.dir * d.done;
    bool slow = false;
    if (CheckLimit(fw, index, d.dir, lp, slow)) {
        if (slow && !d.slowStop) {
            d.slowStop = true; // runs on past the limit by the braking distance
            lp = d.start + d.dir * static_cast<std::int64_t>(std::floor(d.done));
        } else if (!slow) {
            pos = static_cast<double>(lp);
            ends = true;
        }
    }
    if (ends) {
        pos = static_cast<double>(lp); // at rest on its count, where the next move sets off from
        if (d.dir * (pos - a.lastPos) < 0) {
            a.lastPos = pos; // the fraction of a pulse given up is no motion: the step reads 0
        }
    }
    MoveAxisTo(fw, index, pos, lp);
    if (ends) {
        d = Drive{};
        DriveEnded(fw);
    }
}

void SetProfileValue(Context& fw, const Command& cmd)
{
    const std::uint8_t code = cmd.Code();
    ForAxes(fw, cmd[axis_field::kAxes], [&](AxisState& a) {
        switch (code) {
        case 71: a.profile.sv = cmd[axis_field::kValue]; break;
        case 72: a.profile.v = cmd[axis_field::kValue]; break;
        case 73: a.profile.a = cmd[axis_field::kValue]; break;
        case 74: a.profile.d = cmd[axis_field::kValue]; break;
        case 75: a.profile.k = cmd[axis_field::kValue]; break;
        case 76: a.profile.l = cmd[axis_field::kValue]; break;
        case 77: a.profile.ao = cmd[axis_field::kSigned]; break;
        default: break;
        }
    });
}

void FixedMove(Context& fw, const Command& cmd)
{
    StartMove(fw, cmd[axis_field::kAxes], Drive::Kind::Fixed, cmd[axis_field::kSigned]);
}

void ContinueMove(Context& fw, const Command& cmd)
{
    StartMove(fw, cmd[axis_field::kAxes], Drive::Kind::Continuous, cmd[axis_field::kSigned]);
}

void DrvHold(Context& fw, const Command& cmd)
{
    ForAxes(fw, cmd[axis_field::kAxes], [](AxisState& a) { a.held = true; });
}

void DrvStart(Context& fw, const Command& cmd)
{
    ForAxes(fw, cmd[axis_field::kAxes], [](AxisState& a) {
        a.held = false;
        if (a.pending.kind != Drive::Kind::None) {
            a.drive = a.pending;
            a.drive.start = a.lp;
            a.pending = Drive{};
        }
    });
}

} // namespace detail
} // namespace velkor_sim
