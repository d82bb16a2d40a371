// The names of interrupt factor and error bits (velkor_sim/bit_names.h).
#include "velkor_sim/bit_names.h"

#include "velkor_sim/virtual_module.h"

namespace velkor_sim {

const std::vector<BitName>& FactorBitNames()
{
    static const std::vector<BitName> names{
        {"drive_end", 0x01}, {"limit", 0x02},       {"servo_alarm", 0x04}, {"homed", 0x08},
        {"compare", 0x10},   {"debug", 0x20},       {"sync_action", 0x40}, {"program", 0x80},
        // Other spellings once documented: the monitor's "macro", Python's
        // ALARM and HOMING.
        {"macro", 0x80}, {"alarm", 0x04}, {"homing", 0x08}};
    return names;
}

const std::vector<BitName>& ErrorBitNames()
{
    static const std::vector<BitName> names{
        {"soft_limit_plus", error::kSoftLimitPlus},   {"soft_limit_minus", error::kSoftLimitMinus},
        {"axis_busy", error::kAxisBusy},              {"bad_command", error::kBadCommand},
        {"hard_limit_plus", error::kHardLimitPlus},   {"hard_limit_minus", error::kHardLimitMinus},
        {"servo_alarm", error::kServoAlarm},          {"servo_off", error::kServoOff},
        {"host_stop_flag", 0x0100},                   {"homing_failed", error::kHomingFailed},
        {"program_malformed", error::kProgramMalformed}, {"not_simulated", error::kNotSimulated},
        {"packet_missing", error::kPacketMissing},    {"program_too_long", error::kProgramTooLong},
        {"program_missing", error::kProgramMissing},  {"program_runaway", error::kProgramRunaway},
        // Other spellings once documented (Python's).
        {"limit_switch_plus", error::kHardLimitPlus}, {"limit_switch_minus", error::kHardLimitMinus},
        {"drive_alarm", error::kServoAlarm}};
    return names;
}

std::vector<std::string> NamesOfBits(unsigned bits, const std::vector<BitName>& table, int width)
{
    std::vector<std::string> names;
    for (int bit = 0; bit < width; ++bit) {
        const unsigned mask = 1u << bit;
        if ((bits & mask) == 0) {
            continue;
        }
        const char* name = nullptr;
        for (const BitName& n : table) {
            if (n.bits == mask) {
                name = n.name;
                break;
            }
        }
        names.push_back(name != nullptr ? std::string(name) : "bit_" + std::to_string(bit));
    }
    return names;
}

std::string JoinedNames(unsigned bits, const std::vector<BitName>& table, int width)
{
    std::string text;
    for (const std::string& name : NamesOfBits(bits, table, width)) {
        text += (text.empty() ? "" : " ") + name;
    }
    return text;
}

unsigned BitsOfName(const std::string& name, const std::vector<BitName>& table)
{
    for (const BitName& n : table) {
        if (name == n.name) {
            return n.bits;
        }
    }
    return 0;
}

} // namespace velkor_sim
