#include "paths/special_paths.h"

#include "context/context.h"
#include "paths/paths.h"
#include "paths/special_path_fields.h"
#include "protocol/command.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace velkor_sim {
namespace detail {
namespace {

constexpr double kTwoPi = 6.283185307179586;

using namespace special_path_field;

// The vector profile with the values a command brings itself (0 keeps the
// vector value).
Profile PathProfile(const PathsAt at, int firstAxis, std::uint32_t sv, std::uint32_t v, std::uint32_t a,
                    std::uint32_t d)
{
    ProfileValues values = at.paths.vector;
    values.sv = sv != 0 ? sv : values.sv;
    values.v = v != 0 ? v : values.v;
    values.a = a != 0 ? a : values.a;
    values.d = d != 0 ? d : values.d;
    return values.Resolve(at.ctx.Axis(firstAxis).maxV);
}

Segment LineSegment(std::int64_t x, std::int64_t y, std::int64_t z = 0)
{
    Segment s;
    s.d[0] = static_cast<std::int32_t>(x);
    s.d[1] = static_cast<std::int32_t>(y);
    s.d[2] = static_cast<std::int32_t>(z);
    s.length = LineLength(s);
    return s;
}

// The path a continuing segment goes into: the one `family` opened last, if
// it is still open. A segment of a stopped path is dropped without a fault.
Path* OpenPath(PathsAt at, std::uint8_t family)
{
    PathState& ps = at.paths;
    if (ps.discarding) {
        return nullptr;
    }
    if (at.special.openFamily != family || ps.queue.empty() || ps.queue.back().closed) {
        at.Fault(error::kBadCommand);
        return nullptr;
    }
    return &ps.queue.back();
}

void Open(PathsAt at, std::uint8_t family, int dims, const int* axes, const Profile& profile)
{
    SpecialPaths& sp = at.special;
    BeginPath(at, dims, axes, profile);
    sp.openFamily = family;
    sp.openDims = dims;
    std::copy(axes, axes + dims, sp.openAxes);
}

// A segment of kind 0 (line), 1 (clockwise arc) or 2 (counter-clockwise arc)
// to the end (x, y) with the centre (cx, cy), all relative to its start; the
// third axis moves by z along it. False when the arc has no circle.
bool KindSegment(std::uint8_t kind, std::int32_t x, std::int32_t y, std::int32_t cx, std::int32_t cy, std::int32_t z,
                 Segment& s)
{
    if (kind == 0) {
        s = LineSegment(x, y, z);
        return true;
    }
    return MakeArc(cx, cy, x, y, z, kind == 1, s);
}

} // namespace

void SpecialPaths::Reset()
{
    openFamily = 0;
    nextEntry = 0;
    masterTotal = 0;
    scanPitch = 0;
}

// 120: axis1, axis2, order, rounds, corner stops; 121: width, height, corner
// radius; 122: SV, V; 123: A, D.
void Rectangle(PathsAt at, const Command& cmd)
{
    int axes[2];
    const std::uint8_t selectors[2] = {cmd[kRectAxis1], cmd[kRectAxis2]};
    const std::uint8_t order = cmd[kRectOrder];
    const int rounds = cmd[kRectRounds] == 0 ? 1 : cmd[kRectRounds];
    const std::uint8_t cornerStops = cmd[kRectCornerStops];
    const std::int64_t w = cmd[kRectWidth];
    const std::int64_t h = cmd[kRectHeight];
    const std::int64_t r = cmd[kRectRadius];
    if (!PickAxes(at, selectors, 2, axes)) {
        return;
    }
    if (order > 1 || cornerStops > 1 || w == 0 || h == 0 || r < 0 || 2 * r > std::min(std::llabs(w), std::llabs(h))) {
        at.Fault(error::kBadCommand);
        return;
    }
    // The four edges as (x, y) displacements, in the order driven.
    std::int64_t edges[4][2] = {{w, 0}, {0, h}, {-w, 0}, {0, -h}};
    if (order == 1) {
        const std::int64_t swapped[4][2] = {{0, h}, {w, 0}, {0, -h}, {-w, 0}};
        std::copy(&swapped[0][0], &swapped[0][0] + 8, &edges[0][0]);
    }
    BeginPath(at, 2, axes, PathProfile(at, axes[0], cmd[kRectSv], cmd[kRectV], cmd[kRectA], cmd[kRectD]));
    at.special.openFamily = 0;
    for (int round = 0; round < rounds; ++round) {
        for (int e = 0; e < 4; ++e) {
            const std::int64_t ux = edges[e][0] > 0 ? 1 : edges[e][0] < 0 ? -1 : 0;
            const std::int64_t uy = edges[e][1] > 0 ? 1 : edges[e][1] < 0 ? -1 : 0;
            // With a radius, the straight part is 2r shorter and a quarter arc
            // turns into the next edge.
            Segment line = LineSegment(edges[e][0] - 2 * r * ux, edges[e][1] - 2 * r * uy);
            line.stopAtEnd = cornerStops != 0 && r == 0;
            const bool last = round == rounds - 1 && e == 3;
            AddSegment(at, line, last && r == 0);
            if (r > 0) {
                const int n = (e + 1) % 4;
                const std::int64_t vx = edges[n][0] > 0 ? 1 : edges[n][0] < 0 ? -1 : 0;
                const std::int64_t vy = edges[n][1] > 0 ? 1 : edges[n][1] < 0 ? -1 : 0;
                Segment arc;
                MakeArc(static_cast<double>(r * vx), static_cast<double>(r * vy), static_cast<std::int32_t>(r * (ux + vx)),
                        static_cast<std::int32_t>(r * (uy + vy)), 0, ux * vy - uy * vx < 0, arc);
                arc.stopAtEnd = cornerStops != 0;
                AddSegment(at, arc, last);
            }
        }
    }
}

// 130: axis1, axis2, corner stops; 131: SV, V, A.
void Mix2dInitial(PathsAt at, const Command& cmd)
{
    int axes[2];
    const std::uint8_t selectors[2] = {cmd[kMixAxis1], cmd[kMixAxis2]};
    if (!PickAxes(at, selectors, 2, axes)) {
        return;
    }
    if (cmd[kMixCornerStops] > 1) {
        at.Fault(error::kBadCommand);
        return;
    }
    at.special.cornerStops = cmd[kMixCornerStops] != 0;
    Open(at, 130, 2, axes, PathProfile(at, axes[0], cmd[kMixSv], cmd[kMixV], cmd[kMixA], 0));
}

// 132: end flag, kind, end x, end y; 133: centre x, centre y.
void Mix2dContinue(PathsAt at, const Command& cmd)
{
    const std::uint8_t kind = cmd[kMixKind];
    if (OpenPath(at, 130) == nullptr) {
        return;
    }
    Segment s;
    if (kind > 2 || !KindSegment(kind, cmd[kMixX], cmd[kMixY], cmd[kMixCentreX], cmd[kMixCentreY], 0, s)) {
        at.Fault(error::kBadCommand);
        return;
    }
    s.stopAtEnd = at.special.cornerStops;
    AddSegment(at, s, cmd[kMixEnd] != 0);
}

// kind (+4 ends the path), axis1, axis2, new path; end x, end y, centre x,
// centre y (the 32-bit words read as signed).
void ContinueIntp(PathsAt at, const Command& cmd)
{
    const std::uint8_t kind = cmd[kIntpKind] & 3;
    const bool last = (cmd[kIntpKind] & 4) != 0;
    if (cmd[kIntpKind] > 7 || cmd[kIntpNewPath] > 1) {
        at.Fault(error::kBadCommand);
        return;
    }
    int axes[2];
    const std::uint8_t selectors[2] = {cmd[kIntpAxis1], cmd[kIntpAxis2]};
    if (!PickAxes(at, selectors, 2, axes)) {
        return;
    }
    if (cmd[kIntpNewPath] == 1) {
        Open(at, 134, 2, axes, PathProfile(at, axes[0], 0, 0, 0, 0));
        at.paths.discarding = false;
    }
    Path* path = OpenPath(at, 134);
    if (path == nullptr) {
        return;
    }
    if (path->axis[0] != axes[0] || path->axis[1] != axes[1]) {
        at.Fault(error::kBadCommand);
        return;
    }
    Segment s;
    if (kind == 3) {
        if (last) {
            path->closed = true;
        }
        return;
    }
    if (!KindSegment(kind, cmd[kIntpX], cmd[kIntpY], cmd[kIntpCentreX], cmd[kIntpCentreY], 0, s)) {
        at.Fault(error::kBadCommand);
        return;
    }
    AddSegment(at, s, last);
}

// entry, kind (+4 ends the path), end x, end y, centre x, centre y, z.
void ContinueIntpArray(PathsAt at, const Command& cmd)
{
    SpecialPaths& sp = at.special;
    const int entry = cmd[kArrayEntry];
    const std::uint8_t kind = cmd[kArrayKind] & 3;
    const bool last = (cmd[kArrayKind] & 4) != 0;
    if (entry == 0) {
        const int dims = at.paths.assigned[2] < 0 ? 2 : 3;
        Open(at, 135, dims, at.paths.assigned, PathProfile(at, at.paths.assigned[0], 0, 0, 0, 0));
        sp.nextEntry = 0;
    }
    if (entry != sp.nextEntry || cmd[kArrayKind] > 7) {
        sp.nextEntry = -1; // the list is broken: the rest of it is refused
        at.Fault(error::kBadCommand);
        return;
    }
    ++sp.nextEntry;
    Path* path = OpenPath(at, 135);
    if (path == nullptr) {
        return;
    }
    const std::int32_t z = path->dims == 3 ? cmd[kArrayZ] : 0;
    if (path->dims == 2 && cmd[kArrayZ] != 0) {
        at.Fault(error::kBadCommand); // a third axis value with no third axis assigned
        return;
    }
    Segment s;
    if (kind == 3) {
        if (last) {
            path->closed = true;
        }
        return;
    }
    if (!KindSegment(kind, cmd[kArrayX], cmd[kArrayY], cmd[kArrayCentreX], cmd[kArrayCentreY], z, s)) {
        at.Fault(error::kBadCommand);
        return;
    }
    AddSegment(at, s, last);
}

// 136: axis1, axis2, axis3, direction (0 clockwise, 1 counter-clockwise);
// 137: V, centre x, centre y; 138: height, sweep in thousandths of a turn.
void Helix(PathsAt at, const Command& cmd)
{
    int axes[3];
    const std::uint8_t selectors[3] = {cmd[kHelixAxis1], cmd[kHelixAxis2], cmd[kHelixAxis3]};
    if (!PickAxes(at, selectors, 3, axes)) {
        return;
    }
    const std::uint8_t direction = cmd[kHelixDirection];
    const double cx = cmd[kHelixCentreX];
    const double cy = cmd[kHelixCentreY];
    const std::int64_t height = cmd[kHelixHeight];
    const std::int32_t sweep = cmd[kHelixSweep];
    const double radius = std::hypot(cx, cy);
    if (direction > 1 || sweep <= 0 || radius < 0.5) {
        at.Fault(error::kBadCommand);
        return;
    }
    BeginPath(at, 3, axes, PathProfile(at, axes[0], 0, cmd[kHelixV], 0, 0));
    at.special.openFamily = 0;
    // At most one turn per segment; every segment ends on the whole pulse
    // nearest the helix, and the last exactly on the end point.
    const double a0 = std::atan2(-cy, -cx);
    const double sign = direction == 1 ? 1.0 : -1.0;
    std::int64_t from[3] = {0, 0, 0};
    for (std::int32_t done = 0; done < sweep;) {
        const std::int32_t piece = std::min<std::int32_t>(1000, sweep - done);
        done += piece;
        const double angle = a0 + sign * kTwoPi * done / 1000.0;
        const std::int64_t to[3] = {std::llround(cx + radius * std::cos(angle)), std::llround(cy + radius * std::sin(angle)),
                                    height * done / sweep};
        Segment s;
        if (piece < 1000 && to[0] == from[0] && to[1] == from[1]) {
            s = LineSegment(0, 0, to[2] - from[2]); // less than a pulse round the circle
        } else {
            MakeArc(cx - from[0], cy - from[1], static_cast<std::int32_t>(to[0] - from[0]),
                    static_cast<std::int32_t>(to[1] - from[1]), static_cast<std::int32_t>(to[2] - from[2]), direction == 0, s);
        }
        AddSegment(at, s, done == sweep);
        std::copy(to, to + 3, from);
    }
}

// 139: master, slave, SV, V; 140: A, numerator, denominator.
void RatioInitial(PathsAt at, const Command& cmd)
{
    int axes[2];
    const std::uint8_t selectors[2] = {cmd[kRatioMaster], cmd[kRatioSlave]};
    if (!PickAxes(at, selectors, 2, axes)) {
        return;
    }
    if (cmd[kRatioDenominator] == 0) {
        at.Fault(error::kBadCommand);
        return;
    }
    SpecialPaths& sp = at.special;
    sp.ratioNum = cmd[kRatioNumerator];
    sp.ratioDen = cmd[kRatioDenominator];
    sp.masterTotal = 0;
    Open(at, 139, 2, axes, PathProfile(at, axes[0], cmd[kRatioSv], cmd[kRatioV], cmd[kRatioA], 0));
}

// end flag, master displacement, slave direction (0 same, 1 opposite).
void Ratio2d(PathsAt at, const Command& cmd)
{
    if (cmd[kRatioOpposite] > 1) {
        at.Fault(error::kBadCommand);
        return;
    }
    if (OpenPath(at, 139) == nullptr) {
        return;
    }
    SpecialPaths& sp = at.special;
    // The slave's share is taken from the master's running total, so the
    // rounding of one segment never adds up over many.
    const auto share = [&](std::int64_t master) {
        const std::int64_t scaled = master * sp.ratioNum;
        return (scaled >= 0 ? scaled + sp.ratioDen / 2 : scaled - sp.ratioDen / 2) / sp.ratioDen;
    };
    const std::int64_t before = share(sp.masterTotal);
    sp.masterTotal += cmd[kRatioDistance];
    const std::int64_t slave = share(sp.masterTotal) - before;
    AddSegment(at, LineSegment(cmd[kRatioDistance], cmd[kRatioOpposite] == 1 ? -slave : slave), cmd[kRatioEnd] != 0);
}

// scan axis, follow axis, scale, mode (0 increments, 1 heights), pitch.
void LineScan(PathsAt at, const Command& cmd)
{
    int axes[2];
    const std::uint8_t selectors[2] = {cmd[kScanAxis], cmd[kScanFollow]};
    if (!PickAxes(at, selectors, 2, axes)) {
        return;
    }
    if (cmd[kScanScale] == 0 || cmd[kScanMode] > 1 || cmd[kScanPitch] == 0) {
        at.Fault(error::kBadCommand);
        return;
    }
    SpecialPaths& sp = at.special;
    sp.scanAxis = axes[0];
    sp.followAxis = axes[1];
    sp.scanScale = cmd[kScanScale];
    sp.scanMode = cmd[kScanMode];
    sp.scanPitch = cmd[kScanPitch];
}

// first entry, return to the start line, number of entries.
void LineScanStart(PathsAt at, const Command& cmd)
{
    SpecialPaths& sp = at.special;
    const std::size_t first = cmd[kScanFirst];
    const std::uint8_t back = cmd[kScanReturn];
    const std::int32_t count = cmd[kScanCount];
    if (sp.scanPitch == 0 || back > 1 || count <= 0 || first + static_cast<std::size_t>(count) > kScanTableSize) {
        at.Fault(error::kBadCommand);
        return;
    }
    const int axes[2] = {sp.scanAxis, sp.followAxis};
    const AxisState& scan = at.ctx.Axis(sp.scanAxis);
    ProfileValues values = scan.profile;
    BeginPath(at, 2, axes, values.Resolve(scan.maxV));
    sp.openFamily = 0;
    std::int64_t height = 0; // the follow axis, from the start line
    for (std::int32_t k = 0; k < count; ++k) {
        const std::int64_t offset = static_cast<std::int64_t>(sp.scanTable[first + k]) * sp.scanScale;
        const std::int64_t dy = sp.scanMode == 0 ? offset : offset - height;
        height += dy;
        AddSegment(at, LineSegment(sp.scanPitch, dy), k == count - 1 && (back == 0 || height == 0));
    }
    if (back == 1 && height != 0) {
        AddSegment(at, LineSegment(0, -height), true);
    }
}

// count, first index, the offset bytes (signed).
void LineScanOffset(PathsAt at, const Command& cmd)
{
    const int count = cmd[kOffsetCount];
    const std::int32_t index = cmd[kOffsetIndex];
    const std::uint8_t* offsets = cmd[kOffsetBytes];
    if (count == 0 || count > 20 || index < 0 || static_cast<std::size_t>(index) + count > kScanTableSize) {
        at.Fault(error::kBadCommand);
        return;
    }
    for (int k = 0; k < count; ++k) {
        at.special.scanTable[index + k] = static_cast<std::int8_t>(offsets[k]);
    }
}

} // namespace detail
} // namespace velkor_sim
