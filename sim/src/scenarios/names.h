// The names a scenario file gives to bits: input terminals, interrupt
// factors, error bits, and the switches of an axis.
#ifndef VELKOR_SIM_SCENARIOS_NAMES_H
#define VELKOR_SIM_SCENARIOS_NAMES_H

#include "velkor_sim/bit_names.h"

#include <cstdint>
#include <string>
#include <vector>

namespace velkor_sim {

using Named = BitName;

const std::vector<Named>& InputNames();  // plus_limit .. in_position (bits 0..6)
const std::vector<Named>& FactorNames(); // FactorBitNames(): drive_end .. program, and macro
const std::vector<Named>& ErrorNames();  // ErrorBitNames(): soft_limit_plus .. program_runaway
const std::vector<Named>& SwitchNames(); // plus_limit, minus_limit, home, near_home (bits: SwitchKind)
// "a, b, c" (a name for bits named already is left out)
std::string NameList(const std::vector<Named>& names);
// "0x0050 (hard_limit_plus servo_alarm)", or "0x0000".
std::string MaskText(unsigned mask, const std::vector<Named>& names, int digits);

} // namespace velkor_sim

#endif
