// The C setup calls over the VirtualModule.
#include "velkor_sim/velkor_sim.h"
#include "velkor_sim/virtual_module.h"

#include <array>
#include <string>

struct VelkorSimModule {
    velkor_sim::VirtualModule module;
    explicit VelkorSimModule(const velkor_sim::ModuleOptions& options) : module(options) {}
};

extern "C" {

VelkorSimModule* VelkorSim_Plug(uint8_t slot, double time_scale)
{
    velkor_sim::ModuleOptions options;
    options.clock = velkor_sim::ClockKind::RealTime;
    options.timeScale = time_scale > 0 ? time_scale : 1.0;
    auto* handle = new VelkorSimModule(options);
    if (!handle->module.PlugInto(slot)) {
        delete handle;
        return nullptr;
    }
    return handle;
}

void VelkorSim_Unplug(VelkorSimModule* module) { delete module; }

uint64_t VelkorSim_PacketsTaken(const VelkorSimModule* module)
{
    return module != nullptr ? module->module.GetCounters().packetsTaken : 0;
}

uint32_t VelkorSim_SequenceGaps(const VelkorSimModule* module)
{
    return module != nullptr ? module->module.GetCounters().sequenceGaps : 0;
}

uint32_t VelkorSim_DroppedPackets(const VelkorSimModule* module)
{
    return module != nullptr ? module->module.GetCounters().droppedPackets : 0;
}

size_t VelkorSim_Unsimulated(const VelkorSimModule* module, VelkorSimCodeCount* out, size_t capacity)
{
    if (module == nullptr) {
        return 0;
    }
    const auto codes = module->module.Unsimulated();
    size_t i = 0;
    for (const auto& entry : codes) {
        if (i < capacity && out != nullptr) {
            out[i] = VelkorSimCodeCount{entry.first, entry.second};
        }
        ++i;
    }
    return codes.size();
}

const char* VelkorSim_CodeName(uint8_t code)
{
    // Made once, kept for the life of the program: the command's name, or the
    // handshake code's for a code that is only a query or control code.
    static const std::array<std::string, 256> names = [] {
        std::array<std::string, 256> all;
        for (int c = 0; c < 256; ++c) {
            const auto u = static_cast<std::uint8_t>(c);
            all[c] = velkor_sim::CodeName(u, velkor_sim::LogEntry::Kind::Packet);
            if (all[c].compare(0, 5, "code ") == 0) {
                all[c] = velkor_sim::CodeName(u, velkor_sim::LogEntry::Kind::Exchange);
            }
        }
        return all;
    }();
    return names[code].c_str();
}

void VelkorSim_SetStrict(VelkorSimModule* module, int strict)
{
    if (module != nullptr) {
        module->module.SetStrict(strict != 0);
    }
}

uint8_t VelkorSim_Outputs(const VelkorSimModule* module, int axis_index)
{
    return module != nullptr ? module->module.Outputs(axis_index) : 0;
}

void VelkorSim_SetRemoteLoopback(VelkorSimModule* module, int on)
{
    if (module != nullptr) {
        module->module.SetRemoteLoopback(on != 0);
    }
}

} // extern "C"
