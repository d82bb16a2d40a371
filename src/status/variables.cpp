// The module's byte variables, long variables and MD table, and the output
// word of the QUORL remote I/O bus. Writes are packets; reads always query,
// also while a macro program is recorded.
#include "transport/command.h"
#include "transport/mailbox.h"

#include <Velkor.h>

#include <cstdint>

namespace velkor {
namespace {

constexpr std::uint8_t kReadByteVar = 34;
constexpr std::uint8_t kWriteByteVar = 35;
constexpr std::uint8_t kReadVar = 36;
constexpr std::uint8_t kWriteVar = 37;
constexpr std::uint8_t kReadMd = 38;
constexpr std::uint8_t kWriteMd = 39;
constexpr std::uint8_t kQuorlOut = 51;

// The module asks for byte variables shifted by half the byte range:
// variable 0 is register value 128, variable 128 is register value 0.
constexpr std::uint8_t kByteVarRegisterShift = 128;

// MD entries below this index hold signed integers, the others floats.
constexpr std::int32_t kFirstFloatMd = 1024;

constexpr std::uint8_t LowByte(std::int32_t index) { return static_cast<std::uint8_t>(index); }
constexpr std::uint8_t HighByte(std::int32_t index) { return static_cast<std::uint8_t>(index >> 8); }

} // namespace
} // namespace velkor

using namespace velkor;

extern "C" {

VELKOR_API std::uint8_t Velkor_READ_bVAR(std::uint8_t cardNo, std::uint8_t index)
{
    const auto shifted = static_cast<std::uint8_t>(index + kByteVarRegisterShift);
    return static_cast<std::uint8_t>(
        ReadDirect(cardNo, Before(Ask(kReadByteVar, Reply::Byte), reg::kVarIndexLow, shifted)).reply);
}

VELKOR_API void Velkor_WRITE_bVAR(std::uint8_t cardNo, std::uint8_t index, std::uint8_t data)
{
    Command(cardNo).Packet(kWriteByteVar).Byte(2, index).Byte(4, data).Send(6);
}

VELKOR_API std::int32_t Velkor_READ_VAR(std::uint8_t cardNo, std::int32_t index)
{
    const Query query =
        Before(Before(Ask(kReadVar, Reply::Dword), reg::kVarIndexHigh, HighByte(index)), reg::kVarIndexLow, LowByte(index));
    return static_cast<std::int32_t>(ReadDirect(cardNo, query).reply);
}

VELKOR_API void Velkor_WRITE_VAR(std::uint8_t cardNo, std::int32_t index, std::int32_t data)
{
    Command(cardNo).Packet(kWriteVar).Byte(2, LowByte(index)).Byte(3, HighByte(index)).I32(6, data).Send(10);
}

VELKOR_API void Velkor_READ_MD(std::uint8_t cardNo, std::int32_t index, std::int32_t* intOut, float* floatOut)
{
    const Query query =
        Before(Before(Ask(kReadMd, Reply::Dword), reg::kMdIndexHigh, HighByte(index)), reg::kMdIndexLow, LowByte(index));
    const ReadResult result = ReadDirect(cardNo, query);
    // Only the pointer that matches the entry's kind is touched; a null one
    // means the caller does not want the value.
    if (index < kFirstFloatMd) {
        if (intOut != nullptr) {
            *intOut = static_cast<std::int32_t>(result.reply);
        }
    } else if (floatOut != nullptr) {
        *floatOut = DWtoF(result.reply);
    }
}

VELKOR_API void Velkor_WRITE_MD(std::uint8_t cardNo, std::int32_t index, std::int32_t intData, float floatData)
{
    Command cmd(cardNo);
    cmd.Packet(kWriteMd).Byte(2, LowByte(index)).Byte(3, HighByte(index));
    if (index < kFirstFloatMd) {
        cmd.I32(6, intData);
    } else {
        cmd.U32(6, FtoDW(floatData));
    }
    cmd.Send(10);
}

VELKOR_API void Velkor_QUORL_OUT(std::uint8_t cardNo, std::uint8_t port, std::uint32_t data)
{
    Command(cardNo).Packet(kQuorlOut).Byte(2, port).U32(4, data).Send(8);
}

} // extern "C"
