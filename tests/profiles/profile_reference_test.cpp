// The module's speed profiles against the independent reference: a table of
// named cases (the trapezoid and triangle, S-curves short and long, AO either
// way, constant speed, slow stops, vector profiles of lines, a homing's
// search, paths planned again when they get more, paths of two segments with
// and without corner stops) and a seeded sweep across the parameter ranges.
// Each run is read from the scope, step by step on the manual clock.
#include "machine_fixture.h"
#include "reference_profile.h"

#include <algorithm>
#include <cmath>
#include <random>
#include <sstream>
#include <string>

namespace velkor_sim_test {
namespace {

using velkor_reference::ProfileSetting;
using velkor_reference::Reference;

// Search: a homing's search (HV = p.v) onto the home switch d[0] pulses away.
// Extended: a continuous path along axis 1 by d[0], and then along axis 2
// by d[1], sent atMs after the start. Corners: the same two segments as one
// mixed path, with cornerStops.
enum class Kind { Move, SlowStop, Line, Search, Extended, Corners };

struct Case {
    std::string name;
    Kind kind = Kind::Move;
    ProfileSetting p;
    std::int32_t d[3] = {0, 0, 0}; // a move: d[0]; a line: its displacement; two segments: d[0], d[1]
    int atMs = 0;                  // a slow stop, an extension: milliseconds after the start
    bool cornerStops = false;
};

constexpr double kStep = 0.001;

class ProfileReference : public Machine {
protected:
    void SetProfile(const ProfileSetting& p, bool vector)
    {
        const auto u = [](double x) { return static_cast<std::uint32_t>(x); };
        if (vector) {
            Velkor_AXIS_ASSIGN(kCard, 1, 2, 4);
            Velkor_SET_VSV(kCard, u(p.sv));
            Velkor_SET_VV(kCard, u(p.v));
            Velkor_SET_VA(kCard, u(p.a));
            Velkor_SET_VD(kCard, u(p.d));
            Velkor_SET_VK(kCard, u(p.k));
            Velkor_SET_VL(kCard, u(p.l));
            Velkor_SET_VAO(kCard, static_cast<std::int32_t>(p.ao));
            Velkor_VECTOR_SPEED(kCard, p.constant ? 1 : 0);
            return;
        }
        Velkor_SET_SV(kCard, 1, u(p.sv));
        Velkor_SET_V(kCard, 1, u(p.v));
        Velkor_SET_A(kCard, 1, u(p.a));
        Velkor_SET_D(kCard, 1, u(p.d));
        Velkor_SET_K(kCard, 1, u(p.k));
        Velkor_SET_L(kCard, 1, u(p.l));
        Velkor_SET_AO(kCard, 1, static_cast<std::int32_t>(p.ao));
        Velkor_NORMAL_SPEED(kCard, 1, p.constant ? 1 : 0);
    }

    static bool TwoSegments(const Case& c) { return c.kind == Kind::Extended || c.kind == Kind::Corners; }

    static double Length(const Case& c)
    {
        if (TwoSegments(c)) {
            return std::fabs(c.d[0]) + std::fabs(c.d[1]);
        }
        return std::sqrt(double(c.d[0]) * c.d[0] + double(c.d[1]) * c.d[1] + double(c.d[2]) * c.d[2]);
    }

    // Where axis k is after s pulses along the case's path.
    static double Along(const Case& c, int k, double s)
    {
        if (!TwoSegments(c)) {
            return s * c.d[k] / Length(c);
        }
        const double first = std::fabs(c.d[0]);
        const double part = k == 0 ? std::min(s, first) : k == 1 ? std::max(0.0, s - first) : 0;
        return c.d[k] < 0 ? -part : part;
    }

    static Reference Expected(const Case& c)
    {
        switch (c.kind) {
        case Kind::SlowStop: return Reference::SlowStop(c.p, c.atMs * kStep, kStep);
        case Kind::Search: return Reference::Search(c.p, c.p.v, std::fabs(c.d[0]), c.p.v / 10);
        case Kind::Extended: return Reference::Extended(c.p, std::fabs(c.d[0]), c.atMs * kStep, Length(c));
        case Kind::Corners:
            if (c.cornerStops) {
                // Each segment from SV to SV; the second sets off on the step after the first ended.
                const Reference first = Reference::Move(c.p, std::fabs(c.d[0]));
                const double pause = std::ceil(first.Duration() / kStep) * kStep - first.Duration();
                return Reference::Then(first, pause, Reference::Move(c.p, std::fabs(c.d[1])));
            }
            return Reference::Move(c.p, Length(c));
        default: return Reference::Move(c.p, Length(c));
        }
    }

    // Runs the case and compares every step of the scope with the reference.
    void Check(const Case& c)
    {
        SCOPED_TRACE(c.name);
        Velkor_SET_LP(kCard, 7, 0);
        SetProfile(c.p, c.kind == Kind::Line || TwoSegments(c));
        if (c.kind == Kind::Search) {
            // The home switch d[0] pulses away, towards -; HV is V, creep 10 % of it.
            velkor_sim::MachineAxis m;
            m.homeTo = module->Axis(0).machine - static_cast<std::int32_t>(std::fabs(c.d[0]));
            m.homeFrom = m.homeTo - 1000;
            module->SetMachine(0, m);
            Velkor_SET_HV(kCard, 1, static_cast<std::uint32_t>(c.p.v));
            Velkor_SET_HOME_MODE(kCard, 1, 0, 0, 10, 0, 0);
        }
        module->WaitSettled();
        const double t0 = module->Now();
        ASSERT_TRUE(module->StartScope(velkor_sim::ScopeSettings{}));
        const auto u = [](double x) { return static_cast<std::uint32_t>(x); };
        switch (c.kind) {
        case Kind::Move: Velkor_FIXED_MOVE(kCard, 1, c.d[0]); break;
        case Kind::SlowStop:
            Velkor_CONTINUE_MOVE(kCard, 1, 1);
            Step(c.atMs);
            Velkor_STOP_SLOWLY(kCard, 1);
            break;
        case Kind::Line: Velkor_LINE_3D(kCard, c.d[0], c.d[1], c.d[2]); break;
        case Kind::Search: Velkor_HOME_START(kCard, 1); break;
        case Kind::Extended:
            Velkor_LINE_2D_INITIAL(kCard, 1, 2, u(c.p.sv), u(c.p.v), u(c.p.a));
            Velkor_LINE_2D_CONTINUE(kCard, 0, c.d[0], 0);
            Step(c.atMs);
            Velkor_LINE_2D_CONTINUE(kCard, 1, 0, c.d[1]);
            break;
        case Kind::Corners:
            Velkor_MIX_2D_INITIAL(kCard, 1, 2, c.cornerStops ? 1 : 0, u(c.p.sv), u(c.p.v), u(c.p.a));
            Velkor_MIX_2D_CONTINUE(kCard, 0, 0, c.d[0], 0, 0, 0);
            Velkor_MIX_2D_CONTINUE(kCard, 1, 0, 0, c.d[1], 0, 0);
            break;
        }
        ASSERT_TRUE(RunToStop(7));
        module->StopScope();
        const std::vector<velkor_sim::ScopeSample> samples = module->TakeScope();
        const Reference ref = Expected(c);
        // A search is compared up to the step in which its braking ends.
        const double duration = c.kind == Kind::Search ? std::ceil(ref.Duration() / kStep - 1e-5) * kStep
                                                       : module->Now() - t0;
        const int dims = c.kind == Kind::Line ? 3 : TwoSegments(c) ? 2 : 1;
        if (c.kind == Kind::SlowStop) {
            EXPECT_NEAR(Velkor_GET_LP(kCard, 1), ref.Distance(), 1 + ref.Arrival() * kStep) << "end position";
        } else if (c.kind != Kind::Search) {
            for (int k = 0; k < dims; ++k) {
                EXPECT_EQ(Velkor_GET_LP(kCard, static_cast<std::uint8_t>(1 << k)), c.d[k]) << "end position";
            }
        }

        const double fastest = std::max({c.p.a, c.p.d, 1.0}); // the steepest ramp allowed
        const double steepest = c.p.a == 0 ? HUGE_VAL : fastest; // A 0: V at once
        const double top = std::max(1.0, c.p.constant ? c.p.v : std::max(c.p.v, c.p.sv));
        const double speedTolerance = 0.01 * ref.Peak() + 1;
        // The planned time rounded up to a whole step.
        const double steps = ref.Duration() / kStep;
        EXPECT_GE(duration / kStep, steps - 1e-5) << "duration";
        EXPECT_LE(duration / kStep, std::ceil(steps - 1e-5) + 1e-6) << "duration";
        ASSERT_GE(samples.size(), std::size_t(duration / kStep - 0.5)) << "a sample every step";
        double peak = 0;
        double last = -1;
        double before = -1;
        int moving = 0;
        int reported = 0;
        for (const auto& s : samples) {
            const double t = s.time - t0;
            // The step that ends the move reads the mean speed over it, from
            // where the step began to where the axis came to rest.
            const bool final = t >= duration - 1e-9;
            // Along the path: a line's length, or the two segments' one after the other.
            double pos = 0;
            double speed = 0;
            for (int k = 0; k < dims; ++k) {
                pos += TwoSegments(c) ? std::fabs(s.axes[k].lp) : double(s.axes[k].lp) * s.axes[k].lp;
                speed += TwoSegments(c) ? s.axes[k].speed : s.axes[k].speed * s.axes[k].speed;
            }
            pos = TwoSegments(c) ? pos : std::sqrt(pos);
            speed = TwoSegments(c) ? speed : std::sqrt(speed);
            // (A slow stop comes to rest on the whole pulse it reached: a step
            // that only gives up a fraction of one reads 0.)
            const double expected =
                final && c.kind == Kind::SlowStop ? std::max(0.0, pos - ref.Position(t - kStep)) / kStep
                                                  : (ref.Position(t) - ref.Position(t - kStep)) / kStep;
            // LP: a single axis counts the whole pulses done, a path's axes
            // the nearest pulse to where the path is.
            bool counted = true;
            for (int k = 0; k < dims && c.kind != Kind::SlowStop; ++k) {
                const double exact = Along(c, k, ref.Position(t));
                const double slack = 1e-6 * Length(c) + 1e-6;
                const auto whole = [&](double x) { return dims == 1 ? std::trunc(x) : std::round(x); };
                counted = counted && std::fabs(s.axes[k].lp - whole(exact)) <= 0 + (whole(exact - slack) !=
                                                                                     whole(exact + slack));
            }
            const bool ok = counted && std::fabs(pos - ref.Position(t)) <= dims + 1 + 0.001 * ref.Distance() &&
                            std::fabs(speed - expected) <= speedTolerance && speed <= top * (1 + 1e-9) &&
                            (before < 0 || final || std::fabs(speed - before) <= (steepest * 1.01 + 1) * kStep);
            if (!ok && reported++ < 3) {
                ADD_FAILURE() << "at " << t << " s: position " << pos << " (reference " << ref.Position(t)
                              << "), speed " << speed << " (reference " << expected << ", before " << before << ")";
            }
            if (final) {
                break;
            }
            before = speed;
            peak = std::max(peak, speed);
            last = speed;
            ++moving;
        }
        if (moving >= 2) {
            EXPECT_NEAR(peak, ref.Peak(), 0.01 * ref.Peak() + fastest * kStep / 2 + 1) << "peak speed";
            EXPECT_NEAR(last, ref.Arrival(), 0.01 * ref.Peak() + 2 * fastest * kStep + 1) << "arrival speed";
        }
    }
};

ProfileSetting P(double sv, double v, double a, double d = 0, double k = 0, double l = 0, double ao = 0,
                 bool constant = false)
{
    return ProfileSetting{sv, v, a, d, k, l, ao, constant};
}

Case MoveCase(std::string name, ProfileSetting p, std::int32_t distance)
{
    Case c;
    c.name = std::move(name);
    c.p = p;
    c.d[0] = distance;
    return c;
}

TEST_F(ProfileReference, NamedCasesFollowTheReference)
{
    std::vector<Case> cases = {
        MoveCase("trapezoid", P(100, 10000, 100000), 20000),
        MoveCase("demo move brakes to SV", P(500, 20000, 100000), 20000),
        MoveCase("long trapezoid", P(100, 50000, 200000), 200000),
        MoveCase("triangle", P(500, 40000, 200000), 2000),
        MoveCase("steep ramps", P(100, 20000, 1000000), 20000),
        MoveCase("softer braking", P(100, 20000, 100000, 30000), -30000),
        MoveCase("S-curve reaching neither A nor V", P(100, 40000, 200000, 0, 4000000), 500),
        MoveCase("the manual's short S-curve: reaches A, not V", P(100, 40000, 200000, 0, 4000000), 2000),
        MoveCase("S-curve reaching A, not V", P(100, 40000, 200000, 0, 4000000), 5000),
        MoveCase("S-curve reaching A and V", P(100, 40000, 200000, 0, 4000000), 100000),
        MoveCase("S-curve reaching V, not A", P(100, 5000, 200000, 0, 4000000), 20000),
        MoveCase("S-curve with a softer L", P(100, 20000, 200000, 0, 4000000, 500000), 50000),
        MoveCase("jerk only while braking", P(100, 20000, 200000, 0, 0, 1000000), 30000),
        MoveCase("AO brakes earlier", P(200, 20000, 100000, 0, 0, 0, 300), 20000),
        MoveCase("AO brakes later", P(200, 20000, 100000, 0, 0, 0, -300), 20000),
        MoveCase("S-curve with AO later", P(200, 20000, 200000, 0, 2000000, 0, -500), -20000),
        MoveCase("AO beyond the distance", P(1000, 20000, 100000, 0, 0, 0, 5000), 1000),
        MoveCase("constant speed", P(100, 5000, 100000, 0, 0, 0, 0, true), 10000),
        MoveCase("one pulse", P(100, 10000, 100000, 0, 1000000), 1),
        MoveCase("A 0: V at once, 20,000 pulses at 20,000 in 1,000 steps", P(500, 20000, 0), 20000),
        MoveCase("A 0, braking with D", P(500, 20000, 0, 100000), -15000),
        MoveCase("A 0 with K: the jerk alone shapes the rise", P(100, 20000, 0, 0, 4000000), 20000),
        MoveCase("V below SV: SV is lowered to V", P(5000, 2000, 100000), 3000),
    };
    Case stop;
    stop.kind = Kind::SlowStop;
    stop.name = "slow stop at V";
    stop.p = P(100, 10000, 100000, 40000);
    stop.atMs = 500;
    cases.push_back(stop);
    stop.name = "slow stop in an S-curve";
    stop.p = P(100, 30000, 200000, 50000, 1000000);
    stop.atMs = 80;
    cases.push_back(stop);
    Case line;
    line.kind = Kind::Line;
    line.name = "line, S-curve (SET_VK)";
    line.p = P(100, 40000, 200000, 0, 4000000);
    line.d[0] = 3000;
    line.d[1] = -4000;
    cases.push_back(line);
    line.name = "line in space, trapezoid with VAO";
    line.p = P(300, 30000, 150000, 60000, 0, 0, -200);
    line.d[0] = -20000;
    line.d[1] = 15000;
    line.d[2] = 8000;
    cases.push_back(line);
    line.name = "line with VA 0: VV at once, 20,000 pulses at 20,000 in 1,000 steps";
    line.p = P(500, 20000, 0);
    line.d[0] = 12000;
    line.d[1] = -16000;
    line.d[2] = 0;
    cases.push_back(line);
    line.name = "line at constant speed";
    line.p = P(100, 8000, 100000, 0, 0, 0, 0, true);
    cases.push_back(line);
    Case search;
    search.kind = Kind::Search;
    search.name = "homing's search brakes from the switch down to the creep speed";
    search.p = P(100, 10000, 100000);
    search.d[0] = -4000;
    cases.push_back(search);
    search.name = "homing's search with A 0 and a softer D";
    search.p = P(100, 10000, 0, 40000);
    cases.push_back(search);
    Case path;
    path.kind = Kind::Extended;
    path.name = "path extended while it eases off towards V (S-curve)";
    path.p = P(100, 20000, 200000, 0, 2000000);
    path.d[0] = 10000;
    path.d[1] = 10000;
    path.atMs = 150;
    cases.push_back(path);
    path.name = "path extended early in its S-curve rise, V nearer than easing off at once would take it";
    path.p = P(100, 4000, 200000, 0, 2000000);
    path.d[0] = 3000;
    path.d[1] = -5000;
    path.atMs = 40;
    cases.push_back(path);
    path.name = "path extended while its S-curve rise eases off below V: rises on to V";
    path.p = P(100, 18000, 200000, 0, 2000000);
    path.d[0] = 1500;
    path.d[1] = -20000;
    path.atMs = 80;
    cases.push_back(path);
    path.name = "path extended during its final S-curve braking, too late to brake again with D";
    path.p = P(100, 20000, 200000, 0, 2000000);
    path.d[0] = -10000;
    path.d[1] = 300;
    path.atMs = 560;
    cases.push_back(path);
    path.name = "path extended during its final braking (trapezoid): rises again";
    path.p = P(100, 20000, 100000);
    path.d[0] = 8000;
    path.d[1] = 3000;
    path.atMs = 450;
    cases.push_back(path);
    path.kind = Kind::Corners;
    path.p = P(200, 15000, 150000, 0, 3000000);
    path.d[0] = 3000;
    path.d[1] = 4500;
    path.name = "two segments through their joint";
    cases.push_back(path);
    path.name = "two segments with a corner stop";
    path.cornerStops = true;
    cases.push_back(path);
    for (const Case& c : cases) {
        Check(c);
    }
}

TEST_F(ProfileReference, SeededSweepFollowsTheReference)
{
    std::mt19937 random(21);
    const auto uniform = [&](double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(random); };
    const auto logUniform = [&](double lo, double hi) { return std::exp(uniform(std::log(lo), std::log(hi))); };
    const auto chance = [&](double p) { return uniform(0, 1) < p; };
    for (int n = 0; n < 300;) {
        Case c;
        const double pick = uniform(0, 1);
        c.kind = pick < 0.6 ? Kind::Move : pick < 0.8 ? Kind::Line : pick < 0.9 ? Kind::SlowStop : Kind::Extended;
        ProfileSetting& p = c.p;
        p.sv = std::round(logUniform(1, 2000));
        p.v = std::round(logUniform(p.sv, 300000));
        p.a = std::round(logUniform(1000, 5000000));
        p.d = chance(0.5) ? 0 : std::round(logUniform(1000, 5000000));
        p.k = chance(0.4) ? 0 : std::round(p.a * logUniform(2, 500));
        p.l = chance(0.7) ? 0 : std::round(std::max(p.a, p.d) * logUniform(2, 500));
        p.constant = chance(0.05);
        const double distance = std::round(logUniform(1, 300000));
        p.ao = chance(0.7) ? 0 : std::round(uniform(-0.2, 0.2) * distance);
        const double sign = chance(0.5) ? 1 : -1;
        if (c.kind == Kind::Line) {
            const double angle = uniform(0, 6.283);
            c.d[0] = static_cast<std::int32_t>(std::round(distance * std::cos(angle)));
            c.d[1] = static_cast<std::int32_t>(std::round(distance * std::sin(angle) * 0.8));
            c.d[2] = static_cast<std::int32_t>(std::round(distance * std::sin(angle) * 0.6));
            if (Length(c) < 1) {
                continue;
            }
        } else if (c.kind == Kind::Extended) {
            // A continuous path brakes with its A; it gets its second segment
            // while it still runs its first.
            p.d = 0;
            c.d[0] = static_cast<std::int32_t>(sign * distance);
            c.d[1] = static_cast<std::int32_t>(std::round(logUniform(1, 300000)) * (chance(0.5) ? 1 : -1));
            const double first = Reference::Move(p, distance).Duration() / kStep;
            if (first < 3) {
                continue;
            }
            c.atMs = static_cast<int>(uniform(1, first - 1));
        } else {
            c.d[0] = static_cast<std::int32_t>(sign * distance);
            c.atMs = static_cast<int>(uniform(1, 800));
            p.ao = c.kind == Kind::SlowStop ? 0 : p.ao;
        }
        if (Expected(c).Duration() > 4) {
            continue; // keeps the sweep quick
        }
        std::ostringstream name;
        name << "sweep " << n << ": kind " << int(c.kind) << " sv " << p.sv << " v " << p.v << " a " << p.a << " d "
             << p.d << " k " << p.k << " l " << p.l << " ao " << p.ao << " constant " << p.constant << " distance "
             << c.d[0] << "," << c.d[1] << "," << c.d[2] << " stop " << c.atMs;
        c.name = name.str();
        Check(c);
        ++n;
        if (HasFailure()) {
            break; // the first case that fails says enough
        }
    }
}

} // namespace
} // namespace velkor_sim_test
