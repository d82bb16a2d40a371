// The servo drive and the encoder of each axis. The drive turns the motor
// after the command pulses (LP), lagging it by a first-order following
// error; the encoder counts the motor, so EP shows the lag, the multiplier
// and the directions. Servo off leaves the motor where it is and refuses
// motion; an alarm stops the axis.
#include "axis/machine.h"

#include "firmware/firmware.h"
#include "axis/homing.h"
#include "interrupts/interrupt_line.h"
#include "axis/drives.h"

#include <cmath>

namespace velkor_sim {
namespace detail {
namespace {

// Calls action(index) for every axis the selector names; an invalid
// selector sets the bad-command bit instead.
template <typename Action>
void ForIndexes(Firmware& fw, std::uint8_t mask, Action&& action)
{
    if (!ValidSelector(mask)) {
        fw.Fault(error::kBadCommand);
        return;
    }
    for (int i = 0; i < kAxisCount; ++i) {
        if (mask & (1u << i)) {
            action(i);
        }
    }
}

bool Flag(std::uint8_t value) { return value <= 1; }

double EncoderScale(const MachineAxisState& m) { return m.layout.encoderRatio * m.settings.multiplier; }

int EncoderSign(const MachineAxisState& m)
{
    const bool motorReversed = (m.settings.pulseMode & 2) != 0;
    return motorReversed != m.settings.encoderReversed ? -1 : 1;
}

void CountEncoder(Firmware& fw, int index)
{
    MachineAxisState& m = fw.machine[index];
    const std::int64_t whole = std::llround(m.motor * EncoderScale(m));
    fw.axes[index].ep += EncoderSign(m) * (whole - m.encoderWhole);
    m.encoderWhole = whole;
}

bool InMotion(const Firmware& fw, int index)
{
    const AxisState& a = fw.axes[index];
    return a.drive.kind != Drive::Kind::None || fw.AxisInPath(index) || HomingActive(fw, index);
}

// Stops whatever moves the axis, at once, for a reason of the drive.
void DriveStop(Firmware& fw, int index)
{
    StopHoming(fw, index, HomingStop::Failed);
    StopAxes(fw, static_cast<std::uint8_t>(1u << index), false);
}

} // namespace

void RebaseEncoder(Firmware& fw, int index)
{
    MachineAxisState& m = fw.machine[index];
    m.encoderWhole = std::llround(m.motor * EncoderScale(m));
}

void ShiftScale(Firmware& fw, int index, std::int64_t delta)
{
    fw.machine[index].motor += static_cast<double>(delta);
    fw.machine[index].commanded += static_cast<double>(delta);
    fw.machine[index].origin += delta;
    RebaseEncoder(fw, index);
}

void WatchAlarm(Firmware& fw, int index)
{
    MachineAxisState& m = fw.machine[index];
    const bool active = AlarmActive(fw, index);
    if (active && !m.alarmSeen) {
        fw.axes[index].error |= error::kServoAlarm;
        fw.interrupts.Raise(factor::kServoAlarm);
        m.alarmSeen = true;
        DriveStop(fw, index);
    }
    m.alarmSeen = active;
}

void StepMachine(Firmware& fw, double dt)
{
    StepHoming(fw, dt);
    for (int i = 0; i < kAxisCount; ++i) {
        MachineAxisState& m = fw.machine[i];
        const double target = static_cast<double>(fw.axes[i].lp);
        if (m.settings.servoOn) {
            // A first-order position loop fed with a ramp from the last LP to
            // this one: its error runs towards speed x time constant.
            const double tau = m.layout.followingTime;
            if (tau > 0) {
                const double lag = (target - m.commanded) / dt * tau;
                const double error = lag + (m.commanded - m.motor - lag) * std::exp(-dt / tau);
                m.motor = target - error;
            }
            if (tau <= 0 || std::fabs(target - m.motor) < 1e-3) {
                m.motor = target;
            }
        }
        m.commanded = target;
        CountEncoder(fw, i);
        WatchAlarm(fw, i);
        if (!InMotion(fw, i)) {
            m.limitRaised = false;
        }
    }
}

bool MachineBusy(const Firmware& fw, int index)
{
    const MachineSettings& s = fw.machine[index].settings;
    return HomingActive(fw, index) ||
           (s.inPositionWait && s.servoOn && !AlarmActive(fw, index) && !InPosition(fw, index));
}

bool MachineMoving(const Firmware& fw)
{
    for (int i = 0; i < kAxisCount; ++i) {
        const MachineAxisState& m = fw.machine[i];
        if (HomingActive(fw, i) || (m.settings.servoOn && m.motor != static_cast<double>(fw.axes[i].lp))) {
            return true;
        }
    }
    return false;
}

void ResetMachine(Firmware& fw)
{
    for (int i = 0; i < kAxisCount; ++i) {
        MachineAxisState& m = fw.machine[i];
        m.settings = MachineSettings{};
        m.limitRaised = false;
        m.alarmSeen = AlarmActive(fw, i); // a standing alarm is no new event
        RebaseEncoder(fw, i);
    }
    ResetHoming(fw);
}

void ServoOn(Firmware& fw, const Bytes& p)
{
    ForIndexes(fw, p[2], [&](int i) {
        MachineAxisState& m = fw.machine[i];
        if (!m.settings.servoOn) {
            // The drive holds the motor where it stands: LP keeps its count,
            // the following error is what lies between them.
            m.settings.servoOn = true;
        }
    });
}

void ServoOff(Firmware& fw, const Bytes& p)
{
    ForIndexes(fw, p[2], [&](int i) {
        if (InMotion(fw, i) || fw.axes[i].pending.kind != Drive::Kind::None) {
            fw.axes[i].error |= error::kServoOff;
            DriveStop(fw, i);
        }
        fw.machine[i].settings.servoOn = false;
    });
}

void SetAlarm(Firmware& fw, const Bytes& p)
{
    ForIndexes(fw, p[2], [&](int i) {
        if (!Flag(p[4]) || !Flag(p[6])) {
            fw.axes[i].error |= error::kBadCommand;
            return;
        }
        fw.machine[i].settings.alarmOn = p[4] == 1;
        fw.machine[i].settings.alarmActiveHigh = p[6] == 1;
        WatchAlarm(fw, i);
    });
}

void SetInPosition(Firmware& fw, const Bytes& p)
{
    ForIndexes(fw, p[2], [&](int i) {
        if (!Flag(p[4]) || !Flag(p[6])) {
            fw.axes[i].error |= error::kBadCommand;
            return;
        }
        fw.machine[i].settings.inPositionWait = p[4] == 1;
        fw.machine[i].settings.inPositionActiveHigh = p[6] == 1;
    });
}

void SetEncoder(Firmware& fw, const Bytes& p)
{
    ForIndexes(fw, p[2], [&](int i) {
        const std::uint8_t mode = p[4];
        const std::uint8_t multiplier = p[6] == 0 ? 1 : p[6]; // 0: the plain count
        const bool valid = Flag(mode) && Flag(p[8]) &&
                           (mode == 0 ? (multiplier == 1 || multiplier == 2 || multiplier == 4) : multiplier == 1);
        if (!valid) {
            fw.axes[i].error |= error::kBadCommand;
            return;
        }
        MachineSettings& s = fw.machine[i].settings;
        s.encoderMode = mode;
        s.multiplier = multiplier;
        s.encoderReversed = p[8] == 1;
        RebaseEncoder(fw, i);
    });
}

} // namespace detail
} // namespace velkor_sim
