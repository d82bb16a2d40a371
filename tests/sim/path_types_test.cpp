// Every path type of the module, end to end through the exports: each ends
// exactly on its end point, and the trail shows the shape it drove.
#include "machine_fixture.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

namespace velkor_sim_test {
namespace {

using velkor_sim::TrailPoint;

class PathTypes : public Machine {
protected:
    void SetUp() override
    {
        Machine::SetUp();
        Velkor_AXIS_ASSIGN(kCard, 1, 2, 4);
        Velkor_SET_VSV(kCard, 100);
        Velkor_SET_VV(kCard, 8000);
        Velkor_SET_VA(kCard, 80000);
        module->TakeTrail();
    }
    // Runs to the end; checks the axes stand on (x, y, z) and the trail ends there.
    std::vector<TrailPoint> RunTo(std::int32_t x, std::int32_t y, std::int32_t z = 0)
    {
        EXPECT_TRUE(RunToStop());
        EXPECT_EQ(Velkor_STOP_WAIT(kCard, 7), 1);
        EXPECT_EQ(Velkor_GET_LP(kCard, 1), x);
        EXPECT_EQ(Velkor_GET_LP(kCard, 2), y);
        EXPECT_EQ(Velkor_GET_LP(kCard, 4), z);
        std::vector<TrailPoint> trail = module->TakeTrail();
        EXPECT_GT(trail.size(), 10u);
        if (!trail.empty()) {
            EXPECT_EQ(trail.back().lp[0], x);
            EXPECT_EQ(trail.back().lp[1], y);
            EXPECT_EQ(trail.back().lp[2], z);
        }
        EXPECT_TRUE(Unusable().empty());
        EXPECT_EQ(Velkor_GET_ERROR(kCard), 0);
        return trail;
    }
    static bool Near(const TrailPoint& p, std::int32_t x, std::int32_t y, int within)
    {
        return std::abs(p.lp[0] - x) <= within && std::abs(p.lp[1] - y) <= within;
    }
    static bool Visits(const std::vector<TrailPoint>& trail, std::int32_t x, std::int32_t y, int within)
    {
        return std::any_of(trail.begin(), trail.end(), [&](const TrailPoint& p) { return Near(p, x, y, within); });
    }
};

TEST_F(PathTypes, RectangleRunsRoundItsEdgesBackToTheStart)
{
    Velkor_SET_LP(kCard, 1, 100);
    Velkor_SET_LP(kCard, 2, -50);
    Velkor_RECTANGLE(kCard, 1, 2, 0, 1, 0, 2000, 1000, 0, 100, 8000, 80000, 0);
    const auto trail = RunTo(100, -50);
    for (const auto& p : trail) {
        const bool onEdge = p.lp[0] == 100 || p.lp[0] == 2100 || p.lp[1] == -50 || p.lp[1] == 950;
        EXPECT_TRUE(onEdge) << p.lp[0] << ", " << p.lp[1];
    }
    EXPECT_TRUE(Visits(trail, 2100, -50, 8)); // the corners, within a step
    EXPECT_TRUE(Visits(trail, 2100, 950, 8));
    EXPECT_TRUE(Visits(trail, 100, 950, 8));
}

TEST_F(PathTypes, RectangleWithCornerStopsStandsOnEveryCornerAndGoesRoundTwice)
{
    // Height first (order 1), negative width: the other way round.
    Velkor_RECTANGLE(kCard, 1, 2, 1, 2, 1, -1500, 500, 0, 100, 8000, 80000, 40000);
    const auto trail = RunTo(0, 0);
    const auto count = [&](std::int32_t x, std::int32_t y) {
        return std::count_if(trail.begin(), trail.end(), [&](const TrailPoint& p) { return Near(p, x, y, 0); });
    };
    EXPECT_GE(count(0, 500), 2);
    EXPECT_GE(count(-1500, 500), 2);
    EXPECT_GE(count(-1500, 0), 2);
}

TEST_F(PathTypes, RoundedRectangleStaysInsideItsCornersArcs)
{
    Velkor_RECTANGLE(kCard, 1, 2, 0, 1, 0, 2000, 1000, 200, 100, 8000, 80000, 0);
    const auto trail = RunTo(0, 0);
    std::int32_t minX = 0, maxX = 0, minY = 0, maxY = 0;
    for (const auto& p : trail) {
        minX = std::min(minX, p.lp[0]);
        maxX = std::max(maxX, p.lp[0]);
        minY = std::min(minY, p.lp[1]);
        maxY = std::max(maxY, p.lp[1]);
        // In the corner squares the path keeps to the quarter circles.
        if (p.lp[0] > 1600 && p.lp[1] < 200) {
            EXPECT_NEAR(std::hypot(p.lp[0] - 1600.0, p.lp[1] - 200.0), 200, 1.5);
        }
    }
    // The start lies r along the first edge from its corner.
    EXPECT_EQ(minX, -200);
    EXPECT_EQ(maxX, 1800);
    EXPECT_EQ(minY, 0);
    EXPECT_EQ(maxY, 1000);
}

TEST_F(PathTypes, MixedPathOfLinesAndArcsEndsOnTheSumOfItsPieces)
{
    Velkor_MIX_2D_INITIAL(kCard, 1, 2, 0, 100, 6000, 60000);
    Velkor_MIX_2D_CONTINUE(kCard, 0, 0, 1000, 0, 0, 0);       // line
    Velkor_MIX_2D_CONTINUE(kCard, 0, 2, 0, 1000, 0, 500);     // half circle, counter-clockwise
    Velkor_MIX_2D_CONTINUE(kCard, 0, 1, -500, -500, -500, 0); // quarter circle, clockwise
    Velkor_MIX_2D_CONTINUE(kCard, 1, 0, -500, 0, 0, 0);       // line, the end
    const auto trail = RunTo(0, 500);
    for (const auto& p : trail) {
        if (p.lp[0] > 1005) {
            EXPECT_NEAR(std::hypot(p.lp[0] - 1000.0, p.lp[1] - 500.0), 500, 1.5);
        }
    }
    EXPECT_TRUE(Visits(trail, 1500, 500, 8));
}

TEST_F(PathTypes, MixedPathOutOfTurnIsRefused)
{
    Velkor_MIX_2D_CONTINUE(kCard, 1, 0, 1000, 0, 0, 0); // no path open
    Velkor_MIX_2D_INITIAL(kCard, 1, 1, 0, 100, 6000, 60000); // one axis twice
    EXPECT_EQ(Velkor_GET_ERROR_CODE(kCard, 1) & 0x0008, 0x0008);
    EXPECT_EQ(Unusable().at(133), 1u); // listed under the last packet of a command
    EXPECT_EQ(Unusable().at(131), 1u);
    EXPECT_EQ(Velkor_STOP_WAIT(kCard, 3), 1);
}

TEST_F(PathTypes, ContinuousInterpolationOneSegmentAtATime)
{
    Velkor_CONTINUE_INTP(kCard, 0, 1, 2, 1, 500, 0, 0, 0);                      // opens: a line
    Velkor_CONTINUE_INTP(kCard, 2, 1, 2, 0, 0, 1000, 0, 500);                   // counter-clockwise half circle
    Velkor_CONTINUE_INTP(kCard, 4, 1, 2, 0, static_cast<std::uint32_t>(-500), 0, 0, 0); // line, the end
    const auto trail = RunTo(0, 1000);
    EXPECT_TRUE(Visits(trail, 1000, 500, 8));
}

TEST_F(PathTypes, ContinuousInterpolationArrayRunsItsEntriesAsOnePath)
{
    // A line rising along the third axis, a helical half circle, then the end.
    const std::uint8_t kind[] = {0, 2, 7};
    const std::int32_t x[] = {1000, 0, 0};
    const std::int32_t y[] = {0, 1000, 0};
    const std::int32_t cx[] = {0, 0, 0};
    const std::int32_t cy[] = {0, 500, 0};
    const std::int32_t z[] = {100, 200, 0};
    Velkor_CONTINUE_INTP_ARRAY(kCard, kind, x, y, cx, cy, z);
    const auto trail = RunTo(1000, 1000, 300);
    for (std::size_t i = 1; i < trail.size(); ++i) {
        EXPECT_GE(trail[i].lp[2], trail[i - 1].lp[2]); // the third axis only rises
    }
}

TEST_F(PathTypes, ArrayWithoutEndMarkWaitsForTheEndOfThePath)
{
    std::vector<std::uint8_t> kind(100, 0);
    std::vector<std::int32_t> x(100, 10), zero(100, 0);
    Velkor_CONTINUE_INTP_ARRAY(kCard, kind.data(), x.data(), zero.data(), zero.data(), zero.data(), zero.data());
    module->Advance(std::chrono::seconds(2));
    EXPECT_EQ(Velkor_GET_LP(kCard, 1), 1000);
    EXPECT_EQ(Velkor_STOP_WAIT(kCard, 1), 0); // the path is still open
    Velkor_INTP_END(kCard, 0);
    RunTo(1000, 0);
}

TEST_F(PathTypes, HelixTurnsAboutItsCentreAndRisesEvenly)
{
    // Two and a half turns counter-clockwise about (1000, 0), rising 3000.
    Velkor_HELIX_3D(kCard, 1, 2, 4, 1, 20000, 1000, 0, 3000, 2500);
    const auto trail = RunTo(2000, 0, 3000);
    for (const auto& p : trail) {
        EXPECT_NEAR(std::hypot(p.lp[0] - 1000.0, p.lp[1]), 1000, 2.0);
    }
    // Half way round the first turn (at the top of the circle, y = 1000
    // counter-clockwise from the start) the axis has risen a fifth of a turn's share.
    const auto top = std::find_if(trail.begin(), trail.end(), [](const TrailPoint& p) { return p.lp[0] == 2000; });
    ASSERT_NE(top, trail.end());
    EXPECT_NEAR(top->lp[2], 600, 10); // half a turn of 2.5: a fifth of the height
}

TEST_F(PathTypes, HelixPartOfATurnClockwise)
{
    // A quarter turn clockwise about (0, 500): from (0, 0) to (-500, 500).
    Velkor_HELIX_3D(kCard, 1, 2, 4, 0, 0, 0, 500, -400, 250);
    RunTo(-500, 500, -400);
}

TEST_F(PathTypes, RatioMoveKeepsTheSlaveOnItsRatio)
{
    Velkor_RATIO_INITIAL(kCard, 1, 2, 100, 6000, 60000, 3, 2);
    Velkor_RATIO_2D(kCard, 0, 1000, 0);
    Velkor_RATIO_2D(kCard, 0, 333, 0);
    Velkor_RATIO_2D(kCard, 1, 667, 0);
    const auto trail = RunTo(2000, 3000);
    for (const auto& p : trail) {
        EXPECT_NEAR(p.lp[1], 1.5 * p.lp[0], 1.5);
    }
    // The opposite direction, and back along the master.
    Velkor_RATIO_INITIAL(kCard, 1, 2, 100, 6000, 60000, 1, 3);
    Velkor_RATIO_2D(kCard, 0, -1000, 1);
    Velkor_RATIO_2D(kCard, 1, -1000, 1);
    RunTo(0, 3667);
}

TEST_F(PathTypes, LineScanFollowsTheOffsetTable)
{
    const std::uint8_t steps[] = {10, 10, static_cast<std::uint8_t>(-5), 0, 20};
    Velkor_LINE_SCAN_OFFSET(kCard, 5, steps);
    Velkor_SET_SV(kCard, 1, 100);
    Velkor_SET_V(kCard, 1, 5000);
    Velkor_SET_A(kCard, 1, 50000);
    Velkor_LINE_SCAN(kCard, 1, 2, 3, 0, 100); // increments of 3 pulses per unit, every 100 pulses
    Velkor_LINE_SCAN_START(kCard, 0, 0, 5);
    const auto trail = RunTo(500, 105);
    EXPECT_TRUE(Visits(trail, 100, 30, 2));
    EXPECT_TRUE(Visits(trail, 300, 45, 2));
}

TEST_F(PathTypes, LineScanHeightsFromAChunkedTableAndBackToTheStartLine)
{
    std::vector<std::uint8_t> table(45, 0);
    table[40] = 10;
    table[41] = 20;
    table[42] = 15;
    table[43] = static_cast<std::uint8_t>(-10);
    table[44] = 0;
    Velkor_LINE_SCAN_OFFSET(kCard, 45, table.data()); // three chunks
    Velkor_LINE_SCAN(kCard, 1, 2, 2, 1, -50);        // heights, 2 pulses per unit, backwards
    Velkor_LINE_SCAN_START(kCard, 40, 0, 4);
    RunTo(-200, -20);
    Velkor_LINE_SCAN_START(kCard, 40, 1, 3); // returns to its start line
    RunTo(-350, -20);
}

TEST_F(PathTypes, LineScanWithoutSetUpOrOutsideTheTableIsRefused)
{
    Velkor_LINE_SCAN_START(kCard, 0, 0, 5);
    Velkor_LINE_SCAN(kCard, 1, 2, 1, 0, 100);
    Velkor_LINE_SCAN_START(kCard, 255, 0, 4000);
    Velkor_LINE_SCAN(kCard, 1, 2, 0, 0, 100); // scale 0
    EXPECT_EQ(Unusable().at(145), 2u);
    EXPECT_EQ(Unusable().at(144), 1u);
    EXPECT_EQ(Velkor_STOP_WAIT(kCard, 3), 1);
}

TEST_F(PathTypes, InvalidShapesAreRefusedAndListed)
{
    Velkor_RECTANGLE(kCard, 1, 2, 0, 1, 0, 0, 1000, 0, 100, 8000, 80000, 0);    // no width
    Velkor_RECTANGLE(kCard, 1, 2, 0, 1, 0, 300, 1000, 200, 100, 8000, 80000, 0); // radius too large
    Velkor_HELIX_3D(kCard, 1, 2, 4, 1, 0, 0, 0, 100, 1000);                     // centre on the start
    Velkor_RATIO_INITIAL(kCard, 1, 2, 100, 6000, 60000, 1, 0);                  // denominator 0
    const auto listed = Unusable(); // under the last packet of each command
    EXPECT_EQ(listed.at(123), 2u);
    EXPECT_EQ(listed.at(138), 1u);
    EXPECT_EQ(listed.at(140), 1u);
    EXPECT_EQ(Velkor_GET_ERROR_CODE(kCard, 1) & 0x0008, 0x0008);
    EXPECT_EQ(Velkor_STOP_WAIT(kCard, 7), 1);
}

} // namespace
} // namespace velkor_sim_test
