// The kernel event object of the controller's kernel, as a POSIX stand-in.
//
// On the controller, Slot_Register_Interrupt hands out a kernel event handle
// and the driver library waits on it with WaitForSingleObject. Here both the
// slot-bus stand-in (which creates, signals and closes the event) and the
// library's POSIX kernel seam (which waits on it) use this one type, so a
// handle crosses the C boundary as a plain pointer to a KernelEvent.
#ifndef VELKOR_STANDINS_KERNEL_EVENT_H
#define VELKOR_STANDINS_KERNEL_EVENT_H

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace kernel_standin {

// An auto-reset event that counts signals: every Signal() releases exactly
// one Wait(). Close() releases every present and future Wait() at once, until
// Reopen() makes it an event with nothing pending again.
class KernelEvent {
public:
    void Signal()
    {
        {
            std::lock_guard<std::mutex> hold(mutex_);
            ++pending_;
        }
        changed_.notify_one();
    }

    void Close()
    {
        {
            std::lock_guard<std::mutex> hold(mutex_);
            closed_ = true;
            closedAt_ = std::chrono::steady_clock::now();
            ++closes_;
        }
        changed_.notify_all();
    }

    // A wait that began before the reopening still returns, as the close
    // promised it.
    void Reopen()
    {
        std::lock_guard<std::mutex> hold(mutex_);
        if (closed_) {
            closed_ = false;
            pending_ = 0;
        }
    }

    // Blocks until a signal is pending (and consumes it) or the event is closed.
    void Wait()
    {
        std::unique_lock<std::mutex> hold(mutex_);
        const std::uint32_t closes = closes_;
        ++waiters_;
        changed_.wait(hold, [this, closes] { return closed_ || closes_ != closes || pending_ > 0; });
        --waiters_;
        if (closes_ == closes && pending_ > 0) {
            --pending_;
        }
    }

    // Closed for at least `delay`, with no wait in progress: nothing that
    // held it when it was closed is still about to use it.
    bool ClosedLongerThan(std::chrono::steady_clock::duration delay) const
    {
        std::lock_guard<std::mutex> hold(mutex_);
        return closed_ && waiters_ == 0 && std::chrono::steady_clock::now() - closedAt_ >= delay;
    }

    bool closed() const
    {
        std::lock_guard<std::mutex> hold(mutex_);
        return closed_;
    }

    // What Slot_Register_Interrupt returns: the event itself.
    void* Handle() { return this; }

private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::uint32_t pending_ = 0;
    std::uint32_t closes_ = 0;
    std::uint32_t waiters_ = 0;
    bool closed_ = false;
    std::chrono::steady_clock::time_point closedAt_;
};

} // namespace kernel_standin

#endif
