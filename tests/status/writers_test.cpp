// The counter setters and the variable and remote I/O writers: each one
// packet, with the bytes it does not write carried over from the staging area.
#include "card_fixture.h"

#include <functional>

namespace velkor_test {
namespace {

constexpr std::uint8_t X = 0xEE; // left in the staging area by an earlier packet

TEST_F(CardTest, CounterAndVariableWritersStageTheirRow)
{
    struct Case {
        const char* name;
        std::function<void()> call;
        std::vector<std::uint8_t> bytes;
    };
    const Case cases[] = {
        {"SET_LP", [] { Velkor_SET_LP(kCard, 1, -1); }, {40, 10, 1, X, 255, 255, 255, 255}},
        {"SET_EP", [] { Velkor_SET_EP(kCard, 2, 0x01020304); }, {42, 10, 2, X, 4, 3, 2, 1}},
        {"WRITE_bVAR", [] { Velkor_WRITE_bVAR(kCard, 200, 7); }, {35, 10, 200, X, 7, X}},
        {"WRITE_VAR", [] { Velkor_WRITE_VAR(kCard, 300, -2); }, {37, 10, 44, 1, X, X, 254, 255, 255, 255}},
        {"WRITE_VAR low 16 bits", [] { Velkor_WRITE_VAR(kCard, 0x12345, 1); }, {37, 10, 0x45, 0x23, X, X, 1, 0, 0, 0}},
        {"WRITE_MD float", [] { Velkor_WRITE_MD(kCard, 1024, 7, 1.0f); }, {39, 10, 0, 4, X, X, 0, 0, 128, 63}},
        {"WRITE_MD integer", [] { Velkor_WRITE_MD(kCard, 1023, 7, 1.0f); }, {39, 10, 255, 3, X, X, 7, 0, 0, 0}},
        {"WRITE_MD negative index", [] { Velkor_WRITE_MD(kCard, -1, -2, 1.0f); }, {39, 10, 255, 255, X, X, 254, 255, 255, 255}},
        {"QUORL_OUT", [] { Velkor_QUORL_OUT(kCard, 2, 65535); }, {51, 10, 2, X, 255, 255, 0, 0}},
    };
    std::uint8_t sequence = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::memset(card->staging, X, sizeof card->staging);
        c.call();
        ++sequence;
        EXPECT_EQ(module.TakeAccesses(), PacketTrace(sequence, c.bytes));
    }
}

} // namespace
} // namespace velkor_test
