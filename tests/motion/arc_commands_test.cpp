// The arc exports against the scripted module: the exact packets of a
// stand-alone arc and of a mixed path, the saved mix speed, and refused
// input that leaves the bus untouched.
#include "card_fixture.h"

#include "motion/arc_geometry.h"

#include <cstdint>
#include <vector>

namespace velkor_test {
namespace {

constexpr std::int32_t kDegenerate = VELKOR_ARC_DEGENERATE;
constexpr POINT_3D kOrigin{0, 0, 0};

void Append32(std::vector<std::uint8_t>& bytes, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i) {
        bytes.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    }
}

std::vector<std::uint8_t> Segment(std::uint8_t endFlag, std::uint8_t byte3, std::int32_t x, std::int32_t y,
                                  std::int32_t z)
{
    std::vector<std::uint8_t> bytes{129, 10, endFlag, byte3};
    for (std::int32_t v : {x, y, z}) {
        Append32(bytes, static_cast<std::uint32_t>(v));
    }
    return bytes;
}

std::vector<std::uint8_t> Profile(std::uint32_t a, std::uint32_t b, std::uint32_t c)
{
    std::vector<std::uint8_t> bytes{128, 10};
    for (std::uint32_t v : {a, b, c}) {
        Append32(bytes, v);
    }
    return bytes;
}

class Arcs : public CardTest {
protected:
    // The segment packets of a plan, numbered on from `sequence`; byte 3 is
    // never written and carries what the staging area held.
    static void AppendChords(std::vector<Packet>& packets, std::uint8_t& sequence, const velkor::ArcPlan& plan,
                             std::uint8_t byte3)
    {
        velkor::ChordWalker walker(plan);
        velkor::Chord c;
        while (walker.Next(c)) {
            sequence = static_cast<std::uint8_t>((sequence + 1) % 30);
            packets.push_back({sequence, Segment(c.endFlag, byte3, c.x, c.y, c.z)});
        }
    }
};

TEST_F(Arcs, HalfCircleIsAPathOfItsOwn)
{
    const POINT_3D mid{1000, 1000, 0};
    const POINT_3D end{2000, 0, 0};
    card->mixSpeed = 777;
    EXPECT_EQ(Velkor_ARC_3D(kCard, 1, 2, 4, &mid, &end, 1, 10000), 314);

    // 128 is the fourteen bytes 128, 10, 16, 39, 0, 0, 16, 39, 0, 0, 64, 66, 15, 0;
    // its byte 3 (39) then rides along in every segment packet.
    std::vector<Packet> expected{{1, {127, 10, 1, 0, 2, 0, 4, 0}},
                                 {2, {128, 10, 16, 39, 0, 0, 16, 39, 0, 0, 64, 66, 15, 0}}};
    std::uint8_t sequence = 2;
    AppendChords(expected, sequence, velkor::PlanArc(&kOrigin, &mid, &end, 1, 10000, true), 39);
    const std::vector<Packet> packets = module.TakePackets();
    ASSERT_EQ(packets.size(), 2u + 71u);
    EXPECT_EQ(packets, expected);
    EXPECT_EQ(packets[2].bytes, Segment(0, 39, 0, 44, 0));
    EXPECT_EQ(packets.back().bytes, Segment(1, 39, 1, -44, 0));
    EXPECT_EQ(card->mixSpeed, 777u); // a stand-alone arc leaves the mixed path's speed alone
}

TEST_F(Arcs, OneChordArcWholeTrace)
{
    const POINT_3D mid{100, 10, 0};
    const POINT_3D end{200, 0, 0};
    EXPECT_EQ(Velkor_ARC_3D(kCard, 0, 1, 2, &mid, &end, 1000, 20000), 10);
    std::vector<BusAccess> expected = PacketTrace(1, {127, 10, 0, 0, 1, 0, 2, 0});
    for (const auto& part : {PacketTrace(2, Profile(20000, 20000, 1000000)), PacketTrace(3, Segment(1, 78, 200, 0, 0))}) {
        expected.insert(expected.end(), part.begin(), part.end());
    }
    EXPECT_EQ(module.TakeAccesses(), expected);
}

TEST_F(Arcs, ChordOfZerosIsStillSent)
{
    const POINT_3D mid{1, 1, 0};
    const POINT_3D end{2, 0, 0};
    Velkor_ARC_3D(kCard, 0, 1, 2, &mid, &end, 1, 100);
    const std::vector<Packet> packets = module.TakePackets();
    ASSERT_EQ(packets.size(), 5u);
    EXPECT_EQ(packets[2].bytes, Segment(0, 0, 0, 0, 0));
}

TEST_F(Arcs, MixedPathKeepsTheSpeedOfItsInitialCommand)
{
    Velkor_MIX_3D_INITIAL(kCard, 3, 5, 7, 0x1234, 20000, 0x01020304);
    EXPECT_EQ(card->mixSpeed, 20000u);
    std::vector<Packet> expected{{1, {127, 10, 3, 0, 5, 0, 7, 0}}, {2, Profile(0x1234, 20000, 0x01020304)}};
    EXPECT_EQ(module.TakePackets(), expected);

    // An arc in the y-z plane, not the end of the path: every chord carries 0.
    const POINT_3D p1{0, 1000, 1000};
    const POINT_3D p2{0, 2000, 0};
    EXPECT_EQ(Velkor_MIX_3D_CONTINUE(kCard, 0, 1, &p1, &p2, 5), 157);
    expected.clear();
    std::uint8_t sequence = 2;
    AppendChords(expected, sequence, velkor::PlanArc(&kOrigin, &p1, &p2, 5, 20000, false), 0x12);
    const std::vector<Packet> packets = module.TakePackets();
    ASSERT_EQ(packets.size(), 32u);
    EXPECT_EQ(packets, expected);
    EXPECT_EQ(packets.front().bytes, Segment(0, 0x12, 0, 4, 98));
    EXPECT_EQ(packets.back().bytes, Segment(0, 0x12, 0, 5, -98));

    // Any nonzero end flag ends the path with a chord flagged 1.
    EXPECT_EQ(Velkor_MIX_3D_CONTINUE(kCard, 7, 1, &p1, &p2, 5), 157);
    const std::vector<Packet> ending = module.TakePackets();
    ASSERT_EQ(ending.size(), 32u);
    EXPECT_EQ(ending.back().bytes[2], 1);
    EXPECT_EQ(ending[30].bytes[2], 0);
}

// A slightly curved long move lies on a circle far larger than the 32-bit
// range; only the arc itself has to fit, and it is sent like any other.
TEST_F(Arcs, SlightlyCurvedLongMoveWholeTrace)
{
    const POINT_3D mid{47000, 1, 0};
    const POINT_3D end{94000, 0, 0};
    EXPECT_EQ(Velkor_ARC_3D(kCard, 1, 2, 4, &mid, &end, 1, 10000), 9400);
    std::vector<BusAccess> expected = PacketTrace(1, {127, 10, 1, 0, 2, 0, 4, 0});
    for (const auto& part : {PacketTrace(2, Profile(10000, 10000, 1000000)), PacketTrace(3, Segment(0, 39, 47000, 1, 0)),
                             PacketTrace(4, Segment(1, 39, 47000, -1, 0))}) {
        expected.insert(expected.end(), part.begin(), part.end());
    }
    EXPECT_EQ(module.TakeAccesses(), expected);
}

// Every segment of a mixed path reaches the module, so the relative segments
// after a flat arc start where it ended.
TEST_F(Arcs, MixedPathKeepsAFlatArcAmongItsLines)
{
    const POINT_3D line1{1000, 0, 0};
    const POINT_3D mid{47000, 1, 0};
    const POINT_3D end{94000, 0, 0};
    const POINT_3D line2{0, 1000, 0};
    Velkor_MIX_3D_INITIAL(kCard, 1, 2, 4, 100, 10000, 100000); // byte 3 of its 128 is 0
    EXPECT_EQ(Velkor_MIX_3D_CONTINUE(kCard, 0, 0, &line1, nullptr, 0), 0);
    EXPECT_EQ(Velkor_MIX_3D_CONTINUE(kCard, 0, 1, &mid, &end, 1), 9400);
    EXPECT_EQ(Velkor_MIX_3D_CONTINUE(kCard, 1, 0, &line2, nullptr, 0), 0);
    const std::vector<Packet> packets = module.TakePackets();
    ASSERT_EQ(packets.size(), 6u);
    EXPECT_EQ(packets[2].bytes, Segment(0, 0, 1000, 0, 0));
    EXPECT_EQ(packets[3].bytes, Segment(0, 0, 47000, 1, 0));
    EXPECT_EQ(packets[4].bytes, Segment(0, 0, 47000, -1, 0));
    EXPECT_EQ(packets[5].bytes, Segment(1, 0, 0, 1000, 0));
}

TEST_F(Arcs, MixedLineForwardsItsWholeEndFlagAndReadsNothingElse)
{
    card->staging[3] = 0x5A;
    const POINT_3D p1{11, -22, 33};
    EXPECT_EQ(Velkor_MIX_3D_CONTINUE(kCard, 5, 0, &p1, nullptr, 0), 0);
    EXPECT_EQ(module.TakeAccesses(), PacketTrace(1, {129, 10, 5, 0x5A, 11, 0, 0, 0, 234, 255, 255, 255, 33, 0, 0, 0}));
}

TEST_F(Arcs, MixedArcTakesTheLatestInitialSpeed)
{
    Velkor_MIX_3D_INITIAL(kCard, 0, 1, 2, 0, 10000, 0);
    Velkor_MIX_3D_INITIAL(kCard, 0, 1, 2, 0, 500000, 0);
    module.TakePackets();
    const POINT_3D mid{1000, 1000, 0};
    const POINT_3D end{2000, 0, 0};
    EXPECT_EQ(Velkor_MIX_3D_CONTINUE(kCard, 1, 1, &mid, &end, 1), -221220);
    EXPECT_EQ(module.TakePackets().size(), 71u);
}

// A dropped packet does not stop the chain: every chord is offered in turn.
TEST_F(Arcs, DroppedPacketsDoNotStopTheChain)
{
    card->stopFlag = 1;
    module.SetPending(1, kForever);
    const POINT_3D mid{1000, 1000, 0};
    const POINT_3D end{2000, 0, 0};
    EXPECT_EQ(Velkor_ARC_3D(kCard, 0, 1, 2, &mid, &end, 1, 10000), 314);
    std::size_t offered = 0;
    for (const BusAccess& a : module.TakeAccesses()) {
        offered += a.write && a.offset == 2;
    }
    EXPECT_EQ(offered, 2u + 71u);
    EXPECT_TRUE(module.TakePackets().empty());
}

// --- Refused input: nothing reaches the bus -------------------------------

TEST_F(Arcs, DegenerateStandAloneArcsSendNotEvenTheirOpeningPackets)
{
    const POINT_3D mid{1000, 1000, 0};
    const POINT_3D end{2000, 0, 0};
    const POINT_3D onLine{1000, 0, 0};
    EXPECT_EQ(Velkor_ARC_3D(kCard, 0, 1, 2, &onLine, &end, 1, 10000), kDegenerate);
    EXPECT_EQ(Velkor_ARC_3D(kCard, 0, 1, 2, &mid, &kOrigin, 1, 10000), kDegenerate);
    EXPECT_EQ(Velkor_ARC_3D(kCard, 0, 1, 2, &mid, &end, 0, 10000), kDegenerate);
    EXPECT_EQ(Velkor_ARC_3D(kCard, 0, 1, 2, &mid, &end, 2001, 10000), kDegenerate);
    EXPECT_EQ(Velkor_ARC_3D(kCard, 0, 1, 2, &mid, &end, 1, 0), kDegenerate);
    EXPECT_EQ(Velkor_ARC_3D(kCard, 0, 1, 2, nullptr, &end, 1, 10000), kDegenerate);
    EXPECT_EQ(Velkor_ARC_3D(kCard, 0, 1, 2, &mid, nullptr, 1, 10000), kDegenerate);
    EXPECT_TRUE(module.TakeAccesses().empty());
}

TEST_F(Arcs, MixedArcBeforeAnyInitialCommandIsRefused)
{
    const POINT_3D mid{1000, 1000, 0};
    const POINT_3D end{2000, 0, 0};
    card->mixSpeed = 0;
    EXPECT_EQ(Velkor_MIX_3D_CONTINUE(kCard, 1, 1, &mid, &end, 1), kDegenerate);
    card->mixSpeed = 10000;
    EXPECT_EQ(Velkor_MIX_3D_CONTINUE(kCard, 1, 1, nullptr, &end, 1), kDegenerate);
    EXPECT_EQ(Velkor_MIX_3D_CONTINUE(kCard, 1, 1, &mid, nullptr, 1), kDegenerate);
    EXPECT_EQ(Velkor_MIX_3D_CONTINUE(kCard, 1, 0, nullptr, &end, 1), kDegenerate); // a line without its point
    EXPECT_TRUE(module.TakeAccesses().empty());
}

TEST_F(Arcs, CardOutsideTheTableSendsNothing)
{
    card->mixSpeed = 0;
    const POINT_3D mid{1000, 1000, 0};
    const POINT_3D end{2000, 0, 0};
    EXPECT_EQ(Velkor_ARC_3D(8, 0, 1, 2, &mid, &end, 1, 10000), kDegenerate);
    Velkor_MIX_3D_INITIAL(8, 0, 1, 2, 0, 10000, 0);
    EXPECT_EQ(Velkor_MIX_3D_CONTINUE(255, 1, 1, &mid, &end, 1), kDegenerate);
    EXPECT_EQ(Velkor_MIX_3D_CONTINUE(255, 1, 0, &mid, nullptr, 0), 0);
    EXPECT_TRUE(module.TakeAccesses().empty());
    EXPECT_EQ(card->mixSpeed, 0u);
}

} // namespace
} // namespace velkor_test
