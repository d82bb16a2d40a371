// The drive model against its closed forms, its following-error alarm, the
// scope's added channels and the sameness of two runs on the manual clock.
#include "axes_fixture.h"

#include <velkor_sim/scope.h>

#include <cmath>
#include <cstring>
#include <functional>

namespace velkor_sim_test {
namespace {

using velkor_sim::MachineAxis;
constexpr double kPi = 3.14159265358979323846;
constexpr double kDt = 0.001; // the module's motion step

// The overdamped loop's answer, t after the command began, to a command that
// rises by 1 evenly over the first step and then holds: (g(t) - g(t - dt)) / dt
// with g the answer to a unit ramp, from the two real modes s1 and s2.
double OverdampedStep(double f, double zeta, double t)
{
    const double wn = 2 * kPi * f;
    const double s1 = -zeta * wn + wn * std::sqrt(zeta * zeta - 1); // slow
    const double s2 = -zeta * wn - wn * std::sqrt(zeta * zeta - 1); // fast
    const auto ramp = [&](double u) {
        return u + (s2 * (std::exp(s1 * u) - 1) / s1 - s1 * (std::exp(s2 * u) - 1) / s2) / (s1 - s2);
    };
    return (ramp(t) - ramp(t - kDt)) / kDt;
}

class DriveModel : public MachineTest {
protected:
    // Constant-speed moves (NORMAL_SPEED 1): the command is a pure ramp.
    void Ramp(std::uint32_t v)
    {
        Velkor_NORMAL_SPEED(kCard, 1, 1);
        Velkor_SET_V(kCard, 1, v);
    }
    // The largest motor position seen while stepping for `ms`.
    double PeakOver(int ms)
    {
        double peak = -1e300;
        for (int i = 0; i < ms; ++i) {
            module.Advance(std::chrono::milliseconds(1));
            peak = std::max(peak, module.Axis(0).motor);
        }
        return peak;
    }
};

TEST_F(DriveModel, MatchesItsClosedForms)
{
    enum class Measure { Overshoot, SteadyError, DeadBand, Response };
    struct Row {
        const char* what;
        MachineAxis drive;
        Measure measure;
        double expected;
        double tolerance; // absolute, in the measure's unit
        int atMs = 0;     // Response: the motor's share of a step this long after it
    };
    const auto drive = [](double f, double zeta, int dead, double tau, double backlash) {
        MachineAxis m;
        m.naturalFrequency = f;
        m.damping = zeta;
        m.deadTime = dead;
        m.followingTime = tau;
        m.backlash = backlash;
        return m;
    };
    const double overshoot = std::exp(-kPi * 0.5 / std::sqrt(1 - 0.25)); // 16.3 %
    const double v = 10000;
    const Row rows[] = {
        {"step, damping 0.5", drive(5, 0.5, 0, 0, 0), Measure::Overshoot, overshoot, 0.01 * overshoot},
        {"step, damping 0.5 behind 5 steps", drive(20, 0.5, 5, 0, 0), Measure::Overshoot, overshoot,
         0.01 * overshoot},
        {"step, damping 1: none", drive(5, 1, 0, 0, 0), Measure::Overshoot, 0, 1e-6},
        {"ramp, second order", drive(10, 0.7, 0, 0, 0), Measure::SteadyError, v * 2 * 0.7 / (2 * kPi * 10), 0},
        {"ramp, second order, overdamped, dead time 3", drive(8, 2.5, 3, 0, 0), Measure::SteadyError,
         v * (3 * kDt + 2 * 2.5 / (2 * kPi * 8)), 0},
        {"ramp, first order, dead time 2", drive(0, 1, 2, 0.02, 0), Measure::SteadyError, v * (0.02 + 2 * kDt), 0},
        {"step answer, overdamped, early: the fast mode", drive(8, 2.5, 0, 0, 0), Measure::Response,
         OverdampedStep(8, 2.5, 0.004), 1e-6, 4},
        {"step answer, overdamped, later", drive(8, 2.5, 0, 0, 0), Measure::Response, OverdampedStep(8, 2.5, 0.06),
         1e-6, 60},
        {"step answer, damping 3.5", drive(8, 3.5, 0, 0, 0), Measure::Response, OverdampedStep(8, 3.5, 0.02),
         1e-6, 20},
        {"reversal, play of 40", drive(0, 1, 0, 0, 40), Measure::DeadBand, 40, 1},
        {"reversal, play of 7.5", drive(0, 1, 0, 0, 7.5), Measure::DeadBand, 7.5, 1},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        Velkor_CLEAR_STOP(kCard);
        Layout(0, r.drive);
        const double tolerance = r.tolerance > 0 ? r.tolerance : 0.01 * r.expected;
        switch (r.measure) {
        case Measure::Overshoot: {
            Ramp(8000000); // 8000 pulses in one step: a step
            const double from = module.Axis(0).motor;
            Velkor_FIXED_MOVE(kCard, 1, 8000);
            const double peak = PeakOver(1000);
            EXPECT_NEAR((peak - from - 8000) / 8000, r.expected, tolerance);
            break;
        }
        case Measure::Response: {
            Ramp(8000000); // 8000 pulses in one step
            const double from = module.Axis(0).motor;
            Velkor_FIXED_MOVE(kCard, 1, 8000);
            module.Advance(std::chrono::milliseconds(r.atMs));
            EXPECT_NEAR((module.Axis(0).motor - from) / 8000, r.expected, tolerance);
            break;
        }
        case Measure::SteadyError:
            Ramp(static_cast<std::uint32_t>(v));
            Velkor_CONTINUE_MOVE(kCard, 1, 1);
            module.Advance(std::chrono::milliseconds(1500));
            EXPECT_NEAR(module.Axis(0).followingError, r.expected, tolerance);
            Velkor_STOP_SUDDENLY(kCard, 1);
            break;
        case Measure::DeadBand: {
            Ramp(1000); // one pulse per step
            Velkor_FIXED_MOVE(kCard, 1, 500);
            ASSERT_TRUE(RunToStop(1));
            const std::int32_t lp = module.Axis(0).lp;
            const std::int32_t ep = module.Axis(0).ep;
            Velkor_FIXED_MOVE(kCard, 1, -500);
            std::int32_t moved = -1;
            for (int i = 0; i < 500 && moved < 0; ++i) {
                module.Advance(std::chrono::milliseconds(1));
                if (module.Axis(0).ep != ep) {
                    moved = lp - module.Axis(0).lp;
                }
            }
            EXPECT_NEAR(moved, r.expected, tolerance + 0.5); // + the encoder's whole count
            break;
        }
        }
        ASSERT_TRUE(RunToStop(1));
        module.Advance(std::chrono::seconds(3)); // the motor settles
        EXPECT_NEAR(module.Axis(0).followingError, 0, r.drive.backlash / 2 + 1e-9);
    }
}

TEST_F(DriveModel, AFollowingErrorBeyondTheLimitRaisesTheDriveAlarm)
{
    EnableFactors(kAlarmFactor);
    MachineAxis m;
    m.naturalFrequency = 10;
    m.damping = 0.7;
    m.followingLimit = 100; // the lag at 10000 pulses per second is 223
    Layout(0, m);
    Ramp(5000); // a lag of 111: the alarm comes on the way
    Velkor_CONTINUE_MOVE(kCard, 1, 1);
    module.Advance(std::chrono::milliseconds(500));
    EXPECT_EQ(Errors(1) & velkor_sim::error::kServoAlarm, velkor_sim::error::kServoAlarm);
    EXPECT_EQ(Code() & kAlarmFactor, kAlarmFactor);
    EXPECT_TRUE(module.Axis(0).inputs & velkor_sim::input::kServoAlarm);
    EXPECT_FALSE(module.Axis(0).driving);
    // The alarm holds until the drive is reset; then the axis moves again,
    // slowly enough to stay within the limit.
    Velkor_CLEAR_STOP(kCard);
    Velkor_FIXED_MOVE(kCard, 1, 100);
    module.Advance(std::chrono::milliseconds(10));
    EXPECT_EQ(Errors(1) & velkor_sim::error::kServoAlarm, velkor_sim::error::kServoAlarm);
    module.SetDriveAlarm(0, false);
    Velkor_CLEAR_STOP(kCard);
    Ramp(2000);
    Velkor_FIXED_MOVE(kCard, 1, 1000);
    ASSERT_TRUE(RunToStop(1));
    EXPECT_EQ(Errors(1), 0);
}

// A program with a path, single-axis moves, outputs and a noisy encoder; the
// hash of everything it leaves in the trail and the scope.
std::uint64_t RunAndHash(std::uint32_t seed)
{
    brelan::Reset();
    velkor_sim::ModuleOptions options;
    options.keepTrail = true;
    velkor_sim::VirtualModule module(options);
    EXPECT_TRUE(module.PlugInto(3));
    EXPECT_EQ(Velkor_REGISTRATION(0, 3), 1);
    for (int i = 0; i < 2; ++i) {
        MachineAxis m;
        m.naturalFrequency = 15;
        m.damping = 0.4;
        m.deadTime = 2;
        m.backlash = 3;
        m.encoderNoise = 1.5;
        m.noiseSeed = seed + static_cast<std::uint32_t>(i);
        module.SetMachine(i, m);
    }
    velkor_sim::ScopeSettings s;
    s.trigger.kind = velkor_sim::TriggerKind::PathStart;
    s.pretrigger = 20;
    EXPECT_TRUE(module.StartScope(s));
    Velkor_SET_V(0, 3, 20000);
    Velkor_FIXED_MOVE(0, 1, 3000);
    Velkor_SET_OUT(0, 1, 3, 1);
    module.AdvanceUntilStopped(3, std::chrono::seconds(10));
    Velkor_AXIS_ASSIGN(0, 1, 2, 0);
    Velkor_SET_VV(0, 15000);
    Velkor_LINE_2D(0, -4000, 2500);
    module.AdvanceUntilStopped(3, std::chrono::seconds(10));
    module.Advance(std::chrono::milliseconds(300));
    std::uint64_t h = 1469598103934665603ull;
    const auto mix = [&h](const void* data, std::size_t size) {
        const auto* bytes = static_cast<const unsigned char*>(data);
        for (std::size_t i = 0; i < size; ++i) {
            h = (h ^ bytes[i]) * 1099511628211ull;
        }
    };
    const auto trail = module.TakeTrail();
    const auto samples = module.TakeScope();
    EXPECT_GT(samples.size(), 300u);
    for (const auto& t : trail) {
        mix(&t.time, sizeof t.time);
        mix(t.lp.data(), sizeof t.lp);
    }
    for (const auto& sample : samples) {
        mix(&sample.time, sizeof sample.time);
        mix(&sample.pathSpeed, sizeof sample.pathSpeed);
        for (const auto& a : sample.axes) {
            const double values[] = {double(a.lp), double(a.ep), a.speed, a.velocity, a.acceleration,
                                     a.followingError, double(a.outputs), double(a.latch), double(a.inputs)};
            mix(values, sizeof values);
        }
    }
    module.Unplug();
    return h;
}

TEST(DriveModelRuns, TheSameCallsGiveTheSameTrailAndScopeNoiseIncluded)
{
    const std::uint64_t first = RunAndHash(7);
    EXPECT_EQ(RunAndHash(7), first);
    EXPECT_NE(RunAndHash(8), first); // the seed reaches the readings
}

TEST_F(DriveModel, TheScopeShowsSignedSpeedPathSpeedFollowingErrorAndOutputs)
{
    MachineAxis m;
    m.followingTime = 0.01;
    Layout(0, m);
    velkor_sim::ScopeSettings s;
    s.trigger.kind = velkor_sim::TriggerKind::PathStart;
    ASSERT_TRUE(module.StartScope(s));
    Profile(3, 100, 10000, 100000);
    Velkor_FIXED_MOVE(kCard, 1, -5000); // no path: no trigger
    ASSERT_TRUE(RunToStop(1));
    EXPECT_TRUE(module.TakeScope().empty());
    Velkor_SET_OUT(kCard, 1, 0, 1);
    Velkor_SET_OUT(kCard, 1, 7, 1);
    module.SetLatch(0, -77);
    Velkor_AXIS_ASSIGN(kCard, 1, 2, 0);
    Velkor_SET_VV(kCard, 5000);
    Velkor_SET_VA(kCard, 50000);
    Velkor_LINE_2D(kCard, -3000, 4000);
    ASSERT_TRUE(RunToStop(3));
    const std::vector<velkor_sim::ScopeSample> samples = module.TakeScope();
    ASSERT_GT(samples.size(), 100u);
    const velkor_sim::ScopeSample& mid = samples[samples.size() / 2];
    EXPECT_NEAR(mid.pathSpeed, 5000, 1);
    EXPECT_NEAR(mid.axes[0].velocity, -3000, 2); // 3/5 of the path speed, towards -
    EXPECT_NEAR(mid.axes[1].velocity, 4000, 2);
    EXPECT_NEAR(mid.axes[0].followingError, -30, 0.5); // speed x following time, behind a move towards -
    EXPECT_EQ(mid.axes[0].outputs, 0x81);
    EXPECT_EQ(mid.axes[0].latch, -77);
    // 20 ms in, the path is still speeding up at VA: the axis at 4/5 of it.
    EXPECT_NEAR(samples[20].axes[1].acceleration, 40000, 2000);
    EXPECT_NEAR(samples[20].axes[0].acceleration, -30000, 1500);
}

} // namespace
} // namespace velkor_sim_test
