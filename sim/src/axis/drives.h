// Single-axis drives: the speed profile commands, fixed and continuous moves,
// the hold that keeps new motion back, and the steps that run a drive.
#ifndef VELKOR_SIM_AXIS_DRIVES_H
#define VELKOR_SIM_AXIS_DRIVES_H

#include "protocol/fields.h"
#include "axis/axis.h"

#include <cstdint>

namespace velkor_sim {
namespace detail {

class Command;
class Context;

// Starts a move on the selected axes (or holds it back while they are held).
void StartMove(Context& fw, std::uint8_t mask, Drive::Kind kind, std::int32_t value);
// Stops the drives of the selected axes, and a path any of them is in.
void StopAxes(Context& fw, std::uint8_t mask, bool slowly);
// One motion step of the drive of axis `index`.
void StepDrive(Context& fw, int index, double dt);
// Places axis `index` on an exact position with its whole count lp; the
// motor and EP follow in the machine's step.
void MoveAxisTo(Context& fw, int index, double pos, std::int64_t lp);
// A drive or path ended or was stopped.
void DriveEnded(Context& fw);

// Packet handlers
void SetProfileValue(Context& fw, const Command& cmd); // 71..77
void FixedMove(Context& fw, const Command& cmd);     // 78
void ContinueMove(Context& fw, const Command& cmd);  // 80
void DrvHold(Context& fw, const Command& cmd);       // 180
void DrvStart(Context& fw, const Command& cmd);      // 181

} // namespace detail
} // namespace velkor_sim

#endif
