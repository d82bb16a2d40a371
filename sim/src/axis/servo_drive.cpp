// The servo drive and the encoder of each axis. The drive turns the motor
// after the command pulses (LP), through its dynamics (drive_dynamics.h);
// the encoder counts the motor, so EP shows the lag, the multiplier and the
// directions. Servo off leaves the motor where it is and refuses motion; an
// alarm stops the axis, and a following error beyond the drive's limit
// raises its alarm.
#include "axis/machine.h"

#include "axis/axis.h"
#include "axis/axis_fields.h"
#include "context/context.h"
#include "axis/homing.h"
#include "axis/drives.h"

#include <cmath>

namespace velkor_sim {
namespace detail {
namespace {

// Calls action(index) for every axis the selector names; an invalid
// selector sets the bad-command bit instead.
template <typename Action>
void ForIndexes(Context& ctx, std::uint8_t mask, Action&& action)
{
    if (!ValidSelector(mask)) {
        ctx.Fault(error::kBadCommand);
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

void CountEncoder(Context& ctx, int index)
{
    MachineAxisState& m = ctx.Machine(index);
    double reading = m.motor * EncoderScale(m);
    if (m.layout.encoderNoise > 0) {
        reading += m.layout.encoderNoise * NormalNoise(m.noise);
    }
    const std::int64_t whole = std::llround(reading);
    ctx.Axis(index).ep += EncoderSign(m) * (whole - m.encoderWhole);
    m.encoderWhole = whole;
}

bool InMotion(const Context& ctx, int index)
{
    const AxisState& a = ctx.Axis(index);
    return a.drive.kind != Drive::Kind::None || ctx.AxisInPath(index) || HomingActive(ctx, index);
}

// Stops whatever moves the axis, at once, for a reason of the drive.
void DriveStop(Context& ctx, int index)
{
    StopHoming(ctx, index, HomingStop::Failed);
    StopAxes(ctx, static_cast<std::uint8_t>(1u << index), false);
}

} // namespace

void RebaseEncoder(Context& ctx, int index)
{
    MachineAxisState& m = ctx.Machine(index);
    m.encoderWhole = std::llround(m.motor * EncoderScale(m));
}

void ShiftScale(Context& ctx, int index, std::int64_t delta)
{
    ctx.Machine(index).motor += static_cast<double>(delta);
    ctx.Machine(index).dynamics.Shift(static_cast<double>(delta));
    ctx.Machine(index).origin += delta;
    RebaseEncoder(ctx, index);
}

void WatchAlarm(Context& ctx, int index)
{
    MachineAxisState& m = ctx.Machine(index);
    const bool active = AlarmActive(ctx, index);
    if (active && !m.alarmSeen) {
        ctx.Axis(index).error |= error::kServoAlarm;
        ctx.Raise(factor::kServoAlarm, true);
        m.alarmSeen = true;
        DriveStop(ctx, index);
    }
    m.alarmSeen = active;
}

void StepMachine(Context& ctx, double dt)
{
    StepHoming(ctx, dt);
    for (int i = 0; i < kAxisCount; ++i) {
        MachineAxisState& m = ctx.Machine(i);
        const double target = static_cast<double>(ctx.Axis(i).lp);
        if (m.settings.servoOn) {
            m.motor = m.dynamics.Step(target, dt);
            const double limit = m.layout.followingLimit;
            if (limit > 0 && std::fabs(target - m.motor) > limit) {
                m.driveAlarm = true; // held until the drive is reset (SetDriveAlarm off)
            }
        } else {
            m.dynamics.Hold(target);
        }
        CountEncoder(ctx, i);
        WatchAlarm(ctx, i);
        if (!InMotion(ctx, i)) {
            m.limitRaised = false;
        }
    }
}

bool MachineBusy(const Context& ctx, int index)
{
    const MachineSettings& s = ctx.Machine(index).settings;
    return HomingActive(ctx, index) ||
           (s.inPositionWait && s.servoOn && !AlarmActive(ctx, index) && !InPosition(ctx, index));
}

bool MachineMoving(const Context& ctx)
{
    for (int i = 0; i < kAxisCount; ++i) {
        const MachineAxisState& m = ctx.Machine(i);
        if (HomingActive(ctx, i) || (m.settings.servoOn && !m.dynamics.Settled())) {
            return true;
        }
    }
    return false;
}

bool DriveSettled(const Context& ctx, int index) { return ctx.Machine(index).dynamics.Settled(); }

void ConfigureDrive(Context& ctx, int index)
{
    MachineAxisState& m = ctx.Machine(index);
    const MachineAxis& l = m.layout;
    DriveParameters p;
    p.followingTime = l.followingTime;
    p.naturalFrequency = l.naturalFrequency;
    p.damping = l.damping;
    p.deadTime = l.deadTime;
    p.backlash = l.backlash;
    m.dynamics.Configure(p);
    m.noise = l.noiseSeed;
}

void ResetMachine(Context& ctx)
{
    for (int i = 0; i < kAxisCount; ++i) {
        MachineAxisState& m = ctx.Machine(i);
        m.Reset();
        m.alarmSeen = AlarmActive(ctx, i); // a standing alarm is no new event
        RebaseEncoder(ctx, i);
    }
    ResetHoming(ctx);
}

void ServoOn(Context& ctx, const Command& cmd)
{
    ForIndexes(ctx, cmd[axis_field::kAxes], [&](int i) {
        MachineAxisState& m = ctx.Machine(i);
        if (!m.settings.servoOn) {
            // The drive holds the motor where it stands: LP keeps its count,
            // the following error is what lies between them.
            m.settings.servoOn = true;
        }
    });
}

void ServoOff(Context& ctx, const Command& cmd)
{
    ForIndexes(ctx, cmd[axis_field::kAxes], [&](int i) {
        if (InMotion(ctx, i) || ctx.Axis(i).pending.kind != Drive::Kind::None) {
            ctx.Axis(i).error |= error::kServoOff;
            DriveStop(ctx, i);
        }
        ctx.Machine(i).settings.servoOn = false;
    });
}

void SetAlarm(Context& ctx, const Command& cmd)
{
    ForIndexes(ctx, cmd[axis_field::kAxes], [&](int i) {
        if (!Flag(cmd[axis_field::kFirst]) || !Flag(cmd[axis_field::kSecond])) {
            ctx.Axis(i).error |= error::kBadCommand;
            return;
        }
        ctx.Machine(i).settings.alarmOn = cmd[axis_field::kFirst] == 1;
        ctx.Machine(i).settings.alarmActiveHigh = cmd[axis_field::kSecond] == 1;
        WatchAlarm(ctx, i);
    });
}

void SetInPosition(Context& ctx, const Command& cmd)
{
    ForIndexes(ctx, cmd[axis_field::kAxes], [&](int i) {
        if (!Flag(cmd[axis_field::kFirst]) || !Flag(cmd[axis_field::kSecond])) {
            ctx.Axis(i).error |= error::kBadCommand;
            return;
        }
        ctx.Machine(i).settings.inPositionWait = cmd[axis_field::kFirst] == 1;
        ctx.Machine(i).settings.inPositionActiveHigh = cmd[axis_field::kSecond] == 1;
    });
}

void SetEncoder(Context& ctx, const Command& cmd)
{
    const std::uint8_t reversed = cmd[axis_field::kThird];
    ForIndexes(ctx, cmd[axis_field::kAxes], [&](int i) {
        const std::uint8_t mode = cmd[axis_field::kFirst];
        const std::uint8_t multiplier = cmd[axis_field::kSecond] == 0 ? 1 : cmd[axis_field::kSecond]; // 0: the plain count
        const bool valid = Flag(mode) && Flag(reversed) &&
                           (mode == 0 ? (multiplier == 1 || multiplier == 2 || multiplier == 4) : multiplier == 1);
        if (!valid) {
            ctx.Axis(i).error |= error::kBadCommand;
            return;
        }
        MachineSettings& s = ctx.Machine(i).settings;
        s.encoderMode = mode;
        s.multiplier = multiplier;
        s.encoderReversed = reversed == 1;
        RebaseEncoder(ctx, i);
    });
}

} // namespace detail
} // namespace velkor_sim
