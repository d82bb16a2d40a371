// The motion model: single-axis drives with trapezoidal (or triangular)
// speed profiles, and interpolated paths of straight and circular segments
// played along their length with a vector profile.
//
// Each step integrates the speed with the profile's acceleration until the
// remaining distance is no longer than the braking distance, then
// decelerates to the start speed and creeps at it until the end. Positions
// are kept exact in doubles; the LP counter is their whole part, and the end
// of each move or segment is placed on its integer end point, so the counters
// always end exactly where they were sent.
#include "firmware.h"

#include <algorithm>
#include <cmath>

namespace velkor_sim {
namespace detail {
namespace {

constexpr std::uint8_t kFactorDriveEnd = 0x01;

// The speed after one step of dt towards the end `remaining` pulses away
// (infinite for a continuous move).
double NextSpeed(double v, const Profile& p, double remaining, double dt)
{
    const double brake = v > p.sv ? (v * v - p.sv * p.sv) / (2 * p.d) : 0;
    if (remaining - v * dt <= brake) {
        return std::max(p.sv, v - p.d * dt);
    }
    return std::min(p.v, std::max(v, p.sv) + p.a * dt);
}

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
    out[2] = 0;
}

} // namespace

bool Firmware::AxisInPaths(int index) const
{
    for (const Path& path : paths_) {
        for (int k = 0; k < path.dims; ++k) {
            if (path.axis[k] == index) {
                return true;
            }
        }
    }
    return false;
}

bool Firmware::AxisDriving(int index) const
{
    const AxisState& a = axes[index];
    return a.drive.kind != Drive::Kind::None || a.pending.kind != Drive::Kind::None || AxisInPaths(index);
}

bool Firmware::Moving() const
{
    for (const AxisState& a : axes) {
        if (a.drive.kind != Drive::Kind::None) {
            return true;
        }
    }
    if (paths_.empty()) {
        return false;
    }
    // A path that waits for segments or for held axes has nothing to do until
    // a packet arrives.
    if (pathRunning_) {
        return haveSegment_ || !paths_.front().segments.empty() || paths_.front().closed;
    }
    for (int k = 0; k < paths_.front().dims; ++k) {
        const AxisState& a = axes[paths_.front().axis[k]];
        if (a.held || a.drive.kind != Drive::Kind::None) {
            return false;
        }
    }
    return true;
}

void Firmware::StartMove(std::uint8_t mask, Drive::Kind kind, std::int32_t value)
{
    if (mask == 0 || mask > 0x0F) {
        Fault(error::kBadCommand);
        return;
    }
    for (int i = 0; i < kAxisCount; ++i) {
        if (!(mask & (1u << i))) {
            continue;
        }
        AxisState& a = axes[i];
        if (AxisDriving(i)) {
            a.error |= error::kAxisBusy;
            continue;
        }
        if (kind == Drive::Kind::Fixed && value == 0) {
            continue;
        }
        Drive d;
        d.kind = kind;
        d.dir = value < 0 ? -1 : 1;
        d.target = std::fabs(static_cast<double>(value));
        d.profile = a.profile.Resolve(a.maxV);
        d.speed = d.profile.sv;
        d.start = a.lp;
        (a.held ? a.pending : a.drive) = d;
    }
}

void Firmware::StopAxes(std::uint8_t mask, bool slowly)
{
    bool pathHit = false;
    for (int i = 0; i < kAxisCount; ++i) {
        if (!(mask & (1u << i))) {
            continue;
        }
        AxisState& a = axes[i];
        a.pending = Drive{};
        if (a.drive.kind != Drive::Kind::None) {
            if (slowly) {
                a.drive.slowStop = true;
            } else {
                a.drive = Drive{};
                a.speed = 0;
                a.acceleration = 0;
                DriveEnded();
            }
        }
        pathHit = pathHit || AxisInPaths(i);
    }
    if (pathHit) {
        StopPaths(slowly);
    }
}

void Firmware::StopPaths(bool slowly)
{
    if (paths_.empty()) {
        return;
    }
    // Paths queued behind the running one are dropped at once, and so are the
    // segments still to come of the path the stop hits.
    while (paths_.size() > 1) {
        paths_.pop_back();
    }
    discarding_ = true;
    if (slowly && pathRunning_ && haveSegment_) {
        pathSlowStop_ = true;
        return;
    }
    // The axes stay where the last step put them.
    const bool wasRunning = pathRunning_;
    paths_.clear();
    pathRunning_ = false;
    haveSegment_ = false;
    pathSlowStop_ = false;
    pathSpeed_ = 0;
    if (wasRunning) {
        DriveEnded();
    }
}

void Firmware::BeginPath(int dims, const int* axis, const Profile& profile)
{
    discarding_ = false;
    Path path;
    path.dims = dims;
    for (int k = 0; k < dims; ++k) {
        path.axis[k] = axis[k];
    }
    path.profile = profile;
    paths_.push_back(path);
}

void Firmware::AddSegment(const Segment& segment, bool last)
{
    Path& path = paths_.back();
    path.segments.push_back(segment);
    path.queuedLength += segment.length;
    path.closed = last;
}

void Firmware::DriveEnded() { Raise(kFactorDriveEnd); }

void Firmware::MoveAxisTo(int index, double pos, std::int64_t lp)
{
    AxisState& a = axes[index];
    a.ep += lp - a.lp;
    a.lp = lp;
    a.pos = pos;
}

// Applies the soft limits to a new whole position of an axis moving in
// direction dir. Returns true when a limit was reached: lp is then placed on
// the limit (or left where it was, if it already lay beyond), and slow tells
// whether the axis is to decelerate rather than stop at once.
bool Firmware::CheckLimit(int index, int dir, std::int64_t& lp, bool& slow)
{
    AxisState& a = axes[index];
    if (!a.softLimits) {
        return false;
    }
    if (dir > 0 && lp > a.limitPlus) {
        a.error |= error::kSoftLimitPlus;
        lp = std::max<std::int64_t>(a.limitPlus, a.lp);
    } else if (dir < 0 && lp < a.limitMinus) {
        a.error |= error::kSoftLimitMinus;
        lp = std::min<std::int64_t>(a.limitMinus, a.lp);
    } else {
        return false;
    }
    slow = a.limitMode != 0;
    return true;
}

void Firmware::StepDrive(int index, double dt)
{
    AxisState& a = axes[index];
    Drive& d = a.drive;
    const bool fixed = d.kind == Drive::Kind::Fixed;
    const double remaining = fixed ? d.target - d.done : 1e300;
    double v;
    bool ends = false;
    if (d.slowStop) {
        v = std::max(0.0, d.speed - d.profile.d * dt);
        if (v <= d.profile.sv) {
            v = d.profile.sv;
            ends = true;
        }
    } else {
        v = NextSpeed(d.speed, d.profile, remaining, dt);
    }
    double ds = 0.5 * (d.speed + v) * dt;
    if (fixed && ds >= remaining) {
        ds = remaining;
        ends = true;
    }
    d.done = fixed && ends && !d.slowStop ? d.target : d.done + ds;
    d.speed = v;
    std::int64_t lp = d.start + d.dir * static_cast<std::int64_t>(std::floor(d.done));
    double pos = static_cast<double>(d.start) + d.dir * d.done;
    bool slow = false;
    if (CheckLimit(index, d.dir, lp, slow)) {
        if (slow && !d.slowStop) {
            d.slowStop = true; // runs on past the limit by the braking distance
            lp = d.start + d.dir * static_cast<std::int64_t>(std::floor(d.done));
        } else if (!slow) {
            pos = static_cast<double>(lp);
            ends = true;
        }
    }
    MoveAxisTo(index, pos, lp);
    if (ends) {
        d = Drive{};
        DriveEnded();
    }
}

bool Firmware::TryStartPath()
{
    Path& path = paths_.front();
    for (int k = 0; k < path.dims; ++k) {
        const AxisState& a = axes[path.axis[k]];
        if (a.held || a.drive.kind != Drive::Kind::None) {
            return false;
        }
    }
    pathRunning_ = true;
    haveSegment_ = false;
    pathSlowStop_ = false;
    s_ = 0;
    pathSpeed_ = path.profile.sv;
    for (int k = 0; k < path.dims; ++k) {
        segmentStart_[k] = axes[path.axis[k]].lp;
    }
    return true;
}

void Firmware::FinishPath()
{
    paths_.pop_front();
    pathRunning_ = false;
    haveSegment_ = false;
    pathSlowStop_ = false;
    pathSpeed_ = 0;
    DriveEnded();
}

void Firmware::PlacePathAxes()
{
    const Path& path = paths_.front();
    double off[3] = {0, 0, 0};
    if (haveSegment_) {
        SegmentOffset(segment_, s_, off);
    }
    for (int k = 0; k < path.dims; ++k) {
        const std::int64_t whole = segmentStart_[k] + static_cast<std::int64_t>(std::llround(off[k]));
        MoveAxisTo(path.axis[k], static_cast<double>(segmentStart_[k]) + off[k], whole);
    }
}

void Firmware::StepPaths(double dt)
{
    if (paths_.empty() || (!pathRunning_ && !TryStartPath())) {
        return;
    }
    Path& path = paths_.front();
    if (!haveSegment_) {
        if (path.segments.empty()) {
            if (path.closed) {
                FinishPath();
            }
            return; // an open path waits for its next segment
        }
        segment_ = path.segments.front();
        path.segments.pop_front();
        path.queuedLength -= segment_.length;
        haveSegment_ = true;
        s_ = 0;
        pathSpeed_ = path.profile.sv;
    }
    const double remaining = (segment_.length - s_) + path.queuedLength;
    double v;
    bool stopHere = false;
    if (pathSlowStop_) {
        v = std::max(path.profile.sv, pathSpeed_ - path.profile.d * dt);
        stopHere = v <= path.profile.sv;
    } else {
        v = NextSpeed(pathSpeed_, path.profile, remaining, dt);
    }
    double ds = 0.5 * (pathSpeed_ + v) * dt;
    pathSpeed_ = v;
    while (haveSegment_) {
        const double left = segment_.length - s_;
        if (ds < left) {
            s_ += ds;
            break;
        }
        ds -= left;
        for (int k = 0; k < path.dims; ++k) {
            segmentStart_[k] += segment_.d[k];
        }
        haveSegment_ = false;
        s_ = 0;
        if (!path.segments.empty()) {
            segment_ = path.segments.front();
            path.segments.pop_front();
            path.queuedLength -= segment_.length;
            haveSegment_ = true;
        }
    }
    PlacePathAxes();
    // Soft limits of the path's axes stop the whole path.
    for (int k = 0; k < path.dims; ++k) {
        const int index = path.axis[k];
        const double moved = axes[index].pos - axes[index].lastPos;
        std::int64_t lp = axes[index].lp;
        bool slow = false;
        if (moved != 0 && CheckLimit(index, moved > 0 ? 1 : -1, lp, slow)) {
            if (slow) {
                pathSlowStop_ = true;
            } else {
                stopHere = true;
            }
        }
    }
    if (stopHere) {
        StopPaths(false);
        return;
    }
    if (!haveSegment_ && path.segments.empty() && path.closed) {
        FinishPath();
    } else if (!haveSegment_) {
        pathSpeed_ = path.profile.sv; // starved: resumes from the start speed
    }
}

void Firmware::Step(double dt)
{
    for (AxisState& a : axes) {
        a.lastPos = a.pos;
    }
    for (int i = 0; i < kAxisCount; ++i) {
        if (axes[i].drive.kind != Drive::Kind::None) {
            StepDrive(i, dt);
        }
    }
    StepPaths(dt);
    for (int i = 0; i < kAxisCount; ++i) {
        AxisState& a = axes[i];
        const bool inPath = pathRunning_ && AxisInPaths(i);
        // An axis that came to rest in this step reads as standing still.
        const double speed = a.drive.kind != Drive::Kind::None || inPath ? std::fabs(a.pos - a.lastPos) / dt : 0.0;
        a.acceleration = std::fabs(speed - a.speed) / dt;
        a.speed = speed;
    }
    time += dt;
    if (keepTrail) {
        RecordTrail();
    }
}

void Firmware::RecordTrail()
{
    TrailPoint point;
    point.time = time;
    for (int i = 0; i < kAxisCount; ++i) {
        point.lp[i] = static_cast<std::int32_t>(axes[i].lp);
    }
    if (!trail.empty() && trail.back().lp == point.lp) {
        return;
    }
    constexpr std::size_t kTrailLimit = 1u << 20;
    if (trail.size() < kTrailLimit) {
        trail.push_back(point);
    }
}

} // namespace detail
} // namespace velkor_sim
