// The module's stores the host reads and writes: byte and long variables,
// the MD table and the remote I/O words. They survive RESET_CARD.
#ifndef VELKOR_SIM_STORES_VARIABLES_H
#define VELKOR_SIM_STORES_VARIABLES_H

#include "protocol/fields.h"

#include <array>
#include <cstdint>
#include <vector>

namespace velkor_sim {
namespace detail {

class Command;

struct Stores {
    std::array<std::uint8_t, 256> byteVars{};
    std::vector<std::int32_t> longVars = std::vector<std::int32_t>(65536, 0);
    std::vector<std::uint32_t> md = std::vector<std::uint32_t>(65536, 0);
    std::array<std::uint32_t, 256> remoteOut{};
    std::array<std::uint16_t, 256> remoteIn{};
    bool remoteLoopback = false; // each port's input reads its own output
};

// Packet handlers
void WriteByteVar(Stores& s, const Command& cmd); // 35
void WriteVar(Stores& s, const Command& cmd);     // 37
void WriteMd(Stores& s, const Command& cmd);      // 39
void RemoteOut(Stores& s, const Command& cmd);    // 51
// Exchange handlers
void ReadByteVar(Stores& s, Window& w);        // 34
void ReadVar(Stores& s, Window& w);            // 36
void ReadMd(Stores& s, Window& w);             // 38
void RemoteIn(Stores& s, Window& w);           // 50

} // namespace detail
} // namespace velkor_sim

#endif
