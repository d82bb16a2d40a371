// Continuous and special interpolation: paths of several pieces. Each call
// spreads its arguments over one to four packets, sent in order under one
// hold of the card lock so that no other thread's packet falls between them.
// The host keeps no path state: which INITIAL opened a path and whether the
// CONTINUE calls match it is for the caller and the module to judge.
#include "motion/line_3d_packets.h"
#include "transport/command.h"

#include <Velkor.h>

using velkor::Command;

namespace {

// The array form of the general continuous interpolation carries at most this
// many entries; a data1 byte of kLastEntry ends the list early.
constexpr std::uint8_t kMaxEntries = 100;
constexpr std::uint8_t kLastEntry = 7;

} // namespace

extern "C" {

VELKOR_API void Velkor_RECTANGLE(std::uint8_t cardNo, std::uint8_t data1, std::uint8_t data2, std::uint8_t data3,
                                 std::uint8_t data4, std::uint8_t data5, std::int32_t data6, std::int32_t data7,
                                 std::int32_t data8, std::uint32_t data9, std::uint32_t data10, std::uint32_t data11,
                                 std::uint32_t data12)
{
    Command cmd(cardNo);
    cmd.Packet(120).Byte(2, data1).Byte(4, data2).Byte(6, data3).Byte(8, data4).Byte(10, data5).Send(12);
    cmd.Packet(121).I32(2, data6).I32(6, data7).I32(10, data8).Send(14);
    cmd.Packet(122).U32(2, data9).U32(6, data10).Send(10);
    cmd.Packet(123).U32(2, data11).U32(6, data12).Send(10);
}

VELKOR_API void Velkor_LINE_2D_INITIAL(std::uint8_t cardNo, std::uint8_t axis1, std::uint8_t axis2,
                                       std::uint32_t data1, std::uint32_t data2, std::uint32_t data3)
{
    Command cmd(cardNo);
    cmd.Packet(124).Byte(2, axis1).Byte(4, axis2).Send(6);
    cmd.Packet(125).U32(2, data1).U32(6, data2).U32(10, data3).Send(14);
}

VELKOR_API void Velkor_LINE_2D_CONTINUE(std::uint8_t cardNo, std::uint8_t endFlag, std::int32_t data1,
                                        std::int32_t data2)
{ Command(cardNo).Packet(126).Byte(2, endFlag).I32(4, data1).I32(8, data2).Send(12); }

// The same packets 127, 128 and 129 as the arcs in space, which send their
// chords as a three-dimensional line path.
VELKOR_API void Velkor_LINE_3D_INITIAL(std::uint8_t cardNo, std::uint8_t axis1, std::uint8_t axis2,
                                       std::uint8_t axis3, std::uint32_t data1, std::uint32_t data2,
                                       std::uint32_t data3)
{
    Command cmd(cardNo);
    velkor::SendLine3dAxes(cmd, axis1, axis2, axis3);
    velkor::SendLine3dProfile(cmd, data1, data2, data3);
}

VELKOR_API void Velkor_LINE_3D_CONTINUE(std::uint8_t cardNo, std::uint8_t endFlag, std::int32_t data1,
                                        std::int32_t data2, std::int32_t data3)
{
    Command cmd(cardNo);
    velkor::SendLine3dSegment(cmd, endFlag, data1, data2, data3);
}

VELKOR_API void Velkor_MIX_2D_INITIAL(std::uint8_t cardNo, std::uint8_t data1, std::uint8_t data2,
                                      std::uint8_t data3, std::uint32_t data4, std::uint32_t data5,
                                      std::uint32_t data6)
{
    Command cmd(cardNo);
    cmd.Packet(130).Byte(2, data1).Byte(4, data2).Byte(6, data3).Send(8);
    cmd.Packet(131).U32(2, data4).U32(6, data5).U32(10, data6).Send(14);
}

VELKOR_API void Velkor_MIX_2D_CONTINUE(std::uint8_t cardNo, std::uint8_t data1, std::uint8_t data2,
                                       std::int32_t data3, std::int32_t data4, std::int32_t data5,
                                       std::int32_t data6)
{
    Command cmd(cardNo);
    cmd.Packet(132).Byte(2, data1).Byte(4, data2).I32(6, data3).I32(10, data4).Send(14);
    cmd.Packet(133).I32(2, data5).I32(6, data6).Send(10);
}

VELKOR_API void Velkor_CONTINUE_INTP(std::uint8_t cardNo, std::uint8_t data1, std::uint8_t data2,
                                     std::uint8_t data3, std::uint8_t data4, std::uint32_t data5,
                                     std::uint32_t data6, std::uint32_t data7, std::uint32_t data8)
{
    Command(cardNo).Packet(134).Byte(2, data1).Byte(4, data2).Byte(6, data3).Byte(8, data4).U32(10, data5)
        .U32(14, data6).U32(18, data7).U32(22, data8).Send(26);
}

// One packet per entry, from entry 0 up to and including the first whose
// data1 byte ends the list, and never past the last entry the module takes:
// the caller's arrays are read no further than that.
VELKOR_API void Velkor_CONTINUE_INTP_ARRAY(std::uint8_t cardNo, const std::uint8_t* data1, const std::int32_t* data2,
                                           const std::int32_t* data3, const std::int32_t* data4,
                                           const std::int32_t* data5, const std::int32_t* data6)
{
    if (data1 == nullptr || data2 == nullptr || data3 == nullptr || data4 == nullptr || data5 == nullptr ||
        data6 == nullptr) {
        return;
    }
    Command cmd(cardNo);
    if (!cmd) {
        return;
    }
    for (std::uint8_t i = 0; i < kMaxEntries; ++i) {
        cmd.Packet(135).Byte(2, i).Byte(4, data1[i]).I32(6, data2[i]).I32(10, data3[i]).I32(14, data4[i])
            .I32(18, data5[i]).I32(22, data6[i]).Send(26);
        if (data1[i] == kLastEntry) {
            break;
        }
    }
}

VELKOR_API void Velkor_HELIX_3D(std::uint8_t cardNo, std::uint8_t data1, std::uint8_t data2, std::uint8_t data3,
                                std::uint8_t data4, std::uint32_t data5, std::int32_t data6, std::int32_t data7,
                                std::int32_t data8, std::int32_t data9)
{
    Command cmd(cardNo);
    cmd.Packet(136).Byte(2, data1).Byte(4, data2).Byte(6, data3).Byte(8, data4).Send(10);
    cmd.Packet(137).U32(2, data5).I32(6, data6).I32(10, data7).Send(14);
    cmd.Packet(138).I32(2, data8).I32(6, data9).Send(10);
}

// The third 32-bit value travels in the second packet, ahead of the two
// closing byte parameters.
VELKOR_API void Velkor_RATIO_INITIAL(std::uint8_t cardNo, std::uint8_t data1, std::uint8_t data2,
                                     std::uint32_t data3, std::uint32_t data4, std::uint32_t data5,
                                     std::uint8_t data6, std::uint8_t data7)
{
    Command cmd(cardNo);
    cmd.Packet(139).Byte(2, data1).Byte(4, data2).U32(6, data3).U32(10, data4).Send(14);
    cmd.Packet(140).U32(2, data5).Byte(6, data6).Byte(8, data7).Send(10);
}

VELKOR_API void Velkor_RATIO_2D(std::uint8_t cardNo, std::uint8_t data1, std::int32_t data2, std::uint8_t data3)
{ Command(cardNo).Packet(141).Byte(2, data1).I32(4, data2).Byte(8, data3).Send(10); }

} // extern "C"
