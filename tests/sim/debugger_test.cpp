// The debugger through the library's exports: factor 5 before every step,
// the debug byte and word, CONTINUE_DEBUG and STOP_DEBUG, and the interrupt
// routine armed with ISR_DEBUG.
#include "macro_fixture.h"

#include <utility>
#include <vector>

namespace velkor_sim_test {
namespace {

constexpr std::uint32_t kWait = 2000; // ms, generous: the service thread reacts within a few

struct Event {
    std::uint8_t byte;
    std::uint16_t word;
    bool operator==(const Event& o) const { return byte == o.byte && word == o.word; }
};

void PrintTo(const Event& e, std::ostream* os) { *os << "(" << unsigned(e.byte) << ", " << e.word << ")"; }

class Debugger : public MacroTest {
protected:
    void SetUp() override
    {
        MacroTest::SetUp();
        StartInterrupts(0); // MP_DEBUG switches factor 5 on itself
    }
    Event Wait(std::uint32_t count = kWait)
    {
        Event e{0, 0};
        Velkor_DEBUG_WAIT(kCard, count, &e.byte, &e.word);
        return e;
    }
    Event Info()
    {
        Event e{0, 0};
        Velkor_DEBUG_INFO(kCard, &e.byte, &e.word);
        return e;
    }
    // Steps the debugged run to its end, collecting every event.
    std::vector<Event> StepToEnd(std::size_t limit = 100)
    {
        std::vector<Event> seen;
        for (std::size_t i = 0; i < limit; ++i) {
            const Event e = Wait();
            seen.push_back(e);
            if (e.byte < 12 || e.byte == 255) { // not a step's code: the run has ended, or a time-out
                break;
            }
            Velkor_CONTINUE_DEBUG(kCard);
        }
        return seen;
    }
};

TEST_F(Debugger, VisitsEveryStepWithItsCodeAndIndex)
{
    Velkor_MP_CREATE(kCard, 3);
    Velkor_MP_SET_VAR(kCard, 1, 0);
    Velkor_MP_SET_VAR(kCard, 2, 1);
    Velkor_MP_FOR(kCard, 2);
    Velkor_MP_VAR_CALCULATE(kCard, 1, '+', 1, 2);
    Velkor_MP_NEXT(kCard);
    Velkor_MP_IF(kCard, 1, '=', 2);
    Velkor_MP_SET_VAR(kCard, 3, 1);
    Velkor_MP_ELSE(kCard);
    Velkor_MP_SET_VAR(kCard, 3, 2);
    Velkor_MP_IF_END(kCard);
    Velkor_MP_CLOSE(kCard);
    Velkor_MP_DEBUG(kCard, 3);
    const std::vector<Event> expected = {
        {210, 0}, {210, 1}, {213, 2}, {212, 3}, {214, 4}, {212, 3}, {214, 4},
        {215, 5}, {210, 8}, {217, 9}, // 2 == 1 is false: the ELSE branch, then IF_END
        {0, 10},                      // the end: byte 0, the word the step count
    };
    EXPECT_EQ(StepToEnd(), expected);
    EXPECT_EQ(Velkor_READ_VAR(kCard, 1), 2);
    EXPECT_EQ(Velkor_READ_VAR(kCard, 3), 2);
    EXPECT_FALSE(module.MacroRun().running);
    EXPECT_EQ(Info(), (Event{0, 10}));
    EXPECT_EQ(Wait(10), (Event{255, 1})); // nothing more: the host's time-out values
}

TEST_F(Debugger, EachStepRunsOnlyOnContinue)
{
    Velkor_MP_CREATE(kCard, 1);
    Velkor_MP_SET_VAR(kCard, 1, 11);
    Velkor_MP_SET_VAR(kCard, 1, 22);
    Velkor_MP_CLOSE(kCard);
    Velkor_MP_DEBUG(kCard, 1);
    EXPECT_EQ(Wait(), (Event{210, 0}));
    module.Advance(500ms); // time alone does not move a paused run
    EXPECT_EQ(Velkor_READ_VAR(kCard, 1), 0);
    EXPECT_TRUE(module.MacroRun().paused);
    Velkor_CONTINUE_DEBUG(kCard);
    EXPECT_EQ(Wait(), (Event{210, 1}));
    EXPECT_EQ(Velkor_READ_VAR(kCard, 1), 11);
    Velkor_CONTINUE_DEBUG(kCard);
    EXPECT_EQ(Wait(), (Event{0, 2}));
    EXPECT_EQ(Velkor_READ_VAR(kCard, 1), 22);
}

TEST_F(Debugger, StopDebugEndsTheRun)
{
    Velkor_MP_CREATE(kCard, 1);
    Velkor_MP_SET_VAR(kCard, 1, 1);
    Velkor_MP_SET_VAR(kCard, 2, 1);
    Velkor_MP_SET_VAR(kCard, 3, 1);
    Velkor_MP_CLOSE(kCard);
    Velkor_MP_DEBUG(kCard, 1);
    EXPECT_EQ(Wait(), (Event{210, 0}));
    Velkor_CONTINUE_DEBUG(kCard);
    EXPECT_EQ(Wait(), (Event{210, 1}));
    Velkor_STOP_DEBUG(kCard);
    EXPECT_FALSE(module.MacroRun().running);
    EXPECT_EQ(Info(), (Event{2, 1})); // stopped before step 1
    Velkor_CONTINUE_DEBUG(kCard);     // nothing left to continue
    EXPECT_EQ(Wait(10), (Event{255, 1}));
    EXPECT_EQ(Velkor_READ_VAR(kCard, 1), 1);
    EXPECT_EQ(Velkor_READ_VAR(kCard, 2), 0);
    EXPECT_EQ(Velkor_GET_ERROR_CODE(kCard, 1), 0);
}

TEST_F(Debugger, TimerStepWaitsInSimulatedTimeBeforeTheNextEvent)
{
    Velkor_MP_CREATE(kCard, 1);
    Velkor_MP_TIMER(kCard, 100);
    Velkor_MP_SET_VAR(kCard, 1, 1);
    Velkor_MP_CLOSE(kCard);
    Velkor_MP_DEBUG(kCard, 1);
    EXPECT_EQ(Wait(), (Event{218, 0}));
    Velkor_CONTINUE_DEBUG(kCard);
    EXPECT_EQ(Wait(10), (Event{255, 1})); // the timer runs
    EXPECT_EQ(Info(), (Event{218, 0}));
    module.Advance(100ms);
    EXPECT_EQ(Wait(), (Event{210, 1}));
    Velkor_CONTINUE_DEBUG(kCard);
    EXPECT_EQ(Wait(), (Event{0, 2}));
}

TEST_F(Debugger, DebugRegisterSurvivesHostPackets)
{
    Velkor_MP_CREATE(kCard, 1);
    Velkor_MP_SET_VAR(kCard, 1, 1);
    Velkor_MP_CLOSE(kCard);
    Velkor_MP_DEBUG(kCard, 1);
    EXPECT_EQ(Wait(), (Event{210, 0}));
    Velkor_SET_SLMT(kCard, 1, 0x7F7F7F7F, -1, 1); // fills the data area past byte 6
    Velkor_WRITE_VAR(kCard, 300, -1);
    EXPECT_EQ(Info(), (Event{210, 0}));
    Velkor_STOP_DEBUG(kCard);
}

TEST_F(Debugger, FaultsEndTheDebuggedRunWithAnEvent)
{
    Velkor_MP_DEBUG(kCard, 99); // no such program
    EXPECT_EQ(Wait(), (Event{1, 0}));
    EXPECT_EQ(Velkor_GET_ERROR_CODE(kCard, 1), velkor_sim::error::kProgramMissing);
    Velkor_CLEAR_STOP(kCard);

    Velkor_MP_CREATE(kCard, 1);
    Velkor_MP_SET_VAR(kCard, 1, 5);
    Velkor_MP_VAR_CALCULATE(kCard, 2, '/', 1, 3); // variable 3 is 0
    Velkor_MP_CLOSE(kCard);
    Velkor_MP_DEBUG(kCard, 1);
    EXPECT_EQ(Wait(), (Event{210, 0}));
    Velkor_CONTINUE_DEBUG(kCard);
    EXPECT_EQ(Wait(), (Event{212, 1}));
    Velkor_CONTINUE_DEBUG(kCard);
    EXPECT_EQ(Wait(), (Event{1, 1}));
    EXPECT_EQ(Velkor_GET_ERROR_CODE(kCard, 1), velkor_sim::error::kProgramMalformed);
}

TEST_F(Debugger, DebuggingFollowsIntoCalledPrograms)
{
    Velkor_MP_CREATE(kCard, 2);
    Velkor_MP_SET_VAR(kCard, 1, 1);
    Velkor_MP_CLOSE(kCard);
    Velkor_MP_CREATE(kCard, 1);
    Velkor_MP_CALL(kCard, 2);
    Velkor_MP_SET_RINT(kCard);
    Velkor_MP_CLOSE(kCard);
    Velkor_MP_DEBUG(kCard, 1);
    const std::vector<Event> expected = {{203, 0}, {210, 0}, {220, 1}, {0, 2}};
    EXPECT_EQ(StepToEnd(), expected);
}

TEST_F(Debugger, InterruptRoutineStartsOnTheNextEvent)
{
    Profile(1, 1000, 1000, 0);
    Velkor_MP_CREATE(kCard, 4);
    Velkor_MP_SET_VAR(kCard, 1, 7);
    Velkor_MP_CLOSE(kCard);
    Velkor_ISR_DEBUG(kCard, 4);
    module.WaitSettled();
    EXPECT_TRUE(module.MacroRun().routineArmed);
    EXPECT_EQ(Info(), (Event{3, 4})); // armed, waiting for program 4's event
    EXPECT_EQ(Wait(10), (Event{255, 1}));
    Velkor_FIXED_MOVE(kCard, 1, 20); // its end is the event (factor 0, enabled or not)
    ASSERT_TRUE(module.AdvanceUntilStopped(1, 1s));
    module.Advance(1ms);
    EXPECT_EQ(Wait(), (Event{210, 0}));
    EXPECT_FALSE(module.MacroRun().routineArmed);
    Velkor_CONTINUE_DEBUG(kCard);
    EXPECT_EQ(Wait(), (Event{0, 1}));
    EXPECT_EQ(Velkor_READ_VAR(kCard, 1), 7);
}

TEST_F(Debugger, StopDebugDisarmsTheRoutine)
{
    Velkor_MP_CREATE(kCard, 4);
    Velkor_MP_SET_VAR(kCard, 1, 7);
    Velkor_MP_CLOSE(kCard);
    Velkor_ISR_DEBUG(kCard, 4);
    Velkor_STOP_DEBUG(kCard);
    EXPECT_FALSE(module.MacroRun().routineArmed);
    Velkor_MP_SET_RINT(kCard); // an event, with no routine armed
    module.Advance(1ms);
    EXPECT_EQ(Wait(10), (Event{255, 1}));
    EXPECT_FALSE(module.MacroRun().running);
    EXPECT_EQ(Velkor_READ_VAR(kCard, 1), 0);
    Velkor_ISR_DEBUG(kCard, 5); // no such program
    EXPECT_EQ(Wait(), (Event{1, 0}));
    EXPECT_EQ(Velkor_GET_ERROR_CODE(kCard, 1), velkor_sim::error::kProgramMissing);
}

} // namespace
} // namespace velkor_sim_test
