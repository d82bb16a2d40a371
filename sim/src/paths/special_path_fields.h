// The fields of the special path commands (rectangle, mixed 2-D path,
// continuous interpolation, helix, ratio moves, line scan), each named once
// from the command table: the handlers in paths/special_paths.cpp read them.
#ifndef VELKOR_SIM_PATHS_SPECIAL_PATH_FIELDS_H
#define VELKOR_SIM_PATHS_SPECIAL_PATH_FIELDS_H

#include "protocol/command.h"

namespace velkor_sim {
namespace detail {
namespace special_path_field {

constexpr auto kRectAxis1 = U8Field({120}, "axis1");
constexpr auto kRectAxis2 = U8Field({120}, "axis2");
constexpr auto kRectOrder = U8Field({120}, "order");
constexpr auto kRectRounds = U8Field({120}, "rounds");
constexpr auto kRectCornerStops = U8Field({120}, "corner_stops");
constexpr auto kRectWidth = I32Field({121}, "width");
constexpr auto kRectHeight = I32Field({121}, "height");
constexpr auto kRectRadius = I32Field({121}, "radius");
constexpr auto kRectSv = U32Field({122}, "sv");
constexpr auto kRectV = U32Field({122}, "v");
constexpr auto kRectA = U32Field({123}, "a");
constexpr auto kRectD = U32Field({123}, "d");

constexpr auto kMixAxis1 = U8Field({130}, "axis1");
constexpr auto kMixAxis2 = U8Field({130}, "axis2");
constexpr auto kMixCornerStops = U8Field({130}, "corner_stops");
constexpr auto kMixSv = U32Field({131}, "sv");
constexpr auto kMixV = U32Field({131}, "v");
constexpr auto kMixA = U32Field({131}, "a");
constexpr auto kMixEnd = U8Field({132}, "end");
constexpr auto kMixKind = U8Field({132}, "kind");
constexpr auto kMixX = I32Field({132}, "x");
constexpr auto kMixY = I32Field({132}, "y");
constexpr auto kMixCentreX = I32Field({133}, "centre_x");
constexpr auto kMixCentreY = I32Field({133}, "centre_y");

constexpr auto kIntpKind = U8Field({134}, "kind");
constexpr auto kIntpAxis1 = U8Field({134}, "axis1");
constexpr auto kIntpAxis2 = U8Field({134}, "axis2");
constexpr auto kIntpNewPath = U8Field({134}, "new_path");
constexpr auto kIntpX = I32Field({134}, "x");
constexpr auto kIntpY = I32Field({134}, "y");
constexpr auto kIntpCentreX = I32Field({134}, "centre_x");
constexpr auto kIntpCentreY = I32Field({134}, "centre_y");

constexpr auto kArrayEntry = U8Field({135}, "entry");
constexpr auto kArrayKind = U8Field({135}, "kind");
constexpr auto kArrayX = I32Field({135}, "x");
constexpr auto kArrayY = I32Field({135}, "y");
constexpr auto kArrayCentreX = I32Field({135}, "centre_x");
constexpr auto kArrayCentreY = I32Field({135}, "centre_y");
constexpr auto kArrayZ = I32Field({135}, "z");

constexpr auto kHelixAxis1 = U8Field({136}, "axis1");
constexpr auto kHelixAxis2 = U8Field({136}, "axis2");
constexpr auto kHelixAxis3 = U8Field({136}, "axis3");
constexpr auto kHelixDirection = U8Field({136}, "direction");
constexpr auto kHelixV = U32Field({137}, "v");
constexpr auto kHelixCentreX = I32Field({137}, "centre_x");
constexpr auto kHelixCentreY = I32Field({137}, "centre_y");
constexpr auto kHelixHeight = I32Field({138}, "height");
constexpr auto kHelixSweep = I32Field({138}, "sweep");

constexpr auto kRatioMaster = U8Field({139}, "master");
constexpr auto kRatioSlave = U8Field({139}, "slave");
constexpr auto kRatioSv = U32Field({139}, "sv");
constexpr auto kRatioV = U32Field({139}, "v");
constexpr auto kRatioA = U32Field({140}, "a");
constexpr auto kRatioNumerator = U8Field({140}, "numerator");
constexpr auto kRatioDenominator = U8Field({140}, "denominator");
constexpr auto kRatioEnd = U8Field({141}, "end");
constexpr auto kRatioDistance = I32Field({141}, "master");
constexpr auto kRatioOpposite = U8Field({141}, "opposite");

constexpr auto kScanAxis = U8Field({144}, "scan_axis");
constexpr auto kScanFollow = U8Field({144}, "follow_axis");
constexpr auto kScanScale = U8Field({144}, "scale");
constexpr auto kScanMode = U8Field({144}, "mode");
constexpr auto kScanPitch = I32Field({144}, "pitch");
constexpr auto kScanFirst = U8Field({145}, "first");
constexpr auto kScanReturn = U8Field({145}, "return");
constexpr auto kScanCount = I32Field({145}, "count");
constexpr auto kOffsetCount = U8Field({146}, "count");
constexpr auto kOffsetIndex = I32Field({146}, "index");
constexpr auto kOffsetBytes = ChunkField({146}, "offsets");

} // namespace special_path_field
} // namespace detail
} // namespace velkor_sim

#endif
