// The firmware thread and the clocks.
//
// The thread sleeps on a condition variable. It wakes when the host posts
// something the module is to take late (a take latency, or the end of the
// busy mode), when motion starts, and, while something moves, once per tick
// of the clock. It never spins: with nothing moving and nothing to take it
// sleeps until woken.
//
// Clocks:
//  - Manual: simulated time passes only in Advance(), in the caller's thread.
//  - RealTime: simulated time follows the wall clock times timeScale.
//  - Fast: like RealTime while the host commands; while the host only polls
//    (its last exchange read something: STOP_WAIT, a counter, the interrupt
//    code), waits for room in the command buffer, or is silent while it
//    waits for an armed interrupt, time runs ahead at up to sprintScale.
// The real-time and fast clocks let simulated time pass only while something
// moves; the manual clock jumps over what passes with nothing moving.
#include "module/module_impl.h"

#include "module/fork_hooks.h"

#include <algorithm>
#include <array>
#include <new>

namespace velkor_sim {
namespace {

// How often the real-time clock lets the firmware catch up with the time.
constexpr std::chrono::milliseconds kTick{2};
// Most motion steps run under the lock in one go; more are run after the
// host had a chance to get in.
constexpr int kChunkSteps = 64;
// At its ordinary pace the clock never owes more simulated time than this: a
// thread that was kept from running for long does not then run the motion
// without pause. While the fast clock runs ahead, it may owe what its pace
// makes of kSprintLead of real time.
constexpr std::chrono::milliseconds kMaxOwed{250};
constexpr double kSprintLead = 0.01;
// Fast clock: silence this long, with the interrupt armed, counts as the
// host waiting for it (its flag wait polls every 2 ms without the bus).
constexpr std::chrono::milliseconds kQuiet{3};

} // namespace

VirtualModule::Impl::Impl(const ModuleOptions& o) : options(o), firmware(o), latency(o.takeLatency)
{
    if (options.step.count() > 0) {
        stepLength = options.step;
    }
    if (!(options.timeScale > 0)) {
        options.timeScale = 1.0;
    }
    if (!(options.sprintScale >= options.timeScale)) {
        options.sprintScale = options.timeScale;
    }
    stepSeconds = std::chrono::duration<double>(stepLength).count();
    lastCommand = SteadyClock::now();
    static const bool watching = (detail::OnFork(&BeforeFork, &AfterForkInParent, &AfterForkInChild), true);
    (void)watching;
    // Listed and started at once: a fork in between would give the child a
    // module without a thread.
    std::lock_guard<std::mutex> live(LiveMutex());
    Live().push_back(this);
    thread = std::thread([this] { Run(); });
}

VirtualModule::Impl::~Impl()
{
    std::lock_guard<std::mutex> live(LiveMutex());
    Live().erase(std::find(Live().begin(), Live().end(), this));
    {
        std::lock_guard<std::mutex> hold(mutex);
        quit = true;
    }
    wake.notify_all();
    settled.notify_all();
    thread.join();
}

// Never destroyed: modules may outlive the statics (in handlers run at exit).
std::mutex& VirtualModule::Impl::LiveMutex()
{
    static std::mutex* const mutex = new std::mutex;
    return *mutex;
}

auto VirtualModule::Impl::Live() -> std::vector<Impl*>&
{
    static std::vector<Impl*>* const modules = new std::vector<Impl*>;
    return *modules;
}

void VirtualModule::Impl::BeforeFork()
{
    LiveMutex().lock();
    for (Impl* m : Live()) {
        m->mutex.lock();
    }
}

void VirtualModule::Impl::AfterForkInParent()
{
    for (Impl* m : Live()) {
        m->mutex.unlock();
    }
    LiveMutex().unlock();
}

void VirtualModule::Impl::AfterForkInChild()
{
    for (Impl* m : Live()) {
        m->RestartInChild();
    }
    LiveMutex().unlock();
}

// The parent's firmware thread is not in the child, nor are the host threads
// that may have waited on the condition variables. Their std::thread and the
// condition variables are left unfinished (destroying a condition variable
// with waiters, or joining a thread that is not there, would wait forever),
// and fresh ones take their place.
void VirtualModule::Impl::RestartInChild()
{
    new (&wake) std::condition_variable();
    new (&settled) std::condition_variable();
    hostWaiting.store(0, std::memory_order_relaxed);
    threadIdle = false;
    mutex.unlock();
    new (&thread) std::thread([this] { Run(); });
}

namespace {

// What a motion step with nothing moving may still change and the next step
// acts on: counters, speeds and accelerations settling to 0, error codes,
// fired compares, synchronous actions, a program run. A step that leaves it
// as it was, with nothing moving, is followed by steps that change nothing
// but the time.
struct Look {
    std::array<std::int64_t, 4 * kAxisCount + 3> values{};
    std::array<double, 2 * kAxisCount> rates{};
    bool operator==(const Look& o) const { return values == o.values && rates == o.rates; }
};

Look LookAt(const detail::Firmware& fw)
{
    Look look;
    for (int i = 0; i < kAxisCount; ++i) {
        const detail::AxisState& a = fw.axes[i];
        look.values[4 * i] = a.lp;
        look.values[4 * i + 1] = a.ep;
        look.values[4 * i + 2] = a.error;
        look.values[4 * i + 3] = fw.sync.compare[i].fired;
        look.rates[2 * i] = a.speed;
        look.rates[2 * i + 1] = a.acceleration;
    }
    look.values[4 * kAxisCount] = fw.sync.actionsDone;
    look.values[4 * kAxisCount + 1] = fw.moduleError;
    look.values[4 * kAxisCount + 2] = fw.macros.run.active ? 1 : 0;
    return look;
}

} // namespace

// Time is counted in nanoseconds so that ten steps of 1 ms are exactly 10 ms.
// With nothing moving (nor waiting for time, nor sampling), once a step
// changed nothing, the whole steps left are jumped over at once: an idle
// module's Advance costs the same however long it is. What moves is stepped
// as before, and so is every step while an onlooker watches the steps (a
// scenario's timed events and busy spells, the monitor's samples).
void VirtualModule::Impl::StepFor(std::chrono::nanoseconds time)
{
    owed += std::max(time, std::chrono::nanoseconds(0));
    while (owed >= stepLength) {
        const bool idle = !firmware.Moving() && !firmware.scope.Running() && observers.empty();
        const Look before = idle ? LookAt(firmware) : Look{};
        StepOnce();
        owed -= stepLength;
        if (idle && owed >= stepLength && !firmware.Moving() && LookAt(firmware) == before) {
            const std::int64_t rest = owed / stepLength;
            firmware.time += static_cast<double>(rest) * stepSeconds;
            owed -= rest * stepLength;
        }
    }
}

void VirtualModule::Impl::HostPolled()
{
    if (!polling && options.clock == ClockKind::Fast) {
        polling = true;
        wake.notify_one(); // time may run ahead now
    }
}

void VirtualModule::Impl::HostCommanded()
{
    polling = false;
    if (options.clock == ClockKind::Fast) {
        lastCommand = SteadyClock::now();
    }
}

// The fast clock runs ahead while the host only polls, waits for room in
// the command buffer, or waits silently for an armed, registered interrupt.
bool VirtualModule::Impl::RunningAhead(SteadyClock::time_point now) const
{
    if (options.clock != ClockKind::Fast) {
        return false;
    }
    if (polling || heldForRoom) {
        return true;
    }
    const detail::InterruptLine& line = firmware.interrupts;
    return line.Armed() && !line.Up() && now - lastCommand >= kQuiet && slot != 0 &&
           brelan::GetInterruptState(slot).registered;
}

std::chrono::nanoseconds VirtualModule::Impl::MostOwed(bool sprint, double scale)
{
    if (!sprint) {
        return kMaxOwed;
    }
    return std::max<std::chrono::nanoseconds>(kMaxOwed,
                                              std::chrono::nanoseconds(static_cast<std::int64_t>(kSprintLead * scale * 1e9)));
}

void VirtualModule::Impl::Accrue(SteadyClock::time_point now, bool sprint)
{
    const double scale = sprint ? options.sprintScale : options.timeScale;
    if (ticking) {
        const auto elapsed = std::chrono::duration<double, std::nano>(now - lastTick).count();
        owed += std::chrono::nanoseconds(static_cast<std::int64_t>(elapsed * scale));
        owed = std::min(owed, MostOwed(sprint, scale));
    }
    ticking = true;
    lastTick = now;
}

void VirtualModule::Impl::CatchUp()
{
    if (options.clock == ClockKind::Manual || paused || !ticking || !firmware.Moving()) {
        return;
    }
    const SteadyClock::time_point now = SteadyClock::now();
    Accrue(now, RunningAhead(now));
    for (int steps = 0; steps < kChunkSteps && owed >= stepLength && firmware.Moving(); ++steps) {
        StepOnce();
        owed -= stepLength;
    }
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
                TryService();
                SignalInterrupt();
                continue;
            }
            deadline = due;
        }
        if (options.clock != ClockKind::Manual && !paused && firmware.Moving()) {
            const bool sprint = RunningAhead(now);
            const double scale = sprint ? options.sprintScale : options.timeScale;
            Accrue(now, sprint);
            int steps = 0;
            while (owed >= stepLength && steps < kChunkSteps && firmware.Moving()) {
                StepOnce();
                owed -= stepLength;
                ++steps;
            }
            SignalInterrupt();
            if (steps == kChunkSteps) {
                // More is owed: go on, after the host's accesses waiting
                // for the lock, if any.
                hold.unlock();
                if (hostWaiting.load(std::memory_order_relaxed) > 0) {
                    std::this_thread::yield();
                }
                hold.lock();
                continue;
            }
            // Until a chunk of steps is owed again (at least a tick at the
            // ordinary pace).
            const auto chunk = std::chrono::duration<double, std::nano>(stepLength * kChunkSteps).count() / scale;
            const auto next = sprint ? std::chrono::nanoseconds(static_cast<std::int64_t>(chunk))
                                     : std::chrono::nanoseconds(kTick);
            deadline = std::min(deadline, now + std::min<std::chrono::nanoseconds>(next, kTick));
        } else if (options.clock != ClockKind::Manual) {
            ticking = false;
            owed = std::chrono::nanoseconds(0);
        }
        threadIdle = deadline == SteadyClock::time_point::max();
        if (threadIdle) {
            wake.wait(hold);
        } else {
            wake.wait_until(hold, deadline);
        }
        threadIdle = false;
    }
}

void VirtualModule::PauseClock(bool pause)
{
    {
        std::lock_guard<std::mutex> hold(impl_->mutex);
        Impl& m = *impl_;
        if (m.paused == pause) {
            return;
        }
        m.paused = pause;
        m.ticking = false; // paused time is not made up
        m.owed = std::chrono::nanoseconds(0);
        m.WakeForMotion();
        m.ObserveClock();
    }
    impl_->wake.notify_one();
}

void VirtualModule::StepClock(int count)
{
    WaitSettled();
    std::lock_guard<std::mutex> hold(impl_->mutex);
    for (int i = 0; i < count; ++i) {
        impl_->StepOnce();
    }
    impl_->SignalInterrupt();
}

bool VirtualModule::SetTimeScale(double scale)
{
    if (!(scale > 0 && scale <= 1000)) {
        return false;
    }
    {
        std::lock_guard<std::mutex> hold(impl_->mutex);
        Impl& m = *impl_;
        if (m.ticking && !m.paused && m.options.clock != ClockKind::Manual) {
            const SteadyClock::time_point now = SteadyClock::now();
            m.Accrue(now, m.RunningAhead(now)); // the time until now at the old pace
        }
        m.options.timeScale = scale;
        m.options.sprintScale = std::max(m.options.sprintScale, scale);
        m.ObserveClock();
    }
    impl_->wake.notify_one();
    return true;
}

ClockState VirtualModule::Clock() const
{
    std::lock_guard<std::mutex> hold(impl_->mutex);
    return impl_->ClockNow();
}

ClockState VirtualModule::Impl::ClockNow() const
{
    ClockState c;
    c.kind = options.clock;
    c.paused = paused;
    c.timeScale = options.timeScale;
    c.step = stepSeconds;
    return c;
}

} // namespace velkor_sim
