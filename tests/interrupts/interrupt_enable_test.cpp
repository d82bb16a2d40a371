// The four interrupt packet commands and the direct read of the interrupt code.
#include "card_fixture.h"

#include <cstring>
#include <functional>

namespace velkor_test {
namespace {

class InterruptEnable : public CardTest {};

struct PacketRow {
    const char* name;
    std::function<void()> send;
    std::vector<std::uint8_t> bytes;
};

TEST_F(InterruptEnable, PacketCommandsAreSentAlsoWhileRecording)
{
    constexpr std::uint8_t kOld = 0xEE; // what earlier packets left in the staging area
    const std::vector<PacketRow> rows{
        {"ENABLE_INT", [] { Velkor_ENABLE_INT(kCard); }, {170, 10}},
        {"DISABLE_INT", [] { Velkor_DISABLE_INT(kCard); }, {171, 10}},
        {"INTFACTOR_ENABLE", [] { Velkor_INTFACTOR_ENABLE(kCard, 1, 2, 3); }, {172, 10, 1, kOld, 2, kOld, 3, kOld}},
        {"INTFACTOR_DISABLE", [] { Velkor_INTFACTOR_DISABLE(kCard, 4, 5); }, {173, 10, 4, kOld, 5, kOld}},
    };
    for (std::uint8_t recording : {0, 1}) {
        for (const PacketRow& row : rows) {
            SCOPED_TRACE(std::string(row.name) + (recording ? " while recording" : ""));
            std::memset(card->staging, kOld, sizeof card->staging);
            card->recording = recording;
            card->sequence = 4;
            row.send();
            EXPECT_EQ(module.TakeAccesses(), PacketTrace(5, row.bytes));
        }
    }
}

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
    Velkor_ENABLE_INT(8);
    Velkor_DISABLE_INT(8);
    Velkor_INTFACTOR_ENABLE(8, 1, 2, 3);
    Velkor_INTFACTOR_DISABLE(255, 1, 2);
    EXPECT_EQ(Velkor_INTERRUPT_RETURN_CODE(8), 0);
    EXPECT_TRUE(brelan::TakeTrace().empty());
}

} // namespace
} // namespace velkor_test
