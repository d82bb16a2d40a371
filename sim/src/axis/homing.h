// Homing: the homing speed, search range and mode of each axis, and the
// homing sequence HOME_START runs on the machine's switches. The sequence
// moves the axis itself (not through a drive), phase by phase, and ends by
// setting the counters to the home offset.
#ifndef VELKOR_SIM_AXIS_HOMING_H
#define VELKOR_SIM_AXIS_HOMING_H

#include "context/context.h"
#include "axis/axis.h"
#include "protocol/fields.h"

#include <cstdint>

namespace velkor_sim {
namespace detail {

class Command;
class Context;

bool HomingActive(const Context& ctx, int index);
// One motion step of every homing sequence running.
void StepHoming(Context& ctx, double dt);
// A stop command ends the homing of axis `index` unfinished (slowly: after
// braking); a stop for the drive (servo off, alarm) ends it as failed.
enum class HomingStop : std::uint8_t { Slowly, Suddenly, Failed };
void StopHoming(Context& ctx, int index, HomingStop how);
void ResetHoming(Context& ctx);

// Packet handlers
void SetHomingSpeed(Context& ctx, const Command& cmd); // 60
void HomeLimit(Context& ctx, const Command& cmd);      // 61
void SetHomeMode(Context& ctx, const Command& cmd);    // 62
void HomeStart(Context& ctx, const Command& cmd);      // 63


} // namespace detail
} // namespace velkor_sim

#endif
