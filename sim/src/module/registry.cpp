// The modules plugged into the process's virtual backplane (registry.h).
#include "module/registry.h"

#include <map>

namespace velkor_sim {
namespace detail {
namespace {

struct Registry {
    std::mutex mutex;
    std::map<std::uint8_t, VirtualModule*> plugged;
    PlugListener* listener = nullptr;
};

Registry& TheRegistry()
{
    static Registry* registry = new Registry; // never destroyed: modules may unplug during exit
    return *registry;
}

} // namespace

void NotePlugged(VirtualModule& module, std::uint8_t slot)
{
    Registry& r = TheRegistry();
    std::lock_guard<std::mutex> hold(r.mutex);
    r.plugged[slot] = &module;
    if (r.listener != nullptr) {
        r.listener->Plugged(module, slot);
    }
}

void NoteUnplugged(VirtualModule& module, std::uint8_t slot)
{
    Registry& r = TheRegistry();
    std::lock_guard<std::mutex> hold(r.mutex);
    const auto found = r.plugged.find(slot);
    if (found == r.plugged.end() || found->second != &module) {
        return;
    }
    r.plugged.erase(found);
    if (r.listener != nullptr) {
        r.listener->Unplugged(module, slot);
    }
}

void SetPlugListener(PlugListener* listener)
{
    Registry& r = TheRegistry();
    std::lock_guard<std::mutex> hold(r.mutex);
    r.listener = listener;
    if (listener != nullptr) {
        for (const auto& entry : r.plugged) {
            listener->Plugged(*entry.second, entry.first);
        }
    }
}

std::unique_lock<std::mutex> LockRegistry()
{
    return std::unique_lock<std::mutex>(TheRegistry().mutex);
}

} // namespace detail
} // namespace velkor_sim
