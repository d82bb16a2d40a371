// Synchronous actions, compare, preset and output settings, and the latched
// value.
#include "transport/command.h"
#include "transport/mailbox.h"

#include <Velkor.h>

#include <cstdint>

namespace velkor {
namespace {

constexpr std::uint8_t kSyncActionFirst = 110;
constexpr std::uint8_t kSyncActionSecond = 111;
constexpr std::uint8_t kSetCompare = 112;
constexpr std::uint8_t kGetLatch = 113;
constexpr std::uint8_t kSetPreset = 114;
constexpr std::uint8_t kSetOut = 115;

} // namespace
} // namespace velkor

using namespace velkor;

extern "C" {

// Both packets under one hold of the card lock, so that no other thread's
// packet comes between them. The second is staged over the first: its odd
// bytes are not written and go out as the first packet left them.
VELKOR_API void Velkor_SYNC_ACTION(std::uint8_t cardNo, std::uint8_t param1, std::uint8_t param2, std::uint32_t param3,
                                   std::uint8_t param4, std::uint8_t param5, std::uint8_t param6, std::uint8_t param7,
                                   std::uint8_t param8, std::uint8_t param9, std::uint8_t param10,
                                   std::uint8_t param11, std::uint8_t param12)
{
    Command cmd(cardNo);
    cmd.Packet(kSyncActionFirst).Byte(2, param1).Byte(4, param2).U32(6, param3).Send(10);
    cmd.Packet(kSyncActionSecond)
        .Byte(2, param4)
        .Byte(4, param5)
        .Byte(6, param6)
        .Byte(8, param7)
        .Byte(10, param8)
        .Byte(12, param9)
        .Byte(14, param10)
        .Byte(16, param11)
        .Byte(18, param12)
        .Send(20);
}

VELKOR_API void Velkor_SET_COMPARE(std::uint8_t cardNo, std::uint8_t param1, std::uint8_t param2, std::uint8_t param3,
                                   std::int32_t param4)
{
    Command(cardNo).Packet(kSetCompare).Byte(2, param1).Byte(4, param2).Byte(6, param3).I32(8, param4).Send(12);
}

VELKOR_API std::int32_t Velkor_GET_LATCH(std::uint8_t cardNo, std::uint8_t axis)
{
    return static_cast<std::int32_t>(
        Read(cardNo, Before(Ask(kGetLatch, Reply::Dword), reg::kQueryAxis, axis), Record(axis)).reply);
}

VELKOR_API void Velkor_SET_PRESET(std::uint8_t cardNo, std::uint8_t param1, std::int32_t param2)
{
    Command(cardNo).Packet(kSetPreset).Byte(2, param1).I32(4, param2).Send(8);
}

VELKOR_API void Velkor_SET_OUT(std::uint8_t cardNo, std::uint8_t param1, std::uint8_t param2, std::uint8_t param3)
{
    Command(cardNo).Packet(kSetOut).Byte(2, param1).Byte(4, param2).Byte(6, param3).Send(8);
}

} // extern "C"
