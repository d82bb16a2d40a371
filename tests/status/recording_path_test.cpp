// While a macro program is recorded, thirteen readers and stops post their
// code as a packet and leave the stop flag alone; every other reader still
// asks the module.
#include "card_fixture.h"

#include <functional>

namespace velkor_test {
namespace {

constexpr std::uint8_t X = 0xEE;

TEST_F(CardTest, ThirteenFunctionsPostTheirCodeWhileRecording)
{
    struct Case {
        const char* name;
        std::function<std::int64_t()> call;
        std::vector<std::uint8_t> bytes;
    };
    const Case cases[] = {
        {"GET_LP", [] { return Velkor_GET_LP(kCard, 2); }, {41, 10, 2, X}},
        {"GET_EP", [] { return Velkor_GET_EP(kCard, 2); }, {43, 10, 2, X}},
        {"GET_DI", [] { return Velkor_GET_DI(kCard, 2, 5); }, {46, 10, 2, X, 5, X}},
        {"GET_DI_ALL", [] { return Velkor_GET_DI_ALL(kCard, 2); }, {49, 10, 2, X}},
        {"GET_ERROR", [] { return Velkor_GET_ERROR(kCard); }, {47, 10}},
        {"GET_ERROR_CODE", [] { return Velkor_GET_ERROR_CODE(kCard, 2); }, {48, 10, 2, X}},
        {"QUORL_IN", [] { return Velkor_QUORL_IN(kCard, 3); }, {50, 10, 3, X}},
        {"GET_LATCH", [] { return Velkor_GET_LATCH(kCard, 2); }, {113, 10, 2, X}},
        {"STOP_SLOWLY", [] { return Velkor_STOP_SLOWLY(kCard, 2), 0; }, {183, 10, 2, X}},
        {"STOP_SUDDENLY", [] { return Velkor_STOP_SUDDENLY(kCard, 2), 0; }, {184, 10, 2, X}},
        {"VSTOP_SLOWLY", [] { return Velkor_VSTOP_SLOWLY(kCard), 0; }, {185, 10}},
        {"VSTOP_SUDDENLY", [] { return Velkor_VSTOP_SUDDENLY(kCard), 0; }, {186, 10}},
        {"CLEAR_STOP", [] { return Velkor_CLEAR_STOP(kCard), 0; }, {187, 10}},
    };
    for (const std::uint8_t stopped : {0, 1}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(testing::Message() << c.name << " stop flag " << int(stopped));
            module.SetReply(c.bytes[0], {0x11, 0x22, 0x33, 0x44});
            std::memset(card->staging, X, sizeof card->staging);
            card->recording = 1;
            card->stopFlag = stopped;
            card->sequence = 7;
            EXPECT_EQ(c.call(), 0);
            EXPECT_EQ(module.TakeAccesses(), PacketTrace(8, c.bytes));
            EXPECT_TRUE(module.TakeCodes().empty());
            EXPECT_EQ(card->stopFlag, stopped);
        }
    }
}

TEST_F(CardTest, OtherReadersAskTheModuleWhileRecording)
{
    struct Case {
        const char* name;
        std::function<std::int64_t()> call;
        std::vector<std::uint8_t> codes;
        std::int64_t result;
    };
    const Case cases[] = {
        {"READ_bVAR", [] { return Velkor_READ_bVAR(kCard, 1); }, {34}, 0x11},
        {"READ_VAR", [] { return Velkor_READ_VAR(kCard, 1); }, {36}, 0x44332211},
        {"READ_MD",
         [] {
             std::int32_t v = 0;
             Velkor_READ_MD(kCard, 1, &v, nullptr);
             return v;
         },
         {38}, 0x44332211},
        {"GET_CV", [] { return Velkor_GET_CV(kCard, 1); }, {44, 255}, 8},
        {"GET_CA", [] { return Velkor_GET_CA(kCard, 1); }, {45, 255}, 1000},
        {"STOP_WAIT", [] { return Velkor_STOP_WAIT(kCard, 1); }, {182}, 0x11},
    };
    card->recording = 1;
    for (const std::uint8_t code : {34, 36, 38, 182}) {
        module.SetReply(code, {0x11, 0x22, 0x33, 0x44});
    }
    module.SetReply(44, {8, 0, 0, 0});
    module.SetReply(45, {8, 0, 0, 0});
    module.SetReply(255, {0x00, 0x12, 0x7A, 0x00}); // 8000000: scale 1
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.call(), c.result);
        EXPECT_EQ(module.TakeCodes(), c.codes);
        EXPECT_TRUE(module.TakePackets().empty());
    }
    EXPECT_EQ(card->recording, 1);
}

} // namespace
} // namespace velkor_test
