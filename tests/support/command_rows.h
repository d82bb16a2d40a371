// Golden packets of the command functions, one row per command: the call and
// every packet it must put on the bus. Rows run on a card whose last packet
// number was 0 and whose staging area holds 0xE0 + i at byte i, so a byte a
// command leaves unwritten shows up as 0xE0 + its offset, or as what an
// earlier packet of the same call put there.
#ifndef VELKOR_TESTS_COMMAND_ROWS_H
#define VELKOR_TESTS_COMMAND_ROWS_H

#include "card_fixture.h"

#include <vector>

namespace velkor_test {

struct CommandRow {
    const char* name;
    void (*call)(std::uint8_t cardNo);
    std::vector<Packet> expected;
};

class CommandTable : public CardTest {
protected:
    static constexpr std::uint8_t kStale = 0xE0;
    static constexpr std::uint8_t kOutsideTable = 8;

    void Prime(bool recording)
    {
        card->sequence = 0;
        card->recording = recording ? 1 : 0;
        for (std::uint8_t i = 0; i < velkor::kStagingSize; ++i) {
            card->staging[i] = static_cast<std::uint8_t>(kStale + i);
        }
    }

    // Every row sends exactly its packets, the same whether or not a macro
    // program is being recorded, asks the module nothing, and touches no
    // slot at all for a card number outside the table or for a card whose
    // registration was refused.
    void CheckRows(const std::vector<CommandRow>& rows)
    {
        for (const bool recording : {false, true}) {
            for (const CommandRow& row : rows) {
                SCOPED_TRACE(::testing::Message() << row.name << (recording ? " while recording" : ""));
                Prime(recording);
                row.call(kCard);
                EXPECT_EQ(module.TakePackets(), row.expected);
                EXPECT_TRUE(module.TakeCodes().empty());
                module.TakeAccesses();
                row.call(kOutsideTable);
                EXPECT_TRUE(module.TakeAccesses().empty());
                CheckRefusedCard(row);
            }
        }
    }

private:
    void CheckRefusedCard(const CommandRow& row)
    {
        module.SetId('X');
        ASSERT_EQ(Velkor_REGISTRATION(kCard, kSlot), 0);
        const std::uint8_t sequence = card->sequence;
        brelan::SetTrace(true);
        row.call(kCard);
        EXPECT_TRUE(brelan::TakeTrace().empty()) << "a card without a working registration reached the bus";
        brelan::SetTrace(false);
        EXPECT_EQ(card->sequence, sequence);
        module.SetId('D');
        ASSERT_EQ(Velkor_REGISTRATION(kCard, kSlot), 1);
        module.TakeAccesses();
    }
};

} // namespace velkor_test

#endif
