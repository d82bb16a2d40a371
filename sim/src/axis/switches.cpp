// The switches of the machine and the input word: each input's level at the
// module's terminal follows from where the axis is (the switches sit on the
// LP scale), from the drive (alarm, in-position) and from the inputs the
// simulator forces high. Whether the module takes a level as active is its
// setting (SET_HLMT, SET_ALARM, SET_INPOS); home, near-home and index are
// active high.
#include "axis/machine.h"

#include "firmware/firmware.h"
#include "interrupts/interrupt_line.h"

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

bool InPosition(const Firmware& fw, int index)
{
    return InputActive(fw, index, input::kInPosition, fw.axes[index].lp);
}

std::uint16_t InputLevels(const Firmware& fw, int index, std::int64_t at)
{
    const MachineAxisState& m = fw.machine[index];
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
    return static_cast<std::uint16_t>(levels | fw.axes[index].inputs);
}

std::uint16_t InputWord(const Firmware& fw, int index) { return InputLevels(fw, index, fw.axes[index].lp); }

bool InputActive(const Firmware& fw, int index, std::uint16_t bit, std::int64_t lp)
{
    const bool high = (InputLevels(fw, index, lp) & bit) != 0;
    return high == ActiveHigh(fw.machine[index].settings, bit);
}

bool AlarmActive(const Firmware& fw, int index)
{
    return fw.machine[index].settings.alarmOn && InputActive(fw, index, input::kServoAlarm, fw.axes[index].lp);
}

void RaiseLimit(Firmware& fw, int index)
{
    MachineAxisState& m = fw.machine[index];
    if (!m.limitRaised) {
        m.limitRaised = true;
        fw.interrupts.Raise(factor::kLimit);
    }
}

bool DriveReady(Firmware& fw, int index, int dir)
{
    AxisState& a = fw.axes[index];
    const MachineAxisState& m = fw.machine[index];
    if (!m.settings.servoOn) {
        a.error |= error::kServoOff;
        return false;
    }
    if (AlarmActive(fw, index)) {
        a.error |= error::kServoAlarm;
        return false;
    }
    const std::uint16_t limit = dir > 0 ? input::kPlusLimit : input::kMinusLimit;
    if (m.settings.limitsOn && InputActive(fw, index, limit, a.lp)) {
        a.error |= dir > 0 ? error::kHardLimitPlus : error::kHardLimitMinus;
        fw.machine[index].limitRaised = false;
        RaiseLimit(fw, index);
        return false;
    }
    return true;
}

bool StepAllowed(Firmware& fw, int index)
{
    AxisState& a = fw.axes[index];
    if (!fw.machine[index].settings.servoOn) {
        a.error |= error::kServoOff;
        return false;
    }
    if (AlarmActive(fw, index)) {
        a.error |= error::kServoAlarm;
        return false;
    }
    return true;
}

bool HardLimit(Firmware& fw, int index, int dir, std::int64_t& lp, bool& slow)
{
    AxisState& a = fw.axes[index];
    const MachineAxisState& m = fw.machine[index];
    if (!m.settings.limitsOn || dir == 0) {
        return false;
    }
    const std::uint16_t bit = dir > 0 ? input::kPlusLimit : input::kMinusLimit;
    const bool before = InputActive(fw, index, bit, a.lp);
    if (!before && !InputActive(fw, index, bit, lp)) {
        return false;
    }
    a.error |= dir > 0 ? error::kHardLimitPlus : error::kHardLimitMinus;
    RaiseLimit(fw, index);
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

std::int64_t CounterReading(const Firmware& fw, int index, std::int64_t value)
{
    const std::int64_t ring = fw.machine[index].settings.ring;
    if (ring == 0) {
        return value;
    }
    const std::int64_t r = value % ring;
    return r < 0 ? r + ring : r;
}

} // namespace detail
} // namespace velkor_sim
