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
    const double reach = std::min(amax, j * total / 2); // the highest acceleration
    const double edge = reach / j;                        // seconds to get there
    if (t <= edge) {
        return j * t * t / 2;
    }
    if (t >= total - edge) {
        return dv - j * (total - t) * (total - t) / 2;
    }
    return reach * reach / (2 * j) + reach * (t - edge);
}

// The mean speed of a point-symmetric ramp is the mean of its ends.
double RampDistance(double from, double to, double amax, double j)
{
    return (from + to) / 2 * RampTime(std::fabs(to - from), amax, j);
}

} // namespace

void Reference::Add(double from, double to, double amax, double jerk)
{
    if (from == to) {
        return;
    }
    Phase f;
    f.from = from;
    f.to = to;
    f.amax = amax;
    f.jerk = jerk;
    f.time = RampTime(std::fabs(to - from), amax, jerk);
    phases_.push_back(f);
    duration_ += f.time;
    distance_ += PhaseDistance(f, f.time);
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
}

double Reference::PhaseSpeed(const Phase& f, double tau) const
{
    if (f.from == f.to) {
        return f.from;
    }
    const double gain = RampGain(std::fabs(f.to - f.from), f.amax, f.jerk, tau);
    return f.to > f.from ? f.from + gain : f.from - gain;
}

double Reference::PhaseDistance(const Phase& f, double tau) const
{
    if (f.from == f.to) {
        return f.from * tau;
    }
    // The speed is quadratic in time between the points where the jerk
    // changes: Simpson's rule on each such piece is exact.
    const double total = RampTime(std::fabs(f.to - f.from), f.amax, f.jerk); // f.time may be cut short
    const double edge = f.jerk > 0 ? std::min(f.amax, f.jerk * total / 2) / f.jerk : 0;
    const double cuts[] = {0, std::min(edge, tau), std::min(total - edge, tau), tau};
    double sum = 0;
    for (int i = 0; i < 3; ++i) {
        const double a = cuts[i];
        const double b = std::max(a, cuts[i + 1]);
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

namespace {

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

Reference Reference::Move(const ProfileSetting& setting, double distance)
{
    const Resolved p = Resolve(setting);
    Reference ref;
    // The ramps end at SV on the braking point, AO pulses before the end.
    const double ramps = std::max(0.0, distance - setting.ao);
    auto need = [&](double top) { return RampDistance(p.sv, top, p.a, p.ja) + RampDistance(top, p.sv, p.d, p.jd); };
    double top = p.v;
    if (need(top) > ramps) {
        if (p.ja <= 0 && p.jd <= 0) {
            // Triangle: (top² - sv²) (1/2a + 1/2d) = ramps.
            top = std::sqrt(p.sv * p.sv + 2 * ramps / (1 / p.a + 1 / p.d));
        } else {
            double low = p.sv;
            double high = p.v;
            for (int i = 0; i < 200 && high - low > 1e-9 * high; ++i) {
                const double mid = (low + high) / 2;
                (need(mid) > ramps ? high : low) = mid;
            }
            top = low;
        }
    }
    ref.Add(p.sv, top, p.a, p.ja);
    ref.Cruise(top, (ramps - need(top)) / top);
    ref.Add(top, p.sv, p.d, p.jd);
    if (ref.distance_ < distance) {
        ref.Cruise(p.sv, (distance - ref.distance_) / p.sv); // the creep of a positive AO
    }
    // A negative AO ends the move on its target, still braking: find when.
    double low = 0;
    double high = ref.duration_;
    for (int i = 0; i < 100; ++i) {
        const double mid = (low + high) / 2;
        (ref.Position(mid) >= distance ? high : low) = mid;
    }
    ref.arrival_ = ref.Speed(high);
    ref.Cut(high);
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

} // namespace velkor_reference
