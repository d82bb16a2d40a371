// A registered card 0 on slot 3 with the scripted module behind it, its state
// put in a known condition, and builders for the traces tests expect.
#ifndef VELKOR_TESTS_CARD_FIXTURE_H
#define VELKOR_TESTS_CARD_FIXTURE_H

#include "scripted_module.h"

#include "transport/card_table.h"

#include <Velkor.h>
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace velkor_test {

class CardTest : public ::testing::Test {
protected:
    static constexpr std::uint8_t kCard = 0;
    static constexpr std::uint8_t kSlot = 3;

    void SetUp() override
    {
        brelan::Reset();
        module.PlugInto(kSlot);
        ASSERT_EQ(Velkor_REGISTRATION(kCard, kSlot), 1);
        card = velkor::FindCard(kCard);
        card->sequence = 0;
        card->stopFlag = 0;
        card->recording = 0;
        card->mixSpeed = 0;
        std::memset(card->staging, 0, sizeof card->staging);
        module.TakeAccesses();
        module.TakePackets();
        module.TakeCodes();
    }

    // The accesses of one packet posted on an idle mailbox.
    static std::vector<BusAccess> PacketTrace(std::uint8_t sequence, const std::vector<std::uint8_t>& bytes)
    {
        std::vector<BusAccess> trace{W(2, sequence), R(126, 0)};
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            trace.push_back(W(static_cast<std::uint8_t>(64 + 2 * i), bytes[i]));
        }
        trace.push_back(W(126, 1));
        return trace;
    }

    ScriptedModule module;
    velkor::CardRecord* card = nullptr;
};

} // namespace velkor_test

#endif
