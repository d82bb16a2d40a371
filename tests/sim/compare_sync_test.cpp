// Position compare, synchronous actions, latch, preset and output bits, end
// to end through the exports on the manual clock.
#include "machine_fixture.h"

#include <velkor_sim/velkor_sim.h>

#include <cstdlib>

namespace velkor_sim_test {
namespace {

constexpr std::uint8_t kCompareFactor = 0x10;
constexpr std::uint8_t kSyncFactor = 0x40;

// Triggers and actions of SYNC_ACTION.
enum : std::uint8_t { kClear = 0, kOnCompare = 1, kOnDriveEnd = 2, kOnRise = 3, kOnFall = 4, kOnDriveStart = 5 };
enum : std::uint8_t { kStart = 1, kStopSuddenly = 2, kStopSlowly = 3, kLatchLp = 4, kLatchEp = 5, kOutput = 6, kMove = 7, kPreset = 8 };

class CompareSync : public Machine {
protected:
    void SetUp() override
    {
        Machine::SetUp();
        // One pulse per millisecond on every axis, at once.
        for (std::uint8_t axis : {1, 2, 4, 8}) {
            Velkor_SET_SV(kCard, axis, 1000);
            Velkor_SET_V(kCard, axis, 1000);
        }
    }
    void Sync(std::uint8_t source, std::uint8_t trigger, std::int32_t value, std::uint8_t targets, std::uint8_t action,
              std::uint8_t output = 0, std::uint8_t level = 0, std::uint8_t repeat = 0, std::uint8_t input = 0)
    {
        Velkor_SYNC_ACTION(kCard, source, trigger, static_cast<std::uint32_t>(value), targets, action, output, level,
                           repeat, input, 0, 0, 0);
    }
    void EnableFactors(std::uint8_t factors)
    {
        Velkor_INTFACTOR_ENABLE(kCard, factors, 0, 0);
        Velkor_ENABLE_INT(kCard);
    }
    // Steps until axis 0's output bit comes on; false if it never does.
    bool StepUntilOutput(int axisIndex, std::uint8_t bit, int limitMs = 10000)
    {
        for (int i = 0; i < limitMs; ++i) {
            Step();
            if (module->Outputs(axisIndex) & bit) {
                return true;
            }
        }
        return false;
    }
};

TEST_F(CompareSync, CompareFiresWithinOnePulseAndRaisesItsFactor)
{
    EnableFactors(kCompareFactor);
    Velkor_SET_COMPARE(kCard, 1, 0, 1, 1234); // axis 1, output bit 0, upward on LP
    Velkor_FIXED_MOVE(kCard, 1, 3000);
    Step();
    EXPECT_EQ(Velkor_INTERRUPT_RETURN_CODE(kCard), 0);
    ASSERT_TRUE(StepUntilOutput(0, 0x01));
    EXPECT_LE(std::abs(Velkor_GET_LP(kCard, 1) - 1234), 1);
    EXPECT_EQ(Velkor_INTERRUPT_RETURN_CODE(kCard), kCompareFactor);
    ASSERT_TRUE(RunToStop());
    EXPECT_EQ(Velkor_INTERRUPT_RETURN_CODE(kCard) & kCompareFactor, 0); // once per crossing
    EXPECT_EQ(module->Outputs(0), 0x01);                                // the bit stays on
    Velkor_SET_OUT(kCard, 1, 0, 0);
    EXPECT_EQ(Velkor_GET_ERROR(kCard), 0);
    EXPECT_EQ(module->Outputs(0), 0);
}

TEST_F(CompareSync, CompareFactorOnlyWhenEnabled)
{
    Velkor_ENABLE_INT(kCard);
    Velkor_SET_COMPARE(kCard, 2, 8, 2, -100); // axis 2, no output bit, downward
    Sync(2, kOnCompare, 5, 8, kMove, 0, 0, 1);
    Velkor_FIXED_MOVE(kCard, 2, -300);
    ASSERT_TRUE(RunToStop());
    EXPECT_EQ(Velkor_INTERRUPT_RETURN_CODE(kCard), 0); // neither the compare's nor the action's factor
    EXPECT_EQ(module->Outputs(1), 0);
    EXPECT_EQ(Velkor_GET_LP(kCard, 8), 5);
    // Enabled now: back up and down again.
    Velkor_INTFACTOR_ENABLE(kCard, kCompareFactor, 0, 0);
    Velkor_FIXED_MOVE(kCard, 2, 300);
    ASSERT_TRUE(RunToStop());
    EXPECT_EQ(Velkor_INTERRUPT_RETURN_CODE(kCard), 0); // upward does not fire a downward compare
    Velkor_FIXED_MOVE(kCard, 2, -300);
    ASSERT_TRUE(RunToStop());
    EXPECT_EQ(Velkor_INTERRUPT_RETURN_CODE(kCard), kCompareFactor); // and not the action's
    EXPECT_EQ(Velkor_GET_LP(kCard, 8), 10);
}

TEST_F(CompareSync, SyncActionStartsTheSecondAxisAtTheCompare)
{
    EnableFactors(kSyncFactor);
    Velkor_DRV_HOLD(kCard, 2);
    Velkor_FIXED_MOVE(kCard, 2, 500); // held back
    Velkor_SET_COMPARE(kCard, 1, 0, 1, 1000);
    Sync(1, kOnCompare, 0, 2, kStart);
    Velkor_FIXED_MOVE(kCard, 1, 2000);
    std::int32_t axis1AtStart = -1;
    for (int i = 0; i < 3000 && axis1AtStart < 0; ++i) {
        const std::int32_t lp1 = Velkor_GET_LP(kCard, 1);
        Step();
        if (Velkor_GET_LP(kCard, 2) != 0) {
            axis1AtStart = lp1;
        } else if (lp1 < 999) {
            EXPECT_EQ(Velkor_INTERRUPT_RETURN_CODE(kCard), 0) << lp1;
        }
    }
    EXPECT_EQ(Velkor_INTERRUPT_RETURN_CODE(kCard), kSyncFactor);
    // The second axis moved in the step after the one in which the first crossed 1000.
    EXPECT_NEAR(axis1AtStart, 1000, 1);
    ASSERT_TRUE(RunToStop());
    EXPECT_EQ(Velkor_GET_LP(kCard, 2), 500);
    EXPECT_EQ(Velkor_GET_LP(kCard, 1), 2000);
}

TEST_F(CompareSync, SyncActionRaisesItsFactorOnce)
{
    EnableFactors(kSyncFactor);
    Velkor_SET_COMPARE(kCard, 1, 0, 3, 100);
    Sync(1, kOnCompare, 25, 4, kMove); // one shot
    Velkor_FIXED_MOVE(kCard, 1, 200);
    ASSERT_TRUE(RunToStop());
    EXPECT_EQ(Velkor_INTERRUPT_RETURN_CODE(kCard), kSyncFactor);
    Velkor_FIXED_MOVE(kCard, 1, -200); // crosses again: the action is done with
    ASSERT_TRUE(RunToStop());
    EXPECT_EQ(Velkor_INTERRUPT_RETURN_CODE(kCard), 0);
    EXPECT_EQ(Velkor_GET_LP(kCard, 4), 25);
}

TEST_F(CompareSync, RepeatedActionRunsOnEveryTrigger)
{
    Velkor_SET_COMPARE(kCard, 1, 0, 3, 100); // either way
    Sync(1, kOnCompare, 10, 8, kMove, 0, 0, 1);
    for (int i = 0; i < 3; ++i) {
        Velkor_FIXED_MOVE(kCard, 1, 200);
        ASSERT_TRUE(RunToStop());
        Velkor_FIXED_MOVE(kCard, 1, -200);
        ASSERT_TRUE(RunToStop());
    }
    EXPECT_EQ(Velkor_GET_LP(kCard, 8), 60);
    Sync(1, kClear, 0, 0, 0); // no more
    Velkor_FIXED_MOVE(kCard, 1, 200);
    ASSERT_TRUE(RunToStop());
    EXPECT_EQ(Velkor_GET_LP(kCard, 8), 60);
}

TEST_F(CompareSync, LatchReturnsTheTriggerPosition)
{
    Velkor_SET_V(kCard, 2, 3000);
    Velkor_SET_SV(kCard, 2, 3000);
    Velkor_SET_COMPARE(kCard, 1, 8, 1, 777);
    Sync(1, kOnCompare, 0, 1 | 2, kLatchLp);
    Velkor_FIXED_MOVE(kCard, 1, 1500);
    Velkor_FIXED_MOVE(kCard, 2, 4500);
    ASSERT_TRUE(RunToStop());
    EXPECT_EQ(Velkor_GET_LATCH(kCard, 1), 777);         // exactly the compare position
    EXPECT_NEAR(Velkor_GET_LATCH(kCard, 2), 3 * 777, 3); // where axis 2 was at that moment
    EXPECT_EQ(Velkor_GET_LP(kCard, 2), 4500);
}

TEST_F(CompareSync, InputEdgeLatchesTheEncoderCounter)
{
    Velkor_SET_EP(kCard, 1, 5000);
    Sync(1, kOnRise, 0, 1, kLatchEp, 0, 0, 0, 9); // general input 9
    Velkor_CONTINUE_MOVE(kCard, 1, -1);
    Step(250);
    const std::int32_t before = Velkor_GET_EP(kCard, 1);
    module->SetInputs(0, 0x0200);
    Step();
    EXPECT_NEAR(Velkor_GET_LATCH(kCard, 1), before - 1, 1);
    Velkor_STOP_SUDDENLY(kCard, 1);
    EXPECT_TRUE(RunToStop());
}

TEST_F(CompareSync, DriveEndAndDriveStartTriggers)
{
    Sync(1, kOnDriveEnd, -300, 2, kMove);
    Sync(1, kOnDriveStart, 0, 1, kOutput, 5, 1);
    Velkor_FIXED_MOVE(kCard, 1, 200);
    Step();
    EXPECT_EQ(module->Outputs(0), 0x20);
    ASSERT_TRUE(RunToStop());
    EXPECT_EQ(Velkor_GET_LP(kCard, 1), 200);
    EXPECT_EQ(Velkor_GET_LP(kCard, 2), -300);
}

TEST_F(CompareSync, InputFallStopsAnAxisAndDriveEndPresetsIt)
{
    module->SetInputs(2, 0x0100); // general input 8
    Sync(4, kOnFall, 0, 4, kStopSlowly, 0, 0, 0, 8);
    Sync(4, kOnDriveEnd, 0, 4, kPreset);
    Velkor_CONTINUE_MOVE(kCard, 4, 1);
    Step(100);
    EXPECT_TRUE(Ax(2).driving);
    module->SetInputs(2, 0x0000);
    ASSERT_TRUE(RunToStop());
    EXPECT_EQ(Velkor_GET_LP(kCard, 4), 0); // preset when its motion ended
}

TEST_F(CompareSync, StartActionMovesAnIdleAxisByItsPulseValue)
{
    Velkor_SET_PULSE(kCard, 8, 700);
    Velkor_SET_COMPARE(kCard, 1, 1, 1, 50);
    Sync(1, kOnCompare, 0, 8, kStart);
    Sync(1, kOnCompare, 0, 1, kStopSuddenly);
    Velkor_FIXED_MOVE(kCard, 1, 100000);
    ASSERT_TRUE(RunToStop());
    EXPECT_NEAR(Velkor_GET_LP(kCard, 1), 51, 1); // stopped by its own compare
    EXPECT_EQ(Velkor_GET_LP(kCard, 8), 700);
}

TEST_F(CompareSync, PresetSetsTheCountersItNames)
{
    Velkor_SET_PRESET(kCard, 0x01, 100);          // LP of axis 1
    Velkor_SET_PRESET(kCard, 0x20 | 0x02, -200);  // EP of axis 2
    Velkor_SET_PRESET(kCard, 0x30 | 0x0C, 300);   // both counters of axes 3 and 4
    EXPECT_EQ(Velkor_GET_LP(kCard, 1), 100);
    EXPECT_EQ(Velkor_GET_EP(kCard, 1), 0);
    EXPECT_EQ(Velkor_GET_LP(kCard, 2), 0);
    EXPECT_EQ(Velkor_GET_EP(kCard, 2), -200);
    EXPECT_EQ(Velkor_GET_LP(kCard, 4), 300);
    EXPECT_EQ(Velkor_GET_EP(kCard, 8), 300);
    // A preset over a compare value crosses it.
    Velkor_SET_COMPARE(kCard, 1, 4, 1, 1000);
    Velkor_SET_PRESET(kCard, 0x01, 5000);
    module->WaitSettled();
    EXPECT_EQ(module->Outputs(0), 0x10);
    EXPECT_TRUE(Unusable().empty());
}

TEST_F(CompareSync, OutputBitsSetAndClear)
{
    Velkor_SET_OUT(kCard, 8, 7, 1);
    Velkor_SET_OUT(kCard, 8 | 1, 2, 1);
    Velkor_SET_OUT(kCard, 8, 7, 0);
    module->WaitSettled();
    EXPECT_EQ(module->Outputs(3), 0x04);
    EXPECT_EQ(module->Outputs(0), 0x04);
}

TEST_F(CompareSync, ValuesTheModuleCannotUseAreRefusedAndListed)
{
    Velkor_SET_OUT(kCard, 1, 8, 1);         // no bit 8
    Velkor_SET_OUT(kCard, 1, 0, 2);         // no level 2
    Velkor_SET_COMPARE(kCard, 3, 0, 1, 0);  // two axes
    Velkor_SET_COMPARE(kCard, 1, 0, 4, 0);  // EP with no direction
    Velkor_SET_PRESET(kCard, 0x41, 0);      // no such counter
    Sync(1, 9, 0, 2, kMove);                // no such trigger
    Sync(1, kOnCompare, 0, 2, 99);          // no such action
    Sync(1, kOnCompare, 0, 0, kMove);       // no target
    Velkor_SYNC_ACTION(kCard, 1, kOnCompare, 0, 2, kMove, 0, 0, 0, 0, 1, 0, 0); // a reserved byte set
    const auto listed = Unusable();
    EXPECT_EQ(listed.at(115), 2u);
    EXPECT_EQ(listed.at(112), 2u);
    EXPECT_EQ(listed.at(114), 1u);
    EXPECT_EQ(listed.at(111), 4u); // under the second packet of SYNC_ACTION
    EXPECT_EQ(Velkor_GET_ERROR_CODE(kCard, 1), 0x0008);
    // None of them took effect.
    Velkor_FIXED_MOVE(kCard, 1, 100);
    ASSERT_TRUE(RunToStop());
    EXPECT_EQ(Velkor_GET_LP(kCard, 2), 0);
    EXPECT_EQ(module->Outputs(0), 0);
}

TEST_F(CompareSync, ResetCardClearsComparesAndActionsButKeepsOutputs)
{
    Velkor_SET_OUT(kCard, 1, 1, 1);
    Velkor_SET_COMPARE(kCard, 1, 0, 1, 10);
    Sync(1, kOnCompare, 100, 2, kMove);
    Velkor_RESET_CARD(kCard);
    Velkor_SET_SV(kCard, 1, 1000);
    Velkor_SET_V(kCard, 1, 1000);
    Velkor_FIXED_MOVE(kCard, 1, 50);
    ASSERT_TRUE(RunToStop());
    EXPECT_EQ(module->Outputs(0), 0x02);
    EXPECT_EQ(Velkor_GET_LP(kCard, 2), 0);
}

TEST(CompareSyncC, OutputsAndTheRemoteLoopbackFromC)
{
    brelan::Reset();
    VelkorSimModule* m = VelkorSim_Plug(5, 50.0);
    ASSERT_NE(m, nullptr);
    ASSERT_EQ(Velkor_REGISTRATION(1, 5), 1);
    Velkor_SET_OUT(1, 2, 6, 1);
    Velkor_QUORL_OUT(1, 9, 0x00012345);
    EXPECT_EQ(Velkor_QUORL_IN(1, 9), 0); // nothing wired
    VelkorSim_SetRemoteLoopback(m, 1);
    EXPECT_EQ(Velkor_QUORL_IN(1, 9), 0x2345);
    EXPECT_EQ(VelkorSim_Outputs(m, 1), 0x40);
    EXPECT_EQ(VelkorSim_Outputs(m, 4), 0);
    EXPECT_EQ(VelkorSim_Outputs(nullptr, 1), 0);
    VelkorSim_SetStrict(nullptr, 1); // ignored
    VelkorSim_Unplug(m);
}

} // namespace
} // namespace velkor_sim_test
