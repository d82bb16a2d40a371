// Counters and status: presetting LP and EP, and the queries that read the
// counters, speed readings, inputs, error state and latch.
#ifndef VELKOR_SIM_AXIS_STATUS_H
#define VELKOR_SIM_AXIS_STATUS_H

#include "protocol/fields.h"

namespace velkor_sim {
namespace detail {

class Command;
class Context;

// Packet handlers
void SetLp(Context& ctx, const Command& cmd); // 40
void SetEp(Context& ctx, const Command& cmd); // 42
// Sets the LP (EP) counter of the axes selected to `value`, as SET_LP
// (SET_EP) does; an invalid selector sets the bad-command bit.
void PresetLp(Context& ctx, std::uint8_t mask, std::int32_t value);
void PresetEp(Context& ctx, std::uint8_t mask, std::int32_t value);
// Exchange handlers
void GetLp(Context& ctx, Window& w);        // 41
void GetEp(Context& ctx, Window& w);        // 43
void GetCv(Context& ctx, Window& w);        // 44
void GetCa(Context& ctx, Window& w);        // 45
void GetDi(Context& ctx, Window& w);        // 46
void GetError(Context& ctx, Window& w);     // 47
void GetErrorCode(Context& ctx, Window& w); // 48
void GetDiAll(Context& ctx, Window& w);     // 49
void GetLatch(Context& ctx, Window& w);     // 113
void Range(Context& ctx, Window& w);        // 255

} // namespace detail
} // namespace velkor_sim

#endif
