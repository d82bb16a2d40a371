// The names a scenario file gives to bits: input terminals, interrupt
// factors, error bits, and the switches of an axis.
#ifndef VELKOR_SIM_SCENARIOS_NAMES_H
#define VELKOR_SIM_SCENARIOS_NAMES_H

#include <cstdint>
#include <string>
#include <vector>

namespace velkor_sim {

struct Named {
    const char* name;
    unsigned bits;
};

const std::vector<Named>& InputNames();  // plus_limit .. in_position (bits 0..6)
const std::vector<Named>& FactorNames(); // drive_end .. program
const std::vector<Named>& ErrorNames();  // soft_limit_plus .. program_runaway
const std::vector<Named>& SwitchNames(); // plus_limit, minus_limit, home, near_home (bits: SwitchKind)
// "a, b, c"
std::string NameList(const std::vector<Named>& names);
// "0x0050 (hard_limit_plus servo_alarm)", or "0x0000".
std::string MaskText(unsigned mask, const std::vector<Named>& names, int digits);

} // namespace velkor_sim

#endif
