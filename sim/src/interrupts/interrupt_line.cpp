#include "interrupts/interrupt_line.h"

#include "protocol/command.h"

namespace velkor_sim {
namespace detail {
namespace {

constexpr auto kEnableFactors = U8Field({172}, "factors");
constexpr auto kDisableFactors = U8Field({173}, "factors");

} // namespace

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

void EnableInt(InterruptLine& line, const Command&) { line.SwitchOn(true); }
void DisableInt(InterruptLine& line, const Command&) { line.SwitchOn(false); }
void IntFactorEnable(InterruptLine& line, const Command& cmd) { line.EnableFactors(cmd[kEnableFactors]); }
void IntFactorDisable(InterruptLine& line, const Command& cmd) { line.DisableFactors(cmd[kDisableFactors]); }

} // namespace detail
} // namespace velkor_sim
