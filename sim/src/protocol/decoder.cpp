// The command table: one row per command code and per handshake code, with
// its name, how far the module carries it out and its field layout. Adding a
// command is adding its row here and binding its family handler in
// firmware/bindings.cpp.
//
// Rows marked K (kept: the settings arrive and have no effect on the model)
// and N (not simulated), like codes with no row, are listed by Unsimulated()
// and set the not-simulated error bit: nothing is silently ignored.
#include "protocol/decoder.h"

#include <array>

namespace velkor_sim {
namespace detail {
namespace {

using T = FieldType;
constexpr Support S = Support::Simulated;
constexpr Support K = Support::Kept;
constexpr Support N = Support::NotSimulated;

// Command packets. The byte 1 constant (10) is not listed.
const PacketEntry kPackets[] = {
    {12, "SET_PULSE_MODE", S, {{"axis", 2, T::U8}, {"data", 4, T::U8}}},
    {13, "SET_MAX_V", S, {{"axis", 2, T::U8}, {"data", 4, T::U32}}},
    {14, "SET_HLMT", S, {{"axis", 2, T::U8}, {"data1", 4, T::U8}, {"data2", 6, T::U8}}},
    {15, "LIMITSTOP_MODE", S, {{"axis", 2, T::U8}, {"data", 4, T::U8}}},
    {16, "SET_NHOME", S, {{"axis", 2, T::U8}, {"data", 4, T::U8}}},
    {17, "SET_HOME_EDGE", S, {{"axis", 2, T::U8}, {"data", 4, T::U8}}},
    {18, "SET_SLMT", S, {{"axis", 2, T::U8}, {"plus", 4, T::I32}, {"minus", 8, T::I32}, {"mode", 12, T::U8}}},
    {19, "CLEAR_SLMT", S, {{"axis", 2, T::U8}}},
    {20, "SET_ENCODER", S, {{"axis", 2, T::U8}, {"data1", 4, T::U8}, {"data2", 6, T::U8}, {"data3", 8, T::U8}}},
    {21, "SERVO_ON", S, {{"axis", 2, T::U8}}},
    {22, "SERVO_OFF", S, {{"axis", 2, T::U8}}},
    {23, "SET_ALARM", S, {{"axis", 2, T::U8}, {"data1", 4, T::U8}, {"data2", 6, T::U8}}},
    {24, "SET_INPOS", S, {{"axis", 2, T::U8}, {"data1", 4, T::U8}, {"data2", 6, T::U8}}},
    {25, "SET_FILTER", S, {{"axis", 2, T::U8}, {"data1", 4, T::U8}, {"data2", 6, T::U8}}},
    {26, "VRING_ENABLE", S, {{"axis", 2, T::U8}, {"data", 4, T::U32}}},
    {27, "VRING_DISABLE", S, {{"axis", 2, T::U8}}},
    {28, "AVTRI_ENABLE", S, {{"axis", 2, T::U8}}},
    {29, "AVTRI_DISABLE", S, {{"axis", 2, T::U8}}},
    {30, "EXD_MP", S, {{"axis", 2, T::U8}, {"data", 4, T::U32}}},
    {31, "EXD_FP", S, {{"axis", 2, T::U8}, {"data", 4, T::U32}}},
    {32, "EXD_CP", S, {{"axis", 2, T::U8}, {"data", 4, T::U32}}},
    {33, "EXD_DISABLE", S, {{"axis", 2, T::U8}}},
    {35, "WRITE_bVAR", S, {{"index", 2, T::U8}, {"data", 4, T::U8}}},
    {37, "WRITE_VAR", S, {{"index", 2, T::U16}, {"data", 6, T::I32}}},
    {39, "WRITE_MD", S, {{"index", 2, T::U16}, {"value", 6, T::Raw32}}},
    {40, "SET_LP", S, {{"axis", 2, T::U8}, {"data", 4, T::I32}}},
    {41, "GET_LP", S, {{"axis", 2, T::U8}}},
    {42, "SET_EP", S, {{"axis", 2, T::U8}, {"data", 4, T::I32}}},
    {43, "GET_EP", S, {{"axis", 2, T::U8}}},
    {46, "GET_DI", S, {{"axis", 2, T::U8}, {"input", 4, T::U8}}},
    {47, "GET_ERROR", S, {}},
    {48, "GET_ERROR_CODE", S, {{"axis", 2, T::U8}}},
    {49, "GET_DI_ALL", S, {{"axis", 2, T::U8}}},
    {50, "QUORL_IN", S, {{"port", 2, T::U8}}},
    {51, "QUORL_OUT", S, {{"port", 2, T::U8}, {"data", 4, T::U32}}},
    {60, "SET_HV", S, {{"axis", 2, T::U8}, {"data", 4, T::U32}}},
    {61, "HOME_LIMIT", S, {{"axis", 2, T::U8}, {"data", 4, T::U8}}},
    {62, "SET_HOME_MODE", S, {{"axis", 2, T::U8}, {"data1", 4, T::U8}, {"data2", 6, T::U8}, {"data3", 8, T::U8}, {"data4", 10, T::U8}, {"data5", 12, T::I32}}},
    {63, "HOME_START", S, {{"axis", 2, T::U8}}},
    {70, "NORMAL_SPEED", S, {{"axis", 2, T::U8}, {"data", 4, T::U8}}},
    {71, "SET_SV", S, {{"axis", 2, T::U8}, {"data", 4, T::U32}}},
    {72, "SET_V", S, {{"axis", 2, T::U8}, {"data", 4, T::U32}}},
    {73, "SET_A", S, {{"axis", 2, T::U8}, {"data", 4, T::U32}}},
    {74, "SET_D", S, {{"axis", 2, T::U8}, {"data", 4, T::U32}}},
    {75, "SET_K", S, {{"axis", 2, T::U8}, {"data", 4, T::U32}}},
    {76, "SET_L", S, {{"axis", 2, T::U8}, {"data", 4, T::U32}}},
    {77, "SET_AO", S, {{"axis", 2, T::U8}, {"data", 4, T::I32}}},
    {78, "FIXED_MOVE", S, {{"axis", 2, T::U8}, {"data", 4, T::I32}}},
    {79, "SET_PULSE", S, {{"axis", 2, T::U8}, {"data", 4, T::U32}}},
    {80, "CONTINUE_MOVE", S, {{"axis", 2, T::U8}, {"data", 4, T::I32}}},
    {90, "AXIS_ASSIGN", S, {{"axis1", 2, T::U8}, {"axis2", 4, T::U8}, {"axis3", 6, T::U8}}},
    {91, "VECTOR_SPEED", S, {{"data", 2, T::U8}}},
    {92, "SET_VSV", S, {{"data", 2, T::U32}}},
    {93, "SET_VV", S, {{"data", 2, T::U32}}},
    {94, "SET_VA", S, {{"data", 2, T::U32}}},
    {95, "SET_VD", S, {{"data", 2, T::U32}}},
    {96, "SET_VK", S, {{"data", 2, T::U32}}},
    {97, "SET_VL", S, {{"data", 2, T::U32}}},
    {98, "SET_VAO", S, {{"data", 2, T::I32}}},
    {99, "LINE_2D", S, {{"x", 2, T::I32}, {"y", 6, T::I32}}},
    {100, "LINE_3D", S, {{"x", 2, T::I32}, {"y", 6, T::I32}, {"z", 10, T::I32}}},
    {101, "ARC_CW", S, {{"centre_x", 2, T::I32}, {"centre_y", 6, T::I32}}},
    {102, "ARC_CW", S, {{"end_x", 2, T::I32}, {"end_y", 6, T::I32}}},
    {103, "ARC_CCW", S, {{"centre_x", 2, T::I32}, {"centre_y", 6, T::I32}}},
    {104, "ARC_CCW", S, {{"end_x", 2, T::I32}, {"end_y", 6, T::I32}}},
    {105, "CIRCLE_CW", S, {{"centre_x", 2, T::I32}, {"centre_y", 6, T::I32}}},
    {106, "CIRCLE_CCW", S, {{"centre_x", 2, T::I32}, {"centre_y", 6, T::I32}}},
    {110, "SYNC_ACTION", S, {{"source", 2, T::U8}, {"trigger", 4, T::U8}, {"value", 6, T::I32}}},
    {111, "SYNC_ACTION", S, {{"targets", 2, T::U8}, {"action", 4, T::U8}, {"output", 6, T::U8}, {"level", 8, T::U8}, {"repeat", 10, T::U8}, {"input", 12, T::U8}, {"param10", 14, T::U8}, {"param11", 16, T::U8}, {"param12", 18, T::U8}}},
    {112, "SET_COMPARE", S, {{"axis", 2, T::U8}, {"output", 4, T::U8}, {"condition", 6, T::U8}, {"value", 8, T::I32}}},
    {113, "GET_LATCH", S, {{"axis", 2, T::U8}}},
    {114, "SET_PRESET", S, {{"axes", 2, T::U8}, {"value", 4, T::I32}}},
    {115, "SET_OUT", S, {{"axis", 2, T::U8}, {"bit", 4, T::U8}, {"level", 6, T::U8}}},
    {120, "RECTANGLE", S, {{"axis1", 2, T::U8}, {"axis2", 4, T::U8}, {"order", 6, T::U8}, {"rounds", 8, T::U8}, {"corner_stops", 10, T::U8}}},
    {121, "RECTANGLE", S, {{"width", 2, T::I32}, {"height", 6, T::I32}, {"radius", 10, T::I32}}},
    {122, "RECTANGLE", S, {{"sv", 2, T::U32}, {"v", 6, T::U32}}},
    {123, "RECTANGLE", S, {{"a", 2, T::U32}, {"d", 6, T::U32}}},
    {124, "LINE_2D_INITIAL", S, {{"axis1", 2, T::U8}, {"axis2", 4, T::U8}}},
    {125, "LINE_2D_INITIAL", S, {{"sv", 2, T::U32}, {"v", 6, T::U32}, {"a", 10, T::U32}}},
    {126, "LINE_2D_CONTINUE", S, {{"end", 2, T::U8}, {"x", 4, T::I32}, {"y", 8, T::I32}}},
    {127, "LINE_3D_INITIAL", S, {{"axis1", 2, T::U8}, {"axis2", 4, T::U8}, {"axis3", 6, T::U8}}},
    {128, "LINE_3D_INITIAL", S, {{"sv", 2, T::U32}, {"v", 6, T::U32}, {"a", 10, T::U32}}},
    {129, "LINE_3D_CONTINUE", S, {{"end", 2, T::U8}, {"x", 4, T::I32}, {"y", 8, T::I32}, {"z", 12, T::I32}}},
    {130, "MIX_2D_INITIAL", S, {{"axis1", 2, T::U8}, {"axis2", 4, T::U8}, {"corner_stops", 6, T::U8}}},
    {131, "MIX_2D_INITIAL", S, {{"sv", 2, T::U32}, {"v", 6, T::U32}, {"a", 10, T::U32}}},
    {132, "MIX_2D_CONTINUE", S, {{"end", 2, T::U8}, {"kind", 4, T::U8}, {"x", 6, T::I32}, {"y", 10, T::I32}}},
    {133, "MIX_2D_CONTINUE", S, {{"centre_x", 2, T::I32}, {"centre_y", 6, T::I32}}},
    {134, "CONTINUE_INTP", S, {{"kind", 2, T::U8}, {"axis1", 4, T::U8}, {"axis2", 6, T::U8}, {"new_path", 8, T::U8}, {"x", 10, T::I32}, {"y", 14, T::I32}, {"centre_x", 18, T::I32}, {"centre_y", 22, T::I32}}},
    {135, "CONTINUE_INTP_ARRAY", S, {{"entry", 2, T::U8}, {"kind", 4, T::U8}, {"x", 6, T::I32}, {"y", 10, T::I32}, {"centre_x", 14, T::I32}, {"centre_y", 18, T::I32}, {"z", 22, T::I32}}},
    {136, "HELIX_3D", S, {{"axis1", 2, T::U8}, {"axis2", 4, T::U8}, {"axis3", 6, T::U8}, {"direction", 8, T::U8}}},
    {137, "HELIX_3D", S, {{"v", 2, T::U32}, {"centre_x", 6, T::I32}, {"centre_y", 10, T::I32}}},
    {138, "HELIX_3D", S, {{"height", 2, T::I32}, {"sweep", 6, T::I32}}},
    {139, "RATIO_INITIAL", S, {{"master", 2, T::U8}, {"slave", 4, T::U8}, {"sv", 6, T::U32}, {"v", 10, T::U32}}},
    {140, "RATIO_INITIAL", S, {{"a", 2, T::U32}, {"numerator", 6, T::U8}, {"denominator", 8, T::U8}}},
    {141, "RATIO_2D", S, {{"end", 2, T::U8}, {"master", 4, T::I32}, {"opposite", 8, T::U8}}},
    {144, "LINE_SCAN", S, {{"scan_axis", 2, T::U8}, {"follow_axis", 4, T::U8}, {"scale", 6, T::U8}, {"mode", 8, T::U8}, {"pitch", 10, T::I32}}},
    {145, "LINE_SCAN_START", S, {{"first", 2, T::U8}, {"return", 4, T::U8}, {"count", 6, T::I32}}},
    {146, "LINE_SCAN_OFFSET", S, {{"count", 2, T::U8}, {"index", 3, T::I32}, {"offsets", 7, T::Chunk}}},
    {170, "ENABLE_INT", S, {}},
    {171, "DISABLE_INT", S, {}},
    {172, "INTFACTOR_ENABLE", S, {{"factors", 2, T::U8}, {"param2", 4, T::U8}, {"param3", 6, T::U8}}},
    {173, "INTFACTOR_DISABLE", S, {{"factors", 2, T::U8}, {"param2", 4, T::U8}}},
    {180, "DRV_HOLD", S, {{"axis", 2, T::U8}}},
    {181, "DRV_START", S, {{"axis", 2, T::U8}}},
    {183, "STOP_SLOWLY", S, {{"axis", 2, T::U8}}},
    {184, "STOP_SUDDENLY", S, {{"axis", 2, T::U8}}},
    {185, "VSTOP_SLOWLY", S, {}},
    {186, "VSTOP_SUDDENLY", S, {}},
    {187, "CLEAR_STOP", S, {}},
    {188, "INTP_END", S, {{"param", 2, T::U8}}},
    {200, "LOAD_INITIAL", S, {}},
    {201, "MP_CREATE", S, {{"program", 2, T::U8}}},
    {202, "MP_CLOSE", S, {}},
    {203, "MP_CALL", S, {{"program", 2, T::U8}}},
    {210, "MP_SET_VAR", S, {{"var", 2, T::I32}, {"value", 6, T::I32}}},
    {211, "MP_SET_RVAR", S, {{"var", 2, T::I32}}},
    {212, "MP_VAR_CALCULATE", S, {{"var", 2, T::I32}, {"op", 6, T::Char}, {"var_a", 8, T::I32}, {"var_b", 12, T::I32}}},
    {213, "MP_FOR", S, {{"count", 2, T::I32}}},
    {214, "MP_NEXT", S, {}},
    {215, "MP_IF", S, {{"var_a", 2, T::I32}, {"op", 6, T::Chars}, {"var_b", 8, T::I32}}},
    {216, "MP_ELSE", S, {}},
    {217, "MP_IF_END", S, {}},
    {218, "MP_TIMER", S, {{"ms", 2, T::I32}}},
    {219, "MP_STOP_WAIT", S, {{"axis", 2, T::U8}}},
    {220, "MP_SET_RINT", S, {}},
    {240, "MP_DEBUG", S, {{"program", 2, T::U8}}},
    {241, "ISR_DEBUG", S, {{"program", 2, T::U8}}},
};

// Handshake codes other than 1. Field positions are parameter registers.
const ExchangeEntry kExchanges[] = {
    {10, "RESET_CARD", S, 0, {}},
    {11, "CLEAR_CARD_BUFFER", S, 0, {}},
    {34, "READ_bVAR", S, 1, {{"index+128", 104, T::U8}}},
    {36, "READ_VAR", S, 4, {{"index_low", 104, T::U8}, {"index_high", 106, T::U8}}},
    {38, "READ_MD", S, 4, {{"index_low", 112, T::U8}, {"index_high", 114, T::U8}}},
    {41, "GET_LP", S, 4, {{"axis", 96, T::U8}}},
    {43, "GET_EP", S, 4, {{"axis", 96, T::U8}}},
    {44, "GET_CV", S, 4, {{"axis", 96, T::U8}}},
    {45, "GET_CA", S, 4, {{"axis", 96, T::U8}}},
    {46, "GET_DI", S, 1, {{"axis", 96, T::U8}, {"input", 108, T::U8}}},
    {47, "GET_ERROR", S, 1, {}},
    {48, "GET_ERROR_CODE", S, 2, {{"axis", 96, T::U8}}},
    {49, "GET_DI_ALL", S, 2, {{"axis", 96, T::U8}}},
    {50, "QUORL_IN", S, 2, {{"port", 100, T::U8}}},
    {113, "GET_LATCH", S, 4, {{"axis", 96, T::U8}}},
    {182, "STOP_WAIT", S, 1, {{"axis", 96, T::U8}}},
    {183, "STOP_SLOWLY", S, 0, {{"axis", 96, T::U8}}},
    {184, "STOP_SUDDENLY", S, 0, {{"axis", 96, T::U8}}},
    {185, "VSTOP_SLOWLY", S, 0, {}},
    {186, "VSTOP_SUDDENLY", S, 0, {}},
    {187, "CLEAR_STOP", S, 0, {}},
    {204, "GET_FW_VERSION", S, 4, {}},
    {242, "CONTINUE_DEBUG", S, 0, {}},
    {243, "STOP_DEBUG", S, 0, {}},
    {255, "RANGE", S, 4, {{"axis", 96, T::U8}}},
};

// Code -> row, built once.
template <typename Entry, std::size_t N>
std::array<const Entry*, 256> Index(const Entry (&table)[N])
{
    std::array<const Entry*, 256> index{};
    for (const Entry& e : table) {
        index[e.code] = &e;
    }
    return index;
}

} // namespace

const PacketEntry* FindPacket(std::uint8_t code)
{
    static const std::array<const PacketEntry*, 256> index = Index(kPackets);
    return index[code];
}

const ExchangeEntry* FindExchange(std::uint8_t code)
{
    static const std::array<const ExchangeEntry*, 256> index = Index(kExchanges);
    return index[code];
}

Support PacketSupport(std::uint8_t code)
{
    const PacketEntry* e = FindPacket(code);
    return e == nullptr ? Support::NotSimulated : e->support;
}

Support ExchangeSupport(std::uint8_t code)
{
    const ExchangeEntry* e = FindExchange(code);
    return e == nullptr ? Support::NotSimulated : e->support;
}

} // namespace detail
} // namespace velkor_sim
