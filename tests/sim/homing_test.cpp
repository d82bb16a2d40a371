// Homing on the machine's switches, through the library's exports on the
// manual clock. The default machine has its home switch from -5000 to -4000,
// its near-home switch from -5000 to -2000 and an index pulse every 1000
// pulses at 500 + k x 1000.
#include "axes_fixture.h"

namespace velkor_sim_test {
namespace {

using velkor_sim::MachineAxis;
namespace err = velkor_sim::error;
namespace in = velkor_sim::input;

class Homing : public MachineTest {
protected:
    void SetUp() override
    {
        MachineTest::SetUp();
        Profile(0x0F, 100, 20000, 100000);
    }
    // Homes the axes and runs until they stop; the position found is then
    // checked by stepping off it.
    void Home(std::uint8_t axes)
    {
        Velkor_HOME_START(kCard, axes);
        ASSERT_TRUE(RunToStop(axes));
    }
    // Moves by distance and runs until stopped.
    void Move(std::uint8_t axis, std::int32_t distance)
    {
        Velkor_FIXED_MOVE(kCard, axis, distance);
        ASSERT_TRUE(RunToStop(axis));
    }
};

TEST_F(Homing, HomeThenMoveCountsFromTheOffset)
{
    EnableFactors(kHomedFactor);
    Velkor_SET_HV(kCard, 1, 4000);
    Velkor_SET_HOME_MODE(kCard, 1, 0, 0, 10, 0, 1000); // home switch, towards -, offset 1000
    Velkor_HOME_START(kCard, 1);
    module.Advance(std::chrono::milliseconds(300));
    EXPECT_EQ(Velkor_STOP_WAIT(kCard, 1), 0);
    EXPECT_TRUE(module.Axis(0).homing);
    EXPECT_EQ(Velkor_GET_CV(kCard, 1), 4000); // searching at HV
    EXPECT_EQ(Code(), 0);
    ASSERT_TRUE(RunToStop(1));
    EXPECT_EQ(Velkor_GET_LP(kCard, 1), 1000);
    EXPECT_EQ(Velkor_GET_EP(kCard, 1), 1000);
    EXPECT_EQ(Code(), kHomedFactor);
    EXPECT_EQ(Errors(1), 0);
    // Home is the edge where the switch comes on, met going towards -: the
    // top of the switch, at -4000.
    EXPECT_TRUE(Input(1, in::kHome));
    Move(1, 1);
    EXPECT_FALSE(Input(1, in::kHome));
    Move(1, 499);
    EXPECT_EQ(Velkor_GET_LP(kCard, 1), 1500);
    EXPECT_EQ(module.Axis(0).machine, -3500);
    EXPECT_TRUE(Input(1, in::kIndex)); // -3500: an index position
}

// The input word the default layout (limits moved to -8000 and 9000) shows
// at a machine position, the in-position bit left out.
std::uint16_t WordAt(std::int32_t p)
{
    std::uint16_t w = 0;
    if (p >= 9000) w |= in::kPlusLimit;
    if (p <= -8000) w |= in::kMinusLimit;
    if (p >= -5000 && p <= -4000) w |= in::kHome;
    if (p >= -5000 && p <= -2000) w |= in::kNearHome;
    if ((p - 500) % 1000 == 0) w |= in::kIndex;
    return w;
}

TEST_F(Homing, EachModeEndsOnItsOwnMark)
{
    struct Row {
        const char* what;
        std::uint8_t mode, direction, edge;
        std::int32_t home; // where on the machine home lies
    };
    const Row rows[] = {
        {"home switch, near edge", 0, 0, 0, -4000},
        {"home switch, far edge", 0, 0, 1, -5001},
        {"home switch, then index", 1, 0, 0, -4500},
        {"minus limit switch", 2, 0, 0, -7999},
        {"plus limit switch", 2, 1, 0, 8999},
        {"index pulse, towards +", 3, 1, 0, 500},
        {"index pulse, towards -", 3, 0, 0, -500},
    };
    MachineAxis m;
    m.minusLimit = -8000;
    m.plusLimit = 9000;
    Layout(1, m);
    Velkor_SET_HLMT(kCard, 2, 0, 1); // the checks below step onto the limits
    const auto machine_position = [&] { return module.Axis(1).machine; };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        Velkor_SET_HLMT(kCard, 2, 1, 1);
        Velkor_SET_HOME_EDGE(kCard, 2, r.edge);
        Velkor_SET_HOME_MODE(kCard, 2, r.mode, r.direction, 10, 0, 0);
        Home(2);
        EXPECT_EQ(Velkor_GET_LP(kCard, 2), 0);
        EXPECT_EQ(Velkor_GET_ERROR_CODE(kCard, 2), 0);
        // Home, and the positions on either side, show what the machine has there.
        Velkor_SET_HLMT(kCard, 2, 0, 1);
        for (std::int32_t step : {0, 1, -2}) {
            Move(2, step);
            const std::int32_t at = r.home + Velkor_GET_LP(kCard, 2);
            EXPECT_EQ(machine_position(), at);
            EXPECT_EQ(Velkor_GET_DI_ALL(kCard, 2) & ~in::kInPosition, WordAt(at)) << "at " << at;
        }
        // Back to machine position 0 for the next row.
        Move(2, -r.home + 1);
        EXPECT_EQ(machine_position(), 0);
        Velkor_CLEAR_STOP(kCard);
    }
}

TEST_F(Homing, SeveralAxesHomeAtOnceEachOnItsOwnSwitch)
{
    MachineAxis near;
    near.homeFrom = -1500;
    near.homeTo = -1000;
    Layout(1, near);
    Velkor_SET_HOME_MODE(kCard, 1 | 2, 0, 0, 10, 0, 5);
    Velkor_HOME_START(kCard, 1 | 2);
    module.WaitSettled();
    // Axis 2's switch is nearer: it is done first, and the pair only then.
    while (module.Axis(1).homing) {
        EXPECT_EQ(Velkor_STOP_WAIT(kCard, 1 | 2), 0);
        module.Advance(std::chrono::milliseconds(50));
    }
    EXPECT_TRUE(module.Axis(0).homing);
    EXPECT_EQ(Velkor_STOP_WAIT(kCard, 2), 1);
    EXPECT_EQ(Velkor_STOP_WAIT(kCard, 1 | 2), 0);
    ASSERT_TRUE(RunToStop(1 | 2));
    EXPECT_EQ(Velkor_GET_LP(kCard, 1), 5);
    EXPECT_EQ(Velkor_GET_LP(kCard, 2), 5);
    EXPECT_EQ(module.Axis(0).machine, -4000);
    EXPECT_EQ(module.Axis(1).machine, -1000);
}

TEST_F(Homing, NearHomeSlowsTheSearchToCreepSpeed)
{
    Velkor_SET_NHOME(kCard, 1, 1);
    Velkor_SET_HV(kCard, 1, 5000);
    Velkor_SET_HOME_MODE(kCard, 1, 0, 0, 20, 0, 0); // creep at 20 % of HV
    Velkor_HOME_START(kCard, 1);
    // The near-home switch comes on at -2000: after about 0.45 s at HV.
    while (module.Axis(0).lp > -2100) {
        module.Advance(std::chrono::milliseconds(10));
    }
    module.Advance(std::chrono::milliseconds(100));
    EXPECT_TRUE(Input(1, in::kNearHome));
    EXPECT_EQ(Velkor_GET_CV(kCard, 1), 1000);
    ASSERT_TRUE(RunToStop(1));
    // Reached at creep speed, the edge needs no back-off: home is -4000.
    EXPECT_EQ(Velkor_GET_LP(kCard, 1), 0);
    EXPECT_TRUE(Input(1, in::kHome));
    Move(1, 1);
    EXPECT_FALSE(Input(1, in::kHome));
}

TEST_F(Homing, StartingOnTheSwitchBacksOffFirst)
{
    Move(1, -4500);
    EXPECT_TRUE(Input(1, in::kHome));
    Velkor_SET_HOME_MODE(kCard, 1, 0, 0, 10, 0, -20);
    Home(1);
    EXPECT_EQ(Velkor_GET_LP(kCard, 1), -20);
    EXPECT_EQ(module.Axis(0).motor, -20.0);
    Move(1, 1);
    EXPECT_FALSE(Input(1, in::kHome)); // on the top edge again
}

TEST_F(Homing, FailuresStopTheAxisSetTheBitAndStillSignalTheEnd)
{
    EnableFactors(kHomedFactor | kLimitFactor);
    // The home switch lies beyond the minus limit: the limit comes first.
    MachineAxis m;
    m.minusLimit = -3000;
    Layout(0, m);
    Velkor_SET_HOME_MODE(kCard, 1, 0, 0, 10, 0, 777);
    Home(1);
    EXPECT_EQ(Velkor_GET_LP(kCard, 1), -3000); // counters not set
    EXPECT_EQ(Errors(1), err::kHomingFailed | err::kHardLimitMinus);
    EXPECT_EQ(Code(), kHomedFactor | kLimitFactor);

    // The search range runs out before the switch.
    Velkor_CLEAR_STOP(kCard);
    Velkor_SET_LP(kCard, 2, 0);
    Velkor_HOME_LIMIT(kCard, 2, 3); // 3000 pulses
    Home(2);
    EXPECT_EQ(Errors(2), err::kHomingFailed);
    EXPECT_LE(Velkor_GET_LP(kCard, 2), -3000);
    EXPECT_GT(Velkor_GET_LP(kCard, 2), -3100);
    EXPECT_EQ(Code(), kHomedFactor);

    // No index pulse fitted.
    Velkor_CLEAR_STOP(kCard);
    m = MachineAxis{};
    m.indexPitch = 0;
    m.plusLimit = 2000;
    Layout(2, m);
    Velkor_SET_HOME_MODE(kCard, 4, 3, 1, 10, 0, 0);
    Home(4);
    EXPECT_EQ(Errors(4), err::kHomingFailed | err::kHardLimitPlus);
    EXPECT_EQ(Velkor_GET_LP(kCard, 4), 2000);
}

TEST_F(Homing, TheDriveAndStopCommandsEndAHoming)
{
    EnableFactors(kHomedFactor | kDriveEnd);
    // Servo off: refused.
    Velkor_SERVO_OFF(kCard, 1);
    Velkor_HOME_START(kCard, 1);
    EXPECT_EQ(Velkor_STOP_WAIT(kCard, 1), 1);
    EXPECT_EQ(Errors(1), err::kServoOff);
    Velkor_SERVO_ON(kCard, 1);
    Velkor_CLEAR_STOP(kCard);

    // A stop ends it unfinished: no homing-done, the counters as they are.
    Velkor_HOME_START(kCard, 1);
    module.Advance(std::chrono::milliseconds(200));
    Velkor_STOP_SUDDENLY(kCard, 1);
    const std::int32_t at = Velkor_GET_LP(kCard, 1);
    EXPECT_LT(at, -100);
    EXPECT_EQ(Velkor_STOP_WAIT(kCard, 1), 1);
    module.Advance(std::chrono::milliseconds(100));
    EXPECT_EQ(Velkor_GET_LP(kCard, 1), at);
    EXPECT_EQ(Code(), kDriveEnd);
    Velkor_CLEAR_STOP(kCard);

    // Slowly: it brakes first.
    Velkor_HOME_START(kCard, 1);
    module.Advance(std::chrono::milliseconds(200));
    Velkor_STOP_SLOWLY(kCard, 1);
    EXPECT_EQ(Velkor_STOP_WAIT(kCard, 1), 0);
    ASSERT_TRUE(RunToStop(1));
    EXPECT_EQ(Code(), kDriveEnd);
    Velkor_CLEAR_STOP(kCard);

    // An alarm fails it; a move meanwhile is refused as busy.
    Velkor_HOME_START(kCard, 1);
    module.Advance(std::chrono::milliseconds(50));
    Velkor_FIXED_MOVE(kCard, 1, 10);
    EXPECT_EQ(Errors(1), err::kAxisBusy);
    module.SetDriveAlarm(0, true);
    EXPECT_EQ(Velkor_STOP_WAIT(kCard, 1), 1);
    EXPECT_EQ(Errors(1), err::kAxisBusy | err::kServoAlarm | err::kHomingFailed);
    EXPECT_EQ(Code(), kHomedFactor);
}

TEST_F(Homing, EncoderCountsFromTheOffsetOnceTheMotorHasSettled)
{
    MachineAxis m;
    m.followingTime = 0.02;
    Layout(0, m);
    Velkor_SET_ENCODER(kCard, 1, 0, 4, 0);
    Velkor_SET_HOME_MODE(kCard, 1, 0, 0, 10, 0, 250);
    Home(1);
    EXPECT_EQ(Velkor_GET_LP(kCard, 1), 250);
    EXPECT_EQ(Velkor_GET_EP(kCard, 1), 250);
    Move(1, 100);
    module.Advance(std::chrono::milliseconds(300));
    EXPECT_EQ(Velkor_GET_EP(kCard, 1), 250 + 4 * 100);

    // Keeping EP: homing sets LP alone.
    Velkor_SET_HOME_MODE(kCard, 1, 0, 0, 10, 1, 0);
    Home(1);
    module.Advance(std::chrono::milliseconds(300));
    EXPECT_EQ(Velkor_GET_LP(kCard, 1), 0);
    EXPECT_EQ(Velkor_GET_EP(kCard, 1), 250); // back where EP read 250 before
}

} // namespace
} // namespace velkor_sim_test
