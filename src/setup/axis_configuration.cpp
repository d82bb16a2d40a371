// Axis configuration: one packet per call, axis selector at byte 2, the
// settings after it. The module keeps the configuration; nothing is kept here.
#include "transport/command.h"

#include <Velkor.h>

using velkor::Command;

extern "C" {

VELKOR_API void Velkor_SET_PULSE_MODE(std::uint8_t cardNo, std::uint8_t axis, std::uint8_t data)
{ Command(cardNo).Packet(12).Byte(2, axis).Byte(4, data).Send(6); }

VELKOR_API void Velkor_SET_MAX_V(std::uint8_t cardNo, std::uint8_t axis, std::uint32_t data)
{ Command(cardNo).Packet(13).Byte(2, axis).U32(4, data).Send(8); }

VELKOR_API void Velkor_SET_HLMT(std::uint8_t cardNo, std::uint8_t axis, std::uint8_t data1, std::uint8_t data2)
{ Command(cardNo).Packet(14).Byte(2, axis).Byte(4, data1).Byte(6, data2).Send(8); }

VELKOR_API void Velkor_LIMITSTOP_MODE(std::uint8_t cardNo, std::uint8_t axis, std::uint8_t data)
{ Command(cardNo).Packet(15).Byte(2, axis).Byte(4, data).Send(6); }

VELKOR_API void Velkor_SET_NHOME(std::uint8_t cardNo, std::uint8_t axis, std::uint8_t data)
{ Command(cardNo).Packet(16).Byte(2, axis).Byte(4, data).Send(6); }

VELKOR_API void Velkor_SET_HOME_EDGE(std::uint8_t cardNo, std::uint8_t axis, std::uint8_t data)
{ Command(cardNo).Packet(17).Byte(2, axis).Byte(4, data).Send(6); }

VELKOR_API void Velkor_SET_SLMT(std::uint8_t cardNo, std::uint8_t axis, std::int32_t data1, std::int32_t data2,
                                std::uint8_t data3)
{ Command(cardNo).Packet(18).Byte(2, axis).I32(4, data1).I32(8, data2).Byte(12, data3).Send(14); }

VELKOR_API void Velkor_CLEAR_SLMT(std::uint8_t cardNo, std::uint8_t axis)
{ Command(cardNo).Packet(19).Byte(2, axis).Send(4); }

VELKOR_API void Velkor_SET_ENCODER(std::uint8_t cardNo, std::uint8_t axis, std::uint8_t data1, std::uint8_t data2,
                                   std::uint8_t data3)
{ Command(cardNo).Packet(20).Byte(2, axis).Byte(4, data1).Byte(6, data2).Byte(8, data3).Send(10); }

VELKOR_API void Velkor_SERVO_ON(std::uint8_t cardNo, std::uint8_t axis)
{ Command(cardNo).Packet(21).Byte(2, axis).Send(4); }

VELKOR_API void Velkor_SERVO_OFF(std::uint8_t cardNo, std::uint8_t axis)
{ Command(cardNo).Packet(22).Byte(2, axis).Send(4); }

VELKOR_API void Velkor_SET_ALARM(std::uint8_t cardNo, std::uint8_t axis, std::uint8_t data1, std::uint8_t data2)
{ Command(cardNo).Packet(23).Byte(2, axis).Byte(4, data1).Byte(6, data2).Send(8); }

VELKOR_API void Velkor_SET_INPOS(std::uint8_t cardNo, std::uint8_t axis, std::uint8_t data1, std::uint8_t data2)
{ Command(cardNo).Packet(24).Byte(2, axis).Byte(4, data1).Byte(6, data2).Send(8); }

VELKOR_API void Velkor_SET_FILTER(std::uint8_t cardNo, std::uint8_t axis, std::uint8_t data1, std::uint8_t data2)
{ Command(cardNo).Packet(25).Byte(2, axis).Byte(4, data1).Byte(6, data2).Send(8); }

VELKOR_API void Velkor_VRING_ENABLE(std::uint8_t cardNo, std::uint8_t axis, std::uint32_t data)
{ Command(cardNo).Packet(26).Byte(2, axis).U32(4, data).Send(8); }

VELKOR_API void Velkor_VRING_DISABLE(std::uint8_t cardNo, std::uint8_t axis)
{ Command(cardNo).Packet(27).Byte(2, axis).Send(4); }

VELKOR_API void Velkor_AVTRI_ENABLE(std::uint8_t cardNo, std::uint8_t axis)
{ Command(cardNo).Packet(28).Byte(2, axis).Send(4); }

VELKOR_API void Velkor_AVTRI_DISABLE(std::uint8_t cardNo, std::uint8_t axis)
{ Command(cardNo).Packet(29).Byte(2, axis).Send(4); }

VELKOR_API void Velkor_EXD_MP(std::uint8_t cardNo, std::uint8_t axis, std::uint32_t data)
{ Command(cardNo).Packet(30).Byte(2, axis).U32(4, data).Send(8); }

VELKOR_API void Velkor_EXD_FP(std::uint8_t cardNo, std::uint8_t axis, std::uint32_t data)
{ Command(cardNo).Packet(31).Byte(2, axis).U32(4, data).Send(8); }

VELKOR_API void Velkor_EXD_CP(std::uint8_t cardNo, std::uint8_t axis, std::uint32_t data)
{ Command(cardNo).Packet(32).Byte(2, axis).U32(4, data).Send(8); }

VELKOR_API void Velkor_EXD_DISABLE(std::uint8_t cardNo, std::uint8_t axis)
{ Command(cardNo).Packet(33).Byte(2, axis).Send(4); }

} // extern "C"
