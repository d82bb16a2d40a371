// The card guard: a card number outside the table, and a card without a
// working registration (never registered, or its latest registration
// refused), reach no slot, wait for nothing and change no card state through
// any export but the registration; a successful registration makes the card
// work again. Every command row is also run on a refused card by CheckRows.
#include "card_fixture.h"

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <thread>

namespace velkor_test {
namespace {

using Result = std::int64_t;
using CallFn = std::function<Result(std::uint8_t)>;

struct GuardedCall {
    const char* name;
    CallFn call;
    Result expected; // what the call gives for a card it may not use
};

template <class F>
CallFn Void(F f)
{
    return [f](std::uint8_t c) {
        f(c);
        return Result{0};
    };
}

constexpr std::int32_t kDegenerate = VELKOR_ARC_DEGENERATE;
const POINT_3D kMid{1000, 1000, 0};
const POINT_3D kEnd{2000, 0, 0};

// Every export with its own card look-up, and a command of each family.
const std::vector<GuardedCall>& Calls()
{
    static const std::vector<GuardedCall> calls = {
        {"RESET_CARD", Void([](std::uint8_t c) { Velkor_RESET_CARD(c); }), 0},
        {"CLEAR_CARD_BUFFER", Void([](std::uint8_t c) { Velkor_CLEAR_CARD_BUFFER(c); }), 0},
        {"CHECK_RTC", [](std::uint8_t c) { return Result{Velkor_CHECK_RTC(c)}; }, 0},
        {"GET_FW_VERSION", [](std::uint8_t c) { return Result{Velkor_GET_FW_VERSION(c)}; }, 0},
        {"WRITE_DATA", [](std::uint8_t c) { return Result{WRITE_DATA(c)}; }, 1},
        {"FtoB", Void([](std::uint8_t c) { FtoB(c, 1.5f, 2); }), 0},
        {"DWtoB", Void([](std::uint8_t c) { DWtoB(c, 0x01020304u, 2); }), 0},
        {"LtoB", Void([](std::uint8_t c) { LtoB(c, -5, 6); }), 0},
        {"WtoB", Void([](std::uint8_t c) { WtoB(c, 0x0102, 10); }), 0},
        {"StoB", Void([](std::uint8_t c) { StoB(c, -2, 12); }), 0},
        {"BtoDW", [](std::uint8_t c) { return Result{BtoDW(c, 0)}; }, 0},
        {"BtoL", [](std::uint8_t c) { return Result{BtoL(c, 0)}; }, 0},
        {"BtoW", [](std::uint8_t c) { return Result{BtoW(c, 0)}; }, 0},
        {"GET_LP", [](std::uint8_t c) { return Result{Velkor_GET_LP(c, 1)}; }, 0},
        {"GET_EP", [](std::uint8_t c) { return Result{Velkor_GET_EP(c, 1)}; }, 0},
        {"GET_CV", [](std::uint8_t c) { return Result{Velkor_GET_CV(c, 1)}; }, 0},
        {"GET_CA", [](std::uint8_t c) { return Result{Velkor_GET_CA(c, 1)}; }, 0},
        {"GET_DI", [](std::uint8_t c) { return Result{Velkor_GET_DI(c, 1, 2)}; }, 0},
        {"GET_DI_ALL", [](std::uint8_t c) { return Result{Velkor_GET_DI_ALL(c, 1)}; }, 0},
        {"GET_ERROR", [](std::uint8_t c) { return Result{Velkor_GET_ERROR(c)}; }, 0},
        {"GET_ERROR_CODE", [](std::uint8_t c) { return Result{Velkor_GET_ERROR_CODE(c, 1)}; }, 0},
        {"QUORL_IN", [](std::uint8_t c) { return Result{Velkor_QUORL_IN(c, 1)}; }, 0},
        {"READ_bVAR", [](std::uint8_t c) { return Result{Velkor_READ_bVAR(c, 1)}; }, 0},
        {"READ_VAR", [](std::uint8_t c) { return Result{Velkor_READ_VAR(c, 1)}; }, 0},
        {"READ_MD",
         [](std::uint8_t c) {
             std::int32_t v = -7;
             Velkor_READ_MD(c, 1, &v, nullptr);
             return Result{v};
         },
         0},
        {"GET_LATCH", [](std::uint8_t c) { return Result{Velkor_GET_LATCH(c, 1)}; }, 0},
        {"STOP_WAIT", [](std::uint8_t c) { return Result{Velkor_STOP_WAIT(c, 1)}; }, 0},
        {"STOP_SLOWLY", Void([](std::uint8_t c) { Velkor_STOP_SLOWLY(c, 1); }), 0},
        {"STOP_SUDDENLY", Void([](std::uint8_t c) { Velkor_STOP_SUDDENLY(c, 1); }), 0},
        {"VSTOP_SLOWLY", Void([](std::uint8_t c) { Velkor_VSTOP_SLOWLY(c); }), 0},
        {"VSTOP_SUDDENLY", Void([](std::uint8_t c) { Velkor_VSTOP_SUDDENLY(c); }), 0},
        {"CLEAR_STOP", Void([](std::uint8_t c) { Velkor_CLEAR_STOP(c); }), 0},
        {"ARC_3D", [](std::uint8_t c) { return Result{Velkor_ARC_3D(c, 1, 2, 4, &kMid, &kEnd, 1, 10000)}; },
         kDegenerate},
        {"MIX_3D_INITIAL", Void([](std::uint8_t c) { Velkor_MIX_3D_INITIAL(c, 1, 2, 4, 1, 2, 3); }), 0},
        {"MIX_3D_CONTINUE arc", [](std::uint8_t c) { return Result{Velkor_MIX_3D_CONTINUE(c, 1, 1, &kMid, &kEnd, 1)}; },
         kDegenerate},
        {"MIX_3D_CONTINUE line", [](std::uint8_t c) { return Result{Velkor_MIX_3D_CONTINUE(c, 1, 0, &kMid, &kEnd, 1)}; },
         0},
        {"CONTINUE_INTP_ARRAY",
         Void([](std::uint8_t c) {
             const std::uint8_t kind[1] = {1};
             const std::int32_t v[1] = {5};
             Velkor_CONTINUE_INTP_ARRAY(c, kind, v, v, v, v, v);
         }),
         0},
        {"LINE_SCAN_OFFSET",
         Void([](std::uint8_t c) {
             const std::uint8_t offsets[25] = {};
             Velkor_LINE_SCAN_OFFSET(c, 25, offsets);
         }),
         0},
        {"INTERRUPT_RETURN_CODE", [](std::uint8_t c) { return Result{Velkor_INTERRUPT_RETURN_CODE(c)}; }, 0},
        {"ENABLE_RINT", [](std::uint8_t c) { return Result{Velkor_ENABLE_RINT(c)}; }, 0},
        {"DISABLE_RINT", [](std::uint8_t c) { return Result{Velkor_DISABLE_RINT(c)}; }, 0},
        {"RINT_WAIT", [](std::uint8_t c) { return Result{Velkor_RINT_WAIT(c, 0xFF, 10)}; }, 0},
        {"CLEAR_RINT_FLAG", Void([](std::uint8_t c) { Velkor_CLEAR_RINT_FLAG(c); }), 0},
        {"MP_CREATE", Void([](std::uint8_t c) { Velkor_MP_CREATE(c, 1); }), 0},
        {"MP_CLOSE", Void([](std::uint8_t c) { Velkor_MP_CLOSE(c); }), 0},
        {"CONTINUE_DEBUG", Void([](std::uint8_t c) { Velkor_CONTINUE_DEBUG(c); }), 0},
        {"STOP_DEBUG", Void([](std::uint8_t c) { Velkor_STOP_DEBUG(c); }), 0},
        {"DEBUG_WAIT: time-out values",
         [](std::uint8_t c) {
             std::uint8_t byte = 7;
             std::uint16_t word = 9;
             Velkor_DEBUG_WAIT(c, 10, &byte, &word);
             return Result{byte} | Result{word} << 8;
         },
         255 | 1 << 8},
        {"DEBUG_INFO: nothing stored",
         [](std::uint8_t c) {
             std::uint8_t byte = 7;
             std::uint16_t word = 9;
             Velkor_DEBUG_INFO(c, &byte, &word);
             return Result{byte} | Result{word} << 8;
         },
         7 | 9 << 8},
        {"SET_MAX_V", Void([](std::uint8_t c) { Velkor_SET_MAX_V(c, 1, 5000); }), 0},
        {"HOME_START", Void([](std::uint8_t c) { Velkor_HOME_START(c, 1); }), 0},
        {"SET_LP", Void([](std::uint8_t c) { Velkor_SET_LP(c, 1, 5); }), 0},
        {"WRITE_VAR", Void([](std::uint8_t c) { Velkor_WRITE_VAR(c, 1, 5); }), 0},
        {"FIXED_MOVE", Void([](std::uint8_t c) { Velkor_FIXED_MOVE(c, 1, 5); }), 0},
        {"ARC_CW", Void([](std::uint8_t c) { Velkor_ARC_CW(c, 1, 2, 3, 4); }), 0},
        {"LINE_3D_CONTINUE", Void([](std::uint8_t c) { Velkor_LINE_3D_CONTINUE(c, 0, 1, 2, 3); }), 0},
        {"DRV_HOLD", Void([](std::uint8_t c) { Velkor_DRV_HOLD(c, 1); }), 0},
        {"SYNC_ACTION", Void([](std::uint8_t c) { Velkor_SYNC_ACTION(c, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12); }), 0},
        {"LINE_SCAN", Void([](std::uint8_t c) { Velkor_LINE_SCAN(c, 1, 2, 3, 4, 5); }), 0},
        {"ENABLE_INT", Void([](std::uint8_t c) { Velkor_ENABLE_INT(c); }), 0},
        {"MP_SET_RINT", Void([](std::uint8_t c) { Velkor_MP_SET_RINT(c); }), 0},
        {"MP_DEBUG", Void([](std::uint8_t c) { Velkor_MP_DEBUG(c, 1); }), 0},
    };
    return calls;
}

// Ends the test program with the name of the call if a scenario has not
// returned within a generous bound: a call that waits on a handshake register
// nothing ever clears would otherwise hold the suite until its time-out.
class Watchdog {
public:
    Watchdog()
        : thread_([this] {
              std::unique_lock<std::mutex> lock(mutex_);
              if (!wake_.wait_for(lock, std::chrono::seconds(30), [this] { return done_; })) {
                  std::fprintf(stderr, "card guard: %s never returned\n", current_);
                  std::fflush(stderr);
                  std::_Exit(1);
              }
          })
    {
    }
    ~Watchdog()
    {
        {
            std::lock_guard<std::mutex> hold(mutex_);
            done_ = true;
        }
        wake_.notify_one();
        thread_.join();
    }
    void At(const char* name)
    {
        std::lock_guard<std::mutex> hold(mutex_);
        current_ = name;
    }

private:
    std::mutex mutex_;
    std::condition_variable wake_;
    bool done_ = false;
    const char* current_ = "";
    std::thread thread_;
};

// The card state an export could change.
struct CardState {
    std::uint8_t sequence, stopFlag, recording, interruptRun, interruptThreads, lastCode, packetLength;
    std::uint8_t flags[velkor::kInterruptFactors];
    std::uint8_t staging[velkor::kStagingSize];
    std::uint32_t mixSpeed, windowBase;
    std::uint8_t slot;

    explicit CardState(const velkor::CardRecord& c)
        : sequence(c.sequence), stopFlag(c.stopFlag), recording(c.recording), interruptRun(c.interruptRun),
          interruptThreads(c.interruptThreads), lastCode(c.lastInterruptCode), packetLength(c.packetLength),
          mixSpeed(c.mixSpeed), windowBase(c.windowBase), slot(c.slot)
    {
        for (std::uint8_t i = 0; i < velkor::kInterruptFactors; ++i) {
            flags[i] = c.interruptFlags[i];
        }
        std::memcpy(staging, c.staging, sizeof staging);
    }
    bool operator==(const CardState& o) const
    {
        return sequence == o.sequence && stopFlag == o.stopFlag && recording == o.recording &&
               interruptRun == o.interruptRun && interruptThreads == o.interruptThreads && lastCode == o.lastCode &&
               packetLength == o.packetLength && mixSpeed == o.mixSpeed && windowBase == o.windowBase &&
               slot == o.slot && std::memcmp(flags, o.flags, sizeof flags) == 0 &&
               std::memcmp(staging, o.staging, sizeof staging) == 0;
    }
};

class CardGuard : public CardTest {
protected:
    static constexpr std::uint8_t kEmptySlot = 5;

    // State that every guarded call would disturb if it got through: a stop
    // flag to clear, raised interrupt flags to consume, a staging area to
    // overwrite, a mixed-path speed to plan arcs with.
    void Prime()
    {
        card->sequence = 12;
        card->stopFlag = 1;
        card->mixSpeed = 20000;
        card->lastInterruptCode = 0x21;
        for (auto& flag : card->interruptFlags) {
            flag = 1;
        }
        for (std::uint8_t i = 0; i < velkor::kStagingSize; ++i) {
            card->staging[i] = static_cast<std::uint8_t>(0xC0 + i);
        }
    }

    // Runs every guarded call on `cardNo`: none reaches the slot bus, none
    // waits, each gives its refusal value.
    static void ExpectRefusedEverywhere(std::uint8_t cardNo)
    {
        Watchdog watchdog;
        for (const GuardedCall& c : Calls()) {
            SCOPED_TRACE(c.name);
            watchdog.At(c.name);
            brelan::SetTrace(true);
            EXPECT_EQ(c.call(cardNo), c.expected);
            EXPECT_TRUE(brelan::TakeTrace().empty());
        }
        brelan::SetTrace(false);
    }

    // The card of the fixture, unusable in the current way: every call is
    // refused and leaves the card as it was; then a registration on the
    // module's slot makes it work again.
    void ExpectUnusableUntilRegistered()
    {
        Prime();
        const CardState before(*card);
        module.TakeAccesses();
        ExpectRefusedEverywhere(kCard);
        EXPECT_TRUE(CardState(*card) == before) << "a refused call changed the card";
        EXPECT_TRUE(module.TakeAccesses().empty());

        module.SetId('D');
        module.SetReadBack(true);
        ASSERT_EQ(Velkor_REGISTRATION(kCard, kSlot), 1);
        module.TakeAccesses();
        module.SetReply(41, {0x2A, 0, 0, 0});
        EXPECT_EQ(Velkor_GET_LP(kCard, 1), 42);
        Velkor_FIXED_MOVE(kCard, 1, 5);
        ASSERT_EQ(module.TakePackets().size(), 1u);
        EXPECT_EQ(Velkor_RINT_WAIT(kCard, 0x01, 2), 0x21); // the primed flag 0 is consumed now
    }
};

TEST_F(CardGuard, CardNumbersOutsideTheTableReachNothing)
{
    for (const std::uint8_t cardNo : {8, 9, 200, 255}) {
        SCOPED_TRACE(int(cardNo));
        ExpectRefusedEverywhere(cardNo);
    }
    EXPECT_TRUE(module.TakeAccesses().empty());
}

// The state at load: window base 0, so an unguarded call would write the
// controller's own I/O addresses 2 to 126 and wait on address 126.
TEST_F(CardGuard, NeverRegisteredCard)
{
    card->usable = 0;
    card->windowBase = 0;
    card->slot = 0;
    ExpectUnusableUntilRegistered();
}

TEST_F(CardGuard, RefusedRegistrationKeepsTheNewSlotButNoCall)
{
    struct Case {
        const char* name;
        std::uint8_t slot;
        std::uint8_t id;
        bool readBack;
    };
    const Case cases[] = {
        {"re-registered to an empty slot", kEmptySlot, 'D', true},
        {"wrong module ID", kSlot, 'X', true},
        {"data area does not read back", kSlot, 'U', false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        module.SetId(c.id);
        module.SetReadBack(c.readBack);
        ASSERT_EQ(Velkor_REGISTRATION(kCard, c.slot), 0);
        EXPECT_EQ(card->slot, c.slot);
        EXPECT_EQ(card->windowBase, GetSlotAddr(c.slot));
        ExpectUnusableUntilRegistered();
    }
}

TEST_F(CardGuard, RegistrationRefusedForItsNumbersLeavesAUsableCardUsable)
{
    ASSERT_EQ(Velkor_REGISTRATION(kCard, 0), 0);
    ASSERT_EQ(Velkor_REGISTRATION(kCard, 8), 0);
    module.SetReply(41, {7, 0, 0, 0});
    EXPECT_EQ(Velkor_GET_LP(kCard, 1), 7);
    EXPECT_EQ(card->slot, kSlot);
}

} // namespace
} // namespace velkor_test
