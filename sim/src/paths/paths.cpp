// Interpolated paths. A vector command (line, arc, circle) is a path of its
// own; a continuous path is opened by its INITIAL packets and fed segment by
// segment. The front path starts once its axes are free, runs its segments
// along their length with the vector profile, slowing down only for its end,
// and places each segment exactly on its integer end point.
#include "paths/paths.h"

#include "firmware/firmware.h"
#include "axis/drives.h"
#include "axis/speed_shape.h"
#include "axis/axis_config.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace velkor_sim {
namespace detail {
namespace {

// Where a segment puts its axes after s pulses along it, relative to its start.
void SegmentOffset(const Segment& seg, double s, double out[3])
{
    if (seg.length <= 0 || s >= seg.length) {
        for (int k = 0; k < 3; ++k) {
            out[k] = seg.d[k];
        }
        return;
    }
    const double t = s / seg.length;
    if (!seg.arc) {
        for (int k = 0; k < 3; ++k) {
            out[k] = seg.d[k] * t;
        }
        return;
    }
    // The radius runs from the start radius to the end radius, so an end point
    // not quite on the circle is still reached exactly.
    const double angle = seg.a0 + seg.sweep * t;
    const double r = seg.r0 + (seg.r1 - seg.r0) * t;
    out[0] = seg.centre[0] + r * std::cos(angle);
    out[1] = seg.centre[1] + r * std::sin(angle);
    out[2] = seg.d[2] * t; // a helix: the third axis moves evenly along the arc
}

bool TryStartPath(Firmware& fw)
{
    PathState& ps = fw.paths;
    Path& path = ps.queue.front();
    for (int k = 0; k < path.dims; ++k) {
        const AxisState& a = fw.axes[path.axis[k]];
        if (a.held || a.drive.kind != Drive::Kind::None) {
            return false;
        }
    }
    ps.running = true;
    ps.haveSegment = false;
    ps.slowStop = false;
    ps.s = 0;
    ps.speed = path.profile.sv;
    ps.run = SpeedRun{};
    for (int k = 0; k < path.dims; ++k) {
        ps.segmentStart[k] = fw.axes[path.axis[k]].lp;
    }
    return true;
}

void FinishPath(Firmware& fw)
{
    PathState& ps = fw.paths;
    ps.queue.pop_front();
    ps.running = false;
    ps.haveSegment = false;
    ps.slowStop = false;
    ps.speed = 0;
    DriveEnded(fw);
}

void PlacePathAxes(Firmware& fw)
{
    const PathState& ps = fw.paths;
    const Path& path = ps.queue.front();
    double off[3] = {0, 0, 0};
    if (ps.haveSegment) {
        SegmentOffset(ps.segment, ps.s, off);
    }
    for (int k = 0; k < path.dims; ++k) {
        const std::int64_t whole = ps.segmentStart[k] + static_cast<std::int64_t>(std::llround(off[k]));
        MoveAxisTo(fw, path.axis[k], static_cast<double>(ps.segmentStart[k]) + off[k], whole);
    }
}

} // namespace

bool TakeAxes(Firmware& fw, const Bytes& p, int count, int* out)
{
    const std::uint8_t selectors[3] = {p[2], p[4], p[6]};
    return PickAxes(fw, selectors, count, out);
}

bool PickAxes(Firmware& fw, const std::uint8_t* selectors, int count, int* out)
{
    int picked[3] = {};
    for (int k = 0; k < count; ++k) {
        picked[k] = SingleAxis(selectors[k]);
        if (picked[k] < 0 || (k > 0 && picked[k] == picked[0]) || (k > 1 && picked[k] == picked[1])) {
            fw.Fault(error::kBadCommand);
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

void BeginPath(Firmware& fw, int dims, const int* axis, const Profile& profile)
{
    fw.paths.discarding = false;
    Path path;
    path.dims = dims;
    for (int k = 0; k < dims; ++k) {
        path.axis[k] = axis[k];
    }
    path.profile = profile;
    fw.paths.queue.push_back(path);
}

void AddSegment(Firmware& fw, const Segment& segment, bool last)
{
    Path& path = fw.paths.queue.back();
    path.segments.push_back(segment);
    path.queuedLength += segment.length;
    path.closed = last;
    ++fw.paths.queuedSegments;
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

namespace {

// After paths or segments were dropped in bulk.
void Recount(PathState& ps)
{
    ps.queuedSegments = 0;
    for (const Path& path : ps.queue) {
        ps.queuedSegments += path.segments.size();
    }
}

} // namespace

void PathState::Reset()
{
    vector = ProfileValues{};
    queue.clear();
    running = false;
    haveSegment = false;
    discarding = false;
    arcHalf = 0;
    queuedSegments = 0;
}

bool AxisInPaths(const Firmware& fw, int index)
{
    for (const Path& path : fw.paths.queue) {
        for (int k = 0; k < path.dims; ++k) {
            if (path.axis[k] == index) {
                return true;
            }
        }
    }
    return false;
}

bool PathsMoving(const Firmware& fw)
{
    const PathState& ps = fw.paths;
    if (ps.queue.empty()) {
        return false;
    }
    // A path that waits for segments or for held axes has nothing to do until
    // a packet arrives.
    if (ps.running) {
        return ps.haveSegment || !ps.queue.front().segments.empty() || ps.queue.front().closed;
    }
    for (int k = 0; k < ps.queue.front().dims; ++k) {
        const AxisState& a = fw.axes[ps.queue.front().axis[k]];
        if (a.held || a.drive.kind != Drive::Kind::None) {
            return false;
        }
    }
    return true;
}

void StopPaths(Firmware& fw, bool slowly)
{
    PathState& ps = fw.paths;
    if (ps.queue.empty()) {
        return;
    }
    // Paths queued behind the running one are dropped at once, and so are the
    // segments still to come of the path the stop hits.
    while (ps.queue.size() > 1) {
        ps.queue.pop_back();
    }
    Recount(ps);
    ps.discarding = true;
    if (slowly && ps.running && ps.haveSegment) {
        ps.slowStop = true;
        return;
    }
    // The axes stay where the last step put them.
    const bool wasRunning = ps.running;
    ps.queue.clear();
    ps.queuedSegments = 0;
    ps.running = false;
    ps.haveSegment = false;
    ps.slowStop = false;
    ps.speed = 0;
    if (wasRunning) {
        DriveEnded(fw);
    }
}

void TrimPaths(Firmware& fw)
{
    PathState& ps = fw.paths;
    while (ps.queue.size() > (ps.running ? 1u : 0u)) {
        ps.queue.pop_back();
    }
    if (!ps.queue.empty()) {
        Path& running = ps.queue.front();
        running.segments.clear();
        running.queuedLength = 0;
        running.closed = true;
    }
    ps.queuedSegments = 0;
}

bool AddsSegment(std::uint8_t code)
{
    switch (code) {
    case 99: case 100: case 102: case 104: case 105: case 106: case 126: case 129:
    case 123: case 133: case 134: case 135: case 138: case 141: case 145: return true;
    default: return false;
    }
}

bool BufferDraining(const Firmware& fw) { return PathsMoving(fw); }

void ShiftPathAxis(Firmware& fw, int index, std::int64_t delta)
{
    PathState& ps = fw.paths;
    if (!ps.running) {
        return;
    }
    const Path& path = ps.queue.front();
    for (int k = 0; k < path.dims; ++k) {
        if (path.axis[k] == index) {
            ps.segmentStart[k] += delta;
        }
    }
}

void StepPaths(Firmware& fw, double dt)
{
    PathState& ps = fw.paths;
    if (ps.queue.empty() || (!ps.running && !TryStartPath(fw))) {
        return;
    }
    Path& path = ps.queue.front();
    if (!ps.haveSegment) {
        if (path.segments.empty()) {
            if (path.closed) {
                FinishPath(fw);
            }
            return; // an open path waits for its next segment
        }
        ps.segment = path.segments.front();
        path.segments.pop_front();
        path.queuedLength -= ps.segment.length;
        --ps.queuedSegments;
        ps.haveSegment = true;
        ps.s = 0;
        ps.speed = path.profile.sv;
        ps.run = SpeedRun{};
    }
    // A path that stops at its corners brakes for the end of every segment.
    const double remaining = (ps.segment.length - ps.s) + (ps.segment.stopAtEnd ? 0.0 : path.queuedLength);
    double v;
    bool stopHere = false;
    if (ps.slowStop) {
        v = std::max(path.profile.sv, ps.speed - path.profile.d * dt);
        stopHere = v <= path.profile.sv;
    } else {
        v = ShapedSpeed(ps.run, ps.speed, path.profile, remaining, dt);
    }
    double ds = 0.5 * (ps.speed + v) * dt;
    ps.speed = v;
    while (ps.haveSegment) {
        const double left = ps.segment.length - ps.s;
        if (ds < left) {
            ps.s += ds;
            break;
        }
        ds -= left;
        for (int k = 0; k < path.dims; ++k) {
            ps.segmentStart[k] += ps.segment.d[k];
        }
        if (ps.segment.stopAtEnd) {
            ds = 0; // the next segment sets off from the start speed
            ps.speed = path.profile.sv;
            ps.run = SpeedRun{};
        }
        ps.haveSegment = false;
        ps.s = 0;
        if (!path.segments.empty()) {
            ps.segment = path.segments.front();
            path.segments.pop_front();
            path.queuedLength -= ps.segment.length;
            --ps.queuedSegments;
            ps.haveSegment = true;
        }
    }
    PlacePathAxes(fw);
    // Soft limits of the path's axes stop the whole path.
    for (int k = 0; k < path.dims; ++k) {
        const int index = path.axis[k];
        const double moved = fw.axes[index].pos - fw.axes[index].lastPos;
        std::int64_t lp = fw.axes[index].lp;
        bool slow = false;
        if (moved != 0 && CheckLimit(fw, index, moved > 0 ? 1 : -1, lp, slow)) {
            if (slow) {
                ps.slowStop = true;
            } else {
                stopHere = true;
            }
        }
    }
    if (stopHere) {
        StopPaths(fw, false);
        return;
    }
    if (!ps.haveSegment && path.segments.empty() && path.closed) {
        FinishPath(fw);
    } else if (!ps.haveSegment) {
        ps.speed = path.profile.sv; // starved: resumes from the start speed
        ps.run = SpeedRun{};
    }
}

void CheckArcPair(Firmware& fw, std::uint8_t code)
{
    PathState& ps = fw.paths;
    if (ps.arcHalf != 0 && code != ps.arcHalf + 1) {
        ps.arcHalf = 0;
        fw.Fault(error::kBadCommand);
    }
}

void AxisAssign(Firmware& fw, const Bytes& p)
{
    int picked[3];
    // A third axis of 0 leaves the assignment usable for plane motion.
    const int count = p[6] == 0 ? 2 : 3;
    if (TakeAxes(fw, p, count, picked)) {
        std::memcpy(fw.paths.assigned, picked, sizeof(int) * count);
        if (count == 2) {
            fw.paths.assigned[2] = -1;
        }
    }
}

void VectorProfile(Firmware& fw, const Bytes& p)
{
    ProfileValues& v = fw.paths.vector;
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

void Line(Firmware& fw, const Bytes& p)
{
    PathState& ps = fw.paths;
    const int dims = p[0] == 99 ? 2 : 3;
    if (dims == 3 && ps.assigned[2] < 0) {
        fw.Fault(error::kBadCommand);
        return;
    }
    Segment s;
    for (int k = 0; k < dims; ++k) {
        s.d[k] = I32(p, 2 + 4 * k);
    }
    s.length = LineLength(s);
    BeginPath(fw, dims, ps.assigned, ps.vector.Resolve(fw.axes[ps.assigned[0]].maxV));
    AddSegment(fw, s, true);
}

void ArcCentre(Firmware& fw, const Bytes& p)
{
    PathState& ps = fw.paths;
    ps.arcCentre[0] = I32(p, 2);
    ps.arcCentre[1] = I32(p, 6);
    ps.arcHalf = p[0];
}

void ArcOrCircle(Firmware& fw, const Bytes& p)
{
    PathState& ps = fw.paths;
    const std::uint8_t code = p[0];
    const bool circle = code >= 105;
    if (!circle && ps.arcHalf != code - 1) {
        fw.Fault(error::kBadCommand);
        return;
    }
    ps.arcHalf = 0;
    const double cx = circle ? I32(p, 2) : ps.arcCentre[0];
    const double cy = circle ? I32(p, 6) : ps.arcCentre[1];
    const std::int32_t ex = circle ? 0 : I32(p, 2);
    const std::int32_t ey = circle ? 0 : I32(p, 6);
    Segment s;
    if (!MakeArc(cx, cy, ex, ey, 0, code == 102 || code == 105, s)) {
        fw.Fault(error::kBadCommand); // no circle has its centre on its own start or end
        return;
    }
    BeginPath(fw, 2, ps.assigned, ps.vector.Resolve(fw.axes[ps.assigned[0]].maxV));
    AddSegment(fw, s, true);
}

void ContinuousAxes(Firmware& fw, const Bytes& p)
{
    PathState& ps = fw.paths;
    const int dims = p[0] == 124 ? 2 : 3;
    int picked[3];
    if (TakeAxes(fw, p, dims, picked)) {
        std::memcpy(ps.lineAxes, picked, sizeof(int) * dims);
        ps.lineDims = dims;
    } else {
        ps.lineDims = 0;
    }
}

void ContinuousProfile(Firmware& fw, const Bytes& p)
{
    PathState& ps = fw.paths;
    if (ps.lineDims != (p[0] == 125 ? 2 : 3)) {
        fw.Fault(error::kBadCommand);
        return;
    }
    // The vector set-up gives the shaping (K, L, AO, constant speed).
    ProfileValues values = ps.vector;
    values.d = 0;
    values.sv = U32(p, 2);
    values.v = U32(p, 6);
    values.a = U32(p, 10);
    BeginPath(fw, ps.lineDims, ps.lineAxes, values.Resolve(fw.axes[ps.lineAxes[0]].maxV));
}

void ContinuousLine(Firmware& fw, const Bytes& p)
{
    PathState& ps = fw.paths;
    const int dims = p[0] == 126 ? 2 : 3;
    if (ps.discarding) {
        return; // the rest of a stopped path
    }
    if (ps.queue.empty() || ps.queue.back().closed || ps.queue.back().dims != dims) {
        fw.Fault(error::kBadCommand);
        return;
    }
    Segment s;
    for (int k = 0; k < dims; ++k) {
        s.d[k] = I32(p, 4 + 4 * k);
    }
    s.length = LineLength(s);
    AddSegment(fw, s, p[2] != 0);
}

void EndPath(Firmware& fw, const Bytes&)
{
    if (!fw.paths.queue.empty()) {
        fw.paths.queue.back().closed = true;
    }
}

} // namespace detail
} // namespace velkor_sim
