// The LP and EP counters, the CV and CA readings, the digital inputs, the
// error state and the remote I/O input words.
#include "transport/command.h"
#include "transport/mailbox.h"

#include <Velkor.h>

#include <cstdint>
#include <limits>

namespace velkor {
namespace {

constexpr std::uint8_t kSetLp = 40;
constexpr std::uint8_t kGetLp = 41;
constexpr std::uint8_t kSetEp = 42;
constexpr std::uint8_t kGetEp = 43;
constexpr std::uint8_t kGetCv = 44;
constexpr std::uint8_t kGetCa = 45;
constexpr std::uint8_t kGetDi = 46;
constexpr std::uint8_t kGetError = 47;
constexpr std::uint8_t kGetErrorCode = 48;
constexpr std::uint8_t kGetDiAll = 49;
constexpr std::uint8_t kQuorlIn = 50;
constexpr std::uint8_t kRangeQuery = 255;

// The stop flag shows in the error state: a stopped card reports an error,
// and its error code carries this bit on top of the module's own bits.
constexpr std::uint16_t kStoppedErrorBit = 0x100;

constexpr float kScaleNumerator = 8000000.0f;
constexpr float kVelocityFactor = 1.0f;
constexpr float kAccelerationFactor = 125.0f;

// Scales a raw reading by the module's range value, in single precision and
// in the module's order: numerator / range, times the reading, times the
// factor; the fraction is dropped. The value is never negative, and it is
// converted as an unsigned 32-bit number returned as the same 32 bits, so a
// caller recovers readings from 2^31 to 2^32 - 1 with a cast to unsigned.
// Values of 2^32 and above saturate at 2^32 - 1 (all bits set); a range of 0
// has no reading to give and yields 0.
std::int32_t ScaleReading(std::uint32_t raw, std::uint32_t range, float factor)
{
    if (range == 0) {
        return 0;
    }
    const float scale = kScaleNumerator / static_cast<float>(range);
    float value = static_cast<float>(raw) * scale;
    value = value * factor;
    // Unsigned inputs and a positive factor give neither a negative value nor
    // a NaN; the test only keeps any such float from an undefined conversion.
    if (!(value >= 0.0f)) {
        return 0;
    }
    // 2^32 is exactly representable; every float below it truncates to a
    // valid unsigned 32-bit integer.
    constexpr float kLimit = 4294967296.0f;
    const std::uint32_t bits =
        value >= kLimit ? std::numeric_limits<std::uint32_t>::max() : static_cast<std::uint32_t>(value);
    return static_cast<std::int32_t>(bits);
}

// GET_CV and GET_CA: the reading and then the range value (query 255), both
// asked for the same axis within one direct exchange, so the sequence
// register is parked once and written back once. No recording path.
std::int32_t ReadScaled(std::uint8_t cardNo, std::uint8_t axis, std::uint8_t code, float factor)
{
    CardRecord* card = FindCard(cardNo);
    if (card == nullptr) {
        return 0;
    }
    std::uint32_t raw = 0;
    std::uint32_t range = 0;
    {
        CardLockHold hold(*card);
        DirectExchange exchange(*card);
        exchange.WaitIdle();
        exchange.Param(reg::kQueryAxis, axis);
        exchange.Ask(code);
        raw = exchange.ReplyDword(0);
        exchange.WaitIdle();
        exchange.Param(reg::kQueryAxis, axis);
        exchange.Ask(kRangeQuery);
        range = exchange.ReplyDword(0);
        exchange.Finish();
    }
    return ScaleReading(raw, range, factor);
}

} // namespace
} // namespace velkor

using namespace velkor;

extern "C" {

VELKOR_API void Velkor_SET_LP(std::uint8_t cardNo, std::uint8_t axis, std::int32_t data)
{
    Command(cardNo).Packet(kSetLp).Byte(2, axis).I32(4, data).Send(8);
}

VELKOR_API void Velkor_SET_EP(std::uint8_t cardNo, std::uint8_t axis, std::int32_t data)
{
    Command(cardNo).Packet(kSetEp).Byte(2, axis).I32(4, data).Send(8);
}

VELKOR_API std::int32_t Velkor_GET_LP(std::uint8_t cardNo, std::uint8_t axis)
{
    return static_cast<std::int32_t>(
        Read(cardNo, After(Ask(kGetLp, Reply::Dword), reg::kQueryAxis, axis), Record(axis)).reply);
}

VELKOR_API std::int32_t Velkor_GET_EP(std::uint8_t cardNo, std::uint8_t axis)
{
    return static_cast<std::int32_t>(
        Read(cardNo, After(Ask(kGetEp, Reply::Dword), reg::kQueryAxis, axis), Record(axis)).reply);
}

VELKOR_API std::int32_t Velkor_GET_CV(std::uint8_t cardNo, std::uint8_t axis)
{
    return ReadScaled(cardNo, axis, kGetCv, kVelocityFactor);
}

VELKOR_API std::int32_t Velkor_GET_CA(std::uint8_t cardNo, std::uint8_t axis)
{
    return ReadScaled(cardNo, axis, kGetCa, kAccelerationFactor);
}

VELKOR_API std::uint8_t Velkor_GET_DI(std::uint8_t cardNo, std::uint8_t axis, std::uint8_t input)
{
    const Query query = After(After(Ask(kGetDi, Reply::Byte), reg::kQueryAxis, axis), reg::kQueryInput, input);
    return static_cast<std::uint8_t>(Read(cardNo, query, Record(axis, input)).reply);
}

VELKOR_API std::uint16_t Velkor_GET_DI_ALL(std::uint8_t cardNo, std::uint8_t axis)
{
    return static_cast<std::uint16_t>(
        Read(cardNo, Before(Ask(kGetDiAll, Reply::Word), reg::kQueryAxis, axis), Record(axis)).reply);
}

VELKOR_API std::uint8_t Velkor_GET_ERROR(std::uint8_t cardNo)
{
    const ReadResult result = Read(cardNo, Ask(kGetError, Reply::Byte), Record());
    return result.stopped ? 1 : static_cast<std::uint8_t>(result.reply);
}

VELKOR_API std::uint16_t Velkor_GET_ERROR_CODE(std::uint8_t cardNo, std::uint8_t axis)
{
    const ReadResult result =
        Read(cardNo, Before(Ask(kGetErrorCode, Reply::Word), reg::kQueryAxis, axis), Record(axis));
    const std::uint16_t code = static_cast<std::uint16_t>(result.reply);
    return result.stopped ? static_cast<std::uint16_t>(code | kStoppedErrorBit) : code;
}

VELKOR_API std::uint16_t Velkor_QUORL_IN(std::uint8_t cardNo, std::uint8_t port)
{
    return static_cast<std::uint16_t>(
        Read(cardNo, Before(Ask(kQuorlIn, Reply::Word), reg::kQueryPort, port), Record(port)).reply);
}

} // extern "C"
