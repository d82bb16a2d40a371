// The handle behind the C calls: a virtual module on the real-time clock.
#ifndef VELKOR_SIM_C_API_C_MODULE_H
#define VELKOR_SIM_C_API_C_MODULE_H

#include "velkor_sim/velkor_sim.h"
#include "velkor_sim/virtual_module.h"

struct VelkorSimModule {
    velkor_sim::VirtualModule module;
    explicit VelkorSimModule(const velkor_sim::ModuleOptions& options) : module(options) {}
};

#endif
