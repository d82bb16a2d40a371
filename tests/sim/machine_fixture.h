// The library against a virtual module on the manual clock, card 0 in slot 3,
// with the trail kept: the fixture of the end-to-end tests of the machine's
// families (speed shaping, path types, compare and synchronous actions).
#ifndef VELKOR_TESTS_SIM_MACHINE_FIXTURE_H
#define VELKOR_TESTS_SIM_MACHINE_FIXTURE_H

#include <velkor_sim/virtual_module.h>

#include <Velkor.h>
#include <brelan/backplane.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <map>
#include <memory>

namespace velkor_sim_test {

class Machine : public ::testing::Test {
protected:
    static constexpr std::uint8_t kCard = 0;

    void SetUp() override
    {
        brelan::Reset();
        velkor_sim::ModuleOptions options;
        options.keepTrail = true;
        module = std::make_unique<velkor_sim::VirtualModule>(options);
        ASSERT_TRUE(module->PlugInto(3));
        ASSERT_EQ(Velkor_REGISTRATION(kCard, 3), 1);
        Velkor_SET_LP(kCard, 15, 0);
        Velkor_SET_EP(kCard, 15, 0);
    }
    void TearDown() override { module->Unplug(); }

    bool RunToStop(std::uint8_t axes = 15) { return module->AdvanceUntilStopped(axes, std::chrono::seconds(120)); }
    void Step(int ms = 1) { module->Advance(std::chrono::milliseconds(ms)); }
    velkor_sim::AxisStatus Ax(int index) { return module->Axis(index); }
    // The commands the module could not use, once it has taken all sent.
    std::map<std::uint8_t, std::uint32_t> Unusable()
    {
        module->WaitSettled();
        return module->Unsimulated();
    }

    std::unique_ptr<velkor_sim::VirtualModule> module;
};

} // namespace velkor_sim_test

#endif
