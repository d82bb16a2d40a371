// Card 0 registered on a virtual module in slot 3 on the manual clock, with
// the helpers the machine and homing tests share: a speed profile, running
// until stopped, and the interrupt code with some factors enabled.
#ifndef VELKOR_TESTS_SIM_AXES_FIXTURE_H
#define VELKOR_TESTS_SIM_AXES_FIXTURE_H

#include "sim_fixture.h"

#include <Velkor.h>

namespace velkor_sim_test {

class MachineTest : public SimTest {
public:
    static constexpr std::uint8_t kCard = 0;
    // Factor bits of the interrupt code.
    static constexpr std::uint8_t kDriveEnd = 0x01;
    static constexpr std::uint8_t kLimitFactor = 0x02;
    static constexpr std::uint8_t kAlarmFactor = 0x04;
    static constexpr std::uint8_t kHomedFactor = 0x08;

    void SetUp() override
    {
        SimTest::SetUp();
        ASSERT_EQ(Velkor_REGISTRATION(kCard, kSlot), 1);
    }
    void TearDown() override
    {
        Velkor_CLEAR_STOP(kCard);
        SimTest::TearDown();
    }
    void Profile(std::uint8_t axes, std::uint32_t sv, std::uint32_t v, std::uint32_t a)
    {
        Velkor_SET_SV(kCard, axes, sv);
        Velkor_SET_V(kCard, axes, v);
        Velkor_SET_A(kCard, axes, a);
    }
    bool RunToStop(std::uint8_t axes) { return module.AdvanceUntilStopped(axes, std::chrono::seconds(120)); }
    // Lets the factors given raise the interrupt and empties the code register.
    void EnableFactors(std::uint8_t factors)
    {
        Velkor_INTFACTOR_ENABLE(kCard, factors, 0, 0);
        Velkor_ENABLE_INT(kCard);
        Velkor_INTERRUPT_RETURN_CODE(kCard);
    }
    std::uint8_t Code() { return Velkor_INTERRUPT_RETURN_CODE(kCard); }
    std::uint16_t Errors(std::uint8_t axis) { return Velkor_GET_ERROR_CODE(kCard, axis); }
    bool Input(std::uint8_t axis, std::uint16_t bit)
    {
        int n = 0;
        while ((1u << n) != bit) {
            ++n;
        }
        return Velkor_GET_DI(kCard, axis, static_cast<std::uint8_t>(n)) == 1;
    }
    // Packets are taken after the library call returns: the module is set up
    // once it has carried out what was sent before.
    velkor_sim::VirtualModule& Sim() { return module; }
    void Layout(int index, velkor_sim::MachineAxis m)
    {
        module.WaitSettled();
        module.SetMachine(index, m);
    }
};

} // namespace velkor_sim_test

#endif
