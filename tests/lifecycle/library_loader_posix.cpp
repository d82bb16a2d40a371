// dlopen/dlclose behind the loader of the lifecycle tests.
#include "library_loader.h"

#include <dlfcn.h>

namespace velkor_lifecycle {
namespace {
void* library = nullptr;
} // namespace

bool Load(const char* path)
{
    library = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    return library != nullptr;
}

void* Symbol(const char* name) { return library != nullptr ? dlsym(library, name) : nullptr; }

bool Unload()
{
    const bool closed = library != nullptr && dlclose(library) == 0;
    library = nullptr;
    return closed;
}

bool IsLoaded(const char* path)
{
    void* present = dlopen(path, RTLD_NOW | RTLD_NOLOAD);
    if (present != nullptr) {
        dlclose(present);
    }
    return present != nullptr;
}

bool ServiceKeepsLibraryLoaded() { return false; }

} // namespace velkor_lifecycle
