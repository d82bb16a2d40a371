// The arc planner without a card: the worked arcs to the last integer, the
// sweep table, the matrix inversion, refused input and saturated results.
#include "motion/arc_geometry.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <ostream>
#include <vector>

namespace velkor_test {
namespace {

using velkor::ArcFault;
using velkor::ArcPlan;
using velkor::Chord;
using velkor::ChordWalker;
using velkor::kArcDegenerate;
using velkor::PlanArc;

using Triple = std::array<std::int32_t, 3>;

constexpr POINT_3D kOrigin{0, 0, 0};

std::vector<Chord> Walk(const ArcPlan& plan)
{
    std::vector<Chord> chords;
    ChordWalker walker(plan);
    Chord chord;
    while (walker.Next(chord)) {
        chords.push_back(chord);
    }
    return chords;
}

Triple Of(const Chord& c) { return {c.x, c.y, c.z}; }

// Positions reached after each chord.
std::vector<Triple> Positions(const std::vector<Chord>& chords)
{
    std::vector<Triple> out;
    Triple at{0, 0, 0};
    for (const Chord& c : chords) {
        at = {at[0] + c.x, at[1] + c.y, at[2] + c.z};
        out.push_back(at);
    }
    return out;
}

struct WorkedArc {
    const char* name;
    POINT_3D mid;
    POINT_3D end;
    std::uint32_t tolerance;
    std::uint32_t speed;
    bool endsPath;
    std::uint32_t chords;
    std::int32_t result;
    std::vector<Triple> first; // the first displacements, in order
    std::vector<Triple> last;  // the last displacements, in order
};

const WorkedArc kWorkedArcs[] = {
    {"HalfCircle", {1000, 1000, 0}, {2000, 0, 0}, 1, 10000, true, 71, 314,
     {{0, 44, 0}, {3, 44, 0}, {5, 44, 0}, {7, 44, 0}}, {{3, -44, 0}, {1, -44, 0}}},
    {"HalfCircleTooFast", {1000, 1000, 0}, {2000, 0, 0}, 1, 500000, true, 71, -221220,
     {{0, 44, 0}, {3, 44, 0}, {5, 44, 0}, {7, 44, 0}}, {{3, -44, 0}, {1, -44, 0}}},
    {"MirrorImageTruncatesTowardZero", {-1000, -1000, 0}, {-2000, 0, 0}, 1, 10000, true, 71, 314,
     {{0, -44, 0}, {-3, -44, 0}, {-5, -44, 0}}, {{-1, 44, 0}}},
    {"QuarterTurnsInTheYZPlane", {0, 1000, 1000}, {0, 2000, 0}, 5, 20000, false, 32, 157,
     {{0, 4, 98}, {0, 15, 97}, {0, 24, 95}}, {{0, 5, -98}}},
    {"ThreeQuarterCircle", {2000, 0, 0}, {1000, -1000, 0}, 2, 10000, true, 75, 471, {{1, 62, 0}, {6, 63, 0}},
     {{-62, -2, 0}}},
    {"OneChord", {100, 10, 0}, {200, 0, 0}, 1000, 20000, true, 1, 10, {{200, 0, 0}}, {{200, 0, 0}}},
    // Radius 1: chords of length 1, the first of which truncates to nothing.
    {"ChordOfZeros", {1, 1, 0}, {2, 0, 0}, 1, 100, true, 3, 29, {{0, 0, 0}, {1, 0, 0}, {1, 0, 0}},
     {{1, 0, 0}}},
    // An ordinary slightly curved move on a circle of radius 1.1e9, far
    // beyond the 32-bit range, of which only 94000 units are travelled.
    {"SlightlyCurvedLongMove", {47000, 1, 0}, {94000, 0, 0}, 1, 10000, true, 2, 9400,
     {{47000, 1, 0}, {47000, -1, 0}}, {{47000, -1, 0}}},
};

void PrintTo(const WorkedArc& w, std::ostream* out) { *out << w.name; }

class WorkedArcs : public ::testing::TestWithParam<WorkedArc> {};

TEST_P(WorkedArcs, ChordsResultAndEndFlagsToTheLastInteger)
{
    const WorkedArc& w = GetParam();
    const ArcPlan plan = PlanArc(&kOrigin, &w.mid, &w.end, w.tolerance, w.speed, w.endsPath);
    ASSERT_TRUE(plan.ok()) << int(plan.fault);
    EXPECT_EQ(plan.chords, w.chords);
    EXPECT_EQ(plan.result, w.result);
    EXPECT_EQ(plan.speedLimited, w.result < 0);

    const std::vector<Chord> chords = Walk(plan);
    ASSERT_EQ(chords.size(), w.chords);
    for (std::size_t i = 0; i < w.first.size(); ++i) {
        EXPECT_EQ(Of(chords[i]), w.first[i]) << "chord " << i;
    }
    for (std::size_t i = 0; i < w.last.size(); ++i) {
        const std::size_t at = chords.size() - w.last.size() + i;
        EXPECT_EQ(Of(chords[at]), w.last[i]) << "chord " << at;
    }
    for (std::size_t i = 0; i + 1 < chords.size(); ++i) {
        EXPECT_EQ(chords[i].endFlag, 0) << "chord " << i;
    }
    EXPECT_EQ(chords.back().endFlag, w.endsPath ? 1 : 0);
    EXPECT_EQ(Positions(chords).back(), (Triple{w.end.x, w.end.y, w.end.z}));
}

INSTANTIATE_TEST_SUITE_P(Arcs, WorkedArcs, ::testing::ValuesIn(kWorkedArcs),
                         [](const auto& info) { return std::string(info.param.name); });

// The intermediate values of the worked arcs; the angles carry the
// ten-decimal pi, so the start lies near, not at, 270 degrees.
TEST(ArcPlanner, WorkedGeometry)
{
    const POINT_3D halfMid{1000, 1000, 0}, halfEnd{2000, 0, 0};
    const ArcPlan half = PlanArc(&kOrigin, &halfMid, &halfEnd, 1, 10000, true);
    EXPECT_EQ(half.centre[0], 1000.0);
    EXPECT_EQ(half.centre[1], 0.0);
    EXPECT_EQ(half.centre[2], 0.0);
    EXPECT_EQ(half.radius, 1000.0);
    EXPECT_EQ(half.normal[2], -1.0); // from n = (0, 0, -2000000)
    EXPECT_NEAR(half.angles[0], 269.9999999974276, 1e-12);
    EXPECT_EQ(half.angles[1], 0.0);
    EXPECT_NEAR(half.angles[2], 90.0000000025724, 1e-12);
    EXPECT_NEAR(half.sweepDegrees, 180.0000000051448, 1e-12);
    EXPECT_NEAR(half.halfChordAngle, 0.0447250871687, 1e-13);
    EXPECT_NEAR(half.chordLength, 44.2441743, 1e-7);

    const POINT_3D tqMid{2000, 0, 0}, tqEnd{1000, -1000, 0};
    EXPECT_NEAR(PlanArc(&kOrigin, &tqMid, &tqEnd, 2, 10000, true).sweepDegrees, 270.0000000077172, 1e-12);

    const POINT_3D oneMid{100, 10, 0}, oneEnd{200, 0, 0};
    const ArcPlan one = PlanArc(&kOrigin, &oneMid, &oneEnd, 1000, 20000, true);
    EXPECT_NEAR(one.centre[0], 100.0, 1e-9);
    EXPECT_NEAR(one.centre[1], -495.0, 1e-9);
    EXPECT_NEAR(one.radius, 505.0, 1e-9);
    EXPECT_NEAR(one.sweepDegrees, 22.84, 0.005);
}

// Where the arc passes an integer point the running sum lands on it or just
// below it toward zero, and the next chord makes up the difference.
TEST(ArcPlanner, IntegerPointsOnTheWayTruncateTowardZero)
{
    const POINT_3D yzMid{0, 1000, 1000};
    const POINT_3D yzEnd{0, 2000, 0};
    const std::vector<Triple> yz = Positions(Walk(PlanArc(&kOrigin, &yzMid, &yzEnd, 5, 20000, false)));
    EXPECT_EQ(yz[15][0], 0);
    EXPECT_TRUE(yz[15][1] == 1000 || yz[15][1] == 999) << yz[15][1];
    EXPECT_TRUE(yz[15][2] == 1000 || yz[15][2] == 999) << yz[15][2];

    const POINT_3D mid{2000, 0, 0};
    const POINT_3D end{1000, -1000, 0};
    const std::vector<Triple> tq = Positions(Walk(PlanArc(&kOrigin, &mid, &end, 2, 10000, true)));
    for (const auto& [chord, point] : {std::pair<int, Triple>{24, {1000, 1000, 0}}, {49, {2000, 0, 0}}}) {
        for (int k = 0; k < 2; ++k) {
            EXPECT_TRUE(tq[chord][k] == point[k] || tq[chord][k] == point[k] - 1)
                << "chord " << chord + 1 << " axis " << k << ": " << tq[chord][k];
        }
    }
}

// --- The sweep table --------------------------------------------------------

struct SweepRow {
    double t0, t1, t2;
    double sweep; // NaN: no row holds
};

TEST(ArcPlanner, SweepTableRowsAndTies)
{
    const double none = std::numeric_limits<double>::quiet_NaN();
    const SweepRow rows[] = {
        {10, 20, 30, 20},          // middle between, counterclockwise
        {10, 30, 20, -350},        // reversed by rounding
        {20, 10, 30, -350},        // reversed by rounding
        {270, 10, 90, 180},        // through 0, as the half circle
        {270, 300, 90, 180},       // through 360
        {30, 20, 10, -20},         // reversed by rounding
        {10, 10, 30, none},        // ties leave the order undefined
        {10, 30, 30, none},
        {30, 20, 30, none},
        {5, 5, 5, none},
    };
    for (const SweepRow& r : rows) {
        const double b = velkor::SweepFromAngles(r.t0, r.t1, r.t2);
        if (r.sweep != r.sweep) {
            EXPECT_NE(b, b) << r.t0 << " " << r.t1 << " " << r.t2;
        } else {
            EXPECT_EQ(b, r.sweep) << r.t0 << " " << r.t1 << " " << r.t2;
        }
    }
}

// --- INVERT_MATRIX_3X3 -------------------------------------------------------

TEST(InvertMatrix, HalfCircleMatrixPivotsOnItsLargestEntry)
{
    double m[9] = {1000, 1000, 0, 1000, -1000, 0, 0, 0, -2000000};
    ASSERT_EQ(velkor::INVERT_MATRIX_3X3(m), 0);
    const double expected[9] = {1.0 / 2000.0, 1.0 / 2000.0, 0, 1.0 / 2000.0, -1.0 / 2000.0, 0, 0, 0, -1.0 / 2000000.0};
    for (int i = 0; i < 9; ++i) {
        EXPECT_EQ(m[i], expected[i]) << i;
    }
}

// Matrices whose pivots sit off the diagonal need both the row and the column
// exchanges, undone in reverse order.
TEST(InvertMatrix, PermutationsAndScalings)
{
    const double cases[][9] = {
        {0, 1, 0, 0, 0, 1, 1, 0, 0},
        {0, 0, 2, 0, 3, 0, 4, 0, 0},
        {0, 5, 0, 7, 0, 0, 0, 0, -3},
        {2, 1, 1, 1, 3, 2, 1, 0, 0},
        {1, 2, 3, 0, 1, 4, 5, 6, 0},
    };
    for (const auto& a : cases) {
        double inv[9];
        std::copy(a, a + 9, inv);
        ASSERT_EQ(velkor::INVERT_MATRIX_3X3(inv), 0);
        for (int i = 0; i < 3; ++i) {
            for (int j = 0; j < 3; ++j) {
                const double p = a[i * 3 + 0] * inv[0 * 3 + j] + a[i * 3 + 1] * inv[1 * 3 + j] + a[i * 3 + 2] * inv[2 * 3 + j];
                EXPECT_NEAR(p, i == j ? 1.0 : 0.0, 1e-12) << i << "," << j;
            }
        }
    }
}

TEST(InvertMatrix, SingularWhenThePivotCannotChangeOne)
{
    double collinear[9] = {1000, 0, 0, 1000, 0, 0, 0, 0, 0};
    EXPECT_EQ(velkor::INVERT_MATRIX_3X3(collinear), -1);
    double zero[9] = {};
    EXPECT_EQ(velkor::INVERT_MATRIX_3X3(zero), -1);
    // Invertible in exact arithmetic, but 1e-17 + 1.0 == 1.0.
    double tiny[9] = {1e-17, 0, 0, 0, 1e-17, 0, 0, 0, 1e-17};
    EXPECT_EQ(velkor::INVERT_MATRIX_3X3(tiny), -1);
    double lastPivotTiny[9] = {4, 0, 0, 0, 2, 0, 0, 0, 1e-17};
    EXPECT_EQ(velkor::INVERT_MATRIX_3X3(lastPivotTiny), -1);
}

// --- Refused input ----------------------------------------------------------

struct Refused {
    const char* name;
    POINT_3D mid;
    POINT_3D end;
    std::uint32_t tolerance;
    std::uint32_t speed;
    ArcFault fault;
};

const Refused kRefused[] = {
    {"Collinear", {1000, 0, 0}, {2000, 0, 0}, 1, 10000, ArcFault::NoCircle},
    {"MiddleAtStart", {0, 0, 0}, {2000, 0, 0}, 1, 10000, ArcFault::NoCircle},
    {"MiddleAtEnd", {2000, 0, 0}, {2000, 0, 0}, 1, 10000, ArcFault::NoCircle},
    {"FullCircle", {1000, 1000, 0}, {0, 0, 0}, 1, 10000, ArcFault::NoCircle},
    {"ToleranceZero", {1000, 1000, 0}, {2000, 0, 0}, 0, 10000, ArcFault::Tolerance},
    {"ToleranceAboveDiameter", {1000, 1000, 0}, {2000, 0, 0}, 2001, 10000, ArcFault::Tolerance},
    {"SpeedZero", {1000, 1000, 0}, {2000, 0, 0}, 1, 0, ArcFault::Speed},
    // Radius about 5e17: (R - 1) / R rounds to 1.
    {"HalfAngleZero", {1000000000, 1, 0}, {2000000000, 0, 0}, 1, 10000, ArcFault::HalfAngle},
    // Three quarters of a circle of radius 1.2e9 reach x = 2.4e9.
    {"BeyondThePositionRange", {1200000000, 1200000000, 0}, {1200000000, -1200000000, 0}, 1000000, 10000,
     ArcFault::Range},
    // All three points fit, but the arc between them, about (1e9, -1.5e9)
    // with radius 1.8e9, dips to y = -3.3e9 on its way.
    {"BulgesBeyondTheRangeBetweenItsPoints", {-732050808, -2000000000, 0}, {2000000000, 0, 0}, 1000, 10000,
     ArcFault::Range},
    // The same with a tolerance above 2^31 that leaves two chords: the first
    // ends at the bottom of the circle.
    {"BulgesBeyondTheRangeWithTwoChords", {-732050808, -2000000000, 0}, {2000000000, 0, 0}, 3400000000u, 10000,
     ArcFault::Range},
};

void PrintTo(const Refused& r, std::ostream* out) { *out << r.name; }

class RefusedArcs : public ::testing::TestWithParam<Refused> {};

TEST_P(RefusedArcs, HaveNoChordsAndTheSentinel)
{
    const Refused& r = GetParam();
    const ArcPlan plan = PlanArc(&kOrigin, &r.mid, &r.end, r.tolerance, r.speed, true);
    EXPECT_EQ(plan.fault, r.fault);
    EXPECT_EQ(plan.result, kArcDegenerate);
    EXPECT_EQ(plan.chords, 0u);
    EXPECT_TRUE(Walk(plan).empty());
}

INSTANTIATE_TEST_SUITE_P(Arcs, RefusedArcs, ::testing::ValuesIn(kRefused),
                         [](const auto& info) { return std::string(info.param.name); });

// A tolerance of the whole diameter allows chords of half a turn: the half
// circle then lies on the border between one chord and two.
TEST(ArcPlanner, ToleranceOfExactlyTheDiameterIsAccepted)
{
    const POINT_3D mid{1000, 1000, 0};
    const POINT_3D end{2000, 0, 0};
    const ArcPlan plan = PlanArc(&kOrigin, &mid, &end, 2000, 10000, true);
    ASSERT_TRUE(plan.ok());
    EXPECT_EQ(plan.halfChordAngle, std::acos(-1.0));
    EXPECT_LE(plan.chords, 2u);
}

TEST(ArcPlanner, NullPointsAreRefused)
{
    const POINT_3D p{1000, 1000, 0};
    EXPECT_EQ(PlanArc(nullptr, &p, &p, 1, 1, true).fault, ArcFault::NullPoint);
    EXPECT_EQ(PlanArc(&kOrigin, nullptr, &p, 1, 1, true).fault, ArcFault::NullPoint);
    EXPECT_EQ(PlanArc(&kOrigin, &p, nullptr, 1, 1, true).fault, ArcFault::NullPoint);
}

// Extreme coordinates make no undefined conversion; they are refused.
TEST(ArcPlanner, ExtremeCoordinatesAreRefusedNotConverted)
{
    const std::int32_t lo = std::numeric_limits<std::int32_t>::min();
    const std::int32_t hi = std::numeric_limits<std::int32_t>::max();
    const POINT_3D mid{hi, lo, hi};
    const POINT_3D end{lo, lo, 1};
    const ArcPlan plan = PlanArc(&kOrigin, &mid, &end, 1, 1, true);
    EXPECT_FALSE(plan.ok());
    EXPECT_EQ(plan.result, kArcDegenerate);
}

// A tolerance above 2^31 is a valid unsigned tolerance on a circle of a few
// 1e9 units: the arcs are cut into one or two chords and sent.
TEST(ArcPlanner, TolerancesAbove2To31OnLargeCircles)
{
    // Radius 3e9: the single chord goes straight to the end point.
    const POINT_3D flatMid{1000000000, -171572875, 0};
    const POINT_3D flatEnd{2000000000, 0, 0};
    const ArcPlan one = PlanArc(&kOrigin, &flatMid, &flatEnd, 3000000000u, 1000000, true);
    ASSERT_TRUE(one.ok()) << int(one.fault);
    EXPECT_NEAR(one.radius, 3e9, 10.0); // the middle point is rounded to integers
    ASSERT_EQ(one.chords, 1u);
    EXPECT_NEAR(one.result, 2000000, 1); // 2e9 units at 1e6 units per second
    EXPECT_EQ(Positions(Walk(one)), (std::vector<Triple>{{2000000000, 0, 0}}));

    // Radius 1.5e9 about (6.5e8, 1.35e9), 141 degrees through the arc's
    // midpoint: two chords, the first ending on that midpoint. The circle
    // reaches y = 2.85e9, the arc itself no further than its end.
    const POINT_3D mid{1707106781, 292893219, 0};
    const POINT_3D end{2000000000, 2000000000, 0};
    const ArcPlan two = PlanArc(&kOrigin, &mid, &end, 2200000000u, 1000000, true);
    ASSERT_TRUE(two.ok()) << int(two.fault);
    EXPECT_NEAR(two.radius, 1.5e9, 10.0);
    ASSERT_EQ(two.chords, 2u);
    const std::vector<Triple> at = Positions(Walk(two));
    EXPECT_NEAR(at[0][0], mid.x, 2);
    EXPECT_NEAR(at[0][1], mid.y, 2);
    EXPECT_EQ(at[0][2], 0);
    EXPECT_EQ(at[1], (Triple{end.x, end.y, end.z}));
    EXPECT_NEAR(two.result, 3464101, 1); // two chords of sqrt(3) * 1e9 units at 1e6 units per second
}

// --- Saturated results -----------------------------------------------------

TEST(ArcPlanner, TimeEstimateBeyondInt32Saturates)
{
    // Half a circle of radius 1e9 at one unit per second: 3.1e12 ms.
    const POINT_3D mid{1000000000, 1000000000, 0};
    const POINT_3D end{2000000000, 0, 0};
    const ArcPlan plan = PlanArc(&kOrigin, &mid, &end, 1000000, 1, true);
    ASSERT_TRUE(plan.ok()) << int(plan.fault);
    EXPECT_FALSE(plan.speedLimited);
    EXPECT_EQ(plan.result, std::numeric_limits<std::int32_t>::max());
}

TEST(ArcPlanner, SpeedLimitAboveInt32SaturatesBesideTheSentinel)
{
    // Chords of about 445000 units at 4e9 units per second take 0.11 ms; the
    // limit, about 2.2e9, does not fit a negative 32-bit value.
    const POINT_3D mid{1000000, 1000000, 0};
    const POINT_3D end{2000000, 0, 0};
    const ArcPlan plan = PlanArc(&kOrigin, &mid, &end, 100000, 4000000000u, true);
    ASSERT_TRUE(plan.ok()) << int(plan.fault);
    EXPECT_TRUE(plan.speedLimited);
    EXPECT_GT(plan.chordLength / 0.0002, 2147483648.0);
    EXPECT_EQ(plan.result, -std::numeric_limits<std::int32_t>::max());
    EXPECT_EQ(Walk(plan).size(), plan.chords);
}

} // namespace
} // namespace velkor_test
