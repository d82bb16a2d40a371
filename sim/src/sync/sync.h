// Synchronous actions, position compare, latch, preset and output bits.
//
// A compare watches one axis's LP or EP counter and fires when the counter
// crosses its value: it sets an output bit, raises the compare factor and
// sets off the synchronous actions that wait for it. A synchronous action
// waits for a trigger on one axis (its compare, the end or the start of its
// motion, an input edge) and then acts on other axes: starts, stops, moves
// or presets them, latches their counters, or sets an output bit.
//
// The watch runs after every motion step and after every packet and code, so
// a trigger is seen in the step (or the command) that causes it; a latch
// taken on a compare holds the counters as they were at the crossing itself.
#ifndef VELKOR_SIM_SYNC_SYNC_H
#define VELKOR_SIM_SYNC_SYNC_H

#include "protocol/fields.h"

#include <array>
#include <cstdint>
#include <vector>

namespace velkor_sim {
namespace detail {

class Command;
class Context;

namespace factor {
constexpr std::uint8_t kCompare = 0x10; // a compare fired
constexpr std::uint8_t kSync = 0x40;    // a synchronous action was carried out
} // namespace factor

struct Compare {
    std::uint8_t condition = 0; // 0 off; 1 upward, 2 downward, 3 either; +4: EP instead of LP
    std::uint8_t output = 0;    // output bit 0..7 set when it fires; 8: none
    std::int32_t value = 0;
    std::uint32_t fired = 0;    // how often it fired
};

struct SyncAction {
    int source = 0;            // axis index of the trigger
    std::uint8_t trigger = 0;  // see SyncTrigger
    std::uint8_t targets = 0;  // axis selector of the action
    std::uint8_t action = 0;   // see SyncActionKind
    std::int32_t value = 0;    // param3, read as a signed count
    std::uint8_t output = 0;   // output bit of the output action
    std::uint8_t level = 0;    // and its level
    bool repeat = false;       // false: done after its first trigger
    std::uint8_t input = 0;    // input bit of the edge triggers
};

namespace sync_trigger {
constexpr std::uint8_t kClear = 0;
constexpr std::uint8_t kCompare = 1;
constexpr std::uint8_t kDriveEnd = 2;
constexpr std::uint8_t kInputRise = 3;
constexpr std::uint8_t kInputFall = 4;
constexpr std::uint8_t kDriveStart = 5;
constexpr std::uint8_t kLast = 5;
} // namespace sync_trigger

namespace sync_action {
constexpr std::uint8_t kStart = 1;
constexpr std::uint8_t kStopSuddenly = 2;
constexpr std::uint8_t kStopSlowly = 3;
constexpr std::uint8_t kLatchLp = 4;
constexpr std::uint8_t kLatchEp = 5;
constexpr std::uint8_t kOutput = 6;
constexpr std::uint8_t kMove = 7;
constexpr std::uint8_t kPreset = 8;
constexpr std::uint8_t kLast = 8;
} // namespace sync_action

constexpr std::size_t kMaxSyncActions = 16;

struct SyncState {
    std::array<Compare, kAxisCount> compare{};
    std::vector<SyncAction> actions;
    std::array<std::uint8_t, kAxisCount> outputs{};
    // What the watch saw last, to find crossings and edges.
    std::array<std::int64_t, kAxisCount> lastLp{};
    std::array<std::int64_t, kAxisCount> lastEp{};
    std::array<std::uint16_t, kAxisCount> lastInputs{};
    std::array<bool, kAxisCount> wasDriving{};
    std::uint32_t actionsDone = 0;

    void Reset(); // keeps the output bits and latches, as the counters
};

// Looks for compare crossings, input edges and motion starting or ending
// since the last look, and carries out what they set off. A counter that
// jumped (a preset) over a compare value crosses it too.
void WatchSync(SyncState& sync, Context& ctx);

// Packet handlers
void SetSyncAction(SyncState& sync, Context& ctx, const Command& cmd); // 110, 111
void SetCompare(SyncState& sync, Context& ctx, const Command& cmd);        // 112
void SetPreset(SyncState& sync, Context& ctx, const Command& cmd);         // 114
void SetOut(SyncState& sync, Context& ctx, const Command& cmd);           // 115

} // namespace detail
} // namespace velkor_sim

#endif
