// The path commands: picking the axes of a path, building it segment by
// segment (lines, arcs, circles), and the handlers of the vector commands
// and continuous paths that feed the command buffer (paths/paths.cpp runs
// it).
#include "paths/paths.h"

#include "axis/axis_config.h"
#include "axis/drives.h"
#include "axis/speed_shape.h"
#include "context/context.h"
#include "protocol/command.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace velkor_sim {
namespace detail {
namespace {

constexpr auto kAssign1 = U8Field({90}, "axis1");
constexpr auto kAssign2 = U8Field({90}, "axis2");
constexpr auto kAssign3 = U8Field({90}, "axis3");
constexpr auto kVectorValue = U32Field({92, 93, 94, 95, 96, 97}, "data");
constexpr auto kVectorOffset = I32Field({98}, "data");
constexpr auto kLineX = I32Field({99, 100}, "x");
constexpr auto kLineY = I32Field({99, 100}, "y");
constexpr auto kLineZ = I32Field({100}, "z");
constexpr auto kArcCentreX = I32Field({101, 103}, "centre_x");
constexpr auto kArcCentreY = I32Field({101, 103}, "centre_y");
constexpr auto kArcEndX = I32Field({102, 104}, "end_x");
constexpr auto kArcEndY = I32Field({102, 104}, "end_y");
constexpr auto kCircleCentreX = I32Field({105, 106}, "centre_x");
constexpr auto kCircleCentreY = I32Field({105, 106}, "centre_y");
constexpr auto kOpenAxis1 = U8Field({124, 127}, "axis1");
constexpr auto kOpenAxis2 = U8Field({124, 127}, "axis2");
constexpr auto kOpenAxis3 = U8Field({127}, "axis3");
constexpr auto kOpenSv = U32Field({125, 128}, "sv");
constexpr auto kOpenV = U32Field({125, 128}, "v");
constexpr auto kOpenA = U32Field({125, 128}, "a");
constexpr auto kSegmentEnd = U8Field({126, 129}, "end");
constexpr auto kSegmentX = I32Field({126, 129}, "x");
constexpr auto kSegmentY = I32Field({126, 129}, "y");
constexpr auto kSegmentZ = I32Field({129}, "z");

} // namespace

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

void AxisAssign(PathsAt at, const Command& cmd)
{
    int picked[3];
    const std::uint8_t selectors[3] = {cmd[kAssign1], cmd[kAssign2], cmd[kAssign3]};
    // A third axis of 0 leaves the assignment usable for plane motion.
    const int count = selectors[2] == 0 ? 2 : 3;
    if (PickAxes(at, selectors, count, picked)) {
        std::memcpy(at.paths.assigned, picked, sizeof(int) * count);
        if (count == 2) {
            at.paths.assigned[2] = -1;
        }
    }
}

void VectorProfile(PathsAt at, const Command& cmd)
{
    ProfileValues& v = at.paths.vector;
    switch (cmd.Code()) {
    case 92: v.sv = cmd[kVectorValue]; break;
    case 93: v.v = cmd[kVectorValue]; break;
    case 94: v.a = cmd[kVectorValue]; break;
    case 95: v.d = cmd[kVectorValue]; break;
    case 96: v.k = cmd[kVectorValue]; break;
    case 97: v.l = cmd[kVectorValue]; break;
    case 98: v.ao = cmd[kVectorOffset]; break;
    default: break;
    }
}

void Line(PathsAt at, const Command& cmd)
{
    PathState& ps = at.paths;
    const int dims = cmd.Code() == 99 ? 2 : 3;
    if (dims == 3 && ps.assigned[2] < 0) {
        at.Fault(error::kBadCommand);
        return;
    }
    Segment s;
    s.d[0] = cmd[kLineX];
    s.d[1] = cmd[kLineY];
    s.d[2] = dims == 3 ? cmd[kLineZ] : 0;
    s.length = LineLength(s);
    BeginPath(at, dims, ps.assigned, ps.vector.Resolve(at.ctx.Axis(ps.assigned[0]).maxV));
    AddSegment(at, s, true);
}

void ArcOrCircle(PathsAt at, const Command& cmd)
{
    PathState& ps = at.paths;
    const std::uint8_t code = cmd.Code();
    const bool circle = code >= 105;
    const double cx = circle ? cmd[kCircleCentreX] : cmd[kArcCentreX];
    const double cy = circle ? cmd[kCircleCentreY] : cmd[kArcCentreY];
    const std::int32_t ex = circle ? 0 : cmd[kArcEndX];
    const std::int32_t ey = circle ? 0 : cmd[kArcEndY];
    Segment s;
    if (!MakeArc(cx, cy, ex, ey, 0, code == 101 || code == 105, s)) {
        at.Fault(error::kBadCommand); // no circle has its centre on its own start or end
        return;
    }
    BeginPath(at, 2, ps.assigned, ps.vector.Resolve(at.ctx.Axis(ps.assigned[0]).maxV));
    AddSegment(at, s, true);
}

void ContinuousAxes(PathsAt at, const Command& cmd)
{
    PathState& ps = at.paths;
    const int dims = cmd.Code() == 124 ? 2 : 3;
    const std::uint8_t selectors[3] = {cmd[kOpenAxis1], cmd[kOpenAxis2], dims == 3 ? cmd[kOpenAxis3] : std::uint8_t{0}};
    int picked[3];
    if (PickAxes(at, selectors, dims, picked)) {
        std::memcpy(ps.lineAxes, picked, sizeof(int) * dims);
        ps.lineDims = dims;
    } else {
        ps.lineDims = 0;
    }
}

void ContinuousProfile(PathsAt at, const Command& cmd)
{
    PathState& ps = at.paths;
    if (ps.lineDims != (cmd.Code() == 125 ? 2 : 3)) {
        at.Fault(error::kBadCommand);
        return;
    }
    // The vector set-up gives the shaping (K, L, AO, constant speed).
    ProfileValues values = ps.vector;
    values.d = 0;
    values.sv = cmd[kOpenSv];
    values.v = cmd[kOpenV];
    values.a = cmd[kOpenA];
    BeginPath(at, ps.lineDims, ps.lineAxes, values.Resolve(at.ctx.Axis(ps.lineAxes[0]).maxV));
}

void ContinuousLine(PathsAt at, const Command& cmd)
{
    PathState& ps = at.paths;
    const int dims = cmd.Code() == 126 ? 2 : 3;
    if (ps.discarding) {
        return; // the rest of a stopped path
    }
    if (ps.queue.empty() || ps.queue.back().closed || ps.queue.back().dims != dims) {
        at.Fault(error::kBadCommand);
        return;
    }
    Segment s;
    s.d[0] = cmd[kSegmentX];
    s.d[1] = cmd[kSegmentY];
    s.d[2] = dims == 3 ? cmd[kSegmentZ] : 0;
    s.length = LineLength(s);
    AddSegment(at, s, cmd[kSegmentEnd] != 0);
}

void EndPath(PathsAt at, const Command&)
{
    if (!at.paths.queue.empty()) {
        at.paths.queue.back().closed = true;
    }
}

void StopPathsPacket(PathsAt at, const Command& cmd) { StopPaths(at, cmd.Code() == 185); }
void VStopSlowly(PathsAt at, Window&) { StopPaths(at, true); }
void VStopSuddenly(PathsAt at, Window&) { StopPaths(at, false); }

} // namespace detail
} // namespace velkor_sim
