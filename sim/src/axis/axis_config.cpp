#include "axis/axis_config.h"

#include "axis/axis.h"
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

void SetMaxV(Context& ctx, const Bytes& p)
{
    ForAxes(ctx, p[2], [&](AxisState& a) { a.maxV = U32(p, 4); });
}

void SetSoftLimits(Context& ctx, const Bytes& p)
{
    ForAxes(ctx, p[2], [&](AxisState& a) {
        a.softLimits = true;
        a.limitPlus = I32(p, 4);
        a.limitMinus = I32(p, 8);
        a.limitMode = p[12];
    });
}

void ClearSoftLimits(Context& ctx, const Bytes& p)
{
    ForAxes(ctx, p[2], [](AxisState& a) { a.softLimits = false; });
}

} // namespace detail
} // namespace velkor_sim
