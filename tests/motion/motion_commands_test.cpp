// Speed profile, vector and continuous interpolation commands: golden
// packets, the array form's end rules, and whole multi-packet commands under
// concurrent callers.
#include "command_rows.h"

#include <atomic>
#include <thread>

namespace velkor_test {
namespace {

// Two entries, the second ending the list: reading a third would overrun.
const std::uint8_t kEntryKinds[2] = {3, 7};
const std::int32_t kEntryA[2] = {-1, 1};
const std::int32_t kEntryB[2] = {2, 3};
const std::int32_t kEntryC[2] = {4, 5};
const std::int32_t kEntryD[2] = {6, 0x01020304};
const std::int32_t kEntryE[2] = {0, -2};

TEST_F(CommandTable, SpeedProfileAndSingleAxisMoves)
{
    CheckRows({
        {"NORMAL_SPEED", [](std::uint8_t c) { Velkor_NORMAL_SPEED(c, 1, 1); }, {{1, {70, 10, 1, 0xE3, 1, 0xE5}}}},
        {"SET_SV", [](std::uint8_t c) { Velkor_SET_SV(c, 1, 100); }, {{1, {71, 10, 1, 0xE3, 100, 0, 0, 0}}}},
        {"SET_V", [](std::uint8_t c) { Velkor_SET_V(c, 2, 200000); }, {{1, {72, 10, 2, 0xE3, 0x40, 0x0D, 0x03, 0}}}},
        {"SET_A", [](std::uint8_t c) { Velkor_SET_A(c, 3, 0x44332211); }, {{1, {73, 10, 3, 0xE3, 0x11, 0x22, 0x33, 0x44}}}},
        {"SET_D", [](std::uint8_t c) { Velkor_SET_D(c, 4, 0x01020304); }, {{1, {74, 10, 4, 0xE3, 4, 3, 2, 1}}}},
        {"SET_K", [](std::uint8_t c) { Velkor_SET_K(c, 1, 0x80000000); }, {{1, {75, 10, 1, 0xE3, 0, 0, 0, 0x80}}}},
        {"SET_L", [](std::uint8_t c) { Velkor_SET_L(c, 1, 7); }, {{1, {76, 10, 1, 0xE3, 7, 0, 0, 0}}}},
        {"SET_AO", [](std::uint8_t c) { Velkor_SET_AO(c, 1, -1); }, {{1, {77, 10, 1, 0xE3, 255, 255, 255, 255}}}},
        {"FIXED_MOVE", [](std::uint8_t c) { Velkor_FIXED_MOVE(c, 1, -2); }, {{1, {78, 10, 1, 0xE3, 254, 255, 255, 255}}}},
        {"SET_PULSE", [](std::uint8_t c) { Velkor_SET_PULSE(c, 1, 0xFFFFFFFF); }, {{1, {79, 10, 1, 0xE3, 255, 255, 255, 255}}}},
        {"CONTINUE_MOVE", [](std::uint8_t c) { Velkor_CONTINUE_MOVE(c, 2, -0x12345678); },
         {{1, {80, 10, 2, 0xE3, 0x88, 0xA9, 0xCB, 0xED}}}},
    });
}

TEST_F(CommandTable, VectorInterpolation)
{
    CheckRows({
        {"AXIS_ASSIGN", [](std::uint8_t c) { Velkor_AXIS_ASSIGN(c, 1, 2, 4); }, {{1, {90, 10, 1, 0xE3, 2, 0xE5, 4, 0xE7}}}},
        {"VECTOR_SPEED", [](std::uint8_t c) { Velkor_VECTOR_SPEED(c, 1); }, {{1, {91, 10, 1, 0xE3}}}},
        {"SET_VSV", [](std::uint8_t c) { Velkor_SET_VSV(c, 100); }, {{1, {92, 10, 100, 0, 0, 0}}}},
        {"SET_VV", [](std::uint8_t c) { Velkor_SET_VV(c, 0xFFFFFFFF); }, {{1, {93, 10, 255, 255, 255, 255}}}},
        {"SET_VA", [](std::uint8_t c) { Velkor_SET_VA(c, 0x44332211); }, {{1, {94, 10, 0x11, 0x22, 0x33, 0x44}}}},
        {"SET_VD", [](std::uint8_t c) { Velkor_SET_VD(c, 0x01020304); }, {{1, {95, 10, 4, 3, 2, 1}}}},
        {"SET_VK", [](std::uint8_t c) { Velkor_SET_VK(c, 500); }, {{1, {96, 10, 244, 1, 0, 0}}}},
        {"SET_VL", [](std::uint8_t c) { Velkor_SET_VL(c, 1); }, {{1, {97, 10, 1, 0, 0, 0}}}},
        {"SET_VAO", [](std::uint8_t c) { Velkor_SET_VAO(c, -1); }, {{1, {98, 10, 255, 255, 255, 255}}}},
        {"LINE_2D", [](std::uint8_t c) { Velkor_LINE_2D(c, 0, 0); }, {{1, {99, 10, 0, 0, 0, 0, 0, 0, 0, 0}}}},
        {"LINE_3D", [](std::uint8_t c) { Velkor_LINE_3D(c, 1, -1, 0x01020304); },
         {{1, {100, 10, 1, 0, 0, 0, 255, 255, 255, 255, 4, 3, 2, 1}}}},
        {"ARC_CW", [](std::uint8_t c) { Velkor_ARC_CW(c, 1, 2, 3, 4); },
         {{1, {101, 10, 1, 0, 0, 0, 2, 0, 0, 0}}, {2, {102, 10, 3, 0, 0, 0, 4, 0, 0, 0}}}},
        {"ARC_CCW", [](std::uint8_t c) { Velkor_ARC_CCW(c, -1, -2, 5, 6); },
         {{1, {103, 10, 255, 255, 255, 255, 254, 255, 255, 255}}, {2, {104, 10, 5, 0, 0, 0, 6, 0, 0, 0}}}},
        {"CIRCLE_CW", [](std::uint8_t c) { Velkor_CIRCLE_CW(c, 100, -100); },
         {{1, {105, 10, 100, 0, 0, 0, 156, 255, 255, 255}}}},
        {"CIRCLE_CCW", [](std::uint8_t c) { Velkor_CIRCLE_CCW(c, 1, 2); }, {{1, {106, 10, 1, 0, 0, 0, 2, 0, 0, 0}}}},
    });
}

TEST_F(CommandTable, ContinuousAndSpecialInterpolation)
{
    CheckRows({
        {"RECTANGLE",
         [](std::uint8_t c) { Velkor_RECTANGLE(c, 1, 2, 3, 4, 5, -1, -2, 0x01020304, 0x44332211, 100, 0xFFFFFFFF, 7); },
         {{1, {120, 10, 1, 0xE3, 2, 0xE5, 3, 0xE7, 4, 0xE9, 5, 0xEB}},
          {2, {121, 10, 255, 255, 255, 255, 254, 255, 255, 255, 4, 3, 2, 1}},
          {3, {122, 10, 0x11, 0x22, 0x33, 0x44, 100, 0, 0, 0}},
          {4, {123, 10, 255, 255, 255, 255, 7, 0, 0, 0}}}},
        {"LINE_2D_INITIAL", [](std::uint8_t c) { Velkor_LINE_2D_INITIAL(c, 1, 2, 100, 200, 300); },
         {{1, {124, 10, 1, 0xE3, 2, 0xE5}}, {2, {125, 10, 100, 0, 0, 0, 200, 0, 0, 0, 0x2C, 1, 0, 0}}}},
        {"LINE_2D_CONTINUE", [](std::uint8_t c) { Velkor_LINE_2D_CONTINUE(c, 1, -1, 2); },
         {{1, {126, 10, 1, 0xE3, 255, 255, 255, 255, 2, 0, 0, 0}}}},
        {"LINE_3D_INITIAL", [](std::uint8_t c) { Velkor_LINE_3D_INITIAL(c, 1, 2, 4, 100, 200, 300); },
         {{1, {127, 10, 1, 0xE3, 2, 0xE5, 4, 0xE7}}, {2, {128, 10, 100, 0, 0, 0, 200, 0, 0, 0, 0x2C, 1, 0, 0}}}},
        {"LINE_3D_CONTINUE", [](std::uint8_t c) { Velkor_LINE_3D_CONTINUE(c, 5, 1, -2, 3); },
         {{1, {129, 10, 5, 0xE3, 1, 0, 0, 0, 254, 255, 255, 255, 3, 0, 0, 0}}}},
        {"MIX_2D_INITIAL", [](std::uint8_t c) { Velkor_MIX_2D_INITIAL(c, 1, 2, 3, 10, 20, 30); },
         {{1, {130, 10, 1, 0xE3, 2, 0xE5, 3, 0xE7}}, {2, {131, 10, 10, 0, 0, 0, 20, 0, 0, 0, 30, 0, 0, 0}}}},
        {"MIX_2D_CONTINUE", [](std::uint8_t c) { Velkor_MIX_2D_CONTINUE(c, 1, 2, -1, 3, 4, -5); },
         {{1, {132, 10, 1, 0xE3, 2, 0xE5, 255, 255, 255, 255, 3, 0, 0, 0}}, {2, {133, 10, 4, 0, 0, 0, 251, 255, 255, 255}}}},
        {"CONTINUE_INTP", [](std::uint8_t c) { Velkor_CONTINUE_INTP(c, 1, 2, 3, 4, 0xFFFFFFFF, 0x44332211, 0, 0x01020304); },
         {{1, {134, 10, 1, 0xE3, 2, 0xE5, 3, 0xE7, 4, 0xE9, 255, 255, 255, 255, 0x11, 0x22, 0x33, 0x44, 0, 0, 0, 0, 4, 3, 2, 1}}}},
        {"CONTINUE_INTP_ARRAY",
         [](std::uint8_t c) { Velkor_CONTINUE_INTP_ARRAY(c, kEntryKinds, kEntryA, kEntryB, kEntryC, kEntryD, kEntryE); },
         {{1, {135, 10, 0, 0xE3, 3, 0xE5, 255, 255, 255, 255, 2, 0, 0, 0, 4, 0, 0, 0, 6, 0, 0, 0, 0, 0, 0, 0}},
          {2, {135, 10, 1, 0xE3, 7, 0xE5, 1, 0, 0, 0, 3, 0, 0, 0, 5, 0, 0, 0, 4, 3, 2, 1, 254, 255, 255, 255}}}},
        {"HELIX_3D", [](std::uint8_t c) { Velkor_HELIX_3D(c, 1, 2, 3, 4, 0x44332211, -1, 2, -3, 4); },
         {{1, {136, 10, 1, 0xE3, 2, 0xE5, 3, 0xE7, 4, 0xE9}},
          {2, {137, 10, 0x11, 0x22, 0x33, 0x44, 255, 255, 255, 255, 2, 0, 0, 0}},
          {3, {138, 10, 253, 255, 255, 255, 4, 0, 0, 0}}}},
        // The third 32-bit value leads the second packet; its odd bytes 7 and
        // 9 carry what the first packet's third value left there.
        {"RATIO_INITIAL", [](std::uint8_t c) { Velkor_RATIO_INITIAL(c, 1, 2, 0x44332211, 0x01020304, 0x0A0B0C0D, 5, 6); },
         {{1, {139, 10, 1, 0xE3, 2, 0xE5, 0x11, 0x22, 0x33, 0x44, 4, 3, 2, 1}},
          {2, {140, 10, 0x0D, 0x0C, 0x0B, 0x0A, 5, 0x22, 6, 0x44}}}},
        {"RATIO_2D", [](std::uint8_t c) { Velkor_RATIO_2D(c, 1, -2, 3); }, {{1, {141, 10, 1, 0xE3, 254, 255, 255, 255, 3, 0xE9}}}},
    });
}

// Six arrays of exactly `entries` entries each, on the heap so that the
// address sanitizer sees any read past their end.
struct IntpArrays {
    explicit IntpArrays(std::size_t entries) : kinds(entries), a(entries), b(entries), c(entries), d(entries), e(entries) {}
    void Send(std::uint8_t cardNo) const
    {
        Velkor_CONTINUE_INTP_ARRAY(cardNo, kinds.data(), a.data(), b.data(), c.data(), d.data(), e.data());
    }
    std::vector<std::uint8_t> kinds;
    std::vector<std::int32_t> a, b, c, d, e;
};

TEST_F(CardTest, IntpArrayEndsWithTheFirstEntryOfKindSeven)
{
    IntpArrays arrays(3); // a fourth entry would lie past the end: it must never be read
    arrays.kinds = {0, 0, 7};
    arrays.a = {10, 11, 12};
    arrays.Send(kCard);
    const std::vector<Packet> packets = module.TakePackets();
    ASSERT_EQ(packets.size(), 3u);
    for (std::uint8_t i = 0; i < 3; ++i) {
        EXPECT_EQ(packets[i].sequence, i + 1);
        ASSERT_EQ(packets[i].bytes.size(), 26u);
        EXPECT_EQ(packets[i].bytes[2], i);
        EXPECT_EQ(packets[i].bytes[4], arrays.kinds[i]);
        EXPECT_EQ(packets[i].bytes[6], 10 + i);
    }
}

TEST_F(CardTest, IntpArrayWithoutAnEndSendsOneHundredEntries)
{
    IntpArrays arrays(100); // exactly 100 entries: a 101st read would overrun
    for (std::size_t i = 0; i < 100; ++i) {
        arrays.kinds[i] = static_cast<std::uint8_t>(i + 8); // anything but 7 is forwarded as it is
        arrays.e[i] = static_cast<std::int32_t>(i) - 50;
    }
    arrays.Send(kCard);
    const std::vector<Packet> packets = module.TakePackets();
    ASSERT_EQ(packets.size(), 100u);
    for (std::size_t i = 0; i < 100; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(packets[i].sequence, (i + 1) % 30);
        EXPECT_EQ(packets[i].bytes[0], 135);
        EXPECT_EQ(packets[i].bytes[2], i);
        EXPECT_EQ(packets[i].bytes[4], i + 8);
        EXPECT_EQ(static_cast<std::int8_t>(packets[i].bytes[22]), static_cast<std::int32_t>(i) - 50);
    }
}

TEST_F(CardTest, IntpArrayWithAnyNullArraySendsNothing)
{
    IntpArrays arrays(1);
    arrays.kinds[0] = 7;
    const std::uint8_t* k = arrays.kinds.data();
    const std::int32_t* v = arrays.a.data();
    Velkor_CONTINUE_INTP_ARRAY(kCard, nullptr, v, v, v, v, v);
    Velkor_CONTINUE_INTP_ARRAY(kCard, k, nullptr, v, v, v, v);
    Velkor_CONTINUE_INTP_ARRAY(kCard, k, v, nullptr, v, v, v);
    Velkor_CONTINUE_INTP_ARRAY(kCard, k, v, v, nullptr, v, v);
    Velkor_CONTINUE_INTP_ARRAY(kCard, k, v, v, v, nullptr, v);
    Velkor_CONTINUE_INTP_ARRAY(kCard, k, v, v, v, v, nullptr);
    EXPECT_TRUE(module.TakeAccesses().empty());
    Velkor_CONTINUE_INTP_ARRAY(kCard, k, v, v, v, v, v);
    EXPECT_EQ(module.TakePackets().size(), 1u);
}

// Threads sending multi-packet commands to one card: every command's packets
// arrive together, in their order, with nothing of another thread between
// them, and each thread's commands arrive in the order it sent them.
TEST_F(CardTest, ConcurrentMultiPacketCommandsArriveWholeAndInOrder)
{
    constexpr int kThreads = 4;
    constexpr int kRounds = 10;
    // Every packet finds the previous one still pending, so each caller sleeps
    // inside WRITE_DATA between the packets of one command: the moment another
    // caller would slip in if the card lock were let go.
    module.SetBusyPolls(1);
    std::atomic<bool> go{false}; // all threads start together, so their calls overlap
    std::vector<std::thread> threads;
    for (int t = 1; t <= kThreads; ++t) {
        threads.emplace_back([t, &go] {
            while (!go.load()) {
                std::this_thread::yield();
            }
            for (int r = 0; r < kRounds; ++r) {
                const auto id = static_cast<std::uint8_t>(t);
                Velkor_RECTANGLE(kCard, id, 0, 0, 0, 0, t, r, 0, static_cast<std::uint32_t>(t), 0,
                                 static_cast<std::uint32_t>(t), 0);
                Velkor_ARC_CW(kCard, t, r, t, r);
            }
        });
    }
    go.store(true);
    for (std::thread& thread : threads) {
        thread.join();
    }
    module.Release();
    module.Read(126); // the module takes the last packet

    const std::vector<Packet> packets = module.TakePackets();
    ASSERT_EQ(packets.size(), static_cast<std::size_t>(kThreads * kRounds * 6));
    std::vector<int> nextRound(kThreads + 1, 0);
    std::vector<int> arcsDue(kThreads + 1, 0);
    for (std::size_t i = 0; i < packets.size(); ++i) {
        EXPECT_EQ(packets[i].sequence, (i + 1) % 30);
    }
    for (std::size_t i = 0; i < packets.size();) {
        SCOPED_TRACE(i);
        const std::vector<std::uint8_t>& first = packets[i].bytes;
        if (first[0] == 120) {
            const int t = first[2];
            ASSERT_TRUE(t >= 1 && t <= kThreads);
            ASSERT_EQ(arcsDue[t], 0);
            ASSERT_LE(i + 4, packets.size());
            EXPECT_EQ(packets[i + 1].bytes[0], 121);
            EXPECT_EQ(packets[i + 1].bytes[2], t);
            EXPECT_EQ(packets[i + 1].bytes[6], nextRound[t]);
            EXPECT_EQ(packets[i + 2].bytes[0], 122);
            EXPECT_EQ(packets[i + 2].bytes[2], t);
            EXPECT_EQ(packets[i + 3].bytes[0], 123);
            EXPECT_EQ(packets[i + 3].bytes[2], t);
            arcsDue[t] = 1;
            i += 4;
        } else {
            ASSERT_EQ(first[0], 101);
            const int t = first[2];
            ASSERT_TRUE(t >= 1 && t <= kThreads);
            ASSERT_EQ(arcsDue[t], 1);
            EXPECT_EQ(first[6], nextRound[t]);
            ASSERT_LE(i + 2, packets.size());
            EXPECT_EQ(packets[i + 1].bytes, (std::vector<std::uint8_t>{102, 10, first[2], 0, 0, 0, first[6], 0, 0, 0}));
            arcsDue[t] = 0;
            ++nextRound[t];
            i += 2;
        }
    }
    for (int t = 1; t <= kThreads; ++t) {
        EXPECT_EQ(nextRound[t], kRounds);
    }
}

} // namespace
} // namespace velkor_test
