// Axis configuration: the speed ceiling and the soft limits. The settings of
// the machine around the axis (limit switches, servo, encoder, ...) are in
// this folder (machine.h).
#ifndef VELKOR_SIM_AXIS_AXIS_CONFIG_H
#define VELKOR_SIM_AXIS_AXIS_CONFIG_H

#include "protocol/fields.h"

#include <cstdint>

namespace velkor_sim {
namespace detail {

class Command;
class Context;

// Applies the drive's readiness (servo on, no alarm), the soft limits and
// the limit switches to a new whole position of an axis moving in direction
// dir. Returns true when the axis is to stop: lp is then placed on the limit
// (or left where it was, if it already lay beyond or the drive is not
// ready), and slow tells whether the axis is to decelerate rather than stop
// at once.
bool CheckLimit(Context& ctx, int index, int dir, std::int64_t& lp, bool& slow);

// Packet handlers
void SetMaxV(Context& ctx, const Command& cmd);       // 13
void SetSoftLimits(Context& ctx, const Command& cmd); // 18
void ClearSoftLimits(Context& ctx, const Command& cmd); // 19

} // namespace detail
} // namespace velkor_sim

#endif
