// Card registration, reset, buffer clearing, the sequence probe and versions.
#include "card_fixture.h"

#include <chrono>

namespace velkor_test {
namespace {

using Clock = std::chrono::steady_clock;

class Registration : public CardTest {};

TEST_F(Registration, AcceptedModuleProducesExactTrace)
{
    module.SetId('U');
    ASSERT_EQ(Velkor_REGISTRATION(kCard, kSlot), 1);
    EXPECT_EQ(module.TakeAccesses(),
              (std::vector<BusAccess>{R(0, 'U'), W(2, 0), W(64, 100), R(64, 100), W(64, 0)}));
    EXPECT_EQ(card->moduleId, 'U');
    EXPECT_EQ(card->windowBase, GetSlotAddr(kSlot));
}

TEST_F(Registration, RefusalsStopWhereTheyShould)
{
    struct Case {
        const char* name;
        std::uint8_t card;
        std::uint8_t slot;
        std::uint8_t id;
        bool readBack;
        std::vector<BusAccess> trace;
    };
    const Case cases[] = {
        {"slot 0", 0, 0, 'D', true, {}},
        {"slot 8", 0, 8, 'D', true, {}},
        {"card 8", 8, kSlot, 'D', true, {}},
        {"lower-case id", 0, kSlot, 'd', true, {R(0, 'd')}},
        {"no read-back", 0, kSlot, 'D', false, {R(0, 'D'), W(2, 0), W(64, 100), R(64, 0)}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        module.SetId(c.id);
        module.SetReadBack(c.readBack);
        brelan::SetTrace(true);
        EXPECT_EQ(Velkor_REGISTRATION(c.card, c.slot), 0);
        EXPECT_EQ(module.TakeAccesses(), c.trace);
        const auto bus = brelan::TakeTrace();
        // Refusals of the slot or card number never ask for a slot address.
        if (c.trace.empty()) {
            EXPECT_TRUE(bus.empty());
        }
    }
}

TEST_F(Registration, ClearsFlagsButKeepsSequence)
{
    card->sequence = 17;
    card->stopFlag = 1;
    card->recording = 1;
    card->interruptRun = 1;
    ASSERT_EQ(Velkor_REGISTRATION(kCard, kSlot), 1);
    EXPECT_EQ(card->stopFlag, 0);
    EXPECT_EQ(card->recording, 0);
    EXPECT_EQ(card->interruptRun, 0);
    EXPECT_EQ(card->sequence, 17);
}

TEST_F(Registration, FailedIdCheckStillStoresSlot)
{
    module.SetId('X');
    ASSERT_EQ(Velkor_REGISTRATION(kCard, 5), 0);
    EXPECT_EQ(card->slot, 5);
    EXPECT_EQ(card->windowBase, GetSlotAddr(5));
}

TEST(Version, IsFixedAndNeedsNoCard)
{
    EXPECT_EQ(Velkor_GET_VERSION(), 1809);
}

TEST(Variable, ApplicationOwnsIt)
{
    nVelkor = 42;
    EXPECT_EQ(nVelkor, 42);
    nVelkor = 0;
}

class CardControl : public CardTest {};

TEST_F(CardControl, ResetWaitsIdleSignalsAndRestartsNumbering)
{
    module.SetBusyPolls(0);
    module.SetPending(7, 2); // an unfinished exchange: two busy reads
    card->stopFlag = 1;
    card->recording = 1;
    card->interruptRun = 1;
    const auto start = Clock::now();
    Velkor_RESET_CARD(kCard);
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(500));
    EXPECT_EQ(module.TakeAccesses(), (std::vector<BusAccess>{W(2, 31), R(126, 7), R(126, 7), R(126, 0), W(126, 10)}));
    EXPECT_EQ(card->sequence, 29);
    EXPECT_EQ(card->stopFlag, 0);
    EXPECT_EQ(card->recording, 0);
    EXPECT_EQ(card->interruptRun, 0);
    WRITE_DATA(kCard);
    EXPECT_EQ(module.TakePackets().at(0).sequence, 0);
}

TEST_F(CardControl, ClearBufferKeepsStopAndRunFlags)
{
    card->stopFlag = 1;
    card->recording = 1;
    card->interruptRun = 1;
    Velkor_CLEAR_CARD_BUFFER(kCard);
    EXPECT_EQ(module.TakeAccesses(), (std::vector<BusAccess>{W(2, 31), R(126, 0), W(126, 11)}));
    EXPECT_EQ(module.TakeCodes(), (std::vector<std::uint8_t>{11}));
    EXPECT_EQ(card->sequence, 29);
    EXPECT_EQ(card->stopFlag, 1);
    EXPECT_EQ(card->recording, 0);
    EXPECT_EQ(card->interruptRun, 1);
    card->interruptRun = 0;
}

TEST_F(CardControl, CheckRtcStepsFourTimesAndRestores)
{
    card->sequence = 28;
    module.SetPending(5, kForever);
    EXPECT_EQ(Velkor_CHECK_RTC(kCard), 1);
    EXPECT_EQ(module.TakeAccesses(), (std::vector<BusAccess>{W(2, 29), R(126, 5), W(2, 0), R(126, 5), W(2, 1),
                                                             R(126, 5), W(2, 2), R(126, 5), W(2, 28)}));
    EXPECT_EQ(card->sequence, 28);
}

TEST_F(CardControl, CheckRtcReportsIdleModuleAsZero)
{
    EXPECT_EQ(Velkor_CHECK_RTC(kCard), 0);
}

TEST_F(CardControl, CheckRtcReadsAddingUpTo256StillMeanNotReady)
{
    // 4 x 64 = 256 would wrap an 8-bit sum to 0: still a module busy with a
    // command, not one ready for the next.
    module.SetPending(64, kForever);
    EXPECT_EQ(Velkor_CHECK_RTC(kCard), 1);
}

// Each of the four reads counts on its own: a handshake that reads non-zero on
// one of them only means "not ready to take a command", whichever it is.
TEST_F(CardControl, CheckRtcHeedsEachOfTheFourReads)
{
    struct Case {
        std::vector<std::uint8_t> reads;
        std::uint8_t result;
    };
    const Case cases[] = {
        {{0, 0, 0, 0}, 0},   {{5, 0, 0, 0}, 1},   {{0, 5, 0, 0}, 1}, {{0, 0, 5, 0}, 1},
        {{0, 0, 0, 5}, 1},   {{0, 0, 0, 255}, 1}, {{200, 0, 0, 56}, 1}, // 256 in all
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.reads));
        card->sequence = 3;
        module.SetHandshakeReads(c.reads);
        EXPECT_EQ(Velkor_CHECK_RTC(kCard), c.result);
        EXPECT_EQ(module.TakeAccesses(), (std::vector<BusAccess>{W(2, 4), R(126, c.reads[0]), W(2, 5),
                                                                 R(126, c.reads[1]), W(2, 6), R(126, c.reads[2]),
                                                                 W(2, 7), R(126, c.reads[3]), W(2, 3)}));
    }
}

TEST_F(CardControl, FirmwareVersionIsAQuery)
{
    module.SetReply(204, {0x04, 0x03, 0x02, 0x01});
    card->sequence = 9;
    EXPECT_EQ(Velkor_GET_FW_VERSION(kCard), 0x01020304u);
    EXPECT_EQ(module.TakeAccesses(), (std::vector<BusAccess>{W(2, 31), R(126, 0), W(126, 204), R(126, 0), R(70, 1),
                                                             R(68, 2), R(66, 3), R(64, 4), W(2, 9)}));
}

TEST_F(CardControl, CardNumbersOutsideTheTableTouchNothing)
{
    brelan::SetTrace(true);
    Velkor_RESET_CARD(8);
    Velkor_CLEAR_CARD_BUFFER(200);
    EXPECT_EQ(Velkor_CHECK_RTC(8), 0);
    EXPECT_EQ(Velkor_GET_FW_VERSION(255), 0u);
    EXPECT_EQ(WRITE_DATA(8), 1);
    EXPECT_EQ(BtoDW(8, 0), 0u);
    EXPECT_TRUE(brelan::TakeTrace().empty());
}

} // namespace
} // namespace velkor_test
