// The kernel seam on the platform at hand (POSIX on Linux, Win32 under Wine):
// locks exclude, sleeps last, threads start with their argument and are
// joined within a bound, and a wait on the slot bus's interrupt handle returns
// once per interrupt and, after the registration is closed, at once; the
// stand-in hands out a new handle per registration or, switched, one per slot.
#include "transport/kernel.h"

#include <BrelanSDK.h>
#include <brelan/backplane.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace {

using namespace velkor;
using Clock = std::chrono::steady_clock;

// Polls `done` for up to five seconds.
template <typename Pred>
bool eventually(Pred done)
{
    const auto deadline = Clock::now() + std::chrono::seconds(5);
    while (!done()) {
        if (Clock::now() > deadline) {
            return false;
        }
        kernel::SleepMs(1);
    }
    return true;
}

TEST(KernelSeam, LockExcludesOtherThreads)
{
    kernel::Lock lock;
    kernel::InitLock(lock);
    long counter = 0; // plain on purpose: only the lock protects it
    auto work = [&] {
        for (int i = 0; i < 20000; ++i) {
            kernel::Acquire(lock);
            ++counter;
            kernel::Release(lock);
        }
    };
    std::thread a(work), b(work);
    a.join();
    b.join();
    kernel::DestroyLock(lock);
    EXPECT_EQ(counter, 40000);
}

TEST(KernelSeam, SleepLastsAtLeastTheGivenTime)
{
    const auto start = Clock::now();
    kernel::SleepMs(20);
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(20));
}

struct ThreadProbe {
    std::atomic<int> runs{0};
    std::atomic<void*> seen{nullptr};
};

std::uint32_t probeEntry(void* arg)
{
    ThreadProbe* probe = static_cast<ThreadProbe*>(arg);
    probe->seen = arg;
    ++probe->runs;
    return 0;
}

TEST(KernelSeam, StartedThreadRunsOnceWithItsArgument)
{
    ThreadProbe probe;
    kernel::Thread* thread = kernel::StartThread(probeEntry, &probe);
    ASSERT_NE(thread, nullptr);
    ASSERT_TRUE(kernel::JoinThread(thread, 5000));
    EXPECT_EQ(probe.runs.load(), 1);
    EXPECT_EQ(probe.seen.load(), &probe);
}

TEST(KernelSeam, JoinWaitsNoLongerThanItsBoundAndCanBeRepeated)
{
    std::atomic<bool> release{false};
    kernel::Thread* thread = kernel::StartThread(
        [](void* arg) {
            while (!static_cast<std::atomic<bool>*>(arg)->load()) {
                kernel::SleepMs(1);
            }
            return std::uint32_t{0};
        },
        &release);
    ASSERT_NE(thread, nullptr);
    const auto start = Clock::now();
    EXPECT_FALSE(kernel::JoinThread(thread, 50));
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(50));
    release = true;
    EXPECT_TRUE(kernel::JoinThread(thread, 5000));
}

TEST(KernelSeam, WaitWithoutHandleReturnsAtOnce)
{
    kernel::WaitEvent(nullptr);
}

// A thread that waits on the handle `rounds` times and counts each return.
// Ending it closes the slot's registration, so that a failed check cannot
// leave it blocked; a registration already closed is left as it is.
class Waiter {
public:
    Waiter(std::uint8_t slot, void* handle, int rounds)
        : slot_(slot), thread_([this, handle, rounds] {
              for (int i = 0; i < rounds; ++i) {
                  kernel::WaitEvent(handle);
                  ++returned_;
              }
          })
    {
    }
    ~Waiter()
    {
        Slot_Interrupt_Close(slot_);
        thread_.join();
    }
    int returned() const { return returned_.load(); }

private:
    std::uint8_t slot_;
    std::atomic<int> returned_{0};
    std::thread thread_;
};

class KernelEventTest : public ::testing::Test {
protected:
    static constexpr std::uint8_t kSlot = 5;
    void SetUp() override
    {
        brelan::Reset();
        handle = Slot_Register_Interrupt(kSlot);
        ASSERT_NE(handle, nullptr);
    }
    void TearDown() override { brelan::Reset(); }
    void* handle = nullptr;
};

TEST_F(KernelEventTest, EachInterruptReleasesOneWait)
{
    Waiter waiter(kSlot, handle, 3);
    kernel::SleepMs(20);
    EXPECT_EQ(waiter.returned(), 0);
    ASSERT_TRUE(brelan::RaiseInterrupt(kSlot));
    ASSERT_TRUE(eventually([&] { return waiter.returned() == 1; }));
    // Two interrupts before the waiter looks again are not merged into one.
    ASSERT_TRUE(brelan::RaiseInterrupt(kSlot));
    ASSERT_TRUE(brelan::RaiseInterrupt(kSlot));
    ASSERT_TRUE(eventually([&] { return waiter.returned() == 3; }));
}

TEST_F(KernelEventTest, CloseReleasesPendingAndLaterWaits)
{
    Waiter waiter(kSlot, handle, 1);
    kernel::SleepMs(20);
    EXPECT_EQ(waiter.returned(), 0);
    EXPECT_EQ(Slot_Interrupt_Close(kSlot), 1);
    ASSERT_TRUE(eventually([&] { return waiter.returned() == 1; }));
    // A closed event lets later waits return too; this waiter's own close at
    // its end finds nothing registered, so only the event itself can free it.
    Waiter late(kSlot, handle, 2);
}

TEST_F(KernelEventTest, EachRegistrationGetsANewEventUnlessEventsAreReused)
{
    void* second = Slot_Register_Interrupt(kSlot);
    EXPECT_NE(second, handle);
    {
        Waiter replaced(kSlot, handle, 1); // the replaced event was closed
        ASSERT_TRUE(eventually([&] { return replaced.returned() == 1; }));
    }
    brelan::ReuseInterruptEvents(true);
    void* own = Slot_Register_Interrupt(kSlot);
    ASSERT_NE(own, nullptr);
    EXPECT_EQ(Slot_Register_Interrupt(kSlot), own);
    Slot_Interrupt_Close(kSlot);
    EXPECT_EQ(Slot_Register_Interrupt(kSlot), own);
}

// With one event per slot, a registration over an open one keeps what is
// pending; one after a close starts with nothing pending, and the close's
// release of waits does not carry over to it.
TEST_F(KernelEventTest, ReusedEventIsOpenedAgainWithNothingPending)
{
    brelan::ReuseInterruptEvents(true);
    void* own = Slot_Register_Interrupt(kSlot);
    ASSERT_TRUE(brelan::RaiseInterrupt(kSlot));
    ASSERT_EQ(Slot_Register_Interrupt(kSlot), own);
    {
        Waiter pending(kSlot, own, 1);
        ASSERT_TRUE(eventually([&] { return pending.returned() == 1; }));
    } // closes the registration
    ASSERT_TRUE(brelan::RaiseInterrupt(kSlot) == false);
    ASSERT_EQ(Slot_Register_Interrupt(kSlot), own);
    Waiter fresh(kSlot, own, 2);
    kernel::SleepMs(20);
    EXPECT_EQ(fresh.returned(), 0);
    ASSERT_TRUE(brelan::RaiseInterrupt(kSlot));
    ASSERT_TRUE(eventually([&] { return fresh.returned() == 1; }));
    kernel::SleepMs(20);
    EXPECT_EQ(fresh.returned(), 1);
}

// A long run of registrations keeps as many events as it closed within the
// reuse delay, not one per registration; an event given again is open with
// nothing pending.
TEST_F(KernelEventTest, ClosedEventsAreGivenAgainAfterTheDelay)
{
    brelan::SetClosedEventReuseDelay(std::chrono::milliseconds(0));
    const std::size_t before = brelan::InterruptEventCount();
    for (int i = 0; i < 1000; ++i) {
        ASSERT_NE(Slot_Register_Interrupt(kSlot), nullptr); // closes the one before
    }
    EXPECT_LE(brelan::InterruptEventCount(), before + 1);
    ASSERT_TRUE(brelan::RaiseInterrupt(kSlot));
    void* again = Slot_Register_Interrupt(kSlot);
    {
        Waiter fresh(kSlot, again, 1);
        kernel::SleepMs(20);
        EXPECT_EQ(fresh.returned(), 0); // the interrupt raised before went with the closed registration
        ASSERT_TRUE(brelan::RaiseInterrupt(kSlot));
        ASSERT_TRUE(eventually([&] { return fresh.returned() == 1; }));
    }
    // Within the delay, a closed event is not given again.
    brelan::SetClosedEventReuseDelay(std::chrono::seconds(60));
    const std::size_t count = brelan::InterruptEventCount();
    ASSERT_NE(Slot_Register_Interrupt(kSlot), nullptr);
    EXPECT_EQ(brelan::InterruptEventCount(), count + 1);
}

} // namespace
