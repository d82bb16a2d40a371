// What a virtual module reports at the end of a run: its counters, the
// commands it could not use and where its axes ended. `velkor demo` fills it
// from its own module, `velkor run` from the report file that a module in
// the application's process writes when the application ends.
#ifndef VELKOR_TOOLS_MODULE_REPORT_H
#define VELKOR_TOOLS_MODULE_REPORT_H

#include <velkor_sim/virtual_module.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

namespace velkor_tool {

struct ModuleReport {
    unsigned slot = 0;
    double time = 0; // simulated seconds
    velkor_sim::Counters counters;
    std::vector<std::pair<std::string, std::uint32_t>> unused; // command name, how often
    struct Axis {
        std::int32_t lp = 0, ep = 0;
        std::uint16_t errorCode = 0;
        std::uint8_t outputs = 0;
        std::uint16_t inputs = 0;
        std::int32_t latch = 0;
    };
    std::array<Axis, velkor_sim::kAxisCount> axes{};
    bool hasAxes = false;
    bool hasIo = false; // outputs, inputs and latches known (reports before them had none)
};

ModuleReport ReportOf(velkor_sim::VirtualModule& module, unsigned slot);
// Reads a slot-N.txt file of the report folder; false when it is missing or unreadable.
bool ReadModuleReport(const std::string& file, ModuleReport& out);
// The summary as the tool prints it; with the axes' end positions, and their
// output bits, input word and latch, when known.
void PrintModuleReport(std::FILE* out, const ModuleReport& report);

} // namespace velkor_tool

#endif
