#include "axis/speed_shape.h"

#include "axis/axis.h"
#include "axis/axis_fields.h"
#include "context/context.h"

#include <algorithm>
#include <cmath>

namespace velkor_sim {
namespace detail {

namespace {

// Appends pieces to a run, keeping the speed and distance at the end of the last.
struct Pieces {
    SpeedRun* run;
    double speed;
    double distance = 0;

    void Add(double time, double acc, double jerk)
    {
        if (!(time > 0) || run->pieces == SpeedRun::kPieces) {
            return;
        }
        RunPiece& q = run->piece[run->pieces++];
        q = RunPiece{time, acc, jerk, speed, distance};
        distance += time * (speed + time * (0.5 * acc + jerk * time / 6));
        speed += time * (acc + 0.5 * jerk * time);
    }
    // A ramp without jerk to the speed v; with an unbounded acceleration (A or
    // D of 0) the speed jumps there.
    void Step(double time, double acc, double v)
    {
        if (std::isinf(acc)) {
            speed = v;
            return;
        }
        Add(time, acc, 0);
    }
    // From the speed now and the acceleration acc >= 0 up to v with at most
    // amax of acceleration and the jerk j (0: the acceleration at once). With
    // acc already so high that easing it off overshoots v, it only eases off.
    void Rise(double acc, double v, double amax, double j)
    {
        const double dv = v - speed;
        if (j <= 0) {
            Step(dv / amax, amax, v);
            return;
        }
        if (dv <= acc * acc / (2 * j)) {
            Add(acc / j, acc, -j);
            return;
        }
        const double top = std::sqrt(j * dv + 0.5 * acc * acc);
        if (top <= amax) {
            Add((top - acc) / j, acc, j);
            Add(top / j, top, -j);
            return;
        }
        Add((amax - acc) / j, acc, j);
        Add((dv - (2 * amax * amax - acc * acc) / (2 * j)) / amax, amax, 0);
        Add(amax / j, amax, -j);
    }
    // From the speed now (acceleration 0) down to v with at most dmax of
    // deceleration and the jerk j.
    void Fall(double v, double dmax, double j)
    {
        const double dv = speed - v;
        if (dv <= 0) {
            return;
        }
        if (j <= 0) {
            Step(dv / dmax, -dmax, v);
            return;
        }
        const double top = std::min(dmax, std::sqrt(j * dv));
        Add(top / j, 0, -j);
        Add((dv - top * top / j) / top, -top, 0);
        Add(top / j, -top, j);
    }
};

// Where the run is after t seconds of its plan; beyond its last piece it
// goes on at the speed it ended with.
void Evaluate(const SpeedRun& run, double t, double& distance, double& speed, double& acc)
{
    double start = 0;
    for (int i = 0; i < run.pieces; ++i) {
        const RunPiece& q = run.piece[i];
        if (t <= start + q.time || i + 1 == run.pieces) {
            const double u = std::min(t - start, q.time);
            distance = q.distance + u * (q.speed + u * (0.5 * q.acc + q.jerk * u / 6));
            speed = q.speed + u * (q.acc + 0.5 * q.jerk * u);
            acc = u < q.time ? q.acc + q.jerk * u : 0;
            if (t > start + q.time) {
                distance += speed * (t - start - q.time);
            }
            return;
        }
        start += q.time;
    }
    distance = 0;
    acc = 0;
}

// Plans the run from the speed v and the acceleration acc to an end
// `remaining` pulses away: up to the highest speed (V at most) from which the
// braking still ends at SV on the braking point, on at that speed, down to
// SV. The braking point lies AO pulses before the end.
void Plan(SpeedRun& run, const Profile& p, double v, double acc, double remaining)
{
    const double ja = p.k;
    const double jd = p.l > 0 ? p.l : p.k;
    if ((acc > 0 && ja <= 0) || (acc < 0 && jd <= 0)) {
        acc = 0; // without jerk the acceleration changes at once
    }
    run = SpeedRun{};
    run.end = remaining;
    Pieces head{&run, v};
    if (acc < 0) {
        head.Add(-acc / jd, acc, jd); // braking was under way: ease it off first
        acc = 0;
    }
    const int first = run.pieces;
    const double ramps = std::max(0.0, remaining - p.ao) - head.distance;
    Pieces b = head;
    auto build = [&](double top, double cruise) {
        run.pieces = first;
        b = head;
        b.Rise(acc, top, p.a, ja);
        b.Add(cruise, 0, 0);
        b.Fall(p.sv, p.d, jd);
        return b.distance - head.distance;
    };
    const double lowest = std::max(head.speed + (acc > 0 ? acc * acc / (2 * ja) : 0), p.sv);
    if (build(lowest, 0) > ramps) {
        // Too late to brake with D: brake evenly onto the braking point, from
        // the speed reached. A braking under way is not eased off first: that
        // would only leave less room (a path extended while it brakes would
        // brake harder than D), while braking evenly over the room it had
        // and more never needs more than D.
        run.pieces = 0;
        b = Pieces{&run, v};
        const double left = std::max(0.0, remaining - p.ao);
        if (b.speed > p.sv && left > 0) {
            b.Add(2 * left / (b.speed + p.sv), -(b.speed * b.speed - p.sv * p.sv) / (2 * left), 0);
        } else {
            b.speed = p.sv;
        }
        b.Add(1, 0, 0);
        return;
    }
    double top = std::max(p.v, lowest);
    if (build(top, 0) > ramps) {
        double low = lowest;
        double high = top;
        for (int i = 0; i < 60; ++i) {
            const double mid = 0.5 * (low + high);
            (build(mid, 0) > ramps ? high : low) = mid;
        }
        top = low;
    }
    build(top, std::max(0.0, ramps - build(top, 0)) / top);
    b.Add(1, 0, 0); // the end speed goes on beyond the last piece
}

} // namespace

double ProfileStep(SpeedRun& run, const Profile& p, double remaining, double dt, double& speed)
{
    const double expected = run.end - run.covered;
    if (run.pieces == 0 || std::fabs(remaining - expected) > 1e-6 + 1e-9 * remaining) {
        double at = 0;
        double v = speed;
        double acc = 0;
        if (run.pieces != 0) {
            Evaluate(run, run.time, at, v, acc);
        }
        Plan(run, p, v, acc, remaining);
    }
    run.time += dt;
    double distance = 0;
    double acc = 0;
    Evaluate(run, run.time, distance, speed, acc);
    const double ds = distance - run.covered;
    run.covered = distance;
    return ds;
}

void NormalSpeed(Context& fw, const Command& cmd)
{
    const std::uint8_t mode = cmd[axis_field::kFlag];
    if (mode > 1) {
        fw.Fault(error::kBadCommand);
        return;
    }
    ForAxes(fw, cmd[axis_field::kAxes], [&](AxisState& a) { a.profile.mode = mode; });
}

void SetPulse(Context& fw, const Command& cmd)
{
    ForAxes(fw, cmd[axis_field::kAxes], [&](AxisState& a) { a.pulse = cmd[axis_field::kValue]; });
}

void VectorSpeed(Context& fw, ProfileValues& vector, const Command& cmd)
{
    const std::uint8_t mode = cmd[axis_field::kVectorMode];
    if (mode > 1) {
        fw.Fault(error::kBadCommand);
        return;
    }
    vector.mode = mode;
}

} // namespace detail
} // namespace velkor_sim
