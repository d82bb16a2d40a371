// The arc planner. Every expression below is written in the one order in
// which it has to be evaluated, one rounding per product, quotient, sum and
// difference; the build compiles this file with floating-point contraction
// off (no fused multiply-add) and refuses fast-math flags for it, because a
// single differently rounded product moves a running chord sum across an
// integer and the module then receives other displacements.
#include "motion/arc_geometry.h"

#include <cmath>
#include <cstdint>
#include <limits>
#include <utility>

namespace velkor {
namespace {

constexpr double kInt32Limit = 2147483647.0; // INT32_MAX, exactly representable
constexpr double kUint32Limit = 4294967295.0;
constexpr double kHalfTurn = 3.14159265358979323846; // the true pi: angles of the walk itself
// Bound of the chord walk's drift per step, relative to the radius. Each step
// rounds the rotated offset (the one rotation matrix carries a rounding of a
// few units in the last place per entry and need not be exactly orthogonal),
// the difference and the running sum, together well under 30 units in the
// last place of the radius; 64 leaves room. After k steps a running sum lies
// within k times this bound of the exact point k steps along.
constexpr double kDriftPerStep = 64.0 * std::numeric_limits<double>::epsilon();
// Truncation toward zero and the rounding of the bounds themselves.
constexpr double kRangeMargin = 2.0;

struct Vec {
    double x, y, z;
};

Vec ToVec(const POINT_3D& p)
{
    return {static_cast<double>(p.x), static_cast<double>(p.y), static_cast<double>(p.z)};
}

Vec Minus(const Vec& p, const Vec& q) { return {p.x - q.x, p.y - q.y, p.z - q.z}; }

double Dot(const Vec& p, const Vec& q) { return (p.x * q.x + p.y * q.y) + p.z * q.z; }

// Each component is the difference of two products, each rounded first.
Vec Cross(const Vec& p, const Vec& q)
{
    return {p.y * q.z - q.y * p.z, p.z * q.x - q.z * p.x, p.x * q.y - q.x * p.y};
}

// Half the difference of the squared distances of q and p from the origin,
// summed in the order x, y, z.
double HalfSquareDifference(const Vec& q, const Vec& p)
{
    return (((((q.x * q.x - p.x * p.x) + q.y * q.y) - p.y * p.y) + q.z * q.z) - p.z * p.z) / 2.0;
}

// Angle of offset u about the plane's axes e (0 degrees) and a (90 degrees).
double AngleDegrees(const Vec& a, const Vec& e, const Vec& u)
{
    double theta = (std::atan2(Dot(a, u), Dot(e, u)) * 180.0) / kArcPi;
    if (theta < 0.0) {
        theta = theta + 360.0;
    }
    return theta;
}

double SweepRadians(double sweepDegrees) { return (sweepDegrees / 180.0) * kArcPi; }

// Truncation toward zero, saturating instead of leaving the target range.
std::int32_t TruncInt32(double value)
{
    if (!(value > -kInt32Limit - 1.0)) {
        return value != value ? 0 : std::numeric_limits<std::int32_t>::min();
    }
    if (value >= kInt32Limit + 1.0) {
        return std::numeric_limits<std::int32_t>::max();
    }
    return static_cast<std::int32_t>(value);
}

std::uint32_t TruncUint32(double value)
{
    if (!(value > 0.0)) {
        return 0;
    }
    if (value >= kUint32Limit + 1.0) {
        return std::numeric_limits<std::uint32_t>::max();
    }
    return static_cast<std::uint32_t>(value);
}

// A negated speed limit never reaches INT32_MIN, which means "degenerate".
std::int32_t NegatedLimit(std::uint32_t limit)
{
    const std::uint32_t highest = static_cast<std::uint32_t>(std::numeric_limits<std::int32_t>::max());
    return -static_cast<std::int32_t>(limit > highest ? highest : limit);
}

ArcPlan Refuse(ArcPlan plan, ArcFault fault)
{
    plan.fault = fault;
    plan.chords = 0;
    plan.speedLimited = false;
    plan.result = kArcDegenerate;
    return plan;
}

// The largest magnitude of a(cos t - 1) + b sin t for t from 0 to `turn`
// (below a full turn): one coordinate of the start offset (a, and b that of
// its quarter turn ahead) turned by t, relative to the start. The function is
// m cos(t - psi) - a with m = |(a, b)|, so besides its two ends only its
// crest (t = psi) and trough (t = psi + pi) can hold the extreme.
double AxisReach(double a, double b, double turn)
{
    const double m = std::hypot(a, b);
    double crest = std::atan2(b, a);
    if (crest < 0.0) {
        crest = crest + 2.0 * kHalfTurn;
    }
    double trough = crest + kHalfTurn;
    if (trough >= 2.0 * kHalfTurn) {
        trough = trough - 2.0 * kHalfTurn;
    }
    const double half = std::sin(turn / 2.0);
    double reach = std::fabs(a * (-2.0 * half * half) + b * std::sin(turn));
    if (crest <= turn) {
        reach = std::fmax(reach, std::fabs(m - a));
    }
    if (trough <= turn) {
        reach = std::fmax(reach, std::fabs(m + a));
    }
    return reach;
}

// Whether everything the chord walk sends stays inside the signed 32-bit
// range: the chord ends before the last (the start offset turned about the
// unit normal by 1 to N - 1 steps, relative to the start), each displacement
// between two of them, and the last displacement, from the chord end N - 1
// steps along to the end point `rel` (relative to the start). Each is bounded
// by its exact value plus the walk's drift over N steps, so an arc is refused
// only if a value it sends could leave the range. A single chord sends only
// `rel`, which the caller checks.
bool FitsPositionRange(const ArcPlan& plan, const Vec& unit, const Vec& u0, const Vec& rel)
{
    if (plan.chords <= 1) {
        return true;
    }
    const double count = static_cast<double>(plan.chords);
    const double drift = plan.radius * ((count + 2.0) * kDriftPerStep) + kRangeMargin;
    if (!(plan.chordLength + 2.0 * drift < kInt32Limit)) {
        return false;
    }
    // The part of the start offset that turns, and its quarter turn ahead.
    const double along = Dot(unit, u0);
    const Vec a{u0.x - along * unit.x, u0.y - along * unit.y, u0.z - along * unit.z};
    const Vec b = Cross(unit, u0);
    const double turn = (count - 1.0) * plan.step; // the last chord end before the end point
    const double half = std::sin(turn / 2.0);
    const double c = -2.0 * half * half; // cos(turn) - 1 without cancellation
    const double s = std::sin(turn);
    const double as[3] = {a.x, a.y, a.z};
    const double bs[3] = {b.x, b.y, b.z};
    const double ends[3] = {rel.x, rel.y, rel.z};
    for (int k = 0; k < 3; ++k) {
        const double last = ends[k] - (as[k] * c + bs[k] * s);
        if (!(AxisReach(as[k], bs[k], turn) + drift < kInt32Limit) || !(std::fabs(last) + drift < kInt32Limit)) {
            return false;
        }
    }
    return true;
}

} // namespace

double SweepFromAngles(double t0, double t1, double t2)
{
    if (t0 < t1 && t1 < t2) {
        return t2 - t0;
    }
    if (t0 < t2 && t2 < t1) {
        return -360.0 + (t2 - t0);
    }
    if (t1 < t0 && t0 < t2) {
        return -360.0 + (t2 - t0);
    }
    if (t1 < t2 && t2 < t0) {
        return 360.0 - (t0 - t2);
    }
    if (t2 < t0 && t0 < t1) {
        return 360.0 - (t0 - t2);
    }
    if (t2 < t1 && t1 < t0) {
        return -(t0 - t2);
    }
    return std::numeric_limits<double>::quiet_NaN();
}

ArcPlan PlanArc(const POINT_3D* start, const POINT_3D* mid, const POINT_3D* end, std::uint32_t tolerance,
                std::uint32_t speed, bool endsPath)
{
    ArcPlan plan;
    plan.endsPath = endsPath;
    if (start == nullptr || mid == nullptr || end == nullptr) {
        return Refuse(plan, ArcFault::NullPoint);
    }
    const Vec p0 = ToVec(*start);
    const Vec p1 = ToVec(*mid);
    const Vec p2 = ToVec(*end);

    // The centre Q solves three linear equations: as far from p0 as from p1,
    // as far from p1 as from p2, and in the plane of the three points.
    const Vec d1 = Minus(p1, p0);
    const Vec d2 = Minus(p2, p1);
    const double r1 = HalfSquareDifference(p1, p0);
    const double r2 = HalfSquareDifference(p2, p1);
    const Vec n = Cross(d1, d2);
    const double r3 = (n.x * p0.x + n.y * p0.y) + n.z * p0.z;
    double m[9] = {d1.x, d1.y, d1.z, d2.x, d2.y, d2.z, n.x, n.y, n.z};
    if (INVERT_MATRIX_3X3(m) != 0) {
        return Refuse(plan, ArcFault::NoCircle);
    }
    const Vec q{(m[0] * r1 + m[1] * r2) + m[2] * r3, (m[3] * r1 + m[4] * r2) + m[5] * r3,
                (m[6] * r1 + m[7] * r2) + m[8] * r3};
    plan.centre[0] = q.x;
    plan.centre[1] = q.y;
    plan.centre[2] = q.z;

    const double radius =
        std::sqrt(((q.x - p0.x) * (q.x - p0.x) + (q.y - p0.y) * (q.y - p0.y)) + (q.z - p0.z) * (q.z - p0.z));
    plan.radius = radius;
    const Vec u0 = Minus(p0, q);
    const Vec u1 = Minus(p1, q);
    const Vec u2 = Minus(p2, q);
    plan.startOffset[0] = u0.x;
    plan.startOffset[1] = u0.y;
    plan.startOffset[2] = u0.z;

    // The plane's axes: a from the start toward the centre, the unit normal,
    // and e = a x normal, so that angles from e toward a grow counterclockwise.
    const double normLength = std::sqrt((n.x * n.x + n.y * n.y) + n.z * n.z);
    if (!(normLength > 0.0) || !(radius > 0.0)) {
        return Refuse(plan, ArcFault::NoCircle);
    }
    const Vec a{(-u0.x) / radius, (-u0.y) / radius, (-u0.z) / radius};
    const Vec unit{n.x / normLength, n.y / normLength, n.z / normLength};
    plan.normal[0] = unit.x;
    plan.normal[1] = unit.y;
    plan.normal[2] = unit.z;
    const Vec e{a.y * unit.z - a.z * unit.y, a.z * unit.x - a.x * unit.z, a.x * unit.y - a.y * unit.x};

    const double tau = static_cast<double>(tolerance);
    if (tolerance == 0 || tau > radius * 2.0) {
        return Refuse(plan, ArcFault::Tolerance);
    }
    if (speed == 0) {
        return Refuse(plan, ArcFault::Speed);
    }

    plan.angles[0] = AngleDegrees(a, e, u0);
    plan.angles[1] = AngleDegrees(a, e, u1);
    plan.angles[2] = AngleDegrees(a, e, u2);
    const double sweep = SweepFromAngles(plan.angles[0], plan.angles[1], plan.angles[2]);
    plan.sweepDegrees = sweep;
    if (!(sweep > 0.0)) {
        return Refuse(plan, ArcFault::Sweep);
    }

    // Chords of equal angle, each under the angle 2 * half whose sagitta is
    // the tolerance.
    const double half = std::acos((radius - tau) / radius);
    plan.halfChordAngle = half;
    if (!(half > 0.0)) {
        return Refuse(plan, ArcFault::HalfAngle);
    }
    const double beta = SweepRadians(sweep);
    plan.sweepRadians = beta;
    const double count = (beta / half) + 1.0;
    if (!(count < static_cast<double>(kMaxArcChords) + 1.0)) {
        return Refuse(plan, ArcFault::ChordCount);
    }
    const std::uint32_t chords = static_cast<std::uint32_t>(count); // 1 <= count < bound + 1
    const double chordCount = static_cast<double>(chords);
    const double step = SweepRadians(sweep) / chordCount;
    const double length = (radius * 2.0) * std::sin(step / 2.0);
    plan.step = step;
    plan.chordLength = length;

    plan.chords = chords;
    const Vec rel{p2.x - p0.x, p2.y - p0.y, p2.z - p0.z}; // exact: below 2^33
    if (std::fabs(rel.x) > kInt32Limit || std::fabs(rel.y) > kInt32Limit || std::fabs(rel.z) > kInt32Limit ||
        !FitsPositionRange(plan, unit, u0, rel)) {
        return Refuse(plan, ArcFault::Range);
    }
    plan.endDisplacement[0] = static_cast<std::int32_t>(rel.x);
    plan.endDisplacement[1] = static_cast<std::int32_t>(rel.y);
    plan.endDisplacement[2] = static_cast<std::int32_t>(rel.z);

    // The time of the N chords in ms, unless a chord would take under 0.2 ms:
    // then minus the highest speed at which it takes 0.2 ms.
    if ((length / static_cast<double>(speed)) < 0.0002) {
        plan.speedLimited = true;
        plan.result = NegatedLimit(TruncUint32(length / 0.0002));
    } else {
        plan.result = TruncInt32(((length * chordCount) * 1000.0) / static_cast<double>(speed));
    }

    // Rotation by one step about the unit normal (right-hand rule).
    const double c = std::cos(step);
    const double s = std::sin(step);
    const double t1 = 1.0 - c;
    double* r = plan.rotation;
    r[0] = (unit.x * unit.x) * t1 + c;
    r[1] = (unit.x * unit.y) * t1 - unit.z * s;
    r[2] = (unit.x * unit.z) * t1 + unit.y * s;
    r[3] = (unit.x * unit.y) * t1 + unit.z * s;
    r[4] = (unit.y * unit.y) * t1 + c;
    r[5] = (unit.y * unit.z) * t1 - unit.x * s;
    r[6] = (unit.x * unit.z) * t1 - unit.y * s;
    r[7] = (unit.y * unit.z) * t1 + unit.x * s;
    r[8] = (unit.z * unit.z) * t1 + c;
    return plan;
}

ChordWalker::ChordWalker(const ArcPlan& plan)
    : rotation_{plan.rotation[0], plan.rotation[1], plan.rotation[2], plan.rotation[3], plan.rotation[4],
                plan.rotation[5], plan.rotation[6], plan.rotation[7], plan.rotation[8]},
      v_{plan.startOffset[0], plan.startOffset[1], plan.startOffset[2]},
      end_{plan.endDisplacement[0], plan.endDisplacement[1], plan.endDisplacement[2]},
      count_(plan.ok() ? plan.chords : 0),
      lastFlag_(plan.endsPath ? 1 : 0)
{
}

bool ChordWalker::Next(Chord& chord)
{
    if (given_ >= count_) {
        return false;
    }
    ++given_;
    const double* r = rotation_;
    const double next[3] = {(r[0] * v_[0] + r[1] * v_[1]) + r[2] * v_[2],
                            (r[3] * v_[0] + r[4] * v_[1]) + r[5] * v_[2],
                            (r[6] * v_[0] + r[7] * v_[1]) + r[8] * v_[2]};
    std::int64_t q[3];
    for (int k = 0; k < 3; ++k) {
        const double delta = next[k] - v_[k];
        v_[k] = next[k];
        sum_[k] = sum_[k] + delta;
        // The plan's range check keeps every position and difference inside
        // 32 bits, so the narrowing below never changes a value.
        q[k] = static_cast<std::int64_t>(TruncInt32(sum_[k])) - sent_[k];
    }
    if (given_ == count_) {
        for (int k = 0; k < 3; ++k) {
            q[k] = static_cast<std::int64_t>(end_[k]) - sent_[k];
        }
        chord.endFlag = lastFlag_;
    } else {
        for (int k = 0; k < 3; ++k) {
            sent_[k] += q[k];
        }
        chord.endFlag = 0;
    }
    chord.x = static_cast<std::int32_t>(q[0]);
    chord.y = static_cast<std::int32_t>(q[1]);
    chord.z = static_cast<std::int32_t>(q[2]);
    return true;
}

int INVERT_MATRIX_3X3(double a[9])
{
    int pivotRow[3] = {0, 1, 2};
    int pivotColumn[3] = {0, 1, 2};
    auto at = [a](int i, int j) -> double& { return a[i * 3 + j]; };
    for (int k = 0; k < 3; ++k) {
        double d = 0.0;
        for (int i = k; i < 3; ++i) {
            for (int j = k; j < 3; ++j) {
                if (std::fabs(at(i, j)) > d) {
                    d = std::fabs(at(i, j));
                    pivotRow[k] = i;
                    pivotColumn[k] = j;
                }
            }
        }
        if (d + 1.0 == 1.0) {
            return -1;
        }
        if (pivotRow[k] != k) {
            for (int j = 0; j < 3; ++j) {
                std::swap(at(k, j), at(pivotRow[k], j));
            }
        }
        if (pivotColumn[k] != k) {
            for (int i = 0; i < 3; ++i) {
                std::swap(at(i, k), at(i, pivotColumn[k]));
            }
        }
        at(k, k) = 1.0 / at(k, k);
        for (int j = 0; j < 3; ++j) {
            if (j != k) {
                at(k, j) = at(k, j) * at(k, k);
            }
        }
        for (int i = 0; i < 3; ++i) {
            if (i == k) {
                continue;
            }
            for (int j = 0; j < 3; ++j) {
                if (j != k) {
                    at(i, j) = at(i, j) - at(i, k) * at(k, j);
                }
            }
        }
        for (int i = 0; i < 3; ++i) {
            if (i != k) {
                at(i, k) = (-at(i, k)) * at(k, k);
            }
        }
    }
    for (int k = 2; k >= 0; --k) {
        if (pivotColumn[k] != k) {
            for (int j = 0; j < 3; ++j) {
                std::swap(at(k, j), at(pivotColumn[k], j));
            }
        }
        if (pivotRow[k] != k) {
            for (int i = 0; i < 3; ++i) {
                std::swap(at(i, k), at(i, pivotRow[k]));
            }
        }
    }
    return 0;
}

} // namespace velkor
