// Starting, following, continuing and stopping a debugging run.
#include "../interrupts/service_fixture.h"
#include "command_rows.h"

#include <functional>

namespace velkor_test {
namespace {

class MacroDebugging : public ServiceTest {
protected:
    // The module's debug byte at 76 and debug word at 72 (low) and 74 (high).
    void SetDebugWindow(std::uint8_t debugByte, std::uint16_t debugWord)
    {
        module.SetRegister(76, debugByte);
        module.SetRegister(72, static_cast<std::uint8_t>(debugWord));
        module.SetRegister(74, static_cast<std::uint8_t>(debugWord >> 8));
    }
};

TEST_F(CommandTable, DebugStarts)
{
    CheckRows({
        {"MP_DEBUG", [](std::uint8_t c) { Velkor_MP_DEBUG(c, 7); }, {{1, {240, 10, 7, 0xE3}}}},
        {"ISR_DEBUG", [](std::uint8_t c) { Velkor_ISR_DEBUG(c, 9); }, {{1, {241, 10, 9, 0xE3}}}},
    });
}

TEST_F(MacroDebugging, ContinueAndStopHandTheirCodeToTheModuleDirectly)
{
    struct Row {
        const char* name;
        std::function<void()> call;
        std::uint8_t code;
    };
    const std::vector<Row> rows{
        {"CONTINUE_DEBUG", [] { Velkor_CONTINUE_DEBUG(kCard); }, 242},
        {"STOP_DEBUG", [] { Velkor_STOP_DEBUG(kCard); }, 243},
    };
    card->recording = 1; // never recorded
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        card->sequence = 6;
        module.SetPending(9, 2); // an unfinished exchange first
        module.SetBusyPolls(1);  // and a module that takes a moment to answer
        row.call();
        EXPECT_EQ(module.TakeAccesses(), (std::vector<BusAccess>{W(2, 31), R(126, 9), R(126, 9), R(126, 0),
                                                                 W(126, row.code), R(126, row.code), R(126, 0), W(2, 6)}));
        EXPECT_EQ(module.TakeCodes(), std::vector<std::uint8_t>{row.code});
        EXPECT_TRUE(module.TakePackets().empty());
    }
}

TEST_F(MacroDebugging, WaitTimesOutTo255And1WithoutTouchingTheWindow)
{
    SetFlags({0}); // another factor does not end the wait
    std::uint8_t debugByte = 0;
    std::uint16_t debugWord = 0;
    const auto start = Clock::now();
    Velkor_DEBUG_WAIT(kCard, 10, &debugByte, &debugWord);
    EXPECT_GE(Clock::now() - start, milliseconds(10));
    EXPECT_EQ(debugByte, 255);
    EXPECT_EQ(debugWord, 1);
    EXPECT_TRUE(module.TakeAccesses().empty());
    EXPECT_EQ(Flags(), (std::vector<int>{1, 0, 0, 0, 0, 0, 0, 0}));

    Velkor_DEBUG_WAIT(kCard, 2, nullptr, nullptr); // null pointers are not written through
    Velkor_DEBUG_WAIT(8, 2, &debugByte, &debugWord);
    EXPECT_EQ(debugByte, 255);
    EXPECT_TRUE(module.TakeAccesses().empty());
}

TEST_F(MacroDebugging, WaitReadsTheWindowAtOnceWhenFactor5IsAlreadySet)
{
    SleepScript::Use(card);
    SetFlags({0, 5});
    card->lastInterruptCode = 0x21;
    SetDebugWindow(0x11, 0x1234);
    module.SetPending(4, 1);
    card->sequence = 8;
    std::uint8_t debugByte = 0;
    std::uint16_t debugWord = 0;
    Velkor_DEBUG_WAIT(kCard, 10, &debugByte, &debugWord);
    EXPECT_EQ(SleepScript::sleeps, 0);
    EXPECT_EQ(debugByte, 0x11);
    EXPECT_EQ(debugWord, 0x1234);
    EXPECT_EQ(module.TakeAccesses(),
              (std::vector<BusAccess>{W(2, 31), R(126, 4), R(126, 0), R(76, 0x11), R(74, 0x12), R(72, 0x34), W(2, 8)}));
    EXPECT_EQ(Flags(), (std::vector<int>{1, 0, 0, 0, 0, 0, 0, 0}));
}

// The flag of the debugging event counts, not the code that came last: a
// later interrupt with code 0 must not turn the event into a time-out.
TEST_F(MacroDebugging, WaitReadsTheWindowEvenWhenTheLastCodeIsZero)
{
    SetFlags({5});
    card->lastInterruptCode = 0;
    SetDebugWindow(3, 0x0102);
    std::uint8_t debugByte = 0;
    std::uint16_t debugWord = 0;
    Velkor_DEBUG_WAIT(kCard, 10, &debugByte, &debugWord);
    EXPECT_EQ(debugByte, 3);
    EXPECT_EQ(debugWord, 0x0102);
    EXPECT_EQ(card->interruptFlags[5], 0);
}

TEST_F(MacroDebugging, WaitReturnsTheWindowAfterTheDebugInterrupt)
{
    ASSERT_EQ(Velkor_ENABLE_RINT(kCard), 1);
    SetDebugWindow(0x42, 0xBEEF);
    std::thread device([&] {
        std::this_thread::sleep_for(milliseconds(30));
        module.RaiseInterrupt(0x20);
    });
    std::uint8_t debugByte = 0;
    std::uint16_t debugWord = 0;
    Velkor_DEBUG_WAIT(kCard, 0, &debugByte, &debugWord);
    device.join();
    EXPECT_EQ(debugByte, 0x42);
    EXPECT_EQ(debugWord, 0xBEEF);
}

TEST_F(MacroDebugging, InfoReadsTheWindowAndNeverWritesTheHandshake)
{
    SetFlags({5});
    SetDebugWindow(0x99, 0x0A0B);
    module.SetPending(7, 2);
    card->sequence = 21;
    std::uint8_t debugByte = 0;
    std::uint16_t debugWord = 0;
    Velkor_DEBUG_INFO(kCard, &debugByte, &debugWord);
    const std::vector<BusAccess> trace{W(2, 31), R(126, 7), R(126, 7), R(126, 0), R(76, 0x99), R(74, 0x0A), R(72, 0x0B), W(2, 21)};
    EXPECT_EQ(module.TakeAccesses(), trace);
    EXPECT_EQ(debugByte, 0x99);
    EXPECT_EQ(debugWord, 0x0A0B);
    EXPECT_EQ(Flags(), (std::vector<int>{0, 0, 0, 0, 0, 1, 0, 0}));

    module.SetPending(7, 2);
    Velkor_DEBUG_INFO(kCard, nullptr, nullptr);
    EXPECT_EQ(module.TakeAccesses(), trace);

    brelan::SetTrace(true);
    Velkor_DEBUG_INFO(8, &debugByte, &debugWord);
    Velkor_CONTINUE_DEBUG(8);
    Velkor_STOP_DEBUG(8);
    EXPECT_TRUE(brelan::TakeTrace().empty());
    EXPECT_EQ(debugByte, 0x99); // untouched
}

} // namespace
} // namespace velkor_test
