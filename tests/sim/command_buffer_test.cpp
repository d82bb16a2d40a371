// The command buffer and its flow control, through the library on the manual
// clock: a module with a buffer of four segments holds the host while it is
// full and the motion is using it up, takes every packet once the motion
// frees room, never holds a path that cannot start, and is emptied by
// CLEAR_CARD_BUFFER and RESET_CARD.
#include "sim_fixture.h"

#include <Velkor.h>

#include <atomic>
#include <future>
#include <memory>

namespace velkor_sim_test {
namespace {

constexpr std::uint8_t kCard = 1;
constexpr std::uint8_t kSmallSlot = 5;
constexpr std::size_t kCapacity = 4;

class CommandBuffer : public ::testing::Test {
protected:
    void SetUp() override
    {
        brelan::Reset();
        velkor_sim::ModuleOptions options;
        options.bufferSegments = kCapacity;
        module = std::make_unique<velkor_sim::VirtualModule>(options);
        ASSERT_TRUE(module->PlugInto(kSmallSlot));
        ASSERT_EQ(Velkor_REGISTRATION(kCard, kSmallSlot), 1);
    }
    void TearDown() override { module->Unplug(); }

    // Opens a continuous path over axes 1 and 2 that runs at 1000 pulses per
    // second from the start: a segment of 100 pulses takes 100 ms.
    void OpenPath() { Velkor_LINE_2D_INITIAL(kCard, 1, 2, 1000, 1000, 0); }
    // Polls until `done` holds, at most five seconds.
    template <typename Done>
    static bool Eventually(Done done)
    {
        const auto deadline = std::chrono::steady_clock::now() + 5s;
        while (!done()) {
            if (std::chrono::steady_clock::now() > deadline) {
                return false;
            }
            std::this_thread::sleep_for(1ms);
        }
        return true;
    }

    std::unique_ptr<velkor_sim::VirtualModule> module;
};

TEST_F(CommandBuffer, FullBufferHoldsTheHostUntilTheMotionFreesRoom)
{
    OpenPath();
    std::atomic<int> sent{0};
    auto sender = std::async(std::launch::async, [&] {
        for (int i = 0; i < 10; ++i) {
            Velkor_LINE_2D_CONTINUE(kCard, i == 9 ? 1 : 0, 100, 0);
            ++sent;
        }
    });
    // Four segments fit; the fifth waits in the mailbox, and the host waits
    // with the sixth.
    ASSERT_TRUE(Eventually([&] { return module->GetCounters().packetsHeld == 1 && sent.load() == 5; }));
    std::this_thread::sleep_for(20ms);
    EXPECT_EQ(sent.load(), 5);
    EXPECT_EQ(module->BufferedSegments(), kCapacity);
    EXPECT_EQ(RawHost(kSmallSlot).R(126), 1);
    // The first segment starts: one place is free, the held packet is taken.
    module->Advance(1ms);
    ASSERT_TRUE(Eventually([&] { return sent.load() >= 6; }));
    // Run the motion until the host has handed over everything.
    while (sender.wait_for(0s) != std::future_status::ready) {
        module->Advance(10ms);
        std::this_thread::sleep_for(1ms);
    }
    ASSERT_TRUE(module->AdvanceUntilStopped(3, 60s));
    EXPECT_EQ(Velkor_GET_LP(kCard, 1), 1000);
    EXPECT_EQ(Velkor_GET_LP(kCard, 2), 0);
    const auto c = module->GetCounters();
    EXPECT_EQ(c.packetsTaken, 2u + 10u);
    EXPECT_GE(c.packetsHeld, 2u);
    EXPECT_EQ(c.sequenceGaps, 0u);
    EXPECT_EQ(c.droppedPackets, 0u);
    EXPECT_EQ(Velkor_GET_ERROR(kCard), 0);
}

TEST_F(CommandBuffer, PathThatCannotStartIsNeverHeldAgainstTheHost)
{
    // A held path cannot use up the buffer, and the host could not send
    // DRV_START while it waited: the module takes the whole path.
    Velkor_DRV_HOLD(kCard, 3);
    OpenPath();
    for (int i = 0; i < 10; ++i) {
        Velkor_LINE_2D_CONTINUE(kCard, i == 9 ? 1 : 0, 0, 10);
    }
    EXPECT_EQ(module->BufferedSegments(), 10u);
    EXPECT_EQ(module->GetCounters().packetsHeld, 0u);
    Velkor_DRV_START(kCard, 3);
    ASSERT_TRUE(module->AdvanceUntilStopped(3, 60s));
    EXPECT_EQ(Velkor_GET_LP(kCard, 2), 100);
}

TEST_F(CommandBuffer, ClearingTheBufferDropsWhatHasNotStartedAndMakesRoom)
{
    OpenPath();
    for (int i = 0; i < 4; ++i) {
        Velkor_LINE_2D_CONTINUE(kCard, 0, 100, 0);
    }
    module->Advance(50ms); // halfway through the first segment
    EXPECT_EQ(module->BufferedSegments(), 3u);
    Velkor_CLEAR_CARD_BUFFER(kCard);
    EXPECT_EQ(module->BufferedSegments(), 0u);
    // The running path ends with the segment it is on.
    ASSERT_TRUE(module->AdvanceUntilStopped(3, 60s));
    EXPECT_EQ(Velkor_GET_LP(kCard, 1), 100);
    // Room for a whole buffer at once, without the motion freeing any.
    for (int i = 0; i < 4; ++i) {
        Velkor_LINE_2D(kCard, 10, 0);
    }
    EXPECT_EQ(module->BufferedSegments(), 4u);
    EXPECT_EQ(module->GetCounters().packetsHeld, 0u);
    Velkor_RESET_CARD(kCard);
    EXPECT_EQ(module->BufferedSegments(), 0u);
    EXPECT_EQ(Velkor_STOP_WAIT(kCard, 3), 1);
}

TEST_F(CommandBuffer, ClearingTheBufferDropsPathsThatHaveNotStarted)
{
    // Paths held back, none started: all of them go.
    Velkor_SET_VSV(kCard, 1000);
    Velkor_SET_VV(kCard, 1000);
    Velkor_DRV_HOLD(kCard, 3);
    Velkor_LINE_2D(kCard, 10, 0);
    Velkor_LINE_2D(kCard, 0, 10);
    Velkor_CLEAR_CARD_BUFFER(kCard);
    EXPECT_EQ(Velkor_STOP_WAIT(kCard, 3), 1);
    Velkor_DRV_START(kCard, 3);
    module->Advance(500ms);
    EXPECT_EQ(Velkor_GET_LP(kCard, 1), 0);
    EXPECT_EQ(Velkor_GET_LP(kCard, 2), 0);
    // A path running and paths queued behind it: only the running one ends.
    Velkor_LINE_2D(kCard, 100, 0);
    Velkor_LINE_2D(kCard, 0, 100);
    Velkor_LINE_2D(kCard, 0, 100);
    module->Advance(50ms);
    Velkor_CLEAR_CARD_BUFFER(kCard);
    ASSERT_TRUE(module->AdvanceUntilStopped(3, 60s));
    EXPECT_EQ(Velkor_GET_LP(kCard, 1), 100);
    EXPECT_EQ(Velkor_GET_LP(kCard, 2), 0);
}

TEST_F(CommandBuffer, ArcsAndLinesTakeOnePlaceEachAndSettingsNone)
{
    // 2 setting packets and 4 segments (an arc is two packets, one segment).
    Velkor_SET_VV(kCard, 1000);
    Velkor_SET_VSV(kCard, 1000);
    Velkor_LINE_2D(kCard, 100, 0);
    Velkor_ARC_CW(kCard, 0, -100, 0, -200);
    Velkor_CIRCLE_CCW(kCard, 100, 0);
    Velkor_LINE_2D(kCard, -100, 0);
    EXPECT_EQ(module->BufferedSegments(), 4u);
    EXPECT_EQ(module->GetCounters().packetsHeld, 0u);
    // A setting is taken while the buffer is full.
    Velkor_SET_VV(kCard, 2000);
    EXPECT_EQ(module->GetCounters().packetsTaken, 8u);
    // Macro steps are not motion.
    Velkor_MP_CREATE(kCard, 1);
    Velkor_LINE_2D(kCard, 100, 0);
    Velkor_MP_CLOSE(kCard);
    EXPECT_EQ(module->MacroProgramSteps(1), 1u);
    EXPECT_EQ(module->GetCounters().packetsHeld, 0u);
}

} // namespace
} // namespace velkor_sim_test
