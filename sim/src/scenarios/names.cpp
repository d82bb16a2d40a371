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
    return FactorBitNames();
}

const std::vector<Named>& ErrorNames()
{
    return ErrorBitNames();
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
    unsigned named = 0;
    for (const Named& n : names) {
        if (n.bits == 0 || (n.bits & ~named) != 0) {
            all += (all.empty() ? "" : ", ") + std::string(n.name);
        }
        named |= n.bits;
    }
    return all;
}

std::string MaskText(unsigned mask, const std::vector<Named>& names, int digits)
{
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%0*X", digits, mask);
    std::string words;
    unsigned named = 0;
    for (const Named& n : names) {
        if ((mask & n.bits & ~named) != 0) {
            words += (words.empty() ? "" : " ") + std::string(n.name);
            named |= n.bits;
        }
    }
    return words.empty() ? hex : std::string(hex) + " (" + words + ")";
}

} // namespace velkor_sim
