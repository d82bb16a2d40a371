// Axis setup and homing commands against their golden packets.
#include "command_rows.h"

namespace velkor_test {
namespace {

TEST_F(CommandTable, AxisSetupAndHoming)
{
    CheckRows({
        {"SET_PULSE_MODE", [](std::uint8_t c) { Velkor_SET_PULSE_MODE(c, 1, 2); }, {{1, {12, 10, 1, 0xE3, 2, 0xE5}}}},
        {"SET_MAX_V", [](std::uint8_t c) { Velkor_SET_MAX_V(c, 1, 500); }, {{1, {13, 10, 1, 0xE3, 244, 1, 0, 0}}}},
        {"SET_HLMT", [](std::uint8_t c) { Velkor_SET_HLMT(c, 1, 2, 3); }, {{1, {14, 10, 1, 0xE3, 2, 0xE5, 3, 0xE7}}}},
        {"LIMITSTOP_MODE", [](std::uint8_t c) { Velkor_LIMITSTOP_MODE(c, 2, 5); }, {{1, {15, 10, 2, 0xE3, 5, 0xE5}}}},
        {"SET_NHOME", [](std::uint8_t c) { Velkor_SET_NHOME(c, 3, 1); }, {{1, {16, 10, 3, 0xE3, 1, 0xE5}}}},
        {"SET_HOME_EDGE", [](std::uint8_t c) { Velkor_SET_HOME_EDGE(c, 4, 0); }, {{1, {17, 10, 4, 0xE3, 0, 0xE5}}}},
        {"SET_SLMT", [](std::uint8_t c) { Velkor_SET_SLMT(c, 1, 100, -100, 0); },
         {{1, {18, 10, 1, 0xE3, 100, 0, 0, 0, 156, 255, 255, 255, 0, 0xED}}}},
        {"CLEAR_SLMT", [](std::uint8_t c) { Velkor_CLEAR_SLMT(c, 8); }, {{1, {19, 10, 8, 0xE3}}}},
        {"SET_ENCODER", [](std::uint8_t c) { Velkor_SET_ENCODER(c, 1, 2, 3, 4); },
         {{1, {20, 10, 1, 0xE3, 2, 0xE5, 3, 0xE7, 4, 0xE9}}}},
        {"SERVO_ON", [](std::uint8_t c) { Velkor_SERVO_ON(c, 15); }, {{1, {21, 10, 15, 0xE3}}}},
        {"SERVO_OFF", [](std::uint8_t c) { Velkor_SERVO_OFF(c, 2); }, {{1, {22, 10, 2, 0xE3}}}},
        {"SET_ALARM", [](std::uint8_t c) { Velkor_SET_ALARM(c, 1, 1, 0); }, {{1, {23, 10, 1, 0xE3, 1, 0xE5, 0, 0xE7}}}},
        {"SET_INPOS", [](std::uint8_t c) { Velkor_SET_INPOS(c, 2, 0, 1); }, {{1, {24, 10, 2, 0xE3, 0, 0xE5, 1, 0xE7}}}},
        {"SET_FILTER", [](std::uint8_t c) { Velkor_SET_FILTER(c, 4, 6, 7); }, {{1, {25, 10, 4, 0xE3, 6, 0xE5, 7, 0xE7}}}},
        {"VRING_ENABLE", [](std::uint8_t c) { Velkor_VRING_ENABLE(c, 1, 0x44332211); },
         {{1, {26, 10, 1, 0xE3, 0x11, 0x22, 0x33, 0x44}}}},
        {"VRING_DISABLE", [](std::uint8_t c) { Velkor_VRING_DISABLE(c, 1); }, {{1, {27, 10, 1, 0xE3}}}},
        {"AVTRI_ENABLE", [](std::uint8_t c) { Velkor_AVTRI_ENABLE(c, 2); }, {{1, {28, 10, 2, 0xE3}}}},
        {"AVTRI_DISABLE", [](std::uint8_t c) { Velkor_AVTRI_DISABLE(c, 2); }, {{1, {29, 10, 2, 0xE3}}}},
        {"EXD_MP", [](std::uint8_t c) { Velkor_EXD_MP(c, 1, 0xFFFFFFFF); }, {{1, {30, 10, 1, 0xE3, 255, 255, 255, 255}}}},
        {"EXD_FP", [](std::uint8_t c) { Velkor_EXD_FP(c, 2, 1000); }, {{1, {31, 10, 2, 0xE3, 0xE8, 0x03, 0, 0}}}},
        {"EXD_CP", [](std::uint8_t c) { Velkor_EXD_CP(c, 3, 0x01020304); }, {{1, {32, 10, 3, 0xE3, 4, 3, 2, 1}}}},
        {"EXD_DISABLE", [](std::uint8_t c) { Velkor_EXD_DISABLE(c, 3); }, {{1, {33, 10, 3, 0xE3}}}},

        {"SET_HV", [](std::uint8_t c) { Velkor_SET_HV(c, 1, 12345678); }, {{1, {60, 10, 1, 0xE3, 0x4E, 0x61, 0xBC, 0}}}},
        {"HOME_LIMIT", [](std::uint8_t c) { Velkor_HOME_LIMIT(c, 2, 1); }, {{1, {61, 10, 2, 0xE3, 1, 0xE5}}}},
        {"SET_HOME_MODE", [](std::uint8_t c) { Velkor_SET_HOME_MODE(c, 1, 2, 3, 4, 5, -10); },
         {{1, {62, 10, 1, 0xE3, 2, 0xE5, 3, 0xE7, 4, 0xE9, 5, 0xEB, 246, 255, 255, 255}}}},
        {"HOME_START", [](std::uint8_t c) { Velkor_HOME_START(c, 1); }, {{1, {63, 10, 1, 0xE3}}}},
    });
}

// The bytes a command skips go out as the previous command left them.
TEST_F(CardTest, UnwrittenBytesCarryWhatTheLastPacketLeft)
{
    Velkor_SET_SLMT(kCard, 1, 0x11223344, 0x55667788, 9);
    Velkor_SET_ENCODER(kCard, 2, 3, 4, 5);
    const std::vector<Packet> packets = module.TakePackets();
    ASSERT_EQ(packets.size(), 2u);
    EXPECT_EQ(packets[1], (Packet{2, {20, 10, 2, 0, 3, 0x33, 4, 0x11, 5, 0x77}}));
}

} // namespace
} // namespace velkor_test
