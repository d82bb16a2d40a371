// The modules plugged into the process's virtual backplane, for the monitor:
// VirtualModule::PlugInto and Unplug report here, and one listener (the
// monitor, while it runs) hears of every module plugged and unplugged.
//
// The registry's lock is held while the listener is told, and a listener
// holds it (Lock()) while it uses a module it was told of, so a module is
// never unplugged and destroyed while the listener uses it. Lock order: the
// registry, then a module's own lock; a module's hooks never take it.
#ifndef VELKOR_SIM_MODULE_REGISTRY_H
#define VELKOR_SIM_MODULE_REGISTRY_H

#include "velkor_sim/virtual_module.h"

#include <cstdint>
#include <mutex>

namespace velkor_sim {
namespace detail {

class PlugListener {
public:
    virtual ~PlugListener() = default;
    virtual void Plugged(VirtualModule& module, std::uint8_t slot) = 0;
    virtual void Unplugged(VirtualModule& module, std::uint8_t slot) = 0;
};

void NotePlugged(VirtualModule& module, std::uint8_t slot);
void NoteUnplugged(VirtualModule& module, std::uint8_t slot);

// Sets the listener (nullptr: none) and, for a new one, tells it of every
// module plugged now.
void SetPlugListener(PlugListener* listener);
std::unique_lock<std::mutex> LockRegistry();

} // namespace detail
} // namespace velkor_sim

#endif
