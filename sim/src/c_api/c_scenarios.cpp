// The C calls of velkor_sim.h for scenarios.
#include "velkor_sim/scenario.h"
#include "velkor_sim/velkor_sim.h"

#include "c_api/c_module.h"

#include <cstring>
#include <memory>

struct VelkorSimScenario {
    velkor_sim::Scenario scenario;
    std::unique_ptr<velkor_sim::ScenarioRun> run;
};

namespace {

void Copy(const std::string& text, char* out, size_t size)
{
    if (out != nullptr && size > 0) {
        const size_t n = text.size() < size - 1 ? text.size() : size - 1;
        std::memcpy(out, text.data(), n);
        out[n] = '\0';
    }
}

VelkorSimScenario* Made(bool ok, velkor_sim::Scenario& scenario, const std::string& error, char* out, size_t size)
{
    if (!ok) {
        Copy(error, out, size);
        return nullptr;
    }
    auto* s = new VelkorSimScenario{std::move(scenario), nullptr};
    s->run = std::make_unique<velkor_sim::ScenarioRun>(s->scenario);
    Copy(std::string(), out, size);
    return s;
}

} // namespace

extern "C" {

VelkorSimScenario* VelkorSim_LoadScenario(const char* path, char* error, size_t size)
{
    velkor_sim::Scenario scenario;
    std::string why = "no file given";
    const bool ok = path != nullptr && velkor_sim::LoadScenario(path, scenario, why);
    return Made(ok, scenario, why, error, size);
}

VelkorSimScenario* VelkorSim_ParseScenario(const char* text, char* error, size_t size)
{
    velkor_sim::Scenario scenario;
    std::string why = "no text given";
    const bool ok = text != nullptr && velkor_sim::ParseScenario(text, "scenario", scenario, why);
    return Made(ok, scenario, why, error, size);
}

int VelkorSim_ApplyScenario(VelkorSimScenario* scenario, VelkorSimModule* module, uint8_t slot, char* error,
                            size_t size)
{
    std::string why = "no scenario or module given";
    const bool ok = scenario != nullptr && module != nullptr && scenario->run->Attach(slot, module->module, why);
    Copy(ok ? std::string() : why, error, size);
    return ok ? 1 : 0;
}

int VelkorSim_ScenarioReport(VelkorSimScenario* scenario, int exit_code, char* text, size_t size)
{
    if (scenario == nullptr) {
        Copy(std::string(), text, size);
        return 0;
    }
    std::string lines;
    int failed = 0;
    for (const velkor_sim::CheckResult& r : scenario->run->Finish(exit_code, true)) {
        failed += r.passed ? 0 : 1;
        lines += velkor_sim::ResultLine(scenario->scenario.checks[r.index], r) + "\n";
    }
    Copy(lines, text, size);
    return failed;
}

void VelkorSim_FreeScenario(VelkorSimScenario* scenario) { delete scenario; }

} // extern "C"
