// Windows makes processes without copying one: nothing happens around a fork.
// At the process's end the loader says whether it is shutting the process
// down (then the other threads are gone) or only unloading a library.
#include "module/fork_hooks.h"

#include <windows.h>

namespace velkor_sim {
namespace detail {

void OnFork(void (*)(), void (*)(), void (*)()) {}

bool OtherThreadsEnded()
{
    using Query = BOOLEAN(WINAPI*)();
    static const Query shuttingDown = reinterpret_cast<Query>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "RtlDllShutdownInProgress")));
    return shuttingDown != nullptr && shuttingDown() != FALSE;
}

} // namespace detail
} // namespace velkor_sim
