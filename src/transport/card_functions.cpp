// Card-level exports: registration, versions, reset, buffer clearing and the
// sequence probe.
#include "transport/card_table.h"
#include "transport/command.h"
#include "transport/mailbox.h"

#include <BrelanSDK.h>
#include <Velkor.h>

namespace velkor {
namespace {

constexpr std::uint8_t kLastSlot = 7;
constexpr std::uint8_t kRegistrationProbe = 100;
constexpr std::uint8_t kResetCode = 10;
constexpr std::uint8_t kClearBufferCode = 11;
constexpr std::uint8_t kFirmwareVersionQuery = 204;
constexpr std::uint32_t kControlPauseMs = 500;

// Sends a control code once the mailbox is idle and restarts the packet
// numbering so that the next packet carries 0. The module is not waited for:
// the sequence register keeps 31 until the next packet.
void SendControl(CardRecord& card, std::uint8_t code)
{
    DirectExchange exchange(card);
    exchange.WaitIdle();
    exchange.Signal(code);
}

} // namespace
} // namespace velkor

using namespace velkor;

extern "C" {

VELKOR_API std::int32_t nVelkor = 0;

VELKOR_API std::uint8_t Velkor_REGISTRATION(std::uint8_t cardNo, std::uint8_t slotNo)
{
    if (slotNo == 0 || slotNo > kLastSlot) {
        return 0;
    }
    CardRecord* card = CardEntry(cardNo);
    if (card == nullptr) {
        return 0;
    }
    // From here on the card is usable again only if this registration finds a
    // working module; until then the card guard keeps every export off the slot.
    card->usable.store(0, std::memory_order_release);
    card->windowBase = GetSlotAddr(slotNo);
    card->slot = slotNo;
    const std::uint8_t id = ReadRegister(*card, reg::kModuleId);
    if (id != 'D' && id != 'U') {
        return 0;
    }
    card->moduleId = id;
    WriteRegister(*card, reg::kSequence, 0);
    WriteRegister(*card, reg::kData, kRegistrationProbe);
    if (ReadRegister(*card, reg::kData) != kRegistrationProbe) {
        return 0;
    }
    WriteRegister(*card, reg::kData, 0);
    card->stopFlag.store(0, std::memory_order_relaxed);
    card->recording.store(0, std::memory_order_relaxed);
    card->interruptRun.store(0, std::memory_order_release); // a service thread ends at its next wake-up
    card->usable.store(1, std::memory_order_release);
    return 1;
}

VELKOR_API std::uint16_t Velkor_GET_VERSION(void) { return 0x711; }

VELKOR_API void Velkor_RESET_CARD(std::uint8_t cardNo)
{
    CardRecord* card = FindCard(cardNo);
    if (card == nullptr) {
        return;
    }
    SendControl(*card, kResetCode);
    card->stopFlag.store(0, std::memory_order_relaxed);
    card->recording.store(0, std::memory_order_relaxed);
    card->interruptRun.store(0, std::memory_order_release);
    card->sequence = kSequenceRing - 1;
    kernel::SleepMs(kControlPauseMs);
}

VELKOR_API void Velkor_CLEAR_CARD_BUFFER(std::uint8_t cardNo)
{
    CardRecord* card = FindCard(cardNo);
    if (card == nullptr) {
        return;
    }
    CardLockHold hold(*card);
    SendControl(*card, kClearBufferCode);
    card->recording.store(0, std::memory_order_relaxed);
    card->sequence = kSequenceRing - 1;
    kernel::SleepMs(kControlPauseMs);
}

// 1 means the module is not ready to take a command: it is busy (one of the
// four reads finds the handshake register holding a packet or a code not yet
// taken) or absent (an empty slot reads 0xFF). 0 means a live module whose
// mailbox is idle. Each read is tested on its own: four reads that merely add
// up to a multiple of 256 must not make a busy module look ready.
VELKOR_API std::uint8_t Velkor_CHECK_RTC(std::uint8_t cardNo)
{
    CardRecord* card = FindCard(cardNo);
    if (card == nullptr) {
        return 0;
    }
    CardLockHold hold(*card);
    const std::uint8_t remembered = card->sequence;
    bool answered = false;
    for (int probe = 0; probe < 4; ++probe) {
        card->sequence = NextSequence(card->sequence);
        WriteRegister(*card, reg::kSequence, card->sequence);
        answered = ReadRegister(*card, reg::kHandshake) != 0 || answered;
    }
    card->sequence = remembered;
    WriteRegister(*card, reg::kSequence, card->sequence);
    return answered ? 1 : 0;
}

VELKOR_API std::uint32_t Velkor_GET_FW_VERSION(std::uint8_t cardNo)
{
    return ReadDirect(cardNo, Ask(kFirmwareVersionQuery, Reply::Dword)).reply;
}

} // extern "C"
