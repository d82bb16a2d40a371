#include "axis/axis_config.h"

#include "axis/axis.h"
#include "axis/axis_fields.h"
#include "context/context.h"
#include "axis/machine.h"

#include <algorithm>

namespace velkor_sim {
namespace detail {

bool CheckLimit(Context& ctx, int index, int dir, std::int64_t& lp, bool& slow)
{
    AxisState& a = ctx.Axis(index);
    if (!StepAllowed(ctx, index)) {
        lp = a.lp; // the drive does not follow: stop at once
        slow = false;
        return true;
    }
    if (!a.softLimits) {
        return HardLimit(ctx, index, dir, lp, slow);
    }
    std::int64_t stopAt;
    if (dir > 0 && lp > a.limitPlus) {
        a.error |= error::kSoftLimitPlus;
        stopAt = std::max<std::int64_t>(a.limitPlus, a.lp);
    } else if (dir < 0 && lp < a.limitMinus) {
        a.error |= error::kSoftLimitMinus;
        stopAt = std::min<std::int64_t>(a.limitMinus, a.lp);
    } else {
        return HardLimit(ctx, index, dir, lp, slow);
    }
    slow = a.limitMode != 0;
    if (!slow) {
        lp = stopAt; // braking runs on past the limit, and LP counts it
    }
    RaiseLimit(ctx, index);
    return true;
}

void SetMaxV(Context& ctx, const Command& cmd)
{
    ForAxes(ctx, cmd[axis_field::kAxes], [&](AxisState& a) { a.maxV = cmd[axis_field::kValue]; });
}

void SetSoftLimits(Context& ctx, const Command& cmd)
{
    ForAxes(ctx, cmd[axis_field::kAxes], [&](AxisState& a) {
        a.softLimits = true;
        a.limitPlus = cmd[axis_field::kLimitPlus];
        a.limitMinus = cmd[axis_field::kLimitMinus];
        a.limitMode = cmd[axis_field::kLimitMode];
    });
}

void ClearSoftLimits(Context& ctx, const Command& cmd)
{
    ForAxes(ctx, cmd[axis_field::kAxes], [](AxisState& a) { a.softLimits = false; });
}

} // namespace detail
} // namespace velkor_sim
