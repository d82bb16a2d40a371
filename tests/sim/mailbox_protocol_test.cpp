// The module's side of the mailbox: ID, read-back, taking packets, answering
// codes, sequence checking, busy mode, take latency, unsimulated codes.
#include "sim_fixture.h"

#include <atomic>
#include <future>

namespace velkor_sim_test {
namespace {

using velkor_sim::ModuleOptions;
using velkor_sim::VirtualModule;
using SteadyClock = std::chrono::steady_clock;

class Mailbox : public SimTest {};

TEST_F(Mailbox, IdAndDataAreaReadBack)
{
    EXPECT_EQ(host.R(0), 'D');
    host.W(64, 100);
    EXPECT_EQ(host.R(64), 100);
    host.W(64, 0);
    EXPECT_EQ(host.R(64), 0);

    ModuleOptions options;
    options.id = 'U';
    VirtualModule other(options);
    ASSERT_TRUE(other.PlugInto(5));
    EXPECT_EQ(RawHost(5).R(0), 'U');
}

// A module holds its slot until it is unplugged, moved or put out of it by
// another; the one put out holds no slot, and what it does afterwards never
// touches the slot it was in. Modules: A 'D' (in slot 3 at the start), B 'U'.
TEST_F(Mailbox, AModulePutOutOfItsSlotHoldsNoSlot)
{
    ModuleOptions options;
    options.id = 'U';
    VirtualModule b(options);
    const struct {
        const char* what;
        VirtualModule* mover;
        std::uint8_t to; // 0: unplugged
        std::uint8_t slotOfA, slotOfB;
        std::uint8_t idIn3, idIn5;
    } rows[] = {
        {"B plugged over A", &b, 3, 0, 3, 'U', 0xFF},
        {"A unplugged: B keeps slot 3", &module, 0, 0, 3, 'U', 0xFF},
        {"A into 5", &module, 5, 5, 3, 'U', 'D'},
        {"B over A again, in 5", &b, 5, 0, 5, 0xFF, 'U'},
        {"A into 3, B stays in 5", &module, 3, 3, 5, 'D', 'U'},
    };
    for (const auto& r : rows) {
        if (r.to == 0) {
            r.mover->Unplug();
        } else {
            ASSERT_TRUE(r.mover->PlugInto(r.to)) << r.what;
        }
        EXPECT_EQ(module.Snapshot().slot, r.slotOfA) << r.what;
        EXPECT_EQ(b.Snapshot().slot, r.slotOfB) << r.what;
        EXPECT_EQ(RawHost(3).R(0), r.idIn3) << r.what;
        EXPECT_EQ(RawHost(5).R(0), r.idIn5) << r.what;
    }
}

TEST_F(Mailbox, PacketIsTakenAndHandshakeCleared)
{
    ASSERT_TRUE(host.Post(Pkt(72).U8(2, 1).U32(4, 5000)));
    module.WaitSettled();
    EXPECT_EQ(host.R(126), 0);
    const auto c = module.GetCounters();
    EXPECT_EQ(c.packetsTaken, 1u);
    EXPECT_EQ(c.sequenceGaps, 0u);
    EXPECT_EQ(c.droppedPackets, 0u);
    EXPECT_TRUE(module.Unsimulated().empty());
}

TEST_F(Mailbox, PacketIsTakenAndCodeAnsweredInTheHandshakeWrite)
{
    const Pkt setEp = Pkt(42).U8(2, 1).I32(4, -7);
    host.W(2, 0);
    for (std::size_t i = 0; i < setEp.bytes().size(); ++i) {
        host.W(static_cast<std::uint8_t>(64 + 2 * i), setEp.bytes()[i]);
    }
    host.W(126, 1);
    // No waiting of any kind: taken by the time the write returned.
    EXPECT_EQ(module.GetCounters().packetsTaken, 1u);
    EXPECT_EQ(host.R(126), 0);
    host.W(2, 31);
    host.W(96, 1);
    host.W(126, 43); // GET_EP
    EXPECT_EQ(host.R(126), 0);
    EXPECT_EQ(host.R(64), 0xF9);
    EXPECT_EQ(host.R(66), 0xFF);
    EXPECT_EQ(module.GetCounters().exchangesAnswered, 1u);
}

TEST_F(Mailbox, SkippedNumbersAreCountedAsGaps)
{
    auto post = [&](std::uint8_t seq) {
        host.W(2, seq);
        host.W(64, 72);
        host.W(66, 10);
        host.W(126, 1);
        module.WaitSettled();
    };
    post(28);
    post(29);
    post(0); // the ring wraps without a gap
    post(3); // 1 and 2 missing
    const auto c = module.GetCounters();
    EXPECT_EQ(c.packetsTaken, 4u);
    EXPECT_EQ(c.sequenceGaps, 2u);
    EXPECT_EQ(host.ErrorCode(1) & velkor_sim::error::kPacketMissing, velkor_sim::error::kPacketMissing);
}

TEST_F(Mailbox, BusyModeHoldsThePacketUntilReleased)
{
    module.SetBusy(true);
    ASSERT_TRUE(host.Post(Pkt(72).U8(2, 1).U32(4, 5000)));
    std::this_thread::sleep_for(20ms);
    EXPECT_EQ(host.R(126), 1);
    EXPECT_EQ(module.GetCounters().packetsTaken, 0u);
    module.SetBusy(false);
    module.WaitSettled();
    EXPECT_EQ(host.R(126), 0);
    EXPECT_EQ(module.GetCounters().packetsTaken, 1u);
}

TEST_F(Mailbox, TakeLatencyDelaysTheTake)
{
    module.SetTakeLatency(30ms);
    const auto start = SteadyClock::now();
    ASSERT_TRUE(host.Post(Pkt(72).U8(2, 1).U32(4, 5000)));
    EXPECT_EQ(host.R(126), 1);
    module.WaitSettled();
    EXPECT_GE(SteadyClock::now() - start, 30ms);
    EXPECT_EQ(host.Query(204), velkor_sim::kDefaultFirmwareVersion);
}

TEST_F(Mailbox, GivenUpPacketIsCountedAsDropped)
{
    ASSERT_TRUE(host.Post(Pkt(72).U8(2, 1).U32(4, 1000)));
    module.WaitSettled();
    module.SetBusy(true);
    ASSERT_TRUE(host.Post(Pkt(72).U8(2, 1).U32(4, 2000)));  // held by the busy module
    EXPECT_FALSE(host.Post(Pkt(72).U8(2, 1).U32(4, 3000), true)); // given up
    module.SetBusy(false);
    module.WaitSettled();
    ASSERT_TRUE(host.Post(Pkt(72).U8(2, 1).U32(4, 4000))); // carries the number given back
    module.WaitSettled();
    const auto c = module.GetCounters();
    EXPECT_EQ(c.packetsTaken, 3u);
    EXPECT_EQ(c.droppedPackets, 1u);
    EXPECT_EQ(c.sequenceGaps, 0u);
}

TEST_F(Mailbox, GivenUpPacketFollowedByAQueryIsCounted)
{
    module.SetBusy(true);
    ASSERT_TRUE(host.Post(Pkt(72).U8(2, 1).U32(4, 2000)));
    EXPECT_FALSE(host.Post(Pkt(72).U8(2, 1).U32(4, 3000), true));
    module.SetBusy(false);
    host.Query(204);
    EXPECT_EQ(module.GetCounters().droppedPackets, 1u);
}

TEST_F(Mailbox, PacketThatWaitedIsNotDropped)
{
    module.SetBusy(true);
    ASSERT_TRUE(host.Post(Pkt(72).U8(2, 1).U32(4, 2000)));
    auto second = std::async(std::launch::async, [&] { return host.Post(Pkt(72).U8(2, 1).U32(4, 3000)); });
    EXPECT_EQ(second.wait_for(30ms), std::future_status::timeout); // it waits for the busy module
    module.SetBusy(false);
    EXPECT_TRUE(second.get());
    module.WaitSettled();
    host.Query(204);
    const auto c = module.GetCounters();
    EXPECT_EQ(c.packetsTaken, 2u);
    EXPECT_EQ(c.droppedPackets, 0u);
    EXPECT_EQ(c.sequenceGaps, 0u);
}

TEST_F(Mailbox, SequenceProbeWhilePacketHeldIsNoDrop)
{
    module.SetBusy(true);
    ASSERT_TRUE(host.Post(Pkt(72).U8(2, 1).U32(4, 2000)));
    const std::uint8_t held = host.seq();
    for (int i = 1; i <= 4; ++i) {
        host.W(2, static_cast<std::uint8_t>((held + i) % 30));
        host.R(126);
    }
    host.W(2, held);
    module.SetBusy(false);
    module.WaitSettled();
    EXPECT_EQ(module.GetCounters().droppedPackets, 0u);
}

TEST_F(Mailbox, ResetRestartsNumberingAtZero)
{
    ASSERT_TRUE(host.Post(Pkt(72).U8(2, 1).U32(4, 1000)));
    ASSERT_TRUE(host.Post(Pkt(72).U8(2, 1).U32(4, 1000)));
    host.W(2, 31);
    host.WaitIdle();
    host.W(126, 10);
    host.WaitIdle();
    host.W(2, 0);
    host.W(64, 72);
    host.W(126, 1);
    module.WaitSettled();
    EXPECT_EQ(module.GetCounters().sequenceGaps, 0u);
}

TEST_F(Mailbox, UnsimulatedCodesAreTakenAndCounted)
{
    ASSERT_TRUE(host.Post(Pkt(197).U8(2, 1)));     // a code no command has
    ASSERT_TRUE(host.Post(Pkt(144).U8(2, 1)));     // LINE_SCAN without a follow axis: refused
    ASSERT_TRUE(host.Post(Pkt(197).U8(2, 2)));
    ASSERT_TRUE(host.Post(Pkt(99 + 100).U8(2, 1))); // a code no command has
    EXPECT_EQ(host.Query(250, {}, 0), 0u);          // no such query: still cleared
    EXPECT_EQ(host.Query(77, {}, 0), 0u);
    const auto unsimulated = module.Unsimulated();
    EXPECT_EQ(unsimulated.at(197), 2u);
    EXPECT_EQ(unsimulated.at(144), 1u);
    EXPECT_EQ(unsimulated.at(199), 1u);
    EXPECT_EQ(unsimulated.at(250), 1u);
    EXPECT_EQ(unsimulated.at(77), 1u);
    EXPECT_EQ(module.GetCounters().unsimulated, 6u);
    EXPECT_EQ(host.R(126), 0);
}

TEST_F(Mailbox, MacroRecordingKeepsPacketsAsSteps)
{
    ASSERT_TRUE(host.Post(Pkt(201).U8(2, 4)));
    ASSERT_TRUE(host.Post(Pkt(78).U8(2, 1).I32(4, 500)));
    ASSERT_TRUE(host.Post(Pkt(41).U8(2, 1)));
    ASSERT_TRUE(host.Post(Pkt(202)));
    module.WaitSettled();
    EXPECT_EQ(module.MacroProgramSteps(4), 2u);
    module.Advance(100ms);
    EXPECT_EQ(host.Lp(1), 0); // recorded, not carried out
}

TEST(Trace, PacketsAndExchangesAreDescribedWithTheirFields)
{
    velkor_sim::LogEntry packet;
    packet.sequence = 7;
    packet.code = 13;
    packet.bytes = {13, 10, 1, 0, 244, 1, 0, 0};
    EXPECT_EQ(velkor_sim::Describe(packet), "#7  SET_MAX_V axis=1 data=500");
    velkor_sim::LogEntry query;
    query.kind = velkor_sim::LogEntry::Kind::Exchange;
    query.code = 41;
    query.registers[0] = 2;
    query.bytes = {0xFF, 0xFF, 0xFF, 0xFF};
    EXPECT_EQ(velkor_sim::Describe(query), "query GET_LP axis=2 -> -1");
    // Interrupt factor masks read in hex with the factors' names.
    velkor_sim::LogEntry factors;
    factors.sequence = 3;
    factors.code = 172;
    factors.bytes = {172, 6, 0x51, 0, 0, 0, 0, 0};
    EXPECT_EQ(velkor_sim::Describe(factors),
              "#3  INTFACTOR_ENABLE factors=0x51 (DRIVE_END|COMPARE|SYNC_ACTION) param2=0 param3=0");
    factors.code = 173;
    factors.bytes = {173, 6, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(velkor_sim::Describe(factors), "#3  INTFACTOR_DISABLE factors=0x00 param2=0");
    EXPECT_EQ(velkor_sim::CodeName(129, velkor_sim::LogEntry::Kind::Packet), "LINE_3D_CONTINUE");
    EXPECT_EQ(velkor_sim::CodeName(99 + 100, velkor_sim::LogEntry::Kind::Packet), "code 199");
}

} // namespace
} // namespace velkor_sim_test
