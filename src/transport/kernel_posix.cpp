// POSIX implementation of the kernel seam: pthread mutexes for the card locks,
// nanosleep, a pthread started behind a gate (created suspended, then
// resumed), the stand-in kernel event, and ELF constructor/destructor hooks
// for library load and unload.
#include "transport/kernel.h"

#include "kernel_event.h"

#include <cerrno>
#include <ctime>
#include <new>
#include <pthread.h>

namespace velkor {
namespace kernel {
namespace {

static_assert(sizeof(pthread_mutex_t) <= sizeof(Lock::storage), "pthread_mutex_t must fit a Lock");
static_assert(alignof(pthread_mutex_t) <= alignof(Lock), "Lock must be aligned for pthread_mutex_t");

pthread_mutex_t* native(Lock& lock) { return reinterpret_cast<pthread_mutex_t*>(lock.storage); }

// A new thread waits behind this gate until it is resumed, as a thread
// created suspended does.
struct ThreadStart {
    ThreadEntry entry;
    void* arg;
    pthread_mutex_t gate;
    pthread_cond_t opened;
    bool resumed;
};

void* threadMain(void* raw)
{
    ThreadStart* start = static_cast<ThreadStart*>(raw);
    pthread_mutex_lock(&start->gate);
    while (!start->resumed) {
        pthread_cond_wait(&start->opened, &start->gate);
    }
    pthread_mutex_unlock(&start->gate);
    const ThreadEntry entry = start->entry;
    void* arg = start->arg;
    pthread_cond_destroy(&start->opened);
    pthread_mutex_destroy(&start->gate);
    delete start;
    entry(arg);
    return nullptr;
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

bool StartThread(ThreadEntry entry, void* arg)
{
    ThreadStart* start = new (std::nothrow) ThreadStart{entry, arg, PTHREAD_MUTEX_INITIALIZER, PTHREAD_COND_INITIALIZER, false};
    if (start == nullptr) {
        return false;
    }
    pthread_t thread;
    if (pthread_create(&thread, nullptr, threadMain, start) != 0) {
        delete start;
        return false;
    }
    pthread_detach(thread);
    pthread_mutex_lock(&start->gate); // resume
    start->resumed = true;
    pthread_cond_signal(&start->opened);
    pthread_mutex_unlock(&start->gate);
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
