// The three packets of a continuous three-dimensional path, shared by the
// line functions and the arc functions that send an arc as its chords:
// 127 names the three axes, 128 carries the three profile values, and each
// 129 is one segment's displacement with its end flag.
#ifndef VELKOR_MOTION_LINE_3D_PACKETS_H
#define VELKOR_MOTION_LINE_3D_PACKETS_H

#include "transport/command.h"

#include <cstdint>

namespace velkor {

constexpr std::uint8_t kLine3dAxes = 127;
constexpr std::uint8_t kLine3dProfile = 128;
constexpr std::uint8_t kLine3dSegment = 129;

inline void SendLine3dAxes(Command& cmd, std::uint8_t axis1, std::uint8_t axis2, std::uint8_t axis3)
{
    cmd.Packet(kLine3dAxes).Byte(2, axis1).Byte(4, axis2).Byte(6, axis3).Send(8);
}

inline void SendLine3dProfile(Command& cmd, std::uint32_t data1, std::uint32_t data2, std::uint32_t data3)
{
    cmd.Packet(kLine3dProfile).U32(2, data1).U32(6, data2).U32(10, data3).Send(14);
}

inline void SendLine3dSegment(Command& cmd, std::uint8_t endFlag, std::int32_t x, std::int32_t y, std::int32_t z)
{
    cmd.Packet(kLine3dSegment).Byte(2, endFlag).I32(4, x).I32(8, y).I32(12, z).Send(16);
}

} // namespace velkor

#endif
