// The decoder table: one row per command code and per handshake code, with
// the family handler that carries it out. Adding a command is adding its row
// (and its handler in the family's files).
//
// Rows marked K (kept: the settings arrive and have no effect on the model)
// and N (not simulated), like codes with no row, are listed by Unsimulated()
// and set the not-simulated error bit: nothing is silently ignored.
#include "decoder/decoder.h"

#include "card/card.h"
#include "homing/homing.h"
#include "interrupts/interrupt_line.h"
#include "machine/machine.h"
#include "motion/drives.h"
#include "motion/paths.h"
#include "motion/special_paths.h"
#include "motion/speed_shape.h"
#include "motion/stopping.h"
#include "programs/macro_programs.h"
#include "setup/axis_config.h"
#include "status/status.h"
#include "stores/variables.h"
#include "sync/sync.h"

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
    {12, "SET_PULSE_MODE", S, SetPulseMode, {{"axis", 2, T::U8}, {"data", 4, T::U8}}},
    {13, "SET_MAX_V", S, SetMaxV, {{"axis", 2, T::U8}, {"data", 4, T::U32}}},
    {14, "SET_HLMT", S, SetHardLimits, {{"axis", 2, T::U8}, {"data1", 4, T::U8}, {"data2", 6, T::U8}}},
    {15, "LIMITSTOP_MODE", S, LimitStopMode, {{"axis", 2, T::U8}, {"data", 4, T::U8}}},
    {16, "SET_NHOME", S, SetNearHome, {{"axis", 2, T::U8}, {"data", 4, T::U8}}},
    {17, "SET_HOME_EDGE", S, SetHomeEdge, {{"axis", 2, T::U8}, {"data", 4, T::U8}}},
    {18, "SET_SLMT", S, SetSoftLimits, {{"axis", 2, T::U8}, {"plus", 4, T::I32}, {"minus", 8, T::I32}, {"mode", 12, T::U8}}},
    {19, "CLEAR_SLMT", S, ClearSoftLimits, {{"axis", 2, T::U8}}},
    {20, "SET_ENCODER", S, SetEncoder, {{"axis", 2, T::U8}, {"data1", 4, T::U8}, {"data2", 6, T::U8}, {"data3", 8, T::U8}}},
    {21, "SERVO_ON", S, ServoOn, {{"axis", 2, T::U8}}},
    {22, "SERVO_OFF", S, ServoOff, {{"axis", 2, T::U8}}},
    {23, "SET_ALARM", S, SetAlarm, {{"axis", 2, T::U8}, {"data1", 4, T::U8}, {"data2", 6, T::U8}}},
    {24, "SET_INPOS", S, SetInPosition, {{"axis", 2, T::U8}, {"data1", 4, T::U8}, {"data2", 6, T::U8}}},
    {25, "SET_FILTER", S, SetFilter, {{"axis", 2, T::U8}, {"data1", 4, T::U8}, {"data2", 6, T::U8}}},
    {26, "VRING_ENABLE", S, RingEnable, {{"axis", 2, T::U8}, {"data", 4, T::U32}}},
    {27, "VRING_DISABLE", S, RingDisable, {{"axis", 2, T::U8}}},
    {28, "AVTRI_ENABLE", S, AvoidTriangle, {{"axis", 2, T::U8}}},
    {29, "AVTRI_DISABLE", S, AvoidTriangle, {{"axis", 2, T::U8}}},
    {30, "EXD_MP", S, ExternalDrive, {{"axis", 2, T::U8}, {"data", 4, T::U32}}},
    {31, "EXD_FP", S, ExternalDrive, {{"axis", 2, T::U8}, {"data", 4, T::U32}}},
    {32, "EXD_CP", S, ExternalDrive, {{"axis", 2, T::U8}, {"data", 4, T::U32}}},
    {33, "EXD_DISABLE", S, ExternalDrive, {{"axis", 2, T::U8}}},
    {35, "WRITE_bVAR", S, WriteByteVar, {{"index", 2, T::U8}, {"data", 4, T::U8}}},
    {37, "WRITE_VAR", S, WriteVar, {{"index", 2, T::U16}, {"data", 6, T::I32}}},
    {39, "WRITE_MD", S, WriteMd, {{"index", 2, T::U16}, {"value", 6, T::Raw32}}},
    {40, "SET_LP", S, SetLp, {{"axis", 2, T::U8}, {"data", 4, T::I32}}},
    {41, "GET_LP", S, LoadReader, {{"axis", 2, T::U8}}},
    {42, "SET_EP", S, SetEp, {{"axis", 2, T::U8}, {"data", 4, T::I32}}},
    {43, "GET_EP", S, LoadReader, {{"axis", 2, T::U8}}},
    {46, "GET_DI", S, LoadReader, {{"axis", 2, T::U8}, {"input", 4, T::U8}}},
    {47, "GET_ERROR", S, LoadReader, {}},
    {48, "GET_ERROR_CODE", S, LoadReader, {{"axis", 2, T::U8}}},
    {49, "GET_DI_ALL", S, LoadReader, {{"axis", 2, T::U8}}},
    {50, "QUORL_IN", S, LoadReader, {{"port", 2, T::U8}}},
    {51, "QUORL_OUT", S, RemoteOut, {{"port", 2, T::U8}, {"data", 4, T::U32}}},
    {60, "SET_HV", S, SetHomingSpeed, {{"axis", 2, T::U8}, {"data", 4, T::U32}}},
    {61, "HOME_LIMIT", S, HomeLimit, {{"axis", 2, T::U8}, {"data", 4, T::U8}}},
    {62, "SET_HOME_MODE", S, SetHomeMode, {{"axis", 2, T::U8}, {"data1", 4, T::U8}, {"data2", 6, T::U8}, {"data3", 8, T::U8}, {"data4", 10, T::U8}, {"data5", 12, T::I32}}},
    {63, "HOME_START", S, HomeStart, {{"axis", 2, T::U8}}},
    {70, "NORMAL_SPEED", S, NormalSpeed, {{"axis", 2, T::U8}, {"data", 4, T::U8}}},
    {71, "SET_SV", S, SetProfileValue, {{"axis", 2, T::U8}, {"data", 4, T::U32}}},
    {72, "SET_V", S, SetProfileValue, {{"axis", 2, T::U8}, {"data", 4, T::U32}}},
    {73, "SET_A", S, SetProfileValue, {{"axis", 2, T::U8}, {"data", 4, T::U32}}},
    {74, "SET_D", S, SetProfileValue, {{"axis", 2, T::U8}, {"data", 4, T::U32}}},
    {75, "SET_K", S, SetProfileValue, {{"axis", 2, T::U8}, {"data", 4, T::U32}}},
    {76, "SET_L", S, SetProfileValue, {{"axis", 2, T::U8}, {"data", 4, T::U32}}},
    {77, "SET_AO", S, SetProfileValue, {{"axis", 2, T::U8}, {"data", 4, T::I32}}},
    {78, "FIXED_MOVE", S, FixedMove, {{"axis", 2, T::U8}, {"data", 4, T::I32}}},
    {79, "SET_PULSE", S, SetPulse, {{"axis", 2, T::U8}, {"data", 4, T::U32}}},
    {80, "CONTINUE_MOVE", S, ContinueMove, {{"axis", 2, T::U8}, {"data", 4, T::I32}}},
    {90, "AXIS_ASSIGN", S, AxisAssign, {{"axis1", 2, T::U8}, {"axis2", 4, T::U8}, {"axis3", 6, T::U8}}},
    {91, "VECTOR_SPEED", S, VectorSpeed, {{"data", 2, T::U8}}},
    {92, "SET_VSV", S, VectorProfile, {{"data", 2, T::U32}}},
    {93, "SET_VV", S, VectorProfile, {{"data", 2, T::U32}}},
    {94, "SET_VA", S, VectorProfile, {{"data", 2, T::U32}}},
    {95, "SET_VD", S, VectorProfile, {{"data", 2, T::U32}}},
    {96, "SET_VK", S, VectorProfile, {{"data", 2, T::U32}}},
    {97, "SET_VL", S, VectorProfile, {{"data", 2, T::U32}}},
    {98, "SET_VAO", S, VectorProfile, {{"data", 2, T::I32}}},
    {99, "LINE_2D", S, Line, {{"x", 2, T::I32}, {"y", 6, T::I32}}},
    {100, "LINE_3D", S, Line, {{"x", 2, T::I32}, {"y", 6, T::I32}, {"z", 10, T::I32}}},
    {101, "ARC_CW", S, ArcCentre, {{"centre_x", 2, T::I32}, {"centre_y", 6, T::I32}}},
    {102, "ARC_CW", S, ArcOrCircle, {{"end_x", 2, T::I32}, {"end_y", 6, T::I32}}},
    {103, "ARC_CCW", S, ArcCentre, {{"centre_x", 2, T::I32}, {"centre_y", 6, T::I32}}},
    {104, "ARC_CCW", S, ArcOrCircle, {{"end_x", 2, T::I32}, {"end_y", 6, T::I32}}},
    {105, "CIRCLE_CW", S, ArcOrCircle, {{"centre_x", 2, T::I32}, {"centre_y", 6, T::I32}}},
    {106, "CIRCLE_CCW", S, ArcOrCircle, {{"centre_x", 2, T::I32}, {"centre_y", 6, T::I32}}},
    {110, "SYNC_ACTION", S, SyncFirst, {{"source", 2, T::U8}, {"trigger", 4, T::U8}, {"value", 6, T::I32}}},
    {111, "SYNC_ACTION", S, SyncSecond, {{"targets", 2, T::U8}, {"action", 4, T::U8}, {"output", 6, T::U8}, {"level", 8, T::U8}, {"repeat", 10, T::U8}, {"input", 12, T::U8}, {"param10", 14, T::U8}, {"param11", 16, T::U8}, {"param12", 18, T::U8}}},
    {112, "SET_COMPARE", S, SetCompare, {{"axis", 2, T::U8}, {"output", 4, T::U8}, {"condition", 6, T::U8}, {"value", 8, T::I32}}},
    {113, "GET_LATCH", S, LoadReader, {{"axis", 2, T::U8}}},
    {114, "SET_PRESET", S, SetPreset, {{"axes", 2, T::U8}, {"value", 4, T::I32}}},
    {115, "SET_OUT", S, SetOut, {{"axis", 2, T::U8}, {"bit", 4, T::U8}, {"level", 6, T::U8}}},
    {120, "RECTANGLE", S, Rectangle, {{"axis1", 2, T::U8}, {"axis2", 4, T::U8}, {"order", 6, T::U8}, {"rounds", 8, T::U8}, {"corner_stops", 10, T::U8}}},
    {121, "RECTANGLE", S, Rectangle, {{"width", 2, T::I32}, {"height", 6, T::I32}, {"radius", 10, T::I32}}},
    {122, "RECTANGLE", S, Rectangle, {{"sv", 2, T::U32}, {"v", 6, T::U32}}},
    {123, "RECTANGLE", S, Rectangle, {{"a", 2, T::U32}, {"d", 6, T::U32}}},
    {124, "LINE_2D_INITIAL", S, ContinuousAxes, {{"axis1", 2, T::U8}, {"axis2", 4, T::U8}}},
    {125, "LINE_2D_INITIAL", S, ContinuousProfile, {{"sv", 2, T::U32}, {"v", 6, T::U32}, {"a", 10, T::U32}}},
    {126, "LINE_2D_CONTINUE", S, ContinuousLine, {{"end", 2, T::U8}, {"x", 4, T::I32}, {"y", 8, T::I32}}},
    {127, "LINE_3D_INITIAL", S, ContinuousAxes, {{"axis1", 2, T::U8}, {"axis2", 4, T::U8}, {"axis3", 6, T::U8}}},
    {128, "LINE_3D_INITIAL", S, ContinuousProfile, {{"sv", 2, T::U32}, {"v", 6, T::U32}, {"a", 10, T::U32}}},
    {129, "LINE_3D_CONTINUE", S, ContinuousLine, {{"end", 2, T::U8}, {"x", 4, T::I32}, {"y", 8, T::I32}, {"z", 12, T::I32}}},
    {130, "MIX_2D_INITIAL", S, Mix2dInitial, {{"axis1", 2, T::U8}, {"axis2", 4, T::U8}, {"corner_stops", 6, T::U8}}},
    {131, "MIX_2D_INITIAL", S, Mix2dInitial, {{"sv", 2, T::U32}, {"v", 6, T::U32}, {"a", 10, T::U32}}},
    {132, "MIX_2D_CONTINUE", S, Mix2dContinue, {{"end", 2, T::U8}, {"kind", 4, T::U8}, {"x", 6, T::I32}, {"y", 10, T::I32}}},
    {133, "MIX_2D_CONTINUE", S, Mix2dContinue, {{"centre_x", 2, T::I32}, {"centre_y", 6, T::I32}}},
    {134, "CONTINUE_INTP", S, ContinueIntp, {{"kind", 2, T::U8}, {"axis1", 4, T::U8}, {"axis2", 6, T::U8}, {"new_path", 8, T::U8}, {"x", 10, T::I32}, {"y", 14, T::I32}, {"centre_x", 18, T::I32}, {"centre_y", 22, T::I32}}},
    {135, "CONTINUE_INTP_ARRAY", S, ContinueIntpArray, {{"entry", 2, T::U8}, {"kind", 4, T::U8}, {"x", 6, T::I32}, {"y", 10, T::I32}, {"centre_x", 14, T::I32}, {"centre_y", 18, T::I32}, {"z", 22, T::I32}}},
    {136, "HELIX_3D", S, Helix, {{"axis1", 2, T::U8}, {"axis2", 4, T::U8}, {"axis3", 6, T::U8}, {"direction", 8, T::U8}}},
    {137, "HELIX_3D", S, Helix, {{"v", 2, T::U32}, {"centre_x", 6, T::I32}, {"centre_y", 10, T::I32}}},
    {138, "HELIX_3D", S, Helix, {{"height", 2, T::I32}, {"sweep", 6, T::I32}}},
    {139, "RATIO_INITIAL", S, RatioInitial, {{"master", 2, T::U8}, {"slave", 4, T::U8}, {"sv", 6, T::U32}, {"v", 10, T::U32}}},
    {140, "RATIO_INITIAL", S, RatioInitial, {{"a", 2, T::U32}, {"numerator", 6, T::U8}, {"denominator", 8, T::U8}}},
    {141, "RATIO_2D", S, Ratio2d, {{"end", 2, T::U8}, {"master", 4, T::I32}, {"opposite", 8, T::U8}}},
    {144, "LINE_SCAN", S, LineScan, {{"scan_axis", 2, T::U8}, {"follow_axis", 4, T::U8}, {"scale", 6, T::U8}, {"mode", 8, T::U8}, {"pitch", 10, T::I32}}},
    {145, "LINE_SCAN_START", S, LineScanStart, {{"first", 2, T::U8}, {"return", 4, T::U8}, {"count", 6, T::I32}}},
    {146, "LINE_SCAN_OFFSET", S, LineScanOffset, {{"count", 2, T::U8}, {"index", 3, T::I32}, {"offsets", 7, T::Chunk}}},
    {170, "ENABLE_INT", S, EnableInt, {}},
    {171, "DISABLE_INT", S, DisableInt, {}},
    {172, "INTFACTOR_ENABLE", S, IntFactorEnable, {{"factors", 2, T::U8}, {"param2", 4, T::U8}, {"param3", 6, T::U8}}},
    {173, "INTFACTOR_DISABLE", S, IntFactorDisable, {{"factors", 2, T::U8}, {"param2", 4, T::U8}}},
    {180, "DRV_HOLD", S, DrvHold, {{"axis", 2, T::U8}}},
    {181, "DRV_START", S, DrvStart, {{"axis", 2, T::U8}}},
    {183, "STOP_SLOWLY", S, StopAxesPacket, {{"axis", 2, T::U8}}},
    {184, "STOP_SUDDENLY", S, StopAxesPacket, {{"axis", 2, T::U8}}},
    {185, "VSTOP_SLOWLY", S, StopPathsPacket, {}},
    {186, "VSTOP_SUDDENLY", S, StopPathsPacket, {}},
    {187, "CLEAR_STOP", S, ClearStopPacket, {}},
    {188, "INTP_END", S, EndPath, {{"param", 2, T::U8}}},
    {200, "LOAD_INITIAL", S, LoadInitial, {}},
    {201, "MP_CREATE", S, MpCreate, {{"program", 2, T::U8}}},
    {202, "MP_CLOSE", S, MpClose, {}},
    {203, "MP_CALL", S, MpCall, {{"program", 2, T::U8}}},
    {210, "MP_SET_VAR", S, MpSetVar, {{"var", 2, T::I32}, {"value", 6, T::I32}}},
    {211, "MP_SET_RVAR", S, MpSetRVar, {{"var", 2, T::I32}}},
    {212, "MP_VAR_CALCULATE", S, MpCalculate, {{"var", 2, T::I32}, {"op", 6, T::Char}, {"var_a", 8, T::I32}, {"var_b", 12, T::I32}}},
    {213, "MP_FOR", S, FlowOutsideProgram, {{"count", 2, T::I32}}},
    {214, "MP_NEXT", S, FlowOutsideProgram, {}},
    {215, "MP_IF", S, FlowOutsideProgram, {{"var_a", 2, T::I32}, {"op", 6, T::Chars}, {"var_b", 8, T::I32}}},
    {216, "MP_ELSE", S, FlowOutsideProgram, {}},
    {217, "MP_IF_END", S, FlowOutsideProgram, {}},
    {218, "MP_TIMER", S, FlowOutsideProgram, {{"ms", 2, T::I32}}},
    {219, "MP_STOP_WAIT", S, FlowOutsideProgram, {{"axis", 2, T::U8}}},
    {220, "MP_SET_RINT", S, MpSetRint, {}},
    {240, "MP_DEBUG", S, MpDebug, {{"program", 2, T::U8}}},
    {241, "ISR_DEBUG", S, IsrDebug, {{"program", 2, T::U8}}},
};

// Handshake codes other than 1. Field positions are parameter registers.
const ExchangeEntry kExchanges[] = {
    {10, "RESET_CARD", S, ResetCard, 0, {}},
    {11, "CLEAR_CARD_BUFFER", S, ClearCardBuffer, 0, {}},
    {34, "READ_bVAR", S, ReadByteVar, 1, {{"index+128", 104, T::U8}}},
    {36, "READ_VAR", S, ReadVar, 4, {{"index_low", 104, T::U8}, {"index_high", 106, T::U8}}},
    {38, "READ_MD", S, ReadMd, 4, {{"index_low", 112, T::U8}, {"index_high", 114, T::U8}}},
    {41, "GET_LP", S, GetLp, 4, {{"axis", 96, T::U8}}},
    {43, "GET_EP", S, GetEp, 4, {{"axis", 96, T::U8}}},
    {44, "GET_CV", S, GetCv, 4, {{"axis", 96, T::U8}}},
    {45, "GET_CA", S, GetCa, 4, {{"axis", 96, T::U8}}},
    {46, "GET_DI", S, GetDi, 1, {{"axis", 96, T::U8}, {"input", 108, T::U8}}},
    {47, "GET_ERROR", S, GetError, 1, {}},
    {48, "GET_ERROR_CODE", S, GetErrorCode, 2, {{"axis", 96, T::U8}}},
    {49, "GET_DI_ALL", S, GetDiAll, 2, {{"axis", 96, T::U8}}},
    {50, "QUORL_IN", S, RemoteIn, 2, {{"port", 100, T::U8}}},
    {113, "GET_LATCH", S, GetLatch, 4, {{"axis", 96, T::U8}}},
    {182, "STOP_WAIT", S, StopWait, 1, {{"axis", 96, T::U8}}},
    {183, "STOP_SLOWLY", S, StopSlowly, 0, {{"axis", 96, T::U8}}},
    {184, "STOP_SUDDENLY", S, StopSuddenly, 0, {{"axis", 96, T::U8}}},
    {185, "VSTOP_SLOWLY", S, VStopSlowly, 0, {}},
    {186, "VSTOP_SUDDENLY", S, VStopSuddenly, 0, {}},
    {187, "CLEAR_STOP", S, ClearStop, 0, {}},
    {204, "GET_FW_VERSION", S, FirmwareVersion, 4, {}},
    {242, "CONTINUE_DEBUG", S, ContinueDebug, 0, {}},
    {243, "STOP_DEBUG", S, StopDebug, 0, {}},
    {255, "RANGE", S, Range, 4, {{"axis", 96, T::U8}}},
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
