// The library's seam to the operating system's kernel services.
//
// Everything the library needs from the platform goes through these few
// calls; one implementation file per platform provides them and is chosen by
// the build (kernel_posix.cpp here, kernel_win32.cpp for the Windows DLL).
// Nothing else in the library includes a platform header.
//
// Contract of each entry:
//  Lock         a lock between the threads of this process, not re-entrant.
//               InitLock/DestroyLock run only from the load and unload hooks,
//               never while any thread can use the lock. Acquire blocks;
//               Release is called by the thread that acquired it.
//  SleepMs      blocks the calling thread for at least `ms` milliseconds and
//               yields the processor meanwhile. Never called with 0 by the
//               library's polling loops (they sleep 1 ms per poll).
//  StartThread  creates a thread suspended, hands it `arg`, then resumes it,
//               with the default stack size and priority. Returns the thread,
//               which belongs to the caller until JoinThread releases it, or
//               nullptr if it could not be created. The thread ends by
//               returning from `entry`. While it runs, the library's code
//               stays loaded: on POSIX because the unload hook joins it, on
//               Windows because the thread holds a reference to the DLL and
//               drops it only as it exits (FreeLibraryAndExitThread).
//  JoinThread   waits up to `ms` milliseconds for the thread to end. If it
//               ended, releases it and returns true; otherwise the thread
//               stays the caller's and the call can be repeated. Called with
//               no lock held. From the unload hook of the Windows DLL it does
//               not wait (the loader's lock is held there, and no thread that
//               still holds its reference to the DLL can exist then).
//  WaitEvent    blocks without time-out until the slot-bus event `handle`
//               (from Slot_Register_Interrupt) is signalled or closed. Called
//               only by interrupt service threads, with no lock held.
//  Load hooks   the implementation calls OnLibraryLoad() once when the library
//               is loaded, before any export can run, and OnLibraryUnload()
//               once when it is unloaded, after the last export returned. At
//               the end of the process the Windows DLL skips the unload hook:
//               the system has ended every other thread by then, maybe inside
//               the slot-bus library, whose locks must no longer be taken.
#ifndef VELKOR_TRANSPORT_KERNEL_H
#define VELKOR_TRANSPORT_KERNEL_H

#include <cstdint>

namespace velkor {
namespace kernel {

// Storage for one platform lock; its layout belongs to the implementation,
// which checks that the platform's lock type fits.
struct alignas(16) Lock {
    unsigned char storage[64] = {};
};

void InitLock(Lock& lock);
void DestroyLock(Lock& lock);
void Acquire(Lock& lock);
void Release(Lock& lock);

void SleepMs(std::uint32_t ms);

// A started thread; defined by each platform's implementation.
struct Thread;
using ThreadEntry = std::uint32_t (*)(void* arg);
Thread* StartThread(ThreadEntry entry, void* arg);
bool JoinThread(Thread* thread, std::uint32_t ms);

void WaitEvent(void* handle);

} // namespace kernel

// Defined by the card table; called by the kernel implementation's load hooks.
void OnLibraryLoad();
void OnLibraryUnload();

} // namespace velkor

#endif
