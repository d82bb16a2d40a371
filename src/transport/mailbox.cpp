// Command packets and direct exchanges over a card's mailbox window.
#include "transport/mailbox.h"

#include "transport/command.h"

#include <BrelanSDK.h>
#include <Velkor.h>

namespace velkor {

std::uint8_t ReadRegister(const CardRecord& card, std::uint8_t offset)
{
    return IoReadByte(card.windowBase + offset);
}

void WriteRegister(const CardRecord& card, std::uint8_t offset, std::uint8_t value)
{
    IoWriteByte(card.windowBase + offset, value);
}

std::uint32_t ReadReply(const CardRecord& card, std::uint8_t k, std::uint8_t width)
{
    if (k + width > kReplyBytes) {
        return 0;
    }
    std::uint32_t value = 0;
    for (int i = width - 1; i >= 0; --i) {
        value = value << 8 | ReadRegister(card, static_cast<std::uint8_t>(reg::kData + 2 * (k + i)));
    }
    return value;
}

void WaitIdle(const CardRecord& card)
{
    while (ReadRegister(card, reg::kHandshake) != kHandshakeIdle) {
        kernel::SleepMs(1);
    }
}

std::uint8_t Post(CardRecord& card)
{
    card.sequence = NextSequence(card.sequence);
    WriteRegister(card, reg::kSequence, card.sequence);
    // The module may still hold the previous packet; a direct stop gives up
    // waiting for it, so that no command stalls behind a stopped machine.
    while (ReadRegister(card, reg::kHandshake) == kHandshakePacket) {
        if (card.stopFlag.load(std::memory_order_relaxed) != 0) {
            card.sequence = PreviousSequence(card.sequence);
            return 1;
        }
        kernel::SleepMs(1);
    }
    // Never more than the window holds, whatever length an application staged.
    const std::uint8_t length = card.packetLength <= kMaxPacketLength ? card.packetLength : kMaxPacketLength;
    for (std::uint8_t i = 0; i < length; ++i) {
        WriteRegister(card, reg::kData + 2 * i, card.staging[i]);
    }
    WriteRegister(card, reg::kHandshake, kHandshakePacket);
    return 0;
}

DirectExchange::DirectExchange(CardRecord& card) : card_(card)
{
    WriteRegister(card_, reg::kSequence, kDirectSequence);
}

void DirectExchange::Ask(std::uint8_t code)
{
    WriteRegister(card_, reg::kHandshake, code);
    velkor::WaitIdle(card_);
}

std::uint32_t RunQuery(CardRecord& card, const Query& query)
{
    DirectExchange exchange(card);
    for (std::uint8_t i = 0; i < query.beforeCount; ++i) {
        exchange.Param(query.before[i].offset, query.before[i].value);
    }
    exchange.WaitIdle();
    for (std::uint8_t i = 0; i < query.afterCount; ++i) {
        exchange.Param(query.after[i].offset, query.after[i].value);
    }
    exchange.Ask(query.code);
    std::uint32_t reply = 0;
    switch (query.reply) {
    case Reply::None: break;
    case Reply::Byte: reply = exchange.ReplyByte(0); break;
    case Reply::Word: reply = exchange.ReplyWord(0); break;
    case Reply::Dword: reply = exchange.ReplyDword(0); break;
    }
    if (query.writeBack) {
        exchange.Finish();
    }
    return reply;
}

ReadResult ReadLocked(CardRecord& card, const Query& query, const Recording* recording)
{
    ReadResult result;
    if (recording != nullptr && card.recording.load(std::memory_order_relaxed) != 0) {
        Stage(card, query.code);
        for (std::uint8_t i = 0; i < recording->count; ++i) {
            card.staging[2 + 2 * i] = recording->params[i];
        }
        card.packetLength = static_cast<std::uint8_t>(2 + 2 * recording->count);
        Post(card);
        result.recorded = true;
        return result;
    }
    result.reply = RunQuery(card, query);
    result.stopped = card.stopFlag.load(std::memory_order_relaxed) != 0;
    return result;
}

ReadResult Read(std::uint8_t cardNo, const Query& query, const Recording& recording)
{
    CardRecord* card = FindCard(cardNo);
    if (card == nullptr) {
        return ReadResult{};
    }
    CardLockHold hold(*card);
    return ReadLocked(*card, query, &recording);
}

ReadResult ReadDirect(std::uint8_t cardNo, const Query& query)
{
    CardRecord* card = FindCard(cardNo);
    if (card == nullptr) {
        return ReadResult{};
    }
    CardLockHold hold(*card);
    return ReadLocked(*card, query, nullptr);
}

} // namespace velkor

extern "C" {

// Exported for applications that stage their own packets with the packers.
VELKOR_API std::uint8_t WRITE_DATA(std::uint8_t cardNo)
{
    velkor::CardRecord* card = velkor::FindCard(cardNo);
    return card == nullptr ? 1 : velkor::Post(*card);
}

} // extern "C"
