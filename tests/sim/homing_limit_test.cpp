// A homing that would set off into a limit switch already actuated is
// refused as a move that way is: no pulse into the switch, the switch's own
// error bit and the limit factor, no homing failure. Setting off away from an
// actuated switch homes as usual.
#include "axes_fixture.h"

namespace velkor_sim_test {
namespace {

using velkor_sim::MachineAxis;
namespace err = velkor_sim::error;

class HomingAtALimit : public MachineTest {
protected:
    void SetUp() override
    {
        MachineTest::SetUp();
        Profile(0x0F, 100, 20000, 100000);
    }
};

TEST_F(HomingAtALimit, SettingOffIntoAnActuatedLimitIsRefusedWithoutMotion)
{
    struct Row {
        const char* what;
        std::uint8_t mode, direction;
        std::int32_t minusLimit, plusLimit; // machine positions; the axis stands at 0
        std::uint16_t refusedWith;          // 0: the homing runs
    };
    const Row rows[] = {
        {"home switch, towards the - limit it stands on", 0, 0, 0, 9000, err::kHardLimitMinus},
        {"index pulse, towards the + limit it stands on", 3, 1, -9000, 0, err::kHardLimitPlus},
        {"home switch then index, towards -", 1, 0, 0, 9000, err::kHardLimitMinus},
        {"+ limit switch searched, standing on the - one", 2, 1, 0, 9000, 0},
        {"home switch, towards - while on the + limit", 0, 0, -9000, 0, 0},
        {"- limit switch searched while standing on it: backs off", 2, 0, 0, 9000, 0},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        Velkor_CLEAR_STOP(kCard);
        MachineAxis m;
        m.minusLimit = r.minusLimit;
        m.plusLimit = r.plusLimit;
        Layout(0, m);
        Velkor_SET_LP(kCard, 1, 0);
        Velkor_SET_HOME_MODE(kCard, 1, r.mode, r.direction, 10, 0, 0);
        EnableFactors(kHomedFactor | kLimitFactor);
        Velkor_HOME_START(kCard, 1);
        module.Advance(std::chrono::milliseconds(1));
        if (r.refusedWith != 0) {
            EXPECT_EQ(Velkor_STOP_WAIT(kCard, 1), 1);
            EXPECT_FALSE(module.Axis(0).homing);
            EXPECT_EQ(Velkor_GET_LP(kCard, 1), 0);
            EXPECT_EQ(Errors(1), r.refusedWith);
            EXPECT_EQ(Code(), kLimitFactor);
        } else {
            ASSERT_TRUE(RunToStop(1));
            EXPECT_EQ(Errors(1), 0);
            EXPECT_EQ(Code(), kHomedFactor);
        }
    }
}

} // namespace
} // namespace velkor_sim_test
