#include "interrupts/interrupt_line.h"

#include "firmware/firmware.h"

namespace velkor_sim {
namespace detail {

void InterruptLine::Raise(std::uint8_t factors, bool event)
{
    if (event) {
        seen_ |= factors;
    }
    const std::uint8_t raised = on_ ? static_cast<std::uint8_t>(factors & enabled_) : 0;
    if (raised == 0) {
        return;
    }
    code_ |= raised;
    if (!up_) {
        up_ = true;
        toSignal_ = true;
    }
}

std::uint8_t InterruptLine::TakeSeen()
{
    const std::uint8_t seen = seen_;
    seen_ = 0;
    return seen;
}

std::uint8_t InterruptLine::ReadCode()
{
    const std::uint8_t code = code_;
    code_ = 0;
    up_ = false;
    return code;
}

void InterruptLine::Reset()
{
    on_ = false;
    enabled_ = 0;
    code_ = 0;
    up_ = false;
    toSignal_ = false;
    seen_ = 0;
}

void EnableInt(Firmware& fw, const Bytes&) { fw.interrupts.SwitchOn(true); }
void DisableInt(Firmware& fw, const Bytes&) { fw.interrupts.SwitchOn(false); }
void IntFactorEnable(Firmware& fw, const Bytes& p) { fw.interrupts.EnableFactors(p[2]); }
void IntFactorDisable(Firmware& fw, const Bytes& p) { fw.interrupts.DisableFactors(p[2]); }

} // namespace detail
} // namespace velkor_sim
