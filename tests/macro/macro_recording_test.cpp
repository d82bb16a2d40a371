// Macro program recording: golden packets, the comparison bytes of a
// condition, and the recording flag.
#include "command_rows.h"

namespace velkor_test {
namespace {

TEST_F(CommandTable, MacroProgramRecording)
{
    CheckRows({
        {"LOAD_INITIAL", [](std::uint8_t c) { Velkor_LOAD_INITIAL(c); }, {{1, {200, 10}}}},
        {"MP_CREATE", [](std::uint8_t c) { Velkor_MP_CREATE(c, 3); }, {{1, {201, 10, 3, 0xE3}}}},
        {"MP_CLOSE", [](std::uint8_t c) { Velkor_MP_CLOSE(c); }, {{1, {202, 10}}}},
        {"MP_CALL", [](std::uint8_t c) { Velkor_MP_CALL(c, 4); }, {{1, {203, 10, 4, 0xE3}}}},
        {"MP_SET_VAR", [](std::uint8_t c) { Velkor_MP_SET_VAR(c, -1, 0x01020304); },
         {{1, {210, 10, 255, 255, 255, 255, 4, 3, 2, 1}}}},
        {"MP_SET_RVAR", [](std::uint8_t c) { Velkor_MP_SET_RVAR(c, 5); }, {{1, {211, 10, 5, 0, 0, 0}}}},
        {"MP_VAR_CALCULATE", [](std::uint8_t c) { Velkor_MP_VAR_CALCULATE(c, 1, '+', -2, 0x44332211); },
         {{1, {212, 10, 1, 0, 0, 0, '+', 0xE7, 254, 255, 255, 255, 0x11, 0x22, 0x33, 0x44}}}},
        {"MP_FOR", [](std::uint8_t c) { Velkor_MP_FOR(c, 10); }, {{1, {213, 10, 10, 0, 0, 0}}}},
        {"MP_NEXT", [](std::uint8_t c) { Velkor_MP_NEXT(c); }, {{1, {214, 10}}}},
        {"MP_IF", [](std::uint8_t c) { Velkor_MP_IF(c, 1, '>', -1); }, {{1, {215, 10, 1, 0, 0, 0, '>', 0, 255, 255, 255, 255}}}},
        {"MP_ELSE", [](std::uint8_t c) { Velkor_MP_ELSE(c); }, {{1, {216, 10}}}},
        {"MP_IF_END", [](std::uint8_t c) { Velkor_MP_IF_END(c); }, {{1, {217, 10}}}},
        {"MP_TIMER", [](std::uint8_t c) { Velkor_MP_TIMER(c, 1000); }, {{1, {218, 10, 0xE8, 3, 0, 0}}}},
        {"MP_STOP_WAIT", [](std::uint8_t c) { Velkor_MP_STOP_WAIT(c, 2); }, {{1, {219, 10, 2, 0xE3}}}},
        {"MP_SET_RINT", [](std::uint8_t c) { Velkor_MP_SET_RINT(c); }, {{1, {220, 10}}}},
    });
}

// Two-character operators as a C compiler forms the constant: first
// character in the high byte.
constexpr std::uint16_t Pair(char first, char second)
{
    return static_cast<std::uint16_t>(static_cast<std::uint8_t>(first) << 8 | static_cast<std::uint8_t>(second));
}

TEST_F(CardTest, ConditionOperatorBytes)
{
    struct Case {
        std::uint16_t op;
        std::uint8_t byte6;
        std::uint8_t byte7;
    };
    const Case cases[] = {
        {'>', '>', 0},   {'<', '<', 0},   {'=', '=', '='}, {'!', '!', '='},
        {Pair('<', '='), '<', '='},       {Pair('>', '='), '>', '='},
        {Pair('=', '='), '=', '='},       {Pair('!', '='), '!', '='},
        {Pair('<', '>'), '<', '>'},       {Pair('>', '\0'), '>', 0},
        {0, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.op);
        card->staging[7] = 0xEE;
        Velkor_MP_IF(kCard, 0x01020304, c.op, -1);
        const std::vector<Packet> packets = module.TakePackets();
        ASSERT_EQ(packets.size(), 1u);
        EXPECT_EQ(packets[0].bytes, (std::vector<std::uint8_t>{215, 10, 4, 3, 2, 1, c.byte6, c.byte7, 255, 255, 255, 255}));
    }
}

TEST_F(CardTest, CreateSetsAndCloseClearsTheRecordingFlag)
{
    Velkor_MP_CREATE(kCard, 1);
    EXPECT_EQ(card->recording, 1);
    Velkor_MP_CREATE(kCard, 2); // while recording: another 201 all the same
    EXPECT_EQ(card->recording, 1);
    Velkor_MP_CLOSE(kCard);
    EXPECT_EQ(card->recording, 0);
    Velkor_MP_CLOSE(kCard); // nothing open: 202 all the same
    EXPECT_EQ(card->recording, 0);
    EXPECT_EQ(module.TakePackets(),
              (std::vector<Packet>{{1, {201, 10, 1, 0}}, {2, {201, 10, 2, 0}}, {3, {202, 10}}, {4, {202, 10}}}));
}

// The flag follows the call, not the fate of its packet: a packet dropped on a
// busy mailbox after a stop still leaves the flag as the call sets it.
TEST_F(CardTest, RecordingFlagChangesEvenWhenThePacketIsDropped)
{
    card->stopFlag = 1;
    module.SetPending(1, kForever);
    Velkor_MP_CREATE(kCard, 1);
    EXPECT_EQ(card->recording, 1);
    Velkor_MP_CLOSE(kCard);
    EXPECT_EQ(card->recording, 0);
    EXPECT_TRUE(module.TakePackets().empty());
}

TEST_F(CardTest, RecordingOnACardOutsideTheTableTouchesNoCard)
{
    Velkor_MP_CREATE(8, 1);
    Velkor_MP_CREATE(255, 1);
    EXPECT_EQ(card->recording, 0);
    EXPECT_TRUE(module.TakeAccesses().empty());
}

} // namespace
} // namespace velkor_test
