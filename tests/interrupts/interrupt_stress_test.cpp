// Several cards at once: modules raise interrupts while application threads
// send commands, read the interrupt code and wait on the flags of the same
// cards. Meant to run under ThreadSanitizer as well.
#include "service_fixture.h"

#include <cstring>
#include <memory>
#include <mutex>

namespace velkor_test {
namespace {

constexpr int kCards = 3;
constexpr std::uint8_t kFirstCard = 1;
constexpr std::uint8_t kFirstSlot = 5;
constexpr std::uint32_t kInterrupts = 150;
constexpr int kCommands = 150;
constexpr int kWaitersPerCard = 2;

struct CardUnderLoad {
    std::uint8_t cardNo = 0;
    std::uint8_t slot = 0;
    ScriptedModule module;
    std::mutex consumedMutex;
    std::vector<std::uint8_t> consumed; // codes returned by the waiters, in order
    std::atomic<std::uint32_t> consumedCount{0};
    std::vector<std::uint8_t> raised;   // only the device thread writes it
    std::atomic<bool> failed{false};
};

class InterruptStress : public ::testing::Test {
protected:
    void SetUp() override
    {
        brelan::Reset();
        for (int i = 0; i < kCards; ++i) {
            auto c = std::make_unique<CardUnderLoad>();
            c->cardNo = static_cast<std::uint8_t>(kFirstCard + i);
            c->slot = static_cast<std::uint8_t>(kFirstSlot + i);
            c->module.PlugInto(c->slot);
            ASSERT_EQ(Velkor_REGISTRATION(c->cardNo, c->slot), 1);
            ASSERT_EQ(Velkor_ENABLE_RINT(c->cardNo), 1);
            std::memset(velkor::FindCard(c->cardNo)->staging, 0, velkor::kStagingSize);
            c->module.TakePackets();
            cards.push_back(std::move(c));
        }
    }
    void TearDown() override
    {
        for (auto& c : cards) {
            StopService(c->cardNo);
        }
    }

    std::vector<std::unique_ptr<CardUnderLoad>> cards;
};

// The device raises one factor at a time and waits until a waiter has
// consumed it, so that no two interrupts of a factor merge into one flag.
void RunDevice(CardUnderLoad& c)
{
    for (std::uint32_t i = 0; i < kInterrupts && !c.failed; ++i) {
        const auto code = static_cast<std::uint8_t>(1u << (i % 8));
        c.raised.push_back(code);
        if (!c.module.RaiseInterrupt(code) || !WaitUntil([&] { return c.consumedCount == i + 1; })) {
            c.failed = true;
        }
    }
}

void RunWaiter(CardUnderLoad& c)
{
    while (c.consumedCount < kInterrupts && !c.failed) {
        const std::uint8_t code = Velkor_RINT_WAIT(c.cardNo, 0xFF, 6);
        if (code != 0) {
            std::lock_guard<std::mutex> hold(c.consumedMutex);
            c.consumed.push_back(code);
            ++c.consumedCount;
        }
    }
}

void RunCommander(CardUnderLoad& c)
{
    for (int i = 0; i < kCommands; ++i) {
        Velkor_INTFACTOR_ENABLE(c.cardNo, static_cast<std::uint8_t>(i), c.cardNo, 0x20);
        Velkor_INTERRUPT_RETURN_CODE(c.cardNo);
        Velkor_ENABLE_INT(c.cardNo);
    }
}

TEST_F(InterruptStress, InterruptsCommandsAndWaitsOnSeveralCardsAtOnce)
{
    std::vector<std::thread> threads;
    for (auto& c : cards) {
        CardUnderLoad& card = *c;
        threads.emplace_back(RunDevice, std::ref(card));
        threads.emplace_back(RunCommander, std::ref(card));
        for (int w = 0; w < kWaitersPerCard; ++w) {
            threads.emplace_back(RunWaiter, std::ref(card));
        }
    }
    for (std::thread& t : threads) {
        t.join();
    }

    for (auto& c : cards) {
        SCOPED_TRACE("card " + std::to_string(c->cardNo));
        EXPECT_FALSE(c->failed);
        // Every interrupt was served once and consumed by exactly one waiter,
        // which returned its code.
        EXPECT_EQ(c->consumed, c->raised);
        const brelan::InterruptState state = brelan::GetInterruptState(c->slot);
        EXPECT_EQ(state.raised, kInterrupts);
        EXPECT_EQ(state.acknowledged, kInterrupts);
        EXPECT_EQ(Threads(c->cardNo), 1);
        // The commands went out whole and in order, and no exchange left the
        // sequence register parked.
        const std::vector<Packet> packets = c->module.TakePackets();
        ASSERT_EQ(packets.size(), 2u * kCommands);
        for (int i = 0; i < kCommands; ++i) {
            const std::vector<std::uint8_t> factor{172, 10, static_cast<std::uint8_t>(i), 0, c->cardNo, 0, 0x20, 0};
            EXPECT_EQ(packets[2 * i].bytes, factor);
            EXPECT_EQ(packets[2 * i + 1].bytes, (std::vector<std::uint8_t>{170, 10}));
        }
        EXPECT_EQ(c->module.RegisterValue(2), velkor::FindCard(c->cardNo)->sequence);
    }
}

} // namespace
} // namespace velkor_test
