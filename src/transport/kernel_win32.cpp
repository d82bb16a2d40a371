// Win32 implementation of the kernel seam: critical sections for the card
// locks, Sleep, a thread created suspended and then resumed that holds a
// reference to this module while it runs, a wait on the slot bus's event
// handle without time-out, and DllMain's process attach and detach
// notifications as the load and unload hooks.
#include "transport/kernel.h"

#include <windows.h>

#include <new>

namespace velkor {
namespace kernel {

struct Thread {
    HANDLE handle;
};

namespace {

static_assert(sizeof(CRITICAL_SECTION) <= sizeof(Lock::storage), "CRITICAL_SECTION must fit a Lock");
static_assert(alignof(CRITICAL_SECTION) <= alignof(Lock), "Lock must be aligned for CRITICAL_SECTION");
static_assert(sizeof(DWORD) == sizeof(std::uint32_t), "a thread's exit code is 32 bits wide");

CRITICAL_SECTION* native(Lock& lock) { return reinterpret_cast<CRITICAL_SECTION*>(lock.storage); }

// Set while DllMain runs the unload hook: the loader's lock is held then, and
// a thread that ends needs it, so nothing may wait for a thread.
bool inLoaderNotification = false;

// The seam's thread entry returns uint32_t and takes no calling convention,
// while CreateThread wants a WINAPI function returning DWORD; this record
// carries the entry, its argument and the thread's reference to the module
// that holds this code to a trampoline of the right type.
struct ThreadStart {
    ThreadEntry entry;
    void* arg;
    HMODULE module;
};

DWORD WINAPI threadMain(LPVOID raw)
{
    const ThreadStart start = *static_cast<ThreadStart*>(raw);
    delete static_cast<ThreadStart*>(raw);
    const DWORD code = start.entry(start.arg);
    // The module may be unloaded the moment its last reference goes, so the
    // reference is dropped by a system call that never returns here.
    FreeLibraryAndExitThread(start.module, code);
}

// A reference to the module (Velkor.dll, or the program that links the
// library's objects) that contains this code.
HMODULE referenceToThisModule()
{
    HMODULE module = nullptr;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(&threadMain), &module)) {
        return nullptr;
    }
    return module;
}

} // namespace

void InitLock(Lock& lock) { InitializeCriticalSection(new (lock.storage) CRITICAL_SECTION); }
void DestroyLock(Lock& lock) { DeleteCriticalSection(native(lock)); }
void Acquire(Lock& lock) { EnterCriticalSection(native(lock)); }
void Release(Lock& lock) { LeaveCriticalSection(native(lock)); }

void SleepMs(std::uint32_t ms) { Sleep(ms); }

Thread* StartThread(ThreadEntry entry, void* arg)
{
    Thread* thread = new (std::nothrow) Thread{nullptr};
    const HMODULE module = referenceToThisModule();
    ThreadStart* start = module != nullptr ? new (std::nothrow) ThreadStart{entry, arg, module} : nullptr;
    if (thread != nullptr && start != nullptr) {
        thread->handle = CreateThread(nullptr, 0, threadMain, start, CREATE_SUSPENDED, nullptr);
    }
    if (thread == nullptr || thread->handle == nullptr) {
        delete start;
        delete thread;
        if (module != nullptr) {
            FreeLibrary(module);
        }
        return nullptr;
    }
    if (ResumeThread(thread->handle) == static_cast<DWORD>(-1)) {
        // A thread that never ran holds nothing: ending it is safe, and the
        // caller learns that no thread serves it.
        TerminateThread(thread->handle, 0);
        WaitForSingleObject(thread->handle, INFINITE);
        CloseHandle(thread->handle);
        delete start;
        delete thread;
        FreeLibrary(module);
        return nullptr;
    }
    return thread;
}

bool JoinThread(Thread* thread, std::uint32_t ms)
{
    if (!inLoaderNotification && WaitForSingleObject(thread->handle, ms) != WAIT_OBJECT_0) {
        return false;
    }
    CloseHandle(thread->handle);
    delete thread;
    return true;
}

void WaitEvent(void* handle)
{
    if (handle != nullptr) {
        WaitForSingleObject(static_cast<HANDLE>(handle), INFINITE);
    }
}

} // namespace kernel
} // namespace velkor

// Process attach and detach of Velkor.dll create and destroy the card locks
// and end what is left of the interrupt service. Every service thread holds a
// reference to the DLL, so a FreeLibrary while a card is served leaves the
// DLL loaded and serving; the detach comes once the last thread has dropped
// its reference (possibly on that very thread, inside its exit). At the end
// of the process (reserved not null) the system has already ended the other
// threads, so nothing is touched. Thread attach and detach need nothing. A
// program that links the library's objects statically (the test programs)
// never gets these notifications; it gets the same hooks from
// kernel_win32_linked.cpp instead.
extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved)
{
    if (reason == DLL_PROCESS_ATTACH) {
        velkor::OnLibraryLoad();
    } else if (reason == DLL_PROCESS_DETACH && reserved == nullptr) {
        velkor::kernel::inLoaderNotification = true;
        velkor::OnLibraryUnload();
        velkor::kernel::inLoaderNotification = false;
    }
    return TRUE;
}
