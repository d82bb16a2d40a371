// POSIX implementation of the kernel seam: pthread mutexes for the card locks,
// nanosleep, a thread started behind a gate (created suspended, then
// resumed) and joined with a bound, the stand-in kernel event, and ELF
// constructor/destructor hooks for library load and unload.
#include "transport/kernel.h"

#include "kernel_event.h"

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <ctime>
#include <mutex>
#include <new>
#include <pthread.h>
#include <system_error>
#include <thread>

namespace velkor {
namespace kernel {

// One started thread. The record outlives the thread: only JoinThread, after
// the thread has ended, destroys it, so the gate and the end signal are never
// destroyed while the thread may still be inside one of their calls.
struct Thread {
    Thread(ThreadEntry e, void* a) : entry(e), arg(a) {}
    ThreadEntry entry;
    void* arg;
    std::mutex mutex;
    std::condition_variable changed;
    bool resumed = false; // the gate: the thread waits here until resumed
    bool ended = false;   // entry has returned
    std::thread thread;
};

namespace {

static_assert(sizeof(pthread_mutex_t) <= sizeof(Lock::storage), "pthread_mutex_t must fit a Lock");
static_assert(alignof(pthread_mutex_t) <= alignof(Lock), "Lock must be aligned for pthread_mutex_t");

pthread_mutex_t* native(Lock& lock) { return reinterpret_cast<pthread_mutex_t*>(lock.storage); }

void threadMain(Thread* self)
{
    {
        std::unique_lock<std::mutex> hold(self->mutex);
        self->changed.wait(hold, [self] { return self->resumed; });
    }
    self->entry(self->arg);
    {
        std::lock_guard<std::mutex> hold(self->mutex);
        self->ended = true;
    }
    self->changed.notify_all();
}

} // namespace

void InitLock(Lock& lock) { pthread_mutex_init(new (lock.storage) pthread_mutex_t, nullptr); }
void DestroyLock(Lock& lock) { pthread_mutex_destroy(native(lock)); }
void Acquire(Lock& lock) { pthread_mutex_lock(native(lock)); }
void Release(Lock& lock) { pthread_mutex_unlock(native(lock)); }

void SleepMs(std::uint32_t ms)
{
    timespec left{static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000L};
    while (nanosleep(&left, &left) != 0 && errno == EINTR) {
    }
}

Thread* StartThread(ThreadEntry entry, void* arg)
{
    Thread* thread = new (std::nothrow) Thread(entry, arg);
    if (thread == nullptr) {
        return nullptr;
    }
    try {
        thread->thread = std::thread(threadMain, thread);
    } catch (const std::system_error&) {
        delete thread;
        return nullptr;
    }
    {
        std::lock_guard<std::mutex> hold(thread->mutex); // resume
        thread->resumed = true;
    }
    thread->changed.notify_all();
    return thread;
}

bool JoinThread(Thread* thread, std::uint32_t ms)
{
    {
        std::unique_lock<std::mutex> hold(thread->mutex);
        if (!thread->changed.wait_for(hold, std::chrono::milliseconds(ms), [thread] { return thread->ended; })) {
            return false;
        }
    }
    // It has left its entry; join waits the few instructions until it is gone.
    thread->thread.join();
    delete thread;
    return true;
}

void WaitEvent(void* handle)
{
    if (handle != nullptr) {
        static_cast<kernel_standin::KernelEvent*>(handle)->Wait();
    }
}

namespace {
__attribute__((constructor)) void libraryLoaded() { OnLibraryLoad(); }
__attribute__((destructor)) void libraryUnloaded() { OnLibraryUnload(); }
} // namespace

} // namespace kernel
} // namespace velkor
