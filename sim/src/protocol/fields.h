// The shapes the firmware reads and writes: a packet as taken from the
// mailbox, the window a code is answered in, little-endian field readers and
// the reply writer, and the axis selector helpers every family shares.
#ifndef VELKOR_SIM_PROTOCOL_FIELDS_H
#define VELKOR_SIM_PROTOCOL_FIELDS_H

#include "velkor_sim/virtual_module.h"

#include <array>
#include <cstdint>

namespace velkor_sim {
namespace detail {

using Bytes = std::array<std::uint8_t, kDataBytes>;
using Window = std::array<std::uint8_t, 128>;

// Window offsets of the registers the firmware reads when it answers a code.
constexpr int kReplyArea = 64;     // reply byte i at 64 + 2i
constexpr int kAxisRegister = 96;  // the axis selector of a query

// Field readers of a packet or reply, little-endian.
inline std::uint16_t U16(const Bytes& p, int k) { return static_cast<std::uint16_t>(p[k] | p[k + 1] << 8); }
inline std::uint32_t U32(const Bytes& p, int k)
{
    return static_cast<std::uint32_t>(p[k]) | static_cast<std::uint32_t>(p[k + 1]) << 8 |
           static_cast<std::uint32_t>(p[k + 2]) << 16 | static_cast<std::uint32_t>(p[k + 3]) << 24;
}
inline std::int32_t I32(const Bytes& p, int k) { return static_cast<std::int32_t>(U32(p, k)); }

// Writes the low `width` bytes of value, little-endian, to the reply area.
inline void PutReply(Window& window, std::uint32_t value, int width)
{
    for (int i = 0; i < width; ++i) {
        window[kReplyArea + 2 * i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

// An axis selector is a bit mask of axes 1..4; 0 and values above 15 are invalid.
inline bool ValidSelector(std::uint8_t mask) { return mask != 0 && mask <= 0x0F; }

// The axis index of a selector that names exactly one axis, or -1.
inline int SingleAxis(std::uint8_t mask)
{
    switch (mask) {
    case 1: return 0;
    case 2: return 1;
    case 4: return 2;
    case 8: return 3;
    default: return -1;
    }
}

// The lowest axis a selector names, or -1 when it names none.
inline int LowestAxis(std::uint8_t mask)
{
    for (int i = 0; i < kAxisCount; ++i) {
        if (mask & (1u << i)) {
            return i;
        }
    }
    return -1;
}

} // namespace detail
} // namespace velkor_sim

#endif
