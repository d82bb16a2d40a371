// The onlookers' hooks (ModuleObserver): what they hear, in which order and
// with which state, and the clock's pause, single step and pace.
#include "axes_fixture.h"

#include <string>
#include <vector>

namespace velkor_sim_test {
namespace {

using velkor_sim::ModuleView;

struct Recorder : velkor_sim::ModuleObserver {
    std::vector<std::string> heard;
    int steps = 0;
    double lastTime = -1;
    bool timeOrdered = true;
    std::int32_t lastLp = 0;
    void MotionStepped(const ModuleView& v) override
    {
        ++steps;
        timeOrdered = timeOrdered && v.Time() > lastTime;
        lastTime = v.Time();
        lastLp = v.Axis(0).lp;
        EXPECT_EQ(v.Snapshot().steps, v.Steps());
    }
    void PacketTaken(const velkor_sim::LogEntry& e, const ModuleView&) override
    {
        heard.push_back("packet " + velkor_sim::CodeName(e.code, e.kind));
    }
    void InterruptRaised(std::uint8_t factors, std::uint8_t code, const ModuleView&) override
    {
        heard.push_back("interrupt " + std::to_string(factors) + " " + std::to_string(code));
    }
    void ErrorsChanged(int axis, std::uint16_t before, std::uint16_t after, const ModuleView&) override
    {
        heard.push_back("errors " + std::to_string(axis) + " " + std::to_string(before) + "->" + std::to_string(after));
    }
    void BusyChanged(bool busy, const ModuleView&) override { heard.push_back(busy ? "busy" : "answering"); }
    void ClockChanged(const velkor_sim::ClockState& c, const ModuleView&) override
    {
        heard.push_back(c.paused ? "paused" : "running");
    }
    bool Heard(const std::string& what) const
    {
        for (const std::string& h : heard) {
            if (h == what) {
                return true;
            }
        }
        return false;
    }
};

TEST_F(MachineTest, ObserversHearStepsPacketsInterruptsAndErrorBits)
{
    Recorder r;
    module.AddObserver(&r);
    module.AddObserver(&r); // once only
    velkor_sim::MachineAxis m;
    m.plusLimit = 300;
    Layout(0, m);
    Profile(1, 500, 20000, 200000);
    EnableFactors(kLimitFactor);
    Velkor_FIXED_MOVE(kCard, 1, 8000);
    ASSERT_TRUE(RunToStop(1));
    EXPECT_TRUE(r.Heard("packet FIXED_MOVE")) << r.heard.size();
    EXPECT_TRUE(r.Heard("interrupt 2 2"));
    EXPECT_TRUE(r.Heard("errors 0 0->16"));
    EXPECT_GT(r.steps, 10);
    EXPECT_TRUE(r.timeOrdered);
    EXPECT_EQ(r.lastLp, 300);
    module.SetBusy(true);
    module.SetBusy(false);
    EXPECT_TRUE(r.Heard("busy") && r.Heard("answering"));
    EXPECT_EQ(Code(), kLimitFactor);
    const std::size_t before = r.heard.size();
    module.RemoveObserver(&r);
    module.SetBusy(true);
    module.SetBusy(false);
    EXPECT_EQ(r.heard.size(), before);
}

TEST_F(MachineTest, SnapshotShowsWhatTheHostAndTheMachineSet)
{
    module.SetInputs(1, 0x0100);
    module.SetDriveAlarm(2, true);
    EnableFactors(kLimitFactor | kDriveEnd);
    module.WaitSettled();
    const velkor_sim::ModuleSnapshot s = module.Snapshot();
    EXPECT_EQ(s.slot, kSlot);
    EXPECT_EQ(s.forcedInputs[1], 0x0100);
    EXPECT_TRUE(s.driveAlarm[2]);
    EXPECT_TRUE(s.interruptOn);
    EXPECT_EQ(s.interruptEnabled, kLimitFactor | kDriveEnd);
    EXPECT_EQ(s.clock.kind, velkor_sim::ClockKind::Manual);
}

// A real-time module: paused, LP stands still while time passes; a single
// step moves it by one step's worth; resumed, it goes on; a new pace counts.
TEST(ObserverClock, PauseFreezesTheMotionStepRunsAndResumeGoesOn)
{
    brelan::Reset();
    velkor_sim::ModuleOptions o;
    o.clock = velkor_sim::ClockKind::RealTime;
    velkor_sim::VirtualModule module(o);
    ASSERT_TRUE(module.PlugInto(3));
    ASSERT_EQ(Velkor_REGISTRATION(0, 3), 1);
    Recorder r;
    module.AddObserver(&r);
    Velkor_SET_SV(0, 1, 1000);
    Velkor_SET_V(0, 1, 1000);
    Velkor_CONTINUE_MOVE(0, 1, 1);
    module.WaitSettled();
    std::this_thread::sleep_for(30ms);
    module.PauseClock(true);
    const std::int32_t frozen = module.Axis(0).lp;
    const double then = module.Now();
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(module.Axis(0).lp, frozen);
    EXPECT_EQ(module.Now(), then);
    EXPECT_TRUE(module.Clock().paused);
    module.StepClock(3);
    EXPECT_EQ(module.Axis(0).lp, frozen + 3);
    EXPECT_FALSE(module.SetTimeScale(0));
    EXPECT_TRUE(module.SetTimeScale(4));
    EXPECT_EQ(module.Clock().timeScale, 4);
    module.PauseClock(false);
    std::this_thread::sleep_for(50ms);
    EXPECT_GT(module.Axis(0).lp, frozen + 3 + 100); // 4000 pulses/s of real time
    EXPECT_TRUE(r.Heard("paused") && r.Heard("running"));
    Velkor_STOP_SUDDENLY(0, 1);
    Velkor_CLEAR_STOP(0);
    module.RemoveObserver(&r);
    module.Unplug();
}

} // namespace
} // namespace velkor_sim_test
