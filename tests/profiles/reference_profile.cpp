#include "reference_profile.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace velkor_reference {
namespace {

// A speed change by dv with at most amax of acceleration and the jerk j: the
// acceleration grows by j per second to amax (or less, for a small change)
// and falls back by j, so the ramp is point-symmetric about its middle.
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

// Seconds from either end of the ramp to its highest acceleration (0 without jerk).
double RampEdge(double dv, double amax, double j)
{
    return j > 0 ? std::min(amax, j * RampTime(dv, amax, j) / 2) / j : 0;
}

double RampGain(double dv, double amax, double j, double t)
{
    const double total = RampTime(dv, amax, j);
    if (t <= 0) {
        return 0;
    }
    if (t >= total) {
        return dv;
    }
    if (j <= 0) {
        return amax * t;
    }
    const double edge = RampEdge(dv, amax, j);
    const double reach = j * edge; // the highest acceleration
    if (t <= edge) {
        return j * t * t / 2;
    }
    if (t >= total - edge) {
        return dv - j * (total - t) * (total - t) / 2;
    }
    return reach * reach / (2 * j) + reach * (t - edge);
}

double RampAcceleration(double dv, double amax, double j, double t)
{
    const double total = RampTime(dv, amax, j);
    if (t < 0 || t >= total) {
        return 0;
    }
    if (j <= 0) {
        return amax;
    }
    const double edge = RampEdge(dv, amax, j);
    return std::min({j * t, j * edge, j * (total - t)});
}

// The mean speed of a point-symmetric ramp is the mean of its ends.
double RampDistance(double from, double to, double amax, double j)
{
    return (from + to) / 2 * RampTime(std::fabs(to - from), amax, j);
}

struct Resolved {
    double sv, v, a, d, ja, jd;
};

Resolved Resolve(const ProfileSetting& p)
{
    Resolved r;
    r.v = std::max(1.0, p.v);
    r.sv = p.constant ? r.v : std::max(1.0, std::min(p.sv, r.v));
    r.a = p.a > 0 ? p.a : std::numeric_limits<double>::infinity(); // 0: V at once
    r.d = p.d > 0 ? p.d : r.a;
    r.ja = p.k;
    r.jd = p.l > 0 ? p.l : p.k;
    return r;
}

} // namespace

void Reference::Add(double from, double to, double amax, double jerk, double skip)
{
    if (from == to) {
        return;
    }
    Phase f;
    f.from = from;
    f.to = to;
    f.amax = amax;
    f.jerk = jerk;
    f.skip = skip;
    f.time = RampTime(std::fabs(to - from), amax, jerk) - skip;
    if (!(f.time > 0)) {
        return; // a jump (no limit on the acceleration), or nothing left of the ramp
    }
    phases_.push_back(f);
    duration_ += f.time;
    distance_ += PhaseDistance(f, f.time);
    peak_ = std::max({peak_, PhaseSpeed(f, 0), PhaseSpeed(f, f.time)});
}

void Reference::Cruise(double speed, double time)
{
    if (time <= 0) {
        return;
    }
    Phase f;
    f.from = f.to = speed;
    f.time = time;
    phases_.push_back(f);
    duration_ += time;
    distance_ += speed * time;
    peak_ = std::max(peak_, speed);
}

double Reference::PhaseSpeed(const Phase& f, double tau) const
{
    if (f.from == f.to) {
        return f.from;
    }
    const double gain = RampGain(std::fabs(f.to - f.from), f.amax, f.jerk, f.skip + tau);
    return f.to > f.from ? f.from + gain : f.from - gain;
}

double Reference::PhaseAcceleration(const Phase& f, double tau) const
{
    if (f.from == f.to) {
        return 0;
    }
    const double acc = RampAcceleration(std::fabs(f.to - f.from), f.amax, f.jerk, f.skip + tau);
    return f.to > f.from ? acc : -acc;
}

double Reference::PhaseDistance(const Phase& f, double tau) const
{
    if (f.from == f.to) {
        return f.from * tau;
    }
    // The speed is quadratic in time between the points where the jerk
    // changes: Simpson's rule on each such piece is exact.
    const double dv = std::fabs(f.to - f.from);
    const double total = RampTime(dv, f.amax, f.jerk); // the whole ramp, of which the phase may be a part
    const double edge = RampEdge(dv, f.amax, f.jerk);
    const double lo = f.skip;
    const double hi = f.skip + tau;
    const double cuts[] = {lo, std::clamp(edge, lo, hi), std::clamp(total - edge, lo, hi), hi};
    double sum = 0;
    for (int i = 0; i < 3; ++i) {
        const double a = cuts[i] - f.skip;
        const double b = std::max(a, cuts[i + 1] - f.skip);
        sum += (b - a) / 6 * (PhaseSpeed(f, a) + 4 * PhaseSpeed(f, (a + b) / 2) + PhaseSpeed(f, b));
    }
    return sum;
}

double Reference::Speed(double t) const
{
    for (const Phase& f : phases_) {
        if (t <= f.time) {
            return PhaseSpeed(f, std::max(t, 0.0));
        }
        t -= f.time;
    }
    return phases_.empty() ? 0 : PhaseSpeed(phases_.back(), phases_.back().time); // the end speed
}

double Reference::Acceleration(double t) const
{
    for (const Phase& f : phases_) {
        if (t < f.time) {
            return PhaseAcceleration(f, std::max(t, 0.0));
        }
        t -= f.time;
    }
    return 0;
}

double Reference::Position(double t) const
{
    double s = 0;
    for (const Phase& f : phases_) {
        if (t <= f.time) {
            return s + PhaseDistance(f, std::max(t, 0.0));
        }
        s += PhaseDistance(f, f.time);
        t -= f.time;
    }
    return s;
}

void Reference::Cut(double at)
{
    std::vector<Phase> kept;
    double t = 0;
    for (Phase f : phases_) {
        if (t + f.time >= at) {
            f.time = at - t;
            kept.push_back(f);
            break;
        }
        kept.push_back(f);
        t += f.time;
    }
    phases_ = kept;
    duration_ = at;
    distance_ = Position(at);
    peak_ = 0; // each phase is monotonic: the fastest point is at one of its ends
    for (const Phase& f : phases_) {
        peak_ = std::max({peak_, PhaseSpeed(f, 0), PhaseSpeed(f, f.time)});
    }
}

void Reference::PlanFrom(const ProfileSetting& setting, double v, double acc, double remaining)
{
    const Resolved p = Resolve(setting);
    const double start = distance_;
    const double end = start + remaining;
    const double reached = v;
    // Braking under way eases off first: the second half of a falling ramp
    // whose highest deceleration is the one reached, `ease` seconds long.
    const double braking = acc < 0 && p.jd > 0 ? -acc : 0;
    const double ease = braking > 0 ? braking / p.jd : 0;
    const double half = braking * ease / 2; // the speed it gives up
    const double eased = braking > 0 ? v * ease - braking * ease * ease / 3 : 0;
    v -= half;
    if (acc < 0 || p.ja <= 0) {
        acc = 0; // without jerk the acceleration changes at once
    }
    // A rise under way is the rest of a ramp from `base`, where its
    // acceleration was 0, `skip` seconds in; easing it off adds `lift`.
    const double lift = acc > 0 ? acc * acc / (2 * p.ja) : 0;
    const double base = v - lift;
    const double skip = acc > 0 ? acc / p.ja : 0;
    const auto rise = [&](double top) {
        return RampDistance(base, top, p.a, p.ja) - (base * skip + p.ja * skip * skip * skip / 6);
    };
    const auto need = [&](double top) { return rise(top) + RampDistance(top, p.sv, p.d, p.jd); };
    // The ramps end at SV on the braking point, AO pulses before the end.
    const double room = std::max(0.0, remaining - setting.ao) - eased;
    const double lowest = std::max(v + lift, p.sv);
    if (need(lowest) > room) {
        // Too late to brake with D: evenly onto the braking point, from the
        // speed reached (a braking under way is not eased off).
        const double left = std::max(0.0, remaining - setting.ao);
        if (reached > p.sv && left > 0) {
            Add(reached, p.sv, (reached * reached - p.sv * p.sv) / (2 * left), 0);
        }
    } else {
        if (braking > 0) {
            Add(reached + half, v, braking, p.jd, ease);
        }
        double top = std::max(p.v, lowest);
        if (need(top) > room) {
            if (acc == 0 && p.ja <= 0 && p.jd <= 0) {
                // Triangle: (top² - v²) / 2a + (top² - sv²) / 2d = room.
                top = std::sqrt((2 * room + v * v / p.a + p.sv * p.sv / p.d) / (1 / p.a + 1 / p.d));
            } else {
                double low = lowest;
                double high = top;
                for (int i = 0; i < 200 && high - low > 1e-9 * high; ++i) {
                    const double mid = (low + high) / 2;
                    (need(mid) > room ? high : low) = mid;
                }
                top = low;
            }
        }
        Add(base, top, p.a, p.ja, skip);
        Cruise(top, (room - need(top)) / top);
        Add(top, p.sv, p.d, p.jd);
    }
    if (distance_ < end) {
        Cruise(p.sv, (end - distance_) / p.sv); // the creep of a positive AO
    }
    // A negative AO ends the move on its target, still braking: find when.
    double low = 0;
    double high = duration_;
    for (int i = 0; i < 100; ++i) {
        const double mid = (low + high) / 2;
        (Position(mid) >= end ? high : low) = mid;
    }
    arrival_ = Speed(high);
    Cut(high);
}

Reference Reference::Move(const ProfileSetting& setting, double distance)
{
    Reference ref;
    ref.PlanFrom(setting, Resolve(setting).sv, 0, distance);
    return ref;
}

Reference Reference::Extended(const ProfileSetting& setting, double first, double extendAt, double total)
{
    Reference ref = Move(setting, first);
    const double v = ref.Speed(extendAt);
    const double acc = ref.Acceleration(extendAt);
    const double at = ref.Position(extendAt);
    ref.Cut(extendAt);
    ref.PlanFrom(setting, v, acc, total - at);
    return ref;
}

Reference Reference::Then(const Reference& first, double pause, const Reference& next)
{
    Reference ref = first;
    ref.Cruise(0, pause);
    for (const Phase& f : next.phases_) {
        ref.phases_.push_back(f);
        ref.duration_ += f.time;
        ref.distance_ += ref.PhaseDistance(f, f.time);
    }
    ref.peak_ = std::max(first.peak_, next.peak_);
    ref.arrival_ = next.arrival_;
    return ref;
}

Reference Reference::SlowStop(const ProfileSetting& setting, double stopAt, double step)
{
    const Resolved p = Resolve(setting);
    Reference ref;
    ref.Add(p.sv, p.v, p.a, p.ja);
    ref.Cruise(p.v, stopAt + 1);
    ref.Cut(stopAt);
    const double from = ref.Speed(stopAt);
    ref.Add(from, p.sv, p.d, 0); // a slow stop brakes with D, without jerk
    if (from <= p.sv) {
        ref.Cruise(from, step); // already at SV: the step that takes the stop still runs
    }
    ref.arrival_ = p.sv;
    return ref;
}

Reference Reference::Search(const ProfileSetting& setting, double hv, double switchAt, double creep)
{
    ProfileSetting search = setting;
    search.v = hv;
    search.k = search.l = 0;
    const Resolved p = Resolve(search);
    Reference ref;
    ref.Add(p.sv, p.v, p.a, 0);
    ref.Cruise(p.v, (switchAt - ref.distance_) / p.v);
    ref.Add(p.v, creep, p.d, 0);
    ref.arrival_ = creep;
    return ref;
}

} // namespace velkor_reference
