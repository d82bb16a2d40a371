#include "axis/speed_shape.h"

#include "axis/axis.h"
#include "context/context.h"

#include <algorithm>
#include <cmath>

namespace velkor_sim {
namespace detail {

double RampGain(double dv, double amax, double j, double t)
{
    if (dv <= 0 || t <= 0) {
        return 0;
    }
    if (j <= 0) {
        return std::min(dv, amax * t);
    }
    const double ta = amax / j; // time to reach the full acceleration
    if (dv >= amax * ta) {
        // Jerk up, constant acceleration, jerk down.
        const double t2 = dv / amax - ta;
        const double total = 2 * ta + t2;
        if (t <= ta) {
            return 0.5 * j * t * t;
        }
        if (t <= ta + t2) {
            return 0.5 * j * ta * ta + amax * (t - ta);
        }
        if (t < total) {
            const double rest = total - t;
            return dv - 0.5 * j * rest * rest;
        }
        return dv;
    }
    // Too short to reach the full acceleration: jerk up, then down.
    const double tp = std::sqrt(dv / j);
    if (t <= tp) {
        return 0.5 * j * t * t;
    }
    if (t < 2 * tp) {
        const double rest = 2 * tp - t;
        return dv - 0.5 * j * rest * rest;
    }
    return dv;
}

double RampTime(double dv, double amax, double j)
{
    if (dv <= 0) {
        return 0;
    }
    if (j <= 0) {
        return dv / amax;
    }
    return dv >= amax * amax / j ? dv / amax + amax / j : 2 * std::sqrt(dv / j);
}

// Both ramps are point-symmetric in speed, so the mean speed of a ramp is the
// mean of its two ends.
double BrakeDistance(double v, const Profile& p)
{
    if (v <= p.sv) {
        return 0;
    }
    const double jd = p.l > 0 ? p.l : p.k;
    return 0.5 * (v + p.sv) * RampTime(v - p.sv, p.d, jd);
}

double ShapedSpeed(SpeedRun& run, double v, const Profile& p, double remaining, double dt)
{
    remaining -= p.ao;
    if (p.k <= 0 && p.l <= 0) {
        return NextSpeed(v, p, remaining, dt);
    }
    const double ja = p.k;
    const double jd = p.l > 0 ? p.l : p.k;
    if (!run.braking) {
        // Braking now would first let the acceleration ramp down: count the
        // speed and the distance that adds.
        const double rampDown = ja > 0 ? run.acc / ja : 0;
        const double peak = v + 0.5 * run.acc * rampDown;
        if (remaining - v * dt <= BrakeDistance(peak, p) + v * rampDown) {
            run.braking = true;
            run.brakeFrom = std::max(v, p.sv);
            run.brakeTime = 0;
            run.acc = 0;
        }
    }
    if (run.braking) {
        run.brakeTime += dt;
        return std::max(p.sv, run.brakeFrom - RampGain(run.brakeFrom - p.sv, p.d, jd, run.brakeTime));
    }
    const double from = std::max(v, p.sv);
    if (from >= p.v) {
        run.acc = 0;
        return p.v;
    }
    if (ja <= 0) {
        return std::min(p.v, from + p.a * dt);
    }
    // Ease off the acceleration in time to meet the drive speed without a jolt.
    if (from + run.acc * run.acc / (2 * ja) >= p.v) {
        run.acc = std::max(ja * dt, run.acc - ja * dt);
    } else {
        run.acc = std::min(p.a, run.acc + ja * dt);
    }
    const double next = std::min(p.v, from + run.acc * dt);
    if (next >= p.v) {
        run.acc = 0;
    }
    return next;
}

void NormalSpeed(Context& fw, const Bytes& p)
{
    if (p[4] > 1) {
        fw.Fault(error::kBadCommand);
        return;
    }
    ForAxes(fw, p[2], [&](AxisState& a) { a.profile.mode = p[4]; });
}

void SetPulse(Context& fw, const Bytes& p)
{
    ForAxes(fw, p[2], [&](AxisState& a) { a.pulse = U32(p, 4); });
}

void VectorSpeed(Context& fw, ProfileValues& vector, const Bytes& p)
{
    if (p[2] > 1) {
        fw.Fault(error::kBadCommand);
        return;
    }
    vector.mode = p[2];
}

} // namespace detail
} // namespace velkor_sim
