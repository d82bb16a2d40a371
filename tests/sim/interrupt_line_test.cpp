// The module's interrupt line: factors accumulate in the code register while
// an interrupt is pending, the slot interrupt is signalled once per pending
// code, a factor after the host read the code signals again, switched-off
// sources raise nothing, and under load the host never reads an empty code
// for an interrupt the module signalled.
#include "sim_fixture.h"

#include "transport/card_table.h"

#include <Velkor.h>

#include <atomic>
#include <random>

namespace velkor_sim_test {
namespace {

constexpr std::uint8_t kCard = 0;

class InterruptLine : public SimTest {
protected:
    // ENABLE_INT and INTFACTOR_ENABLE(factors) as raw packets.
    void Arm(std::uint8_t factors)
    {
        host.Post(Pkt(172).U8(2, factors).U8(4, 0).U8(6, 0));
        host.Post(Pkt(170));
    }
    std::uint32_t Signalled() const { return brelan::GetInterruptState(kSlot).raised; }
};

TEST_F(InterruptLine, BurstGivesOneInterruptWithAllItsFactors)
{
    ASSERT_NE(Slot_Register_Interrupt(kSlot), nullptr);
    Arm(0x85);
    module.RaiseInterrupt(0x01);
    module.RaiseInterrupt(0x04);
    module.RaiseInterrupt(0x80);
    EXPECT_EQ(Signalled(), 1u);
    EXPECT_EQ(host.R(124), 0x85);
    // A factor after the read is the next interrupt, with only its own bit.
    module.RaiseInterrupt(0x04);
    EXPECT_EQ(Signalled(), 2u);
    EXPECT_EQ(host.R(124), 0x04);
    EXPECT_EQ(host.R(124), 0); // read, nothing pending
    EXPECT_EQ(Signalled(), 2u);
}

TEST_F(InterruptLine, SwitchedOffSourcesNeverRaise)
{
    ASSERT_NE(Slot_Register_Interrupt(kSlot), nullptr);
    module.RaiseInterrupt(0x01); // the interrupt is not switched on yet
    Arm(0x01);
    module.RaiseInterrupt(0x02); // factor not enabled
    EXPECT_EQ(Signalled(), 0u);
    EXPECT_EQ(host.R(124), 0);
    module.RaiseInterrupt(0x03); // only the enabled bit goes through
    EXPECT_EQ(host.R(124), 0x01);
    host.Post(Pkt(173).U8(2, 0x01).U8(4, 0)); // INTFACTOR_DISABLE
    module.RaiseInterrupt(0x01);
    host.Post(Pkt(172).U8(2, 0x01).U8(4, 0).U8(6, 0));
    host.Post(Pkt(171)); // DISABLE_INT
    module.RaiseInterrupt(0x01);
    EXPECT_EQ(Signalled(), 1u);
    EXPECT_EQ(host.R(124), 0);
}

TEST_F(InterruptLine, FactorsBeforeRegistrationWaitForTheNextSignal)
{
    Arm(0x03);
    module.RaiseInterrupt(0x01); // nobody registered: no signal goes out
    ASSERT_NE(Slot_Register_Interrupt(kSlot), nullptr);
    EXPECT_EQ(Signalled(), 0u);
    module.RaiseInterrupt(0x02); // signals, and the code carries both
    EXPECT_EQ(Signalled(), 1u);
    EXPECT_EQ(host.R(124), 0x03);
}

TEST_F(InterruptLine, DriveEndsRaiseFactorZeroFromTheMotion)
{
    ASSERT_NE(Slot_Register_Interrupt(kSlot), nullptr);
    Arm(0x01);
    host.Post(Pkt(71).U8(2, 3).U32(4, 1000));
    host.Post(Pkt(78).U8(2, 1).I32(4, 10));
    host.Post(Pkt(78).U8(2, 2).I32(4, 20));
    ASSERT_TRUE(module.AdvanceUntilStopped(3, 1s));
    // Two drives ended, one after the other, before the host looked.
    EXPECT_EQ(Signalled(), 1u);
    EXPECT_EQ(host.R(124), 0x01);
}

TEST_F(InterruptLine, HostNeverReadsAnEmptyCodeUnderABurstLoad)
{
    ASSERT_EQ(Velkor_REGISTRATION(kCard, kSlot), 1);
    Velkor_INTFACTOR_ENABLE(kCard, 0xFF, 0, 0);
    Velkor_ENABLE_INT(kCard);
    ASSERT_EQ(Velkor_ENABLE_RINT(kCard), 1);
    brelan::SetTrace(true);
    constexpr int kBursts = 400;
    std::atomic<bool> done{false};
    std::thread firmware([&] {
        std::mt19937 random(7);
        for (int i = 0; i < kBursts; ++i) {
            for (int k = 0; k < 3; ++k) {
                module.RaiseInterrupt(static_cast<std::uint8_t>(1u << (random() % 8)));
            }
            if (i % 16 == 0) {
                std::this_thread::sleep_for(1ms);
            }
        }
        module.RaiseInterrupt(0x01);
        done = true;
    });
    // Consume flags as they come.
    int consumed = 0;
    while (!done.load()) {
        consumed += Velkor_RINT_WAIT(kCard, 0xFF, 2) != 0 ? 1 : 0;
    }
    firmware.join();
    // Let the service thread take the last interrupt, then stop it.
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (brelan::GetInterruptState(kSlot).acknowledged < brelan::GetInterruptState(kSlot).raised &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(1ms);
    }
    Velkor_DISABLE_RINT(kCard);
    const std::vector<brelan::Access> trace = brelan::TakeTrace();
    brelan::SetTrace(false);
    const auto state = brelan::GetInterruptState(kSlot);
    EXPECT_GT(consumed, 0);
    EXPECT_GT(state.raised, 0u);
    EXPECT_EQ(state.acknowledged, state.raised);
    int codeReads = 0;
    for (const brelan::Access& a : trace) {
        if (a.kind == brelan::Access::Kind::Read && a.offset == 124) {
            ++codeReads;
            EXPECT_NE(a.value, 0) << "an interrupt whose code register was empty";
        }
    }
    EXPECT_EQ(codeReads, static_cast<int>(state.raised));
    while (velkor::FindCard(kCard)->interruptThreads.load() != 0 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(1ms);
    }
}

} // namespace
} // namespace velkor_sim_test
