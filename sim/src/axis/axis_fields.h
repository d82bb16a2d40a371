// The fields of the axis commands, shared by the axis's handlers: most
// commands name their axes at the same byte and carry one value.
#ifndef VELKOR_SIM_AXIS_AXIS_FIELDS_H
#define VELKOR_SIM_AXIS_AXIS_FIELDS_H

#include "protocol/command.h"

namespace velkor_sim {
namespace detail {
namespace axis_field {

// The axis selector of every command of an axis.
constexpr auto kAxes = U8Field({12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 32,
                                33, 40, 42, 60, 61, 62, 63, 70, 71, 72, 73, 74, 75, 76, 77, 78, 79, 80, 180, 181,
                                183, 184},
                               "axis");
// One setting of a byte.
constexpr auto kFlag = U8Field({12, 15, 16, 17, 61, 70}, "data");
// Two or more settings of a byte.
constexpr auto kFirst = U8Field({14, 20, 23, 24, 25, 62}, "data1");
constexpr auto kSecond = U8Field({14, 20, 23, 24, 25, 62}, "data2");
constexpr auto kThird = U8Field({20, 62}, "data3");
constexpr auto kFourth = U8Field({62}, "data4");
constexpr auto kHomeOffset = I32Field({62}, "data5");
// A speed, distance or count.
constexpr auto kValue = U32Field({13, 26, 30, 31, 32, 60, 71, 72, 73, 74, 75, 76, 79}, "data");
// A signed position, distance or offset.
constexpr auto kSigned = I32Field({40, 42, 77, 78, 80}, "data");
// Soft limits.
constexpr auto kLimitPlus = I32Field({18}, "plus");
constexpr auto kLimitMinus = I32Field({18}, "minus");
constexpr auto kLimitMode = U8Field({18}, "mode");
// The vector profile's constant-speed mode.
constexpr auto kVectorMode = U8Field({91}, "data");

} // namespace axis_field
} // namespace detail
} // namespace velkor_sim

#endif
