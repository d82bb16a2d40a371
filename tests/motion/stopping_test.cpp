// Drive hold and start, the stops with their stop flag, and the stop-state poll.
#include "card_fixture.h"

#include <chrono>
#include <functional>

namespace velkor_test {
namespace {

constexpr std::uint8_t X = 0xEE;

class Stopping : public CardTest {
protected:
    void SetUp() override
    {
        CardTest::SetUp();
        card->sequence = 4;
    }
};

TEST_F(Stopping, HoldStartAndInterpolationEndArePackets)
{
    struct Case {
        const char* name;
        std::function<void()> call;
        std::vector<std::uint8_t> bytes;
    };
    const Case cases[] = {
        {"DRV_HOLD", [] { Velkor_DRV_HOLD(kCard, 3); }, {180, 10, 3, X}},
        {"DRV_START", [] { Velkor_DRV_START(kCard, 3); }, {181, 10, 3, X}},
        {"INTP_END", [] { Velkor_INTP_END(kCard, 9); }, {188, 10, 9, X}},
    };
    std::uint8_t sequence = 4;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::memset(card->staging, X, sizeof card->staging);
        c.call();
        EXPECT_EQ(module.TakeAccesses(), PacketTrace(++sequence, c.bytes));
    }
}

TEST_F(Stopping, DirectStopsGoThroughTheHandshakeAndSetOrClearTheFlag)
{
    struct Case {
        const char* name;
        std::function<void()> call;
        std::uint8_t flagBefore, flagAfter;
        std::vector<BusAccess> trace;
    };
    const Case cases[] = {
        {"STOP_SLOWLY", [] { Velkor_STOP_SLOWLY(kCard, 3); }, 0, 1,
         {W(2, 31), W(96, 3), R(126, 0), W(126, 183), R(126, 0), W(2, 4)}},
        {"STOP_SUDDENLY", [] { Velkor_STOP_SUDDENLY(kCard, 5); }, 0, 1,
         {W(2, 31), W(96, 5), R(126, 0), W(126, 184), R(126, 0), W(2, 4)}},
        {"VSTOP_SLOWLY", [] { Velkor_VSTOP_SLOWLY(kCard); }, 0, 1, {W(2, 31), R(126, 0), W(126, 185), R(126, 0), W(2, 4)}},
        {"VSTOP_SUDDENLY on a stopped card", [] { Velkor_VSTOP_SUDDENLY(kCard); }, 1, 1,
         {W(2, 31), R(126, 0), W(126, 186), R(126, 0), W(2, 4)}},
        {"CLEAR_STOP leaves 31 in the sequence register", [] { Velkor_CLEAR_STOP(kCard); }, 1, 0,
         {W(2, 31), R(126, 0), W(126, 187), R(126, 0)}},
        {"CLEAR_STOP on a clear card", [] { Velkor_CLEAR_STOP(kCard); }, 0, 0,
         {W(2, 31), R(126, 0), W(126, 187), R(126, 0)}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        card->stopFlag = c.flagBefore;
        c.call();
        EXPECT_EQ(module.TakeAccesses(), c.trace);
        EXPECT_EQ(card->stopFlag, c.flagAfter);
        EXPECT_TRUE(module.TakePackets().empty());
    }
}

TEST_F(Stopping, StoppedCardDropsPacketsThatMeetABusyMailboxUntilCleared)
{
    Velkor_VSTOP_SLOWLY(kCard);
    module.TakeAccesses();

    module.SetPending(1, kForever); // the module holds the previous packet
    Velkor_DRV_HOLD(kCard, 2);
    EXPECT_EQ(module.TakeAccesses(), (std::vector<BusAccess>{W(2, 5), R(126, 1)}));
    EXPECT_EQ(card->sequence, 4); // the number is given back

    module.Release();
    Velkor_CLEAR_STOP(kCard);
    EXPECT_EQ(module.RegisterValue(2), 31);
    module.TakeAccesses();

    module.SetPending(1, 2); // now a packet waits for the busy mailbox
    Velkor_DRV_START(kCard, 2);
    EXPECT_EQ(module.TakeAccesses(), (std::vector<BusAccess>{W(2, 5), R(126, 1), R(126, 1), R(126, 0), W(64, 181),
                                                             W(66, 10), W(68, 2), W(70, 0), W(126, 1)}));
    EXPECT_EQ(module.TakePackets(), (std::vector<Packet>{{5, {181, 10, 2, 0}}}));
}

TEST_F(Stopping, StopWaitPausesThenAsksOnce)
{
    module.SetReply(182, {0x5A});
    card->stopFlag = 1;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Velkor_STOP_WAIT(kCard, 6), 0x5A);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(2));
    EXPECT_EQ(module.TakeAccesses(),
              (std::vector<BusAccess>{W(2, 31), W(96, 6), R(126, 0), W(126, 182), R(126, 0), R(64, 0x5A), W(2, 4)}));
    EXPECT_EQ(card->stopFlag, 1);
}

} // namespace
} // namespace velkor_test
