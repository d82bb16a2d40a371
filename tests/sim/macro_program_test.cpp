// Macro programs recorded and run through the library's exports against the
// virtual module on the manual clock.
#include "macro_fixture.h"

#include <velkor_sim/velkor_sim.h>

#include <functional>
#include <string>

namespace velkor_sim_test {
namespace {

using velkor_sim::error::kAxisBusy;
using velkor_sim::error::kBadCommand;
using velkor_sim::error::kProgramMalformed;
using velkor_sim::error::kProgramMissing;
using velkor_sim::error::kProgramRunaway;
using velkor_sim::error::kProgramTooLong;

using MacroPrograms = MacroTest;

// A variable, three back-and-forth moves, a calculation, a timer and the
// program interrupt.
void RecordBackAndForth(std::uint8_t program)
{
    Velkor_MP_CREATE(kCard, program);
    Velkor_MP_SET_VAR(kCard, 1, 0);
    Velkor_MP_SET_VAR(kCard, 2, 1);
    Velkor_MP_FOR(kCard, 3);
    Velkor_FIXED_MOVE(kCard, 1, 1000);
    Velkor_MP_STOP_WAIT(kCard, 1);
    Velkor_FIXED_MOVE(kCard, 1, -1000);
    Velkor_MP_STOP_WAIT(kCard, 1);
    Velkor_MP_VAR_CALCULATE(kCard, 1, '+', 1, 2);
    Velkor_MP_NEXT(kCard);
    Velkor_MP_TIMER(kCard, 100);
    Velkor_MP_SET_RINT(kCard);
    Velkor_MP_CLOSE(kCard);
}

TEST_F(MacroPrograms, BackAndForthProgramMovesCountsAndInterrupts)
{
    StartInterrupts(0x80);
    Profile(1, 1000, 20000, 0); // 1000 pulses in 50 ms
    Velkor_SET_LP(kCard, 1, 0);
    RecordBackAndForth(5);
    Velkor_MP_CALL(kCard, 5);
    module.Advance(40ms);
    EXPECT_GT(Velkor_GET_LP(kCard, 1), 500);
    EXPECT_EQ(Velkor_STOP_WAIT(kCard, 1), 0);
    EXPECT_EQ(Velkor_RINT_WAIT(kCard, 0x80, 10), 0); // not yet
    const double start = module.Now() - 0.040;
    ASSERT_TRUE(module.AdvanceUntilProgramEnds(10s));
    // Six moves of 50 ms and the timer of 100 ms, give or take a step per wait.
    EXPECT_NEAR(module.Now() - start, 0.400, 0.010);
    EXPECT_EQ(Velkor_GET_LP(kCard, 1), 0);
    EXPECT_EQ(Velkor_READ_VAR(kCard, 1), 3);
    EXPECT_EQ(Velkor_RINT_WAIT(kCard, 0x80, 3000), 0x80);
    EXPECT_EQ(Velkor_GET_ERROR(kCard), 0);
}

TEST_F(MacroPrograms, NestedLoopsAndEmptyLoops)
{
    Velkor_MP_CREATE(kCard, 1);
    Velkor_MP_SET_VAR(kCard, 1, 0);
    Velkor_MP_SET_VAR(kCard, 2, 1);
    Velkor_MP_FOR(kCard, 3);
    Velkor_MP_FOR(kCard, 4);
    Velkor_MP_VAR_CALCULATE(kCard, 1, '+', 1, 2);
    Velkor_MP_NEXT(kCard);
    Velkor_MP_FOR(kCard, 0); // never entered
    Velkor_MP_SET_VAR(kCard, 3, 99);
    Velkor_MP_NEXT(kCard);
    Velkor_MP_FOR(kCard, -5); // nor this one
    Velkor_MP_SET_VAR(kCard, 3, 98);
    Velkor_MP_NEXT(kCard);
    Velkor_MP_NEXT(kCard);
    Velkor_MP_CLOSE(kCard);
    ASSERT_TRUE(RunProgram(1));
    EXPECT_EQ(Velkor_READ_VAR(kCard, 1), 12);
    EXPECT_EQ(Velkor_READ_VAR(kCard, 3), 0);
    EXPECT_EQ(ErrorCode(), 0);
}

struct Comparison {
    std::uint16_t op;
    const char* text;
    std::int32_t a, b;
    bool holds;
};

TEST_F(MacroPrograms, EveryComparisonBothWaysWithElse)
{
    const Comparison cases[] = {
        {'>', ">", 5, 4, true},          {'>', ">", 4, 4, false},         {'<', "<", -3, 2, true},
        {'<', "<", 2, 2, false},         {Op2('>', '='), ">=", 4, 4, true}, {Op2('>', '='), ">=", 3, 4, false},
        {Op2('<', '='), "<=", 4, 4, true}, {Op2('<', '='), "<=", 5, 4, false}, {'=', "= (sent as ==)", 7, 7, true},
        {'=', "=", 7, 8, false},         {'!', "! (sent as !=)", 7, 8, true}, {'!', "!", 7, 7, false},
        {Op2('=', '='), "==", -1, -1, true}, {Op2('=', '='), "==", -1, 1, false}, {Op2('!', '='), "!=", 1, 2, true},
        {Op2('!', '='), "!=", 2, 2, false}, {Op2('=', '>'), "=>", 9, 2, true}, {Op2('=', '>'), "=>", 1, 2, false},
        {Op2('=', '<'), "=<", 2, 2, true}, {Op2('=', '<'), "=<", 3, 2, false}, {Op2('<', '>'), "<>", 3, 2, true},
        {Op2('<', '>'), "<>", 2, 2, false},
    };
    std::uint8_t program = 10;
    for (const Comparison& c : cases) {
        SCOPED_TRACE(std::string(c.text) + " with " + std::to_string(c.a) + ", " + std::to_string(c.b));
        Velkor_MP_CREATE(kCard, program);
        Velkor_MP_IF(kCard, 1, c.op, 2);
        Velkor_MP_SET_VAR(kCard, 3, 1);
        Velkor_MP_ELSE(kCard);
        Velkor_MP_SET_VAR(kCard, 3, 2);
        Velkor_MP_IF_END(kCard);
        Velkor_MP_CLOSE(kCard);
        Velkor_WRITE_VAR(kCard, 1, c.a);
        Velkor_WRITE_VAR(kCard, 2, c.b);
        Velkor_WRITE_VAR(kCard, 3, 0);
        ASSERT_TRUE(RunProgram(program));
        EXPECT_EQ(Velkor_READ_VAR(kCard, 3), c.holds ? 1 : 2);
        ++program;
    }
    EXPECT_EQ(ErrorCode(), 0);
}

TEST_F(MacroPrograms, IfWithoutElseSkipsItsBody)
{
    Velkor_MP_CREATE(kCard, 1);
    Velkor_MP_IF(kCard, 1, '>', 2);
    Velkor_MP_SET_VAR(kCard, 3, 1);
    Velkor_MP_IF_END(kCard);
    Velkor_MP_SET_VAR(kCard, 4, 1);
    Velkor_MP_CLOSE(kCard);
    Velkor_WRITE_VAR(kCard, 1, 1);
    Velkor_WRITE_VAR(kCard, 2, 2);
    ASSERT_TRUE(RunProgram(1));
    EXPECT_EQ(Velkor_READ_VAR(kCard, 3), 0);
    EXPECT_EQ(Velkor_READ_VAR(kCard, 4), 1);
}

TEST_F(MacroPrograms, CalculationsWrapAndCopy)
{
    struct Case {
        char op;
        std::int32_t a, b, result;
    } const cases[] = {
        {'+', 2147483647, 1, -2147483647 - 1}, {'-', 5, 7, -2}, {'*', 65536, 65536, 0}, {'/', -7, 2, -3},
        {'%', -7, 2, -1}, {'/', -2147483647 - 1, -1, -2147483647 - 1}, {'&', 12, 10, 8}, {'|', 12, 10, 14},
        {'^', 12, 10, 6}, {'=', 42, 0, 42},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(1, c.op));
        Velkor_MP_CREATE(kCard, 2);
        Velkor_MP_VAR_CALCULATE(kCard, 3, static_cast<std::uint8_t>(c.op), 1, 2);
        Velkor_MP_CLOSE(kCard);
        Velkor_WRITE_VAR(kCard, 1, c.a);
        Velkor_WRITE_VAR(kCard, 2, c.b);
        ASSERT_TRUE(RunProgram(2));
        EXPECT_EQ(Velkor_READ_VAR(kCard, 3), c.result);
    }
    EXPECT_EQ(ErrorCode(), 0);
}

TEST_F(MacroPrograms, TimerWaitsInSimulatedTime)
{
    Velkor_MP_CREATE(kCard, 1);
    Velkor_MP_SET_VAR(kCard, 1, 1);
    Velkor_MP_TIMER(kCard, 250);
    Velkor_MP_SET_VAR(kCard, 1, 2);
    Velkor_MP_TIMER(kCard, 0); // no wait
    Velkor_MP_SET_VAR(kCard, 2, 1);
    Velkor_MP_CLOSE(kCard);
    Velkor_MP_CALL(kCard, 1);
    module.Advance(249ms);
    EXPECT_EQ(Velkor_READ_VAR(kCard, 1), 1);
    EXPECT_TRUE(module.MacroRun().running);
    module.Advance(1ms);
    EXPECT_EQ(Velkor_READ_VAR(kCard, 1), 2);
    EXPECT_EQ(Velkor_READ_VAR(kCard, 2), 1);
    EXPECT_FALSE(module.MacroRun().running);
}

TEST_F(MacroPrograms, RecordedReadersLoadTheReaderVariable)
{
    // Reader variable 10; the program branches on LP against variable 11.
    Velkor_MP_CREATE(kCard, 1);
    Velkor_MP_SET_RVAR(kCard, 10);
    EXPECT_EQ(Velkor_GET_LP(kCard, 1), 0); // the recording path
    Velkor_MP_IF(kCard, 10, Op2('>', '='), 11);
    Velkor_MP_SET_VAR(kCard, 12, 1);
    Velkor_MP_ELSE(kCard);
    Velkor_MP_SET_VAR(kCard, 12, 2);
    Velkor_MP_IF_END(kCard);
    Velkor_MP_CLOSE(kCard);
    Velkor_SET_LP(kCard, 1, 500);
    Velkor_WRITE_VAR(kCard, 11, 400);
    ASSERT_TRUE(RunProgram(1));
    EXPECT_EQ(Velkor_READ_VAR(kCard, 10), 500);
    EXPECT_EQ(Velkor_READ_VAR(kCard, 12), 1);
    Velkor_WRITE_VAR(kCard, 11, 501);
    ASSERT_TRUE(RunProgram(1));
    EXPECT_EQ(Velkor_READ_VAR(kCard, 12), 2);
}

TEST_F(MacroPrograms, EveryRecordedReaderLoadsItsValue)
{
    Velkor_SET_LP(kCard, 2, -70000);
    Velkor_SET_EP(kCard, 2, 123);
    module.SetInputs(1, 0x0300);
    module.SetRemoteInput(7, 0xBEEF);
    module.SetLatch(3, -9);
    Velkor_MP_CREATE(kCard, 1);
    Velkor_MP_SET_RVAR(kCard, 20);
    Velkor_GET_LP(kCard, 2);
    Velkor_MP_SET_RVAR(kCard, 21);
    Velkor_GET_EP(kCard, 2);
    Velkor_MP_SET_RVAR(kCard, 22);
    Velkor_GET_DI(kCard, 2, 9);
    Velkor_MP_SET_RVAR(kCard, 23);
    Velkor_GET_DI_ALL(kCard, 2);
    Velkor_MP_SET_RVAR(kCard, 24);
    Velkor_QUORL_IN(kCard, 7);
    Velkor_MP_SET_RVAR(kCard, 25);
    Velkor_GET_LATCH(kCard, 8);
    Velkor_MP_SET_RVAR(kCard, 26);
    Velkor_GET_ERROR(kCard);
    Velkor_MP_SET_RVAR(kCard, 27);
    Velkor_GET_ERROR_CODE(kCard, 1);
    Velkor_MP_CLOSE(kCard);
    ASSERT_TRUE(RunProgram(1));
    EXPECT_EQ(Velkor_READ_VAR(kCard, 20), -70000);
    EXPECT_EQ(Velkor_READ_VAR(kCard, 21), 123);
    // The same values the direct queries answer.
    EXPECT_EQ(Velkor_READ_VAR(kCard, 22), 1); // bit 9
    EXPECT_EQ(Velkor_READ_VAR(kCard, 23), Velkor_GET_DI_ALL(kCard, 2));
    EXPECT_EQ(Velkor_READ_VAR(kCard, 23) & 0x0300, 0x0300);
    EXPECT_EQ(Velkor_READ_VAR(kCard, 24), 0xBEEF);
    EXPECT_EQ(Velkor_READ_VAR(kCard, 25), -9);
    EXPECT_EQ(Velkor_READ_VAR(kCard, 26), Velkor_GET_ERROR(kCard));
    EXPECT_EQ(Velkor_READ_VAR(kCard, 27), Velkor_GET_ERROR_CODE(kCard, 1));
}

TEST_F(MacroPrograms, HostCommandsInterleaveWithARunningProgram)
{
    Profile(1 | 2, 1000, 10000, 0);
    Velkor_MP_CREATE(kCard, 1);
    Velkor_MP_FOR(kCard, 4);
    Velkor_FIXED_MOVE(kCard, 1, 500);
    Velkor_MP_STOP_WAIT(kCard, 1);
    Velkor_MP_TIMER(kCard, 10);
    Velkor_MP_NEXT(kCard);
    Velkor_MP_CLOSE(kCard);
    Velkor_MP_CALL(kCard, 1);
    module.Advance(30ms);
    Velkor_FIXED_MOVE(kCard, 2, -3000); // the host drives axis 2 meanwhile
    Velkor_WRITE_VAR(kCard, 5, 55);
    module.Advance(30ms);
    const std::int32_t x = Velkor_GET_LP(kCard, 1);
    EXPECT_GT(x, 0);
    EXPECT_LT(x, 2000);
    EXPECT_LT(Velkor_GET_LP(kCard, 2), 0);
    ASSERT_TRUE(module.AdvanceUntilProgramEnds(10s));
    ASSERT_TRUE(module.AdvanceUntilStopped(2, 10s));
    EXPECT_EQ(Velkor_GET_LP(kCard, 1), 2000);
    EXPECT_EQ(Velkor_GET_LP(kCard, 2), -3000);
    EXPECT_EQ(Velkor_READ_VAR(kCard, 5), 55);
    EXPECT_EQ(ErrorCode(), 0);
}

TEST_F(MacroPrograms, ProgramsCallProgramsAndReturn)
{
    Velkor_MP_CREATE(kCard, 2);
    Velkor_MP_VAR_CALCULATE(kCard, 1, '+', 1, 2);
    Velkor_MP_CLOSE(kCard);
    Velkor_MP_CREATE(kCard, 1);
    Velkor_MP_SET_VAR(kCard, 1, 0);
    Velkor_MP_SET_VAR(kCard, 2, 10);
    Velkor_MP_FOR(kCard, 3);
    Velkor_MP_CALL(kCard, 2);
    Velkor_MP_NEXT(kCard);
    Velkor_MP_SET_VAR(kCard, 3, 1);
    Velkor_MP_CLOSE(kCard);
    ASSERT_TRUE(RunProgram(1));
    EXPECT_EQ(Velkor_READ_VAR(kCard, 1), 30);
    EXPECT_EQ(Velkor_READ_VAR(kCard, 3), 1);
}

// Each fault sets its error bit, ends the run (or keeps it from starting)
// and leaves the module answering.
TEST_F(MacroPrograms, FaultsSetTheirBitAndEndTheRun)
{
    struct Fault {
        const char* what;
        void (*record)();
        std::uint8_t call;
        std::uint16_t bit;
    } const faults[] = {
        {"unknown program", [] {}, 77, kProgramMissing},
        {"FOR without NEXT", [] { Velkor_MP_CREATE(kCard, 1); Velkor_MP_SET_VAR(kCard, 9, 1); Velkor_MP_FOR(kCard, 2); Velkor_MP_CLOSE(kCard); }, 1, kProgramMalformed},
        {"NEXT without FOR", [] { Velkor_MP_CREATE(kCard, 1); Velkor_MP_SET_VAR(kCard, 9, 1); Velkor_MP_NEXT(kCard); Velkor_MP_CLOSE(kCard); }, 1, kProgramMalformed},
        {"IF without IF_END", [] { Velkor_MP_CREATE(kCard, 1); Velkor_MP_SET_VAR(kCard, 9, 1); Velkor_MP_IF(kCard, 1, '>', 2); Velkor_MP_CLOSE(kCard); }, 1, kProgramMalformed},
        {"two ELSEs", [] { Velkor_MP_CREATE(kCard, 1); Velkor_MP_SET_VAR(kCard, 9, 1); Velkor_MP_IF(kCard, 1, '>', 2); Velkor_MP_ELSE(kCard); Velkor_MP_ELSE(kCard); Velkor_MP_IF_END(kCard); Velkor_MP_CLOSE(kCard); }, 1, kProgramMalformed},
        {"NEXT closing an IF", [] { Velkor_MP_CREATE(kCard, 1); Velkor_MP_SET_VAR(kCard, 9, 1); Velkor_MP_IF(kCard, 1, '>', 2); Velkor_MP_NEXT(kCard); Velkor_MP_CLOSE(kCard); }, 1, kProgramMalformed},
        {"unknown comparison", [] { Velkor_MP_CREATE(kCard, 1); Velkor_MP_SET_VAR(kCard, 9, 1); Velkor_MP_IF(kCard, 1, 'x', 2); Velkor_MP_IF_END(kCard); Velkor_MP_CLOSE(kCard); }, 1, kProgramMalformed},
        {"variable out of range", [] { Velkor_MP_CREATE(kCard, 1); Velkor_MP_SET_VAR(kCard, 9, 1); Velkor_MP_SET_VAR(kCard, 65536, 1); Velkor_MP_CLOSE(kCard); }, 1, kProgramMalformed},
        {"negative timer", [] { Velkor_MP_CREATE(kCard, 1); Velkor_MP_SET_VAR(kCard, 9, 1); Velkor_MP_TIMER(kCard, -1); Velkor_MP_CLOSE(kCard); }, 1, kProgramMalformed},
        {"debugging inside a program", [] { Velkor_MP_CREATE(kCard, 1); Velkor_MP_SET_VAR(kCard, 9, 1); Velkor_MP_DEBUG(kCard, 1); Velkor_MP_CLOSE(kCard); }, 1, kProgramMalformed},
        {"calling itself too deep", [] { Velkor_MP_CREATE(kCard, 1); Velkor_MP_CALL(kCard, 1); Velkor_MP_CLOSE(kCard); }, 1, kProgramMalformed},
        {"division by zero", [] { Velkor_MP_CREATE(kCard, 1); Velkor_MP_VAR_CALCULATE(kCard, 3, '/', 1, 2); Velkor_MP_SET_VAR(kCard, 9, 1); Velkor_MP_CLOSE(kCard); }, 1, kProgramMalformed},
        {"runaway loop", [] { Velkor_MP_CREATE(kCard, 1); Velkor_MP_FOR(kCard, 2000000000); Velkor_MP_VAR_CALCULATE(kCard, 3, '+', 3, 4); Velkor_MP_NEXT(kCard); Velkor_MP_SET_VAR(kCard, 9, 1); Velkor_MP_CLOSE(kCard); }, 1, kProgramRunaway},
        {"program too long", [] { Velkor_MP_CREATE(kCard, 1); for (int i = 0; i < 1025; ++i) Velkor_MP_SET_VAR(kCard, 9, 1); Velkor_MP_CLOSE(kCard); }, 1, kProgramTooLong},
    };
    StartInterrupts(0x80);
    for (const Fault& f : faults) {
        SCOPED_TRACE(f.what);
        Velkor_WRITE_VAR(kCard, 2, 0);
        Velkor_WRITE_VAR(kCard, 9, 0);
        f.record();
        Velkor_MP_CALL(kCard, f.call);
        module.WaitSettled();
        EXPECT_FALSE(module.MacroRun().running);
        EXPECT_EQ(ErrorCode(), f.bit);
        EXPECT_EQ(Velkor_READ_VAR(kCard, 9), 0); // the step after the fault never ran
        module.Advance(1ms);
        EXPECT_EQ(Velkor_RINT_WAIT(kCard, 0x80, 2000), 0x80);
        Velkor_CLEAR_STOP(kCard);
        EXPECT_EQ(ErrorCode(), 0);
    }
}

TEST_F(MacroPrograms, ResetBufferClearAndDirectStopsEndARun)
{
    Profile(1, 1000, 1000, 0);
    Velkor_MP_CREATE(kCard, 1);
    Velkor_CONTINUE_MOVE(kCard, 1, 1);
    Velkor_MP_TIMER(kCard, 1000);
    Velkor_MP_SET_VAR(kCard, 1, 1);
    Velkor_MP_CLOSE(kCard);
    const std::function<void()> enders[] = {
        [] { Velkor_CLEAR_CARD_BUFFER(kCard); },
        [] { Velkor_RESET_CARD(kCard); },
        [] { Velkor_STOP_SUDDENLY(kCard, 1); },
        [] { Velkor_VSTOP_SLOWLY(kCard); },
        [] { Velkor_VSTOP_SUDDENLY(kCard); },
        [] { Velkor_STOP_SLOWLY(kCard, 1); },
    };
    for (const auto& end : enders) {
        Velkor_MP_CALL(kCard, 1);
        module.Advance(100ms);
        ASSERT_TRUE(module.MacroRun().running);
        end();
        module.WaitSettled();
        EXPECT_FALSE(module.MacroRun().running);
        module.Advance(1100ms);
        EXPECT_EQ(Velkor_READ_VAR(kCard, 1), 0);
        Velkor_CLEAR_STOP(kCard);
        Velkor_STOP_SUDDENLY(kCard, 1);
        Velkor_CLEAR_STOP(kCard);
        Profile(1, 1000, 1000, 0);
    }
}

TEST_F(MacroPrograms, StopsInsideAProgramDoNotEndIt)
{
    Profile(1, 1000, 1000, 0);
    Velkor_MP_CREATE(kCard, 1);
    Velkor_CONTINUE_MOVE(kCard, 1, 1);
    Velkor_MP_TIMER(kCard, 50);
    Velkor_STOP_SUDDENLY(kCard, 1); // a step on the recording path
    Velkor_MP_SET_VAR(kCard, 1, 1);
    Velkor_MP_CLOSE(kCard);
    ASSERT_TRUE(RunProgram(1));
    EXPECT_EQ(Velkor_READ_VAR(kCard, 1), 1);
    EXPECT_EQ(Velkor_STOP_WAIT(kCard, 1), 1);
    EXPECT_NEAR(Velkor_GET_LP(kCard, 1), 50, 2);
}

TEST_F(MacroPrograms, OneRunAtATime)
{
    Velkor_MP_CREATE(kCard, 1);
    Velkor_MP_TIMER(kCard, 100);
    Velkor_MP_SET_VAR(kCard, 1, 1);
    Velkor_MP_CLOSE(kCard);
    Velkor_MP_CREATE(kCard, 2);
    Velkor_MP_SET_VAR(kCard, 2, 1);
    Velkor_MP_CLOSE(kCard);
    Velkor_MP_CALL(kCard, 1);
    Velkor_MP_CALL(kCard, 2); // refused: program 1 runs
    ASSERT_TRUE(module.AdvanceUntilProgramEnds(1s));
    EXPECT_EQ(Velkor_READ_VAR(kCard, 1), 1);
    EXPECT_EQ(Velkor_READ_VAR(kCard, 2), 0);
    EXPECT_EQ(ErrorCode(), kAxisBusy);
}

TEST_F(MacroPrograms, RecordingOverARunningProgramLeavesTheRunAlone)
{
    Velkor_MP_CREATE(kCard, 1);
    Velkor_MP_TIMER(kCard, 100);
    Velkor_MP_SET_VAR(kCard, 1, 1);
    Velkor_MP_CLOSE(kCard);
    Velkor_MP_CALL(kCard, 1);
    Velkor_MP_CREATE(kCard, 1);
    Velkor_MP_SET_VAR(kCard, 1, 2);
    Velkor_MP_CLOSE(kCard);
    ASSERT_TRUE(module.AdvanceUntilProgramEnds(1s));
    EXPECT_EQ(Velkor_READ_VAR(kCard, 1), 1);
    ASSERT_TRUE(RunProgram(1));
    EXPECT_EQ(Velkor_READ_VAR(kCard, 1), 2);
}

TEST_F(MacroPrograms, MacroStepsSentDirectly)
{
    Velkor_MP_SET_VAR(kCard, 4, 40);
    Velkor_MP_SET_VAR(kCard, 5, 2);
    Velkor_MP_VAR_CALCULATE(kCard, 6, '*', 4, 5);
    Velkor_MP_SET_RVAR(kCard, 7);
    Velkor_SET_LP(kCard, 1, 321);
    module.WaitSettled();
    EXPECT_EQ(Velkor_READ_VAR(kCard, 6), 80);
    EXPECT_EQ(ErrorCode(), 0);
    Velkor_MP_FOR(kCard, 2); // a flow step means nothing outside a program
    EXPECT_EQ(ErrorCode(), kBadCommand);
    Velkor_CLEAR_STOP(kCard);
    Velkor_MP_VAR_CALCULATE(kCard, 6, '%', 4, 8); // variable 8 is 0
    EXPECT_EQ(ErrorCode(), kBadCommand);
    EXPECT_EQ(Velkor_READ_VAR(kCard, 6), 80);
}

TEST_F(MacroPrograms, LoadInitialRestoresTheSettings)
{
    Velkor_SET_LP(kCard, 1, 0);
    Velkor_SET_SV(kCard, 1, 5000);
    Velkor_SET_V(kCard, 1, 5000);
    Velkor_SET_SLMT(kCard, 1, 10, -10, 0);
    Velkor_LOAD_INITIAL(kCard);
    Velkor_FIXED_MOVE(kCard, 1, 2000);
    module.Advance(100ms);
    EXPECT_EQ(Velkor_GET_CV(kCard, 1), 1000); // the initial drive speed, past the old limit
    ASSERT_TRUE(module.AdvanceUntilStopped(1, 10s));
    EXPECT_EQ(Velkor_GET_LP(kCard, 1), 2000);
    EXPECT_EQ(ErrorCode(), 0);
}

TEST_F(MacroPrograms, UnfinishedRecordingIsDropped)
{
    Velkor_MP_CREATE(kCard, 1);
    Velkor_MP_SET_VAR(kCard, 1, 1);
    Velkor_MP_CLOSE(kCard);
    Velkor_MP_CREATE(kCard, 1);
    Velkor_MP_SET_VAR(kCard, 1, 2);
    Velkor_CLEAR_CARD_BUFFER(kCard); // ends the recording without MP_CLOSE
    module.WaitSettled();
    EXPECT_EQ(module.MacroProgramSteps(1), 1u);
    ASSERT_TRUE(RunProgram(1));
    EXPECT_EQ(Velkor_READ_VAR(kCard, 1), 1); // the program closed before
}

TEST(MacroCalls, ListAProgramFromC)
{
    brelan::Reset();
    VelkorSimModule* m = VelkorSim_Plug(4, 1.0);
    ASSERT_NE(m, nullptr);
    ASSERT_EQ(Velkor_REGISTRATION(1, 4), 1);
    Velkor_MP_CREATE(1, 7);
    Velkor_MP_FOR(1, 3);
    Velkor_MP_NEXT(1);
    Velkor_MP_CLOSE(1);
    EXPECT_EQ(Velkor_GET_ERROR(1), 0); // a query: every packet before it has been taken
    EXPECT_EQ(VelkorSim_MacroProgramSteps(m, 7), 2u);
    EXPECT_EQ(VelkorSim_MacroProgramSteps(m, 8), 0u);
    char text[64];
    EXPECT_EQ(VelkorSim_DescribeMacroStep(m, 7, 0, text, sizeof text), 1);
    EXPECT_STREQ(text, "MP_FOR count=3");
    char small[5];
    EXPECT_EQ(VelkorSim_DescribeMacroStep(m, 7, 0, small, sizeof small), 1);
    EXPECT_STREQ(small, "MP_F"); // cut to fit, always ended
    EXPECT_EQ(VelkorSim_DescribeMacroStep(m, 7, 2, text, sizeof text), 0);
    EXPECT_STREQ(text, "");
    EXPECT_EQ(VelkorSim_DescribeMacroStep(m, 7, 1, nullptr, 0), 1);
    EXPECT_EQ(VelkorSim_DescribeMacroStep(nullptr, 7, 0, text, sizeof text), 0);
    EXPECT_EQ(VelkorSim_MacroRunning(m), 0);
    EXPECT_EQ(VelkorSim_MacroProgramSteps(nullptr, 7), 0u);
    EXPECT_EQ(VelkorSim_MacroRunning(nullptr), 0);
    EXPECT_EQ(VelkorSim_AdvanceUntilProgramEnds(nullptr, 1000), 0);
    VelkorSim_Unplug(m);
}

TEST(MacroCalls, RunAProgramOnTheManualClockFromC)
{
    brelan::Reset();
    VelkorSimModule* m = VelkorSim_Create(nullptr); // the manual clock
    ASSERT_NE(m, nullptr);
    ASSERT_EQ(VelkorSim_PlugInto(m, 4), 1);
    ASSERT_EQ(Velkor_REGISTRATION(1, 4), 1);
    Velkor_MP_CREATE(1, 2);
    Velkor_MP_TIMER(1, 30);
    Velkor_MP_SET_VAR(1, 6, 66);
    Velkor_MP_CLOSE(1);
    Velkor_MP_CALL(1, 2);
    VelkorSim_WaitSettled(m);
    EXPECT_EQ(VelkorSim_MacroRunning(m), 1);
    EXPECT_EQ(VelkorSim_AdvanceUntilProgramEnds(m, 10000), 0); // 10 ms of the 30
    EXPECT_EQ(VelkorSim_AdvanceUntilProgramEnds(m, 1000000), 1);
    EXPECT_EQ(Velkor_READ_VAR(1, 6), 66);
    EXPECT_NEAR(VelkorSim_Now(m), 0.030, 0.0015);
    VelkorSim_Unplug(m);
    brelan::Reset();
}

} // namespace
} // namespace velkor_sim_test
