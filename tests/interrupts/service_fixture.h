// The registered card of CardTest with its interrupt service in view: waits
// with a bound for the service thread and the slot bus, replaces the thread
// start and the polling sleep where a test needs to, and leaves no service
// thread running after a test.
#ifndef VELKOR_TESTS_SERVICE_FIXTURE_H
#define VELKOR_TESTS_SERVICE_FIXTURE_H

#include "card_fixture.h"

#include "interrupts/interrupt_service.h"

#include <atomic>
#include <chrono>
#include <thread>

namespace velkor_test {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// Polls `done` every millisecond until it holds or `bound` has passed.
template <class Predicate>
bool WaitUntil(Predicate done, milliseconds bound = milliseconds(10000))
{
    const auto deadline = Clock::now() + bound;
    while (!done()) {
        if (Clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(milliseconds(1));
    }
    return true;
}

inline std::uint8_t Threads(std::uint8_t cardNo) { return velkor::CardEntry(cardNo)->interruptThreads.load(); }

// Ends the card's service and waits until its thread is gone.
inline void StopService(std::uint8_t cardNo)
{
    Velkor_DISABLE_RINT(cardNo);
    EXPECT_TRUE(WaitUntil([cardNo] { return Threads(cardNo) == 0; })) << "service thread of card " << int(cardNo);
}

// Counts the 1 ms sleeps of flag waits instead of sleeping, and raises one
// interrupt flag of one card at a chosen sleep, as the service thread would
// while a waiter sleeps.
struct SleepScript {
    static inline std::atomic<int> sleeps{0};
    static inline std::atomic<int> raiseAt{0}; // 0: never
    static inline std::atomic<int> flag{0};
    static inline std::atomic<velkor::CardRecord*> card{nullptr};
    static void Sleep(std::uint32_t)
    {
        if (++sleeps == raiseAt.load()) {
            card.load()->interruptFlags[flag.load()] = 1;
        }
    }
    static void Use(velkor::CardRecord* target, int raiseAtSleep = 0, int raisedFlag = 0)
    {
        sleeps = 0;
        raiseAt = raiseAtSleep;
        flag = raisedFlag;
        card = target;
        velkor::interrupt_seam::pollSleep = &Sleep;
    }
    static void Restore() { velkor::interrupt_seam::pollSleep = &velkor::kernel::SleepMs; }
};

class ServiceTest : public CardTest {
protected:
    void SetUp() override
    {
        CardTest::SetUp();
        SetFlags({});
        card->lastInterruptCode = 0;
    }
    void TearDown() override
    {
        StopService(kCard);
        SleepScript::Restore();
        velkor::interrupt_seam::startThread = &velkor::kernel::StartThread;
        velkor::interrupt_seam::endWaitMs = velkor::kServiceEndWaitMs;
    }

    brelan::InterruptState Slot() const { return brelan::GetInterruptState(kSlot); }

    // Raises an interrupt with `code` and waits until the service thread has
    // acknowledged it and raised its flags.
    void Serve(std::uint8_t code)
    {
        const std::uint32_t acknowledged = Slot().acknowledged;
        ASSERT_TRUE(module.RaiseInterrupt(code));
        ASSERT_TRUE(WaitUntil([&] {
            if (Slot().acknowledged != acknowledged + 1 || card->lastInterruptCode != code) {
                return false;
            }
            for (int i = 0; i < 8; ++i) {
                if ((code >> i & 1) != 0 && card->interruptFlags[i] == 0) {
                    return false;
                }
            }
            return true;
        })) << "interrupt " << int(code) << " not served";
    }

    std::vector<int> Flags() const
    {
        std::vector<int> flags;
        for (const auto& flag : card->interruptFlags) {
            flags.push_back(flag.load());
        }
        return flags;
    }

    void SetFlags(std::initializer_list<int> set)
    {
        for (auto& flag : card->interruptFlags) {
            flag = 0;
        }
        for (int i : set) {
            card->interruptFlags[i] = 1;
        }
    }
};

} // namespace velkor_test

#endif
