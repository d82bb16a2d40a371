// Commands of several packets, put together before their handler sees them:
// the orders the parts can come in, and what the module makes of each.
#include "family_harness.h"

#include "firmware/firmware.h"

#include <map>
#include <string>
#include <vector>

namespace velkor_sim_test {
namespace {

using Outcome = sim::CommandAssembler::Outcome;

constexpr auto kRectAxis1 = sim::U8Field({120}, "axis1");
constexpr auto kRectWidth = sim::I32Field({121}, "width");
constexpr auto kArcCentreX = sim::I32Field({101}, "centre_x");
constexpr auto kArcEndX = sim::I32Field({102}, "end_x");

constexpr std::uint8_t kResetCard = 10; // a code the host exchanges, not a packet

struct Case {
    const char* what;
    std::vector<std::uint8_t> codes;
    const char* outcomes; // per packet: C whole, w waiting, X out of turn (bad command); R the card reset
    int firstFrom;        // the packets the whole RECTANGLE's first and second parts
    int secondFrom;       // came from, -1 when none was whole
};

const Case kCases[] = {
    {"in order", {120, 121, 122, 123}, "wwwC", 0, 1},
    {"a part lost", {120, 121, 123}, "wwX", -1, -1},
    {"a part repeated", {120, 121, 121, 122, 123}, "wwXXX", -1, -1},
    {"the first part repeated starts afresh", {120, 120, 121, 122, 123}, "wXwwC", 1, 2},
    {"a one-packet command between parts", {120, 93, 121, 47, 122, 123}, "wCwCwC", 0, 2},
    {"another command's first part between", {110, 120, 121, 111, 122, 123}, "wXwXXX", -1, -1},
    {"a later part alone", {111, 102}, "XX", -1, -1},
    {"a part after the command was whole", {120, 121, 122, 123, 123}, "wwwCX", 0, 1},
    {"a card reset between parts drops those gathered", {120, 121, kResetCard, 122, 123}, "wwRXX", -1, -1},
};

char Letter(Outcome o) { return o == Outcome::Complete ? 'C' : o == Outcome::Waiting ? 'w' : 'X'; }

// Each packet carries its place in the sequence at byte 2, the first field
// of every row used here, so that a whole command shows which packets it
// was made of.
TEST(CommandAssembly, PartOrdersAndWhatComesOfThem)
{
    for (const Case& c : kCases) {
        sim::CommandAssembler assembler;
        std::string got;
        int firstFrom = -1, secondFrom = -1;
        for (std::size_t i = 0; i < c.codes.size(); ++i) {
            if (c.codes[i] == kResetCard) {
                assembler.Reset();
                got += 'R';
                continue;
            }
            const sim::Bytes p = Packet(c.codes[i], {});
            sim::Bytes placed = p;
            placed[2] = static_cast<std::uint8_t>(i);
            const sim::PacketEntry& row = *sim::FindPacket(c.codes[i]);
            const sim::Bytes* whole = nullptr;
            const Outcome o = assembler.Take(row, placed, &whole);
            got += Letter(o);
            if (o == Outcome::Complete && row.parts == 4) {
                const sim::Command cmd(row, whole);
                EXPECT_EQ(cmd.Code(), 120) << c.what;
                EXPECT_EQ(cmd.Parts(), 4) << c.what;
                firstFrom = cmd[kRectAxis1];
                secondFrom = cmd[kRectWidth];
            }
        }
        EXPECT_EQ(got, c.outcomes) << c.what;
        EXPECT_EQ(firstFrom, c.firstFrom) << c.what;
        EXPECT_EQ(secondFrom, c.secondFrom) << c.what;
    }
}

// The same orders into a whole module, with values it can use: a part out of
// turn sets the bad-command bit and is listed under its own code; a whole
// rectangle is queued as a path, a dropped one leaves nothing behind.
TEST(CommandAssembly, TheModuleRefusesWhatCameOutOfTurnAndQueuesWhatCameWhole)
{
    const std::map<std::uint8_t, sim::Bytes> packets = {
        {120, Packet(120, {{"axis1", 1}, {"axis2", 2}, {"rounds", 1}})},
        {121, Packet(121, {{"width", 1000}, {"height", 500}})},
        {122, Packet(122, {{"sv", 100}, {"v", 1000}})},
        {123, Packet(123, {{"a", 10000}, {"d", 10000}})},
        {93, Packet(93, {{"data", 5000}})},
        {47, Packet(47, {})},
        {110, Packet(110, {{"source", 1}, {"trigger", 2}})},
        {111, Packet(111, {{"targets", 2}, {"action", 1}})},
        {102, Packet(102, {{"end_x", 100}})},
    };
    for (const Case& c : kCases) {
        sim::Firmware fw{velkor_sim::ModuleOptions{}};
        std::map<std::uint8_t, std::uint32_t> listed;
        std::size_t whole = 0;
        for (std::size_t i = 0; i < c.codes.size(); ++i) {
            if (c.codes[i] == kResetCard) {
                sim::Window w{};
                fw.Answer(kResetCard, w);
                continue;
            }
            fw.ExecutePacket(packets.at(c.codes[i]));
            if (c.outcomes[i] == 'X') {
                ++listed[c.codes[i]];
            } else if (c.outcomes[i] == 'C' && c.codes[i] == 123) {
                ++whole;
            }
        }
        EXPECT_EQ(fw.unsimulated, listed) << c.what;
        EXPECT_EQ((fw.moduleError & velkor_sim::error::kBadCommand) != 0, !listed.empty()) << c.what;
        EXPECT_EQ(fw.paths.queue.size(), whole) << c.what;
    }
}

TEST(CommandAssembly, AnArcReadsItsCentreFromTheFirstPacketAndItsEndFromTheSecond)
{
    sim::CommandAssembler assembler;
    const sim::Bytes* whole = nullptr;
    EXPECT_EQ(assembler.Take(*sim::FindPacket(101), Packet(101, {{"centre_x", -1000}}), &whole), Outcome::Waiting);
    const sim::Bytes second = Packet(102, {{"end_x", 2000}});
    ASSERT_EQ(assembler.Take(*sim::FindPacket(102), second, &whole), Outcome::Complete);
    const sim::Command cmd(*sim::FindPacket(102), whole);
    EXPECT_EQ(cmd.Code(), 101);
    EXPECT_EQ(cmd[kArcCentreX], -1000);
    EXPECT_EQ(cmd[kArcEndX], 2000);
}

} // namespace
} // namespace velkor_sim_test
