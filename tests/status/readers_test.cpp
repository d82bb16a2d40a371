// The readers of counters, status and variables: register order around the
// idle wait, reply decoding, the stop flag in the error state, the scaling of
// the CV and CA readings and their exchanges under the card lock.
#include "card_fixture.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <limits>
#include <thread>

namespace velkor_test {
namespace {

constexpr std::uint8_t kBusy = 9; // a code still in the handshake register when the reader starts

class Readers : public CardTest {
protected:
    void SetUp() override
    {
        CardTest::SetUp();
        card->sequence = 5;
        module.SetPending(kBusy, 1);
    }

    // One exchange: parked sequence, registers before the idle wait, one busy
    // read, registers after it, the code, the reply most significant byte
    // first, and the sequence number written back.
    static std::vector<BusAccess> Exchange(std::uint8_t code, std::vector<BusAccess> before,
                                           std::vector<BusAccess> after, std::vector<std::uint8_t> reply)
    {
        std::vector<BusAccess> trace{W(2, 31)};
        trace.insert(trace.end(), before.begin(), before.end());
        trace.push_back(R(126, kBusy));
        trace.push_back(R(126, 0));
        trace.insert(trace.end(), after.begin(), after.end());
        trace.push_back(W(126, code));
        trace.push_back(R(126, 0));
        for (std::size_t i = reply.size(); i-- > 0;) {
            trace.push_back(R(static_cast<std::uint8_t>(64 + 2 * i), reply[i]));
        }
        trace.push_back(W(2, 5));
        return trace;
    }
};

TEST_F(Readers, RegisterOrderAndReplyDecoding)
{
    struct Case {
        const char* name;
        std::function<std::int64_t()> call;
        std::uint8_t code;
        std::vector<BusAccess> before, after;
        std::vector<std::uint8_t> reply;
        std::int64_t result;
    };
    const Case cases[] = {
        {"GET_LP", [] { return Velkor_GET_LP(kCard, 2); }, 41, {}, {W(96, 2)}, {0xFE, 0xFF, 0xFF, 0xFF}, -2},
        {"GET_EP", [] { return Velkor_GET_EP(kCard, 3); }, 43, {}, {W(96, 3)}, {1, 2, 3, 4}, 0x04030201},
        {"GET_DI", [] { return Velkor_GET_DI(kCard, 1, 7); }, 46, {}, {W(96, 1), W(108, 7)}, {0xA5}, 0xA5},
        {"GET_DI_ALL", [] { return Velkor_GET_DI_ALL(kCard, 4); }, 49, {W(96, 4)}, {}, {0x34, 0x92}, 0x9234},
        {"GET_ERROR", [] { return Velkor_GET_ERROR(kCard); }, 47, {}, {}, {5}, 5},
        {"GET_ERROR_CODE", [] { return Velkor_GET_ERROR_CODE(kCard, 2); }, 48, {W(96, 2)}, {}, {5, 0x80}, 0x8005},
        {"QUORL_IN", [] { return Velkor_QUORL_IN(kCard, 6); }, 50, {W(100, 6)}, {}, {0xFF, 0xFF}, 65535},
        {"READ_bVAR 200", [] { return Velkor_READ_bVAR(kCard, 200); }, 34, {W(104, 72)}, {}, {0xC8}, 0xC8},
        {"READ_VAR 300", [] { return Velkor_READ_VAR(kCard, 300); }, 36, {W(106, 1), W(104, 44)}, {}, {0xFF, 0xFF, 0xFF, 0xFF}, -1},
        {"READ_VAR sends the low 16 bits", [] { return Velkor_READ_VAR(kCard, 0x12345); }, 36,
         {W(106, 0x23), W(104, 0x45)}, {}, {7, 0, 0, 0}, 7},
        {"READ_MD -2",
         [] {
             std::int32_t v = 0;
             Velkor_READ_MD(kCard, -2, &v, nullptr);
             return v;
         },
         38, {W(114, 0xFF), W(112, 0xFE)}, {}, {0, 0, 0, 0x80}, std::numeric_limits<std::int32_t>::min()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        module.SetPending(kBusy, 1);
        module.SetReply(c.code, c.reply);
        EXPECT_EQ(c.call(), c.result);
        EXPECT_EQ(module.TakeAccesses(), Exchange(c.code, c.before, c.after, c.reply));
        EXPECT_TRUE(module.TakePackets().empty());
    }
}

TEST_F(Readers, ByteVariablesAreAskedForShiftedByHalfTheRange)
{
    const std::pair<std::uint8_t, std::uint8_t> cases[] = {{0, 128}, {127, 255}, {128, 0}, {255, 127}};
    for (const auto& [index, shifted] : cases) {
        Velkor_READ_bVAR(kCard, index);
        EXPECT_EQ(module.RegisterValue(104), shifted) << int(index);
    }
}

TEST_F(Readers, MdIndexChoosesTheIntegerOrTheFloatAndSparesTheOther)
{
    module.SetReply(38, {0, 0, 128, 63}); // 0x3F800000: 1065353216 as an integer, 1.0 as a float
    std::int32_t i = -7;
    float f = -7.0f;
    Velkor_READ_MD(kCard, 1023, &i, &f);
    EXPECT_EQ(i, 1065353216);
    EXPECT_EQ(f, -7.0f);
    i = -7;
    Velkor_READ_MD(kCard, 1024, &i, &f);
    EXPECT_EQ(f, 1.0f);
    EXPECT_EQ(i, -7);

    // A null pointer for the entry's kind: the exchange still runs, nothing is stored.
    module.TakeCodes();
    Velkor_READ_MD(kCard, 5, nullptr, &f);
    Velkor_READ_MD(kCard, 5000, &i, nullptr);
    EXPECT_EQ(module.TakeCodes(), (std::vector<std::uint8_t>{38, 38}));
    EXPECT_EQ(i, -7);
    EXPECT_EQ(f, 1.0f);
}

TEST_F(Readers, StopFlagShowsInTheErrorState)
{
    card->stopFlag = 1;
    module.SetReply(47, {0});
    EXPECT_EQ(Velkor_GET_ERROR(kCard), 1);
    module.SetReply(47, {3});
    EXPECT_EQ(Velkor_GET_ERROR(kCard), 1);
    module.SetReply(48, {0, 0});
    EXPECT_EQ(Velkor_GET_ERROR_CODE(kCard, 1), 256);
    module.SetReply(48, {5, 0});
    EXPECT_EQ(Velkor_GET_ERROR_CODE(kCard, 1), 261);
    module.SetReply(48, {5, 1}); // the module's own bit 8 stays set
    EXPECT_EQ(Velkor_GET_ERROR_CODE(kCard, 1), 261);
    card->stopFlag = 0;
    EXPECT_EQ(Velkor_GET_ERROR_CODE(kCard, 1), 261);
    module.SetReply(48, {5, 0});
    EXPECT_EQ(Velkor_GET_ERROR_CODE(kCard, 1), 5);
}

std::vector<std::uint8_t> Le(std::uint32_t v)
{
    return {std::uint8_t(v), std::uint8_t(v >> 8), std::uint8_t(v >> 16), std::uint8_t(v >> 24)};
}

TEST_F(Readers, CvAndCaAskForTheReadingThenTheRangeInOneExchange)
{
    module.SetReply(44, Le(0x01020304));
    module.SetReply(255, Le(8000000));
    EXPECT_EQ(Velkor_GET_CV(kCard, 3), 0x01020304);
    EXPECT_EQ(module.TakeAccesses(),
              (std::vector<BusAccess>{W(2, 31), R(126, kBusy), R(126, 0), W(96, 3), W(126, 44), R(126, 0), R(70, 1),
                                      R(68, 2), R(66, 3), R(64, 4), R(126, 0), W(96, 3), W(126, 255), R(126, 0),
                                      R(70, 0), R(68, 0x7A), R(66, 0x12), R(64, 0), W(2, 5)}));
    Velkor_GET_CA(kCard, 3);
    EXPECT_EQ(module.TakeCodes(), (std::vector<std::uint8_t>{44, 255, 45, 255}));
}

// GET_CV and GET_CA hold the card lock across both their queries: with
// another thread posting packets on the same card, no packet byte ever lands
// while the sequence register is parked at 31, and no step of an exchange
// happens while it holds a packet number.
TEST_F(CardTest, CvAndCaExchangesNeverInterleaveWithPackets)
{
    module.SetReply(44, Le(1000));
    module.SetReply(45, Le(8));
    module.SetReply(255, Le(8000000));
    // Every handshake stays busy for one read, so each wait sleeps: the moment
    // another caller would slip in if the lock were let go.
    module.SetBusyPolls(1);
    constexpr int kRounds = 40;
    std::atomic<bool> go{false};
    std::thread poster([&go] {
        while (!go.load()) {
            std::this_thread::yield();
        }
        for (int i = 0; i < 2 * kRounds; ++i) {
            Velkor_SET_LP(kCard, 1, i);
        }
    });
    go.store(true);
    for (int i = 0; i < kRounds; ++i) {
        EXPECT_EQ(Velkor_GET_CV(kCard, 1), 1000);
        EXPECT_EQ(Velkor_GET_CA(kCard, 1), 1000);
    }
    poster.join();
    module.Release();
    module.Read(126); // the module takes the last packet

    bool parked = false;
    int exchanges = 0;
    const std::vector<BusAccess> accesses = module.TakeAccesses();
    for (std::size_t i = 0; i < accesses.size(); ++i) {
        const BusAccess& a = accesses[i];
        if (!a.write) {
            continue;
        }
        if (a.offset == 2) {
            exchanges += !parked && a.value == 31;
            parked = a.value == 31;
        } else if (parked) {
            // SET_LP's eight bytes lie at 64 to 78, below the axis register 96.
            ASSERT_FALSE((a.offset >= 64 && a.offset <= 78) || (a.offset == 126 && a.value == 1))
                << "packet access " << a << " inside an exchange, access " << i;
        } else {
            ASSERT_FALSE(a.offset == 96 || (a.offset == 126 && a.value != 1))
                << "exchange access " << a << " outside an exchange, access " << i;
        }
    }
    EXPECT_EQ(exchanges, 2 * kRounds);
    EXPECT_EQ(module.TakePackets().size(), static_cast<std::size_t>(2 * kRounds));
    std::vector<std::uint8_t> codes;
    for (int i = 0; i < kRounds; ++i) {
        codes.insert(codes.end(), {44, 255, 45, 255});
    }
    EXPECT_EQ(module.TakeCodes(), codes);
}

// The results are the 32 bits of an unsigned value: readings from 2^31 to
// 2^32 - 1 come back whole, 2^32 and above give all bits set.
TEST_F(Readers, CvAndCaScaling)
{
    constexpr std::uint32_t kAllBits = 0xFFFFFFFFu;
    struct Case {
        std::uint32_t raw, range;
        std::uint32_t cv, ca;
    };
    const Case cases[] = {
        {8, 8000000, 8, 1000},
        {3, 16000, 1500, 187500},
        {29, 80000000, 2, 362},                 // 2.9 and 362.5: the fraction is dropped
        {1, 16000000, 0, 62},                   // 0.5 and 62.5
        {5, 3, 13333334, 1666666752},           // single precision, scale first (exact: 13333333.3)
        {0, 1, 0, 0},
        {5, 0, 0, 0},                           // no range: no reading
        {20000000, 8000000, 20000000, 2500000000u}, // CA between 2^31 and 2^32
        {3000000000u, 8000000, 3000000000u, kAllBits},
        {0x80000000u, 8000000, 0x80000000u, kAllBits},
        {0x7FFFFF80u, 8000000, 0x7FFFFF80u, kAllBits},
        {0xFFFFFF00u, 8000000, 0xFFFFFF00u, kAllBits}, // the largest float below 2^32
        {0xFFFFFFFFu, 8000000, kAllBits, kAllBits},    // rounds to 2^32 as a float
        {0xFFFFFFFFu, 1, kAllBits, kAllBits},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.raw << " / " << c.range);
        module.SetReply(44, Le(c.raw));
        module.SetReply(45, Le(c.raw));
        module.SetReply(255, Le(c.range));
        EXPECT_EQ(static_cast<std::uint32_t>(Velkor_GET_CV(kCard, 0)), c.cv);
        EXPECT_EQ(static_cast<std::uint32_t>(Velkor_GET_CA(kCard, 0)), c.ca);
    }
}

} // namespace
} // namespace velkor_test
