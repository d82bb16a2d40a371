// The arc planner: the circle through three points in space, cut into
// equal-angle straight chords, worked out in double precision with no card
// and no bus. The arc functions send what it plans; the command-line tool
// previews arcs with it.
//
//     const velkor::ArcPlan plan = velkor::PlanArc(&start, &mid, &end, tolerance, speed, true);
//     if (!plan.ok()) { /* plan.fault says why; nothing may be sent */ }
//     velkor::ChordWalker chords(plan);
//     velkor::Chord chord;
//     while (chords.Next(chord)) { /* chord.x, chord.y, chord.z, chord.endFlag */ }
//
// The module follows the chords blindly and an arc must land on the same
// integers on every host, so the planner evaluates every formula in one fixed
// order, each product and sum rounded on its own (the planner is built without
// floating-point contraction), and converts between degrees and radians with
// the ten-decimal constant kArcPi, never with the full-precision pi.
//
// Inputs: the start point, the middle point (any point of the arc strictly
// between start and end) and the end point, in position units; the arc
// functions always pass the origin as start, so that every value is relative
// to where the segment begins. The arc runs from the start through the middle
// point to the end. `tolerance` is the greatest distance allowed between a
// chord and the arc, `speed` the path speed in units per second used for the
// time estimate. The planner allocates nothing; a plan is about 300 bytes and
// the chords are produced one at a time.
#ifndef VELKOR_MOTION_ARC_GEOMETRY_H
#define VELKOR_MOTION_ARC_GEOMETRY_H

#include <Velkor.h>

#include <cstdint>

namespace velkor {

// Returned instead of a time estimate or speed limit when the input has no
// sendable plan. Nothing is sent for such an arc.
constexpr std::int32_t kArcDegenerate = VELKOR_ARC_DEGENERATE;

// The most chords a plan may have. N is about sweep * sqrt(radius / (2 *
// tolerance)); for an arc whose points stay within the 32-bit position range
// this is below 200000 even at a tolerance of 1 (a large radius comes with a
// small sweep), so a count above this bound can only come from input that is
// degenerate in some other way, and is refused rather than sent for minutes.
constexpr std::uint32_t kMaxArcChords = 1u << 20;

// Pi to ten decimals, the constant of every degree/radian conversion. It
// cancels out of the geometry because both directions use it.
constexpr double kArcPi = 3.1415926535;

// Why a plan cannot be sent.
enum class ArcFault : std::uint8_t {
    None,
    NullPoint,  // a point pointer is null
    NoCircle,   // the points are collinear or two of them coincide (the end
                // point equal to the start included: a full circle cannot be given)
    Tolerance,  // the tolerance is 0 or more than twice the radius
    Speed,      // the speed is 0 (for a mixed path: no initial command yet)
    Sweep,      // the angles of the points tie, or the sweep is not positive
    HalfAngle,  // the radius is so large against the tolerance that a chord's
                // half angle rounds to 0
    ChordCount, // the chord count is not finite or above kMaxArcChords
    Range,      // a chord position or displacement could leave the signed
                // 32-bit range: the arc's own extent from its start, or a
                // chord, plus the rounding drift of the walk, reaches 2^31
};

// The worked-out arc. Every field up to the one that failed is filled in for
// a degenerate plan too (for diagnostics); later ones stay 0.
struct ArcPlan {
    ArcFault fault = ArcFault::None;
    double centre[3] = {};      // in the coordinates of the input points
    double radius = 0.0;
    double normal[3] = {};      // unit normal; the arc turns counterclockwise about it
    double angles[3] = {};      // start, middle and end angle in degrees, 0 to 360
    double sweepDegrees = 0.0;  // 0 < sweep < 360
    double halfChordAngle = 0.0; // radians: half the angle of a chord whose sagitta is the tolerance
    double sweepRadians = 0.0;
    std::uint32_t chords = 0;   // N, the number of equal-angle chords
    double step = 0.0;          // radians per chord
    double chordLength = 0.0;
    bool speedLimited = false;  // a chord would take under 0.2 ms: result is a negated speed limit
    // The arc functions' return value: the time of the N chords at `speed` in
    // ms (saturated at INT32_MAX), or, when speedLimited, minus the highest
    // speed at which a chord still takes 0.2 ms (saturated at -INT32_MAX, so
    // that it never equals kArcDegenerate), or kArcDegenerate.
    std::int32_t result = kArcDegenerate;

    // What the chord walk starts from.
    double rotation[9] = {};        // rotation by one step about the normal, by rows
    double startOffset[3] = {};     // start point minus centre
    std::int32_t endDisplacement[3] = {}; // end minus start: what the chords add up to
    bool endsPath = false;          // the last chord carries end flag 1

    bool ok() const { return fault == ArcFault::None; }
};

// Plans the arc from `start` through `mid` to `end`. Never reads through a
// null pointer; any fault leaves result == kArcDegenerate and chords == 0.
ArcPlan PlanArc(const POINT_3D* start, const POINT_3D* mid, const POINT_3D* end, std::uint32_t tolerance,
                std::uint32_t speed, bool endsPath);

// One chord: its integer displacement from the end of the previous chord and
// its end flag (0 except on the last chord of a plan that ends the path).
struct Chord {
    std::int32_t x = 0;
    std::int32_t y = 0;
    std::int32_t z = 0;
    std::uint8_t endFlag = 0;
};

// Produces a plan's chords in order. The chord ends are the start offset
// rotated step by step with the plan's one rotation; each position sent is the
// truncation toward zero of the running sum of the rotated differences, and
// the last chord goes to the end point exactly, so the displacements add up to
// endDisplacement whatever the rounding. Copies what it needs from the plan.
class ChordWalker {
public:
    explicit ChordWalker(const ArcPlan& plan);
    // The next chord; false once all were given (at once for a degenerate plan).
    bool Next(Chord& chord);

private:
    double rotation_[9];
    double v_[3];           // current chord end minus centre
    double sum_[3] = {};    // running sum of the rotated differences
    std::int64_t sent_[3] = {}; // integer position reached by the chords given
    std::int32_t end_[3];
    std::uint32_t count_;
    std::uint32_t given_ = 0;
    std::uint8_t lastFlag_;
};

// The sweep in degrees of an arc whose start, middle and end lie at the
// angles t0, t1, t2 (each 0 to 360) about the normal, or NaN when the angles
// tie so that their order is undefined. Negative for orders that only
// rounding can produce (the middle not between start and end).
double SweepFromAngles(double t0, double t1, double t2);

// Inverts the 3x3 matrix `a`, stored by rows, in place by Gauss-Jordan
// elimination with full pivoting. Returns 0, or -1 when the largest remaining
// pivot candidate is too small to change 1.0 when added to it (a singular
// matrix; `a` is then left partly transformed).
int INVERT_MATRIX_3X3(double a[9]);

} // namespace velkor

#endif
