// The module's interrupt: the switch (ENABLE_INT / DISABLE_INT), the factor
// enable mask, the interrupt code register at window offset 124, and the
// factors waiting to be signalled on the slot interrupt.
//
// Raise(factors) is the one place where any family reports an event: bits
// whose source is switched off are not raised. The module around the firmware
// signals the slot interrupt after the firmware call that raised, outside its
// lock (TakeSignal).
#ifndef VELKOR_SIM_INTERRUPTS_INTERRUPT_LINE_H
#define VELKOR_SIM_INTERRUPTS_INTERRUPT_LINE_H

#include "firmware/fields.h"

#include <cstdint>

namespace velkor_sim {
namespace detail {

class Firmware;

// Factor bits of the interrupt code.
namespace factor {
constexpr std::uint8_t kDriveEnd = 0x01; // a drive or path ended, or was stopped
constexpr std::uint8_t kLimit = 0x02;    // an axis stopped at (or was refused by) a limit
constexpr std::uint8_t kServoAlarm = 0x04; // a servo drive's alarm came on
constexpr std::uint8_t kHomed = 0x08;    // a homing sequence ended (done or failed)
constexpr std::uint8_t kMacro = 0x80;    // MP_SET_RINT carried out
} // namespace factor

class InterruptLine {
public:
    // Sets the enabled factor bits in the code register and marks them to be
    // signalled; nothing happens while the interrupt is switched off.
    void Raise(std::uint8_t factors);
    // Factors raised since the last call (0 if none): the slot interrupt is
    // to be signalled when not 0.
    std::uint8_t TakeSignal();
    // Factors raised since the last call, enabled or not: the events an
    // armed interrupt routine starts on.
    std::uint8_t TakeSeen();
    // The code register; reading it empties it.
    std::uint8_t ReadCode();

    void SwitchOn(bool on) { on_ = on; }
    void EnableFactors(std::uint8_t bits) { enabled_ |= bits; }
    void DisableFactors(std::uint8_t bits) { enabled_ &= static_cast<std::uint8_t>(~bits); }
    void Reset();

private:
    bool on_ = false;
    std::uint8_t enabled_ = 0;
    std::uint8_t code_ = 0;
    std::uint8_t toSignal_ = 0;
    std::uint8_t seen_ = 0;
};

// Packet handlers
void EnableInt(Firmware& fw, const Bytes& p);        // 170
void DisableInt(Firmware& fw, const Bytes& p);       // 171
void IntFactorEnable(Firmware& fw, const Bytes& p);  // 172
void IntFactorDisable(Firmware& fw, const Bytes& p); // 173

} // namespace detail
} // namespace velkor_sim

#endif
