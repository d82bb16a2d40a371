// The kernel event behind Slot_Register_Interrupt's handle, Windows build.
//
// The handle the slot-bus stand-in hands out is a real Win32 kernel object,
// which the library waits on with WaitForSingleObject. It is a semaphore
// rather than an auto-reset event because interrupts must not merge: every
// Signal() lets exactly one wait return, as on the controller, where a slot
// interrupt raised before the previous one was acknowledged is held back, not
// lost. Close() lets every present and future wait return (the semaphore is
// released up to its maximum), so that a service thread told to end is never
// left blocked. The same class shape as the POSIX stand-in keeps the
// backplane's code identical on both platforms.
#ifndef VELKOR_STANDINS_KERNEL_EVENT_H
#define VELKOR_STANDINS_KERNEL_EVENT_H

#include <windows.h>

#include <climits>
#include <mutex>

namespace kernel_standin {

class KernelEvent {
public:
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
        if (!closed_ && ReleaseSemaphore(handle_, 1, nullptr)) {
            ++signals_;
        }
    }

    void Close()
    {
        std::lock_guard<std::mutex> hold(mutex_);
        if (!closed_) {
            closed_ = true;
            // The count can never exceed the signals given so far, so this
            // release stays within the maximum and always succeeds.
            ReleaseSemaphore(handle_, LONG_MAX - signals_, nullptr);
        }
    }

    // Blocks until a signal is pending (and consumes it) or the event is closed.
    void Wait() { WaitForSingleObject(handle_, INFINITE); }

    bool closed() const
    {
        std::lock_guard<std::mutex> hold(mutex_);
        return closed_;
    }

    // What Slot_Register_Interrupt returns: the Win32 handle itself. Null if
    // the kernel could not create the object.
    void* Handle() const { return handle_; }

private:
    mutable std::mutex mutex_;
    HANDLE handle_;
    LONG signals_ = 0;
    bool closed_ = false;
};

} // namespace kernel_standin

#endif
