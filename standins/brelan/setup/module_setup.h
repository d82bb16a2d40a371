// Virtual modules for an unchanged program: the stand-in's set-up.
//
// When the environment variable VELKOR_SIM_MODULES is set, the first call of
// GetSlotAddr loads the shared virtual module (the file in VELKOR_SIM_LIBRARY,
// or by default the one installed beside this library, then the one the
// system's search finds) and calls its VelkorSim_PlugFromEnvironment, which
// plugs the modules named there into the virtual backplane before the
// program's first register access. Without the variable nothing is loaded.
// A library that cannot be loaded is reported on stderr once; the slots then
// stay empty, as on a controller without modules.
#ifndef BRELAN_SETUP_MODULE_SETUP_H
#define BRELAN_SETUP_MODULE_SETUP_H

#include <string>

namespace brelan {

// Runs the set-up once per process; cheap after the first call.
void PlugModulesFromEnvironment();

// The platform's part, one file per platform (library_loader_*.cpp).
namespace loader {
// Loads a shared library; nullptr with the system's reason in `error`.
void* Load(const std::string& file, std::string& error);
// The address of an exported function of a loaded library, or nullptr.
void* Find(void* library, const char* name);
// The folder of the file this stand-in was loaded from, with a trailing
// separator; empty if unknown.
std::string OwnFolder();
} // namespace loader

} // namespace brelan

#endif
