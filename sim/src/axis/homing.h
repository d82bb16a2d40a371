// Homing: the homing speed, search range and mode of each axis, and the
// homing sequence HOME_START runs on the machine's switches. The sequence
// moves the axis itself (not through a drive), phase by phase, and ends by
// setting the counters to the home offset.
#ifndef VELKOR_SIM_AXIS_HOMING_H
#define VELKOR_SIM_AXIS_HOMING_H

#include "context/context.h"
#include "protocol/fields.h"

#include <cstdint>

namespace velkor_sim {
namespace detail {

class Command;
class Context;

struct HomingAxis {
    // Settings
    std::uint32_t hv = 2000;       // search speed, pulses per second
    std::uint8_t range = 0;        // search range in thousands of pulses (0: unlimited)
    std::uint8_t mode = 0;         // 0 home switch, 1 home switch then index, 2 limit switch, 3 index
    std::uint8_t direction = 0;    // 0: search towards -, 1: towards +
    std::uint8_t creepPercent = 10; // creep speed in percent of HV
    std::uint8_t keepEp = 0;       // 1: homing leaves EP counting on
    std::int32_t offset = 0;       // LP (and EP) at home

    // The sequence running
    enum class Phase : std::uint8_t { Idle, Leave, Search, Brake, BackOff, Approach, Index, Settle };
    Phase phase = Phase::Idle;
    Phase afterBrake = Phase::Idle;
    int dir = 1;           // direction of the current phase
    double speed = 0;      // pulses per second
    bool met = false;      // BackOff, Approach: the switch was met in this phase
    double travelled = 0;  // pulses moved since HOME_START
};

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

inline HomingAxis& Context::Homing(int index) { return homing_[index]; }
inline const HomingAxis& Context::Homing(int index) const { return homing_[index]; }

} // namespace detail
} // namespace velkor_sim

#endif
