// The handle behind the C calls: a virtual module, and what a partial take
// left over, so that C callers can read the trail, the log and the scope in
// pieces of the size they choose.
#ifndef VELKOR_SIM_C_API_C_MODULE_H
#define VELKOR_SIM_C_API_C_MODULE_H

#include "velkor_sim/velkor_sim.h"
#include "velkor_sim/virtual_module.h"

#include <deque>
#include <mutex>
#include <unordered_set>

struct VelkorSimModule {
    velkor_sim::VirtualModule module;
    mutable std::mutex leftovers; // guards the three queues below
    std::deque<velkor_sim::TrailPoint> trail;
    std::deque<velkor_sim::LogEntry> log;
    std::deque<velkor_sim::ScopeSample> scope;
    explicit VelkorSimModule(const velkor_sim::ModuleOptions& options) : module(options) {}
};

// The handles VelkorSim_Create made and VelkorSim_Unplug has not freed yet:
// a second unplug of one handle is a caller's mistake that is answered by
// doing nothing, not by freeing the module twice.
class LiveHandles {
public:
    static void Add(VelkorSimModule* handle)
    {
        std::lock_guard<std::mutex> hold(Lock());
        Set().insert(handle);
    }
    // True when the handle was live; it is not any more.
    static bool Remove(VelkorSimModule* handle)
    {
        std::lock_guard<std::mutex> hold(Lock());
        return handle != nullptr && Set().erase(handle) == 1;
    }

private:
    // Never destroyed: a module may be unplugged while the program exits.
    static std::mutex& Lock()
    {
        static auto* lock = new std::mutex;
        return *lock;
    }
    static std::unordered_set<VelkorSimModule*>& Set()
    {
        static auto* set = new std::unordered_set<VelkorSimModule*>;
        return *set;
    }
};

#endif
