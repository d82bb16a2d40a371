// Packet posting, the sequence ring and the query exchange.
#include "card_fixture.h"

#include "transport/command.h"
#include "transport/mailbox.h"

namespace velkor_test {
namespace {

using velkor::Ask;
using velkor::After;
using velkor::Before;
using velkor::Reply;

class Mailbox : public CardTest {
protected:
    void StageTwoBytes(std::uint8_t code)
    {
        card->staging[0] = code;
        card->staging[1] = 10;
        card->packetLength = 2;
    }
};

TEST_F(Mailbox, ShortestPacketWritesSequenceTwoBytesAndHandshake)
{
    StageTwoBytes(170);
    EXPECT_EQ(WRITE_DATA(kCard), 0);
    EXPECT_EQ(module.TakeAccesses(), PacketTrace(1, {170, 10}));
    EXPECT_EQ(module.TakePackets(), (std::vector<Packet>{{1, {170, 10}}}));
}

TEST_F(Mailbox, SequenceRingWrapsAfter29)
{
    StageTwoBytes(171);
    card->sequence = 28;
    std::vector<std::uint8_t> seen;
    for (int i = 0; i < 3; ++i) {
        WRITE_DATA(kCard);
    }
    for (const Packet& p : module.TakePackets()) {
        seen.push_back(p.sequence);
    }
    EXPECT_EQ(seen, (std::vector<std::uint8_t>{29, 0, 1}));
}

TEST_F(Mailbox, WaitsWhileTheModuleHoldsThePreviousPacket)
{
    StageTwoBytes(171);
    module.SetPending(1, 3);
    EXPECT_EQ(WRITE_DATA(kCard), 0);
    EXPECT_EQ(module.TakeAccesses(),
              (std::vector<BusAccess>{W(2, 1), R(126, 1), R(126, 1), R(126, 1), R(126, 0), W(64, 171), W(66, 10), W(126, 1)}));
}

TEST_F(Mailbox, UnfinishedQueryCodeDoesNotHoldAPacketBack)
{
    StageTwoBytes(171);
    module.SetPending(41, kForever);
    EXPECT_EQ(WRITE_DATA(kCard), 0);
    EXPECT_EQ(module.TakeAccesses(), (std::vector<BusAccess>{W(2, 1), R(126, 41), W(64, 171), W(66, 10), W(126, 1)}));
}

TEST_F(Mailbox, StopFlagDropsAPacketThatMeetsABusyMailbox)
{
    StageTwoBytes(171);
    card->stopFlag = 1;
    module.SetPending(1, kForever);
    EXPECT_EQ(WRITE_DATA(kCard), 1);
    EXPECT_EQ(module.TakeAccesses(), (std::vector<BusAccess>{W(2, 1), R(126, 1)}));
    EXPECT_EQ(card->sequence, 0); // the number is given back

    card->sequence = 0;
    EXPECT_EQ(WRITE_DATA(kCard), 1);
    EXPECT_EQ(card->sequence, 0);
    module.TakeAccesses();

    // A free mailbox still takes the packet while the flag is set.
    module.Release();
    EXPECT_EQ(WRITE_DATA(kCard), 0);
    EXPECT_EQ(card->sequence, 1);
}

TEST_F(Mailbox, DroppedPacketNumberZeroStepsBackTo29)
{
    StageTwoBytes(171);
    card->sequence = 29;
    card->stopFlag = 1;
    module.SetPending(1, kForever);
    EXPECT_EQ(WRITE_DATA(kCard), 1);
    EXPECT_EQ(module.TakeAccesses(), (std::vector<BusAccess>{W(2, 0), R(126, 1)}));
    EXPECT_EQ(card->sequence, 29);
}

TEST_F(Mailbox, StagingBytesCarryOverBetweenPackets)
{
    card->staging[3] = 0xAB;
    velkor::Command(kCard).Packet(21).Byte(2, 4).Send(4);
    EXPECT_EQ(module.TakePackets(), (std::vector<Packet>{{1, {21, 10, 4, 0xAB}}}));
}

TEST_F(Mailbox, QueryWritesRegistersBeforeAndAfterTheIdleWait)
{
    module.SetPending(9, 1);
    module.SetReply(48, {0x34, 0x12});
    card->sequence = 5;
    velkor::CardLockHold hold(*card);
    const auto reply = velkor::RunQuery(*card, After(Before(Ask(48, Reply::Word), 96, 2), 108, 3));
    EXPECT_EQ(reply, 0x1234u);
    EXPECT_EQ(module.TakeAccesses(), (std::vector<BusAccess>{W(2, 31), W(96, 2), R(126, 9), R(126, 0), W(108, 3),
                                                             W(126, 48), R(126, 0), R(66, 0x12), R(64, 0x34), W(2, 5)}));
}

TEST_F(Mailbox, QueryWaitsForTheAnswerAndReadsTheRegisterAtLeastOnce)
{
    module.SetBusyPolls(2);
    velkor::CardLockHold hold(*card);
    velkor::RunQuery(*card, Ask(47, Reply::Byte));
    EXPECT_EQ(module.TakeAccesses(),
              (std::vector<BusAccess>{W(2, 31), R(126, 0), W(126, 47), R(126, 47), R(126, 47), R(126, 0), R(64, 0), W(2, 0)}));
}

TEST_F(Mailbox, RecordingPathPostsTheQueryCodeAsAPacket)
{
    card->recording = 1;
    const auto result = velkor::Read(kCard, Ask(46, Reply::Byte), velkor::Record(1, 2));
    EXPECT_TRUE(result.recorded);
    EXPECT_EQ(result.reply, 0u);
    EXPECT_EQ(module.TakePackets(), (std::vector<Packet>{{1, {46, 10, 1, 0, 2, 0}}}));
    EXPECT_TRUE(module.TakeCodes().empty());

    const auto direct = velkor::ReadDirect(kCard, Ask(44, Reply::Dword));
    EXPECT_FALSE(direct.recorded);
    EXPECT_EQ(module.TakeCodes(), (std::vector<std::uint8_t>{44}));
}

} // namespace
} // namespace velkor_test
