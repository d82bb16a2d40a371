// Synchronous action, compare, preset and output packets, and the latch query.
#include "card_fixture.h"

#include <functional>
#include <thread>

namespace velkor_test {
namespace {

constexpr std::uint8_t X = 0xEE;

TEST_F(CardTest, ComparePresetAndOutputStageTheirRow)
{
    struct Case {
        const char* name;
        std::function<void()> call;
        std::vector<std::uint8_t> bytes;
    };
    const Case cases[] = {
        {"SET_COMPARE", [] { Velkor_SET_COMPARE(kCard, 1, 2, 3, -2); }, {112, 10, 1, X, 2, X, 3, X, 0xFE, 0xFF, 0xFF, 0xFF}},
        {"SET_PRESET", [] { Velkor_SET_PRESET(kCard, 4, 0x01020304); }, {114, 10, 4, X, 4, 3, 2, 1}},
        {"SET_OUT", [] { Velkor_SET_OUT(kCard, 5, 6, 7); }, {115, 10, 5, X, 6, X, 7, X}},
    };
    std::uint8_t sequence = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::memset(card->staging, X, sizeof card->staging);
        c.call();
        EXPECT_EQ(module.TakeAccesses(), PacketTrace(++sequence, c.bytes));
    }
}

TEST_F(CardTest, SyncActionSendsTwoPacketsTheSecondOverTheFirst)
{
    std::memset(card->staging, X, sizeof card->staging);
    Velkor_SYNC_ACTION(kCard, 1, 2, 258, 4, 5, 6, 7, 8, 9, 10, 11, 12);
    EXPECT_EQ(module.TakePackets(),
              (std::vector<Packet>{{1, {110, 10, 1, X, 2, X, 2, 1, 0, 0}},
                                   {2, {111, 10, 4, X, 5, X, 6, 1, 7, 0, 8, X, 9, X, 10, X, 11, X, 12, X}}}));
}

TEST_F(CardTest, NoOtherPacketComesBetweenTheSyncActionPackets)
{
    std::thread other([] {
        for (int i = 0; i < 40; ++i) {
            Velkor_SET_OUT(kCard, 1, 2, 3);
        }
    });
    for (int i = 0; i < 40; ++i) {
        Velkor_SYNC_ACTION(kCard, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12);
    }
    other.join();
    const std::vector<Packet> packets = module.TakePackets();
    ASSERT_EQ(packets.size(), 120u);
    for (std::size_t i = 0; i < packets.size(); ++i) {
        if (packets[i].bytes[0] == 110) {
            ASSERT_LT(i + 1, packets.size());
            EXPECT_EQ(packets[i + 1].bytes[0], 111) << i;
        }
    }
}

TEST_F(CardTest, LatchIsASignedQueryWithTheAxisBeforeTheIdleWait)
{
    card->sequence = 3;
    module.SetPending(9, 1);
    module.SetReply(113, {0xFF, 0xFF, 0xFF, 0xFF});
    EXPECT_EQ(Velkor_GET_LATCH(kCard, 2), -1);
    EXPECT_EQ(module.TakeAccesses(), (std::vector<BusAccess>{W(2, 31), W(96, 2), R(126, 9), R(126, 0), W(126, 113),
                                                             R(126, 0), R(70, 0xFF), R(68, 0xFF), R(66, 0xFF),
                                                             R(64, 0xFF), W(2, 3)}));
}

} // namespace
} // namespace velkor_test
