// The C calls of the macro programs over the VirtualModule.
#include "c_api/c_module.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <limits>
#include <string>

extern "C" {

int VelkorSim_DescribeMacroStep(const VelkorSimModule* module, uint8_t program, uint32_t index, char* text,
                                size_t size)
{
    if (text != nullptr && size > 0) {
        text[0] = '\0';
    }
    if (module == nullptr) {
        return 0;
    }
    const std::vector<velkor_sim::MacroStep> steps = module->module.MacroProgram(program);
    if (index >= steps.size()) {
        return 0;
    }
    if (text != nullptr && size > 0) {
        const std::string line = velkor_sim::DescribeStep(steps[index]);
        const std::size_t n = line.size() < size - 1 ? line.size() : size - 1;
        std::memcpy(text, line.data(), n);
        text[n] = '\0';
    }
    return 1;
}

int VelkorSim_MacroRunning(const VelkorSimModule* module)
{
    return module != nullptr && module->module.MacroRun().running ? 1 : 0;
}

int VelkorSim_AdvanceUntilProgramEnds(VelkorSimModule* module, uint64_t limit_us)
{
    if (module == nullptr) {
        return 0;
    }
    const auto limit = std::chrono::microseconds(static_cast<std::int64_t>(
        std::min<uint64_t>(limit_us, static_cast<uint64_t>(std::numeric_limits<std::int64_t>::max()))));
    return module->module.AdvanceUntilProgramEnds(limit) ? 1 : 0;
}

} // extern "C"
