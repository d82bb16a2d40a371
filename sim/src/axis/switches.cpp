// The switches of the machine and the input word: each input's level at the
// module's terminal follows from where the axis is (the switches sit on the
// LP scale), from the drive (alarm, in-position) and from the inputs the
// simulator forces high. Whether the module takes a level as active is its
// setting (SET_HLMT, SET_ALARM, SET_INPOS); home, near-home and index are
// active high.
#include "axis/machine.h"

#include "axis/axis.h"
#include "context/context.h"

#include <cmath>

namespace velkor_sim {
namespace detail {
namespace {

constexpr std::uint16_t kMachineInputs = 0x007F;

bool IndexAt(const MachineAxis& m, std::int64_t lp)
{
    if (m.indexPitch <= 0) {
        return false;
    }
    const std::int64_t r = (lp - m.indexPhase) % m.indexPitch;
    return r == 0;
}

// The level the module takes as active for an input.
bool ActiveHigh(const MachineSettings& s, std::uint16_t bit)
{
    switch (bit) {
    case input::kPlusLimit:
    case input::kMinusLimit: return s.limitActiveHigh;
    case input::kServoAlarm: return s.alarmActiveHigh;
    case input::kInPosition: return s.inPositionActiveHigh;
    default: return true;
    }
}

} // namespace

bool InPosition(const Context& ctx, int index)
{
    return InputActive(ctx, index, input::kInPosition, ctx.Axis(index).lp);
}

std::uint16_t InputLevels(const Context& ctx, int index, std::int64_t at)
{
    const MachineAxisState& m = ctx.Machine(index);
    const MachineAxis& l = m.layout;
    const std::int64_t lp = at - m.origin; // the machine position
    std::uint16_t actuated = 0;
    if (lp >= l.plusLimit) {
        actuated |= input::kPlusLimit;
    }
    if (lp <= l.minusLimit) {
        actuated |= input::kMinusLimit;
    }
    if (lp >= l.homeFrom && lp <= l.homeTo) {
        actuated |= input::kHome;
    }
    if (lp >= l.nearHomeFrom && lp <= l.nearHomeTo) {
        actuated |= input::kNearHome;
    }
    if (IndexAt(l, lp)) {
        actuated |= input::kIndex;
    }
    if (m.driveAlarm) {
        actuated |= input::kServoAlarm;
    }
    const double band = std::fmax(l.inPositionBand, 0.5);
    if (m.settings.servoOn && std::fabs(static_cast<double>(at) - m.motor) <= band) {
        actuated |= input::kInPosition;
    }
    const std::uint16_t levels = static_cast<std::uint16_t>((actuated ^ l.normallyClosed) & kMachineInputs);
    return static_cast<std::uint16_t>(levels | ctx.Axis(index).inputs);
}

std::uint16_t InputWord(const Context& ctx, int index) { return InputLevels(ctx, index, ctx.Axis(index).lp); }

// The level of the one input asked for, as InputLevels has it: the motion
// step asks several times per axis, and the index's division or the
// in-position band are worked out only for their own bit.
bool InputActive(const Context& ctx, int index, std::uint16_t bit, std::int64_t lp)
{
    const MachineAxisState& m = ctx.Machine(index);
    const MachineAxis& l = m.layout;
    bool high = (ctx.Axis(index).inputs & bit) != 0;
    if (!high && (bit & kMachineInputs) != 0) {
        const std::int64_t at = lp - m.origin;
        bool actuated = false;
        switch (bit) {
        case input::kPlusLimit: actuated = at >= l.plusLimit; break;
        case input::kMinusLimit: actuated = at <= l.minusLimit; break;
        case input::kHome: actuated = at >= l.homeFrom && at <= l.homeTo; break;
        case input::kNearHome: actuated = at >= l.nearHomeFrom && at <= l.nearHomeTo; break;
        case input::kIndex: actuated = IndexAt(l, at); break;
        case input::kServoAlarm: actuated = m.driveAlarm; break;
        case input::kInPosition:
            actuated = m.settings.servoOn &&
                       std::fabs(static_cast<double>(lp) - m.motor) <= std::fmax(l.inPositionBand, 0.5);
            break;
        default: return ((InputLevels(ctx, index, lp) & bit) != 0) == ActiveHigh(m.settings, bit); // several bits
        }
        high = actuated != ((l.normallyClosed & bit) != 0);
    }
    return high == ActiveHigh(m.settings, bit);
}

bool AlarmActive(const Context& ctx, int index)
{
    return ctx.Machine(index).settings.alarmOn && InputActive(ctx, index, input::kServoAlarm, ctx.Axis(index).lp);
}

void RaiseLimit(Context& ctx, int index)
{
    MachineAxisState& m = ctx.Machine(index);
    if (!m.limitRaised) {
        m.limitRaised = true;
        ctx.Raise(factor::kLimit, true);
    }
}

bool DriveReady(Context& ctx, int index, int dir)
{
    AxisState& a = ctx.Axis(index);
    const MachineAxisState& m = ctx.Machine(index);
    if (!m.settings.servoOn) {
        a.error |= error::kServoOff;
        return false;
    }
    if (AlarmActive(ctx, index)) {
        a.error |= error::kServoAlarm;
        return false;
    }
    const std::uint16_t limit = dir > 0 ? input::kPlusLimit : input::kMinusLimit;
    if (m.settings.limitsOn && InputActive(ctx, index, limit, a.lp)) {
        a.error |= dir > 0 ? error::kHardLimitPlus : error::kHardLimitMinus;
        ctx.Machine(index).limitRaised = false;
        RaiseLimit(ctx, index);
        return false;
    }
    return true;
}

bool StepAllowed(Context& ctx, int index)
{
    AxisState& a = ctx.Axis(index);
    if (!ctx.Machine(index).settings.servoOn) {
        a.error |= error::kServoOff;
        return false;
    }
    if (AlarmActive(ctx, index)) {
        a.error |= error::kServoAlarm;
        return false;
    }
    return true;
}

bool HardLimit(Context& ctx, int index, int dir, std::int64_t& lp, bool& slow)
{
    AxisState& a = ctx.Axis(index);
    const MachineAxisState& m = ctx.Machine(index);
    if (!m.settings.limitsOn || dir == 0) {
        return false;
    }
    const std::uint16_t bit = dir > 0 ? input::kPlusLimit : input::kMinusLimit;
    const bool before = InputActive(ctx, index, bit, a.lp);
    if (!before && !InputActive(ctx, index, bit, lp)) {
        return false;
    }
    a.error |= dir > 0 ? error::kHardLimitPlus : error::kHardLimitMinus;
    RaiseLimit(ctx, index);
    if (before) {
        // Already in the switch: a slow stop runs on, anything else stays put.
        slow = m.settings.limitSlow;
        if (!slow) {
            lp = a.lp;
        }
        return true;
    }
    slow = m.settings.limitSlow;
    if (!slow) {
        // Stop on the first position where the switch is actuated.
        const std::int64_t edge = m.origin + (dir > 0 ? m.layout.plusLimit : m.layout.minusLimit);
        const bool between = dir > 0 ? (edge > a.lp && edge <= lp) : (edge < a.lp && edge >= lp);
        lp = between ? edge : lp;
    }
    return true;
}

std::int64_t CounterReading(const Context& ctx, int index, std::int64_t value)
{
    const std::int64_t ring = ctx.Machine(index).settings.ring;
    if (ring == 0) {
        return value;
    }
    const std::int64_t r = value % ring;
    return r < 0 ? r + ring : r;
}

} // namespace detail
} // namespace velkor_sim
