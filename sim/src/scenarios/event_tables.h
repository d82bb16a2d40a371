// The [[event]] and [[check]] tables of a scenario file: each read into
// the scenario, after its [slot.N] tables (an event or check names the slot
// it is about, and a trigger may name an earlier event).
#ifndef VELKOR_SIM_SCENARIOS_EVENT_TABLES_H
#define VELKOR_SIM_SCENARIOS_EVENT_TABLES_H

#include "velkor_sim/scenario.h"

#include "scenarios/toml_reader.h"

namespace velkor_sim {
namespace scenario_file {

void ReadEvent(const Reader& r, const toml::table& t, const std::string& path, Scenario& s);
void ReadCheck(const Reader& r, const toml::table& t, const std::string& path, Scenario& s);

} // namespace scenario_file
} // namespace velkor_sim

#endif
