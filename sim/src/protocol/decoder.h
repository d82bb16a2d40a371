// The command table: for every command code (packet byte 0) and every
// handshake code, its name, how far the module carries it out, and its field
// layout; for a packet also which part of its command it is. The packets'
// rows are in protocol/packet_table.h, read by the decoder and, at compile
// time, by the handlers' field names (protocol/command.h). The firmware binds
// the codes to the families' handlers (firmware/bindings.h).
#ifndef VELKOR_SIM_PROTOCOL_DECODER_H
#define VELKOR_SIM_PROTOCOL_DECODER_H

#include "protocol/fields.h"

#include <cstdint>

namespace velkor_sim {
namespace detail {

// How far the firmware carries out a command.
enum class Support : std::uint8_t { Simulated, Kept, NotSimulated };

// Char: one ASCII character (an operator byte), shown quoted; Chars: two
// bytes shown as the characters they hold, a 0 second byte left out.
enum class FieldType : std::uint8_t { End, U8, U16, U32, I32, Raw32, Chunk, Char, Chars };

struct Field {
    const char* name;
    std::uint8_t at; // packet byte, or parameter register for exchanges
    FieldType type;
};

struct PacketEntry {
    std::uint8_t code;
    const char* name;
    Support support;
    std::uint8_t part;  // this packet is part `part` (1-based) of a command of
    std::uint8_t parts; // `parts` packets with consecutive codes
    Field fields[10];
};

struct ExchangeEntry {
    std::uint8_t code;
    const char* name;
    Support support;
    int replyWidth;      // reply bytes, for the trace
    Field fields[4];
};

// The short names the rows of the tables are written with: S simulated, K
// kept (the settings arrive and have no effect on the model), N not
// simulated.
namespace rows {
using T = FieldType;
constexpr Support S = Support::Simulated;
constexpr Support K = Support::Kept;
constexpr Support N = Support::NotSimulated;
} // namespace rows

// The entry of a code, or null for a code the module does not know.
const PacketEntry* FindPacket(std::uint8_t code);
const ExchangeEntry* FindExchange(std::uint8_t code);

Support PacketSupport(std::uint8_t code);
Support ExchangeSupport(std::uint8_t code);

} // namespace detail
} // namespace velkor_sim

#endif
