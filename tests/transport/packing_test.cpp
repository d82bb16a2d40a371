// The packers and readers, with their worked examples and bounds.
#include "card_fixture.h"

#include <cmath>
#include <limits>

namespace velkor_test {
namespace {

class Packing : public CardTest {
protected:
    std::vector<std::uint8_t> Staged(std::uint8_t from, std::uint8_t count)
    {
        return std::vector<std::uint8_t>(card->staging + from, card->staging + from + count);
    }
};

TEST_F(Packing, PackersPlaceLittleEndianBytes)
{
    struct Case {
        const char* name;
        void (*pack)(std::uint8_t card);
        std::uint8_t k;
        std::vector<std::uint8_t> bytes;
    };
    const Case cases[] = {
        {"DWtoB 500", [](std::uint8_t c) { DWtoB(c, 500, 4); }, 4, {244, 1, 0, 0}},
        {"LtoB -100", [](std::uint8_t c) { LtoB(c, -100, 4); }, 4, {156, 255, 255, 255}},
        {"FtoB 1.0", [](std::uint8_t c) { FtoB(c, 1.0f, 4); }, 4, {0, 0, 128, 63}},
        {"StoB -1", [](std::uint8_t c) { StoB(c, -1, 2); }, 2, {255, 255}},
        {"WtoB 65535", [](std::uint8_t c) { WtoB(c, 65535, 2); }, 2, {255, 255}},
        {"DWtoB at the last offset", [](std::uint8_t c) { DWtoB(c, 0x01020304, 28); }, 28, {4, 3, 2, 1}},
        {"WtoB at the last offset", [](std::uint8_t c) { WtoB(c, 0x0102, 30); }, 30, {2, 1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::memset(card->staging, 0xEE, sizeof card->staging);
        c.pack(kCard);
        const auto width = static_cast<std::uint8_t>(c.bytes.size());
        EXPECT_EQ(Staged(c.k, width), c.bytes);
        // Nothing outside the field changes.
        for (std::uint8_t i = 0; i < velkor::kStagingSize; ++i) {
            if (i < c.k || i >= c.k + width) {
                EXPECT_EQ(card->staging[i], 0xEE) << "byte " << int(i);
            }
        }
    }
}

TEST_F(Packing, PackersOutsideTheStagingAreaDoNothing)
{
    std::memset(card->staging, 0xEE, sizeof card->staging);
    DWtoB(kCard, 0, 29);
    LtoB(kCard, 0, 255);
    FtoB(kCard, 0.0f, 31);
    WtoB(kCard, 0, 31);
    StoB(kCard, 0, 200);
    for (std::uint8_t b : card->staging) {
        EXPECT_EQ(b, 0xEE);
    }
    DWtoB(8, 1, 0); // no card 8: no crash, no effect anywhere
}

TEST_F(Packing, FloatBitPatternsRoundTrip)
{
    EXPECT_EQ(FtoDW(1.0f), 0x3F800000u);
    const float values[] = {0.0f, -0.0f, 1.5f, -3.25e-20f, std::numeric_limits<float>::quiet_NaN(),
                            std::numeric_limits<float>::infinity()};
    for (float v : values) {
        EXPECT_EQ(FtoDW(DWtoF(FtoDW(v))), FtoDW(v));
    }
    EXPECT_EQ(DWtoF(0xFFC00001u) != DWtoF(0xFFC00001u), true); // NaN stays NaN
    EXPECT_EQ(FtoDW(DWtoF(0xFFC00001u)), 0xFFC00001u);
}

TEST_F(Packing, ReadersTakeMostSignificantByteFirst)
{
    module.SetRegister(64, 16);
    module.SetRegister(66, 39);
    module.SetRegister(68, 0);
    module.SetRegister(70, 0);
    EXPECT_EQ(BtoDW(kCard, 0), 10000u);
    EXPECT_EQ(module.TakeAccesses(), (std::vector<BusAccess>{R(70, 0), R(68, 0), R(66, 39), R(64, 16)}));
    EXPECT_EQ(BtoW(kCard, 0), 10000u);
    EXPECT_EQ(module.TakeAccesses(), (std::vector<BusAccess>{R(66, 39), R(64, 16)}));
}

TEST_F(Packing, SignedAndUnsignedReadsOfAllOnes)
{
    for (std::uint8_t i = 0; i < 4; ++i) {
        module.SetRegister(static_cast<std::uint8_t>(72 + 2 * i), 255);
    }
    EXPECT_EQ(BtoL(kCard, 4), -1);
    EXPECT_EQ(BtoDW(kCard, 4), 0xFFFFFFFFu);
}

TEST_F(Packing, ReadersPastTheReplyAreaReadNothing)
{
    EXPECT_EQ(BtoDW(kCard, 27), 0u);
    EXPECT_EQ(BtoL(kCard, 255), 0);
    EXPECT_EQ(BtoW(kCard, 29), 0u);
    EXPECT_TRUE(module.TakeAccesses().empty());
    BtoDW(kCard, 26); // reply bytes 26..29: the last that fit
    EXPECT_EQ(module.TakeAccesses().front(), R(122, 0));
}

} // namespace
} // namespace velkor_test
