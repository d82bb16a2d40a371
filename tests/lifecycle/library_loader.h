// Loading and unloading the library at run time, as an application program
// does: dlopen/dlclose on POSIX, LoadLibrary/FreeLibrary on Windows. One
// implementation file per platform, chosen by the build.
#ifndef VELKOR_TESTS_LIBRARY_LOADER_H
#define VELKOR_TESTS_LIBRARY_LOADER_H

namespace velkor_lifecycle {

// Loads the library at `path`; false if it cannot be loaded.
bool Load(const char* path);
// The address of an export of the loaded library, or nullptr.
void* Symbol(const char* name);
// Drops this program's reference; false if the platform reports a failure.
bool Unload();
// Whether the library at `path` is in the process at all.
bool IsLoaded(const char* path);
// Whether a running interrupt service keeps the library loaded after the
// program dropped its reference (Windows), instead of being ended by the
// unload (POSIX).
bool ServiceKeepsLibraryLoaded();

} // namespace velkor_lifecycle

#endif
