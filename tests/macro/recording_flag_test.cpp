// The recording flag as the readers see it, switched by the macro commands.
#include "card_fixture.h"

namespace velkor_test {
namespace {

class RecordingFlag : public CardTest {};

TEST_F(RecordingFlag, ReadersRecordBetweenCreateAndCloseOnly)
{
    module.SetReply(41, {7, 0, 0, 0});
    module.SetReply(44, {8, 0, 0, 0});
    module.SetReply(255, {0, 0x12, 0x7A, 0}); // range 8000000

    Velkor_MP_CREATE(kCard, 3);
    EXPECT_EQ(Velkor_GET_LP(kCard, 1), 0);
    EXPECT_EQ(Velkor_GET_CV(kCard, 1), 8); // no recording path: still asks
    Velkor_MP_CLOSE(kCard);
    EXPECT_EQ(module.TakePackets(),
              (std::vector<Packet>{{1, {201, 10, 3, 0}}, {2, {41, 10, 1, 0}}, {3, {202, 10}}}));
    EXPECT_EQ(module.TakeCodes(), (std::vector<std::uint8_t>{44, 255}));

    EXPECT_EQ(Velkor_GET_LP(kCard, 1), 7);
    EXPECT_EQ(module.TakeCodes(), (std::vector<std::uint8_t>{41}));
    EXPECT_TRUE(module.TakePackets().empty());
}

TEST_F(RecordingFlag, ClearingTheBufferEndsRecording)
{
    Velkor_MP_CREATE(kCard, 1);
    Velkor_CLEAR_CARD_BUFFER(kCard);
    module.TakePackets();
    module.TakeCodes();
    Velkor_GET_LP(kCard, 2);
    EXPECT_EQ(module.TakeCodes(), (std::vector<std::uint8_t>{41}));
    EXPECT_TRUE(module.TakePackets().empty());
}

} // namespace
} // namespace velkor_test
