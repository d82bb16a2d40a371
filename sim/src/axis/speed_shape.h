// Shaping of a speed profile beyond the trapezoid: an S-curve from the jerk
// values K (accelerating) and L (decelerating), and the braking offset AO.
// The constant-speed mode (NORMAL_SPEED / VECTOR_SPEED 1) needs no shaping:
// its resolved profile starts and ends at the drive speed.
#ifndef VELKOR_SIM_MOTION_SPEED_SHAPE_H
#define VELKOR_SIM_MOTION_SPEED_SHAPE_H

#include "protocol/fields.h"
#include "axis/axis.h"

namespace velkor_sim {
namespace detail {

class Context;

// Speed gained after t seconds of a ramp that changes the speed by dv with at
// most amax of acceleration and the jerk j (0: the acceleration at once).
double RampGain(double dv, double amax, double j, double t);
// How long that ramp takes.
double RampTime(double dv, double amax, double j);
// The distance needed to slow down from v to the start speed.
double BrakeDistance(double v, const Profile& p);

// The speed after one step of dt towards an end `remaining` pulses away (a
// very large number for a continuous move). Without K, L and AO this is the
// trapezoid of NextSpeed; with them, the acceleration ramps with the jerk and
// braking begins AO pulses earlier (a positive AO leaves a creep at the
// start speed before the end; a negative one arrives above it).
double ShapedSpeed(SpeedRun& run, double v, const Profile& p, double remaining, double dt);

// Packet handlers
void NormalSpeed(Context& fw, const Bytes& p); // 70
void SetPulse(Context& fw, const Bytes& p);    // 79
void VectorSpeed(Context& fw, ProfileValues& vector, const Bytes& p); // 91

} // namespace detail
} // namespace velkor_sim

#endif
