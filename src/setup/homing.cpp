// Homing: the settings of an axis's home search and its start. The search
// runs in the module; its end is seen through the stop and status queries.
#include "transport/command.h"

#include <Velkor.h>

using velkor::Command;

extern "C" {

VELKOR_API void Velkor_SET_HV(std::uint8_t cardNo, std::uint8_t axis, std::uint32_t data)
{ Command(cardNo).Packet(60).Byte(2, axis).U32(4, data).Send(8); }

VELKOR_API void Velkor_HOME_LIMIT(std::uint8_t cardNo, std::uint8_t axis, std::uint8_t data)
{ Command(cardNo).Packet(61).Byte(2, axis).Byte(4, data).Send(6); }

VELKOR_API void Velkor_SET_HOME_MODE(std::uint8_t cardNo, std::uint8_t axis, std::uint8_t data1, std::uint8_t data2,
                                     std::uint8_t data3, std::uint8_t data4, std::int32_t data5)
{
    Command(cardNo).Packet(62).Byte(2, axis).Byte(4, data1).Byte(6, data2).Byte(8, data3).Byte(10, data4)
        .I32(12, data5).Send(16);
}

VELKOR_API void Velkor_HOME_START(std::uint8_t cardNo, std::uint8_t axis)
{ Command(cardNo).Packet(63).Byte(2, axis).Send(4); }

} // extern "C"
