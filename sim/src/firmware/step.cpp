// The motion step: what one tick of simulated time does to the axes, and
// what the firmware answers the families about an axis.
#include "firmware/firmware.h"

#include "axis/drives.h"
#include "axis/homing.h"
#include "axis/machine.h"
#include "paths/paths.h"

#include <cmath>

namespace velkor_sim {
namespace detail {

bool Firmware::AxisDriving(int index) const
{
    const AxisState& a = axes[index];
    return a.drive.kind != Drive::Kind::None || a.pending.kind != Drive::Kind::None || AxisInPaths(paths, index) ||
           MachineBusy(*this, index);
}

std::uint16_t Firmware::AxisInputs(int index) const { return InputWord(*this, index); }

bool Firmware::AxisInPath(int index) const { return AxisInPaths(paths, index); }

void Firmware::StopAllPaths(bool slowly) { StopPaths(PathsAtWork(), slowly); }

void Firmware::ShiftInPaths(int index, std::int64_t delta) { ShiftPathAxis(PathsAtWork(), index, delta); }

bool Firmware::Moving() const
{
    for (const AxisState& a : axes) {
        if (a.drive.kind != Drive::Kind::None) {
            return true;
        }
    }
    return PathsMoving(paths, *this) || MachineMoving(*this) || ProgramNeedsTime(macros);
}

// One motion step of dt simulated seconds: this list is the order in which
// the module's parts see the step (the manual quotes it).
void Firmware::Step(double dt)
{
    RememberPositions();                      //  1. where each axis was, for its speed
    StepDrives(dt);                           //  2. single-axis drives: fixed and continuous moves, stops
    StepPaths(PathsAtWork(), dt);             //  3. the front path of the command buffer
    StepMachine(*this, dt);                   //  4. homing, the servo loop, the encoder, alarms
    WatchSync(sync, *this);                   //  5. compare, synchronous actions, latch
    ReadSpeeds(dt);                           //  6. each axis's speed and acceleration readings
    time += dt;                               //  7. the clock
    if (keepTrail) {                          //  8. the trail of positions
        RecordTrail();
    }
    scope.AfterStep(*this);                   //  9. the scope's sample
    ProgramsAfterStep(ProgramsAtWork(), dt);  // 10. a running macro program
}

void Firmware::RememberPositions()
{
    for (AxisState& a : axes) {
        a.lastPos = a.pos;
    }
}

void Firmware::StepDrives(double dt)
{
    for (int i = 0; i < kAxisCount; ++i) {
        if (axes[i].drive.kind != Drive::Kind::None) {
            StepDrive(*this, i, dt);
        }
    }
}

void Firmware::ReadSpeeds(double dt)
{
    for (int i = 0; i < kAxisCount; ++i) {
        AxisState& a = axes[i];
        // The mean over the step: an axis that came to rest in this step reads
        // what it moved in it. Presets move lastPos with pos, so they read as no motion.
        const double speed = std::fabs(a.pos - a.lastPos) / dt;
        a.acceleration = std::fabs(speed - a.speed) / dt;
        a.speed = speed;
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
