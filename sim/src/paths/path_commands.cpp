// The path commands: picking the axes of a path, building it segment by
// segment (lines, arcs, circles), and the handlers of the vector commands
// and continuous paths that feed the command buffer (paths/paths.cpp runs
// it).
#include "paths/paths.h"

#include "axis/axis_config.h"
#include "axis/drives.h"
#include "axis/speed_shape.h"
#include "context/context.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace velkor_sim {
namespace detail {

bool TakeAxes(PathsAt at, const Bytes& p, int count, int* out)
{
    const std::uint8_t selectors[3] = {p[2], p[4], p[6]};
    return PickAxes(at, selectors, count, out);
}

bool PickAxes(PathsAt at, const std::uint8_t* selectors, int count, int* out)
{
    int picked[3] = {};
    for (int k = 0; k < count; ++k) {
        picked[k] = SingleAxis(selectors[k]);
        if (picked[k] < 0 || (k > 0 && picked[k] == picked[0]) || (k > 1 && picked[k] == picked[1])) {
            at.Fault(error::kBadCommand);
            return false;
        }
    }
    std::memcpy(out, picked, sizeof(int) * count);
    return true;
}

double LineLength(const Segment& s)
{
    return std::sqrt(double(s.d[0]) * s.d[0] + double(s.d[1]) * s.d[1] + double(s.d[2]) * s.d[2]);
}

void BeginPath(PathsAt at, int dims, const int* axis, const Profile& profile)
{
    at.paths.discarding = false;
    Path path;
    path.dims = dims;
    for (int k = 0; k < dims; ++k) {
        path.axis[k] = axis[k];
    }
    path.profile = profile;
    at.paths.queue.push_back(path);
}

void AddSegment(PathsAt at, const Segment& segment, bool last)
{
    Path& path = at.paths.queue.back();
    path.segments.push_back(segment);
    path.queuedLength += segment.length;
    path.closed = last;
    ++at.paths.queuedSegments;
}


bool MakeArc(double cx, double cy, std::int32_t ex, std::int32_t ey, std::int32_t dz, bool clockwise, Segment& s)
{
    s = Segment{};
    s.arc = true;
    s.d[0] = ex;
    s.d[1] = ey;
    s.d[2] = dz;
    s.centre[0] = cx;
    s.centre[1] = cy;
    s.r0 = std::hypot(cx, cy);
    s.r1 = std::hypot(ex - cx, ey - cy);
    if (s.r0 < 0.5 || s.r1 < 0.5) {
        return false;
    }
    constexpr double kTwoPi = 6.283185307179586;
    s.a0 = std::atan2(-cy, -cx);
    double sweep = std::atan2(ey - cy, ex - cx) - s.a0;
    // Counter-clockwise sweeps lie in (0, 2 pi], clockwise ones in [-2 pi, 0);
    // an end point on the start makes a full circle.
    while (sweep <= 1e-12) {
        sweep += kTwoPi;
    }
    while (sweep > kTwoPi + 1e-12) {
        sweep -= kTwoPi;
    }
    if (clockwise) {
        sweep -= kTwoPi;
        if (sweep > -1e-12) {
            sweep = -kTwoPi;
        }
    }
    s.sweep = sweep;
    s.length = std::hypot(std::fabs(sweep) * 0.5 * (s.r0 + s.r1), static_cast<double>(dz));
    return true;
}

void CheckArcPair(PathsAt at, std::uint8_t code)
{
    PathState& ps = at.paths;
    if (ps.arcHalf != 0 && code != ps.arcHalf + 1) {
        ps.arcHalf = 0;
        at.Fault(error::kBadCommand);
    }
}

void AxisAssign(PathsAt at, const Bytes& p)
{
    int picked[3];
    // A third axis of 0 leaves the assignment usable for plane motion.
    const int count = p[6] == 0 ? 2 : 3;
    if (TakeAxes(at, p, count, picked)) {
        std::memcpy(at.paths.assigned, picked, sizeof(int) * count);
        if (count == 2) {
            at.paths.assigned[2] = -1;
        }
    }
}

void VectorProfile(PathsAt at, const Bytes& p)
{
    ProfileValues& v = at.paths.vector;
    switch (p[0]) {
    case 92: v.sv = U32(p, 2); break;
    case 93: v.v = U32(p, 2); break;
    case 94: v.a = U32(p, 2); break;
    case 95: v.d = U32(p, 2); break;
    case 96: v.k = U32(p, 2); break;
    case 97: v.l = U32(p, 2); break;
    case 98: v.ao = I32(p, 2); break;
    default: break;
    }
}

void Line(PathsAt at, const Bytes& p)
{
    PathState& ps = at.paths;
    const int dims = p[0] == 99 ? 2 : 3;
    if (dims == 3 && ps.assigned[2] < 0) {
        at.Fault(error::kBadCommand);
        return;
    }
    Segment s;
    for (int k = 0; k < dims; ++k) {
        s.d[k] = I32(p, 2 + 4 * k);
    }
    s.length = LineLength(s);
    BeginPath(at, dims, ps.assigned, ps.vector.Resolve(at.ctx.Axis(ps.assigned[0]).maxV));
    AddSegment(at, s, true);
}

void ArcCentre(PathsAt at, const Bytes& p)
{
    PathState& ps = at.paths;
    ps.arcCentre[0] = I32(p, 2);
    ps.arcCentre[1] = I32(p, 6);
    ps.arcHalf = p[0];
}

void ArcOrCircle(PathsAt at, const Bytes& p)
{
    PathState& ps = at.paths;
    const std::uint8_t code = p[0];
    const bool circle = code >= 105;
    if (!circle && ps.arcHalf != code - 1) {
        at.Fault(error::kBadCommand);
        return;
    }
    ps.arcHalf = 0;
    const double cx = circle ? I32(p, 2) : ps.arcCentre[0];
    const double cy = circle ? I32(p, 6) : ps.arcCentre[1];
    const std::int32_t ex = circle ? 0 : I32(p, 2);
    const std::int32_t ey = circle ? 0 : I32(p, 6);
    Segment s;
    if (!MakeArc(cx, cy, ex, ey, 0, code == 102 || code == 105, s)) {
        at.Fault(error::kBadCommand); // no circle has its centre on its own start or end
        return;
    }
    BeginPath(at, 2, ps.assigned, ps.vector.Resolve(at.ctx.Axis(ps.assigned[0]).maxV));
    AddSegment(at, s, true);
}

void ContinuousAxes(PathsAt at, const Bytes& p)
{
    PathState& ps = at.paths;
    const int dims = p[0] == 124 ? 2 : 3;
    int picked[3];
    if (TakeAxes(at, p, dims, picked)) {
        std::memcpy(ps.lineAxes, picked, sizeof(int) * dims);
        ps.lineDims = dims;
    } else {
        ps.lineDims = 0;
    }
}

void ContinuousProfile(PathsAt at, const Bytes& p)
{
    PathState& ps = at.paths;
    if (ps.lineDims != (p[0] == 125 ? 2 : 3)) {
        at.Fault(error::kBadCommand);
        return;
    }
    // The vector set-up gives the shaping (K, L, AO, constant speed).
    ProfileValues values = ps.vector;
    values.d = 0;
    values.sv = U32(p, 2);
    values.v = U32(p, 6);
    values.a = U32(p, 10);
    BeginPath(at, ps.lineDims, ps.lineAxes, values.Resolve(at.ctx.Axis(ps.lineAxes[0]).maxV));
}

void ContinuousLine(PathsAt at, const Bytes& p)
{
    PathState& ps = at.paths;
    const int dims = p[0] == 126 ? 2 : 3;
    if (ps.discarding) {
        return; // the rest of a stopped path
    }
    if (ps.queue.empty() || ps.queue.back().closed || ps.queue.back().dims != dims) {
        at.Fault(error::kBadCommand);
        return;
    }
    Segment s;
    for (int k = 0; k < dims; ++k) {
        s.d[k] = I32(p, 4 + 4 * k);
    }
    s.length = LineLength(s);
    AddSegment(at, s, p[2] != 0);
}

void EndPath(PathsAt at, const Bytes&)
{
    if (!at.paths.queue.empty()) {
        at.paths.queue.back().closed = true;
    }
}

void StopPathsPacket(PathsAt at, const Bytes& p) { StopPaths(at, p[0] == 185); }
void VStopSlowly(PathsAt at, Window&) { StopPaths(at, true); }
void VStopSuddenly(PathsAt at, Window&) { StopPaths(at, false); }

} // namespace detail
} // namespace velkor_sim
