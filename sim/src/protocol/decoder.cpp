// The command table: one row per command code (protocol/packet_table.h) and
// per handshake code (here), with its name, how far the module carries it
// out and its field layout. Adding a command is adding its row and binding
// its family handler in firmware/bindings.cpp.
//
// Rows marked K (kept: the settings arrive and have no effect on the model)
// and N (not simulated), like codes with no row, are listed by Unsimulated()
// and set the not-simulated error bit: nothing is silently ignored.
#include "protocol/decoder.h"

#include "protocol/packet_table.h"

#include <array>

namespace velkor_sim {
namespace detail {
namespace {

using T = FieldType;
constexpr Support S = Support::Simulated;

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
