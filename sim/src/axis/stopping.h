// Stopping the axes: the stop codes, which come as direct exchanges or
// (recorded into a macro program) as packets, CLEAR_STOP and the STOP_WAIT
// query. The paths' stops are in paths/paths.h.
#ifndef VELKOR_SIM_AXIS_STOPPING_H
#define VELKOR_SIM_AXIS_STOPPING_H

#include "protocol/fields.h"

namespace velkor_sim {
namespace detail {

class Firmware;

// Packet handlers
void StopAxesPacket(Firmware& fw, const Bytes& p);  // 183, 184
void ClearStopPacket(Firmware& fw, const Bytes& p); // 187
// Exchange handlers
void StopWait(Firmware& fw, Window& w);           // 182
void StopSlowly(Firmware& fw, Window& w);         // 183
void StopSuddenly(Firmware& fw, Window& w);       // 184
void ClearStop(Firmware& fw, Window& w);          // 187

} // namespace detail
} // namespace velkor_sim

#endif
