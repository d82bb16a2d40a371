// Single-axis speed profile and moves: axis selector at byte 2, the value
// from byte 4. Only AO and the two move amounts are signed.
#include "transport/command.h"

#include <Velkor.h>

using velkor::Command;

extern "C" {

VELKOR_API void Velkor_NORMAL_SPEED(std::uint8_t cardNo, std::uint8_t axis, std::uint8_t data)
{ Command(cardNo).Packet(70).Byte(2, axis).Byte(4, data).Send(6); }

VELKOR_API void Velkor_SET_SV(std::uint8_t cardNo, std::uint8_t axis, std::uint32_t data)
{ Command(cardNo).Packet(71).Byte(2, axis).U32(4, data).Send(8); }

VELKOR_API void Velkor_SET_V(std::uint8_t cardNo, std::uint8_t axis, std::uint32_t data)
{ Command(cardNo).Packet(72).Byte(2, axis).U32(4, data).Send(8); }

VELKOR_API void Velkor_SET_A(std::uint8_t cardNo, std::uint8_t axis, std::uint32_t data)
{ Command(cardNo).Packet(73).Byte(2, axis).U32(4, data).Send(8); }

VELKOR_API void Velkor_SET_D(std::uint8_t cardNo, std::uint8_t axis, std::uint32_t data)
{ Command(cardNo).Packet(74).Byte(2, axis).U32(4, data).Send(8); }

VELKOR_API void Velkor_SET_K(std::uint8_t cardNo, std::uint8_t axis, std::uint32_t data)
{ Command(cardNo).Packet(75).Byte(2, axis).U32(4, data).Send(8); }

VELKOR_API void Velkor_SET_L(std::uint8_t cardNo, std::uint8_t axis, std::uint32_t data)
{ Command(cardNo).Packet(76).Byte(2, axis).U32(4, data).Send(8); }

VELKOR_API void Velkor_SET_AO(std::uint8_t cardNo, std::uint8_t axis, std::int32_t data)
{ Command(cardNo).Packet(77).Byte(2, axis).I32(4, data).Send(8); }

VELKOR_API void Velkor_FIXED_MOVE(std::uint8_t cardNo, std::uint8_t axis, std::int32_t data)
{ Command(cardNo).Packet(78).Byte(2, axis).I32(4, data).Send(8); }

VELKOR_API void Velkor_SET_PULSE(std::uint8_t cardNo, std::uint8_t axis, std::uint32_t data)
{ Command(cardNo).Packet(79).Byte(2, axis).U32(4, data).Send(8); }

VELKOR_API void Velkor_CONTINUE_MOVE(std::uint8_t cardNo, std::uint8_t axis, std::int32_t data)
{ Command(cardNo).Packet(80).Byte(2, axis).I32(4, data).Send(8); }

} // extern "C"
