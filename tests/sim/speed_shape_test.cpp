// The speed profile beyond the trapezoid, end to end through the exports: the
// S-curve from K and L, the braking offset AO, the constant-speed setting,
// and their vector twins on interpolated paths.
#include "machine_fixture.h"

#include <cmath>

namespace velkor_sim_test {
namespace {

class SpeedShape : public Machine {
protected:
    void Profile(std::uint8_t axis, std::uint32_t sv, std::uint32_t v, std::uint32_t a)
    {
        Velkor_SET_SV(kCard, axis, sv);
        Velkor_SET_V(kCard, axis, v);
        Velkor_SET_A(kCard, axis, a);
    }
    // Simulated seconds a fixed move of axis 1 takes.
    double MoveTime(std::int32_t distance)
    {
        const double start = module->Now();
        Velkor_FIXED_MOVE(kCard, 1, distance);
        EXPECT_TRUE(RunToStop(1));
        EXPECT_EQ(Velkor_GET_LP(kCard, 1), distance);
        return module->Now() - start;
    }
};

TEST_F(SpeedShape, JerkMakesTheAccelerationRampUpInsteadOfJumping)
{
    Profile(1, 100, 10000, 100000);
    Velkor_FIXED_MOVE(kCard, 1, 20000);
    Step(5);
    const std::int32_t trapezoid = Velkor_GET_CA(kCard, 1);
    EXPECT_NEAR(trapezoid, 100000, 1000);
    ASSERT_TRUE(RunToStop(1));

    Velkor_SET_K(kCard, 1, 1000000); // full acceleration after 0.1 s
    Velkor_FIXED_MOVE(kCard, 1, 20000);
    Step(5);
    const std::int32_t sCurve = Velkor_GET_CA(kCard, 1);
    EXPECT_GT(sCurve, 1000);
    EXPECT_LT(sCurve, 10000);
    Step(95);
    EXPECT_NEAR(Velkor_GET_CA(kCard, 1), 100000, 5000); // nearly the full acceleration after 0.1 s
    Step(50);
    EXPECT_NEAR(Velkor_GET_CA(kCard, 1), 50000, 10000); // easing off towards the drive speed
    ASSERT_TRUE(RunToStop(1));
    EXPECT_EQ(Velkor_GET_LP(kCard, 1), 40000); // both moves end exactly
}

TEST_F(SpeedShape, SmallerJerksTakeLongerAndStillEndOnTheTarget)
{
    Profile(1, 100, 10000, 100000);
    const double trapezoid = MoveTime(20000);
    Velkor_SET_LP(kCard, 1, 0);
    Velkor_SET_K(kCard, 1, 1000000);
    const double sCurve = MoveTime(20000);
    Velkor_SET_LP(kCard, 1, 0);
    Velkor_SET_L(kCard, 1, 200000); // a softer braking than accelerating
    const double softBraking = MoveTime(20000);
    EXPECT_GT(sCurve, trapezoid + 0.05);
    EXPECT_GT(softBraking, sCurve + 0.1);
    EXPECT_LT(softBraking, trapezoid + 1.0);
    EXPECT_EQ(Ax(0).errorCode, 0);
}

TEST_F(SpeedShape, ShortMovesWithJerkEndExactly)
{
    Profile(1, 100, 50000, 500000);
    Velkor_SET_K(kCard, 1, 2000000);
    for (std::int32_t distance : {1, 7, 150, -333, 4001}) {
        Velkor_SET_LP(kCard, 1, 0);
        EXPECT_GT(MoveTime(distance), 0) << distance;
    }
}

TEST_F(SpeedShape, PositiveOffsetLeavesACreepAtTheStartSpeed)
{
    Profile(1, 100, 5000, 50000);
    Velkor_SET_AO(kCard, 1, 400);
    Velkor_FIXED_MOVE(kCard, 1, 10000);
    while (Velkor_GET_LP(kCard, 1) < 9700) {
        Step();
    }
    EXPECT_NEAR(Velkor_GET_CV(kCard, 1), 100, 2); // creeping 300 pulses before the end
    ASSERT_TRUE(RunToStop(1));
    EXPECT_EQ(Velkor_GET_LP(kCard, 1), 10000);

    // Without the offset the axis is still braking there.
    Velkor_SET_AO(kCard, 1, 0);
    Velkor_SET_LP(kCard, 1, 0);
    Velkor_FIXED_MOVE(kCard, 1, 10000);
    while (Velkor_GET_LP(kCard, 1) < 9700) {
        Step();
    }
    EXPECT_GT(Velkor_GET_CV(kCard, 1), 1000);
    ASSERT_TRUE(RunToStop(1));
}

TEST_F(SpeedShape, NegativeOffsetArrivesFasterAndStillEndsOnTheTarget)
{
    Profile(1, 100, 5000, 50000);
    Velkor_SET_AO(kCard, 1, -200);
    Velkor_FIXED_MOVE(kCard, 1, -6000);
    module->WaitSettled();
    double last = 0;
    while (Ax(0).driving) {
        last = Ax(0).speed;
        Step();
    }
    EXPECT_GT(last, 500);
    EXPECT_EQ(Velkor_GET_LP(kCard, 1), -6000);
}

TEST_F(SpeedShape, ConstantSpeedSettingDrivesAtVFromStartToEnd)
{
    Profile(1, 100, 2000, 1000);
    Velkor_NORMAL_SPEED(kCard, 1, 1);
    Velkor_FIXED_MOVE(kCard, 1, 1000);
    Step(10);
    EXPECT_EQ(Velkor_GET_CV(kCard, 1), 2000);
    EXPECT_EQ(Velkor_GET_LP(kCard, 1), 20);
    ASSERT_TRUE(RunToStop(1));
    EXPECT_EQ(Velkor_GET_LP(kCard, 1), 1000);
    EXPECT_NEAR(module->Now(), 0.5, 0.003);

    Velkor_NORMAL_SPEED(kCard, 1, 0); // ramps again
    Velkor_FIXED_MOVE(kCard, 1, 1000);
    Step(10);
    EXPECT_LT(Velkor_GET_CV(kCard, 1), 200);
    EXPECT_TRUE(Unusable().empty());
}

TEST_F(SpeedShape, UnknownSpeedSettingsAreRefusedAndListed)
{
    Velkor_NORMAL_SPEED(kCard, 1, 2);
    Velkor_VECTOR_SPEED(kCard, 9);
    EXPECT_EQ(Velkor_GET_ERROR_CODE(kCard, 1) & 0x0008, 0x0008);
    EXPECT_EQ(Unusable().at(70), 1u);
    EXPECT_EQ(Unusable().at(91), 1u);
    // The setting in force is kept: the move still ramps.
    Velkor_FIXED_MOVE(kCard, 1, 1000);
    Step(3);
    EXPECT_LT(Velkor_GET_CV(kCard, 1), 200);
}

TEST_F(SpeedShape, VectorTwinsShapeInterpolatedPaths)
{
    Velkor_AXIS_ASSIGN(kCard, 1, 2, 4);
    Velkor_SET_VSV(kCard, 100);
    Velkor_SET_VV(kCard, 4000);
    Velkor_SET_VA(kCard, 40000);

    // Constant vector speed: the line runs at VV at once.
    Velkor_VECTOR_SPEED(kCard, 1);
    Velkor_LINE_2D(kCard, 2000, 0);
    Step(10);
    EXPECT_EQ(Velkor_GET_CV(kCard, 1), 4000);
    ASSERT_TRUE(RunToStop());
    EXPECT_EQ(Velkor_GET_LP(kCard, 1), 2000);

    // Vector jerk: the path's acceleration ramps up.
    Velkor_VECTOR_SPEED(kCard, 0);
    Velkor_SET_VK(kCard, 400000);
    Velkor_SET_VL(kCard, 400000);
    Velkor_LINE_2D(kCard, -2000, 0);
    Step(5);
    EXPECT_LT(Velkor_GET_CA(kCard, 1), 5000);
    ASSERT_TRUE(RunToStop());
    EXPECT_EQ(Velkor_GET_LP(kCard, 1), 0);

    // Vector offset: the path creeps at VSV before its end.
    Velkor_SET_VK(kCard, 0);
    Velkor_SET_VL(kCard, 0);
    Velkor_SET_VAO(kCard, 300);
    Velkor_LINE_2D(kCard, 0, 3000);
    while (Velkor_GET_LP(kCard, 2) < 2800) {
        Step();
    }
    EXPECT_NEAR(Velkor_GET_CV(kCard, 2), 100, 2);
    ASSERT_TRUE(RunToStop());
    EXPECT_EQ(Velkor_GET_LP(kCard, 2), 3000);
    EXPECT_TRUE(Unusable().empty());
}

} // namespace
} // namespace velkor_sim_test
