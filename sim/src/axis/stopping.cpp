#include "axis/stopping.h"

#include "firmware/firmware.h"
#include "axis/drives.h"

namespace velkor_sim {
namespace detail {
namespace {

void ClearErrors(Firmware& fw)
{
    fw.moduleError = 0;
    for (AxisState& a : fw.axes) {
        a.error = 0;
    }
}

} // namespace

void StopAxesPacket(Firmware& fw, const Bytes& p) { StopAxes(fw, p[2], p[0] == 183); }
void ClearStopPacket(Firmware& fw, const Bytes&) { ClearErrors(fw); }

// 1 when every selected axis has stopped and has no motion queued or held back.
void StopWait(Firmware& fw, Window& w)
{
    const std::uint8_t mask = w[kAxisRegister];
    bool stopped = true;
    for (int i = 0; i < kAxisCount; ++i) {
        if ((mask & (1u << i)) && fw.AxisDriving(i)) {
            stopped = false;
        }
    }
    PutReply(w, stopped ? 1 : 0, 1);
}

void StopSlowly(Firmware& fw, Window& w) { StopAxes(fw, w[kAxisRegister], true); }
void StopSuddenly(Firmware& fw, Window& w) { StopAxes(fw, w[kAxisRegister], false); }
void ClearStop(Firmware& fw, Window&) { ClearErrors(fw); }

} // namespace detail
} // namespace velkor_sim
