// Two threads waiting for the same interrupt factor share each raised flag:
// N interrupts wake exactly N waits, never one twice.
//
// The interleaving is not left to chance. The polling sleep, the seam every
// waiter passes between two checks of the flags, is a meeting point: it holds
// both waiters at the end of each polling pass until both are there, raises
// the flag as the service thread would, names a moment a little ahead and lets
// both go at that moment, so that their next checks of the flag coincide. A
// flag consumed by a read and a plain store instead of one exchange then wakes
// both waiters of such a round. Rounds in which a waiter was not running when
// the moment came do not count towards the rounds the test wants.
#include "service_fixture.h"

#include <thread>

namespace velkor_test {
namespace {

constexpr int kFactor = 4;
constexpr std::uint8_t kCode = 1 << kFactor;
constexpr int kWaiters = 2;
// Rounds in which both waiters left the meeting point within kTogether of the
// moment named. A flag taken by read and store wakes both in about one
// such round in ten.
constexpr int kCloseRounds = 1000;
constexpr std::chrono::nanoseconds kTogether{1000};
constexpr std::chrono::microseconds kLead{20};
// Ends the rounds on a machine too busy to run both waiters at once.
constexpr std::chrono::seconds kBudget{20};

struct Rendezvous {
    static inline std::atomic<velkor::CardRecord*> card{nullptr};
    static inline std::atomic<int> arrived{0};
    static inline std::atomic<int> round{0};
    static inline std::atomic<int> raised{0};
    static inline std::atomic<int> closeRounds{0};
    static inline std::atomic<bool> finished{false};
    static inline std::atomic<Clock::rep> startAt{0};
    static inline std::atomic<Clock::rep> late[kWaiters] = {};
    static inline Clock::time_point budgetEnd;
    // The waiter's index, and the sleeps since its current flag wait began:
    // each pass ends with two, and after the second the waiter checks.
    static inline thread_local int waiter = 0;
    static inline thread_local int sleepsInWait = 0;

    static void Use(velkor::CardRecord* target)
    {
        card = target;
        arrived = 0;
        round = 0;
        raised = 0;
        closeRounds = 0;
        finished = false;
        budgetEnd = Clock::now() + kBudget;
        velkor::interrupt_seam::pollSleep = &Sleep;
    }

    static void Sleep(std::uint32_t)
    {
        if (++sleepsInWait % 2 != 0 || finished.load()) {
            return;
        }
        const int mine = round.load();
        if (arrived.fetch_add(1) + 1 < kWaiters) {
            // A hot spin, so that this waiter is running when the moment comes.
            while (round.load() == mine && !finished.load()) {
            }
        } else {
            arrived = 0;
            bool close = raised.load() > 0;
            for (const auto& l : late) {
                close = close && l.load() < kTogether.count();
            }
            closeRounds += close ? 1 : 0;
            // The next interrupt, once the last one's flag has been consumed.
            std::atomic<std::uint8_t>& flag = card.load()->interruptFlags[kFactor];
            if (flag.load() == 0) {
                if (closeRounds.load() >= kCloseRounds || Clock::now() > budgetEnd) {
                    finished = true;
                } else {
                    ++raised;
                    flag.store(1);
                }
            }
            startAt = (Clock::now() + kLead).time_since_epoch().count();
            round.fetch_add(1);
        }
        const Clock::rep start = startAt.load();
        Clock::rep now = Clock::now().time_since_epoch().count();
        while (now < start) {
            now = Clock::now().time_since_epoch().count();
        }
        late[waiter] = now - start;
    }
};

class CompetingWaiters : public ServiceTest {};

TEST_F(CompetingWaiters, NInterruptsWakeExactlyNWaits)
{
    card->lastInterruptCode = kCode;
    Rendezvous::Use(card);
    std::atomic<int> wakeUps{0};
    std::vector<std::thread> waiters;
    for (int w = 0; w < kWaiters; ++w) {
        waiters.emplace_back([&wakeUps, w] {
            Rendezvous::waiter = w;
            while (!Rendezvous::finished.load()) {
                Rendezvous::sleepsInWait = 0;
                if (Velkor_RINT_WAIT(kCard, kCode, 20) == kCode) {
                    ++wakeUps;
                }
            }
        });
    }
    for (std::thread& waiter : waiters) {
        waiter.join();
    }
    const int raised = Rendezvous::raised.load();
    EXPECT_GT(raised, 0);
    EXPECT_EQ(wakeUps.load(), raised);
    EXPECT_EQ(card->interruptFlags[kFactor].load(), 0);
    RecordProperty("interrupts", raised);
    RecordProperty("close_rounds", Rendezvous::closeRounds.load());
}

} // namespace
} // namespace velkor_test
