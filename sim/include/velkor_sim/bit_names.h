// The one set of names for the bits of the interrupt code and of the error
// code. The monitor's JSON, scenario files, the velkor tool and (through
// the monitor) the page name bits from these tables; Python's velkor.bits
// spells the same names in capitals. docs/virtual-module.md says what each
// bit means.
#ifndef VELKOR_SIM_BIT_NAMES_H
#define VELKOR_SIM_BIT_NAMES_H

#include <string>
#include <vector>

namespace velkor_sim {

struct BitName {
    const char* name;
    unsigned bits;
};

// Interrupt factors, bit i is factor i: drive_end, limit, servo_alarm,
// homed, compare, debug, sync_action, program; then the other spellings
// accepted on input (macro for 0x80, alarm, homing).
const std::vector<BitName>& FactorBitNames();
// Error code bits: soft_limit_plus (0x0001) .. program_runaway (0x8000),
// with host_stop_flag (0x0100), the library's own bit; then the other
// spellings accepted on input (limit_switch_plus, limit_switch_minus,
// drive_alarm).
const std::vector<BitName>& ErrorBitNames();

// The names of the bits set in `bits` (bits 0..width-1, lowest first), each
// by its first name in `table`; a bit without a name is "bit_N".
std::vector<std::string> NamesOfBits(unsigned bits, const std::vector<BitName>& table, int width);
// "drive_end limit", "bit_5", or "" for no bit.
std::string JoinedNames(unsigned bits, const std::vector<BitName>& table, int width);
// The bits a name stands for, in either spelling, or 0 when it names none.
unsigned BitsOfName(const std::string& name, const std::vector<BitName>& table);

} // namespace velkor_sim

#endif
