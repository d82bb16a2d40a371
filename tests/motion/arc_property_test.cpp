// Generated arcs in planes of every orientation, both senses, radii from 10
// to 1e6 and sweeps up to nearly a full turn, and flat arcs of radii up to
// 1e10, checked against the circle through their three integer points worked
// out independently in long double.
#include "motion/arc_geometry.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <random>

namespace velkor_test {
namespace {

using Real = long double;
const Real kPi = 3.14159265358979323846264338327950288L;

struct V {
    Real x, y, z;
};
V operator+(V a, V b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
V operator-(V a, V b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
V operator*(Real s, V a) { return {s * a.x, s * a.y, s * a.z}; }
Real Dot(V a, V b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
V Cross(V a, V b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
Real Norm(V a) { return std::sqrt(Dot(a, a)); }
V Unit(V a) { return (1 / Norm(a)) * a; }
V Of(const POINT_3D& p) { return {Real(p.x), Real(p.y), Real(p.z)}; }

// Rotation of v by angle t about the unit axis k (Rodrigues).
V Rotate(V v, V k, Real t)
{
    return std::cos(t) * v + std::sin(t) * Cross(k, v) + (Dot(k, v) * (1 - std::cos(t))) * k;
}

// The circle through the origin, p1 and p2: centre, radius, unit normal of
// the sense origin -> p1 -> p2, and the sweep from the origin to p2 through p1.
struct Circle {
    V centre;
    Real radius;
    V normal;
    Real sweep;
};

Circle Through(V p1, V p2)
{
    const V n = Cross(p1, p2);
    const V c = (1 / (2 * Dot(n, n))) * Cross(Dot(p1, p1) * p2 - Dot(p2, p2) * p1, n);
    Circle circle{c, Norm(c), Unit(n), 0};
    const V u0 = (-1) * c;
    const V u2 = p2 - c;
    Real sweep = std::atan2(Dot(circle.normal, Cross(u0, u2)), Dot(u0, u2));
    circle.sweep = sweep <= 0 ? sweep + 2 * kPi : sweep;
    return circle;
}

POINT_3D Round(V p) { return {std::int32_t(std::llround(p.x)), std::int32_t(std::llround(p.y)), std::int32_t(std::llround(p.z))}; }

class ArcGenerator {
public:
    explicit ArcGenerator(std::uint64_t seed) : rng_(seed) {}

    struct Arc {
        POINT_3D mid, end;
        std::uint32_t tolerance, speed;
    };

    Arc Next()
    {
        for (;;) {
            const V normal = Normal();
            const V helper = std::fabs(normal.x) < 0.9L ? V{1, 0, 0} : V{0, 1, 0};
            const V e1 = Unit(Cross(normal, helper));
            const V e2 = Cross(normal, e1);
            const Real radius = std::pow(Real(10), Uniform(1, 6));
            const Real alpha = Uniform(0, 2 * kPi);
            const V fromCentre = radius * (std::cos(alpha) * e1 + std::sin(alpha) * e2);
            const V centre = (-1) * fromCentre;
            // Keep the three integer points at least 8 units apart.
            const Real gap = 2 * std::asin(std::min(Real(1), 4 / radius));
            if (gap * 3 >= 2 * kPi) {
                continue;
            }
            const Real sweep = Uniform(2 * gap, 2 * kPi - gap);
            const Real midAt = sweep * Uniform(0.25L, 0.75L);
            if (midAt < gap || sweep - midAt < gap) {
                continue;
            }
            Arc arc;
            arc.mid = Round(centre + Rotate(fromCentre, normal, midAt));
            arc.end = Round(centre + Rotate(fromCentre, normal, sweep));
            const Real maxTolerance = Uniform(0, 1) < 0.1L ? 2 * radius : radius / 4;
            arc.tolerance = std::uint32_t(std::max(Real(1), std::floor(std::pow(maxTolerance, Uniform(0, 1)))));
            arc.speed = std::uint32_t(std::pow(Real(10), Uniform(0, 7)));
            const V m = Of(arc.mid), e = Of(arc.end);
            if (Norm(m) < 8 || Norm(e) < 8 || Norm(e - m) < 8 || arc.tolerance > 2 * Through(m, e).radius) {
                continue;
            }
            return arc;
        }
    }

private:
    Real Uniform(Real lo, Real hi) { return std::uniform_real_distribution<double>(double(lo), double(hi))(rng_); }
    // One in four on a coordinate axis (either direction), the rest anywhere.
    V Normal()
    {
        const int pick = std::uniform_int_distribution<int>(0, 23)(rng_);
        if (pick < 6) {
            const Real s = pick % 2 == 0 ? 1 : -1;
            return pick / 2 == 0 ? V{s, 0, 0} : pick / 2 == 1 ? V{0, s, 0} : V{0, 0, s};
        }
        std::normal_distribution<double> gauss;
        return Unit(V{gauss(rng_), gauss(rng_), gauss(rng_)});
    }

    std::mt19937_64 rng_;
};

// Checks a plan against the circle through its three integer points, worked
// out in long double: N is one more than the whole part of sweep / half chord
// angle (away from a tie), every chord within the tolerance of the arc, every
// chord end the exact point k steps along (truncated, plus the walk's drift),
// the flags, and the end point exactly. `slack` is the relative error allowed
// in the count and the tolerance, where (R - tolerance) / R carries few digits.
void ExpectChordsOnTheirCircle(const POINT_3D& mid, const POINT_3D& end, std::uint32_t tolerance,
                               const velkor::ArcPlan& plan, Real slack, long& chordsChecked)
{
    ASSERT_TRUE(plan.ok()) << int(plan.fault);
    const Real sqrt3 = std::sqrt(Real(3));
    const Circle circle = Through(Of(mid), Of(end));
    const Real R = circle.radius;
    const Real tau = tolerance;
    const std::uint32_t N = plan.chords;

    const Real ratio = circle.sweep / std::acos((R - tau) / R);
    if (std::fabs(ratio - std::round(ratio)) > 1e-6L + ratio * slack) {
        ASSERT_EQ(N, std::uint32_t(std::floor(ratio)) + 1) << ratio;
    }
    ASSERT_LT(R * (1 - std::cos(circle.sweep / N / 2)), tau * (1 + slack));

    // A drift of 64 units in the last place of the radius per step bounds
    // what the walk may add to truncation.
    const Real drift = R * (N + 2) * 64 * std::numeric_limits<double>::epsilon();
    velkor::ChordWalker walker(plan);
    velkor::Chord chord;
    const V u0 = (-1) * circle.centre;
    std::int64_t at[3] = {0, 0, 0};
    V previous{0, 0, 0};
    std::uint32_t k = 0;
    while (walker.Next(chord)) {
        ++k;
        ASSERT_LE(k, N);
        ASSERT_EQ(chord.endFlag, k == N ? 1 : 0);
        at[0] += chord.x;
        at[1] += chord.y;
        at[2] += chord.z;
        const V here{Real(at[0]), Real(at[1]), Real(at[2])};
        // The chord end is the exact point k steps along, truncated.
        const V exact = circle.centre + Rotate(u0, circle.normal, circle.sweep * k / N);
        ASSERT_LE(Norm(here - exact), sqrt3 * (1 + drift) + 1e-3L) << "chord " << k;
        // The chord stays within the tolerance (and the truncation) of the arc.
        const V middle = 0.5L * (here + previous);
        ASSERT_LE(std::fabs(Norm(middle - circle.centre) - R), tau * (1 + slack) + sqrt3 * (1 + drift))
            << "chord " << k;
        previous = here;
    }
    ASSERT_EQ(k, N);
    ASSERT_EQ(at[0], end.x);
    ASSERT_EQ(at[1], end.y);
    ASSERT_EQ(at[2], end.z);
    chordsChecked += N;
}

TEST(ArcProperties, GeneratedArcsStayOnTheirCircleAndEndExactly)
{
    ArcGenerator generator(20240613);
    const POINT_3D origin{0, 0, 0};
    long chordsChecked = 0;
    for (int arcs = 0; arcs < 10000; ++arcs) {
        const ArcGenerator::Arc arc = generator.Next();
        SCOPED_TRACE(::testing::Message() << "arc " << arcs << " mid (" << arc.mid.x << "," << arc.mid.y << ","
                                          << arc.mid.z << ") end (" << arc.end.x << "," << arc.end.y << ","
                                          << arc.end.z << ") tolerance " << arc.tolerance);
        const velkor::ArcPlan plan = velkor::PlanArc(&origin, &arc.mid, &arc.end, arc.tolerance, arc.speed, true);
        ExpectChordsOnTheirCircle(arc.mid, arc.end, arc.tolerance, plan, 0, chordsChecked);
        if (HasFatalFailure()) {
            return;
        }
    }
    RecordProperty("chords", std::to_string(chordsChecked));
}

// Flat arcs: a chord of up to 2e9 units on circles of radius 1e6 to 1e10,
// in planes of several orientations, bulging either way. Their circles reach
// far beyond the 32-bit range, but the arcs themselves and every chord stay
// inside it, so each is planned and sent.
TEST(ArcProperties, FlatArcsOfLargeRadiiAreSentAndStayOnTheirCircle)
{
    const POINT_3D origin{0, 0, 0};
    const V planes[][2] = {
        {{1, 0, 0}, {0, 1, 0}},                                     // x-y, bulging to +y
        {{1, 0, 0}, {0, -1, 0}},                                    // x-y, bulging to -y
        {{0, 0, -1}, {0, 1, 0}},                                    // along -z, bulging to +y
        {Unit({1, 1, 1}), Unit({1, -1, 0})},                        // a diagonal chord
        {Unit({-3, 1, 2}), Unit(Cross({-3, 1, 2}, {0, 0, 1}))},     // anywhere
    };
    long chordsChecked = 0;
    int arcs = 0;
    for (const Real radius : {1e6L, 1e7L, 1e8L, 1e9L, 2e9L, 5e9L, 1e10L}) {
        for (const Real chordFraction : {0.1L, 0.5L, 1.0L}) {
            for (const auto& plane : planes) {
                for (const std::uint32_t tolerance : {1u, 25u, 100000u}) {
                    // The chord is at most the diameter and fits the range on every axis.
                    const Real chord = std::min(2 * radius, Real(2e9)) * chordFraction;
                    const Real sagitta = radius - std::sqrt(radius * radius - chord * chord / 4);
                    const POINT_3D end = Round(chord * plane[0]);
                    const POINT_3D mid = Round(0.5L * chord * plane[0] + sagitta * plane[1]);
                    if (sagitta < 2 || tolerance > 2 * radius) {
                        continue; // no arc to speak of: the middle rounds onto the chord
                    }
                    SCOPED_TRACE(::testing::Message() << "radius " << double(radius) << " chord " << double(chord)
                                                      << " mid (" << mid.x << "," << mid.y << "," << mid.z
                                                      << ") end (" << end.x << "," << end.y << "," << end.z
                                                      << ") tolerance " << tolerance);
                    const velkor::ArcPlan plan = velkor::PlanArc(&origin, &mid, &end, tolerance, 10000, true);
                    ExpectChordsOnTheirCircle(mid, end, tolerance, plan, 1e-5L, chordsChecked);
                    if (HasFatalFailure()) {
                        return;
                    }
                    ++arcs;
                }
            }
        }
    }
    EXPECT_GT(arcs, 250);
    RecordProperty("chords", std::to_string(chordsChecked));
}

} // namespace
} // namespace velkor_test
