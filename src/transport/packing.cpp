// The packers and readers: values into the staging area, reply bytes out of
// the mailbox window, and the float bit-pattern conversions.
#include "transport/packing.h"

#include "transport/mailbox.h"

#include <Velkor.h>

#include <cstring>

namespace velkor {

void PackDword(CardRecord& card, std::uint32_t value, std::uint8_t k)
{
    if (k > kStagingSize - 4) {
        return;
    }
    card.staging[k + 3] = static_cast<std::uint8_t>(value >> 24);
    card.staging[k + 2] = static_cast<std::uint8_t>(value >> 16);
    card.staging[k + 1] = static_cast<std::uint8_t>(value >> 8);
    card.staging[k] = static_cast<std::uint8_t>(value);
}

void PackWord(CardRecord& card, std::uint16_t value, std::uint8_t k)
{
    if (k > kStagingSize - 2) {
        return;
    }
    card.staging[k + 1] = static_cast<std::uint8_t>(value >> 8);
    card.staging[k] = static_cast<std::uint8_t>(value);
}

namespace {

std::uint32_t ReadReplyOf(std::uint8_t cardNo, std::uint8_t k, std::uint8_t width)
{
    const CardRecord* card = FindCard(cardNo);
    return card == nullptr ? 0 : ReadReply(*card, k, width);
}

} // namespace
} // namespace velkor

extern "C" {

VELKOR_API std::uint32_t FtoDW(float value)
{
    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

VELKOR_API float DWtoF(std::uint32_t value)
{
    float f;
    std::memcpy(&f, &value, sizeof f);
    return f;
}

VELKOR_API void DWtoB(std::uint8_t cardNo, std::uint32_t value, std::uint8_t k)
{
    if (velkor::CardRecord* card = velkor::FindCard(cardNo)) {
        velkor::PackDword(*card, value, k);
    }
}

VELKOR_API void LtoB(std::uint8_t cardNo, std::int32_t value, std::uint8_t k)
{
    DWtoB(cardNo, static_cast<std::uint32_t>(value), k);
}

VELKOR_API void FtoB(std::uint8_t cardNo, float value, std::uint8_t k) { DWtoB(cardNo, FtoDW(value), k); }

VELKOR_API void WtoB(std::uint8_t cardNo, std::uint16_t value, std::uint8_t k)
{
    if (velkor::CardRecord* card = velkor::FindCard(cardNo)) {
        velkor::PackWord(*card, value, k);
    }
}

VELKOR_API void StoB(std::uint8_t cardNo, std::int16_t value, std::uint8_t k)
{
    WtoB(cardNo, static_cast<std::uint16_t>(value), k);
}

VELKOR_API std::uint32_t BtoDW(std::uint8_t cardNo, std::uint8_t k) { return velkor::ReadReplyOf(cardNo, k, 4); }

VELKOR_API std::int32_t BtoL(std::uint8_t cardNo, std::uint8_t k)
{
    return static_cast<std::int32_t>(velkor::ReadReplyOf(cardNo, k, 4));
}

VELKOR_API std::uint16_t BtoW(std::uint8_t cardNo, std::uint8_t k)
{
    return static_cast<std::uint16_t>(velkor::ReadReplyOf(cardNo, k, 2));
}

} // extern "C"
