// Stopping the axes: the stop codes, which come as direct exchanges or
// (recorded into a macro program) as packets, CLEAR_STOP and the STOP_WAIT
// query. The paths' stops are in paths/paths.h.
#ifndef VELKOR_SIM_AXIS_STOPPING_H
#define VELKOR_SIM_AXIS_STOPPING_H

#include "protocol/fields.h"

namespace velkor_sim {
namespace detail {

class Command;
class Context;

// Packet handlers
void StopAxesPacket(Context& ctx, const Command& cmd); // 183, 184
void ClearStopPacket(Context& ctx, const Command& cmd); // 187
// Exchange handlers
void StopWait(Context& ctx, Window& w);           // 182
void StopSlowly(Context& ctx, Window& w);         // 183
void StopSuddenly(Context& ctx, Window& w);       // 184
void ClearStop(Context& ctx, Window& w);          // 187

} // namespace detail
} // namespace velkor_sim

#endif
