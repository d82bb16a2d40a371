// Families of the virtual module alone, each over a fake context: the cases
// that would need a whole module, a card and a long motion to reach end to
// end (store indexes at their edges, a factor that is seen but not coded,
// packet numbers around the ring, a scope trigger on random walks).
#include "family_harness.h"

#include "interrupts/interrupt_line.h"
#include "mailbox/sequence.h"
#include "scope/recorder.h"
#include "stores/variables.h"

#include <random>

namespace velkor_sim_test {
namespace {

TEST(FamilyStores, EveryStoreReadsBackWhatWasWrittenAtItsEdges)
{
    sim::Stores s;
    for (int index : {0, 1, 127, 128, 255}) {
        sim::WriteByteVar(s, Command(35, {{"index", index}, {"data", 255 - index}}));
        sim::Window w = Query(34, {{"index+128", static_cast<std::uint8_t>(index + 128)}});
        sim::ReadByteVar(s, w);
        EXPECT_EQ(Reply(w, 1), std::uint32_t(255 - index)) << "byte variable " << index;
    }
    for (int index : {0, 0x00FF, 0x0100, 0x1234, 0xFFFF}) {
        const std::int32_t value = -1 - index * 7;
        const auto low = static_cast<std::uint8_t>(index), high = static_cast<std::uint8_t>(index >> 8);
        sim::WriteVar(s, Command(37, {{"index", index}, {"data", value}}));
        sim::Window w = Query(36, {{"index_low", low}, {"index_high", high}});
        sim::ReadVar(s, w);
        EXPECT_EQ(static_cast<std::int32_t>(Reply(w, 4)), value) << "long variable " << index;

        sim::WriteMd(s, Command(39, {{"index", index}, {"value", 0xA5000000u + index}}));
        w = Query(38, {{"index_low", low}, {"index_high", high}});
        sim::ReadMd(s, w);
        EXPECT_EQ(Reply(w, 4), 0xA5000000u + index) << "MD " << index;
    }
}

TEST(FamilyInterrupts, FactorsAreCodedWhenEnabledAndSeenAsEvents)
{
    sim::InterruptLine line;
    sim::EnableInt(line, Command(170, {}));
    sim::IntFactorEnable(line, Command(172, {{"factors", 0x01 | 0x08}}));
    line.Raise(0x02 | 0x08);      // limit is not enabled: seen, not coded
    line.Raise(0x01, false);      // not an event: coded, not seen
    EXPECT_TRUE(line.TakeSignal());
    EXPECT_FALSE(line.TakeSignal()) << "one signal while the line stays up";
    EXPECT_EQ(line.TakeSeen(), 0x02 | 0x08);
    EXPECT_EQ(line.ReadCode(), 0x01 | 0x08);
    EXPECT_EQ(line.ReadCode(), 0) << "reading empties the code";

    sim::DisableInt(line, Command(171, {}));
    line.Raise(0x01);
    EXPECT_FALSE(line.TakeSignal());
    EXPECT_EQ(line.ReadCode(), 0);
    EXPECT_EQ(line.TakeSeen(), 0x01) << "a switched-off line still sees the event";
}

// Packet numbers walk the ring 0..29; every number skipped counts as a gap,
// across the wrap too, and sets the packet-missing fault.
TEST(FamilySequence, GapsAreCountedAroundTheRing)
{
    std::mt19937 random(20);
    for (int round = 0; round < 50; ++round) {
        FakeContext ctx;
        velkor_sim::Counters counters;
        sim::SequenceBook book;
        book.ExpectZeroNext();
        int expected = 0;
        int next = 0;
        for (int packet = 0; packet < 100; ++packet) {
            const int skip = random() % 4 == 0 ? static_cast<int>(random() % 29) : 0;
            const int number = (next + skip) % sim::kSequenceRing;
            expected += skip;
            sim::PacketArrived(book, counters, ctx, static_cast<std::uint8_t>(number));
            next = (number + 1) % sim::kSequenceRing;
        }
        EXPECT_EQ(counters.sequenceGaps, std::uint32_t(expected)) << "round " << round;
        EXPECT_EQ(ctx.faults != 0, expected != 0) << "round " << round;
    }
}

// On random walks of one axis, a position trigger fires in the first step
// that reaches or crosses the position, either way, and the capture opens
// with the newest samples from before it.
TEST(FamilyScope, PositionTriggerFiresAtTheFirstCrossingOfARandomWalk)
{
    std::mt19937 random(7);
    for (int round = 0; round < 100; ++round) {
        FakeContext ctx;
        velkor_sim::ScopeSettings settings;
        settings.pretrigger = 5;
        settings.trigger.kind = velkor_sim::TriggerKind::Position;
        settings.trigger.axis = 2;
        settings.trigger.position = static_cast<std::int32_t>(random() % 41) - 20;
        ctx.axes[2].lp = 0;
        sim::Scope scope;
        ASSERT_TRUE(scope.Start(settings, ctx));

        int firedAt = -1;
        for (int step = 1; step <= 400 && firedAt < 0; ++step) {
            const std::int64_t before = ctx.axes[2].lp;
            ctx.axes[2].lp += static_cast<int>(random() % 7) - 3;
            ctx.time = step * 0.001;
            const std::int64_t now = ctx.axes[2].lp, p = settings.trigger.position;
            if (now != before && ((before < p && now >= p) || (before > p && now <= p))) {
                firedAt = step;
            }
            scope.AfterStep(ctx);
        }
        const velkor_sim::ScopeState state = scope.State();
        ASSERT_EQ(state.triggered, firedAt >= 0) << "round " << round;
        if (firedAt < 0) {
            continue;
        }
        EXPECT_DOUBLE_EQ(state.triggerTime, firedAt * 0.001) << "round " << round;
        const std::vector<velkor_sim::ScopeSample> samples = scope.Take();
        const std::size_t before = std::min<std::size_t>(settings.pretrigger, firedAt - 1);
        ASSERT_EQ(samples.size(), before + 1) << "round " << round;
        EXPECT_DOUBLE_EQ(samples.back().time, firedAt * 0.001);
        EXPECT_DOUBLE_EQ(samples.front().time, (firedAt - static_cast<int>(before)) * 0.001);
    }
}

} // namespace
} // namespace velkor_sim_test
