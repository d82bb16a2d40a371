// The homing sequence. Each phase moves the axis one way at one speed and
// watches every whole position it passes, so that switch edges are found to
// the pulse:
//  - Search: towards the search direction at HV (creep speed once the
//    near-home switch is met with NHOME on; creep speed throughout in index
//    mode) until the home switch, the limit switch or the index pulse;
//  - Brake: decelerates with D after a search at HV overran the switch;
//  - BackOff: back at creep speed until clear of the switch, on its near side;
//  - Approach: at creep speed onto the home edge chosen by SET_HOME_EDGE;
//  - Index: on at creep speed to the next index pulse;
//  - Settle: waits for the motor, then sets LP (and EP) to the offset.
// A limit switch met in the direction of motion (other than the one being
// searched for) or a search longer than HOME_LIMIT ends the homing as failed.
#include "axis/homing.h"

#include "axis/axis.h"
#include "axis/axis_fields.h"
#include "context/context.h"
#include "axis/machine.h"
#include "axis/drives.h"

#include <algorithm>
#include <cmath>

namespace velkor_sim {
namespace detail {
namespace {

using Phase = HomingAxis::Phase;

int SearchDir(const HomingAxis& h) { return h.direction == 1 ? 1 : -1; }
std::uint16_t LimitBit(int dir) { return dir > 0 ? input::kPlusLimit : input::kMinusLimit; }

double Creep(const HomingAxis& h, double hv)
{
    const double percent = h.creepPercent == 0 ? 10 : h.creepPercent;
    return std::max(1.0, hv * percent / 100.0);
}

void Begin(HomingAxis& h, Phase phase, int dir, bool met = false)
{
    h.phase = phase;
    h.dir = dir;
    h.met = met;
}

void Fail(Context& ctx, int index, std::uint16_t bits)
{
    HomingAxis& h = ctx.Homing(index);
    ctx.Axis(index).error |= static_cast<std::uint16_t>(error::kHomingFailed | bits);
    h.phase = Phase::Idle;
    h.speed = 0;
    ctx.Raise(factor::kHomed, true);
}

void Done(Context& ctx, int index)
{
    HomingAxis& h = ctx.Homing(index);
    AxisState& a = ctx.Axis(index);
    const std::int64_t delta = static_cast<std::int64_t>(h.offset) - a.lp;
    a.lp += delta;
    a.pos += static_cast<double>(delta);
    a.lastPos += static_cast<double>(delta);
    ShiftScale(ctx, index, delta);
    if (h.keepEp == 0) {
        a.ep = h.offset;
    }
    h.phase = Phase::Idle;
    h.speed = 0;
    ctx.Raise(factor::kHomed, true);
}

// The speed from `from` towards `to` at `rate` pulses per second squared
// (infinite: at once) for dt seconds, holding `to` once there: sets v to the
// speed at the end and returns the distance covered.
double Ramp(double from, double to, double rate, double dt, double& v)
{
    const double reach = std::fabs(to - from) / rate; // 0 when the rate is infinite
    if (reach < dt) {
        v = to;
        return 0.5 * (from + to) * reach + to * (dt - reach);
    }
    v = to > from ? from + rate * dt : from - rate * dt;
    return 0.5 * (from + v) * dt;
}

// The time within such a ramp at which it has covered dp (at most what it
// covers in dt).
double TimeTo(double dp, double from, double to, double rate, double dt)
{
    const double reach = std::min(dt, std::fabs(to - from) / rate);
    const double ramped = 0.5 * (from + to) * reach;
    if (reach > 0 && (reach >= dt || dp <= ramped)) {
        const double s = to > from ? rate : -rate;
        return 2 * dp / (from + std::sqrt(std::max(0.0, from * from + 2 * s * dp)));
    }
    return reach + (dp - ramped) / to;
}

// The phase after the home edge was reached.
void HomeReached(Context& ctx, int index)
{
    HomingAxis& h = ctx.Homing(index);
    Begin(h, h.mode == 1 ? Phase::Index : Phase::Settle, SearchDir(h));
}

// What the axis meets at whole position p; true when the phase ends there.
bool Meet(Context& ctx, int index, std::int64_t p, double creep)
{
    HomingAxis& h = ctx.Homing(index);
    const int s = SearchDir(h);
    // A limit switch in the way, unless it is the one searched for.
    const bool wanted = h.mode == 2 && h.dir == s;
    if (!wanted && ctx.Machine(index).settings.limitsOn && InputActive(ctx, index, LimitBit(h.dir), p)) {
        Fail(ctx, index, h.dir > 0 ? error::kHardLimitPlus : error::kHardLimitMinus);
        RaiseLimit(ctx, index);
        return true;
    }
    const bool home = InputActive(ctx, index, input::kHome, p);
    switch (h.phase) {
    case Phase::Search:
        if (h.mode == 3) {
            if (InputActive(ctx, index, input::kIndex, p)) {
                Begin(h, Phase::Settle, s);
                return true;
            }
        } else if (h.mode == 2) {
            if (InputActive(ctx, index, LimitBit(s), p)) {
                h.afterBrake = Phase::BackOff;
                Begin(h, Phase::Brake, s);
                return true;
            }
        } else if (home) {
            if (h.speed > creep + 1e-9) {
                h.afterBrake = Phase::BackOff;
                Begin(h, Phase::Brake, s);
            } else if (ctx.Machine(index).settings.homeEdge == 0) {
                HomeReached(ctx, index);
            } else {
                Begin(h, Phase::Approach, s, true); // on through it to its far edge
            }
            return true;
        }
        return false;
    case Phase::BackOff: {
        const bool on = h.mode == 2 ? InputActive(ctx, index, LimitBit(s), p) : home;
        if (on) {
            h.met = true;
            return false;
        }
        if (!h.met) {
            return false;
        }
        if (h.mode == 2) {
            Begin(h, Phase::Settle, s);
        } else {
            Begin(h, Phase::Approach, s);
        }
        return true;
    }
    case Phase::Approach:
        if (home && ctx.Machine(index).settings.homeEdge == 0) {
            HomeReached(ctx, index);
            return true;
        }
        if (home) {
            h.met = true;
        } else if (h.met) {
            HomeReached(ctx, index);
            return true;
        }
        return false;
    case Phase::Index:
        if (InputActive(ctx, index, input::kIndex, p)) {
            Begin(h, Phase::Settle, s);
            return true;
        }
        return false;
    default: return false;
    }
}

void StepAxis(Context& ctx, int index, double dt)
{
    HomingAxis& h = ctx.Homing(index);
    AxisState& a = ctx.Axis(index);
    if (!StepAllowed(ctx, index)) {
        Fail(ctx, index, 0);
        return;
    }
    if (h.phase == Phase::Settle) {
        if (DriveSettled(ctx, index)) {
            Done(ctx, index);
        }
        return;
    }
    const Profile pr = a.profile.Resolve(a.maxV);
    const double hv = std::min<double>(h.hv, a.maxV != 0 ? a.maxV : h.hv);
    const double creep = std::min(Creep(h, hv), hv);
    // The search sets off from SV and ramps with A and D as a move does;
    // braking runs with D down to the creep speed, where it ends (the rest
    // of that step the axis stands, and reverses at creep speed after it).
    double v;
    double ds;
    double from = h.speed; // a search: where its ramp starts in this step, and how steep it is
    double rate = 0;
    if (h.phase == Phase::Search) {
        const bool slow = h.mode == 3 ||
                          (h.mode <= 1 && ctx.Machine(index).settings.nearHome &&
                           InputActive(ctx, index, input::kNearHome, a.lp));
        const double target = slow ? creep : hv;
        from = std::max(h.speed, std::min(pr.sv, target));
        rate = from < target ? pr.a : pr.d;
        ds = Ramp(from, target, rate, dt, v);
    } else if (h.phase == Phase::Brake) {
        const double reach = std::max(0.0, h.speed - creep) / pr.d;
        v = reach < dt ? creep : h.speed - pr.d * dt;
        ds = 0.5 * (h.speed + v) * std::min(reach, dt);
    } else {
        v = creep;
        ds = creep * dt;
    }
    h.speed = v;
    h.travelled += ds;
    double pos = a.pos + h.dir * ds;
    const auto whole = [&](double x) { return static_cast<std::int64_t>(h.dir > 0 ? std::floor(x) : std::ceil(x)); };
    std::int64_t lp = whole(pos);
    for (std::int64_t p = a.lp + h.dir; h.dir > 0 ? p <= lp : p >= lp; p += h.dir) {
        const Phase was = h.phase;
        if (!Meet(ctx, index, p, creep)) {
            continue;
        }
        if (was == Phase::Search && h.phase == Phase::Brake) {
            // The search met its switch at speed: the brake begins there, in
            // this step, so the speed falls off evenly from the switch on.
            const double dp = std::fabs(static_cast<double>(p) - a.pos);
            const double tp = std::min(dt, TimeTo(dp, from, v, rate, dt));
            double sp = v;
            Ramp(from, v, rate, tp, sp); // the speed on the switch
            const double reach = std::max(0.0, sp - creep) / pr.d;
            const double rest = std::min(dt - tp, reach);
            v = reach < dt - tp ? creep : sp - pr.d * rest;
            const double more = rest > 0 ? 0.5 * (sp + v) * rest : 0.0;
            h.speed = v;
            h.travelled += dp + more - ds;
            pos = static_cast<double>(p) + h.dir * more;
            lp = whole(pos);
            continue;
        }
        MoveAxisTo(ctx, index, static_cast<double>(p), p);
        if (h.phase != Phase::Brake) {
            h.speed = 0;
        }
        return;
    }
    MoveAxisTo(ctx, index, pos, lp);
    if (h.phase == Phase::Brake && v <= creep) {
        h.speed = 0;
        if (h.afterBrake == Phase::Idle) {
            h.phase = Phase::Idle; // stopped slowly by a stop command
            DriveEnded(ctx);
            return;
        }
        const bool onSwitch = h.mode == 2 ? InputActive(ctx, index, LimitBit(SearchDir(h)), a.lp)
                                          : InputActive(ctx, index, input::kHome, a.lp);
        Begin(h, h.afterBrake, -SearchDir(h), onSwitch);
        return;
    }
    if (h.range != 0 && h.travelled > 1000.0 * h.range && h.phase != Phase::Brake) {
        Fail(ctx, index, 0);
    }
}

} // namespace

bool HomingActive(const Context& ctx, int index) { return ctx.Homing(index).phase != Phase::Idle; }

void StepHoming(Context& ctx, double dt)
{
    for (int i = 0; i < kAxisCount; ++i) {
        if (HomingActive(ctx, i)) {
            StepAxis(ctx, i, dt);
        }
    }
}

void StopHoming(Context& ctx, int index, HomingStop how)
{
    HomingAxis& h = ctx.Homing(index);
    if (h.phase == Phase::Idle) {
        return;
    }
    switch (how) {
    case HomingStop::Failed: Fail(ctx, index, 0); break;
    case HomingStop::Slowly:
        if (h.speed > 0 && h.phase != Phase::Settle) {
            h.afterBrake = Phase::Idle;
            h.phase = Phase::Brake;
            break;
        }
        h.phase = Phase::Idle;
        h.speed = 0;
        DriveEnded(ctx);
        break;
    case HomingStop::Suddenly:
        h.phase = Phase::Idle;
        h.speed = 0;
        DriveEnded(ctx);
        break;
    }
}

void ResetHoming(Context& ctx)
{
    for (int i = 0; i < kAxisCount; ++i) {
        ctx.Homing(i) = HomingAxis{};
    }
}

void SetHomingSpeed(Context& ctx, const Command& cmd)
{
    const std::uint32_t hv = cmd[axis_field::kValue];
    ForAxes(ctx, cmd[axis_field::kAxes], [&](AxisState& a, int i) {
        if (hv == 0) {
            a.error |= error::kBadCommand;
            return;
        }
        ctx.Homing(i).hv = hv;
    });
}

void HomeLimit(Context& ctx, const Command& cmd)
{
    ForAxes(ctx, cmd[axis_field::kAxes], [&](AxisState&, int i) { ctx.Homing(i).range = cmd[axis_field::kFlag]; });
}

void SetHomeMode(Context& ctx, const Command& cmd)
{
    const std::uint8_t mode = cmd[axis_field::kFirst];
    const std::uint8_t direction = cmd[axis_field::kSecond];
    const std::uint8_t creep = cmd[axis_field::kThird];
    const std::uint8_t keepEp = cmd[axis_field::kFourth];
    const bool valid = mode <= 3 && direction <= 1 && creep <= 100 && keepEp <= 1;
    ForAxes(ctx, cmd[axis_field::kAxes], [&](AxisState& a, int i) {
        if (!valid) {
            a.error |= error::kBadCommand;
            return;
        }
        HomingAxis& h = ctx.Homing(i);
        h.mode = mode;
        h.direction = direction;
        h.creepPercent = creep;
        h.keepEp = keepEp;
        h.offset = cmd[axis_field::kHomeOffset];
    });
}

void HomeStart(Context& ctx, const Command& cmd)
{
    ForAxes(ctx, cmd[axis_field::kAxes], [&](AxisState& a, int i) {
        HomingAxis& h = ctx.Homing(i);
        if (ctx.AxisDriving(i)) {
            a.error |= error::kAxisBusy;
            return;
        }
        const int s = SearchDir(h);
        // Standing on the switch searched for, it backs off it first (and
        // then comes back onto its edge); otherwise it searches.
        const bool onSwitch = (h.mode == 2 && InputActive(ctx, i, LimitBit(s), a.lp)) ||
                              (h.mode <= 1 && InputActive(ctx, i, input::kHome, a.lp));
        const int dir = onSwitch ? -s : s;
        // Refused as a move that way is: servo off, an alarm, or a limit
        // switch already actuated in that direction (no pulse into it).
        if (!DriveReady(ctx, i, dir)) {
            return;
        }
        h.travelled = 0;
        h.speed = 0;
        h.afterBrake = Phase::Idle;
        ctx.Machine(i).limitRaised = false;
        Begin(h, onSwitch ? Phase::BackOff : Phase::Search, dir, onSwitch);
    });
}

} // namespace detail
} // namespace velkor_sim
