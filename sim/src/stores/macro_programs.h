// The macro program store: between MP_CREATE and MP_CLOSE every packet
// becomes a step of the program being recorded instead of being carried out.
#ifndef VELKOR_SIM_STORES_MACRO_PROGRAMS_H
#define VELKOR_SIM_STORES_MACRO_PROGRAMS_H

#include "firmware/fields.h"

#include <cstdint>
#include <map>
#include <vector>

namespace velkor_sim {
namespace detail {

class Firmware;

constexpr std::uint8_t kMpClose = 202;

struct MacroStore {
    std::map<std::uint8_t, std::vector<Bytes>> programs;
    bool recording = false;
    std::uint8_t program = 0;
};

// Keeps the packet as a step when a program is being recorded; returns
// whether it did (only the closing packet ends the recording).
bool RecordStep(Firmware& fw, const Bytes& p);

// Packet handlers
void MpCreate(Firmware& fw, const Bytes& p);  // 201
void MpClose(Firmware& fw, const Bytes& p);   // 202
void MpSetRint(Firmware& fw, const Bytes& p); // 220

} // namespace detail
} // namespace velkor_sim

#endif
