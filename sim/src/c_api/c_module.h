// The handle behind the C calls: a virtual module, and what a partial take
// left over, so that C callers can read the trail, the log and the scope in
// pieces of the size they choose.
#ifndef VELKOR_SIM_C_API_C_MODULE_H
#define VELKOR_SIM_C_API_C_MODULE_H

#include "velkor_sim/velkor_sim.h"
#include "velkor_sim/virtual_module.h"

#include <deque>
#include <mutex>

struct VelkorSimModule {
    velkor_sim::VirtualModule module;
    mutable std::mutex leftovers; // guards the three queues below
    std::deque<velkor_sim::TrailPoint> trail;
    std::deque<velkor_sim::LogEntry> log;
    std::deque<velkor_sim::ScopeSample> scope;
    explicit VelkorSimModule(const velkor_sim::ModuleOptions& options) : module(options) {}
};

#endif
