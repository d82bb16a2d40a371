// The fast clock through the library: a motion of more than ten simulated
// seconds finishes in a fraction of that while the host polls STOP_WAIT or
// waits for the interrupt, ends where the manual clock ends it, and time
// keeps its ordinary pace while the host only commands or sleeps.
#include "sim_fixture.h"

#include "transport/card_table.h"

#include <Velkor.h>
#include <velkor_sim/velkor_sim.h>

#include <memory>

namespace velkor_sim_test {
namespace {

constexpr std::uint8_t kCard = 2;
constexpr std::uint8_t kFastSlot = 6;
using SteadyClock = std::chrono::steady_clock;

class FastClock : public ::testing::Test {
protected:
    void SetUp() override { brelan::Reset(); }
    void TearDown() override
    {
        if (module) {
            module->Unplug();
        }
    }
    void Plug(velkor_sim::ClockKind clock, std::size_t bufferSegments = velkor_sim::kDefaultBufferSegments)
    {
        velkor_sim::ModuleOptions options;
        options.clock = clock;
        options.bufferSegments = bufferSegments;
        module = std::make_unique<velkor_sim::VirtualModule>(options);
        ASSERT_TRUE(module->PlugInto(kFastSlot));
        ASSERT_EQ(Velkor_REGISTRATION(kCard, kFastSlot), 1);
    }
    // Axis 1 moves 10000 pulses at 1000 pulses per second (just over 10 s);
    // axes 2 and 3 run a circle and a line at the same vector speed.
    void SendMotion()
    {
        Velkor_SET_SV(kCard, 1, 100);
        Velkor_SET_V(kCard, 1, 1000);
        Velkor_SET_A(kCard, 1, 10000);
        Velkor_FIXED_MOVE(kCard, 1, 10000);
        Velkor_AXIS_ASSIGN(kCard, 2, 4, 0);
        Velkor_SET_VSV(kCard, 100);
        Velkor_SET_VV(kCard, 1000);
        Velkor_SET_VA(kCard, 10000);
        Velkor_CIRCLE_CCW(kCard, 0, 1000);
        Velkor_LINE_2D(kCard, 1234, -567);
    }
    std::array<std::int32_t, 3> Positions()
    {
        return {Velkor_GET_LP(kCard, 1), Velkor_GET_LP(kCard, 2), Velkor_GET_LP(kCard, 4)};
    }

    std::unique_ptr<velkor_sim::VirtualModule> module;
};

TEST_F(FastClock, StopWaitLoopFinishesTheMotionWhereTheManualClockDoes)
{
    Plug(velkor_sim::ClockKind::Manual);
    SendMotion();
    ASSERT_TRUE(module->AdvanceUntilStopped(7, 60s));
    const double simulated = module->Now();
    const auto expected = Positions();
    module->Unplug();

    Plug(velkor_sim::ClockKind::Fast);
    const auto start = SteadyClock::now();
    SendMotion();
    while (Velkor_STOP_WAIT(kCard, 7) != 1) {
        ASSERT_LT(SteadyClock::now() - start, 60s);
    }
    const auto real = SteadyClock::now() - start;
    EXPECT_EQ(Positions(), expected);
    EXPECT_GT(simulated, 10.0);
    EXPECT_GE(module->Now(), simulated - 0.01);
    EXPECT_LT(real, 5s); // about a hundredth of it; at the ordinary pace over 10 s
}

TEST_F(FastClock, TimeKeepsItsPaceWhileTheHostOnlyCommandsOrSleeps)
{
    Plug(velkor_sim::ClockKind::Fast);
    SendMotion();
    std::this_thread::sleep_for(100ms);
    EXPECT_LT(module->Now(), 3.0); // would be over 10 s had it run ahead
    EXPECT_EQ(Velkor_STOP_WAIT(kCard, 7), 0);
    while (Velkor_STOP_WAIT(kCard, 7) != 1) {
    }
    EXPECT_EQ(Velkor_GET_LP(kCard, 1), 10000);
}

TEST_F(FastClock, WaitingForTheDriveEndInterruptRunsAhead)
{
    Plug(velkor_sim::ClockKind::Fast);
    Velkor_INTFACTOR_ENABLE(kCard, 0x01, 0, 0);
    Velkor_ENABLE_INT(kCard);
    ASSERT_EQ(Velkor_ENABLE_RINT(kCard), 1);
    const auto start = SteadyClock::now();
    Velkor_SET_SV(kCard, 1, 100);
    Velkor_SET_V(kCard, 1, 1000);
    Velkor_FIXED_MOVE(kCard, 1, 10000);
    EXPECT_EQ(Velkor_RINT_WAIT(kCard, 0x01, 60000), 0x01);
    EXPECT_LT(SteadyClock::now() - start, 5s);
    EXPECT_EQ(Velkor_GET_LP(kCard, 1), 10000);
    EXPECT_GE(module->Now(), 10.0);
    Velkor_DISABLE_RINT(kCard);
    const auto deadline = SteadyClock::now() + 5s;
    while (velkor::FindCard(kCard)->interruptThreads.load() != 0 && SteadyClock::now() < deadline) {
        std::this_thread::sleep_for(1ms);
    }
}

TEST_F(FastClock, LongPathStreamsThroughAFullBufferAtTheMotionsPace)
{
    Plug(velkor_sim::ClockKind::Fast, 16);
    const auto start = SteadyClock::now();
    Velkor_LINE_2D_INITIAL(kCard, 1, 2, 1000, 1000, 0);
    for (int i = 0; i < 1000; ++i) { // 10 s of motion at 1000 pulses per second
        Velkor_LINE_2D_CONTINUE(kCard, i == 999 ? 1 : 0, 10, i % 2 == 0 ? 1 : -1);
    }
    while (Velkor_STOP_WAIT(kCard, 3) != 1) {
    }
    EXPECT_LT(SteadyClock::now() - start, 5s);
    EXPECT_GE(module->Now(), 10.0);
    EXPECT_EQ(Velkor_GET_LP(kCard, 1), 10000);
    EXPECT_EQ(Velkor_GET_LP(kCard, 2), 0);
    const auto c = module->GetCounters();
    EXPECT_GT(c.packetsHeld, 0u);
    EXPECT_EQ(c.packetsTaken, 1002u);
    EXPECT_EQ(c.sequenceGaps + c.droppedPackets, 0u);
}

TEST_F(FastClock, FromC)
{
    EXPECT_EQ(VelkorSim_PlugFast(0), nullptr);
    VelkorSimModule* fast = VelkorSim_PlugFast(kFastSlot);
    ASSERT_NE(fast, nullptr);
    ASSERT_EQ(Velkor_REGISTRATION(kCard, kFastSlot), 1);
    const auto start = SteadyClock::now();
    Velkor_SET_V(kCard, 1, 1000);
    Velkor_FIXED_MOVE(kCard, 1, 10000);
    while (Velkor_STOP_WAIT(kCard, 1) != 1) {
    }
    EXPECT_LT(SteadyClock::now() - start, 5s);
    EXPECT_EQ(Velkor_GET_LP(kCard, 1), 10000);
    EXPECT_EQ(VelkorSim_PacketsTaken(fast), 2u);
    VelkorSim_Unplug(fast);
}

TEST_F(FastClock, OptionsFromCAreCheckedAndReachTheModule)
{
    VelkorSimOptions options;
    VelkorSim_DefaultOptions(&options);
    EXPECT_EQ(options.sprint_scale, 100000.0);
    EXPECT_EQ(options.buffer_segments, velkor_sim::kDefaultBufferSegments);
    options.clock = VELKOR_SIM_CLOCK_FAST;
    options.buffer_segments = 0;
    EXPECT_EQ(VelkorSim_Create(&options), nullptr);
    options.buffer_segments = 2;
    options.time_scale = 10;
    options.sprint_scale = 5; // below the ordinary pace
    EXPECT_EQ(VelkorSim_Create(&options), nullptr);
    options.sprint_scale = 100;
    VelkorSimModule* fast = VelkorSim_Create(&options);
    ASSERT_NE(fast, nullptr);
    ASSERT_EQ(VelkorSim_PlugInto(fast, kFastSlot), 1);
    ASSERT_EQ(Velkor_REGISTRATION(kCard, kFastSlot), 1);
    Velkor_DRV_HOLD(kCard, 3); // the path waits, the buffer takes it whole
    Velkor_LINE_2D_INITIAL(kCard, 1, 2, 1000, 1000, 0);
    for (int i = 0; i < 3; ++i) {
        Velkor_LINE_2D_CONTINUE(kCard, i == 2 ? 1 : 0, 10, 0);
    }
    EXPECT_EQ(VelkorSim_BufferedSegments(fast), 3u);
    Velkor_DRV_START(kCard, 3);
    while (Velkor_STOP_WAIT(kCard, 3) != 1) {
    }
    EXPECT_EQ(Velkor_GET_LP(kCard, 1), 30);
    VelkorSimCounters counters;
    VelkorSim_GetCounters(fast, &counters);
    EXPECT_EQ(counters.packets_held, 0u);
    EXPECT_EQ(counters.packets_taken, 7u);
    VelkorSim_Unplug(fast);
}

} // namespace
} // namespace velkor_sim_test
