// The [[event]] and [[check]] tables of a scenario file: each read into
// the scenario, after its [slot.N] tables (an event or check names the slot
// it is about, and a trigger may name an earlier event).
#ifndef VELKOR_SIM_SCENARIOS_EVENT_TABLES_H
#define VELKOR_SIM_SCENARIOS_EVENT_TABLES_H

#include "velkor_sim/scenario.h"

#include "scenarios/toml_reader.h"

#include <string>
#include <unordered_map>

namespace velkor_sim {
namespace scenario_file {

// The events read so far by name (their index in the scenario's events), so
// that a file of many events is read in a time linear in their number.
using EventNames = std::unordered_map<std::string, std::size_t>;

void ReadEvent(const Reader& r, const toml::table& t, const std::string& path, Scenario& s, EventNames& names);
void ReadCheck(const Reader& r, const toml::table& t, const std::string& path, Scenario& s, const EventNames& names);

} // namespace scenario_file
} // namespace velkor_sim

#endif
