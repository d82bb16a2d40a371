// The command table: one row per command code (protocol/packet_table.h)
// and per handshake code (protocol/exchange_table.h), with its name, how far
// the module carries it out and its field layout. Adding a command is adding
// its row and binding its family handler in firmware/bindings.cpp.
//
// Rows marked K (kept: the settings arrive and have no effect on the model)
// and N (not simulated), like codes with no row, are listed by Unsimulated()
// and set the not-simulated error bit: nothing is silently ignored.
#include "protocol/decoder.h"

#include "protocol/exchange_table.h"
#include "protocol/packet_table.h"

#include <array>

namespace velkor_sim {
namespace detail {
namespace {

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
