// Starting and stopping the interrupt service in any order, on a slot bus
// that hands out a new event per registration and on one that hands out the
// same event for a slot every time: every interrupt that comes while the card
// is served is read once, acknowledged once and seen by the flag wait; never
// more than one thread serves the card; none is left once the service is
// stopped. Meant to run under ThreadSanitizer as well.
#include "service_fixture.h"

#include <algorithm>
#include <string>

namespace velkor_test {
namespace {

constexpr std::uint8_t kOtherSlot = 4;

std::size_t CodeReads(const std::vector<BusAccess>& accesses)
{
    std::size_t reads = 0;
    for (const BusAccess& a : accesses) {
        reads += !a.write && a.offset == 124 ? 1 : 0;
    }
    return reads;
}

struct BusBehaviour {
    const char* name;
    bool reuseEvents;
};

class ServiceLifecycle : public ServiceTest, public ::testing::WithParamInterface<BusBehaviour> {
protected:
    void SetUp() override
    {
        ServiceTest::SetUp();
        other.PlugInto(kOtherSlot);
        brelan::ReuseInterruptEvents(GetParam().reuseEvents);
    }

    ScriptedModule& ModuleOf(std::uint8_t slot) { return slot == kSlot ? module : other; }
    std::uint32_t Acknowledged() const
    {
        return brelan::GetInterruptState(kSlot).acknowledged + brelan::GetInterruptState(kOtherSlot).acknowledged;
    }

    // Runs the steps of `sequence` one by one against a model of what the
    // card's service should be doing:
    //   E Velkor_ENABLE_RINT  D Velkor_DISABLE_RINT  R Velkor_RESET_CARD
    //   G Velkor_REGISTRATION on the same slot  S ... on the other slot
    //   I one interrupt from the module the card is registered to
    void Run(const std::string& sequence)
    {
        bool serving = false;
        std::uint8_t slot = kSlot;
        std::uint32_t served = 0;
        const std::uint32_t acknowledgedBefore = Acknowledged();
        int interrupt = 0;
        for (std::size_t step = 0; step < sequence.size(); ++step) {
            SCOPED_TRACE("step " + std::to_string(step) + " '" + sequence[step] + "'");
            switch (sequence[step]) {
            case 'E':
                EXPECT_EQ(Velkor_ENABLE_RINT(kCard), serving ? 0 : 1);
                serving = true;
                break;
            case 'D':
                Velkor_DISABLE_RINT(kCard);
                serving = false;
                EXPECT_EQ(Threads(kCard), 0); // at once, not eventually
                EXPECT_FALSE(brelan::GetInterruptState(kSlot).registered);
                EXPECT_FALSE(brelan::GetInterruptState(kOtherSlot).registered);
                break;
            case 'R':
                Velkor_RESET_CARD(kCard);
                serving = false;
                break;
            case 'G':
            case 'S':
                slot = sequence[step] == 'G' ? kSlot : kOtherSlot;
                ASSERT_EQ(Velkor_REGISTRATION(kCard, slot), 1);
                serving = false;
                break;
            case 'I': {
                const auto code = static_cast<std::uint8_t>(1u << (interrupt++ % 8));
                Velkor_CLEAR_RINT_FLAG(kCard);
                ModuleOf(slot).TakeAccesses();
                const std::uint32_t acknowledged = Acknowledged();
                ModuleOf(slot).RaiseInterrupt(code);
                if (serving) {
                    EXPECT_EQ(Velkor_RINT_WAIT(kCard, code, 10000), code);
                    ++served;
                }
                std::this_thread::sleep_for(milliseconds(20));
                EXPECT_EQ(Acknowledged(), acknowledged + (serving ? 1 : 0));
                EXPECT_EQ(CodeReads(ModuleOf(slot).TakeAccesses()), serving ? 1u : 0u);
                break;
            }
            default:
                FAIL() << "no such step";
            }
            EXPECT_LE(Threads(kCard), 1);
        }
        Velkor_DISABLE_RINT(kCard);
        EXPECT_EQ(Threads(kCard), 0);
        EXPECT_EQ(Acknowledged(), acknowledgedBefore + served);
    }

    ScriptedModule other;
};

TEST_P(ServiceLifecycle, EveryInterruptWhileServedIsServedOnce)
{
    const char* const sequences[] = {
        "EIII",    // the ordinary case
        "EIDEI",   // stopped and started again at once
        "EDDEI",   // stopped twice
        "EEI",     // a second start is refused, the first keeps serving
        "EIRE I",  // reset ends the service without closing the registration
        "ERIEI",   // an interrupt after the reset is not served, the next start serves
        "EGEII",   // registration ends it the same way
        "ESEI",    // registration to another slot, served there
        "EGD",     // nothing left after a stop that follows a registration
        "ESD",     // ... also when the registration moved the card
        "EIDIEI",  // an interrupt while stopped is not served
    };
    for (std::string sequence : sequences) {
        sequence.erase(std::remove(sequence.begin(), sequence.end(), ' '), sequence.end());
        SCOPED_TRACE(sequence);
        ASSERT_EQ(Velkor_REGISTRATION(kCard, kSlot), 1);
        Run(sequence);
    }
}

// The registration a reset left open is closed before the slot is registered
// again, so that the old thread's wait returns and the thread is gone before
// the new one starts.
TEST_P(ServiceLifecycle, StartAfterResetClosesTheRegistrationLeftOpen)
{
    using Kind = brelan::Access::Kind;
    ASSERT_EQ(Velkor_ENABLE_RINT(kCard), 1);
    Velkor_RESET_CARD(kCard);
    card->sequence = 5;
    brelan::SetTrace(true);
    ASSERT_EQ(Velkor_ENABLE_RINT(kCard), 1);
    EXPECT_EQ(brelan::TakeTrace(), (std::vector<brelan::Access>{
                                       {Kind::InterruptClose, kSlot, 0, 0},
                                       {Kind::Write, kSlot, 2, 31},
                                       {Kind::Read, kSlot, 124, 0},
                                       {Kind::Write, kSlot, 2, 5},
                                       {Kind::RegisterInterrupt, kSlot, 0, 0},
                                   }));
    EXPECT_EQ(Threads(kCard), 1);
    Serve(0x10);
}

// A service thread that only starts to run after the card was registered
// again finds the service ended and leaves at once, without a race on the
// card's slot or window base.
TEST_P(ServiceLifecycle, RegistrationWhileTheThreadIsStillStarting)
{
    static std::atomic<velkor::kernel::ThreadEntry> entry{nullptr};
    static std::atomic<int> delayed{0};
    velkor::interrupt_seam::startThread = [](velkor::kernel::ThreadEntry real, void* arg) {
        entry = real;
        return velkor::kernel::StartThread(
            [](void* card) {
                std::this_thread::sleep_for(milliseconds(400)); // well past the start's 100 ms pause
                ++delayed;
                return entry.load()(card);
            },
            arg);
    };
    delayed = 0;
    for (int round = 0; round < 3; ++round) {
        ASSERT_EQ(Velkor_ENABLE_RINT(kCard), 1);
        SetFlags({6});
        ASSERT_EQ(Threads(kCard), 1);
        ASSERT_EQ(Velkor_REGISTRATION(kCard, round % 2 == 0 ? kOtherSlot : kSlot), 1);
        ASSERT_TRUE(WaitUntil([] { return Threads(kCard) == 0; }));
        EXPECT_EQ(card->interruptFlags[6], 1); // a thread that never served leaves the flags alone
        Velkor_DISABLE_RINT(kCard);
    }
    EXPECT_EQ(delayed, 3);
    velkor::interrupt_seam::startThread = &velkor::kernel::StartThread;
    ASSERT_EQ(Velkor_REGISTRATION(kCard, kSlot), 1);
    ASSERT_EQ(Velkor_ENABLE_RINT(kCard), 1);
    Serve(0x03);
}

INSTANTIATE_TEST_SUITE_P(SlotBus, ServiceLifecycle,
                         ::testing::Values(BusBehaviour{"NewEventPerRegistration", false},
                                           BusBehaviour{"SameEventPerSlot", true}),
                         [](const ::testing::TestParamInfo<BusBehaviour>& info) { return info.param.name; });

} // namespace
} // namespace velkor_test
