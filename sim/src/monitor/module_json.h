// The monitor's JSON forms of what a module holds and does: its error bits
// and interrupt factors by name, its clock, its status, its scope's state and
// the fields of a packet's trace line (docs/monitor.md). Like protocol.h,
// nothing here touches a socket.
#ifndef VELKOR_SIM_MONITOR_MODULE_JSON_H
#define VELKOR_SIM_MONITOR_MODULE_JSON_H

#include "monitor/protocol.h"

#include <cstdint>
#include <string>

namespace velkor_sim {
namespace monitor {

Json ErrorNames(std::uint16_t bits);
Json FactorNames(std::uint8_t bits);
std::string FirmwareText(std::uint32_t version);
Json ClockJson(std::uint8_t slot, const ClockState& clock);
Json ModuleJson(const ModuleSnapshot& s);
Json StatusJson(const ModuleSnapshot& s);
// An axis's external drive mode: off, handwheel, fixed_pulse, continuous.
std::string ExternalDriveName(ExternalDrive mode);
Json ScopeStateJson(const ScopeState& s);
// The fields of a trace line ("#7 SET_MAX_V axis=1 data=500"): numbers as
// numbers, the rest as strings.
Json PacketFields(const std::string& text);

} // namespace monitor
} // namespace velkor_sim

#endif
