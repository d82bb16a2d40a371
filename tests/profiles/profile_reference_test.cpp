// The module's speed profiles against the independent reference: a table of
// named cases (the trapezoid and triangle, S-curves short and long, AO either
// way, constant speed, slow stops, vector profiles of lines) and a seeded
// sweep across the parameter ranges. Each run is read from the scope, step by
// step on the manual clock.
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

enum class Kind { Move, SlowStop, Line };

struct Case {
    std::string name;
    Kind kind = Kind::Move;
    ProfileSetting p;
    std::int32_t d[3] = {0, 0, 0}; // a move: d[0]; a line: its displacement
    int stopAtMs = 0;              // a slow stop: milliseconds after the start
};

constexpr double kStep = 0.001;

class ProfileReference : public Machine {
protected:
    void SetProfile(const ProfileSetting& p, bool vector)
    {
        const auto u = [](double x) { return static_cast<std::uint32_t>(x); };
        if (vector) {
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

    static double Length(const Case& c)
    {
        return std::sqrt(double(c.d[0]) * c.d[0] + double(c.d[1]) * c.d[1] + double(c.d[2]) * c.d[2]);
    }

    static Reference Expected(const Case& c)
    {
        return c.kind == Kind::SlowStop ? Reference::SlowStop(c.p, c.stopAtMs * kStep, kStep)
                                        : Reference::Move(c.p, Length(c));
    }

    // Runs the case and compares every step of the scope with the reference.
    void Check(const Case& c)
    {
        SCOPED_TRACE(c.name);
        Velkor_SET_LP(kCard, 7, 0);
        SetProfile(c.p, c.kind == Kind::Line);
        module->WaitSettled();
        const double t0 = module->Now();
        ASSERT_TRUE(module->StartScope(velkor_sim::ScopeSettings{}));
        switch (c.kind) {
        case Kind::Move: Velkor_FIXED_MOVE(kCard, 1, c.d[0]); break;
        case Kind::SlowStop:
            Velkor_CONTINUE_MOVE(kCard, 1, 1);
            Step(c.stopAtMs);
            Velkor_STOP_SLOWLY(kCard, 1);
            break;
        case Kind::Line: Velkor_LINE_3D(kCard, c.d[0], c.d[1], c.d[2]); break;
        }
        ASSERT_TRUE(RunToStop(7));
        const double duration = module->Now() - t0;
        module->StopScope();
        const std::vector<velkor_sim::ScopeSample> samples = module->TakeScope();
        const Reference ref = Expected(c);
        const int dims = c.kind == Kind::Line ? 3 : 1;
        if (c.kind != Kind::SlowStop) {
            for (int k = 0; k < dims; ++k) {
                EXPECT_EQ(Velkor_GET_LP(kCard, static_cast<std::uint8_t>(1 << k)), c.d[k]) << "end position";
            }
        } else {
            EXPECT_NEAR(Velkor_GET_LP(kCard, 1), ref.Distance(), 1 + ref.Arrival() * kStep) << "end position";
        }

        const double fastest = std::max({c.p.a, c.p.d, 1.0}); // the steepest ramp allowed
        const double steepest = c.p.a == 0 ? HUGE_VAL : fastest; // A 0: V at once
        const double top = std::max(1.0, c.p.constant ? c.p.v : std::max(c.p.v, c.p.sv));
        const double speedTolerance = 0.01 * ref.Peak() + 1;
        // The planned time rounded up to a whole step.
        const double steps = ref.Duration() / kStep;
        EXPECT_GE(duration / kStep, steps - 1e-5) << "duration";
        EXPECT_LE(duration / kStep, std::ceil(steps - 1e-5) + 1e-6) << "duration";
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
            double pos = 0;
            double speed = 0;
            for (int k = 0; k < dims; ++k) {
                pos += double(s.axes[k].lp) * s.axes[k].lp;
                speed += s.axes[k].speed * s.axes[k].speed;
            }
            pos = std::sqrt(pos);
            speed = std::sqrt(speed);
            // (A slow stop comes to rest on the whole pulse it reached: a step
            // that only gives up a fraction of one reads 0.)
            const double expected =
                final ? std::max(0.0, pos - ref.Position(t - kStep)) / kStep
                      : (ref.Position(t) - ref.Position(t - kStep)) / kStep;
            // LP: a single axis counts the whole pulses done, a path's axes
            // the nearest pulse to where the path is.
            bool counted = true;
            for (int k = 0; k < dims && c.kind != Kind::SlowStop; ++k) {
                const double exact = ref.Position(t) * c.d[k] / Length(c);
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
        MoveCase("S-curve reaching neither A nor V", P(100, 40000, 200000, 0, 4000000), 2000),
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
    stop.stopAtMs = 500;
    cases.push_back(stop);
    stop.name = "slow stop in an S-curve";
    stop.p = P(100, 30000, 200000, 50000, 1000000);
    stop.stopAtMs = 80;
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
    line.name = "line at constant speed";
    line.p = P(100, 8000, 100000, 0, 0, 0, 0, true);
    cases.push_back(line);
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
        c.kind = pick < 0.7 ? Kind::Move : pick < 0.9 ? Kind::Line : Kind::SlowStop;
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
        } else {
            c.d[0] = static_cast<std::int32_t>(sign * distance);
            c.stopAtMs = static_cast<int>(uniform(1, 800));
            p.ao = c.kind == Kind::SlowStop ? 0 : p.ao;
        }
        if (Expected(c).Duration() > 4) {
            continue; // keeps the sweep quick
        }
        std::ostringstream name;
        name << "sweep " << n << ": kind " << int(c.kind) << " sv " << p.sv << " v " << p.v << " a " << p.a << " d "
             << p.d << " k " << p.k << " l " << p.l << " ao " << p.ao << " constant " << p.constant << " distance "
             << c.d[0] << "," << c.d[1] << "," << c.d[2] << " stop " << c.stopAtMs;
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
