// The firmware's catalogue of command and handshake codes: name, field
// layout and how far the virtual module carries each one out. The trace of
// the tool and the list of unsimulated codes both come from here.
#include "firmware.h"

#include <cstdio>
#include <string>

namespace velkor_sim {
namespace detail {
namespace {

enum class Type : std::uint8_t { End, U8, U16, U32, I32, Raw32, Chunk };

struct Field {
    const char* name;
    std::uint8_t at; // packet byte, or parameter register for exchanges
    Type type;
};

struct Entry {
    std::uint8_t code;
    const char* name;
    Support support;
    Field fields[10];
};

constexpr Support S = Support::Simulated;
constexpr Support K = Support::Kept;
constexpr Support N = Support::NotSimulated;

// Command packets. The byte 1 constant (10) is not listed.
const Entry kPackets[] = {
    {12, "SET_PULSE_MODE", K, {{"axis", 2, Type::U8}, {"data", 4, Type::U8}}},
    {13, "SET_MAX_V", S, {{"axis", 2, Type::U8}, {"data", 4, Type::U32}}},
    {14, "SET_HLMT", K, {{"axis", 2, Type::U8}, {"data1", 4, Type::U8}, {"data2", 6, Type::U8}}},
    {15, "LIMITSTOP_MODE", K, {{"axis", 2, Type::U8}, {"data", 4, Type::U8}}},
    {16, "SET_NHOME", K, {{"axis", 2, Type::U8}, {"data", 4, Type::U8}}},
    {17, "SET_HOME_EDGE", K, {{"axis", 2, Type::U8}, {"data", 4, Type::U8}}},
    {18, "SET_SLMT", S, {{"axis", 2, Type::U8}, {"plus", 4, Type::I32}, {"minus", 8, Type::I32}, {"mode", 12, Type::U8}}},
    {19, "CLEAR_SLMT", S, {{"axis", 2, Type::U8}}},
    {20, "SET_ENCODER", K, {{"axis", 2, Type::U8}, {"data1", 4, Type::U8}, {"data2", 6, Type::U8}, {"data3", 8, Type::U8}}},
    {21, "SERVO_ON", K, {{"axis", 2, Type::U8}}},
    {22, "SERVO_OFF", K, {{"axis", 2, Type::U8}}},
    {23, "SET_ALARM", K, {{"axis", 2, Type::U8}, {"data1", 4, Type::U8}, {"data2", 6, Type::U8}}},
    {24, "SET_INPOS", K, {{"axis", 2, Type::U8}, {"data1", 4, Type::U8}, {"data2", 6, Type::U8}}},
    {25, "SET_FILTER", K, {{"axis", 2, Type::U8}, {"data1", 4, Type::U8}, {"data2", 6, Type::U8}}},
    {26, "VRING_ENABLE", K, {{"axis", 2, Type::U8}, {"data", 4, Type::U32}}},
    {27, "VRING_DISABLE", K, {{"axis", 2, Type::U8}}},
    {28, "AVTRI_ENABLE", K, {{"axis", 2, Type::U8}}},
    {29, "AVTRI_DISABLE", K, {{"axis", 2, Type::U8}}},
    {30, "EXD_MP", K, {{"axis", 2, Type::U8}, {"data", 4, Type::U32}}},
    {31, "EXD_FP", K, {{"axis", 2, Type::U8}, {"data", 4, Type::U32}}},
    {32, "EXD_CP", K, {{"axis", 2, Type::U8}, {"data", 4, Type::U32}}},
    {33, "EXD_DISABLE", K, {{"axis", 2, Type::U8}}},
    {35, "WRITE_bVAR", S, {{"index", 2, Type::U8}, {"data", 4, Type::U8}}},
    {37, "WRITE_VAR", S, {{"index", 2, Type::U16}, {"data", 6, Type::I32}}},
    {39, "WRITE_MD", S, {{"index", 2, Type::U16}, {"value", 6, Type::Raw32}}},
    {40, "SET_LP", S, {{"axis", 2, Type::U8}, {"data", 4, Type::I32}}},
    {41, "GET_LP", N, {{"axis", 2, Type::U8}}},
    {42, "SET_EP", S, {{"axis", 2, Type::U8}, {"data", 4, Type::I32}}},
    {43, "GET_EP", N, {{"axis", 2, Type::U8}}},
    {46, "GET_DI", N, {{"axis", 2, Type::U8}, {"input", 4, Type::U8}}},
    {47, "GET_ERROR", N, {}},
    {48, "GET_ERROR_CODE", N, {{"axis", 2, Type::U8}}},
    {49, "GET_DI_ALL", N, {{"axis", 2, Type::U8}}},
    {50, "QUORL_IN", N, {{"port", 2, Type::U8}}},
    {51, "QUORL_OUT", S, {{"port", 2, Type::U8}, {"data", 4, Type::U32}}},
    {60, "SET_HV", K, {{"axis", 2, Type::U8}, {"data", 4, Type::U32}}},
    {61, "HOME_LIMIT", K, {{"axis", 2, Type::U8}, {"data", 4, Type::U8}}},
    {62, "SET_HOME_MODE", K, {{"axis", 2, Type::U8}, {"data1", 4, Type::U8}, {"data2", 6, Type::U8}, {"data3", 8, Type::U8}, {"data4", 10, Type::U8}, {"data5", 12, Type::I32}}},
    {63, "HOME_START", N, {{"axis", 2, Type::U8}}},
    {70, "NORMAL_SPEED", K, {{"axis", 2, Type::U8}, {"data", 4, Type::U8}}},
    {71, "SET_SV", S, {{"axis", 2, Type::U8}, {"data", 4, Type::U32}}},
    {72, "SET_V", S, {{"axis", 2, Type::U8}, {"data", 4, Type::U32}}},
    {73, "SET_A", S, {{"axis", 2, Type::U8}, {"data", 4, Type::U32}}},
    {74, "SET_D", S, {{"axis", 2, Type::U8}, {"data", 4, Type::U32}}},
    {75, "SET_K", K, {{"axis", 2, Type::U8}, {"data", 4, Type::U32}}},
    {76, "SET_L", K, {{"axis", 2, Type::U8}, {"data", 4, Type::U32}}},
    {77, "SET_AO", K, {{"axis", 2, Type::U8}, {"data", 4, Type::I32}}},
    {78, "FIXED_MOVE", S, {{"axis", 2, Type::U8}, {"data", 4, Type::I32}}},
    {79, "SET_PULSE", K, {{"axis", 2, Type::U8}, {"data", 4, Type::U32}}},
    {80, "CONTINUE_MOVE", S, {{"axis", 2, Type::U8}, {"data", 4, Type::I32}}},
    {90, "AXIS_ASSIGN", S, {{"axis1", 2, Type::U8}, {"axis2", 4, Type::U8}, {"axis3", 6, Type::U8}}},
    {91, "VECTOR_SPEED", K, {{"data", 2, Type::U8}}},
    {92, "SET_VSV", S, {{"data", 2, Type::U32}}},
    {93, "SET_VV", S, {{"data", 2, Type::U32}}},
    {94, "SET_VA", S, {{"data", 2, Type::U32}}},
    {95, "SET_VD", S, {{"data", 2, Type::U32}}},
    {96, "SET_VK", K, {{"data", 2, Type::U32}}},
    {97, "SET_VL", K, {{"data", 2, Type::U32}}},
    {98, "SET_VAO", K, {{"data", 2, Type::I32}}},
    {99, "LINE_2D", S, {{"x", 2, Type::I32}, {"y", 6, Type::I32}}},
    {100, "LINE_3D", S, {{"x", 2, Type::I32}, {"y", 6, Type::I32}, {"z", 10, Type::I32}}},
    {101, "ARC_CW", S, {{"centre_x", 2, Type::I32}, {"centre_y", 6, Type::I32}}},
    {102, "ARC_CW", S, {{"end_x", 2, Type::I32}, {"end_y", 6, Type::I32}}},
    {103, "ARC_CCW", S, {{"centre_x", 2, Type::I32}, {"centre_y", 6, Type::I32}}},
    {104, "ARC_CCW", S, {{"end_x", 2, Type::I32}, {"end_y", 6, Type::I32}}},
    {105, "CIRCLE_CW", S, {{"centre_x", 2, Type::I32}, {"centre_y", 6, Type::I32}}},
    {106, "CIRCLE_CCW", S, {{"centre_x", 2, Type::I32}, {"centre_y", 6, Type::I32}}},
    {110, "SYNC_ACTION", N, {{"param1", 2, Type::U8}, {"param2", 4, Type::U8}, {"param3", 6, Type::U32}}},
    {111, "SYNC_ACTION", N, {{"param4", 2, Type::U8}, {"param5", 4, Type::U8}, {"param6", 6, Type::U8}, {"param7", 8, Type::U8}, {"param8", 10, Type::U8}, {"param9", 12, Type::U8}, {"param10", 14, Type::U8}, {"param11", 16, Type::U8}, {"param12", 18, Type::U8}}},
    {112, "SET_COMPARE", N, {{"param1", 2, Type::U8}, {"param2", 4, Type::U8}, {"param3", 6, Type::U8}, {"param4", 8, Type::I32}}},
    {113, "GET_LATCH", N, {{"axis", 2, Type::U8}}},
    {114, "SET_PRESET", N, {{"param1", 2, Type::U8}, {"param2", 4, Type::I32}}},
    {115, "SET_OUT", N, {{"param1", 2, Type::U8}, {"param2", 4, Type::U8}, {"param3", 6, Type::U8}}},
    {120, "RECTANGLE", N, {{"data1", 2, Type::U8}, {"data2", 4, Type::U8}, {"data3", 6, Type::U8}, {"data4", 8, Type::U8}, {"data5", 10, Type::U8}}},
    {121, "RECTANGLE", N, {{"data6", 2, Type::I32}, {"data7", 6, Type::I32}, {"data8", 10, Type::I32}}},
    {122, "RECTANGLE", N, {{"data9", 2, Type::U32}, {"data10", 6, Type::U32}}},
    {123, "RECTANGLE", N, {{"data11", 2, Type::U32}, {"data12", 6, Type::U32}}},
    {124, "LINE_2D_INITIAL", S, {{"axis1", 2, Type::U8}, {"axis2", 4, Type::U8}}},
    {125, "LINE_2D_INITIAL", S, {{"sv", 2, Type::U32}, {"v", 6, Type::U32}, {"a", 10, Type::U32}}},
    {126, "LINE_2D_CONTINUE", S, {{"end", 2, Type::U8}, {"x", 4, Type::I32}, {"y", 8, Type::I32}}},
    {127, "LINE_3D_INITIAL", S, {{"axis1", 2, Type::U8}, {"axis2", 4, Type::U8}, {"axis3", 6, Type::U8}}},
    {128, "LINE_3D_INITIAL", S, {{"sv", 2, Type::U32}, {"v", 6, Type::U32}, {"a", 10, Type::U32}}},
    {129, "LINE_3D_CONTINUE", S, {{"end", 2, Type::U8}, {"x", 4, Type::I32}, {"y", 8, Type::I32}, {"z", 12, Type::I32}}},
    {130, "MIX_2D_INITIAL", N, {{"data1", 2, Type::U8}, {"data2", 4, Type::U8}, {"data3", 6, Type::U8}}},
    {131, "MIX_2D_INITIAL", N, {{"data4", 2, Type::U32}, {"data5", 6, Type::U32}, {"data6", 10, Type::U32}}},
    {132, "MIX_2D_CONTINUE", N, {{"data1", 2, Type::U8}, {"data2", 4, Type::U8}, {"data3", 6, Type::I32}, {"data4", 10, Type::I32}}},
    {133, "MIX_2D_CONTINUE", N, {{"data5", 2, Type::I32}, {"data6", 6, Type::I32}}},
    {134, "CONTINUE_INTP", N, {{"data1", 2, Type::U8}, {"data2", 4, Type::U8}, {"data3", 6, Type::U8}, {"data4", 8, Type::U8}, {"data5", 10, Type::U32}, {"data6", 14, Type::U32}, {"data7", 18, Type::U32}, {"data8", 22, Type::U32}}},
    {135, "CONTINUE_INTP_ARRAY", N, {{"entry", 2, Type::U8}, {"data1", 4, Type::U8}, {"data2", 6, Type::I32}, {"data3", 10, Type::I32}, {"data4", 14, Type::I32}, {"data5", 18, Type::I32}, {"data6", 22, Type::I32}}},
    {136, "HELIX_3D", N, {{"data1", 2, Type::U8}, {"data2", 4, Type::U8}, {"data3", 6, Type::U8}, {"data4", 8, Type::U8}}},
    {137, "HELIX_3D", N, {{"data5", 2, Type::U32}, {"data6", 6, Type::I32}, {"data7", 10, Type::I32}}},
    {138, "HELIX_3D", N, {{"data8", 2, Type::I32}, {"data9", 6, Type::I32}}},
    {139, "RATIO_INITIAL", N, {{"data1", 2, Type::U8}, {"data2", 4, Type::U8}, {"data3", 6, Type::U32}, {"data4", 10, Type::U32}}},
    {140, "RATIO_INITIAL", N, {{"data5", 2, Type::U32}, {"data6", 6, Type::U8}, {"data7", 8, Type::U8}}},
    {141, "RATIO_2D", N, {{"data1", 2, Type::U8}, {"data2", 4, Type::I32}, {"data3", 8, Type::U8}}},
    {144, "LINE_SCAN", N, {{"data1", 2, Type::U8}, {"data2", 4, Type::U8}, {"data3", 6, Type::U8}, {"data4", 8, Type::U8}, {"data5", 10, Type::I32}}},
    {145, "LINE_SCAN_START", N, {{"data1", 2, Type::U8}, {"data2", 4, Type::U8}, {"data3", 6, Type::I32}}},
    {146, "LINE_SCAN_OFFSET", N, {{"count", 2, Type::U8}, {"index", 3, Type::I32}, {"offsets", 7, Type::Chunk}}},
    {170, "ENABLE_INT", S, {}},
    {171, "DISABLE_INT", S, {}},
    {172, "INTFACTOR_ENABLE", S, {{"factors", 2, Type::U8}, {"param2", 4, Type::U8}, {"param3", 6, Type::U8}}},
    {173, "INTFACTOR_DISABLE", S, {{"factors", 2, Type::U8}, {"param2", 4, Type::U8}}},
    {180, "DRV_HOLD", S, {{"axis", 2, Type::U8}}},
    {181, "DRV_START", S, {{"axis", 2, Type::U8}}},
    {183, "STOP_SLOWLY", S, {{"axis", 2, Type::U8}}},
    {184, "STOP_SUDDENLY", S, {{"axis", 2, Type::U8}}},
    {185, "VSTOP_SLOWLY", S, {}},
    {186, "VSTOP_SUDDENLY", S, {}},
    {187, "CLEAR_STOP", S, {}},
    {188, "INTP_END", S, {{"param", 2, Type::U8}}},
    {200, "LOAD_INITIAL", N, {}},
    {201, "MP_CREATE", S, {{"program", 2, Type::U8}}},
    {202, "MP_CLOSE", S, {}},
    {203, "MP_CALL", N, {{"program", 2, Type::U8}}},
    {210, "MP_SET_VAR", N, {{"param1", 2, Type::I32}, {"param2", 6, Type::I32}}},
    {211, "MP_SET_RVAR", N, {{"param1", 2, Type::I32}}},
    {212, "MP_VAR_CALCULATE", N, {{"param1", 2, Type::I32}, {"param2", 6, Type::U8}, {"param3", 8, Type::I32}, {"param4", 12, Type::I32}}},
    {213, "MP_FOR", N, {{"param1", 2, Type::I32}}},
    {214, "MP_NEXT", N, {}},
    {215, "MP_IF", N, {{"param1", 2, Type::I32}, {"operator", 6, Type::U16}, {"param3", 8, Type::I32}}},
    {216, "MP_ELSE", N, {}},
    {217, "MP_IF_END", N, {}},
    {218, "MP_TIMER", N, {{"param1", 2, Type::I32}}},
    {219, "MP_STOP_WAIT", N, {{"axis", 2, Type::U8}}},
    {220, "MP_SET_RINT", S, {}},
    {240, "MP_DEBUG", N, {{"param", 2, Type::U8}}},
    {241, "ISR_DEBUG", N, {{"param", 2, Type::U8}}},
};

// Handshake codes other than 1. Field positions are parameter registers.
const Entry kExchanges[] = {
    {10, "RESET_CARD", S, {}},
    {11, "CLEAR_CARD_BUFFER", S, {}},
    {34, "READ_bVAR", S, {{"index+128", 104, Type::U8}}},
    {36, "READ_VAR", S, {{"index_low", 104, Type::U8}, {"index_high", 106, Type::U8}}},
    {38, "READ_MD", S, {{"index_low", 112, Type::U8}, {"index_high", 114, Type::U8}}},
    {41, "GET_LP", S, {{"axis", 96, Type::U8}}},
    {43, "GET_EP", S, {{"axis", 96, Type::U8}}},
    {44, "GET_CV", S, {{"axis", 96, Type::U8}}},
    {45, "GET_CA", S, {{"axis", 96, Type::U8}}},
    {46, "GET_DI", S, {{"axis", 96, Type::U8}, {"input", 108, Type::U8}}},
    {47, "GET_ERROR", S, {}},
    {48, "GET_ERROR_CODE", S, {{"axis", 96, Type::U8}}},
    {49, "GET_DI_ALL", S, {{"axis", 96, Type::U8}}},
    {50, "QUORL_IN", S, {{"port", 100, Type::U8}}},
    {113, "GET_LATCH", N, {{"axis", 96, Type::U8}}},
    {182, "STOP_WAIT", S, {{"axis", 96, Type::U8}}},
    {183, "STOP_SLOWLY", S, {{"axis", 96, Type::U8}}},
    {184, "STOP_SUDDENLY", S, {{"axis", 96, Type::U8}}},
    {185, "VSTOP_SLOWLY", S, {}},
    {186, "VSTOP_SUDDENLY", S, {}},
    {187, "CLEAR_STOP", S, {}},
    {204, "GET_FW_VERSION", S, {}},
    {242, "CONTINUE_DEBUG", N, {}},
    {243, "STOP_DEBUG", N, {}},
    {255, "RANGE", S, {{"axis", 96, Type::U8}}},
};

// Reply widths of the exchanges that answer, for the trace.
int ReplyWidth(std::uint8_t code)
{
    switch (code) {
    case 34: case 46: case 47: case 182: return 1;
    case 48: case 49: case 50: return 2;
    case 36: case 38: case 41: case 43: case 44: case 45: case 113: case 204: case 255: return 4;
    default: return 0;
    }
}

template <std::size_t N>
const Entry* Find(const Entry (&table)[N], std::uint8_t code)
{
    for (const Entry& e : table) {
        if (e.code == code) {
            return &e;
        }
    }
    return nullptr;
}

std::string Format(const Entry& e, const Bytes& source, bool registers, const std::array<std::uint8_t, 10>& regs)
{
    std::string out = e.name;
    char text[64];
    for (const Field& f : e.fields) {
        if (f.name == nullptr) {
            break;
        }
        if (registers) {
            std::snprintf(text, sizeof text, " %s=%u", f.name, unsigned(regs[(f.at - 96) / 2]));
            out += text;
            continue;
        }
        switch (f.type) {
        case Type::End: break;
        case Type::U8: std::snprintf(text, sizeof text, " %s=%u", f.name, unsigned(source[f.at])); break;
        case Type::U16: std::snprintf(text, sizeof text, " %s=%u", f.name, unsigned(U16(source, f.at))); break;
        case Type::U32: std::snprintf(text, sizeof text, " %s=%u", f.name, unsigned(U32(source, f.at))); break;
        case Type::I32: std::snprintf(text, sizeof text, " %s=%d", f.name, int(I32(source, f.at))); break;
        case Type::Raw32: std::snprintf(text, sizeof text, " %s=0x%08X", f.name, unsigned(U32(source, f.at))); break;
        case Type::Chunk: {
            const int count = source[2] < 20 ? source[2] : 20;
            std::snprintf(text, sizeof text, " %s=[%d bytes]", f.name, count);
            break;
        }
        }
        out += text;
    }
    return out;
}

} // namespace

Support PacketSupport(std::uint8_t code)
{
    const Entry* e = Find(kPackets, code);
    return e == nullptr ? Support::NotSimulated : e->support;
}

Support ExchangeSupport(std::uint8_t code)
{
    const Entry* e = Find(kExchanges, code);
    return e == nullptr ? Support::NotSimulated : e->support;
}

} // namespace detail

std::string CodeName(std::uint8_t code, LogEntry::Kind kind)
{
    const detail::Entry* e =
        kind == LogEntry::Kind::Packet ? detail::Find(detail::kPackets, code) : detail::Find(detail::kExchanges, code);
    return e != nullptr ? std::string(e->name) : "code " + std::to_string(code);
}

std::string Describe(const LogEntry& entry)
{
    char head[32];
    if (entry.kind == LogEntry::Kind::Packet) {
        std::snprintf(head, sizeof head, "#%-2u ", unsigned(entry.sequence));
        const detail::Entry* e = detail::Find(detail::kPackets, entry.code);
        return std::string(head) + (e != nullptr ? detail::Format(*e, entry.bytes, false, entry.registers)
                                                 : "unknown code " + std::to_string(entry.code));
    }
    const detail::Entry* e = detail::Find(detail::kExchanges, entry.code);
    std::string out = "query ";
    out += e != nullptr ? detail::Format(*e, entry.bytes, true, entry.registers)
                        : "unknown code " + std::to_string(entry.code);
    const int width = detail::ReplyWidth(entry.code);
    if (width > 0) {
        std::uint32_t reply = 0;
        for (int i = width - 1; i >= 0; --i) {
            reply = reply << 8 | entry.bytes[i];
        }
        out += " -> " + std::to_string(width == 4 ? static_cast<long long>(static_cast<std::int32_t>(reply))
                                                  : static_cast<long long>(reply));
    }
    return out;
}

} // namespace velkor_sim
