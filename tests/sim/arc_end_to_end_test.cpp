// Three-point arcs in space and mixed three-dimensional paths, from the
// library's arc functions to the axes of the virtual module.
#include "sim_fixture.h"

#include <Velkor.h>

#include <cmath>

namespace velkor_sim_test {
namespace {

constexpr std::uint8_t kCard = 0;

class Arcs : public ::testing::Test {
protected:
    void SetUp() override
    {
        brelan::Reset();
        velkor_sim::ModuleOptions options;
        options.keepTrail = true;
        module = std::make_unique<velkor_sim::VirtualModule>(options);
        ASSERT_TRUE(module->PlugInto(3));
        ASSERT_EQ(Velkor_REGISTRATION(kCard, 3), 1);
        Velkor_SET_LP(kCard, 7, 0);
    }
    void TearDown() override { module->Unplug(); }
    bool RunToStop() { return module->AdvanceUntilStopped(7, std::chrono::seconds(60)); }
    std::unique_ptr<velkor_sim::VirtualModule> module;
};

TEST_F(Arcs, HalfCircleEndsExactlyOnItsEndPointAlongTheCircle)
{
    const POINT_3D mid{1000, 1000, 0};
    const POINT_3D end{2000, 0, 0};
    EXPECT_EQ(Velkor_ARC_3D(kCard, 1, 2, 4, &mid, &end, 1, 10000), 314);
    ASSERT_TRUE(RunToStop());
    EXPECT_EQ(Velkor_GET_LP(kCard, 1), 2000);
    EXPECT_EQ(Velkor_GET_LP(kCard, 2), 0);
    EXPECT_EQ(Velkor_GET_LP(kCard, 4), 0);
    EXPECT_EQ(Velkor_STOP_WAIT(kCard, 7), 1);
    const auto c = module->GetCounters();
    EXPECT_EQ(c.packetsTaken, 1u + 2u + 71u); // SET_LP, 127, 128 and the 71 chords
    EXPECT_EQ(c.sequenceGaps, 0u);
    EXPECT_EQ(c.droppedPackets, 0u);
    // The chords stay within the tolerance (and the rounding to whole pulses)
    // of the circle about (1000, 0, 0), on its upper half.
    for (const auto& p : module->TakeTrail()) {
        EXPECT_NEAR(std::hypot(p.lp[0] - 1000.0, p.lp[1]), 1000, 1.8);
        EXPECT_GE(p.lp[1], 0);
    }
}

TEST_F(Arcs, ArcStartsWhereTheAxesStand)
{
    Velkor_SET_LP(kCard, 1, -5000);
    Velkor_SET_LP(kCard, 2, 300);
    Velkor_SET_LP(kCard, 4, 7);
    const POINT_3D mid{0, 1000, 1000};
    const POINT_3D end{0, 2000, 0};
    EXPECT_GT(Velkor_ARC_3D(kCard, 1, 2, 4, &mid, &end, 5, 20000), 0);
    ASSERT_TRUE(RunToStop());
    EXPECT_EQ(Velkor_GET_LP(kCard, 1), -5000);
    EXPECT_EQ(Velkor_GET_LP(kCard, 2), 2300);
    EXPECT_EQ(Velkor_GET_LP(kCard, 4), 7);
    EXPECT_EQ(module->GetCounters().sequenceGaps, 0u);
}

TEST_F(Arcs, MixedPathOfLinesAndArcsEndsOnTheSumOfItsPieces)
{
    Velkor_MIX_3D_INITIAL(kCard, 1, 2, 4, 500, 20000, 200000);
    const POINT_3D line1{500, 0, 0};
    const POINT_3D arcMid{0, 1000, 1000};
    const POINT_3D arcEnd{0, 2000, 0};
    const POINT_3D line2{0, 0, -300};
    const POINT_3D lastMid{-1000, 1000, 0};
    const POINT_3D lastEnd{-2000, 0, 0};
    EXPECT_EQ(Velkor_MIX_3D_CONTINUE(kCard, 0, 0, &line1, nullptr, 0), 0);
    EXPECT_GT(Velkor_MIX_3D_CONTINUE(kCard, 0, 1, &arcMid, &arcEnd, 5), 0);
    EXPECT_EQ(Velkor_MIX_3D_CONTINUE(kCard, 0, 0, &line2, nullptr, 0), 0);
    EXPECT_GT(Velkor_MIX_3D_CONTINUE(kCard, 1, 1, &lastMid, &lastEnd, 2), 0);
    ASSERT_TRUE(RunToStop());
    EXPECT_EQ(Velkor_GET_LP(kCard, 1), 500 - 2000);
    EXPECT_EQ(Velkor_GET_LP(kCard, 2), 2000);
    EXPECT_EQ(Velkor_GET_LP(kCard, 4), -300);
    const auto c = module->GetCounters();
    EXPECT_EQ(c.sequenceGaps, 0u);
    EXPECT_EQ(c.droppedPackets, 0u);
    EXPECT_EQ(Velkor_GET_ERROR(kCard), 0);
}

} // namespace
} // namespace velkor_sim_test
