// The parameter registers a code's handler reads from the window, named by
// the code's row in the command table (protocol/exchange_table.h):
//
//     constexpr auto kIndexLow = RegisterOf({36}, "index_low");
//     ... w[kIndexLow] ...
//
// A name the row does not have, or codes that place it differently, do not
// compile.
#ifndef VELKOR_SIM_PROTOCOL_QUERY_H
#define VELKOR_SIM_PROTOCOL_QUERY_H

#include "protocol/command.h"
#include "protocol/decoder.h"
#include "protocol/exchange_table.h"
#include "protocol/fields.h"

#include <cstdint>
#include <initializer_list>
#include <stdexcept>

namespace velkor_sim {
namespace detail {

namespace table {

constexpr const ExchangeEntry& ExchangeRow(std::uint8_t code)
{
    for (const ExchangeEntry& row : kExchanges) {
        if (row.code == code) {
            return row;
        }
    }
    throw std::logic_error("no row for this code");
}

constexpr int RegisterIn(const ExchangeEntry& row, const char* name)
{
    for (const Field& f : row.fields) {
        if (f.type != FieldType::End && SameName(f.name, name)) {
            return f.at;
        }
    }
    throw std::logic_error("the row has no register of this name");
}

// Every query of an axis reads its selector from the one axis register.
constexpr bool AxisRegisterShared()
{
    for (const ExchangeEntry& row : kExchanges) {
        for (const Field& f : row.fields) {
            if (f.type != FieldType::End && SameName(f.name, "axis") && f.at != kAxisRegister) {
                return false;
            }
        }
    }
    return true;
}
static_assert(AxisRegisterShared(), "a query reads its axis from another register");

} // namespace table

// The window register of the parameter `name` of every code given.
constexpr int RegisterOf(std::initializer_list<std::uint8_t> codes, const char* name)
{
    int at = -1;
    for (std::uint8_t code : codes) {
        const int here = table::RegisterIn(table::ExchangeRow(code), name);
        if (at >= 0 && here != at) {
            throw std::logic_error("the codes place the register differently");
        }
        at = here;
    }
    return at;
}

} // namespace detail
} // namespace velkor_sim

#endif
