// Card 0 on a virtual module in slot 3 (manual clock), for the macro program
// and debugger tests: recording helpers, and the interrupt service thread
// started on request and ended before the next test.
#ifndef VELKOR_TESTS_SIM_MACRO_FIXTURE_H
#define VELKOR_TESTS_SIM_MACRO_FIXTURE_H

#include "sim_fixture.h"

#include "transport/card_table.h"

#include <Velkor.h>

namespace velkor_sim_test {

constexpr std::uint8_t kCard = 0;

// A two-character comparison as the host forms it: first character high.
constexpr std::uint16_t Op2(char first, char second)
{
    return static_cast<std::uint16_t>(static_cast<unsigned char>(first) << 8 | static_cast<unsigned char>(second));
}

class MacroTest : public SimTest {
protected:
    void SetUp() override
    {
        SimTest::SetUp();
        ASSERT_EQ(Velkor_REGISTRATION(kCard, kSlot), 1);
    }
    void TearDown() override
    {
        if (rint_) {
            Velkor_DISABLE_RINT(kCard);
            // The library does not join its service thread; wait until it
            // has ended, so that nothing of it outlives the test.
            const auto deadline = std::chrono::steady_clock::now() + 5s;
            while (velkor::FindCard(kCard)->interruptThreads.load() != 0 && std::chrono::steady_clock::now() < deadline) {
                std::this_thread::sleep_for(1ms);
            }
            EXPECT_EQ(velkor::FindCard(kCard)->interruptThreads.load(), 0);
        }
        Velkor_CLEAR_STOP(kCard);
        SimTest::TearDown();
    }
    // The interrupt service thread, with the given factors enabled.
    void StartInterrupts(std::uint8_t factors)
    {
        Velkor_INTFACTOR_ENABLE(kCard, factors, 0, 0);
        Velkor_ENABLE_INT(kCard);
        ASSERT_EQ(Velkor_ENABLE_RINT(kCard), 1);
        rint_ = true;
    }
    void Profile(std::uint8_t axes, std::uint32_t sv, std::uint32_t v, std::uint32_t a)
    {
        Velkor_SET_SV(kCard, axes, sv);
        Velkor_SET_V(kCard, axes, v);
        Velkor_SET_A(kCard, axes, a);
    }
    // Runs a called program to its end on the manual clock.
    bool RunProgram(std::uint8_t program)
    {
        Velkor_MP_CALL(kCard, program);
        return module.AdvanceUntilProgramEnds(std::chrono::seconds(60));
    }
    std::uint16_t ErrorCode() { return Velkor_GET_ERROR_CODE(kCard, 1); }

private:
    bool rint_ = false;
};

} // namespace velkor_sim_test

#endif
