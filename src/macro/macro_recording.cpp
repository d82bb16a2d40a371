// Macro program recording. Between MP_CREATE and MP_CLOSE every packet the
// card is sent becomes a step of the program; the card's recording flag makes
// the readers with a recording path post their code instead of asking the
// module. The macro-only steps (210 to 220) are ordinary packets.
#include "transport/command.h"

#include <Velkor.h>

using velkor::Command;

namespace {

// The two comparison bytes of an IF step. A two-character operator goes out
// in reading order; a lone '=' goes out as "==" and a lone '!' as "!=";
// any other lone character is followed by 0.
struct Comparison {
    std::uint8_t first;
    std::uint8_t second;
};

Comparison ComparisonBytes(std::uint16_t op)
{
    const auto high = static_cast<std::uint8_t>(op >> 8);
    const auto low = static_cast<std::uint8_t>(op & 0xFF);
    if (high != 0) {
        return {high, low};
    }
    if (low == '!' || low == '=') {
        return {low, '='};
    }
    return {low, 0};
}

// Writes the recording flag under the card lock the Command holds, before the
// packet is staged, so no call on another thread sees the flag change halfway
// through its own run.
void SetRecording(Command& cmd, std::uint8_t on)
{
    if (cmd) {
        cmd.card().recording.store(on, std::memory_order_relaxed);
    }
}

} // namespace

extern "C" {

VELKOR_API void Velkor_LOAD_INITIAL(std::uint8_t cardNo)
{ Command(cardNo).Packet(200).Send(2); }

VELKOR_API void Velkor_MP_CREATE(std::uint8_t cardNo, std::uint8_t program)
{
    Command cmd(cardNo);
    SetRecording(cmd, 1);
    cmd.Packet(201).Byte(2, program).Send(4);
}

VELKOR_API void Velkor_MP_CLOSE(std::uint8_t cardNo)
{
    Command cmd(cardNo);
    SetRecording(cmd, 0);
    cmd.Packet(202).Send(2);
}

VELKOR_API void Velkor_MP_CALL(std::uint8_t cardNo, std::uint8_t program)
{ Command(cardNo).Packet(203).Byte(2, program).Send(4); }

VELKOR_API void Velkor_MP_SET_VAR(std::uint8_t cardNo, std::int32_t param1, std::int32_t param2)
{ Command(cardNo).Packet(210).I32(2, param1).I32(6, param2).Send(10); }

VELKOR_API void Velkor_MP_SET_RVAR(std::uint8_t cardNo, std::int32_t param1)
{ Command(cardNo).Packet(211).I32(2, param1).Send(6); }

VELKOR_API void Velkor_MP_VAR_CALCULATE(std::uint8_t cardNo, std::int32_t param1, std::uint8_t param2,
                                        std::int32_t param3, std::int32_t param4)
{ Command(cardNo).Packet(212).I32(2, param1).Byte(6, param2).I32(8, param3).I32(12, param4).Send(16); }

VELKOR_API void Velkor_MP_FOR(std::uint8_t cardNo, std::int32_t param1)
{ Command(cardNo).Packet(213).I32(2, param1).Send(6); }

VELKOR_API void Velkor_MP_NEXT(std::uint8_t cardNo)
{ Command(cardNo).Packet(214).Send(2); }

VELKOR_API void Velkor_MP_IF(std::uint8_t cardNo, std::int32_t param1, std::uint16_t comparison, std::int32_t param3)
{
    const Comparison op = ComparisonBytes(comparison);
    Command(cardNo).Packet(215).I32(2, param1).Byte(6, op.first).Byte(7, op.second).I32(8, param3).Send(12);
}

VELKOR_API void Velkor_MP_ELSE(std::uint8_t cardNo)
{ Command(cardNo).Packet(216).Send(2); }

VELKOR_API void Velkor_MP_IF_END(std::uint8_t cardNo)
{ Command(cardNo).Packet(217).Send(2); }

VELKOR_API void Velkor_MP_TIMER(std::uint8_t cardNo, std::int32_t param1)
{ Command(cardNo).Packet(218).I32(2, param1).Send(6); }

VELKOR_API void Velkor_MP_STOP_WAIT(std::uint8_t cardNo, std::uint8_t axis)
{ Command(cardNo).Packet(219).Byte(2, axis).Send(4); }

VELKOR_API void Velkor_MP_SET_RINT(std::uint8_t cardNo)
{ Command(cardNo).Packet(220).Send(2); }

} // extern "C"
