// The motion step: what one tick of simulated time does to the axes.
#include "firmware/firmware.h"
#include "axis/homing.h"
#include "axis/machine.h"
#include "axis/drives.h"
#include "paths/paths.h"

#include <cmath>

namespace velkor_sim {
namespace detail {

bool Firmware::AxisDriving(int index) const
{
    const AxisState& a = axes[index];
    return a.drive.kind != Drive::Kind::None || a.pending.kind != Drive::Kind::None || AxisInPaths(*this, index) ||
           MachineBusy(*this, index);
}

std::uint16_t Firmware::AxisInputs(int index) const { return InputWord(*this, index); }

bool Firmware::Moving() const
{
    for (const AxisState& a : axes) {
        if (a.drive.kind != Drive::Kind::None) {
            return true;
        }
    }
    return PathsMoving(*this) || MachineMoving(*this) || ProgramNeedsTime(*this);
}

void Firmware::Step(double dt)
{
    for (AxisState& a : axes) {
        a.lastPos = a.pos;
    }
    for (int i = 0; i < kAxisCount; ++i) {
        if (axes[i].drive.kind != Drive::Kind::None) {
            StepDrive(*this, i, dt);
        }
    }
    StepPaths(*this, dt);
    StepMachine(*this, dt);
    WatchSync(*this);
    for (int i = 0; i < kAxisCount; ++i) {
        AxisState& a = axes[i];
        const bool inPath = paths.running && AxisInPaths(*this, i);
        // An axis that came to rest in this step reads as standing still.
        const bool moved = a.drive.kind != Drive::Kind::None || inPath || HomingActive(*this, i);
        const double speed = moved ? std::fabs(a.pos - a.lastPos) / dt : 0.0;
        a.acceleration = std::fabs(speed - a.speed) / dt;
        a.speed = speed;
    }
    time += dt;
    if (keepTrail) {
        RecordTrail();
    }
    scope.AfterStep(*this);
    ProgramsAfterStep(*this, dt);
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
