// Line scan: its two settings and the loading of the offset table, which
// crosses the mailbox in chunks of up to 20 bytes, each carrying the table
// index of its first byte.
#include "transport/command.h"

#include <Velkor.h>

using velkor::Command;

namespace {

constexpr std::uint32_t kChunkBytes = 20;
constexpr std::uint8_t kChunkHeader = 7; // code, 10, byte count, 32-bit index at byte 3

} // namespace

extern "C" {

VELKOR_API void Velkor_LINE_SCAN(std::uint8_t cardNo, std::uint8_t data1, std::uint8_t data2, std::uint8_t data3,
                                 std::uint8_t data4, std::int32_t data5)
{ Command(cardNo).Packet(144).Byte(2, data1).Byte(4, data2).Byte(6, data3).Byte(8, data4).I32(10, data5).Send(14); }

VELKOR_API void Velkor_LINE_SCAN_START(std::uint8_t cardNo, std::uint8_t data1, std::uint8_t data2,
                                       std::int32_t data3)
{ Command(cardNo).Packet(145).Byte(2, data1).Byte(4, data2).I32(6, data3).Send(10); }

// All chunks under one hold of the card lock, so the table reaches the module
// whole. The index is kept unsigned so that no table length can overflow it;
// its four bytes are those of the signed index the module reads.
VELKOR_API void Velkor_LINE_SCAN_OFFSET(std::uint8_t cardNo, std::uint32_t count, const std::uint8_t* offsets)
{
    if (count == 0 || offsets == nullptr) {
        return;
    }
    Command cmd(cardNo);
    if (!cmd) {
        return;
    }
    for (std::uint32_t next = 0; next < count;) {
        const auto n = static_cast<std::uint8_t>(count - next < kChunkBytes ? count - next : kChunkBytes);
        cmd.Packet(146).Byte(2, n).U32(3, next);
        for (std::uint8_t j = 0; j < n; ++j) {
            cmd.Byte(static_cast<std::uint8_t>(kChunkHeader + j), offsets[next + j]);
        }
        next += n;
        cmd.Send(static_cast<std::uint8_t>(kChunkHeader + n));
    }
}

} // extern "C"
