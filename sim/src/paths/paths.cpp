// Interpolated paths. A vector command (line, arc, circle) is a path of its
// own; a continuous path is opened by its INITIAL packets and fed segment by
// segment. The front path starts once its axes are free, runs its segments
// along their length with the vector profile, slowing down only for its end,
// and places each segment exactly on its integer end point. The commands
// that build paths are in paths/path_commands.cpp.
#include "paths/paths.h"

#include "context/context.h"
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

bool TryStartPath(PathsAt at)
{
    PathState& ps = at.paths;
    Path& path = ps.queue.front();
    for (int k = 0; k < path.dims; ++k) {
        const AxisState& a = at.ctx.Axis(path.axis[k]);
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
        ps.segmentStart[k] = at.ctx.Axis(path.axis[k]).lp;
    }
    return true;
}

void FinishPath(PathsAt at)
{
    PathState& ps = at.paths;
    ps.queue.pop_front();
    ps.running = false;
    ps.haveSegment = false;
    ps.slowStop = false;
    ps.speed = 0;
    DriveEnded(at.ctx);
}

void PlacePathAxes(PathsAt at)
{
    const PathState& ps = at.paths;
    const Path& path = ps.queue.front();
    double off[3] = {0, 0, 0};
    if (ps.haveSegment) {
        SegmentOffset(ps.segment, ps.s, off);
    }
    for (int k = 0; k < path.dims; ++k) {
        const std::int64_t whole = ps.segmentStart[k] + static_cast<std::int64_t>(std::llround(off[k]));
        MoveAxisTo(at.ctx, path.axis[k], static_cast<double>(ps.segmentStart[k]) + off[k], whole);
    }
}

} // namespace

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
    queuedSegments = 0;
}

bool AxisInPaths(const PathState& ps, int index) { return ps.queue.HasAxis(index); }

bool PathsMoving(const PathState& ps, const Context& ctx)
{
    if (ps.queue.empty()) {
        return false;
    }
    // A path that waits for segments or for held axes has nothing to do until
    // a packet arrives.
    if (ps.running) {
        return ps.haveSegment || !ps.queue.front().segments.empty() || ps.queue.front().closed;
    }
    for (int k = 0; k < ps.queue.front().dims; ++k) {
        const AxisState& a = ctx.Axis(ps.queue.front().axis[k]);
        if (a.held || a.drive.kind != Drive::Kind::None) {
            return false;
        }
    }
    return true;
}

void StopPaths(PathsAt at, bool slowly)
{
    PathState& ps = at.paths;
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
        DriveEnded(at.ctx);
    }
}

void TrimPaths(PathsAt at)
{
    PathState& ps = at.paths;
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

bool BufferDraining(const PathState& ps, const Context& ctx) { return PathsMoving(ps, ctx); }

void ShiftPathAxis(PathsAt at, int index, std::int64_t delta)
{
    PathState& ps = at.paths;
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

void StepPaths(PathsAt at, double dt)
{
    PathState& ps = at.paths;
    if (ps.queue.empty() || (!ps.running && !TryStartPath(at))) {
        return;
    }
    Path& path = ps.queue.front();
    if (!ps.haveSegment) {
        if (path.segments.empty()) {
            if (path.closed) {
                FinishPath(at);
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
    double ds;
    bool stopHere = false;
    if (ps.slowStop) {
        v = std::max(path.profile.sv, ps.speed - path.profile.d * dt);
        stopHere = v <= path.profile.sv;
        ds = 0.5 * (ps.speed + v) * dt;
    } else {
        v = ps.speed;
        ds = ProfileStep(ps.run, path.profile, remaining, dt, v);
    }
    ps.speed = v;
    while (ps.haveSegment) {
        const double left = ps.segment.length - ps.s;
        // A segment the plan brakes for (the last one the path has, or one
        // with a corner stop) ends on the step the plan reaches its end.
        const bool planned = ps.segment.stopAtEnd || path.segments.empty();
        if (ds < left - (planned ? std::max(1e-9, kOnTheStep * ds) : 0.0)) {
            ps.s += ds;
            break;
        }
        ds = std::max(0.0, ds - left);
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
    PlacePathAxes(at);
    // Soft limits of the path's axes stop the whole path.
    for (int k = 0; k < path.dims; ++k) {
        const int index = path.axis[k];
        const double moved = at.ctx.Axis(index).pos - at.ctx.Axis(index).lastPos;
        std::int64_t lp = at.ctx.Axis(index).lp;
        bool slow = false;
        if (moved != 0 && CheckLimit(at.ctx, index, moved > 0 ? 1 : -1, lp, slow)) {
            if (slow) {
                ps.slowStop = true;
            } else {
                stopHere = true;
            }
        }
    }
    if (stopHere) {
        StopPaths(at, false);
        return;
    }
    if (!ps.haveSegment && path.segments.empty() && path.closed) {
        FinishPath(at);
    } else if (!ps.haveSegment) {
        ps.speed = path.profile.sv; // starved: resumes from the start speed
        ps.run = SpeedRun{};
    }
}

} // namespace detail
} // namespace velkor_sim
