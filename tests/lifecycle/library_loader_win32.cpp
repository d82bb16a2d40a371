// LoadLibrary/FreeLibrary behind the loader of the lifecycle tests. The
// library is found by name beside the program, as applications load it.
#include "library_loader.h"

#include <windows.h>

namespace velkor_lifecycle {
namespace {
HMODULE library = nullptr;
} // namespace

bool Load(const char* path)
{
    library = LoadLibraryA(path);
    return library != nullptr;
}

void* Symbol(const char* name)
{
    return library != nullptr ? reinterpret_cast<void*>(GetProcAddress(library, name)) : nullptr;
}

bool Unload()
{
    const bool freed = library != nullptr && FreeLibrary(library) != 0;
    library = nullptr;
    return freed;
}

bool IsLoaded(const char* path) { return GetModuleHandleA(path) != nullptr; }

// Each service thread holds a reference to the DLL until it ends.
bool ServiceKeepsLibraryLoaded() { return true; }

} // namespace velkor_lifecycle
