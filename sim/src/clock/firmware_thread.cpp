// The firmware thread and the clocks.
//
// The thread sleeps on a condition variable: a write of the handshake
// register wakes it, a take latency makes it sleep until the latency is over,
// and on the real-time clock it wakes once per tick while something moves.
// On the manual clock simulated time passes only in Advance(), in the
// caller's thread.
#include "module/module_impl.h"

#include <algorithm>

namespace velkor_sim {
namespace {

// How often the real-time clock lets the firmware catch up with the time.
constexpr std::chrono::milliseconds kTick{2};
// The real-time clock never runs more than this much simulated time in one
// go, so a thread that was kept from running for a long time does not stall
// the window while it catches up.
constexpr double kMaxCatchUp = 0.25;

} // namespace

VirtualModule::Impl::Impl(const ModuleOptions& o) : options(o), firmware(o), latency(o.takeLatency)
{
    if (options.step.count() > 0) {
        stepLength = options.step;
    }
    stepSeconds = std::chrono::duration<double>(stepLength).count();
    thread = std::thread([this] { Run(); });
}

VirtualModule::Impl::~Impl()
{
    {
        std::lock_guard<std::mutex> hold(mutex);
        quit = true;
    }
    wake.notify_all();
    settled.notify_all();
    thread.join();
}

// Time is counted in nanoseconds so that ten steps of 1 ms are exactly 10 ms.
void VirtualModule::Impl::StepFor(std::chrono::nanoseconds time)
{
    debt += time;
    while (debt >= stepLength) {
        firmware.Step(stepSeconds);
        debt -= stepLength;
    }
}

bool VirtualModule::Impl::RaisePending(std::unique_lock<std::mutex>& hold)
{
    PlaceDebugRegister(); // before the host hears of a debug event
    if (firmware.interrupts.TakeSignal() == 0 || slot == 0) {
        return false;
    }
    const std::uint8_t s = slot;
    hold.unlock();
    brelan::RaiseInterrupt(s);
    hold.lock();
    return true;
}

void VirtualModule::Impl::Run()
{
    std::unique_lock<std::mutex> hold(mutex);
    while (!quit) {
        const SteadyClock::time_point now = SteadyClock::now();
        SteadyClock::time_point deadline = SteadyClock::time_point::max();
        if (MailboxWaiting()) {
            const SteadyClock::time_point due = postedAt + latency;
            if (now >= due) {
                ServiceMailbox();
                settled.notify_all();
                RaisePending(hold);
                continue;
            }
            deadline = due;
        }
        if (options.clock == ClockKind::RealTime) {
            if (firmware.Moving()) {
                if (ticking) {
                    const double elapsed = std::chrono::duration<double>(now - lastTick).count();
                    const double owed = std::min(kMaxCatchUp, elapsed * options.timeScale);
                    StepFor(std::chrono::nanoseconds(static_cast<std::int64_t>(owed * 1e9)));
                }
                ticking = true;
                lastTick = now;
                deadline = std::min(deadline, now + kTick);
            } else {
                ticking = false;
                debt = std::chrono::nanoseconds(0);
            }
            if (RaisePending(hold)) {
                continue; // the window may have changed meanwhile
            }
        }
        if (deadline == SteadyClock::time_point::max()) {
            wake.wait(hold);
        } else {
            wake.wait_until(hold, deadline);
        }
    }
}

} // namespace velkor_sim
