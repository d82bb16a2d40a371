#include "axis/status.h"

#include "firmware/firmware.h"
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

// The axis a query names (the lowest one selected), or null.
const AxisState* QueryAxis(const Firmware& fw, const Window& w)
{
    const std::uint8_t mask = w[kAxisRegister];
    const int axis = LowestAxis(mask);
    return axis >= 0 && mask <= 0x0F ? &fw.axes[axis] : nullptr;
}

int AxisIndex(const Firmware& fw, const AxisState* a) { return static_cast<int>(a - fw.axes.data()); }

} // namespace

// A preset shifts the counter, and with it whatever is moving the axis.
void SetLp(Firmware& fw, const Bytes& p)
{
    const std::uint8_t mask = p[2];
    for (int i = 0; i < kAxisCount; ++i) {
        if (!(mask & (1u << i)) || mask > 0x0F) {
            continue;
        }
        AxisState& a = fw.axes[i];
        const std::int64_t delta = static_cast<std::int64_t>(I32(p, 4)) - a.lp;
        a.lp += delta;
        a.pos += static_cast<double>(delta);
        a.lastPos += static_cast<double>(delta);
        a.drive.start += delta;
        ShiftPathAxis(fw, i, delta);
        ShiftScale(fw, i, delta);
    }
    if (!ValidSelector(mask)) {
        fw.Fault(error::kBadCommand);
    }
}

void SetEp(Firmware& fw, const Bytes& p)
{
    ForAxes(fw, p[2], [&](AxisState& a) { a.ep = I32(p, 4); });
}

void GetLp(Firmware& fw, Window& w)
{
    const AxisState* a = QueryAxis(fw, w);
    PutReply(w, a ? static_cast<std::uint32_t>(CounterReading(fw, AxisIndex(fw, a), a->lp)) : 0, 4);
}

void GetEp(Firmware& fw, Window& w)
{
    const AxisState* a = QueryAxis(fw, w);
    PutReply(w, a ? static_cast<std::uint32_t>(CounterReading(fw, AxisIndex(fw, a), a->ep)) : 0, 4);
}

void GetCv(Firmware& fw, Window& w)
{
    const AxisState* a = QueryAxis(fw, w);
    PutReply(w, a ? static_cast<std::uint32_t>(std::lround(a->speed)) : 0, 4);
}

void GetCa(Firmware& fw, Window& w)
{
    const AxisState* a = QueryAxis(fw, w);
    PutReply(w, a ? static_cast<std::uint32_t>(std::lround(a->acceleration / kAccelerationUnit)) : 0, 4);
}

void GetDi(Firmware& fw, Window& w)
{
    const AxisState* a = QueryAxis(fw, w);
    PutReply(w, a && w[108] < 16 ? (InputWord(fw, AxisIndex(fw, a)) >> w[108]) & 1u : 0, 1);
}

void GetError(Firmware& fw, Window& w)
{
    std::uint16_t any = fw.moduleError;
    for (const AxisState& x : fw.axes) {
        any |= x.error;
    }
    PutReply(w, any != 0 ? 1 : 0, 1);
}

void GetErrorCode(Firmware& fw, Window& w)
{
    const AxisState* a = QueryAxis(fw, w);
    PutReply(w, a ? static_cast<std::uint16_t>(a->error | fw.moduleError) : fw.moduleError, 2);
}

void GetDiAll(Firmware& fw, Window& w)
{
    const AxisState* a = QueryAxis(fw, w);
    PutReply(w, a ? InputWord(fw, AxisIndex(fw, a)) : 0, 2);
}

// The value the axis's last latch action took (sync/sync.h).
void GetLatch(Firmware& fw, Window& w)
{
    const AxisState* a = QueryAxis(fw, w);
    PutReply(w, a ? static_cast<std::uint32_t>(a->latch) : 0, 4);
}

void Range(Firmware&, Window& w) { PutReply(w, kRange, 4); }

} // namespace detail
} // namespace velkor_sim
