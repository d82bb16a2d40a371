// The codes the module answers through the window (handshake codes other
// than 1): one row per code with its name, how far the module carries it out,
// the width of its reply and the parameter registers it reads, by name. The
// handlers read their registers by these names (protocol/query.h), and the
// trace shows them.
#ifndef VELKOR_SIM_PROTOCOL_EXCHANGE_TABLE_H
#define VELKOR_SIM_PROTOCOL_EXCHANGE_TABLE_H

#include "protocol/decoder.h"

namespace velkor_sim {
namespace detail {
namespace rows {

// Field positions are parameter registers.
inline constexpr ExchangeEntry kExchanges[] = {
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

} // namespace rows

using rows::kExchanges;

} // namespace detail
} // namespace velkor_sim

#endif
