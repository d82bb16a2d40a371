// Following a macro program or interrupt routine as the module runs it: start
// debugging, wait for each debugging event (interrupt factor 5), read the
// debug byte and word the module leaves in the window, continue and stop.
// None of these has a recording path: the two starts are recorded like any
// packet, the rest always talk to the module directly.
#include "interrupts/interrupt_service.h"
#include "transport/command.h"
#include "transport/mailbox.h"

#include <Velkor.h>

#include <cstdint>

namespace velkor {
namespace {

constexpr std::uint8_t kMpDebug = 240;
constexpr std::uint8_t kIsrDebug = 241;
constexpr std::uint8_t kContinueDebug = 242;
constexpr std::uint8_t kStopDebug = 243;
constexpr std::uint8_t kDebugFactorMask = 0x20;
constexpr std::uint8_t kDebugWordReplyByte = 4; // reply bytes 4 and 5, low byte first
constexpr std::uint8_t kTimedOutByte = 255;
constexpr std::uint16_t kTimedOutWord = 1;

// Reads the debug byte and word once the mailbox is idle; no code is written
// to the handshake register. The caller decides about the card lock.
void ReadDebugWindow(CardRecord& card, std::uint8_t& debugByte, std::uint16_t& debugWord)
{
    DirectExchange exchange(card);
    exchange.WaitIdle();
    debugByte = exchange.Register(reg::kDebug);
    debugWord = exchange.ReplyWord(kDebugWordReplyByte);
    exchange.Finish();
}

void Deliver(std::uint8_t debugByte, std::uint16_t debugWord, std::uint8_t* byteOut, std::uint16_t* wordOut)
{
    if (byteOut != nullptr) {
        *byteOut = debugByte;
    }
    if (wordOut != nullptr) {
        *wordOut = debugWord;
    }
}

} // namespace
} // namespace velkor

using namespace velkor;

extern "C" {

VELKOR_API void Velkor_MP_DEBUG(std::uint8_t cardNo, std::uint8_t param)
{
    Command(cardNo).Packet(kMpDebug).Byte(2, param).Send(4);
}

VELKOR_API void Velkor_ISR_DEBUG(std::uint8_t cardNo, std::uint8_t param)
{
    Command(cardNo).Packet(kIsrDebug).Byte(2, param).Send(4);
}

VELKOR_API void Velkor_CONTINUE_DEBUG(std::uint8_t cardNo) { ReadDirect(cardNo, Ask(kContinueDebug, Reply::None)); }

VELKOR_API void Velkor_STOP_DEBUG(std::uint8_t cardNo) { ReadDirect(cardNo, Ask(kStopDebug, Reply::None)); }

// Waits without the card lock, so other threads keep using the card, and
// holds it only for the read. The window is read whenever the debug factor's
// flag was consumed, also when the last interrupt code reads 0 by then: the
// module has left its debug values all the same, and the event is not lost.
VELKOR_API void Velkor_DEBUG_WAIT(std::uint8_t cardNo, std::uint32_t count, std::uint8_t* debugByte, std::uint16_t* debugWord)
{
    CardRecord* card = FindCard(cardNo);
    if (card == nullptr || !WaitForInterruptFlag(*card, kDebugFactorMask, count)) {
        Deliver(kTimedOutByte, kTimedOutWord, debugByte, debugWord);
        return;
    }
    std::uint8_t byte = 0;
    std::uint16_t word = 0;
    {
        CardLockHold hold(*card);
        ReadDebugWindow(*card, byte, word);
    }
    Deliver(byte, word, debugByte, debugWord);
}

VELKOR_API void Velkor_DEBUG_INFO(std::uint8_t cardNo, std::uint8_t* debugByte, std::uint16_t* debugWord)
{
    CardRecord* card = FindCard(cardNo);
    if (card == nullptr) {
        return;
    }
    std::uint8_t byte = 0;
    std::uint16_t word = 0;
    ReadDebugWindow(*card, byte, word);
    Deliver(byte, word, debugByte, debugWord);
}

} // extern "C"
