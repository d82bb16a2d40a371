// The motion model on the manual clock, driven by raw packets: profiles,
// fixed and continuous moves, stops, hold and start, soft limits, vector
// interpolation and continuous paths.
#include "sim_fixture.h"

#include <algorithm>
#include <cmath>

namespace velkor_sim_test {
namespace {

namespace error = velkor_sim::error;

class Motion : public SimTest {
protected:
    // SV, V, A for the selected axes.
    void Profile(std::uint8_t axes, std::uint32_t sv, std::uint32_t v, std::uint32_t a)
    {
        host.Post(Pkt(71).U8(2, axes).U32(4, sv));
        host.Post(Pkt(72).U8(2, axes).U32(4, v));
        host.Post(Pkt(73).U8(2, axes).U32(4, a));
    }
    void VectorProfile(std::uint32_t sv, std::uint32_t v, std::uint32_t a)
    {
        host.Post(Pkt(92).U32(2, sv));
        host.Post(Pkt(93).U32(2, v));
        host.Post(Pkt(94).U32(2, a));
    }
    bool RunToStop(std::uint8_t axes) { return module.AdvanceUntilStopped(axes, std::chrono::seconds(60)); }
};

TEST_F(Motion, FixedMoveFollowsItsTrapezoidAndEndsOnTarget)
{
    Profile(1, 100, 10000, 100000);
    host.Post(Pkt(78).U8(2, 1).I32(4, 5000));
    module.Advance(50ms);
    EXPECT_EQ(host.StopWait(1), 0);
    EXPECT_NEAR(module.Axis(0).speed, 100 + 100000 * 0.05, 150); // accelerating
    module.Advance(200ms);
    EXPECT_NEAR(module.Axis(0).speed, 10000, 1); // cruising at V
    EXPECT_EQ(host.Query(44, {{96, 1}}), 10000u);  // CV in pulses per second
    EXPECT_EQ(host.Query(255, {{96, 1}}), 8000000u);
    const double start = module.Now() - 0.25;
    ASSERT_TRUE(RunToStop(1));
    // Ramp up and down of (V^2 - SV^2) / 2A each, the rest at V.
    const double ramp = (10000.0 * 10000 - 100 * 100) / (2 * 100000);
    const double expected = 2 * (10000 - 100) / 100000.0 + (5000 - 2 * ramp) / 10000;
    EXPECT_NEAR(module.Now() - start, expected, 0.01);
    EXPECT_EQ(host.Lp(1), 5000);
    EXPECT_EQ(host.Query(43, {{96, 1}}), 5000u); // EP follows LP
    EXPECT_EQ(host.StopWait(1), 1);
    EXPECT_GT(module.Axis(0).speed, 0); // the mean over the step that ended the move
    module.Advance(1ms);
    EXPECT_EQ(module.Axis(0).speed, 0);
}

TEST_F(Motion, ShortMoveIsTriangularAndNegativeMovesGoBack)
{
    Profile(2, 100, 10000, 100000);
    host.Post(Pkt(78).U8(2, 2).I32(4, -200));
    module.WaitSettled();
    double peak = 0;
    for (int i = 0; i < 200 && module.Axis(1).driving; ++i) {
        module.Advance(1ms);
        peak = std::max(peak, module.Axis(1).speed);
    }
    EXPECT_EQ(host.Lp(2), -200);
    EXPECT_LT(peak, 5000); // never near V over 200 pulses
}

TEST_F(Motion, SelectorMovesSeveralAxesAndQueriesAnswerTheLowest)
{
    Profile(0x0F, 1000, 1000, 0);
    host.Post(Pkt(78).U8(2, 0x0A).I32(4, 300)); // axes 2 and 4
    ASSERT_TRUE(RunToStop(0x0F));
    EXPECT_EQ(host.Lp(2), 300);
    EXPECT_EQ(host.Lp(8), 300);
    EXPECT_EQ(host.Lp(1), 0);
    EXPECT_EQ(host.Lp(0x0C), 0);   // axes 3 and 4: axis 3 answers
    EXPECT_EQ(host.Lp(0x0A), 300); // axis 2 answers
}

TEST_F(Motion, SuddenStopHaltsAtOnceSlowStopDecelerates)
{
    Profile(3, 100, 10000, 100000);
    host.Post(Pkt(80).U8(2, 1).I32(4, 1));  // continuous, positive
    host.Post(Pkt(80).U8(2, 2).I32(4, -1)); // continuous, negative
    module.Advance(300ms);
    EXPECT_EQ(host.StopWait(3), 0);
    host.Query(184, {{96, 1}}, 0); // sudden
    const std::int32_t at = host.Lp(1);
    module.Advance(100ms);
    EXPECT_EQ(host.Lp(1), at);
    EXPECT_EQ(host.StopWait(1), 1);
    host.Query(183, {{96, 2}}, 0); // slow: about (V^2 - SV^2) / 2A further
    const std::int32_t from = host.Lp(2);
    ASSERT_TRUE(RunToStop(2));
    EXPECT_NEAR(from - host.Lp(2), 500, 15);
}

TEST_F(Motion, HeldMovesWaitForDriveStart)
{
    Profile(1, 1000, 1000, 0);
    host.Post(Pkt(180).U8(2, 1));
    host.Post(Pkt(78).U8(2, 1).I32(4, 100));
    module.Advance(500ms);
    EXPECT_EQ(host.Lp(1), 0);
    EXPECT_EQ(host.StopWait(1), 0); // a held move is not finished
    host.Post(Pkt(181).U8(2, 1));
    ASSERT_TRUE(RunToStop(1));
    EXPECT_EQ(host.Lp(1), 100);
}

TEST_F(Motion, MoveOnADrivingAxisIsRefusedWithAnError)
{
    Profile(1, 1000, 1000, 0);
    host.Post(Pkt(78).U8(2, 1).I32(4, 1000));
    host.Post(Pkt(78).U8(2, 1).I32(4, 5000));
    ASSERT_TRUE(RunToStop(1));
    EXPECT_EQ(host.Lp(1), 1000);
    EXPECT_EQ(host.ErrorCode(1), error::kAxisBusy);
    EXPECT_EQ(host.Query(47, {}, 1), 1u);
    host.Query(187, {}, 0); // CLEAR_STOP clears the module's errors
    EXPECT_EQ(host.ErrorCode(1), 0);
    EXPECT_EQ(host.Query(47, {}, 1), 0u);
}

TEST_F(Motion, SoftLimitsStopAtTheLimit)
{
    Profile(3, 100, 5000, 50000);
    host.Post(Pkt(18).U8(2, 1).I32(4, 1000).I32(8, -1000).U8(12, 0));
    host.Post(Pkt(78).U8(2, 1).I32(4, 5000));
    ASSERT_TRUE(RunToStop(1));
    EXPECT_EQ(host.Lp(1), 1000);
    EXPECT_EQ(host.ErrorCode(1), error::kSoftLimitPlus);
    host.Post(Pkt(78).U8(2, 1).I32(4, 10)); // further out: refused at once
    ASSERT_TRUE(RunToStop(1));
    EXPECT_EQ(host.Lp(1), 1000);
    // Mode 1 decelerates from the limit and so runs past it.
    host.Post(Pkt(18).U8(2, 2).I32(4, 1000).I32(8, -1000).U8(12, 1));
    host.Post(Pkt(78).U8(2, 2).I32(4, -5000));
    ASSERT_TRUE(RunToStop(2));
    EXPECT_LT(host.Lp(2), -1000);
    EXPECT_GT(host.Lp(2), -1300);
    EXPECT_EQ(host.ErrorCode(2), error::kSoftLimitMinus);
    host.Post(Pkt(19).U8(2, 3)); // CLEAR_SLMT
    host.Post(Pkt(78).U8(2, 1).I32(4, 500));
    ASSERT_TRUE(RunToStop(1));
    EXPECT_EQ(host.Lp(1), 1500);
}

TEST_F(Motion, PresetCountersMoveFromTheNewPosition)
{
    host.Post(Pkt(40).U8(2, 1).I32(4, -7));
    host.Post(Pkt(42).U8(2, 1).I32(4, 1000));
    Profile(1, 1000, 1000, 0);
    host.Post(Pkt(78).U8(2, 1).I32(4, 10));
    ASSERT_TRUE(RunToStop(1));
    EXPECT_EQ(host.Lp(1), 3);
    EXPECT_EQ(host.Query(43, {{96, 1}}), 1010u);
}

TEST_F(Motion, PresetDuringAPathShiftsTheRestOfIt)
{
    host.Post(Pkt(127).U8(2, 1).U8(4, 2).U8(6, 4));
    host.Post(Pkt(128).U32(2, 1000).U32(6, 1000).U32(10, 100000));
    host.Post(Pkt(129).U8(2, 1).I32(4, 1000).I32(8, 0).I32(12, 0));
    module.Advance(300ms);
    host.Post(Pkt(40).U8(2, 1).I32(4, 0)); // X counts from 0 again
    ASSERT_TRUE(RunToStop(7));
    EXPECT_NEAR(host.Lp(1), 700, 2);
}

TEST_F(Motion, LinesEndExactlyOnTheirEndPoints)
{
    host.Post(Pkt(90).U8(2, 1).U8(4, 2).U8(6, 4));
    VectorProfile(100, 5000, 50000);
    host.Post(Pkt(99).I32(2, 3001).I32(6, -1234));
    ASSERT_TRUE(RunToStop(7));
    EXPECT_EQ(host.Lp(1), 3001);
    EXPECT_EQ(host.Lp(2), -1234);
    host.Post(Pkt(100).I32(2, -1).I32(6, 1000).I32(10, 777));
    module.Advance(20ms);
    // On the way, the axes stay on the line.
    const double t = module.Axis(1).lp - (-1234);
    EXPECT_NEAR(module.Axis(2).lp, 777 * t / 1000, 1.5);
    ASSERT_TRUE(RunToStop(7));
    EXPECT_EQ(host.Lp(1), 3000);
    EXPECT_EQ(host.Lp(2), -234);
    EXPECT_EQ(host.Lp(4), 777);
}

TEST_F(Motion, ArcsFollowTheCircleAndEndOnTheirEndPoint)
{
    velkor_sim::ModuleOptions options;
    options.keepTrail = true;
    velkor_sim::VirtualModule traced(options);
    ASSERT_TRUE(traced.PlugInto(4));
    RawHost h(4);
    h.Post(Pkt(93).U32(2, 20000));
    // Counter-clockwise quarter: centre (-1000, 0), end (-1000, 1000).
    h.Post(Pkt(103).I32(2, -1000).I32(6, 0));
    h.Post(Pkt(104).I32(2, -1000).I32(6, 1000));
    ASSERT_TRUE(traced.AdvanceUntilStopped(3, std::chrono::seconds(10)));
    EXPECT_EQ(h.Lp(1), -1000);
    EXPECT_EQ(h.Lp(2), 1000);
    auto trail = traced.TakeTrail();
    ASSERT_GT(trail.size(), 10u);
    for (const auto& p : trail) {
        EXPECT_NEAR(std::hypot(p.lp[0] + 1000.0, p.lp[1]), 1000, 1.0);
        EXPECT_GE(p.lp[1], 0); // counter-clockwise from the +x side: upwards
    }
    // Clockwise full circle about (0, -500) from (-1000, 1000): back to the start.
    h.Post(Pkt(105).I32(2, 0).I32(6, -500));
    ASSERT_TRUE(traced.AdvanceUntilStopped(3, std::chrono::seconds(10)));
    EXPECT_EQ(h.Lp(1), -1000);
    EXPECT_EQ(h.Lp(2), 1000);
    trail = traced.TakeTrail();
    double lowest = 0;
    for (const auto& p : trail) {
        EXPECT_NEAR(std::hypot(p.lp[0] + 1000.0, p.lp[1] - 500.0), 500, 1.0);
        lowest = std::min<double>(lowest, p.lp[1]);
    }
    EXPECT_LE(lowest, 1);
    // A clockwise circle about a centre below sets off towards +x.
    const auto first = std::find_if(trail.begin(), trail.end(),
                                    [](const velkor_sim::TrailPoint& p) { return p.lp[0] != -1000 || p.lp[1] != 1000; });
    ASSERT_NE(first, trail.end());
    EXPECT_GT(first->lp[0], -1000);
}

// Every kind of circular interpolation with its centre in each quadrant: the
// whole trail stays on the circle about the centre sent, turning the way the
// code says, over the sweep from the start to the end point. A centre read
// with the wrong sign could still end on the end point; only the way there
// shows it.
TEST_F(Motion, CircularInterpolationFollowsItsCentreInEveryQuadrant)
{
    struct Case {
        std::uint8_t code;   // 102 / 104: the second half of ARC_CW / ARC_CCW; 105 / 106: CIRCLE_CW / CIRCLE_CCW
        std::int32_t cx, cy; // centre, relative to the start
        std::int32_t ex, ey; // end point (arcs), relative to the start
    };
    const Case cases[] = {
        {102, 600, 800, 1200, 0},     {104, 600, 800, 1200, 0},     {102, -600, 800, -1200, 0},
        {104, -600, 800, -1200, 0},   {102, -600, -800, -600, 200}, {104, -600, -800, -600, 200},
        {102, 600, -800, 1400, -200}, {104, 600, -800, 1400, -200}, {105, 600, 800, 0, 0},
        {106, -600, 800, 0, 0},       {105, -600, -800, 0, 0},      {106, 600, -800, 0, 0},
    };
    constexpr double kTwoPi = 6.283185307179586;
    constexpr double kRadius = 1000;
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "code " << int(c.code) << " centre (" << c.cx << ", " << c.cy << ")");
        velkor_sim::ModuleOptions options;
        options.keepTrail = true;
        velkor_sim::VirtualModule traced(options);
        ASSERT_TRUE(traced.PlugInto(4));
        RawHost h(4);
        h.Post(Pkt(93).U32(2, 20000));
        const bool circle = c.code >= 105;
        if (circle) {
            h.Post(Pkt(c.code).I32(2, c.cx).I32(6, c.cy));
        } else {
            h.Post(Pkt(c.code - 1).I32(2, c.cx).I32(6, c.cy));
            h.Post(Pkt(c.code).I32(2, c.ex).I32(6, c.ey));
        }
        ASSERT_TRUE(traced.AdvanceUntilStopped(3, std::chrono::seconds(10)));
        EXPECT_EQ(h.Lp(1), c.ex);
        EXPECT_EQ(h.Lp(2), c.ey);
        EXPECT_EQ(h.ErrorCode(3), 0);

        // The sweep the code asks for: clockwise ones negative, a circle whole.
        const bool clockwise = c.code == 102 || c.code == 105;
        const double from = std::atan2(-c.cy, -c.cx);
        double sweep = circle ? kTwoPi : std::atan2(c.ey - c.cy, c.ex - c.cx) - from;
        if (!circle) {
            sweep = std::fmod(sweep + 2 * kTwoPi, kTwoPi);
            sweep = clockwise ? sweep - kTwoPi : sweep;
        } else if (clockwise) {
            sweep = -kTwoPi;
        }
        const std::vector<velkor_sim::TrailPoint> trail = traced.TakeTrail();
        ASSERT_GT(trail.size(), 50u);
        double turned = 0;
        double previous = from;
        for (std::size_t i = 0; i < trail.size(); ++i) {
            const double dx = trail[i].lp[0] - c.cx;
            const double dy = trail[i].lp[1] - c.cy;
            // Counters are whole parts of the exact positions.
            ASSERT_NEAR(std::hypot(dx, dy), kRadius, 1.5) << "trail point " << i;
            const double angle = std::atan2(dy, dx);
            double step = std::remainder(angle - previous, kTwoPi);
            // Each step turns the commanded way, give or take a counter's unit.
            ASSERT_GT(clockwise ? -step : step, -2.0 / kRadius) << "trail point " << i;
            turned += step;
            previous = angle;
        }
        EXPECT_NEAR(turned, sweep, 0.01);
    }
}

// Reaching a soft limit exactly is no violation: the move ends on it with no
// error, on either side and in either limit mode; one unit further is refused.
TEST_F(Motion, MoveEndingExactlyOnASoftLimitRaisesNoError)
{
    Profile(3, 100, 5000, 50000);
    host.Post(Pkt(18).U8(2, 1).I32(4, 1000).I32(8, -1000).U8(12, 0));
    host.Post(Pkt(18).U8(2, 2).I32(4, 1000).I32(8, -1000).U8(12, 1));
    host.Post(Pkt(78).U8(2, 3).I32(4, 1000));
    ASSERT_TRUE(RunToStop(3));
    EXPECT_EQ(host.Lp(1), 1000);
    EXPECT_EQ(host.Lp(2), 1000);
    EXPECT_EQ(host.ErrorCode(1), 0);
    EXPECT_EQ(host.ErrorCode(2), 0);
    host.Post(Pkt(78).U8(2, 3).I32(4, -2000));
    ASSERT_TRUE(RunToStop(3));
    EXPECT_EQ(host.Lp(1), -1000);
    EXPECT_EQ(host.Lp(2), -1000);
    EXPECT_EQ(host.ErrorCode(1), 0);
    EXPECT_EQ(host.ErrorCode(2), 0);
    EXPECT_EQ(host.Query(47, {}, 1), 0u);

    // A path whose line ends on the limit is no violation either.
    host.Post(Pkt(90).U8(2, 1).U8(4, 2).U8(6, 4));
    VectorProfile(100, 5000, 50000);
    host.Post(Pkt(99).I32(2, 2000).I32(6, 1500));
    ASSERT_TRUE(RunToStop(3));
    EXPECT_EQ(host.Lp(1), 1000);
    EXPECT_EQ(host.Lp(2), 500);
    EXPECT_EQ(host.ErrorCode(1), 0);

    host.Post(Pkt(78).U8(2, 1).I32(4, 1));
    ASSERT_TRUE(RunToStop(1));
    EXPECT_EQ(host.Lp(1), 1000);
    EXPECT_EQ(host.ErrorCode(1), error::kSoftLimitPlus);
}

TEST_F(Motion, ContinuousPathRunsItsSegmentsAndWaitsForItsEnd)
{
    host.Post(Pkt(127).U8(2, 1).U8(4, 2).U8(6, 4));
    host.Post(Pkt(128).U32(2, 1000).U32(6, 10000).U32(10, 100000));
    host.Post(Pkt(129).U8(2, 0).I32(4, 500).I32(8, 0).I32(12, 0));
    host.Post(Pkt(129).U8(2, 0).I32(4, 0).I32(8, 500).I32(12, -3));
    module.Advance(2s);
    EXPECT_EQ(host.Lp(1), 500); // ran out of segments: waits, path still open
    EXPECT_EQ(host.Lp(2), 500);
    EXPECT_EQ(host.StopWait(7), 0);
    host.Post(Pkt(129).U8(2, 1).I32(4, -17).I32(8, 0).I32(12, 3));
    ASSERT_TRUE(RunToStop(7));
    EXPECT_EQ(host.Lp(1), 483);
    EXPECT_EQ(host.Lp(2), 500);
    EXPECT_EQ(host.Lp(4), 0);
    // INTP_END closes an open path.
    host.Post(Pkt(124).U8(2, 1).U8(4, 8));
    host.Post(Pkt(125).U32(2, 1000).U32(6, 10000).U32(10, 100000));
    host.Post(Pkt(126).U8(2, 0).I32(4, 10).I32(8, 20));
    host.Post(Pkt(188).U8(2, 0));
    ASSERT_TRUE(RunToStop(0x0F));
    EXPECT_EQ(host.Lp(1), 493);
    EXPECT_EQ(host.Lp(8), 20);
    EXPECT_EQ(module.GetCounters().sequenceGaps, 0u);
}

TEST_F(Motion, VectorStopDropsTheRestOfThePath)
{
    host.Post(Pkt(127).U8(2, 1).U8(4, 2).U8(6, 4));
    host.Post(Pkt(128).U32(2, 1000).U32(6, 1000).U32(10, 100000));
    host.Post(Pkt(129).U8(2, 0).I32(4, 1000).I32(8, 0).I32(12, 0));
    module.Advance(100ms);
    host.Query(186, {}, 0); // VSTOP_SUDDENLY
    host.Post(Pkt(129).U8(2, 1).I32(4, 1000).I32(8, 0).I32(12, 0)); // late: dropped
    ASSERT_TRUE(RunToStop(7));
    EXPECT_NEAR(host.Lp(1), 100, 2);
    EXPECT_EQ(host.ErrorCode(1), 0);
}

TEST_F(Motion, BadSelectorsAndHalfArcsAreReported)
{
    host.Post(Pkt(90).U8(2, 3).U8(4, 2).U8(6, 4)); // axis1 names two axes
    EXPECT_EQ(host.ErrorCode(1), error::kBadCommand);
    host.Query(187, {}, 0);
    host.Post(Pkt(127).U8(2, 1).U8(4, 2).U8(6, 1)); // one axis twice
    EXPECT_EQ(host.ErrorCode(1), error::kBadCommand);
    host.Query(187, {}, 0);
    host.Post(Pkt(102).I32(2, 1).I32(6, 1)); // second half without the first
    EXPECT_EQ(host.ErrorCode(2), error::kBadCommand);
    host.Query(187, {}, 0);
    host.Post(Pkt(129).U8(2, 1).I32(4, 1).I32(8, 1).I32(12, 1)); // segment with no path
    EXPECT_EQ(host.ErrorCode(4), error::kBadCommand);
    ASSERT_TRUE(RunToStop(0x0F));
    EXPECT_EQ(host.Lp(1), 0);
}

TEST_F(Motion, InterruptCodeCollectsEnabledFactors)
{
    host.Post(Pkt(172).U8(2, 0x81).U8(4, 0).U8(6, 0));
    host.Post(Pkt(170));
    Profile(1, 1000, 1000, 0);
    host.Post(Pkt(78).U8(2, 1).I32(4, 10));
    ASSERT_TRUE(RunToStop(1));
    host.Post(Pkt(220)); // MP_SET_RINT outside a program
    module.WaitSettled();
    EXPECT_EQ(host.R(124), 0x81);
    EXPECT_EQ(host.R(124), 0); // reading empties the register
    host.Post(Pkt(171));
    module.WaitSettled();
    module.RaiseInterrupt(0x01);
    EXPECT_EQ(host.R(124), 0);
}

} // namespace
} // namespace velkor_sim_test
