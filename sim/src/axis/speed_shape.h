// The speed profile of moves and paths: the trapezoid (or triangle), the
// S-curve from the jerk values K (accelerating) and L (decelerating), and
// the braking offset AO. The constant-speed mode (NORMAL_SPEED /
// VECTOR_SPEED 1) needs no shaping: its resolved profile starts and ends at
// the drive speed.
#ifndef VELKOR_SIM_MOTION_SPEED_SHAPE_H
#define VELKOR_SIM_MOTION_SPEED_SHAPE_H

#include "protocol/fields.h"
#include "axis/axis.h"

namespace velkor_sim {
namespace detail {

class Command;
class Context;

// One step of dt of the speed profile towards an end `remaining` pulses
// away (a very large number for a continuous move): returns the distance
// covered and sets `speed` to the speed at the end of the step.
//
// The run is planned in closed form when it starts and again whenever the
// distance to the end changes other than by the motion (a path that gets
// more segments): from SV (or the speed and acceleration reached) up with A,
// or with the jerk K up to A and easing off, to V, or to the highest speed
// from which braking still ends on the braking point; on at that speed;
// down with D, or with the jerk L (0: K), to SV. The braking point lies AO
// pulses before the end: a positive AO leaves a creep at SV, a negative one
// arrives above SV. Each step samples the plan, so the move ends on its
// target within a step of the planned time.
double ProfileStep(SpeedRun& run, const Profile& p, double remaining, double dt, double& speed);

// A plan that reaches its end (or a slow stop its start speed) within this
// fraction of a step after a step ends, reaches it on that step: the
// rounding of the arithmetic never costs a step of its own.
constexpr double kOnTheStep = 1e-5;

// Packet handlers
void NormalSpeed(Context& fw, const Command& cmd); // 70
void SetPulse(Context& fw, const Command& cmd);  // 79
void VectorSpeed(Context& fw, ProfileValues& vector, const Command& cmd); // 91

} // namespace detail
} // namespace velkor_sim

#endif
