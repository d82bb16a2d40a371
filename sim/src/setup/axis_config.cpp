#include "setup/axis_config.h"

#include "firmware/firmware.h"

#include <algorithm>

namespace velkor_sim {
namespace detail {

bool CheckLimit(Firmware& fw, int index, int dir, std::int64_t& lp, bool& slow)
{
    AxisState& a = fw.axes[index];
    if (!a.softLimits) {
        return false;
    }
    if (dir > 0 && lp > a.limitPlus) {
        a.error |= error::kSoftLimitPlus;
        lp = std::max<std::int64_t>(a.limitPlus, a.lp);
    } else if (dir < 0 && lp < a.limitMinus) {
        a.error |= error::kSoftLimitMinus;
        lp = std::min<std::int64_t>(a.limitMinus, a.lp);
    } else {
        return false;
    }
    slow = a.limitMode != 0;
    return true;
}

void SetMaxV(Firmware& fw, const Bytes& p)
{
    ForAxes(fw, p[2], [&](AxisState& a) { a.maxV = U32(p, 4); });
}

void SetSoftLimits(Firmware& fw, const Bytes& p)
{
    ForAxes(fw, p[2], [&](AxisState& a) {
        a.softLimits = true;
        a.limitPlus = I32(p, 4);
        a.limitMinus = I32(p, 8);
        a.limitMode = p[12];
    });
}

void ClearSoftLimits(Firmware& fw, const Bytes& p)
{
    ForAxes(fw, p[2], [](AxisState& a) { a.softLimits = false; });
}

} // namespace detail
} // namespace velkor_sim
