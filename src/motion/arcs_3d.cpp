// Three-dimensional arcs: the exports that send a planned arc as a run of
// straight segments of a continuous three-dimensional path, alone or mixed
// with lines. The geometry lives in arc_geometry; this file only decides what
// to plan and stages the plan's packets under the caller's card lock.
#include "motion/arc_geometry.h"
#include "motion/line_3d_packets.h"
#include "transport/command.h"

#include <Velkor.h>

namespace velkor {
namespace {

constexpr POINT_3D kOrigin{0, 0, 0};
// Third profile value of a stand-alone arc.
constexpr std::uint32_t kArcThirdProfile = 1000000;

// Sends a plan's chords, one segment packet each, under the caller's Command
// and returns the plan's result. A degenerate plan sends nothing.
std::int32_t SPLIT_ARC_3D(Command& cmd, const ArcPlan& plan)
{
    if (!plan.ok()) {
        return kArcDegenerate;
    }
    ChordWalker chords(plan);
    Chord chord;
    while (chords.Next(chord)) {
        SendLine3dSegment(cmd, chord.endFlag, chord.x, chord.y, chord.z);
    }
    return plan.result;
}

} // namespace
} // namespace velkor

using namespace velkor;

extern "C" {

VELKOR_API std::int32_t Velkor_ARC_3D(std::uint8_t cardNo, std::uint8_t axis1, std::uint8_t axis2,
                                      std::uint8_t axis3, const POINT_3D* midPoint, const POINT_3D* endPoint,
                                      std::uint32_t chordTolerance, std::uint32_t speed)
{
    // Planned before anything is sent, so that a degenerate arc leaves the
    // module without even the opening packets of a path.
    const ArcPlan plan = PlanArc(&kOrigin, midPoint, endPoint, chordTolerance, speed, true);
    Command cmd(cardNo);
    if (!plan.ok() || !cmd) {
        return kArcDegenerate;
    }
    SendLine3dAxes(cmd, axis1, axis2, axis3);
    SendLine3dProfile(cmd, speed, speed, kArcThirdProfile);
    return SPLIT_ARC_3D(cmd, plan);
}

VELKOR_API void Velkor_MIX_3D_INITIAL(std::uint8_t cardNo, std::uint8_t axis1, std::uint8_t axis2,
                                      std::uint8_t axis3, std::uint32_t data1, std::uint32_t data2,
                                      std::uint32_t data3)
{
    Command cmd(cardNo);
    SendLine3dAxes(cmd, axis1, axis2, axis3);
    if (cmd) {
        cmd.card().mixSpeed = data2;
    }
    SendLine3dProfile(cmd, data1, data2, data3);
}

VELKOR_API std::int32_t Velkor_MIX_3D_CONTINUE(std::uint8_t cardNo, std::uint8_t endFlag, std::uint8_t isArc,
                                               const POINT_3D* point1, const POINT_3D* point2,
                                               std::uint32_t chordTolerance)
{
    if (isArc == 0) {
        if (point1 == nullptr) {
            return kArcDegenerate;
        }
        Command cmd(cardNo);
        SendLine3dSegment(cmd, endFlag, point1->x, point1->y, point1->z);
        return 0;
    }
    Command cmd(cardNo);
    if (!cmd) {
        return kArcDegenerate;
    }
    // The saved speed is read under the card lock, where it is written.
    const ArcPlan plan = PlanArc(&kOrigin, point1, point2, chordTolerance, cmd.card().mixSpeed, endFlag != 0);
    return SPLIT_ARC_3D(cmd, plan);
}

} // extern "C"
