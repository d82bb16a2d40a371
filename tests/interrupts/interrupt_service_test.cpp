// Starting and stopping the interrupt service, what the service thread does
// with each interrupt, and the waits on the interrupt flags.
#include "service_fixture.h"

#include <functional>

namespace brelan {
// Found by argument-dependent lookup when a trace comparison fails.
std::ostream& operator<<(std::ostream& out, const Access& a)
{
    return out << "{kind " << int(a.kind) << ", slot " << int(a.slot) << ", " << a.offset << ", " << int(a.value) << "}";
}
} // namespace brelan

namespace velkor_test {
namespace {

using Kind = brelan::Access::Kind;

constexpr std::uint8_t kBusSlot = 3; // the slot of CardTest's card

brelan::Access SlotWrite(std::uint32_t offset, std::uint8_t value) { return {Kind::Write, kBusSlot, offset, value}; }
brelan::Access SlotRead(std::uint32_t offset, std::uint8_t value) { return {Kind::Read, kBusSlot, offset, value}; }
brelan::Access SlotCall(Kind kind) { return {kind, kBusSlot, 0, 0}; }

bool ReadsInterruptCode(const std::vector<BusAccess>& accesses)
{
    for (const BusAccess& a : accesses) {
        if (!a.write && a.offset == 124) {
            return true;
        }
    }
    return false;
}

class InterruptService : public ServiceTest {};

// --- Starting -----------------------------------------------------------------

TEST_F(InterruptService, EnableRefusesAnUnregisteredCardWithoutSlotBusCall)
{
    constexpr std::uint8_t kNeverRegistered = 6;
    velkor::CardEntry(kNeverRegistered)->usable = 0;
    brelan::SetTrace(true);
    EXPECT_EQ(Velkor_ENABLE_RINT(kNeverRegistered), 0);
    EXPECT_EQ(Velkor_ENABLE_RINT(8), 0);
    EXPECT_TRUE(brelan::TakeTrace().empty());
    EXPECT_EQ(Threads(kNeverRegistered), 0);
}

TEST_F(InterruptService, EnableClearsFlagsReadsCodeRegistersAndStartsOneThread)
{
    SetFlags({1, 6});
    module.SetRegister(124, 0x44);
    brelan::SetTrace(true);
    EXPECT_EQ(Velkor_ENABLE_RINT(kCard), 1);
    EXPECT_EQ(brelan::TakeTrace(), (std::vector<brelan::Access>{SlotWrite(2, 31), SlotRead(124, 0x44), SlotWrite(2, 0),
                                                                SlotCall(Kind::RegisterInterrupt)}));
    EXPECT_EQ(Flags(), std::vector<int>(8, 0));
    EXPECT_EQ(card->interruptRun, 1);
    EXPECT_EQ(Threads(kCard), 1);
    EXPECT_TRUE(Slot().registered);
}

TEST_F(InterruptService, EnableReturnsNoEarlierThan100msAfterTheThreadWasResumed)
{
    static std::atomic<Clock::rep> resumedAt{0};
    velkor::interrupt_seam::startThread = [](velkor::kernel::ThreadEntry entry, void* arg) {
        velkor::kernel::Thread* started = velkor::kernel::StartThread(entry, arg);
        resumedAt = Clock::now().time_since_epoch().count();
        return started;
    };
    EXPECT_EQ(Velkor_ENABLE_RINT(kCard), 1);
    const Clock::time_point returned = Clock::now();
    EXPECT_GE(returned - Clock::time_point(Clock::duration(resumedAt.load())), milliseconds(100));
}

TEST_F(InterruptService, SecondEnableIsRefusedAndLeavesEverythingAlone)
{
    ASSERT_EQ(Velkor_ENABLE_RINT(kCard), 1);
    Serve(0x00); // the thread is past its start
    SetFlags({2});
    brelan::SetTrace(true);
    EXPECT_EQ(Velkor_ENABLE_RINT(kCard), 0);
    EXPECT_TRUE(brelan::TakeTrace().empty());
    EXPECT_EQ(Flags(), (std::vector<int>{0, 0, 1, 0, 0, 0, 0, 0}));
    EXPECT_EQ(Threads(kCard), 1);
    EXPECT_EQ(Slot().registrations, 1u);
}

TEST_F(InterruptService, FailedRegistrationStillClearsFlagsAndReadsTheCode)
{
    brelan::RefuseInterruptRegistration(kSlot, true);
    SetFlags({0, 7});
    EXPECT_EQ(Velkor_ENABLE_RINT(kCard), 0);
    EXPECT_EQ(module.TakeAccesses(), (std::vector<BusAccess>{W(2, 31), R(124, 0), W(2, 0)}));
    EXPECT_EQ(Flags(), std::vector<int>(8, 0));
    EXPECT_EQ(card->interruptRun, 0);
    EXPECT_EQ(Threads(kCard), 0);
    brelan::RefuseInterruptRegistration(kSlot, false);
    EXPECT_EQ(Velkor_ENABLE_RINT(kCard), 1);
}

TEST_F(InterruptService, ThreadThatCannotBeCreatedUndoesTheStart)
{
    velkor::interrupt_seam::startThread = [](velkor::kernel::ThreadEntry, void*) -> velkor::kernel::Thread* {
        return nullptr;
    };
    brelan::SetTrace(true);
    EXPECT_EQ(Velkor_ENABLE_RINT(kCard), 0);
    EXPECT_EQ(brelan::TakeTrace(),
              (std::vector<brelan::Access>{SlotWrite(2, 31), SlotRead(124, 0), SlotWrite(2, 0),
                                           SlotCall(Kind::RegisterInterrupt), SlotCall(Kind::InterruptClose)}));
    EXPECT_EQ(card->interruptRun, 0);
    EXPECT_EQ(Threads(kCard), 0);
    EXPECT_FALSE(Slot().registered);

    velkor::interrupt_seam::startThread = &velkor::kernel::StartThread;
    EXPECT_EQ(Velkor_ENABLE_RINT(kCard), 1); // the caller can try again
    Serve(0x01);
}

// --- Serving ------------------------------------------------------------------

TEST_F(InterruptService, Code0x21RaisesFlags0And5AndLeavesTheOthers)
{
    ASSERT_EQ(Velkor_ENABLE_RINT(kCard), 1);
    Serve(0x00);
    SetFlags({3, 7});
    card->sequence = 12;
    module.TakeAccesses();
    brelan::SetTrace(true);
    Serve(0x21);
    EXPECT_EQ(Flags(), (std::vector<int>{1, 0, 0, 1, 0, 1, 0, 1}));
    EXPECT_EQ(card->lastInterruptCode, 0x21);
    // The code is read under the card lock as a direct exchange, then acknowledged.
    EXPECT_EQ(brelan::TakeTrace(), (std::vector<brelan::Access>{SlotWrite(2, 31), SlotRead(124, 0x21), SlotWrite(2, 12),
                                                                SlotCall(Kind::InterruptDone)}));
}

TEST_F(InterruptService, DisableEndsTheThreadAndKeepsFlagsAndCode)
{
    ASSERT_EQ(Velkor_ENABLE_RINT(kCard), 1);
    Serve(0x21);
    const std::uint32_t acknowledged = Slot().acknowledged;
    module.TakeAccesses();
    brelan::SetTrace(true);
    EXPECT_EQ(Velkor_DISABLE_RINT(kCard), 1); // the slot bus's result of the close
    EXPECT_EQ(Threads(kCard), 0);              // the thread has ended when it returns
    EXPECT_EQ(brelan::TakeTrace(), std::vector<brelan::Access>{SlotCall(Kind::InterruptClose)});
    EXPECT_TRUE(module.TakeAccesses().empty());
    EXPECT_EQ(Slot().acknowledged, acknowledged);
    EXPECT_EQ(Flags(), (std::vector<int>{1, 0, 0, 0, 0, 1, 0, 0}));
    EXPECT_EQ(card->lastInterruptCode, 0x21);
    EXPECT_EQ(card->interruptRun, 0);

    Velkor_CLEAR_RINT_FLAG(kCard);
    EXPECT_EQ(Flags(), std::vector<int>(8, 0));
    EXPECT_EQ(card->lastInterruptCode, 0x21);
}

struct StopRow {
    const char* name;
    std::function<void()> stop;
};

TEST_F(InterruptService, RegistrationAndResetEndTheThreadAtItsNextWakeUp)
{
    const std::vector<StopRow> rows{
        {"registration", [] { ASSERT_EQ(Velkor_REGISTRATION(kCard, kSlot), 1); }},
        {"reset", [] { Velkor_RESET_CARD(kCard); }},
    };
    for (const StopRow& row : rows) {
        SCOPED_TRACE(row.name);
        ASSERT_EQ(Velkor_ENABLE_RINT(kCard), 1);
        Serve(0x01);
        row.stop();
        EXPECT_EQ(card->interruptRun, 0);
        std::this_thread::sleep_for(milliseconds(20));
        EXPECT_EQ(Threads(kCard), 1); // still waiting: nothing woke it
        EXPECT_TRUE(Slot().registered); // the registration is not closed
        Velkor_CLEAR_RINT_FLAG(kCard);
        module.TakeAccesses();
        const std::uint32_t acknowledged = Slot().acknowledged;

        ASSERT_TRUE(module.RaiseInterrupt(0x02));
        EXPECT_TRUE(WaitUntil([] { return Threads(kCard) == 0; }));
        EXPECT_FALSE(ReadsInterruptCode(module.TakeAccesses())); // neither read ...
        EXPECT_EQ(Slot().acknowledged, acknowledged);              // ... nor acknowledged
        EXPECT_EQ(Flags(), std::vector<int>(8, 0));
        StopService(kCard);
    }
}

// A new start after a registration replaces the slot's event, which wakes the
// old thread while the run flag is set again: it must end instead of serving.
TEST_F(InterruptService, OldThreadNeverServesANewStart)
{
    ASSERT_EQ(Velkor_ENABLE_RINT(kCard), 1);
    Serve(0x01);
    ASSERT_EQ(Velkor_REGISTRATION(kCard, kSlot), 1);
    ASSERT_EQ(Velkor_ENABLE_RINT(kCard), 1);
    EXPECT_TRUE(WaitUntil([] { return Threads(kCard) == 1; }));
    const std::uint32_t acknowledged = Slot().acknowledged;
    std::this_thread::sleep_for(milliseconds(30));
    EXPECT_EQ(Threads(kCard), 1);
    EXPECT_EQ(Slot().acknowledged, acknowledged); // nothing serves a closed event
    Serve(0x04);
    EXPECT_EQ(Slot().acknowledged, acknowledged + 1);
}

TEST_F(InterruptService, QuickDisableEnableCyclesLeaveExactlyOneThread)
{
    ASSERT_EQ(Velkor_ENABLE_RINT(kCard), 1);
    std::atomic<bool> cycling{true};
    std::thread device([&] {
        while (cycling) {
            module.RaiseInterrupt(0x01);
            std::this_thread::sleep_for(milliseconds(1));
        }
    });
    for (int cycle = 0; cycle < 30; ++cycle) {
        Velkor_DISABLE_RINT(kCard);
        ASSERT_EQ(Threads(kCard), 0) << "cycle " << cycle;
        ASSERT_EQ(Velkor_ENABLE_RINT(kCard), 1) << "cycle " << cycle;
    }
    cycling = false;
    device.join();
    // One quiet cycle more, so that no interrupt of the storm is still pending.
    Velkor_DISABLE_RINT(kCard);
    ASSERT_EQ(Velkor_ENABLE_RINT(kCard), 1);
    ASSERT_TRUE(WaitUntil([] { return Threads(kCard) == 1; }));

    // Exactly one thread serves: every interrupt is acknowledged once, and
    // nothing else acknowledges in between (an old thread left running would
    // spin on its closed event).
    const std::uint32_t acknowledged = Slot().acknowledged;
    for (std::uint32_t i = 1; i <= 20; ++i) {
        Velkor_CLEAR_RINT_FLAG(kCard);
        Serve(static_cast<std::uint8_t>(1u << (i % 8)));
        EXPECT_EQ(Slot().acknowledged, acknowledged + i);
    }
    std::this_thread::sleep_for(milliseconds(20));
    EXPECT_EQ(Slot().acknowledged, acknowledged + 20);
    EXPECT_EQ(Threads(kCard), 1);
}

// A thread woken by an interrupt while another thread holds the card lock
// without end (here: a packet the module never takes) cannot end before it
// has read the code. The stop waits for it only up to the bound; a new start
// is refused while it lives; once the lock is free, it serves that interrupt,
// once, and ends.
TEST_F(InterruptService, ThreadHeldUpBehindTheCardLockBoundsTheStop)
{
    velkor::interrupt_seam::endWaitMs = 200;
    ASSERT_EQ(Velkor_ENABLE_RINT(kCard), 1);
    const std::uint32_t acknowledged = Slot().acknowledged;
    module.SetPending(1, kForever);
    std::thread sender([] { Velkor_ENABLE_INT(kCard); }); // keeps the card lock while it polls
    ASSERT_TRUE(WaitUntil([&] { return module.RegisterValue(2) == 1; })); // the sender holds the lock
    ASSERT_TRUE(module.RaiseInterrupt(0x24));
    std::this_thread::sleep_for(milliseconds(300)); // the woken thread reaches the lock

    const Clock::time_point stopping = Clock::now();
    EXPECT_EQ(Velkor_DISABLE_RINT(kCard), 1);
    const Clock::duration stop = Clock::now() - stopping;
    EXPECT_GE(stop, milliseconds(150)); // the bound, less a timer tick
    EXPECT_LT(stop, milliseconds(5000));
    EXPECT_EQ(Threads(kCard), 1);
    brelan::SetTrace(true);
    EXPECT_EQ(Velkor_ENABLE_RINT(kCard), 0);
    for (const brelan::Access& a : brelan::TakeTrace()) { // only the sender's polls
        EXPECT_EQ(a, SlotRead(126, 1));
    }

    module.Release();
    sender.join();
    ASSERT_TRUE(WaitUntil([] { return Threads(kCard) == 0; }));
    EXPECT_EQ(Slot().acknowledged, acknowledged + 1);
    EXPECT_EQ(card->lastInterruptCode, 0x24);
    EXPECT_EQ(Flags(), (std::vector<int>{0, 0, 1, 0, 0, 1, 0, 0}));
    velkor::interrupt_seam::endWaitMs = velkor::kServiceEndWaitMs;
    EXPECT_EQ(Velkor_ENABLE_RINT(kCard), 1);
    Serve(0x01);
}

// --- Waiting ------------------------------------------------------------------

TEST_F(InterruptService, WaitConsumesTheLowestMatchingFlagFirst)
{
    SleepScript::Use(card);
    SetFlags({0, 1, 5});
    card->lastInterruptCode = 0x21;
    EXPECT_EQ(Velkor_RINT_WAIT(kCard, 0x21, 10), 0x21);
    EXPECT_EQ(Flags(), (std::vector<int>{0, 1, 0, 0, 0, 1, 0, 0}));
    EXPECT_EQ(Velkor_RINT_WAIT(kCard, 0x21, 10), 0x21);
    EXPECT_EQ(Flags(), (std::vector<int>{0, 1, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(SleepScript::sleeps, 0); // a set flag is found before any sleep
    EXPECT_EQ(Velkor_RINT_WAIT(kCard, 0x21, 10), 0);
    EXPECT_EQ(Flags(), (std::vector<int>{0, 1, 0, 0, 0, 0, 0, 0}));
}

TEST_F(InterruptService, FlagWithCodeZeroLooksLikeATimeOut)
{
    SleepScript::Use(card);
    SetFlags({4});
    card->lastInterruptCode = 0;
    EXPECT_EQ(Velkor_RINT_WAIT(kCard, 0x10, 4), 0);
    EXPECT_EQ(card->interruptFlags[4], 0); // consumed all the same
}

struct PassRow {
    std::uint32_t count;
    int passes;
};

// Each pass checks the flags, then sleeps twice 1 ms; there is no check after
// the last pass's sleeps.
TEST_F(InterruptService, CountGivesHalfAsManyPassesRoundedUp)
{
    card->lastInterruptCode = 0x08;
    for (const PassRow row : {PassRow{1, 1}, PassRow{2, 1}, PassRow{3, 2}, PassRow{4, 2}, PassRow{5, 3}, PassRow{10, 5}}) {
        SCOPED_TRACE("count " + std::to_string(row.count));
        SetFlags({});
        SleepScript::Use(card);
        EXPECT_EQ(Velkor_RINT_WAIT(kCard, 0x08, row.count), 0);
        EXPECT_EQ(SleepScript::sleeps, 2 * row.passes);

        SleepScript::Use(card, 2 * row.passes, 3); // raised during the last pass
        EXPECT_EQ(Velkor_RINT_WAIT(kCard, 0x08, row.count), 0);
        EXPECT_EQ(card->interruptFlags[3], 1);

        if (row.passes > 1) {
            SetFlags({});
            SleepScript::Use(card, 2 * row.passes - 2, 3); // raised during the pass before
            EXPECT_EQ(Velkor_RINT_WAIT(kCard, 0x08, row.count), 0x08);
            EXPECT_EQ(SleepScript::sleeps, 2 * row.passes - 2);
            EXPECT_EQ(card->interruptFlags[3], 0);
        }
    }
}

TEST_F(InterruptService, CountZeroWaitsUntilAFlagComes)
{
    card->lastInterruptCode = 0x40;
    SleepScript::Use(card, 1000, 6);
    EXPECT_EQ(Velkor_RINT_WAIT(kCard, 0x40, 0), 0x40);
    EXPECT_EQ(SleepScript::sleeps, 1000);
}

TEST_F(InterruptService, MaskZeroSeesNoFlag)
{
    SetFlags({0, 1, 2, 3, 4, 5, 6, 7});
    card->lastInterruptCode = 0xFF;
    SleepScript::Use(card);
    EXPECT_EQ(Velkor_RINT_WAIT(kCard, 0, 6), 0);
    EXPECT_EQ(SleepScript::sleeps, 6);
    EXPECT_EQ(Flags(), std::vector<int>(8, 1));
}

TEST_F(InterruptService, CardOutsideTheTableNeverWaitsNorCallsTheSlotBus)
{
    brelan::SetTrace(true);
    EXPECT_EQ(Velkor_RINT_WAIT(8, 0xFF, 0), 0); // at once, even without end
    Velkor_CLEAR_RINT_FLAG(8);
    EXPECT_EQ(Velkor_DISABLE_RINT(255), 0);
    EXPECT_TRUE(brelan::TakeTrace().empty());
}

} // namespace
} // namespace velkor_test
