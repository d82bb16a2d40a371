// The library's exports against the virtual module on the manual clock, as
// an application would call them: card 0 registered on slot 3.
#include "sim_fixture.h"

#include "transport/card_table.h"

#include <Velkor.h>

#include <cmath>
#include <cstring>
#include <future>

namespace velkor_sim_test {
namespace {

constexpr std::uint8_t kCard = 0;
using SteadyClock = std::chrono::steady_clock;

class EndToEnd : public SimTest {
protected:
    void SetUp() override
    {
        SimTest::SetUp();
        ASSERT_EQ(Velkor_REGISTRATION(kCard, kSlot), 1);
    }
    void TearDown() override
    {
        // Leave the card as the next test expects to find it.
        module.SetBusy(false);
        Velkor_CLEAR_STOP(kCard);
        SimTest::TearDown();
    }
    void Profile(std::uint8_t axes, std::uint32_t sv, std::uint32_t v, std::uint32_t a)
    {
        Velkor_SET_SV(kCard, axes, sv);
        Velkor_SET_V(kCard, axes, v);
        Velkor_SET_A(kCard, axes, a);
    }
    bool RunToStop(std::uint8_t axes) { return module.AdvanceUntilStopped(axes, std::chrono::seconds(60)); }
};

TEST_F(EndToEnd, FixedMoveEndsAtItsDistanceAndStopWaitSaysStopped)
{
    Profile(1, 500, 20000, 200000);
    Velkor_SET_LP(kCard, 1, 0);
    Velkor_FIXED_MOVE(kCard, 1, 12345);
    module.Advance(150ms);
    EXPECT_EQ(Velkor_STOP_WAIT(kCard, 1), 0);
    EXPECT_EQ(Velkor_GET_CV(kCard, 1), 20000); // pulses per second
    module.Advance(1ms);
    EXPECT_EQ(Velkor_GET_CA(kCard, 1), 0); // cruising
    ASSERT_TRUE(RunToStop(1));
    EXPECT_EQ(Velkor_GET_LP(kCard, 1), 12345);
    EXPECT_EQ(Velkor_GET_EP(kCard, 1), 12345);
    EXPECT_EQ(Velkor_STOP_WAIT(kCard, 1), 1);
    // The step that ended the move reads the mean over it: the axis arrived
    // at SV (500) and moved in it; the next step reads standing still.
    EXPECT_GT(Velkor_GET_CV(kCard, 1), 0);
    EXPECT_LE(Velkor_GET_CV(kCard, 1), 500 + 200);
    module.Advance(1ms);
    EXPECT_EQ(Velkor_GET_CV(kCard, 1), 0);
    EXPECT_EQ(Velkor_GET_ERROR(kCard), 0);
}

TEST_F(EndToEnd, AccelerationReadsInPulsesPerSecondSquared)
{
    Profile(2, 100, 50000, 100000);
    Velkor_FIXED_MOVE(kCard, 2, 100000);
    module.Advance(100ms);
    EXPECT_EQ(Velkor_GET_CA(kCard, 2), 100000);
    EXPECT_EQ(Velkor_GET_CV(kCard, 2), 100 + 100000 * 0.1 - 50); // the mean of the last step
}

TEST_F(EndToEnd, SuddenStopHaltsTheAxisAndLatchesTheStopFlag)
{
    Profile(1, 100, 10000, 100000);
    Velkor_CONTINUE_MOVE(kCard, 1, 1);
    module.Advance(300ms);
    Velkor_STOP_SUDDENLY(kCard, 1);
    const std::int32_t at = Velkor_GET_LP(kCard, 1);
    EXPECT_GT(at, 1000);
    module.Advance(200ms);
    EXPECT_EQ(Velkor_GET_LP(kCard, 1), at);
    EXPECT_EQ(Velkor_STOP_WAIT(kCard, 1), 1);
    // The library's stop flag path: the error reads as set until CLEAR_STOP.
    EXPECT_EQ(Velkor_GET_ERROR(kCard), 1);
    EXPECT_EQ(Velkor_GET_ERROR_CODE(kCard, 1), 0x100);
    Velkor_CLEAR_STOP(kCard);
    EXPECT_EQ(Velkor_GET_ERROR(kCard), 0);
    EXPECT_EQ(Velkor_GET_ERROR_CODE(kCard, 1), 0);
}

TEST_F(EndToEnd, SlowStopEndsAfterTheBrakingDistance)
{
    Profile(4, 100, 10000, 100000);
    Velkor_SET_D(kCard, 4, 50000);
    Velkor_CONTINUE_MOVE(kCard, 4, -1);
    module.Advance(300ms);
    Velkor_STOP_SLOWLY(kCard, 4);
    const std::int32_t from = Velkor_GET_LP(kCard, 4);
    EXPECT_EQ(Velkor_STOP_WAIT(kCard, 4), 0);
    ASSERT_TRUE(RunToStop(4));
    EXPECT_NEAR(from - Velkor_GET_LP(kCard, 4), (10000.0 * 10000 - 100 * 100) / (2 * 50000), 20);
}

TEST_F(EndToEnd, CommandSentWhileTheModuleIsBusyWaits)
{
    module.SetBusy(true);
    Velkor_SET_V(kCard, 1, 1000); // posted; the module holds it
    auto second = std::async(std::launch::async, [] { Velkor_SET_V(kCard, 1, 2000); });
    EXPECT_EQ(second.wait_for(50ms), std::future_status::timeout);
    module.SetBusy(false);
    second.get();
    module.WaitSettled();
    const auto c = module.GetCounters();
    EXPECT_EQ(c.packetsTaken, 2u);
    EXPECT_EQ(c.droppedPackets, 0u);
    EXPECT_EQ(c.sequenceGaps, 0u);
}

TEST_F(EndToEnd, CommandAfterADirectStopWithTheMailboxBusyIsDroppedAndCounted)
{
    Velkor_STOP_SUDDENLY(kCard, 1);
    module.SetBusy(true);
    Velkor_SET_V(kCard, 1, 1000); // the mailbox was free: posted and held
    const auto start = SteadyClock::now();
    Velkor_FIXED_MOVE(kCard, 1, 500); // finds the mailbox busy: dropped at once
    EXPECT_LT(SteadyClock::now() - start, 50ms);
    module.SetBusy(false);
    module.WaitSettled(); // with the stop flag set, only a free mailbox takes a packet
    Velkor_SET_V(kCard, 1, 3000); // carries the number the dropped packet gave back
    module.WaitSettled();
    const auto c = module.GetCounters();
    EXPECT_EQ(c.packetsTaken, 2u);
    EXPECT_EQ(c.droppedPackets, 1u);
    EXPECT_EQ(c.sequenceGaps, 0u);
    EXPECT_EQ(Velkor_GET_ERROR_CODE(kCard, 1), 0x100 | velkor_sim::error::kPacketMissing);
    ASSERT_TRUE(RunToStop(1));
    EXPECT_EQ(Velkor_GET_LP(kCard, 1), 0); // the move never arrived
}

TEST_F(EndToEnd, StoresRoundTripThroughTheLibrary)
{
    for (int index : {0, 1, 127, 128, 200, 255}) {
        Velkor_WRITE_bVAR(kCard, static_cast<std::uint8_t>(index), static_cast<std::uint8_t>(index ^ 0x5A));
    }
    for (int index : {0, 1, 127, 128, 200, 255}) {
        SCOPED_TRACE(index);
        EXPECT_EQ(Velkor_READ_bVAR(kCard, static_cast<std::uint8_t>(index)), index ^ 0x5A);
        EXPECT_EQ(module.ByteVariable(static_cast<std::uint8_t>(index)), index ^ 0x5A);
    }
    const std::pair<std::int32_t, std::int32_t> vars[] = {{0, -1}, {300, -2}, {4095, 123456789}, {65535, INT32_MIN}};
    for (const auto& v : vars) {
        Velkor_WRITE_VAR(kCard, v.first, v.second);
    }
    for (const auto& v : vars) {
        EXPECT_EQ(Velkor_READ_VAR(kCard, v.first), v.second);
    }
    Velkor_WRITE_MD(kCard, 1023, -77, 0.0f);
    Velkor_WRITE_MD(kCard, 1024, 0, 2.5f);
    Velkor_WRITE_MD(kCard, 5000, 0, -0.125f);
    std::int32_t i = 0;
    float f = 0;
    Velkor_READ_MD(kCard, 1023, &i, &f);
    EXPECT_EQ(i, -77);
    Velkor_READ_MD(kCard, 1024, &i, &f);
    EXPECT_EQ(f, 2.5f);
    Velkor_READ_MD(kCard, 5000, &i, &f);
    EXPECT_EQ(f, -0.125f);
    // Remote I/O: a port's input reads what is wired to it; the loopback,
    // off by default, wires each output back to its own input.
    Velkor_QUORL_OUT(kCard, 2, 0x1234ABCD);
    EXPECT_EQ(Velkor_QUORL_IN(kCard, 2), 0);
    EXPECT_EQ(module.RemoteOutput(2), 0x1234ABCDu);
    module.SetRemoteInput(2, 0x0F0F);
    EXPECT_EQ(Velkor_QUORL_IN(kCard, 2), 0x0F0F);
    module.SetRemoteLoopback(true);
    EXPECT_EQ(Velkor_QUORL_IN(kCard, 2), 0xABCD);
    module.SetRemoteLoopback(false);
    EXPECT_EQ(Velkor_QUORL_IN(kCard, 2), 0x0F0F);
    // Counters.
    Velkor_SET_LP(kCard, 8, -123456);
    Velkor_SET_EP(kCard, 8, 654321);
    EXPECT_EQ(Velkor_GET_LP(kCard, 8), -123456);
    EXPECT_EQ(Velkor_GET_EP(kCard, 8), 654321);
    // Inputs forced high through the simulator, over the machine's own
    // signals (an axis at rest with its servo on is in position).
    module.SetInputs(2, 0x8005);
    EXPECT_EQ(Velkor_GET_DI_ALL(kCard, 4), 0x8005 | velkor_sim::input::kInPosition);
    EXPECT_EQ(Velkor_GET_DI(kCard, 4, 0), 1);
    EXPECT_EQ(Velkor_GET_DI(kCard, 4, 1), 0);
    EXPECT_EQ(Velkor_GET_DI(kCard, 4, 15), 1);
    EXPECT_EQ(Velkor_GET_DI_ALL(kCard, 1), velkor_sim::input::kInPosition);
    // Latch, firmware version.
    module.SetLatch(0, -42);
    EXPECT_EQ(Velkor_GET_LATCH(kCard, 1), -42);
    module.SetFirmwareVersion(0x00040201);
    EXPECT_EQ(Velkor_GET_FW_VERSION(kCard), 0x00040201u);
    EXPECT_EQ(module.GetCounters().sequenceGaps, 0u);
}

TEST_F(EndToEnd, SoftLimitViolationShowsInTheErrorCode)
{
    Profile(1, 1000, 20000, 0);
    Velkor_SET_SLMT(kCard, 1, 2000, -2000, 0);
    Velkor_FIXED_MOVE(kCard, 1, 3000);
    ASSERT_TRUE(RunToStop(1));
    EXPECT_EQ(Velkor_GET_LP(kCard, 1), 2000);
    EXPECT_EQ(Velkor_GET_ERROR(kCard), 1);
    EXPECT_EQ(Velkor_GET_ERROR_CODE(kCard, 1), velkor_sim::error::kSoftLimitPlus);
    EXPECT_EQ(Velkor_GET_ERROR_CODE(kCard, 2), 0);
    Velkor_CLEAR_STOP(kCard);
    EXPECT_EQ(Velkor_GET_ERROR(kCard), 0);
}

TEST_F(EndToEnd, VectorMotionEndsExactlyOnItsEndPoints)
{
    Velkor_AXIS_ASSIGN(kCard, 1, 2, 4);
    Velkor_SET_VSV(kCard, 200);
    Velkor_SET_VV(kCard, 20000);
    Velkor_SET_VA(kCard, 200000);
    Velkor_LINE_2D(kCard, 4000, -3000);
    Velkor_ARC_CCW(kCard, 0, 2000, 0, 4000);   // half circle about (0, 2000) from the start
    Velkor_CIRCLE_CW(kCard, -1500, 0);         // full circle, back where it began
    Velkor_LINE_3D(kCard, -4000, -1000, 2500);
    ASSERT_TRUE(RunToStop(7));
    EXPECT_EQ(Velkor_GET_LP(kCard, 1), 0);
    EXPECT_EQ(Velkor_GET_LP(kCard, 2), 0);
    EXPECT_EQ(Velkor_GET_LP(kCard, 4), 2500);
    EXPECT_EQ(module.GetCounters().sequenceGaps, 0u);
}

TEST_F(EndToEnd, ContinuousLinePathEndsExactlyOnItsEnd)
{
    Velkor_LINE_3D_INITIAL(kCard, 1, 2, 4, 1000, 30000, 300000);
    std::int32_t sum[3] = {0, 0, 0};
    for (int k = 0; k < 40; ++k) {
        const std::int32_t d[3] = {37 * (k % 7) - 100, 13 * k, -11 * (k % 5)};
        Velkor_LINE_3D_CONTINUE(kCard, k == 39 ? 1 : 0, d[0], d[1], d[2]);
        for (int i = 0; i < 3; ++i) {
            sum[i] += d[i];
        }
    }
    ASSERT_TRUE(RunToStop(7));
    EXPECT_EQ(Velkor_GET_LP(kCard, 1), sum[0]);
    EXPECT_EQ(Velkor_GET_LP(kCard, 2), sum[1]);
    EXPECT_EQ(Velkor_GET_LP(kCard, 4), sum[2]);
    const auto c = module.GetCounters();
    EXPECT_EQ(c.sequenceGaps, 0u);
    EXPECT_EQ(c.droppedPackets, 0u);
}

TEST_F(EndToEnd, HoldLetsAWholePathArriveBeforeItStarts)
{
    Velkor_DRV_HOLD(kCard, 3);
    Velkor_LINE_2D_INITIAL(kCard, 1, 2, 500, 5000, 50000);
    Velkor_LINE_2D_CONTINUE(kCard, 0, 100, 0);
    Velkor_LINE_2D_CONTINUE(kCard, 1, 0, 100);
    module.Advance(1s);
    EXPECT_EQ(Velkor_GET_LP(kCard, 1), 0);
    EXPECT_EQ(Velkor_STOP_WAIT(kCard, 3), 0);
    Velkor_DRV_START(kCard, 3);
    ASSERT_TRUE(RunToStop(3));
    EXPECT_EQ(Velkor_GET_LP(kCard, 1), 100);
    EXPECT_EQ(Velkor_GET_LP(kCard, 2), 100);
}

TEST_F(EndToEnd, MacroRecordingTurnsCallsIntoSteps)
{
    Velkor_MP_CREATE(kCard, 3);
    Velkor_FIXED_MOVE(kCard, 1, 100);
    EXPECT_EQ(Velkor_GET_LP(kCard, 1), 0); // the recording path: a step, no query
    Velkor_MP_STOP_WAIT(kCard, 1);
    Velkor_MP_CLOSE(kCard);
    module.WaitSettled();
    EXPECT_EQ(module.MacroProgramSteps(3), 3u);
    EXPECT_EQ(Velkor_GET_LP(kCard, 1), 0); // recorded, not carried out
    Velkor_MP_CALL(kCard, 3);
    module.WaitSettled();
    EXPECT_TRUE(module.MacroRun().running);
    ASSERT_TRUE(module.AdvanceUntilProgramEnds(std::chrono::seconds(10)));
    EXPECT_EQ(Velkor_GET_LP(kCard, 1), 100);
    EXPECT_TRUE(module.Unsimulated().empty());
}

TEST_F(EndToEnd, DriveEndRaisesTheSlotInterruptTheHostWaitsFor)
{
    Velkor_INTFACTOR_ENABLE(kCard, 0x01, 0, 0); // factor 0: a drive has ended
    Velkor_ENABLE_INT(kCard);
    ASSERT_EQ(Velkor_ENABLE_RINT(kCard), 1);
    Profile(1, 1000, 1000, 0);
    Velkor_FIXED_MOVE(kCard, 1, 50);
    EXPECT_EQ(Velkor_RINT_WAIT(kCard, 0x01, 20), 0); // still moving: time-out
    ASSERT_TRUE(RunToStop(1));
    EXPECT_EQ(Velkor_RINT_WAIT(kCard, 0x01, 2000), 0x01);
    Velkor_MP_SET_RINT(kCard); // outside a program: factor 7 at once, not enabled
    EXPECT_EQ(Velkor_RINT_WAIT(kCard, 0x80, 20), 0);
    Velkor_DISABLE_RINT(kCard);
    Velkor_DISABLE_INT(kCard);
    EXPECT_EQ(brelan::GetInterruptState(kSlot).acknowledged, 1u);
    // DISABLE_RINT waits for the service thread: none is left once it returns.
    EXPECT_EQ(velkor::FindCard(kCard)->interruptThreads.load(), 0);
}

TEST_F(EndToEnd, ResetAndBufferClearRestartNumberingWithoutGaps)
{
    Velkor_SET_V(kCard, 1, 1000);
    Velkor_CLEAR_CARD_BUFFER(kCard);
    Velkor_SET_V(kCard, 1, 1000);
    Velkor_RESET_CARD(kCard);
    Velkor_SET_V(kCard, 1, 1000);
    module.WaitSettled();
    const auto c = module.GetCounters();
    EXPECT_EQ(c.packetsTaken, 3u);
    EXPECT_EQ(c.sequenceGaps, 0u);
    EXPECT_EQ(Velkor_CHECK_RTC(kCard), 0); // an idle module answers the probe with zeros
}

TEST_F(EndToEnd, HostNeverFindsTheMailboxBusyNorSleeps)
{
    brelan::SetTrace(true);
    const auto start = SteadyClock::now();
    for (int i = 0; i < 200; ++i) {
        Velkor_SET_V(kCard, 1, 1000 + i);
        EXPECT_EQ(Velkor_GET_LP(kCard, 1), 0);
        Velkor_WRITE_VAR(kCard, static_cast<std::uint16_t>(i), i);
        EXPECT_EQ(Velkor_READ_VAR(kCard, static_cast<std::uint16_t>(i)), i);
    }
    const auto elapsed = SteadyClock::now() - start;
    const std::vector<brelan::Access> trace = brelan::TakeTrace();
    brelan::SetTrace(false);
    int handshakeReads = 0;
    for (const brelan::Access& a : trace) {
        if (a.kind == brelan::Access::Kind::Read && a.offset == 126) {
            ++handshakeReads;
            EXPECT_EQ(a.value, 0);
        }
    }
    // One read per packet, two per query: never a second look.
    EXPECT_EQ(handshakeReads, 200 * (1 + 2 + 1 + 2));
    EXPECT_LT(elapsed, 5s); // 800 polls of 1 ms sleeps would be the old way
}

// 1: not ready to take a command (busy, or no module); 0: a live idle module.
TEST_F(EndToEnd, CheckRtcSaysWhetherTheModuleIsReady)
{
    EXPECT_EQ(Velkor_CHECK_RTC(kCard), 0);
    module.SetBusy(true);
    Velkor_SET_V(kCard, 1, 1000); // stays in the mailbox
    EXPECT_EQ(Velkor_CHECK_RTC(kCard), 1);
    module.SetBusy(false);
    module.WaitSettled();
    EXPECT_EQ(Velkor_CHECK_RTC(kCard), 0);
    module.Unplug(); // the slot reads 0xFF
    EXPECT_EQ(Velkor_CHECK_RTC(kCard), 1);
    ASSERT_TRUE(module.PlugInto(kSlot));
    EXPECT_EQ(Velkor_CHECK_RTC(kCard), 0);
    EXPECT_EQ(module.GetCounters().droppedPackets, 0u);
}

} // namespace
} // namespace velkor_sim_test
