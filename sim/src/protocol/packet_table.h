// The command packets of the module: one row per code with its name, how
// far the module carries it out, which part of its command the packet is
// (part i of n: most commands are one packet, a few come in two to four
// consecutive codes), and its fields: name, packet byte and type. The
// decoder hands a handler the fields of a whole command by these rows
// (protocol/command.h), and the trace shows them.
#ifndef VELKOR_SIM_PROTOCOL_PACKET_TABLE_H
#define VELKOR_SIM_PROTOCOL_PACKET_TABLE_H

#include "protocol/decoder.h"

namespace velkor_sim {
namespace detail {
namespace rows {

using T = FieldType;
constexpr Support S = Support::Simulated;
constexpr Support K = Support::Kept;
constexpr Support N = Support::NotSimulated;

// Command packets. The byte 1 constant (10) is not listed.
inline constexpr PacketEntry kPackets[] = {
    {12, "SET_PULSE_MODE", S, 1, 1, {{"axis", 2, T::U8}, {"data", 4, T::U8}}},
    {13, "SET_MAX_V", S, 1, 1, {{"axis", 2, T::U8}, {"data", 4, T::U32}}},
    {14, "SET_HLMT", S, 1, 1, {{"axis", 2, T::U8}, {"data1", 4, T::U8}, {"data2", 6, T::U8}}},
    {15, "LIMITSTOP_MODE", S, 1, 1, {{"axis", 2, T::U8}, {"data", 4, T::U8}}},
    {16, "SET_NHOME", S, 1, 1, {{"axis", 2, T::U8}, {"data", 4, T::U8}}},
    {17, "SET_HOME_EDGE", S, 1, 1, {{"axis", 2, T::U8}, {"data", 4, T::U8}}},
    {18, "SET_SLMT", S, 1, 1, {{"axis", 2, T::U8}, {"plus", 4, T::I32}, {"minus", 8, T::I32}, {"mode", 12, T::U8}}},
    {19, "CLEAR_SLMT", S, 1, 1, {{"axis", 2, T::U8}}},
    {20, "SET_ENCODER", S, 1, 1, {{"axis", 2, T::U8}, {"data1", 4, T::U8}, {"data2", 6, T::U8}, {"data3", 8, T::U8}}},
    {21, "SERVO_ON", S, 1, 1, {{"axis", 2, T::U8}}},
    {22, "SERVO_OFF", S, 1, 1, {{"axis", 2, T::U8}}},
    {23, "SET_ALARM", S, 1, 1, {{"axis", 2, T::U8}, {"data1", 4, T::U8}, {"data2", 6, T::U8}}},
    {24, "SET_INPOS", S, 1, 1, {{"axis", 2, T::U8}, {"data1", 4, T::U8}, {"data2", 6, T::U8}}},
    {25, "SET_FILTER", S, 1, 1, {{"axis", 2, T::U8}, {"data1", 4, T::U8}, {"data2", 6, T::U8}}},
    {26, "VRING_ENABLE", S, 1, 1, {{"axis", 2, T::U8}, {"data", 4, T::U32}}},
    {27, "VRING_DISABLE", S, 1, 1, {{"axis", 2, T::U8}}},
    {28, "AVTRI_ENABLE", S, 1, 1, {{"axis", 2, T::U8}}},
    {29, "AVTRI_DISABLE", S, 1, 1, {{"axis", 2, T::U8}}},
    {30, "EXD_MP", S, 1, 1, {{"axis", 2, T::U8}, {"data", 4, T::U32}}},
    {31, "EXD_FP", S, 1, 1, {{"axis", 2, T::U8}, {"data", 4, T::U32}}},
    {32, "EXD_CP", S, 1, 1, {{"axis", 2, T::U8}, {"data", 4, T::U32}}},
    {33, "EXD_DISABLE", S, 1, 1, {{"axis", 2, T::U8}}},
    {35, "WRITE_bVAR", S, 1, 1, {{"index", 2, T::U8}, {"data", 4, T::U8}}},
    {37, "WRITE_VAR", S, 1, 1, {{"index", 2, T::U16}, {"data", 6, T::I32}}},
    {39, "WRITE_MD", S, 1, 1, {{"index", 2, T::U16}, {"value", 6, T::Raw32}}},
    {40, "SET_LP", S, 1, 1, {{"axis", 2, T::U8}, {"data", 4, T::I32}}},
    {41, "GET_LP", S, 1, 1, {{"axis", 2, T::U8}}},
    {42, "SET_EP", S, 1, 1, {{"axis", 2, T::U8}, {"data", 4, T::I32}}},
    {43, "GET_EP", S, 1, 1, {{"axis", 2, T::U8}}},
    {46, "GET_DI", S, 1, 1, {{"axis", 2, T::U8}, {"input", 4, T::U8}}},
    {47, "GET_ERROR", S, 1, 1, {}},
    {48, "GET_ERROR_CODE", S, 1, 1, {{"axis", 2, T::U8}}},
    {49, "GET_DI_ALL", S, 1, 1, {{"axis", 2, T::U8}}},
    {50, "QUORL_IN", S, 1, 1, {{"port", 2, T::U8}}},
    {51, "QUORL_OUT", S, 1, 1, {{"port", 2, T::U8}, {"data", 4, T::U32}}},
    {60, "SET_HV", S, 1, 1, {{"axis", 2, T::U8}, {"data", 4, T::U32}}},
    {61, "HOME_LIMIT", S, 1, 1, {{"axis", 2, T::U8}, {"data", 4, T::U8}}},
    {62, "SET_HOME_MODE", S, 1, 1, {{"axis", 2, T::U8}, {"data1", 4, T::U8}, {"data2", 6, T::U8}, {"data3", 8, T::U8}, {"data4", 10, T::U8}, {"data5", 12, T::I32}}},
    {63, "HOME_START", S, 1, 1, {{"axis", 2, T::U8}}},
    {70, "NORMAL_SPEED", S, 1, 1, {{"axis", 2, T::U8}, {"data", 4, T::U8}}},
    {71, "SET_SV", S, 1, 1, {{"axis", 2, T::U8}, {"data", 4, T::U32}}},
    {72, "SET_V", S, 1, 1, {{"axis", 2, T::U8}, {"data", 4, T::U32}}},
    {73, "SET_A", S, 1, 1, {{"axis", 2, T::U8}, {"data", 4, T::U32}}},
    {74, "SET_D", S, 1, 1, {{"axis", 2, T::U8}, {"data", 4, T::U32}}},
    {75, "SET_K", S, 1, 1, {{"axis", 2, T::U8}, {"data", 4, T::U32}}},
    {76, "SET_L", S, 1, 1, {{"axis", 2, T::U8}, {"data", 4, T::U32}}},
    {77, "SET_AO", S, 1, 1, {{"axis", 2, T::U8}, {"data", 4, T::I32}}},
    {78, "FIXED_MOVE", S, 1, 1, {{"axis", 2, T::U8}, {"data", 4, T::I32}}},
    {79, "SET_PULSE", S, 1, 1, {{"axis", 2, T::U8}, {"data", 4, T::U32}}},
    {80, "CONTINUE_MOVE", S, 1, 1, {{"axis", 2, T::U8}, {"data", 4, T::I32}}},
    {90, "AXIS_ASSIGN", S, 1, 1, {{"axis1", 2, T::U8}, {"axis2", 4, T::U8}, {"axis3", 6, T::U8}}},
    {91, "VECTOR_SPEED", S, 1, 1, {{"data", 2, T::U8}}},
    {92, "SET_VSV", S, 1, 1, {{"data", 2, T::U32}}},
    {93, "SET_VV", S, 1, 1, {{"data", 2, T::U32}}},
    {94, "SET_VA", S, 1, 1, {{"data", 2, T::U32}}},
    {95, "SET_VD", S, 1, 1, {{"data", 2, T::U32}}},
    {96, "SET_VK", S, 1, 1, {{"data", 2, T::U32}}},
    {97, "SET_VL", S, 1, 1, {{"data", 2, T::U32}}},
    {98, "SET_VAO", S, 1, 1, {{"data", 2, T::I32}}},
    {99, "LINE_2D", S, 1, 1, {{"x", 2, T::I32}, {"y", 6, T::I32}}},
    {100, "LINE_3D", S, 1, 1, {{"x", 2, T::I32}, {"y", 6, T::I32}, {"z", 10, T::I32}}},
    {101, "ARC_CW", S, 1, 2, {{"centre_x", 2, T::I32}, {"centre_y", 6, T::I32}}},
    {102, "ARC_CW", S, 2, 2, {{"end_x", 2, T::I32}, {"end_y", 6, T::I32}}},
    {103, "ARC_CCW", S, 1, 2, {{"centre_x", 2, T::I32}, {"centre_y", 6, T::I32}}},
    {104, "ARC_CCW", S, 2, 2, {{"end_x", 2, T::I32}, {"end_y", 6, T::I32}}},
    {105, "CIRCLE_CW", S, 1, 1, {{"centre_x", 2, T::I32}, {"centre_y", 6, T::I32}}},
    {106, "CIRCLE_CCW", S, 1, 1, {{"centre_x", 2, T::I32}, {"centre_y", 6, T::I32}}},
    {110, "SYNC_ACTION", S, 1, 2, {{"source", 2, T::U8}, {"trigger", 4, T::U8}, {"value", 6, T::I32}}},
    {111, "SYNC_ACTION", S, 2, 2, {{"targets", 2, T::U8}, {"action", 4, T::U8}, {"output", 6, T::U8}, {"level", 8, T::U8}, {"repeat", 10, T::U8}, {"input", 12, T::U8}, {"param10", 14, T::U8}, {"param11", 16, T::U8}, {"param12", 18, T::U8}}},
    {112, "SET_COMPARE", S, 1, 1, {{"axis", 2, T::U8}, {"output", 4, T::U8}, {"condition", 6, T::U8}, {"value", 8, T::I32}}},
    {113, "GET_LATCH", S, 1, 1, {{"axis", 2, T::U8}}},
    {114, "SET_PRESET", S, 1, 1, {{"axes", 2, T::U8}, {"value", 4, T::I32}}},
    {115, "SET_OUT", S, 1, 1, {{"axis", 2, T::U8}, {"bit", 4, T::U8}, {"level", 6, T::U8}}},
    {120, "RECTANGLE", S, 1, 4, {{"axis1", 2, T::U8}, {"axis2", 4, T::U8}, {"order", 6, T::U8}, {"rounds", 8, T::U8}, {"corner_stops", 10, T::U8}}},
    {121, "RECTANGLE", S, 2, 4, {{"width", 2, T::I32}, {"height", 6, T::I32}, {"radius", 10, T::I32}}},
    {122, "RECTANGLE", S, 3, 4, {{"sv", 2, T::U32}, {"v", 6, T::U32}}},
    {123, "RECTANGLE", S, 4, 4, {{"a", 2, T::U32}, {"d", 6, T::U32}}},
    {124, "LINE_2D_INITIAL", S, 1, 1, {{"axis1", 2, T::U8}, {"axis2", 4, T::U8}}},
    {125, "LINE_2D_INITIAL", S, 1, 1, {{"sv", 2, T::U32}, {"v", 6, T::U32}, {"a", 10, T::U32}}},
    {126, "LINE_2D_CONTINUE", S, 1, 1, {{"end", 2, T::U8}, {"x", 4, T::I32}, {"y", 8, T::I32}}},
    {127, "LINE_3D_INITIAL", S, 1, 1, {{"axis1", 2, T::U8}, {"axis2", 4, T::U8}, {"axis3", 6, T::U8}}},
    {128, "LINE_3D_INITIAL", S, 1, 1, {{"sv", 2, T::U32}, {"v", 6, T::U32}, {"a", 10, T::U32}}},
    {129, "LINE_3D_CONTINUE", S, 1, 1, {{"end", 2, T::U8}, {"x", 4, T::I32}, {"y", 8, T::I32}, {"z", 12, T::I32}}},
    {130, "MIX_2D_INITIAL", S, 1, 2, {{"axis1", 2, T::U8}, {"axis2", 4, T::U8}, {"corner_stops", 6, T::U8}}},
    {131, "MIX_2D_INITIAL", S, 2, 2, {{"sv", 2, T::U32}, {"v", 6, T::U32}, {"a", 10, T::U32}}},
    {132, "MIX_2D_CONTINUE", S, 1, 2, {{"end", 2, T::U8}, {"kind", 4, T::U8}, {"x", 6, T::I32}, {"y", 10, T::I32}}},
    {133, "MIX_2D_CONTINUE", S, 2, 2, {{"centre_x", 2, T::I32}, {"centre_y", 6, T::I32}}},
    {134, "CONTINUE_INTP", S, 1, 1, {{"kind", 2, T::U8}, {"axis1", 4, T::U8}, {"axis2", 6, T::U8}, {"new_path", 8, T::U8}, {"x", 10, T::I32}, {"y", 14, T::I32}, {"centre_x", 18, T::I32}, {"centre_y", 22, T::I32}}},
    {135, "CONTINUE_INTP_ARRAY", S, 1, 1, {{"entry", 2, T::U8}, {"kind", 4, T::U8}, {"x", 6, T::I32}, {"y", 10, T::I32}, {"centre_x", 14, T::I32}, {"centre_y", 18, T::I32}, {"z", 22, T::I32}}},
    {136, "HELIX_3D", S, 1, 3, {{"axis1", 2, T::U8}, {"axis2", 4, T::U8}, {"axis3", 6, T::U8}, {"direction", 8, T::U8}}},
    {137, "HELIX_3D", S, 2, 3, {{"v", 2, T::U32}, {"centre_x", 6, T::I32}, {"centre_y", 10, T::I32}}},
    {138, "HELIX_3D", S, 3, 3, {{"height", 2, T::I32}, {"sweep", 6, T::I32}}},
    {139, "RATIO_INITIAL", S, 1, 2, {{"master", 2, T::U8}, {"slave", 4, T::U8}, {"sv", 6, T::U32}, {"v", 10, T::U32}}},
    {140, "RATIO_INITIAL", S, 2, 2, {{"a", 2, T::U32}, {"numerator", 6, T::U8}, {"denominator", 8, T::U8}}},
    {141, "RATIO_2D", S, 1, 1, {{"end", 2, T::U8}, {"master", 4, T::I32}, {"opposite", 8, T::U8}}},
    {144, "LINE_SCAN", S, 1, 1, {{"scan_axis", 2, T::U8}, {"follow_axis", 4, T::U8}, {"scale", 6, T::U8}, {"mode", 8, T::U8}, {"pitch", 10, T::I32}}},
    {145, "LINE_SCAN_START", S, 1, 1, {{"first", 2, T::U8}, {"return", 4, T::U8}, {"count", 6, T::I32}}},
    {146, "LINE_SCAN_OFFSET", S, 1, 1, {{"count", 2, T::U8}, {"index", 3, T::I32}, {"offsets", 7, T::Chunk}}},
    {170, "ENABLE_INT", S, 1, 1, {}},
    {171, "DISABLE_INT", S, 1, 1, {}},
    {172, "INTFACTOR_ENABLE", S, 1, 1, {{"factors", 2, T::U8}, {"param2", 4, T::U8}, {"param3", 6, T::U8}}},
    {173, "INTFACTOR_DISABLE", S, 1, 1, {{"factors", 2, T::U8}, {"param2", 4, T::U8}}},
    {180, "DRV_HOLD", S, 1, 1, {{"axis", 2, T::U8}}},
    {181, "DRV_START", S, 1, 1, {{"axis", 2, T::U8}}},
    {183, "STOP_SLOWLY", S, 1, 1, {{"axis", 2, T::U8}}},
    {184, "STOP_SUDDENLY", S, 1, 1, {{"axis", 2, T::U8}}},
    {185, "VSTOP_SLOWLY", S, 1, 1, {}},
    {186, "VSTOP_SUDDENLY", S, 1, 1, {}},
    {187, "CLEAR_STOP", S, 1, 1, {}},
    {188, "INTP_END", S, 1, 1, {{"param", 2, T::U8}}},
    {200, "LOAD_INITIAL", S, 1, 1, {}},
    {201, "MP_CREATE", S, 1, 1, {{"program", 2, T::U8}}},
    {202, "MP_CLOSE", S, 1, 1, {}},
    {203, "MP_CALL", S, 1, 1, {{"program", 2, T::U8}}},
    {210, "MP_SET_VAR", S, 1, 1, {{"var", 2, T::I32}, {"value", 6, T::I32}}},
    {211, "MP_SET_RVAR", S, 1, 1, {{"var", 2, T::I32}}},
    {212, "MP_VAR_CALCULATE", S, 1, 1, {{"var", 2, T::I32}, {"op", 6, T::Char}, {"var_a", 8, T::I32}, {"var_b", 12, T::I32}}},
    {213, "MP_FOR", S, 1, 1, {{"count", 2, T::I32}}},
    {214, "MP_NEXT", S, 1, 1, {}},
    {215, "MP_IF", S, 1, 1, {{"var_a", 2, T::I32}, {"op", 6, T::Chars}, {"var_b", 8, T::I32}}},
    {216, "MP_ELSE", S, 1, 1, {}},
    {217, "MP_IF_END", S, 1, 1, {}},
    {218, "MP_TIMER", S, 1, 1, {{"ms", 2, T::I32}}},
    {219, "MP_STOP_WAIT", S, 1, 1, {{"axis", 2, T::U8}}},
    {220, "MP_SET_RINT", S, 1, 1, {}},
    {240, "MP_DEBUG", S, 1, 1, {{"program", 2, T::U8}}},
    {241, "ISR_DEBUG", S, 1, 1, {{"program", 2, T::U8}}},
};

} // namespace rows

using rows::kPackets;

} // namespace detail
} // namespace velkor_sim

#endif
