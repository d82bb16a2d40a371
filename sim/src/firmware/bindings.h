// The handler each code is bound to: a packet's handler carries the command
// out; a code's handler reads the parameter registers of the window and
// writes its reply there. Null for a code kept without effect or not
// simulated.
#ifndef VELKOR_SIM_FIRMWARE_BINDINGS_H
#define VELKOR_SIM_FIRMWARE_BINDINGS_H

#include "protocol/fields.h"

#include <cstdint>

namespace velkor_sim {
namespace detail {

class Command;
class Firmware;

// A packet's handler gets the whole command, once its last packet has come.
using PacketHandler = void (*)(Firmware&, const Command&);
using ExchangeHandler = void (*)(Firmware&, Window&);

PacketHandler PacketHandlerOf(std::uint8_t code);
ExchangeHandler ExchangeHandlerOf(std::uint8_t code);

} // namespace detail
} // namespace velkor_sim

#endif
