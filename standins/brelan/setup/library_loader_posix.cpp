// Loading the shared virtual module on POSIX systems: dlopen.
#include "module_setup.h"

#include <dlfcn.h>

namespace brelan {
namespace loader {

void* Load(const std::string& file, std::string& error)
{
    void* library = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) {
        const char* why = dlerror();
        error = why != nullptr ? why : "unknown reason";
    }
    return library;
}

void* Find(void* library, const char* name) { return dlsym(library, name); }

std::string OwnFolder()
{
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&OwnFolder), &info) == 0 || info.dli_fname == nullptr) {
        return std::string();
    }
    const std::string file = info.dli_fname;
    const std::string::size_type slash = file.rfind('/');
    return slash == std::string::npos ? std::string() : file.substr(0, slash + 1);
}

} // namespace loader
} // namespace brelan
