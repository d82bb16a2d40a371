// The stand-in's set-up of virtual modules from the environment (module_setup.h).
#include "module_setup.h"

#include <cstdio>
#include <cstdlib>
#include <mutex>

#ifndef VELKOR_SIM_LIBRARY_NAME
#error "the build names the shared virtual module's file in VELKOR_SIM_LIBRARY_NAME"
#endif

namespace brelan {
namespace {

void SetUp()
{
    const char* modules = std::getenv("VELKOR_SIM_MODULES");
    if (modules == nullptr || *modules == '\0') {
        return;
    }
    const char* named = std::getenv("VELKOR_SIM_LIBRARY");
    std::string error;
    void* library = nullptr;
    std::string tried;
    if (named != nullptr && *named != '\0') {
        library = loader::Load(named, error);
        tried = named;
    } else {
        const std::string beside = loader::OwnFolder() + VELKOR_SIM_LIBRARY_NAME;
        library = loader::Load(beside, error);
        tried = beside;
        if (library == nullptr) {
            library = loader::Load(VELKOR_SIM_LIBRARY_NAME, error);
            tried += " nor " VELKOR_SIM_LIBRARY_NAME;
        }
    }
    if (library == nullptr) {
        std::fprintf(stderr, "BrelanSDK: VELKOR_SIM_MODULES is set, but the virtual module %s cannot be loaded: %s\n",
                     tried.c_str(), error.c_str());
        return;
    }
    using PlugFunction = int (*)();
    auto plug = reinterpret_cast<PlugFunction>(loader::Find(library, "VelkorSim_PlugFromEnvironment"));
    if (plug == nullptr) {
        std::fprintf(stderr, "BrelanSDK: %s has no VelkorSim_PlugFromEnvironment\n", tried.c_str());
        return;
    }
    plug();
}

} // namespace

void PlugModulesFromEnvironment()
{
    static std::once_flag once;
    std::call_once(once, SetUp);
}

} // namespace brelan
