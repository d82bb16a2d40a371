// The names of bits in a scenario file (scenarios/names.h).
#include "scenarios/names.h"

#include "velkor_sim/scenario.h"

#include <cstdio>

namespace velkor_sim {

const std::vector<Named>& InputNames()
{
    static const std::vector<Named> names{{"plus_limit", input::kPlusLimit}, {"minus_limit", input::kMinusLimit},
                                          {"home", input::kHome},            {"near_home", input::kNearHome},
                                          {"index", input::kIndex},          {"alarm", input::kServoAlarm},
                                          {"in_position", input::kInPosition}};
    return names;
}

const std::vector<Named>& FactorNames()
{
    static const std::vector<Named> names{{"drive_end", 0x01}, {"limit", 0x02},       {"servo_alarm", 0x04},
                                          {"homed", 0x08},     {"compare", 0x10},     {"debug", 0x20},
                                          {"sync_action", 0x40}, {"program", 0x80}};
    return names;
}

const std::vector<Named>& ErrorNames()
{
    static const std::vector<Named> names{
        {"soft_limit_plus", error::kSoftLimitPlus},   {"soft_limit_minus", error::kSoftLimitMinus},
        {"axis_busy", error::kAxisBusy},              {"bad_command", error::kBadCommand},
        {"hard_limit_plus", error::kHardLimitPlus},   {"hard_limit_minus", error::kHardLimitMinus},
        {"servo_alarm", error::kServoAlarm},          {"servo_off", error::kServoOff},
        {"homing_failed", error::kHomingFailed},      {"program_malformed", error::kProgramMalformed},
        {"not_simulated", error::kNotSimulated},      {"packet_missing", error::kPacketMissing},
        {"program_too_long", error::kProgramTooLong}, {"program_missing", error::kProgramMissing},
        {"program_runaway", error::kProgramRunaway}};
    return names;
}

const std::vector<Named>& SwitchNames()
{
    static const std::vector<Named> names{{"plus_limit", static_cast<unsigned>(SwitchKind::PlusLimit)},
                                          {"minus_limit", static_cast<unsigned>(SwitchKind::MinusLimit)},
                                          {"home", static_cast<unsigned>(SwitchKind::Home)},
                                          {"near_home", static_cast<unsigned>(SwitchKind::NearHome)}};
    return names;
}

std::string NameList(const std::vector<Named>& names)
{
    std::string all;
    for (const Named& n : names) {
        all += (all.empty() ? "" : ", ") + std::string(n.name);
    }
    return all;
}

std::string MaskText(unsigned mask, const std::vector<Named>& names, int digits)
{
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%0*X", digits, mask);
    std::string words;
    for (const Named& n : names) {
        if ((mask & n.bits) != 0) {
            words += (words.empty() ? "" : " ") + std::string(n.name);
        }
    }
    return words.empty() ? hex : std::string(hex) + " (" + words + ")";
}

} // namespace velkor_sim
