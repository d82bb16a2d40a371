// Axis configuration: the speed ceiling and the soft limits. The other
// configuration commands are kept without effect (see the decoder table).
#ifndef VELKOR_SIM_SETUP_AXIS_CONFIG_H
#define VELKOR_SIM_SETUP_AXIS_CONFIG_H

#include "firmware/fields.h"

#include <cstdint>

namespace velkor_sim {
namespace detail {

class Firmware;

// Applies the soft limits to a new whole position of an axis moving in
// direction dir. Returns true when a limit was reached: lp is then placed on
// the limit (or left where it was, if it already lay beyond), and slow tells
// whether the axis is to decelerate rather than stop at once.
bool CheckLimit(Firmware& fw, int index, int dir, std::int64_t& lp, bool& slow);

// Packet handlers
void SetMaxV(Firmware& fw, const Bytes& p);         // 13
void SetSoftLimits(Firmware& fw, const Bytes& p);   // 18
void ClearSoftLimits(Firmware& fw, const Bytes& p); // 19

} // namespace detail
} // namespace velkor_sim

#endif
