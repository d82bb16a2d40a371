// Line scan commands and the chunking of the offset table.
#include "command_rows.h"

namespace velkor_test {
namespace {

const std::uint8_t kThreeOffsets[3] = {9, 8, 7};

TEST_F(CommandTable, LineScan)
{
    CheckRows({
        {"LINE_SCAN", [](std::uint8_t c) { Velkor_LINE_SCAN(c, 1, 2, 3, 4, -2); },
         {{1, {144, 10, 1, 0xE3, 2, 0xE5, 3, 0xE7, 4, 0xE9, 254, 255, 255, 255}}}},
        {"LINE_SCAN_START", [](std::uint8_t c) { Velkor_LINE_SCAN_START(c, 1, 2, 0x01020304); },
         {{1, {145, 10, 1, 0xE3, 2, 0xE5, 4, 3, 2, 1}}}},
        {"LINE_SCAN_OFFSET", [](std::uint8_t c) { Velkor_LINE_SCAN_OFFSET(c, 3, kThreeOffsets); },
         {{1, {146, 10, 3, 0, 0, 0, 0, 9, 8, 7}}}},
    });
}

// A table of exactly `count` bytes on the heap (so the address sanitizer sees
// a read past its end), byte i holding i + 1 wrapped to a byte.
std::vector<std::uint8_t> Table(std::size_t count)
{
    std::vector<std::uint8_t> table(count);
    for (std::size_t i = 0; i < count; ++i) {
        table[i] = static_cast<std::uint8_t>(i + 1);
    }
    return table;
}

std::vector<std::uint8_t> Bytes(std::uint8_t from, std::uint8_t to)
{
    std::vector<std::uint8_t> bytes;
    for (int b = from; b <= to; ++b) {
        bytes.push_back(static_cast<std::uint8_t>(b));
    }
    return bytes;
}

std::vector<std::uint8_t> Chunk(std::uint8_t n, std::vector<std::uint8_t> index, std::vector<std::uint8_t> bytes)
{
    std::vector<std::uint8_t> packet{146, 10, n};
    packet.insert(packet.end(), index.begin(), index.end());
    packet.insert(packet.end(), bytes.begin(), bytes.end());
    return packet;
}

TEST_F(CardTest, OffsetTableOfFortyFiveBytesGoesInChunksOfTwentyTwentyFive)
{
    const std::vector<std::uint8_t> table = Table(45);
    Velkor_LINE_SCAN_OFFSET(kCard, 45, table.data());
    EXPECT_EQ(module.TakePackets(), (std::vector<Packet>{{1, Chunk(20, {0, 0, 0, 0}, Bytes(1, 20))},
                                                          {2, Chunk(20, {20, 0, 0, 0}, Bytes(21, 40))},
                                                          {3, Chunk(5, {40, 0, 0, 0}, Bytes(41, 45))}}));
}

TEST_F(CardTest, OffsetTableOfOneFullChunkSendsOnePacket)
{
    const std::vector<std::uint8_t> table = Table(20);
    Velkor_LINE_SCAN_OFFSET(kCard, 20, table.data());
    EXPECT_EQ(module.TakePackets(), (std::vector<Packet>{{1, Chunk(20, {0, 0, 0, 0}, Bytes(1, 20))}}));
}

TEST_F(CardTest, OffsetTableShorterThanAChunkHasAnOddLength)
{
    const std::vector<std::uint8_t> table = Table(7);
    Velkor_LINE_SCAN_OFFSET(kCard, 7, table.data());
    EXPECT_EQ(module.TakePackets(), (std::vector<Packet>{{1, Chunk(7, {0, 0, 0, 0}, Bytes(1, 7))}}));
}

// Past 255 the index needs its upper bytes: the field at bytes 3..6 is the
// whole 32-bit index, and the chunks tile the table exactly.
TEST_F(CardTest, OffsetChunksCarryTheirWholeIndexAndTileTheTable)
{
    const std::vector<std::uint8_t> table = Table(265);
    Velkor_LINE_SCAN_OFFSET(kCard, 265, table.data());
    const std::vector<Packet> packets = module.TakePackets();
    ASSERT_EQ(packets.size(), 14u);
    std::vector<std::uint8_t> carried;
    for (const Packet& p : packets) {
        const std::uint8_t n = p.bytes[2];
        EXPECT_EQ(p.bytes.size(), n + 7u);
        const std::uint32_t index = p.bytes[3] | p.bytes[4] << 8 | p.bytes[5] << 16 | static_cast<std::uint32_t>(p.bytes[6]) << 24;
        EXPECT_EQ(index, carried.size());
        carried.insert(carried.end(), p.bytes.begin() + 7, p.bytes.end());
    }
    EXPECT_EQ(carried, table);
    EXPECT_EQ(packets.back(), (Packet{14, Chunk(5, {4, 1, 0, 0}, Bytes(5, 9))}));
}

TEST_F(CardTest, OffsetTableThatIsEmptyOrMissingSendsNothing)
{
    const std::vector<std::uint8_t> table = Table(1);
    Velkor_LINE_SCAN_OFFSET(kCard, 0, table.data());
    Velkor_LINE_SCAN_OFFSET(kCard, 0, nullptr);
    Velkor_LINE_SCAN_OFFSET(kCard, 45, nullptr);
    EXPECT_TRUE(module.TakeAccesses().empty());
}

} // namespace
} // namespace velkor_test
