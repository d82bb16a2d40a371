// Load and unload hooks for a Windows program that links the library's
// objects into itself instead of loading Velkor.dll (the test programs and
// the benchmark do, to reach the card table).
//
// In Velkor.dll the hooks run from DllMain (kernel_win32.cpp). A program that
// links the objects statically never receives DllMain's notifications, so
// without this file its card locks would stay uninitialized. The build adds
// this file only to such programs (as an interface source of the object
// library), never to the DLL, where it would initialize the locks twice.
// A static object is used rather than a second entry point: its constructor
// runs before main, i.e. before any export can be called, and its destructor
// after main has returned, as the DLL's process attach and detach do.
#include "transport/kernel.h"

namespace {

struct LinkedLibrary {
    LinkedLibrary() { velkor::OnLibraryLoad(); }
    ~LinkedLibrary() { velkor::OnLibraryUnload(); }
    LinkedLibrary(const LinkedLibrary&) = delete;
    LinkedLibrary& operator=(const LinkedLibrary&) = delete;
};

const LinkedLibrary linkedLibrary;

} // namespace
