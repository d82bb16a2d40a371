#include "axis/status.h"

#include "axis/axis.h"
#include "axis/axis_fields.h"
#include "context/context.h"
#include "protocol/query.h"
#include "axis/machine.h"

#include <cmath>

namespace velkor_sim {
namespace detail {
namespace {

// GET_CV and GET_CA are scaled by the host with 8000000 / range; with this
// range the scale is 1, so the readings come back in pulses per second (and,
// with the host's extra factor 125, per second squared).
constexpr std::uint32_t kRange = 8000000;
constexpr double kAccelerationUnit = 125.0;
constexpr int kInputRegister = RegisterOf({46}, "input");

// The axis a query names (the lowest one selected), or null.
const AxisState* QueryAxis(const Context& ctx, const Window& w)
{
    const std::uint8_t mask = w[kAxisRegister];
    const int axis = LowestAxis(mask);
    return axis >= 0 && mask <= 0x0F ? &ctx.Axis(axis) : nullptr;
}

} // namespace

// A preset shifts the counter, and with it whatever is moving the axis.
void SetLp(Context& ctx, const Command& cmd) { PresetLp(ctx, cmd[axis_field::kAxes], cmd[axis_field::kSigned]); }
void SetEp(Context& ctx, const Command& cmd) { PresetEp(ctx, cmd[axis_field::kAxes], cmd[axis_field::kSigned]); }

void PresetLp(Context& ctx, std::uint8_t mask, std::int32_t value)
{
    for (int i = 0; i < kAxisCount; ++i) {
        if (!(mask & (1u << i)) || mask > 0x0F) {
            continue;
        }
        AxisState& a = ctx.Axis(i);
        const std::int64_t delta = static_cast<std::int64_t>(value) - a.lp;
        a.lp += delta;
        a.pos += static_cast<double>(delta);
        a.lastPos += static_cast<double>(delta);
        a.drive.start += delta;
        ctx.ShiftInPaths(i, delta);
        ShiftScale(ctx, i, delta);
    }
    if (!ValidSelector(mask)) {
        ctx.Fault(error::kBadCommand);
    }
}

void PresetEp(Context& ctx, std::uint8_t mask, std::int32_t value)
{
    ForAxes(ctx, mask, [&](AxisState& a) { a.ep = value; });
}

void GetLp(Context& ctx, Window& w)
{
    const AxisState* a = QueryAxis(ctx, w);
    PutReply(w, a ? static_cast<std::uint32_t>(CounterReading(ctx, LowestAxis(w[kAxisRegister]), a->lp)) : 0, 4);
}

void GetEp(Context& ctx, Window& w)
{
    const AxisState* a = QueryAxis(ctx, w);
    PutReply(w, a ? static_cast<std::uint32_t>(CounterReading(ctx, LowestAxis(w[kAxisRegister]), a->ep)) : 0, 4);
}

void GetCv(Context& ctx, Window& w)
{
    const AxisState* a = QueryAxis(ctx, w);
    PutReply(w, a ? static_cast<std::uint32_t>(std::lround(a->speed)) : 0, 4);
}

void GetCa(Context& ctx, Window& w)
{
    const AxisState* a = QueryAxis(ctx, w);
    PutReply(w, a ? static_cast<std::uint32_t>(std::lround(a->acceleration / kAccelerationUnit)) : 0, 4);
}

void GetDi(Context& ctx, Window& w)
{
    const AxisState* a = QueryAxis(ctx, w);
    const std::uint8_t bit = w[kInputRegister];
    PutReply(w, a && bit < 16 ? (InputWord(ctx, LowestAxis(w[kAxisRegister])) >> bit) & 1u : 0, 1);
}

void GetError(Context& ctx, Window& w)
{
    std::uint16_t any = ctx.ModuleError();
    for (int i = 0; i < kAxisCount; ++i) {
        any |= ctx.Axis(i).error;
    }
    PutReply(w, any != 0 ? 1 : 0, 1);
}

void GetErrorCode(Context& ctx, Window& w)
{
    const AxisState* a = QueryAxis(ctx, w);
    PutReply(w, a ? static_cast<std::uint16_t>(a->error | ctx.ModuleError()) : ctx.ModuleError(), 2);
}

void GetDiAll(Context& ctx, Window& w)
{
    const AxisState* a = QueryAxis(ctx, w);
    PutReply(w, a ? InputWord(ctx, LowestAxis(w[kAxisRegister])) : 0, 2);
}

// The value the axis's last latch action took (sync/sync.h).
void GetLatch(Context& ctx, Window& w)
{
    const AxisState* a = QueryAxis(ctx, w);
    PutReply(w, a ? static_cast<std::uint32_t>(a->latch) : 0, 4);
}

void Range(Context&, Window& w) { PutReply(w, kRange, 4); }

} // namespace detail
} // namespace velkor_sim
