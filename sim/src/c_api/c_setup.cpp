// The C setup calls over the VirtualModule.
#include "c_api/c_module.h"

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

} // extern "C"
