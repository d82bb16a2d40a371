// The kernel event behind Slot_Register_Interrupt's handle, Windows build.
//
// The handle the slot-bus stand-in hands out is a real Win32 kernel object,
// which the library waits on with WaitForSingleObject. It is a semaphore
// rather than an auto-reset event because interrupts must not merge: every
// Signal() lets exactly one wait return, as on the controller, where a slot
// interrupt raised before the previous one was acknowledged is held back, not
// lost. Close() lets present and later waits return (the semaphore is
// released kWaitsReleasedByClose times, far more than ever wait on one slot),
// so that a service thread told to end is never left blocked; Reopen() takes
// back whatever is left of that, and every signal still pending, so that the
// same handle serves a new registration. The same class shape as the POSIX
// stand-in keeps the backplane's code identical on both platforms.
#ifndef VELKOR_STANDINS_KERNEL_EVENT_H
#define VELKOR_STANDINS_KERNEL_EVENT_H

#include <windows.h>

#include <chrono>
#include <climits>
#include <mutex>

namespace kernel_standin {

class KernelEvent {
public:
    static constexpr LONG kWaitsReleasedByClose = 64;

    KernelEvent() : handle_(CreateSemaphoreW(nullptr, 0, LONG_MAX, nullptr)) {}
    ~KernelEvent()
    {
        if (handle_ != nullptr) {
            CloseHandle(handle_);
        }
    }
    KernelEvent(const KernelEvent&) = delete;
    KernelEvent& operator=(const KernelEvent&) = delete;

    void Signal()
    {
        std::lock_guard<std::mutex> hold(mutex_);
        if (!closed_) {
            ReleaseSemaphore(handle_, 1, nullptr);
        }
    }

    void Close()
    {
        std::lock_guard<std::mutex> hold(mutex_);
        if (!closed_) {
            closed_ = true;
            closedAt_ = std::chrono::steady_clock::now();
            ReleaseSemaphore(handle_, kWaitsReleasedByClose, nullptr);
        }
    }

    void Reopen()
    {
        std::lock_guard<std::mutex> hold(mutex_);
        if (closed_) {
            closed_ = false;
            while (WaitForSingleObject(handle_, 0) == WAIT_OBJECT_0) {
            }
        }
    }

    // Blocks until a signal is pending (and consumes it) or the event is closed.
    void Wait() { WaitForSingleObject(handle_, INFINITE); }

    bool closed() const
    {
        std::lock_guard<std::mutex> hold(mutex_);
        return closed_;
    }

    // Closed for at least `delay` (the library waits on the handle itself:
    // waits in progress are not seen here).
    bool ClosedLongerThan(std::chrono::steady_clock::duration delay) const
    {
        std::lock_guard<std::mutex> hold(mutex_);
        return closed_ && std::chrono::steady_clock::now() - closedAt_ >= delay;
    }

    // What Slot_Register_Interrupt returns: the Win32 handle itself. Null if
    // the kernel could not create the object.
    void* Handle() const { return handle_; }

private:
    mutable std::mutex mutex_;
    HANDLE handle_;
    bool closed_ = false;
    std::chrono::steady_clock::time_point closedAt_;
};

} // namespace kernel_standin

#endif
