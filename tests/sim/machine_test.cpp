// The machine around the axes, through the library's exports on the manual
// clock: limit switches, servo, alarm, encoder, in-position, the input word
// and the axis settings that shape the drive.
#include "axes_fixture.h"

#include <velkor_sim/velkor_sim.h>

#include <cmath>
#include <cstdlib>

namespace velkor_sim_test {
namespace {

using velkor_sim::MachineAxis;
namespace err = velkor_sim::error;
namespace in = velkor_sim::input;

MachineAxis PlusLimitAt(std::int32_t at)
{
    MachineAxis m;
    m.plusLimit = at;
    return m;
}

TEST_F(MachineTest, AMoveIntoALimitStopsAtTheSwitchAndTheMoveAwayWorks)
{
    Layout(0, PlusLimitAt(5000));
    Profile(1, 500, 20000, 200000);
    EnableFactors(kLimitFactor);
    Velkor_FIXED_MOVE(kCard, 1, 8000);
    ASSERT_TRUE(RunToStop(1));
    EXPECT_EQ(Velkor_GET_LP(kCard, 1), 5000);
    EXPECT_EQ(Errors(1), err::kHardLimitPlus);
    EXPECT_TRUE(Input(1, in::kPlusLimit));
    EXPECT_EQ(Code(), kLimitFactor);

    // Further in is refused at once, and says so again.
    Velkor_FIXED_MOVE(kCard, 1, 100);
    EXPECT_EQ(Velkor_STOP_WAIT(kCard, 1), 1);
    EXPECT_EQ(Velkor_GET_LP(kCard, 1), 5000);
    EXPECT_EQ(Code(), kLimitFactor);

    Velkor_CLEAR_STOP(kCard);
    Velkor_FIXED_MOVE(kCard, 1, -1000);
    ASSERT_TRUE(RunToStop(1));
    EXPECT_EQ(Velkor_GET_LP(kCard, 1), 4000);
    EXPECT_EQ(Errors(1), 0);
    EXPECT_FALSE(Input(1, in::kPlusLimit));
    EXPECT_EQ(Code(), 0); // only the enabled factor: the drive end is not
}

TEST_F(MachineTest, TheMinusLimitStopsAContinuousMoveAndAPathAlike)
{
    MachineAxis m;
    m.minusLimit = -3000;
    Layout(1, m);
    Profile(2, 500, 10000, 100000);
    Velkor_CONTINUE_MOVE(kCard, 2, -1);
    ASSERT_TRUE(RunToStop(2));
    EXPECT_EQ(Velkor_GET_LP(kCard, 2), -3000);
    EXPECT_EQ(Errors(2), err::kHardLimitMinus);

    Velkor_CLEAR_STOP(kCard);
    Velkor_SET_LP(kCard, 2, 0);
    Velkor_SET_LP(kCard, 1, 0);
    m.minusLimit = -10000000;
    Layout(1, m);
    Layout(0, PlusLimitAt(2000));
    Velkor_SET_VV(kCard, 5000);
    Velkor_LINE_2D(kCard, 4000, -4000); // axis 1 meets its limit half way
    ASSERT_TRUE(RunToStop(1 | 2));
    // A path stops in the step that reaches the switch.
    EXPECT_NEAR(Velkor_GET_LP(kCard, 1), 2000, 4);
    EXPECT_NEAR(Velkor_GET_LP(kCard, 2), -Velkor_GET_LP(kCard, 1), 1);
    EXPECT_EQ(Errors(1), err::kHardLimitPlus);
}

TEST_F(MachineTest, LimitStopModeDecidesBetweenStoppingAtOnceAndBraking)
{
    struct Case {
        std::uint8_t mode;
        std::int32_t low, high; // where the axis comes to rest
    };
    // 10000 pulses per second braked with 100000 per second squared: about
    // 500 pulses of braking distance.
    for (const Case& c : {Case{0, 5000, 5000}, Case{1, 5300, 5600}}) {
        SCOPED_TRACE(c.mode);
        Layout(0, PlusLimitAt(5000));
        Velkor_FIXED_MOVE(kCard, 1, -module.Axis(0).machine); // away from the limit: allowed
        ASSERT_TRUE(RunToStop(1));
        Velkor_SET_LP(kCard, 1, 0);
        Velkor_CLEAR_STOP(kCard);
        Velkor_LIMITSTOP_MODE(kCard, 1, c.mode);
        Profile(1, 100, 10000, 100000);
        Velkor_CONTINUE_MOVE(kCard, 1, 1);
        ASSERT_TRUE(RunToStop(1));
        EXPECT_GE(Velkor_GET_LP(kCard, 1), c.low);
        EXPECT_LE(Velkor_GET_LP(kCard, 1), c.high);
        EXPECT_EQ(Errors(1), err::kHardLimitPlus);
    }
}

TEST_F(MachineTest, BrakingAtASoftLimitCountsTheOverrunInLp)
{
    // 1000 pulses per second braked to 100 with 10000 per second squared:
    // 49.5 pulses past the limit.
    Profile(1, 100, 1000, 10000);
    Velkor_SET_SLMT(kCard, 1, 300, -300, 1);
    EnableFactors(kLimitFactor);
    Velkor_FIXED_MOVE(kCard, 1, 2000);
    ASSERT_TRUE(RunToStop(1));
    EXPECT_NEAR(Velkor_GET_LP(kCard, 1), 350, 2);
    EXPECT_EQ(module.Axis(0).motor, module.Axis(0).lp);
    EXPECT_EQ(Errors(1), err::kSoftLimitPlus);
    EXPECT_EQ(Code(), kLimitFactor);
    // The way back starts where the axis really is.
    const std::int32_t at = Velkor_GET_LP(kCard, 1);
    Velkor_FIXED_MOVE(kCard, 1, -100);
    ASSERT_TRUE(RunToStop(1));
    EXPECT_EQ(Velkor_GET_LP(kCard, 1), at - 100);
    EXPECT_EQ(Velkor_GET_EP(kCard, 1), at - 100);
}

TEST_F(MachineTest, LimitSettingsSwitchTheInputsOffOrInvertTheirLevel)
{
    Layout(0, PlusLimitAt(1000));
    Profile(1, 1000, 20000, 0);
    Velkor_SET_HLMT(kCard, 1, 0, 1); // limits not acted on
    Velkor_FIXED_MOVE(kCard, 1, 3000);
    ASSERT_TRUE(RunToStop(1));
    EXPECT_EQ(Velkor_GET_LP(kCard, 1), 3000);
    EXPECT_EQ(Errors(1), 0);
    EXPECT_TRUE(Input(1, in::kPlusLimit)); // the level is still there to read

    // Active low with normally open switches: a switch not actuated reads as
    // a limit, so the axis may not move towards it.
    Velkor_FIXED_MOVE(kCard, 1, -3000);
    ASSERT_TRUE(RunToStop(1));
    Velkor_SET_HLMT(kCard, 1, 1, 0);
    Velkor_FIXED_MOVE(kCard, 1, -10);
    ASSERT_TRUE(RunToStop(1));
    EXPECT_EQ(Velkor_GET_LP(kCard, 1), 0);
    EXPECT_EQ(Errors(1), err::kHardLimitMinus);

    // The same with normally closed switches is what the setting is for.
    Velkor_CLEAR_STOP(kCard);
    MachineAxis closed = PlusLimitAt(1000);
    closed.normallyClosed = in::kPlusLimit | in::kMinusLimit;
    Layout(0, closed);
    EXPECT_TRUE(Input(1, in::kPlusLimit));
    Velkor_FIXED_MOVE(kCard, 1, 3000);
    ASSERT_TRUE(RunToStop(1));
    EXPECT_EQ(Velkor_GET_LP(kCard, 1), 1000);
    EXPECT_FALSE(Input(1, in::kPlusLimit));
}

TEST_F(MachineTest, ServoOffRefusesMotionAndStopsAMoveUnderWay)
{
    Profile(1, 500, 10000, 100000);
    Velkor_SERVO_OFF(kCard, 1);
    Velkor_FIXED_MOVE(kCard, 1, 1000);
    EXPECT_EQ(Velkor_STOP_WAIT(kCard, 1), 1);
    module.Advance(std::chrono::milliseconds(100));
    EXPECT_EQ(Velkor_GET_LP(kCard, 1), 0);
    EXPECT_EQ(Errors(1), err::kServoOff);
    EXPECT_FALSE(module.Axis(0).servoOn);

    Velkor_CLEAR_STOP(kCard);
    Velkor_SERVO_ON(kCard, 1);
    Velkor_CONTINUE_MOVE(kCard, 1, 1);
    module.Advance(std::chrono::milliseconds(200));
    const std::int32_t at = Velkor_GET_LP(kCard, 1);
    EXPECT_GT(at, 500);
    Velkor_SERVO_OFF(kCard, 1);
    EXPECT_EQ(Velkor_STOP_WAIT(kCard, 1), 1);
    module.Advance(std::chrono::milliseconds(100));
    EXPECT_EQ(Velkor_GET_LP(kCard, 1), at);
    EXPECT_EQ(Errors(1), err::kServoOff);

    // A path over an axis with its servo off stops before it moves.
    Velkor_CLEAR_STOP(kCard);
    Velkor_LINE_2D(kCard, 1000, 1000);
    ASSERT_TRUE(RunToStop(1 | 2));
    EXPECT_EQ(Velkor_GET_LP(kCard, 1), at);
    EXPECT_EQ(Errors(1), err::kServoOff);
}

TEST_F(MachineTest, AnAlarmMidMoveStopsTheAxisAndRefusesMotionWhileOn)
{
    Profile(8, 500, 10000, 100000);
    EnableFactors(kAlarmFactor | kDriveEnd);
    Velkor_CONTINUE_MOVE(kCard, 8, 1);
    module.Advance(std::chrono::milliseconds(200));
    module.SetDriveAlarm(3, true);
    const std::int32_t at = Velkor_GET_LP(kCard, 8);
    EXPECT_EQ(Velkor_STOP_WAIT(kCard, 8), 1);
    EXPECT_EQ(Errors(8), err::kServoAlarm);
    EXPECT_EQ(Code(), kAlarmFactor | kDriveEnd);
    EXPECT_TRUE(Input(8, in::kServoAlarm));

    Velkor_CLEAR_STOP(kCard);
    Velkor_FIXED_MOVE(kCard, 8, 100);
    module.Advance(std::chrono::milliseconds(100));
    EXPECT_EQ(Velkor_GET_LP(kCard, 8), at);
    EXPECT_EQ(Errors(8), err::kServoAlarm);
    EXPECT_EQ(Code(), 0); // a standing alarm is no new event

    // Alarm input ignored: the axis moves in spite of it.
    Velkor_CLEAR_STOP(kCard);
    Velkor_SET_ALARM(kCard, 8, 0, 1);
    Velkor_FIXED_MOVE(kCard, 8, 100);
    ASSERT_TRUE(RunToStop(8));
    EXPECT_EQ(Velkor_GET_LP(kCard, 8), at + 100);
    // Acted on again, and the alarm still on: it stops what comes next.
    Velkor_SET_ALARM(kCard, 8, 1, 1);
    EXPECT_EQ(Errors(8), err::kServoAlarm);
    EXPECT_EQ(Code(), kAlarmFactor | kDriveEnd); // the end of the move before, too
    module.SetDriveAlarm(3, false);
    Velkor_CLEAR_STOP(kCard);
    Velkor_FIXED_MOVE(kCard, 8, -100);
    ASSERT_TRUE(RunToStop(8));
    EXPECT_EQ(Velkor_GET_LP(kCard, 8), at);
    EXPECT_EQ(Errors(8), 0);
}

TEST_F(MachineTest, EncoderFollowsTheMotorWithItsLagAndMultiplier)
{
    MachineAxis m;
    m.followingTime = 0.01; // 10000 pulses per second lag by 100 pulses
    Layout(0, m);
    Velkor_SET_ENCODER(kCard, 1, 0, 4, 0); // A/B phase, times 4
    Profile(1, 10000, 10000, 0);
    Velkor_CONTINUE_MOVE(kCard, 1, 1);
    module.Advance(std::chrono::milliseconds(300));
    const std::int32_t lp = Velkor_GET_LP(kCard, 1);
    const std::int32_t ep = Velkor_GET_EP(kCard, 1);
    EXPECT_EQ(lp, 3000);
    EXPECT_NEAR(ep, 4 * (lp - 100), 4);
    EXPECT_NEAR(module.Axis(0).motor, lp - 100, 1);

    Velkor_STOP_SUDDENLY(kCard, 1);
    Velkor_CLEAR_STOP(kCard);
    module.Advance(std::chrono::milliseconds(200)); // the motor catches up
    EXPECT_EQ(Velkor_GET_EP(kCard, 1), 4 * 3000);
    EXPECT_EQ(Velkor_GET_LP(kCard, 1), 3000);

    // A preset moves neither the motor nor the other counter.
    Velkor_SET_LP(kCard, 1, 0);
    Velkor_SET_EP(kCard, 1, 0);
    module.Advance(std::chrono::milliseconds(10));
    EXPECT_EQ(Velkor_GET_EP(kCard, 1), 0);

    // Counting reversed, times 1 (0 is the plain count too).
    Velkor_SET_ENCODER(kCard, 1, 0, 0, 1);
    Velkor_FIXED_MOVE(kCard, 1, 500);
    ASSERT_TRUE(RunToStop(1));
    module.Advance(std::chrono::milliseconds(200));
    EXPECT_EQ(Velkor_GET_EP(kCard, 1), -500);
}

TEST_F(MachineTest, PulseDirectionReversedTurnsTheMotorTheOtherWay)
{
    Profile(2, 1000, 20000, 0);
    Velkor_SET_PULSE_MODE(kCard, 2, 2);
    Velkor_FIXED_MOVE(kCard, 2, 700);
    ASSERT_TRUE(RunToStop(2));
    EXPECT_EQ(Velkor_GET_LP(kCard, 2), 700);
    EXPECT_EQ(Velkor_GET_EP(kCard, 2), -700);
    // An encoder counting reversed as well puts them back in step.
    Velkor_SET_ENCODER(kCard, 2, 0, 1, 1);
    Velkor_FIXED_MOVE(kCard, 2, 300);
    ASSERT_TRUE(RunToStop(2));
    EXPECT_EQ(Velkor_GET_EP(kCard, 2), -400);
}

TEST_F(MachineTest, InPositionWaitKeepsStopWaitBusyUntilTheMotorArrives)
{
    MachineAxis m;
    m.followingTime = 0.02;
    m.inPositionBand = 2;
    Layout(0, m);
    Profile(1, 5000, 5000, 0);
    Velkor_SET_INPOS(kCard, 1, 1, 1);
    Velkor_FIXED_MOVE(kCard, 1, 1000); // 200 ms of pulses
    module.Advance(std::chrono::milliseconds(205));
    EXPECT_EQ(module.Axis(0).lp, 1000);
    EXPECT_EQ(Velkor_STOP_WAIT(kCard, 1), 0);
    EXPECT_FALSE(Input(1, in::kInPosition));
    ASSERT_TRUE(RunToStop(1));
    EXPECT_TRUE(Input(1, in::kInPosition));
    EXPECT_LE(std::fabs(module.Axis(0).motor - 1000), 2.0);
    const double settled = module.Now();
    EXPECT_GT(settled, 0.25);

    // Without the wait, STOP_WAIT reads 1 as soon as the pulses end.
    Velkor_SET_INPOS(kCard, 1, 0, 1);
    Velkor_FIXED_MOVE(kCard, 1, -1000);
    module.Advance(std::chrono::milliseconds(205));
    EXPECT_EQ(Velkor_STOP_WAIT(kCard, 1), 1);
}

TEST_F(MachineTest, TheInputWordShowsTheSwitchesAsTheAxisPasses)
{
    MachineAxis m;
    m.plusLimit = 900;
    m.minusLimit = -900;
    m.homeFrom = 100;
    m.homeTo = 200;
    m.nearHomeFrom = 50;
    m.nearHomeTo = 400;
    m.indexPitch = 1000;
    m.indexPhase = 300;
    Layout(2, m);
    Profile(4, 1000, 1000, 0);
    struct Row {
        std::int32_t lp;
        std::uint16_t word;
    };
    const Row rows[] = {
        {-900, in::kMinusLimit}, {0, 0},          {50, in::kNearHome},          {100, in::kHome | in::kNearHome},
        {200, in::kHome | in::kNearHome},          {201, in::kNearHome},         {300, in::kNearHome | in::kIndex},
        {401, 0},                {900, in::kPlusLimit},
    };
    Velkor_SET_HLMT(kCard, 4, 0, 1); // the test drives onto both limits
    for (const Row& r : rows) {
        SCOPED_TRACE(r.lp);
        Velkor_FIXED_MOVE(kCard, 4, r.lp - Velkor_GET_LP(kCard, 4));
        ASSERT_TRUE(RunToStop(4));
        ASSERT_EQ(Velkor_GET_LP(kCard, 4), r.lp);
        EXPECT_EQ(Velkor_GET_DI_ALL(kCard, 4), r.word | in::kInPosition);
    }
    EXPECT_TRUE(Input(4, in::kPlusLimit));
    EXPECT_FALSE(Input(4, in::kHome));
}

TEST_F(MachineTest, CounterRingWrapsTheReadingsOfARotaryAxis)
{
    Profile(1, 5000, 50000, 0);
    Velkor_VRING_ENABLE(kCard, 1, 3600);
    Velkor_FIXED_MOVE(kCard, 1, 4000);
    ASSERT_TRUE(RunToStop(1));
    EXPECT_EQ(Velkor_GET_LP(kCard, 1), 400);
    EXPECT_EQ(Velkor_GET_EP(kCard, 1), 400);
    Velkor_FIXED_MOVE(kCard, 1, -500);
    ASSERT_TRUE(RunToStop(1));
    EXPECT_EQ(Velkor_GET_LP(kCard, 1), 3500);
    Velkor_FIXED_MOVE(kCard, 1, -4000);
    ASSERT_TRUE(RunToStop(1));
    EXPECT_EQ(Velkor_GET_LP(kCard, 1), 3100);
    EXPECT_EQ(module.Axis(0).lp, -500); // the module counts on underneath
    Velkor_VRING_DISABLE(kCard, 1);
    EXPECT_EQ(Velkor_GET_LP(kCard, 1), -500);
}

TEST_F(MachineTest, TriangleAvoidanceLowersThePeakOfAShortMove)
{
    auto peak = [&](std::uint8_t avtri) {
        Velkor_SET_LP(kCard, 1, 0);
        avtri ? Velkor_AVTRI_ENABLE(kCard, 1) : Velkor_AVTRI_DISABLE(kCard, 1);
        Profile(1, 100, 100000, 100000);
        Velkor_FIXED_MOVE(kCard, 1, 10000); // a triangle without avoidance
        std::int32_t top = 0;
        while (Velkor_STOP_WAIT(kCard, 1) == 0) {
            module.Advance(std::chrono::milliseconds(5));
            top = std::max(top, Velkor_GET_CV(kCard, 1));
        }
        EXPECT_EQ(Velkor_GET_LP(kCard, 1), 10000);
        return top;
    };
    const std::int32_t without = peak(0);
    const std::int32_t with = peak(1);
    EXPECT_NEAR(without, 31600, 800); // sqrt(distance x acceleration)
    EXPECT_NEAR(with, 22400, 800);    // the ramps take half the distance
}

TEST_F(MachineTest, ExternalInputsDriveTheAxisInTheModeChosen)
{
    Profile(1, 1000, 20000, 0);
    Velkor_EXD_MP(kCard, 1, 10); // handwheel: 10 pulses a count
    module.WaitSettled(); // the packet is taken before the wheel turns
    module.TurnHandwheel(0, 5);
    module.TurnHandwheel(0, 3); // while it moves: lengthens the move
    ASSERT_TRUE(RunToStop(1));
    EXPECT_EQ(Velkor_GET_LP(kCard, 1), 80);
    module.PressJog(0, 1); // no effect in handwheel mode
    EXPECT_EQ(Velkor_STOP_WAIT(kCard, 1), 1);

    Velkor_EXD_FP(kCard, 1, 100); // a press moves 100 pulses
    module.WaitSettled();
    module.PressJog(0, -1);
    ASSERT_TRUE(RunToStop(1));
    EXPECT_EQ(Velkor_GET_LP(kCard, 1), -20);

    Velkor_EXD_CP(kCard, 1, 5000); // held: runs at 5000 per second
    module.WaitSettled();
    module.PressJog(0, 1);
    module.Advance(std::chrono::milliseconds(100));
    EXPECT_EQ(Velkor_GET_CV(kCard, 1), 5000);
    module.PressJog(0, 0);
    ASSERT_TRUE(RunToStop(1));
    EXPECT_NEAR(Velkor_GET_LP(kCard, 1), -20 + 500, 10);

    Velkor_EXD_DISABLE(kCard, 1);
    module.WaitSettled();
    const std::int32_t at = Velkor_GET_LP(kCard, 1);
    module.TurnHandwheel(0, 5);
    module.PressJog(0, 1);
    module.Advance(std::chrono::milliseconds(50));
    EXPECT_EQ(Velkor_GET_LP(kCard, 1), at);
}

TEST_F(MachineTest, EachMachineFactorIsRaisedOnlyWhenEnabledAndTheInterruptIsOn)
{
    struct Row {
        const char* what;
        std::uint8_t factor;
        void (*cause)(MachineTest&);
    };
    const Row rows[] = {
        {"limit", kLimitFactor, [](MachineTest& t) {
             t.Layout(0, PlusLimitAt(t.Sim().Axis(0).machine + 50));
             Velkor_FIXED_MOVE(kCard, 1, 100);
             ASSERT_TRUE(t.RunToStop(1));
             Velkor_FIXED_MOVE(kCard, 1, -100);
             ASSERT_TRUE(t.RunToStop(1));
         }},
        {"alarm", kAlarmFactor, [](MachineTest& t) {
             t.Sim().WaitSettled();
             t.Sim().SetDriveAlarm(0, true);
             t.Sim().SetDriveAlarm(0, false);
         }},
        {"homed", kHomedFactor, [](MachineTest& t) {
             t.Layout(0, velkor_sim::MachineAxis{}); // off the limit above: a homing into it is refused
             Velkor_SET_HOME_MODE(kCard, 1, 3, 1, 100, 0, 0); // index, towards +, creep = HV
             Velkor_HOME_START(kCard, 1);
             ASSERT_TRUE(t.RunToStop(1));
         }},
    };
    Profile(1, 1000, 20000, 0);
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        const std::uint8_t others = static_cast<std::uint8_t>(0xFF & ~r.factor);
        EnableFactors(others); // everything but this factor
        r.cause(*this);
        EXPECT_EQ(Code() & r.factor, 0);
        Velkor_INTFACTOR_ENABLE(kCard, r.factor, 0, 0);
        Velkor_DISABLE_INT(kCard); // enabled, but the interrupt is off
        r.cause(*this);
        EXPECT_EQ(Code(), 0);
        Velkor_ENABLE_INT(kCard);
        r.cause(*this);
        EXPECT_EQ(Code() & r.factor, r.factor);
        Velkor_INTFACTOR_DISABLE(kCard, 0xFF, 0);
        Velkor_CLEAR_STOP(kCard);
    }
}

TEST_F(MachineTest, SettingsOutsideTheirValuesAreRefusedWithTheBadCommandBit)
{
    struct Row {
        const char* what;
        void (*send)();
    };
    const Row rows[] = {
        {"pulse mode 4", [] { Velkor_SET_PULSE_MODE(kCard, 1, 4); }},
        {"HLMT 2", [] { Velkor_SET_HLMT(kCard, 1, 2, 0); }},
        {"HLMT level 2", [] { Velkor_SET_HLMT(kCard, 1, 1, 2); }},
        {"limit stop 2", [] { Velkor_LIMITSTOP_MODE(kCard, 1, 2); }},
        {"NHOME 2", [] { Velkor_SET_NHOME(kCard, 1, 2); }},
        {"home edge 2", [] { Velkor_SET_HOME_EDGE(kCard, 1, 2); }},
        {"encoder mode 2", [] { Velkor_SET_ENCODER(kCard, 1, 2, 1, 0); }},
        {"encoder times 3", [] { Velkor_SET_ENCODER(kCard, 1, 0, 3, 0); }},
        {"up/down times 4", [] { Velkor_SET_ENCODER(kCard, 1, 1, 4, 0); }},
        {"alarm 2", [] { Velkor_SET_ALARM(kCard, 1, 2, 1); }},
        {"in-position 2", [] { Velkor_SET_INPOS(kCard, 1, 1, 2); }},
        {"filter time 8", [] { Velkor_SET_FILTER(kCard, 1, 1, 8); }},
        {"ring 0", [] { Velkor_VRING_ENABLE(kCard, 1, 0); }},
        {"handwheel 0", [] { Velkor_EXD_MP(kCard, 1, 0); }},
        {"fixed pulse 0", [] { Velkor_EXD_FP(kCard, 1, 0); }},
        {"HV 0", [] { Velkor_SET_HV(kCard, 1, 0); }},
        {"home mode 4", [] { Velkor_SET_HOME_MODE(kCard, 1, 4, 0, 10, 0, 0); }},
        {"home creep 101", [] { Velkor_SET_HOME_MODE(kCard, 1, 0, 0, 101, 0, 0); }},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        r.send();
        EXPECT_EQ(Errors(1), err::kBadCommand);
        EXPECT_EQ(Errors(2), 0);
        Velkor_CLEAR_STOP(kCard);
    }
    // Nothing was changed: the axis still moves and counts as before.
    Profile(1, 1000, 20000, 0);
    Velkor_FIXED_MOVE(kCard, 1, 100);
    ASSERT_TRUE(RunToStop(1));
    EXPECT_EQ(Velkor_GET_EP(kCard, 1), 100);
    EXPECT_TRUE(module.Unsimulated().empty());
}

TEST_F(MachineTest, ResetCardPutsTheSettingsBackButKeepsTheMachine)
{
    Velkor_SERVO_OFF(kCard, 1);
    Velkor_SET_ENCODER(kCard, 1, 0, 4, 0);
    Velkor_SET_HLMT(kCard, 1, 0, 0);
    Layout(0, PlusLimitAt(300));
    Velkor_RESET_CARD(kCard);
    EXPECT_TRUE(module.Axis(0).servoOn);
    EXPECT_EQ(module.Machine(0).plusLimit, 300);
    Profile(1, 1000, 20000, 0);
    Velkor_FIXED_MOVE(kCard, 1, 1000);
    ASSERT_TRUE(RunToStop(1));
    EXPECT_EQ(Velkor_GET_LP(kCard, 1), 300); // limits acted on again
    EXPECT_EQ(Velkor_GET_EP(kCard, 1), 300); // times 1 again
}

} // namespace
} // namespace velkor_sim_test

namespace velkor_sim_test {
namespace {

// The C set-up calls reach the same machine (on the real-time clock).
TEST(MachineCApi, SetsTheMachineAndTheDriveOfAnAxis)
{
    brelan::Reset();
    VelkorSimModule* m = VelkorSim_Plug(5, 1.0);
    ASSERT_NE(m, nullptr);
    ASSERT_EQ(Velkor_REGISTRATION(1, 5), 1);
    VelkorSimMachineAxis axis{};
    ASSERT_EQ(VelkorSim_GetMachine(m, 2, &axis), 1);
    const velkor_sim::MachineAxis defaults;
    EXPECT_EQ(axis.plus_limit, defaults.plusLimit);
    EXPECT_EQ(axis.home_from, defaults.homeFrom);
    EXPECT_EQ(axis.index_pitch, defaults.indexPitch);
    EXPECT_EQ(axis.encoder_ratio, defaults.encoderRatio);
    axis.home_from = -10;
    axis.home_to = 10;
    axis.encoder_ratio = -1; // cannot be run on: back to its default
    ASSERT_EQ(VelkorSim_SetMachine(m, 2, &axis), 1);
    VelkorSimMachineAxis back{};
    ASSERT_EQ(VelkorSim_GetMachine(m, 2, &back), 1);
    EXPECT_EQ(back.home_from, -10);
    EXPECT_EQ(back.encoder_ratio, 1.0);
    EXPECT_EQ(Velkor_GET_DI(1, 4, 2), 1); // the home switch, at machine position 0
    VelkorSim_SetDriveAlarm(m, 2, 1);
    EXPECT_EQ(Velkor_GET_DI(1, 4, 5), 1);
    EXPECT_EQ(Velkor_GET_ERROR_CODE(1, 4), velkor_sim::error::kServoAlarm);
    EXPECT_EQ(VelkorSim_GetMachine(m, 4, &back), 0);
    EXPECT_EQ(VelkorSim_SetMachine(m, -1, &axis), 0);
    EXPECT_EQ(VelkorSim_GetMachine(nullptr, 0, &back), 0);
    EXPECT_EQ(VelkorSim_SetMachine(m, 0, nullptr), 0);
    VelkorSim_SetDriveAlarm(nullptr, 0, 1);
    VelkorSim_Unplug(m);
}

} // namespace
} // namespace velkor_sim_test
