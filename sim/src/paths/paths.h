// Interpolated paths: straight and circular segments over two or three axes,
// played along their length with a vector profile. Vector commands, arcs and
// continuous paths queue here; the motion step runs the front path.
#ifndef VELKOR_SIM_PATHS_PATHS_H
#define VELKOR_SIM_PATHS_PATHS_H

#include "protocol/fields.h"
#include "axis/axis.h"
#include "context/context.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>

namespace velkor_sim {
namespace detail {

class Command;
class Context;
struct SpecialPaths;

// One straight or circular piece of an interpolated path, relative to its start.
struct Segment {
    bool arc = false;
    std::int32_t d[3] = {0, 0, 0}; // displacement to the end point
    double centre[2] = {0, 0};     // arcs: centre relative to the start
    double r0 = 0, r1 = 0;         // arcs: radius at the start and at the end
    double a0 = 0, sweep = 0;      // arcs: start angle and signed sweep, radians
    double length = 0;
    bool stopAtEnd = false;        // the path slows to its start speed at the end of this segment
};

// An interpolated path: its axes, profile and the segments not yet started.
struct Path {
    int dims = 2;
    int axis[3] = {0, 1, 2}; // axis indexes 0..3
    Profile profile;
    std::deque<Segment> segments;
    double queuedLength = 0;
    bool closed = false; // the segment that ends the path has arrived
};

// The paths queued and running, front first, with how many of them each axis
// belongs to: whether an axis is in a path is asked for every axis at every
// packet and motion step, and must not cost a walk through the queue, which
// grows without bound while paths wait behind a hold. A path's axes stay as
// queued; only its segments change.
class PathQueue {
public:
    bool empty() const { return paths_.empty(); }
    std::size_t size() const { return paths_.size(); }
    Path& front() { return paths_.front(); }
    const Path& front() const { return paths_.front(); }
    Path& back() { return paths_.back(); }
    const Path& back() const { return paths_.back(); }
    std::deque<Path>::const_iterator begin() const { return paths_.begin(); }
    std::deque<Path>::const_iterator end() const { return paths_.end(); }

    void push_back(const Path& path)
    {
        paths_.push_back(path);
        Count(path, 1);
    }
    void pop_front()
    {
        Count(paths_.front(), -1);
        paths_.pop_front();
    }
    void pop_back()
    {
        Count(paths_.back(), -1);
        paths_.pop_back();
    }
    void clear()
    {
        paths_.clear();
        inPaths_.fill(0);
    }
    bool HasAxis(int index) const { return inPaths_[index] != 0; }

private:
    void Count(const Path& path, int by)
    {
        for (int k = 0; k < path.dims; ++k) {
            inPaths_[path.axis[k]] += by;
        }
    }
    std::deque<Path> paths_;
    std::array<std::ptrdiff_t, kAxisCount> inPaths_{}; // paths each axis index belongs to
};

struct PathState {
    // Set-up of vector motion
    int assigned[3] = {0, 1, 2}; // AXIS_ASSIGN; assigned[2] -1 for plane motion only
    ProfileValues vector;
    int lineAxes[3] = {0, 1, 2}; // axes of the continuous path being opened
    int lineDims = 2;

    // The queue and the path running
    PathQueue queue; // front: the path running or next to run
    bool running = false;
    bool haveSegment = false;
    Segment segment;
    double s = 0;
    std::int64_t segmentStart[3] = {0, 0, 0};
    double speed = 0;
    SpeedRun run;
    bool slowStop = false;
    bool discarding = false; // segments of a stopped path are dropped until a new path begins
    // Segments queued and not yet started, in every path: the command buffer.
    std::size_t queuedSegments = 0;

    void Reset();
};

// What the paths work on: their own state (the command buffer, the special
// paths' set-up) and the context for the rest of the module.
struct PathsAt {
    PathState& paths;
    SpecialPaths& special;
    Context& ctx;

    void Fault(std::uint16_t bits) const { ctx.Fault(bits); }
};

// Building paths, for the families that make them.
// Opens a path over `dims` axes (indexes) with a profile, behind the paths queued.
void BeginPath(PathsAt at, int dims, const int* axis, const Profile& profile);
// Adds a segment to the path opened last; `last` closes it.
void AddSegment(PathsAt at, const Segment& segment, bool last);
double LineLength(const Segment& s);
// An arc from the start about the centre (cx, cy) to the end (ex, ey), all
// relative to the start, with the third axis moving by dz along it. False
// (nothing made) when the centre lies on the start or the end.
bool MakeArc(double cx, double cy, std::int32_t ex, std::int32_t ey, std::int32_t dz, bool clockwise, Segment& s);
// Picks `count` interpolation axes from their selectors: each must be one
// axis, and a different one; otherwise the bad-command bit is set and false
// returned.
bool PickAxes(PathsAt at, const std::uint8_t* selectors, int count, int* out);

// Whether axis `index` belongs to a path queued or running.
bool AxisInPaths(const PathState& ps, int index);
// Whether the front path has anything to do without a new packet.
bool PathsMoving(const PathState& ps, const Context& ctx);
// Stops the running path (slowly: decelerating along it) and drops the rest.
void StopPaths(PathsAt at, bool slowly);
// CLEAR_CARD_BUFFER: every segment not yet started is dropped, with the paths
// that have not started; the running path ends at the end of its segment.
void TrimPaths(PathsAt at);
// Whether the packet adds a segment to the command buffer (a line, the second
// half of an arc, a circle, a continuous segment).
bool AddsSegment(std::uint8_t code);
// Whether the motion is using up the command buffer by itself: the front path
// runs with segments to go, or can start. While it cannot (it waits for
// DRV_START, for an axis to come free, or for its own next segment), only the
// host could free room, so the buffer does not hold the host.
bool BufferDraining(const PathState& ps, const Context& ctx);
// A preset moved axis `index` by delta pulses: the running path follows it.
void ShiftPathAxis(PathsAt at, int index, std::int64_t delta);
// One motion step of the front path.
void StepPaths(PathsAt at, double dt);

// Packet handlers
void AxisAssign(PathsAt at, const Command& cmd);        // 90
void VectorProfile(PathsAt at, const Command& cmd);     // 92..98
void Line(PathsAt at, const Command& cmd);              // 99, 100
void ArcOrCircle(PathsAt at, const Command& cmd);       // 101/102, 103/104 (two packets), 105, 106
void ContinuousAxes(PathsAt at, const Command& cmd);    // 124, 127
void ContinuousProfile(PathsAt at, const Command& cmd); // 125, 128
void ContinuousLine(PathsAt at, const Command& cmd);    // 126, 129
void EndPath(PathsAt at, const Command& cmd);           // 188
void StopPathsPacket(PathsAt at, const Command& cmd);   // 185, 186 (recorded in a program)
// Exchange handlers
void VStopSlowly(PathsAt at, Window& w);   // 185
void VStopSuddenly(PathsAt at, Window& w); // 186

} // namespace detail
} // namespace velkor_sim

#endif
