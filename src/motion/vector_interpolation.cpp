// Vector interpolation: the axis assignment, the vector speed profile (the
// single-axis profile without an axis byte, so values start at byte 2) and
// the line, arc and circle commands. An arc is two packets sent back to back
// under one hold of the card lock.
#include "transport/command.h"

#include <Velkor.h>

using velkor::Command;

extern "C" {

VELKOR_API void Velkor_AXIS_ASSIGN(std::uint8_t cardNo, std::uint8_t axis1, std::uint8_t axis2, std::uint8_t axis3)
{ Command(cardNo).Packet(90).Byte(2, axis1).Byte(4, axis2).Byte(6, axis3).Send(8); }

VELKOR_API void Velkor_VECTOR_SPEED(std::uint8_t cardNo, std::uint8_t data)
{ Command(cardNo).Packet(91).Byte(2, data).Send(4); }

VELKOR_API void Velkor_SET_VSV(std::uint8_t cardNo, std::uint32_t data)
{ Command(cardNo).Packet(92).U32(2, data).Send(6); }

VELKOR_API void Velkor_SET_VV(std::uint8_t cardNo, std::uint32_t data)
{ Command(cardNo).Packet(93).U32(2, data).Send(6); }

VELKOR_API void Velkor_SET_VA(std::uint8_t cardNo, std::uint32_t data)
{ Command(cardNo).Packet(94).U32(2, data).Send(6); }

VELKOR_API void Velkor_SET_VD(std::uint8_t cardNo, std::uint32_t data)
{ Command(cardNo).Packet(95).U32(2, data).Send(6); }

VELKOR_API void Velkor_SET_VK(std::uint8_t cardNo, std::uint32_t data)
{ Command(cardNo).Packet(96).U32(2, data).Send(6); }

VELKOR_API void Velkor_SET_VL(std::uint8_t cardNo, std::uint32_t data)
{ Command(cardNo).Packet(97).U32(2, data).Send(6); }

VELKOR_API void Velkor_SET_VAO(std::uint8_t cardNo, std::int32_t data)
{ Command(cardNo).Packet(98).I32(2, data).Send(6); }

VELKOR_API void Velkor_LINE_2D(std::uint8_t cardNo, std::int32_t data1, std::int32_t data2)
{ Command(cardNo).Packet(99).I32(2, data1).I32(6, data2).Send(10); }

VELKOR_API void Velkor_LINE_3D(std::uint8_t cardNo, std::int32_t data1, std::int32_t data2, std::int32_t data3)
{ Command(cardNo).Packet(100).I32(2, data1).I32(6, data2).I32(10, data3).Send(14); }

VELKOR_API void Velkor_ARC_CW(std::uint8_t cardNo, std::int32_t data1, std::int32_t data2, std::int32_t data3,
                              std::int32_t data4)
{
    Command cmd(cardNo);
    cmd.Packet(101).I32(2, data1).I32(6, data2).Send(10);
    cmd.Packet(102).I32(2, data3).I32(6, data4).Send(10);
}

VELKOR_API void Velkor_ARC_CCW(std::uint8_t cardNo, std::int32_t data1, std::int32_t data2, std::int32_t data3,
                               std::int32_t data4)
{
    Command cmd(cardNo);
    cmd.Packet(103).I32(2, data1).I32(6, data2).Send(10);
    cmd.Packet(104).I32(2, data3).I32(6, data4).Send(10);
}

VELKOR_API void Velkor_CIRCLE_CW(std::uint8_t cardNo, std::int32_t data1, std::int32_t data2)
{ Command(cardNo).Packet(105).I32(2, data1).I32(6, data2).Send(10); }

VELKOR_API void Velkor_CIRCLE_CCW(std::uint8_t cardNo, std::int32_t data1, std::int32_t data2)
{ Command(cardNo).Packet(106).I32(2, data1).I32(6, data2).Send(10); }

} // extern "C"
