// Reading and printing a virtual module's end-of-run report.
#include "module_report.h"

#include <velkor_sim/bit_names.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace velkor_tool {
namespace {

// A number in hexadecimal ("0x1000" or "1000"), at most `most`; false for
// anything else, so that a damaged file is skipped, not thrown over.
bool ReadHex(const std::string& text, unsigned long most, unsigned long& out)
{
    char* end = nullptr;
    const unsigned long value = std::strtoul(text.c_str(), &end, 16);
    if (text.empty() || text[0] == '-' || *end != '\0' || value > most) {
        return false;
    }
    out = value;
    return true;
}

} // namespace

ModuleReport ReportOf(velkor_sim::VirtualModule& module, unsigned slot)
{
    ModuleReport r;
    r.slot = slot;
    r.time = module.Now();
    r.counters = module.GetCounters();
    for (const auto& entry : module.Unsimulated()) {
        r.unused.emplace_back(velkor_sim::CodeName(entry.first, velkor_sim::LogEntry::Kind::Packet), entry.second);
    }
    for (int i = 0; i < velkor_sim::kAxisCount; ++i) {
        const velkor_sim::AxisStatus a = module.Axis(i);
        r.axes[i] = ModuleReport::Axis{a.lp, a.ep, a.errorCode, a.outputs, a.inputs, a.latch};
    }
    r.hasAxes = true;
    r.hasIo = true;
    return r;
}

bool ReadModuleReport(const std::string& file, ModuleReport& out)
{
    std::ifstream in(file);
    if (!in) {
        return false;
    }
    ModuleReport r;
    std::string line;
    bool haveSlot = false;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::string key;
        words >> key;
        velkor_sim::Counters& c = r.counters;
        if (key == "slot") {
            haveSlot = static_cast<bool>(words >> r.slot);
        } else if (key == "time") {
            words >> r.time;
        } else if (key == "packets") {
            words >> c.packetsTaken;
        } else if (key == "exchanges") {
            words >> c.exchangesAnswered;
        } else if (key == "reads") {
            words >> c.busReads;
        } else if (key == "writes") {
            words >> c.busWrites;
        } else if (key == "gaps") {
            words >> c.sequenceGaps;
        } else if (key == "drops") {
            words >> c.droppedPackets;
        } else if (key == "unsimulated") {
            words >> c.unsimulated;
        } else if (key == "unused") {
            unsigned code = 0;
            std::uint32_t count = 0;
            std::string name;
            if (words >> code >> count && std::getline(words >> std::ws, name)) {
                r.unused.emplace_back(name, count); // "HOME_START", or "code 250"
            }
        } else if (key == "axis") {
            int index = 0;
            ModuleReport::Axis a;
            std::string error;
            unsigned long code = 0;
            if (words >> index >> a.lp >> a.ep >> error && index >= 1 && index <= velkor_sim::kAxisCount &&
                ReadHex(error, 0xFFFF, code)) {
                a.errorCode = static_cast<std::uint16_t>(code);
                a.outputs = r.axes[index - 1].outputs; // an io line may come first
                a.inputs = r.axes[index - 1].inputs;
                a.latch = r.axes[index - 1].latch;
                r.axes[index - 1] = a;
                r.hasAxes = true;
            }
        } else if (key == "io") {
            // io AXIS OUTPUTS INPUTS LATCH, the bits in hexadecimal
            int index = 0;
            std::string outputs, inputs;
            std::int32_t latch = 0;
            unsigned long o = 0, in = 0;
            if (words >> index >> outputs >> inputs >> latch && index >= 1 && index <= velkor_sim::kAxisCount &&
                ReadHex(outputs, 0xFF, o) && ReadHex(inputs, 0xFFFF, in)) {
                ModuleReport::Axis& a = r.axes[index - 1];
                a.outputs = static_cast<std::uint8_t>(o);
                a.inputs = static_cast<std::uint16_t>(in);
                a.latch = latch;
                r.hasIo = true;
            }
        }
    }
    if (!haveSlot) {
        return false;
    }
    out = r;
    return true;
}

void PrintModuleReport(std::FILE* out, const ModuleReport& r)
{
    const velkor_sim::Counters& c = r.counters;
    std::fprintf(out, "Module in slot %u, %.3f s of simulated time\n", r.slot, r.time);
    std::fprintf(out, "  packets taken        %llu\n", static_cast<unsigned long long>(c.packetsTaken));
    std::fprintf(out, "  queries answered     %llu\n", static_cast<unsigned long long>(c.exchangesAnswered));
    std::fprintf(out, "  bus accesses         %llu (%llu reads, %llu writes)\n",
                 static_cast<unsigned long long>(c.busReads + c.busWrites),
                 static_cast<unsigned long long>(c.busReads), static_cast<unsigned long long>(c.busWrites));
    std::fprintf(out, "  sequence gaps        %u\n", c.sequenceGaps);
    std::fprintf(out, "  dropped packets      %u\n", c.droppedPackets);
    std::fprintf(out, "  commands it could not use: %u\n", c.unsimulated);
    for (const auto& entry : r.unused) {
        std::fprintf(out, "    %s: %u\n", entry.first.c_str(), entry.second);
    }
    if (r.hasAxes) {
        std::fprintf(out, "  axis        LP        EP   error code\n");
        for (int i = 0; i < velkor_sim::kAxisCount; ++i) {
            // The module's own bits by name: a refused command (bad_command)
            // is otherwise visible only to a program that asks GET_ERROR_CODE.
            const unsigned code = r.axes[i].errorCode;
            const std::string names = velkor_sim::JoinedNames(code, velkor_sim::ErrorBitNames(), 16);
            std::fprintf(out, "  %4d  %8d  %8d       0x%04X%s%s\n", i + 1, r.axes[i].lp, r.axes[i].ep, code,
                         names.empty() ? "" : " ", names.c_str());
        }
    }
    if (r.hasAxes && r.hasIo) {
        std::fprintf(out, "  axis   outputs    inputs       latch\n");
        for (int i = 0; i < velkor_sim::kAxisCount; ++i) {
            const ModuleReport::Axis& a = r.axes[i];
            std::fprintf(out, "  %4d      0x%02X    0x%04X  %10d\n", i + 1, unsigned(a.outputs), unsigned(a.inputs),
                         a.latch);
        }
    }
}

} // namespace velkor_tool
