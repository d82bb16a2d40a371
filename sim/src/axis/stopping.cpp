#include "axis/stopping.h"

#include "axis/axis.h"
#include "axis/axis_fields.h"
#include "context/context.h"
#include "axis/drives.h"

namespace velkor_sim {
namespace detail {
namespace {

void ClearErrors(Context& ctx)
{
    ctx.ClearFaults();
    for (int i = 0; i < kAxisCount; ++i) {
        ctx.Axis(i).error = 0;
    }
}

} // namespace

void StopAxesPacket(Context& ctx, const Command& cmd) { StopAxes(ctx, cmd[axis_field::kAxes], cmd.Code() == 183); }
void ClearStopPacket(Context& ctx, const Command&) { ClearErrors(ctx); }

// 1 when every selected axis has stopped and has no motion queued or held back.
void StopWait(Context& ctx, Window& w)
{
    const std::uint8_t mask = w[kAxisRegister];
    bool stopped = true;
    for (int i = 0; i < kAxisCount; ++i) {
        if ((mask & (1u << i)) && ctx.AxisDriving(i)) {
            stopped = false;
        }
    }
    PutReply(w, stopped ? 1 : 0, 1);
}

void StopSlowly(Context& ctx, Window& w) { StopAxes(ctx, w[kAxisRegister], true); }
void StopSuddenly(Context& ctx, Window& w) { StopAxes(ctx, w[kAxisRegister], false); }
void ClearStop(Context& ctx, Window&) { ClearErrors(ctx); }

} // namespace detail
} // namespace velkor_sim
