// The module's interrupt line: the switch (ENABLE_INT / DISABLE_INT), the
// factor enable mask, the interrupt code register at window offset 124, and
// the slot interrupt it drives.
//
// Raise(factors) is the one place where any family reports an event. Factors
// whose source is switched off are not raised. Raised factors accumulate in
// the code register (OR) while the line is up; the line goes up (one slot
// interrupt) when the first factor arrives in an empty register, and comes
// down when the host reads the register, which empties it. So a burst of
// factors gives one interrupt carrying all of them, a factor after the read
// gives the next one, and every interrupt finds its factors in the register.
// The module around the firmware signals the slot interrupt after the
// firmware call that raised (TakeSignal), under its own lock.
#ifndef VELKOR_SIM_INTERRUPTS_INTERRUPT_LINE_H
#define VELKOR_SIM_INTERRUPTS_INTERRUPT_LINE_H

#include "protocol/fields.h"

#include <cstdint>

namespace velkor_sim {
namespace detail {

class Command;

class InterruptLine {
public:
    // ORs the enabled factor bits into the code register; puts the line up
    // (to be signalled) if it was down. Nothing while switched off.
    // `event`: whether an armed interrupt routine may start on it (a program
    // fault's factor may not: the routine would start on its own failure).
    void Raise(std::uint8_t factors, bool event = true);
    // Whether the line went up since the last call: the slot interrupt is to
    // be signalled once.
    bool TakeSignal()
    {
        const bool signal = toSignal_;
        toSignal_ = false;
        return signal;
    }
    // The signal found no interrupt registration on the slot: the line counts
    // as down again, so the next factor signals anew.
    void NotDelivered() { up_ = false; }
    // Factors raised since the last call, enabled or not: the events an
    // armed interrupt routine starts on.
    std::uint8_t TakeSeen();
    // The code register; reading it empties it and puts the line down.
    std::uint8_t ReadCode();

    void SwitchOn(bool on) { on_ = on; }
    void EnableFactors(std::uint8_t bits) { enabled_ |= bits; }
    void DisableFactors(std::uint8_t bits) { enabled_ &= static_cast<std::uint8_t>(~bits); }
    void Reset();

    // For onlookers: the switch, the enable mask and the code register.
    bool On() const { return on_; }
    std::uint8_t Enabled() const { return enabled_; }
    std::uint8_t Code() const { return code_; }
    // Switched on with at least one factor enabled.
    bool Armed() const { return on_ && enabled_ != 0; }
    bool Up() const { return up_; }

private:
    bool on_ = false;
    std::uint8_t enabled_ = 0;
    std::uint8_t code_ = 0;
    bool up_ = false;      // an interrupt was signalled and its code not yet read
    bool toSignal_ = false;
    std::uint8_t seen_ = 0;
};

// Packet handlers
void EnableInt(InterruptLine& line, const Command& cmd);        // 170
void DisableInt(InterruptLine& line, const Command& cmd);       // 171
void IntFactorEnable(InterruptLine& line, const Command& cmd);  // 172
void IntFactorDisable(InterruptLine& line, const Command& cmd); // 173

} // namespace detail
} // namespace velkor_sim

#endif
