// velkor arc: plans a three-point arc with the planner the arc functions use
// and shows what they would send, without a card.
#include "arc_preview.h"

#include "path_picture.h"

#include "motion/arc_geometry.h"

#include <cmath>
#include <cstdio>
#include <vector>

namespace velkor_tool {
namespace {

constexpr std::uint32_t kChordsListed = 200;

const char* FaultText(velkor::ArcFault fault)
{
    switch (fault) {
    case velkor::ArcFault::None: return "none";
    case velkor::ArcFault::NullPoint: return "a point is missing";
    case velkor::ArcFault::NoCircle: return "the three points lie on one line or two of them coincide";
    case velkor::ArcFault::Tolerance: return "the tolerance is 0 or more than twice the radius";
    case velkor::ArcFault::Speed: return "the speed is 0";
    case velkor::ArcFault::Sweep: return "the points give no sweep from start through middle to end";
    case velkor::ArcFault::HalfAngle: return "the radius is too large for the tolerance";
    case velkor::ArcFault::ChordCount: return "the arc would need too many chords";
    case velkor::ArcFault::Range: return "a chord would leave the 32-bit position range";
    }
    return "unknown";
}

} // namespace

int RunArcPreview(const ArcOptions& o)
{
    const POINT_3D start{0, 0, 0};
    const POINT_3D mid{o.mid[0], o.mid[1], o.mid[2]};
    const POINT_3D end{o.end[0], o.end[1], o.end[2]};
    std::printf("Arc from (0, 0, 0) through (%d, %d, %d) to (%d, %d, %d), tolerance %u, speed %u\n", mid.x, mid.y,
                mid.z, end.x, end.y, end.z, o.tolerance, o.speed);
    const velkor::ArcPlan plan = velkor::PlanArc(&start, &mid, &end, o.tolerance, o.speed, true);
    if (!plan.ok()) {
        std::fprintf(stderr, "velkor: no arc to send: %s\n", FaultText(plan.fault));
        return 1;
    }
    std::printf("  centre       (%.3f, %.3f, %.3f)\n", plan.centre[0], plan.centre[1], plan.centre[2]);
    std::printf("  radius       %.3f\n", plan.radius);
    std::printf("  normal       (%.6f, %.6f, %.6f), the arc turns counter-clockwise about it\n", plan.normal[0],
                plan.normal[1], plan.normal[2]);
    std::printf("  sweep        %.6f degrees\n", plan.sweepDegrees);
    std::printf("  segments     %u chords of %.4f each\n", plan.chords, plan.chordLength);
    if (plan.speedLimited) {
        std::printf("  speed limit  %d units/s: at %u a chord would take less than 0.2 ms\n", -plan.result, o.speed);
    } else {
        std::printf("  time         %d ms at %u units/s\n", plan.result, o.speed);
    }
    std::printf("  chords (displacement -> position reached, end flag):\n");
    velkor::ChordWalker walker(plan);
    velkor::Chord chord;
    std::int64_t at[3] = {0, 0, 0};
    std::vector<Point3> path{Point3{{0, 0, 0}}};
    std::uint32_t k = 0;
    while (walker.Next(chord)) {
        ++k;
        at[0] += chord.x;
        at[1] += chord.y;
        at[2] += chord.z;
        path.push_back(Point3{{double(at[0]), double(at[1]), double(at[2])}});
        if (k <= kChordsListed || k == plan.chords) {
            if (k == plan.chords && k > kChordsListed + 1) {
                std::printf("    ... %u chords not listed\n", plan.chords - kChordsListed - 1);
            }
            std::printf("    %6u  (%d, %d, %d) -> (%lld, %lld, %lld)%s\n", k, chord.x, chord.y, chord.z,
                        static_cast<long long>(at[0]), static_cast<long long>(at[1]), static_cast<long long>(at[2]),
                        chord.endFlag != 0 ? "  end" : "");
        }
    }
    if (!o.svgFile.empty()) {
        Picture picture;
        picture.title = "velkor arc: the chords the library would send for this arc";
        picture.pathMeaning = "the chords the arc functions would send";
        picture.markMeaning = "the middle and end points given, and the arc's centre";
        picture.paths.push_back(PicturePath{"arc", std::move(path)});
        picture.marks.push_back(Mark{Point3{{double(mid.x), double(mid.y), double(mid.z)}}, "mid"});
        picture.marks.push_back(Mark{Point3{{double(end.x), double(end.y), double(end.z)}}, "end"});
        picture.marks.push_back(Mark{Point3{{plan.centre[0], plan.centre[1], plan.centre[2]}}, "centre"});
        // The arc's own plane: u from the centre towards the start, v a
        // quarter turn further in the arc's direction (normal x u).
        PlaneView plane;
        plane.origin = Point3{{plan.centre[0], plan.centre[1], plan.centre[2]}};
        const double r = std::sqrt(plan.centre[0] * plan.centre[0] + plan.centre[1] * plan.centre[1] +
                                   plan.centre[2] * plan.centre[2]);
        plane.u = Point3{{-plan.centre[0] / r, -plan.centre[1] / r, -plan.centre[2] / r}};
        const auto& n = plan.normal;
        plane.v = Point3{{n[1] * plane.u[2] - n[2] * plane.u[1], n[2] * plane.u[0] - n[0] * plane.u[2],
                          n[0] * plane.u[1] - n[1] * plane.u[0]}};
        plane.caption = "In the arc's own plane, seen along its normal";
        plane.uName = "u: centre to start";
        plane.vName = "v: a quarter turn on";
        picture.plane = plane;
        std::string error;
        if (!WritePathPicture(o.svgFile, picture, error)) {
            std::fprintf(stderr, "velkor: %s\n", error.c_str());
            return 1;
        }
        std::printf("Picture written to %s\n", o.svgFile.c_str());
    }
    return 0;
}

} // namespace velkor_tool
