// Nothing is silently ignored: every command the module cannot use sets an
// error bit and is listed, and in strict mode ends the program. Every export
// of the library, used as an application would, leaves the list empty apart
// from the codes whose families are still to be simulated.
#include "machine_fixture.h"

#include <velkor_sim/velkor_sim.h>

#include <set>
#include <vector>

namespace velkor_sim_test {
namespace {

// Codes still listed: none, every command of the library is carried out.
const std::set<std::uint8_t> kStillToCome = {};

class Unusable : public Machine {
protected:
    bool Run() { return RunToStop(); }
};

TEST_F(Unusable, EveryExportOfTheLibraryIsCarriedOut)
{
    // Axis configuration and homing.
    Velkor_SET_PULSE_MODE(kCard, 1, 0);
    Velkor_SET_MAX_V(kCard, 15, 100000);
    Velkor_SET_HLMT(kCard, 1, 0, 0);
    Velkor_LIMITSTOP_MODE(kCard, 1, 0);
    Velkor_SET_NHOME(kCard, 1, 0);
    Velkor_SET_HOME_EDGE(kCard, 1, 0);
    Velkor_SET_SLMT(kCard, 1, 1000000, -1000000, 0);
    Velkor_CLEAR_SLMT(kCard, 1);
    Velkor_SET_ENCODER(kCard, 1, 0, 0, 0);
    Velkor_SERVO_ON(kCard, 1);
    Velkor_SET_ALARM(kCard, 1, 0, 0);
    Velkor_SET_INPOS(kCard, 1, 0, 0);
    Velkor_SET_FILTER(kCard, 1, 0, 0);
    Velkor_VRING_ENABLE(kCard, 1, 100);
    Velkor_VRING_DISABLE(kCard, 1);
    Velkor_AVTRI_ENABLE(kCard, 1);
    Velkor_AVTRI_DISABLE(kCard, 1);
    Velkor_EXD_MP(kCard, 1, 1);
    Velkor_EXD_FP(kCard, 1, 1);
    Velkor_EXD_CP(kCard, 1, 1);
    Velkor_EXD_DISABLE(kCard, 1);
    Velkor_SET_HV(kCard, 1, 1000);
    Velkor_HOME_LIMIT(kCard, 1, 0);
    Velkor_SET_HOME_MODE(kCard, 1, 0, 0, 0, 0, 0);
    // Counters, status, variables, remote I/O.
    Velkor_SET_LP(kCard, 15, 0);
    Velkor_SET_EP(kCard, 15, 0);
    Velkor_GET_LP(kCard, 1);
    Velkor_GET_EP(kCard, 1);
    Velkor_GET_CV(kCard, 1);
    Velkor_GET_CA(kCard, 1);
    Velkor_GET_DI(kCard, 1, 0);
    Velkor_GET_DI_ALL(kCard, 1);
    Velkor_GET_ERROR(kCard);
    Velkor_GET_ERROR_CODE(kCard, 1);
    Velkor_QUORL_IN(kCard, 1);
    Velkor_QUORL_OUT(kCard, 1, 5);
    Velkor_WRITE_bVAR(kCard, 1, 2);
    Velkor_READ_bVAR(kCard, 1);
    Velkor_WRITE_VAR(kCard, 1, 2);
    Velkor_READ_VAR(kCard, 1);
    std::int32_t i = 0;
    float f = 0;
    Velkor_WRITE_MD(kCard, 1, 2, 0);
    Velkor_READ_MD(kCard, 1, &i, &f);
    Velkor_GET_FW_VERSION(kCard);
    Velkor_CHECK_RTC(kCard);
    // Single-axis profile and moves.
    Velkor_NORMAL_SPEED(kCard, 15, 0);
    Velkor_SET_SV(kCard, 15, 1000);
    Velkor_SET_V(kCard, 15, 20000);
    Velkor_SET_A(kCard, 15, 200000);
    Velkor_SET_D(kCard, 15, 200000);
    Velkor_SET_K(kCard, 15, 0);
    Velkor_SET_L(kCard, 15, 0);
    Velkor_SET_AO(kCard, 15, 0);
    Velkor_SET_PULSE(kCard, 15, 10);
    Velkor_FIXED_MOVE(kCard, 1, 100);
    ASSERT_TRUE(Run());
    Velkor_CONTINUE_MOVE(kCard, 1, 1);
    Step(5);
    Velkor_STOP_SLOWLY(kCard, 1);
    Velkor_CLEAR_STOP(kCard); // the library's stop flag would let packets be dropped
    ASSERT_TRUE(Run());
    Velkor_CONTINUE_MOVE(kCard, 1, -1);
    Step(5);
    Velkor_STOP_SUDDENLY(kCard, 1);
    Velkor_CLEAR_STOP(kCard); // the library's stop flag would let packets be dropped
    Velkor_DRV_HOLD(kCard, 1);
    Velkor_FIXED_MOVE(kCard, 1, 10);
    Velkor_DRV_START(kCard, 1);
    ASSERT_TRUE(Run());
    // Vector interpolation.
    Velkor_AXIS_ASSIGN(kCard, 1, 2, 4);
    Velkor_VECTOR_SPEED(kCard, 0);
    Velkor_SET_VSV(kCard, 1000);
    Velkor_SET_VV(kCard, 20000);
    Velkor_SET_VA(kCard, 200000);
    Velkor_SET_VD(kCard, 200000);
    Velkor_SET_VK(kCard, 0);
    Velkor_SET_VL(kCard, 0);
    Velkor_SET_VAO(kCard, 0);
    Velkor_LINE_2D(kCard, 100, 100);
    Velkor_LINE_3D(kCard, 100, 100, 100);
    Velkor_ARC_CW(kCard, 100, 0, 200, 0);
    Velkor_ARC_CCW(kCard, 100, 0, 200, 0);
    Velkor_CIRCLE_CW(kCard, 100, 0);
    Velkor_CIRCLE_CCW(kCard, 100, 0);
    ASSERT_TRUE(Run());
    // Continuous and special paths.
    Velkor_RECTANGLE(kCard, 1, 2, 0, 1, 0, 100, 100, 0, 1000, 20000, 200000, 0);
    Velkor_LINE_2D_INITIAL(kCard, 1, 2, 1000, 20000, 200000);
    Velkor_LINE_2D_CONTINUE(kCard, 1, 10, 10);
    Velkor_LINE_3D_INITIAL(kCard, 1, 2, 4, 1000, 20000, 200000);
    Velkor_LINE_3D_CONTINUE(kCard, 1, 10, 10, 10);
    Velkor_MIX_2D_INITIAL(kCard, 1, 2, 0, 1000, 20000, 200000);
    Velkor_MIX_2D_CONTINUE(kCard, 1, 1, 200, 0, 100, 0);
    Velkor_CONTINUE_INTP(kCard, 4, 1, 2, 1, 10, 0, 0, 0);
    const std::uint8_t kinds[] = {0, 7};
    const std::int32_t values[] = {10, 0};
    Velkor_CONTINUE_INTP_ARRAY(kCard, kinds, values, values, values, values, values);
    Velkor_HELIX_3D(kCard, 1, 2, 4, 1, 0, 100, 0, 50, 500);
    Velkor_RATIO_INITIAL(kCard, 1, 2, 1000, 20000, 200000, 1, 1);
    Velkor_RATIO_2D(kCard, 1, 100, 0);
    const POINT_3D mid{100, 100, 0};
    const POINT_3D end{200, 0, 0};
    Velkor_ARC_3D(kCard, 1, 2, 4, &mid, &end, 1, 20000);
    Velkor_MIX_3D_INITIAL(kCard, 1, 2, 4, 1000, 20000, 200000);
    Velkor_MIX_3D_CONTINUE(kCard, 1, 1, &mid, &end, 1);
    const std::uint8_t offsets[] = {1, 2, 3};
    Velkor_LINE_SCAN_OFFSET(kCard, 3, offsets);
    Velkor_LINE_SCAN(kCard, 1, 2, 1, 0, 10);
    Velkor_LINE_SCAN_START(kCard, 0, 0, 3);
    ASSERT_TRUE(Run());
    Velkor_LINE_2D_INITIAL(kCard, 1, 2, 1000, 20000, 200000);
    Velkor_LINE_2D_CONTINUE(kCard, 0, 10, 10);
    Velkor_INTP_END(kCard, 0);
    Velkor_LINE_2D(kCard, 1000, 0);
    Step(5);
    Velkor_VSTOP_SLOWLY(kCard);
    Velkor_CLEAR_STOP(kCard); // the library's stop flag would let packets be dropped
    ASSERT_TRUE(Run());
    Velkor_LINE_2D(kCard, 1000, 0);
    Step(5);
    Velkor_VSTOP_SUDDENLY(kCard);
    Velkor_CLEAR_STOP(kCard); // the library's stop flag would let packets be dropped
    Velkor_STOP_WAIT(kCard, 7);
    // Compare, synchronous actions, latch, preset, output.
    Velkor_SET_COMPARE(kCard, 1, 0, 1, 5);
    Velkor_SYNC_ACTION(kCard, 1, 1, 0, 1, 4, 0, 0, 0, 0, 0, 0, 0);
    Velkor_FIXED_MOVE(kCard, 1, 10);
    ASSERT_TRUE(Run());
    Velkor_GET_LATCH(kCard, 1);
    Velkor_SET_PRESET(kCard, 1, 0);
    Velkor_SET_OUT(kCard, 1, 0, 1);
    // Interrupts.
    Velkor_INTFACTOR_ENABLE(kCard, 0xFF, 0, 0);
    Velkor_ENABLE_INT(kCard);
    Velkor_INTERRUPT_RETURN_CODE(kCard);
    Velkor_INTFACTOR_DISABLE(kCard, 0xFF, 0);
    Velkor_DISABLE_INT(kCard);
    // Macro programs: recording.
    Velkor_MP_CREATE(kCard, 1);
    Velkor_MP_SET_VAR(kCard, 1, 2);
    Velkor_MP_SET_RVAR(kCard, 1);
    Velkor_MP_VAR_CALCULATE(kCard, 1, '+', 1, 1);
    Velkor_MP_FOR(kCard, 2);
    Velkor_MP_NEXT(kCard);
    Velkor_MP_IF(kCard, 1, '>', 1);
    Velkor_MP_ELSE(kCard);
    Velkor_MP_IF_END(kCard);
    Velkor_MP_TIMER(kCard, 1);
    Velkor_MP_STOP_WAIT(kCard, 1);
    Velkor_MP_SET_RINT(kCard);
    Velkor_GET_LP(kCard, 1);
    Velkor_MP_CLOSE(kCard);
    // Macro programs: running and debugging.
    Velkor_MP_CALL(kCard, 1);
    ASSERT_TRUE(Run());
    Velkor_MP_DEBUG(kCard, 1);
    Velkor_CONTINUE_DEBUG(kCard);
    Velkor_STOP_DEBUG(kCard);
    Velkor_ISR_DEBUG(kCard, 1);
    Velkor_STOP_DEBUG(kCard);
    Velkor_LOAD_INITIAL(kCard);
    // Card functions.
    Velkor_CLEAR_CARD_BUFFER(kCard);
    Velkor_RESET_CARD(kCard);

    const auto listed = Machine::Unusable();
    for (const auto& entry : listed) {
        EXPECT_TRUE(kStillToCome.count(entry.first) != 0)
            << velkor_sim::CodeName(entry.first, velkor_sim::LogEntry::Kind::Packet) << " (" << int(entry.first)
            << ") was not carried out";
    }
}

TEST_F(Unusable, UnknownCodeSetsItsBitAndIsListedUntilCleared)
{
    // A packet with a code no command has, staged with the library's packers.
    Velkor_SET_LP(kCard, 1, 0); // sets the packet length to 8
    WtoB(kCard, 10 << 8 | 199, 0);
    EXPECT_EQ(WRITE_DATA(kCard), 0);
    EXPECT_EQ(Velkor_GET_ERROR(kCard), 1);
    EXPECT_EQ(Velkor_GET_ERROR_CODE(kCard, 2), 0x0800);
    EXPECT_EQ(Machine::Unusable().at(199), 1u);
    EXPECT_EQ(module->GetCounters().unsimulated, 1u);
    Velkor_CLEAR_STOP(kCard);
    EXPECT_EQ(Velkor_GET_ERROR(kCard), 0);
    EXPECT_EQ(Machine::Unusable().at(199), 1u); // the list keeps what came
}

TEST(UnusableC, CountAndNamesFromC)
{
    brelan::Reset();
    VelkorSimModule* m = VelkorSim_Plug(6, 50.0);
    ASSERT_NE(m, nullptr);
    ASSERT_EQ(Velkor_REGISTRATION(2, 6), 1);
    EXPECT_EQ(VelkorSim_Unsimulated(m, nullptr, 0), 0u);
    Velkor_SET_OUT(2, 1, 9, 1); // output bit 9: refused
    Velkor_SET_OUT(2, 1, 9, 1);
    Velkor_CONTINUE_DEBUG(2);   // carried out (no debugged run): not listed
    EXPECT_EQ(Velkor_GET_ERROR_CODE(2, 1), 0x0008);
    VelkorSimCodeCount codes[4] = {};
    ASSERT_EQ(VelkorSim_Unsimulated(m, codes, 0), 1u);
    ASSERT_EQ(VelkorSim_Unsimulated(m, codes, 4), 1u);
    EXPECT_EQ(codes[0].code, 115);
    EXPECT_EQ(codes[0].count, 2u);
    EXPECT_EQ(codes[1].code, 0); // nothing written past the codes there are
    EXPECT_STREQ(VelkorSim_CodeName(codes[0].code), "SET_OUT");
    EXPECT_STREQ(VelkorSim_CodeName(242), "CONTINUE_DEBUG");
    EXPECT_STREQ(VelkorSim_CodeName(199), "code 199");
    EXPECT_EQ(VelkorSim_Unsimulated(nullptr, codes, 4), 0u);
    VelkorSim_Unplug(m);
}

TEST_F(Unusable, RefusedValuesSetTheBadCommandBitNotTheNotSimulatedOne)
{
    Velkor_SET_OUT(kCard, 1, 9, 1);
    EXPECT_EQ(Velkor_GET_ERROR_CODE(kCard, 1), 0x0008);
    EXPECT_EQ(Machine::Unusable().at(115), 1u);
}

#if GTEST_HAS_DEATH_TEST && !defined(_WIN32)
TEST_F(Unusable, StrictModeEndsTheProgramNamingTheCommand)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    module->SetStrict(true);
    Velkor_FIXED_MOVE(kCard, 1, 10); // fine in strict mode
    ASSERT_TRUE(RunToStop());
    EXPECT_DEATH(
        {
            Velkor_SET_OUT(kCard, 1, 9, 1);
            module->WaitSettled();
        },
        "strict mode: the module could not use SET_OUT \\(code 115\\)");
}

TEST_F(Unusable, StrictOptionCatchesAnUnknownCode)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    module->SetStrict(true);
    EXPECT_DEATH(
        {
            Velkor_SET_LP(kCard, 1, 0);
            WtoB(kCard, 10 << 8 | 142, 0);
            WRITE_DATA(kCard);
            module->WaitSettled();
        },
        "code 142");
}
#endif

} // namespace
} // namespace velkor_sim_test
