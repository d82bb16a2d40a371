// Holding and releasing the start of motion, ending an interpolation, the
// stops and the stop-state query.
//
// A stop does not queue behind the packets: it hands its code to the module
// through the handshake register, like a query, and latches the card's stop
// flag, after which a packet that meets a busy mailbox is dropped instead of
// waited for. While a macro program is recorded a stop is a packet like any
// other and leaves the flag alone, since the stop happens later, when the
// program runs.
#include "transport/command.h"
#include "transport/kernel.h"
#include "transport/mailbox.h"

#include <Velkor.h>

#include <cstdint>

namespace velkor {
namespace {

constexpr std::uint8_t kDrvHold = 180;
constexpr std::uint8_t kDrvStart = 181;
constexpr std::uint8_t kStopWait = 182;
constexpr std::uint8_t kStopSlowly = 183;
constexpr std::uint8_t kStopSuddenly = 184;
constexpr std::uint8_t kVstopSlowly = 185;
constexpr std::uint8_t kVstopSuddenly = 186;
constexpr std::uint8_t kClearStop = 187;
constexpr std::uint8_t kIntpEnd = 188;

// Gives the module time to update its stop state before each poll of it.
constexpr std::uint32_t kStopWaitPauseMs = 2;

// Runs a stop-type exchange, or posts its recording packet, and on the direct
// path sets the stop flag to `flag`, all under one hold of the card lock.
void StopExchange(std::uint8_t cardNo, const Query& query, const Recording& recording, std::uint8_t flag)
{
    CardRecord* card = FindCard(cardNo);
    if (card == nullptr) {
        return;
    }
    CardLockHold hold(*card);
    if (!ReadLocked(*card, query, &recording).recorded) {
        card->stopFlag.store(flag, std::memory_order_relaxed);
    }
}

constexpr Query AxisStop(std::uint8_t code, std::uint8_t axis)
{
    return Before(Ask(code, Reply::None), reg::kQueryAxis, axis);
}

} // namespace
} // namespace velkor

using namespace velkor;

extern "C" {

VELKOR_API void Velkor_DRV_HOLD(std::uint8_t cardNo, std::uint8_t axis)
{
    Command(cardNo).Packet(kDrvHold).Byte(2, axis).Send(4);
}

VELKOR_API void Velkor_DRV_START(std::uint8_t cardNo, std::uint8_t axis)
{
    Command(cardNo).Packet(kDrvStart).Byte(2, axis).Send(4);
}

VELKOR_API void Velkor_INTP_END(std::uint8_t cardNo, std::uint8_t param)
{
    Command(cardNo).Packet(kIntpEnd).Byte(2, param).Send(4);
}

VELKOR_API void Velkor_STOP_SLOWLY(std::uint8_t cardNo, std::uint8_t axis)
{
    StopExchange(cardNo, AxisStop(kStopSlowly, axis), Record(axis), 1);
}

VELKOR_API void Velkor_STOP_SUDDENLY(std::uint8_t cardNo, std::uint8_t axis)
{
    StopExchange(cardNo, AxisStop(kStopSuddenly, axis), Record(axis), 1);
}

VELKOR_API void Velkor_VSTOP_SLOWLY(std::uint8_t cardNo)
{
    StopExchange(cardNo, Ask(kVstopSlowly, Reply::None), Record(), 1);
}

VELKOR_API void Velkor_VSTOP_SUDDENLY(std::uint8_t cardNo)
{
    StopExchange(cardNo, Ask(kVstopSuddenly, Reply::None), Record(), 1);
}

// Leaves 31 in the sequence register, as the control exchanges do; the next
// packet or exchange writes the register again.
VELKOR_API void Velkor_CLEAR_STOP(std::uint8_t cardNo)
{
    StopExchange(cardNo, LeaveParked(Ask(kClearStop, Reply::None)), Record(), 0);
}

VELKOR_API std::uint8_t Velkor_STOP_WAIT(std::uint8_t cardNo, std::uint8_t axis)
{
    CardRecord* card = FindCard(cardNo);
    if (card == nullptr) {
        return 0;
    }
    CardLockHold hold(*card);
    kernel::SleepMs(kStopWaitPauseMs);
    return static_cast<std::uint8_t>(RunQuery(*card, Before(Ask(kStopWait, Reply::Byte), reg::kQueryAxis, axis)));
}

} // extern "C"
