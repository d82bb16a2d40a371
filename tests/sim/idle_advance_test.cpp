// The manual clock jumps over stretches where nothing moves: two modules given
// the same commands, one advanced a step at a time and one in long advances,
// drive the same positions, errors and interrupts at the same times, with
// idle stretches between moves, an alarm that comes on while nothing moves
// and a program that waits on its timer.
#include <velkor_sim/virtual_module.h>

#include <Velkor.h>
#include <brelan/backplane.h>
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>

namespace velkor_sim_test {
namespace {

using std::chrono::milliseconds;

TEST(IdleAdvance, LongAdvancesDriveWhatStepByStepAdvancesDrive)
{
    brelan::Reset();
    velkor_sim::ModuleOptions options;
    options.keepTrail = true;
    velkor_sim::VirtualModule stepped(options);
    velkor_sim::VirtualModule jumping(options);
    ASSERT_TRUE(stepped.PlugInto(3));
    ASSERT_TRUE(jumping.PlugInto(4));
    ASSERT_EQ(Velkor_REGISTRATION(0, 3), 1);
    ASSERT_EQ(Velkor_REGISTRATION(1, 4), 1);
    // What both cards are told, then how long both modules run.
    const struct {
        std::function<void(velkor_sim::VirtualModule&, std::uint8_t)> command;
        milliseconds then;
    } phases[] = {
        {[](velkor_sim::VirtualModule&, std::uint8_t card) {
             Velkor_INTFACTOR_ENABLE(card, 0xFF, 0, 0);
             Velkor_ENABLE_INT(card);
             Velkor_SET_A(card, 15, 20000);
             Velkor_FIXED_MOVE(card, 1, 3000);
         },
         milliseconds(5000)},
        {[](velkor_sim::VirtualModule& m, std::uint8_t) { m.SetDriveAlarm(2, true); }, milliseconds(700)},
        {[](velkor_sim::VirtualModule& m, std::uint8_t card) {
             m.SetDriveAlarm(2, false);
             Velkor_MP_CREATE(card, 1);
             Velkor_MP_TIMER(card, 1500);
             Velkor_FIXED_MOVE(card, 8, -700); // recorded: a step of the program
             Velkor_MP_CLOSE(card);
             Velkor_MP_CALL(card, 1);
         },
         milliseconds(4000)},
        {[](velkor_sim::VirtualModule&, std::uint8_t card) { Velkor_CONTINUE_MOVE(card, 2, 400); },
         milliseconds(1500)},
        {[](velkor_sim::VirtualModule&, std::uint8_t card) { Velkor_STOP_SLOWLY(card, 2); }, milliseconds(9000)},
    };
    for (const auto& phase : phases) {
        phase.command(stepped, 0);
        phase.command(jumping, 1);
        stepped.WaitSettled();
        for (auto t = milliseconds(0); t < phase.then; t += milliseconds(1)) {
            stepped.Advance(milliseconds(1));
        }
        jumping.Advance(phase.then);
        EXPECT_NEAR(jumping.Now(), stepped.Now(), 1e-9);
        EXPECT_EQ(Velkor_INTERRUPT_RETURN_CODE(1), Velkor_INTERRUPT_RETURN_CODE(0));
        for (int i = 0; i < velkor_sim::kAxisCount; ++i) {
            const velkor_sim::AxisStatus s = stepped.Axis(i);
            const velkor_sim::AxisStatus j = jumping.Axis(i);
            EXPECT_EQ(j.lp, s.lp) << "axis " << i;
            EXPECT_EQ(j.errorCode, s.errorCode) << "axis " << i;
            EXPECT_EQ(j.driving, s.driving) << "axis " << i;
            EXPECT_EQ(j.speed, s.speed) << "axis " << i;
            EXPECT_EQ(j.acceleration, s.acceleration) << "axis " << i;
        }
    }
    EXPECT_EQ(stepped.Axis(3).lp, -700); // the program's move ran
    const auto a = stepped.TakeTrail();
    const auto b = jumping.TakeTrail();
    ASSERT_EQ(a.size(), b.size());
    for (std::size_t k = 0; k < a.size(); ++k) {
        EXPECT_EQ(a[k].lp, b[k].lp) << k;
        EXPECT_NEAR(a[k].time, b[k].time, 1e-9) << k;
    }
    stepped.Unplug();
    jumping.Unplug();
}

} // namespace
} // namespace velkor_sim_test
