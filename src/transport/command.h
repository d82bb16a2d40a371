// Staging and posting command packets: the one path every command function
// takes. A Command looks the card up, holds its lock for its lifetime, and
// stages and posts packets in the card's staging area, so an export reads as
// its row of the command table:
//
//     Command(cardNo).Packet(13).Byte(2, axis).U32(4, data).Send(8);
//
// For a card number outside the table the Command is empty: it stages and
// sends nothing, and Send returns 1.
#ifndef VELKOR_TRANSPORT_COMMAND_H
#define VELKOR_TRANSPORT_COMMAND_H

#include "transport/card_table.h"
#include "transport/mailbox.h"
#include "transport/packing.h"

#include <cstdint>

namespace velkor {

// Starts a packet in the staging area: byte 1 := 10, then byte 0 := code.
inline void Stage(CardRecord& card, std::uint8_t code)
{
    card.staging[1] = 10;
    card.staging[0] = code;
}

class Command {
public:
    explicit Command(std::uint8_t cardNo) : card_(FindCard(cardNo))
    {
        if (card_ != nullptr) {
            kernel::Acquire(card_->lock);
        }
    }
    ~Command()
    {
        if (card_ != nullptr) {
            kernel::Release(card_->lock);
        }
    }
    Command(const Command&) = delete;
    Command& operator=(const Command&) = delete;

    explicit operator bool() const { return card_ != nullptr; }
    // The locked card; only valid when the Command is not empty.
    CardRecord& card() { return *card_; }

    Command& Packet(std::uint8_t code)
    {
        if (card_ != nullptr) {
            Stage(*card_, code);
        }
        return *this;
    }
    Command& Byte(std::uint8_t k, std::uint8_t value)
    {
        if (card_ != nullptr && k < kStagingSize) {
            card_->staging[k] = value;
        }
        return *this;
    }
    Command& U32(std::uint8_t k, std::uint32_t value)
    {
        if (card_ != nullptr) {
            PackDword(*card_, value, k);
        }
        return *this;
    }
    Command& I32(std::uint8_t k, std::int32_t value) { return U32(k, static_cast<std::uint32_t>(value)); }
    // Sets the packet length and posts the packet; the WRITE_DATA result.
    std::uint8_t Send(std::uint8_t length)
    {
        if (card_ == nullptr) {
            return 1;
        }
        card_->packetLength = length;
        return Post(*card_);
    }

private:
    CardRecord* card_;
};

} // namespace velkor

#endif
