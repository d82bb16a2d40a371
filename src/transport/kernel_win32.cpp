// Win32 implementation of the kernel seam: critical sections for the card
// locks, Sleep, a thread created suspended and then resumed, a wait on the
// slot bus's event handle without time-out, and DllMain's process attach and
// detach notifications as the load and unload hooks.
#include "transport/kernel.h"

#include <windows.h>

#include <new>

namespace velkor {
namespace kernel {
namespace {

static_assert(sizeof(CRITICAL_SECTION) <= sizeof(Lock::storage), "CRITICAL_SECTION must fit a Lock");
static_assert(alignof(CRITICAL_SECTION) <= alignof(Lock), "Lock must be aligned for CRITICAL_SECTION");
static_assert(sizeof(DWORD) == sizeof(std::uint32_t), "a thread's exit code is 32 bits wide");

CRITICAL_SECTION* native(Lock& lock) { return reinterpret_cast<CRITICAL_SECTION*>(lock.storage); }

// The seam's thread entry returns uint32_t and takes no calling convention,
// while CreateThread wants a WINAPI function returning DWORD; this record
// carries the entry and its argument to a trampoline of the right type.
struct ThreadStart {
    ThreadEntry entry;
    void* arg;
};

DWORD WINAPI threadMain(LPVOID raw)
{
    const ThreadStart start = *static_cast<ThreadStart*>(raw);
    delete static_cast<ThreadStart*>(raw);
    return start.entry(start.arg);
}

} // namespace

void InitLock(Lock& lock) { InitializeCriticalSection(new (lock.storage) CRITICAL_SECTION); }
void DestroyLock(Lock& lock) { DeleteCriticalSection(native(lock)); }
void Acquire(Lock& lock) { EnterCriticalSection(native(lock)); }
void Release(Lock& lock) { LeaveCriticalSection(native(lock)); }

void SleepMs(std::uint32_t ms) { Sleep(ms); }

bool StartThread(ThreadEntry entry, void* arg)
{
    ThreadStart* start = new (std::nothrow) ThreadStart{entry, arg};
    if (start == nullptr) {
        return false;
    }
    HANDLE thread = CreateThread(nullptr, 0, threadMain, start, CREATE_SUSPENDED, nullptr);
    if (thread == nullptr) {
        delete start;
        return false;
    }
    const bool resumed = ResumeThread(thread) != static_cast<DWORD>(-1);
    if (!resumed) {
        // A thread that never ran holds nothing: ending it is safe, and the
        // caller learns that no thread serves it.
        TerminateThread(thread, 0);
        delete start;
    }
    // The library keeps no handle to the thread and never waits for it; the
    // thread object goes away when the thread has ended.
    CloseHandle(thread);
    return resumed;
}

void WaitEvent(void* handle)
{
    if (handle != nullptr) {
        WaitForSingleObject(static_cast<HANDLE>(handle), INFINITE);
    }
}

} // namespace kernel
} // namespace velkor

// Process attach and detach of Velkor.dll create and destroy the card locks.
// Thread attach and detach need nothing. A program that links the library's
// objects statically (the test programs) never gets these notifications; it
// gets the same hooks from kernel_win32_linked.cpp instead.
extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH) {
        velkor::OnLibraryLoad();
    } else if (reason == DLL_PROCESS_DETACH) {
        velkor::OnLibraryUnload();
    }
    return TRUE;
}
