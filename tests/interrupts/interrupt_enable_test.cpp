// The four interrupt packet commands and the direct read of the interrupt code.
#include "command_rows.h"

namespace velkor_test {
namespace {

TEST_F(CommandTable, InterruptCommands)
{
    CheckRows({
        {"ENABLE_INT", [](std::uint8_t c) { Velkor_ENABLE_INT(c); }, {{1, {170, 10}}}},
        {"DISABLE_INT", [](std::uint8_t c) { Velkor_DISABLE_INT(c); }, {{1, {171, 10}}}},
        {"INTFACTOR_ENABLE", [](std::uint8_t c) { Velkor_INTFACTOR_ENABLE(c, 1, 2, 3); },
         {{1, {172, 10, 1, 0xE3, 2, 0xE5, 3, 0xE7}}}},
        {"INTFACTOR_DISABLE", [](std::uint8_t c) { Velkor_INTFACTOR_DISABLE(c, 4, 5); }, {{1, {173, 10, 4, 0xE3, 5, 0xE5}}}},
    });
}

class InterruptEnable : public CardTest {};

TEST_F(InterruptEnable, CodeIsReadWithoutHandshakeEvenWithAPacketPending)
{
    module.SetPending(1, kForever);
    module.SetRegister(124, 0x5A);
    card->sequence = 17;
    card->recording = 1;
    EXPECT_EQ(Velkor_INTERRUPT_RETURN_CODE(kCard), 0x5A);
    EXPECT_EQ(module.TakeAccesses(), (std::vector<BusAccess>{W(2, 31), R(124, 0x5A), W(2, 17)}));
    EXPECT_EQ(module.TakePackets(), std::vector<Packet>{});
}

TEST_F(InterruptEnable, CardNumbersOutsideTheTableTouchNothing)
{
    brelan::SetTrace(true);
    EXPECT_EQ(Velkor_INTERRUPT_RETURN_CODE(8), 0);
    EXPECT_TRUE(brelan::TakeTrace().empty());
}

} // namespace
} // namespace velkor_test
