// Arbitrary bytes as a scenario file: the reader either refuses them with a
// place and a reason, or returns a scenario whose every reference holds
// (slots, axes, events) — never a crash, a sanitizer finding or a hang.
#include <velkor_sim/scenario.h>

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    velkor_sim::Scenario s;
    std::string error;
    const std::string text(reinterpret_cast<const char*>(data), size);
    if (!velkor_sim::ParseScenario(text, "fuzz.toml", s, error)) {
        if (error.rfind("fuzz.toml:", 0) != 0) {
            std::abort(); // every refusal names its place
        }
        return 0;
    }
    for (const velkor_sim::ScenarioEvent& e : s.events) {
        if (s.Slot(e.slot) == nullptr || e.when.axis < 0 || e.when.axis > 3 ||
            (e.when.kind == velkor_sim::WhenKind::After && e.when.after >= s.events.size())) {
            std::abort();
        }
        for (const velkor_sim::ScenarioAction& a : e.actions) {
            if (a.axis < 0 || a.axis > 3) {
                std::abort();
            }
        }
    }
    for (const velkor_sim::ScenarioCheck& c : s.checks) {
        if (c.axis < 0 || c.axis > 3 || c.at >= static_cast<int>(s.events.size()) ||
            (c.kind != velkor_sim::CheckKind::ExitCode && s.Slot(c.slot) == nullptr)) {
            std::abort();
        }
        (void)velkor_sim::ExpectedText(c);
    }
    return 0;
}
