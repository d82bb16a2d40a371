// The machine around each axis: its switches (limits, home, near-home, the
// encoder's index pulse), its servo drive (servo on, alarm, in-position, the
// motor that lags the command) and its encoder (mode, multiplier, direction),
// together with the module's settings for them (axis configuration codes 12,
// 14..17 and 20..33).
//
// Where the machine hooks into the motion model:
//  - StartMove asks DriveReady() before a move starts, HomeStart before a
//    homing sets off;
//  - CheckLimit (axis/axis_config.cpp) asks StepAllowed() and HardLimit()
//    for every new position a drive or path reaches;
//  - Firmware::Step calls StepMachine() after the drives and paths: homing
//    moves, motors follow, encoders count, the alarm is watched;
//  - AxisDriving and Moving ask MachineBusy() / MachineMoving().
#ifndef VELKOR_SIM_AXIS_MACHINE_H
#define VELKOR_SIM_AXIS_MACHINE_H

#include "context/context.h"
#include "protocol/fields.h"
#include "axis/axis.h"
#include "velkor_sim/virtual_module.h"

#include <cstdint>

namespace velkor_sim {
namespace detail {

class Command;
class Context;

// Levels at the input terminals of axis `index` were it at whole position lp
// (on the LP scale; the switches sit at machine positions, lp - origin).
std::uint16_t InputLevels(const Context& ctx, int index, std::int64_t lp);
// The input word as GET_DI_ALL reads it: the levels where the axis is.
std::uint16_t InputWord(const Context& ctx, int index);
// Whether the module sees input `bit` (one of input::k*) active at lp.
bool InputActive(const Context& ctx, int index, std::uint16_t bit, std::int64_t lp);
bool AlarmActive(const Context& ctx, int index);
bool InPosition(const Context& ctx, int index);

// Whether axis `index` may start a move in direction dir; if not, the
// reason's error bit is set (and the limit factor raised for a limit).
bool DriveReady(Context& ctx, int index, int dir);
// Whether the drive lets axis `index` move this step: the servo is on and
// no alarm is active. If not, sets the reason's error bit.
bool StepAllowed(Context& ctx, int index);
// Applies the hardware limits to a new whole position lp reached in
// direction dir, as CheckLimit does for the soft limits.
bool HardLimit(Context& ctx, int index, int dir, std::int64_t& lp, bool& slow);
// Raises the limit factor once per motion.
void RaiseLimit(Context& ctx, int index);

// Motion steps: homing, motors, encoders, alarms.
void StepMachine(Context& ctx, double dt);
// Something of the machine keeps axis `index` from reading as stopped:
// homing, or the wait for the drive to be in position.
bool MachineBusy(const Context& ctx, int index);
// The machine has something to do without a new packet.
bool MachineMoving(const Context& ctx);
// The motor of axis `index` has come to rest on what its drive is given.
bool DriveSettled(const Context& ctx, int index);
// The drive's parameters from the machine's layout, and the encoder's noise
// generator seeded again (after SetMachine).
void ConfigureDrive(Context& ctx, int index);
// A preset moved the LP scale of axis `index` by delta: the switches and the
// motor keep their places on the machine, and EP is not changed.
void ShiftScale(Context& ctx, int index, std::int64_t delta);
// Recounts the encoder's whole count after its scale changed, keeping EP.
void RebaseEncoder(Context& ctx, int index);
// A counter reading as the host sees it (VRING wraps it).
std::int64_t CounterReading(const Context& ctx, int index, std::int64_t value);
// AVTRI: lowers the top speed of a short fixed move so that it keeps a part
// at constant speed.
void ShapeDrive(const Context& ctx, int index, Drive& drive);
// Looks at the alarm of axis `index` now (after a change of its level or
// its settings): a new alarm stops the axis.
void WatchAlarm(Context& ctx, int index);
// RESET_CARD: the module's settings back to their defaults; the machine's
// layout and the motors stay.
void ResetMachine(Context& ctx);

// The simulator's external inputs of the EXD functions.
void PressJog(Context& ctx, int index, int dir);
void TurnHandwheel(Context& ctx, int index, std::int32_t counts);

// Packet handlers
void SetPulseMode(Context& ctx, const Command& cmd);  // 12
void SetHardLimits(Context& ctx, const Command& cmd); // 14
void LimitStopMode(Context& ctx, const Command& cmd); // 15
void SetNearHome(Context& ctx, const Command& cmd);   // 16
void SetHomeEdge(Context& ctx, const Command& cmd);   // 17
void SetEncoder(Context& ctx, const Command& cmd);    // 20
void ServoOn(Context& ctx, const Command& cmd);       // 21
void ServoOff(Context& ctx, const Command& cmd);      // 22
void SetAlarm(Context& ctx, const Command& cmd);      // 23
void SetInPosition(Context& ctx, const Command& cmd); // 24
void SetFilter(Context& ctx, const Command& cmd);     // 25
void RingEnable(Context& ctx, const Command& cmd);    // 26
void RingDisable(Context& ctx, const Command& cmd);   // 27
void AvoidTriangle(Context& ctx, const Command& cmd); // 28, 29
void ExternalDrive(Context& ctx, const Command& cmd); // 30..33

} // namespace detail
} // namespace velkor_sim

#endif
