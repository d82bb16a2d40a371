#include "sync/sync.h"

#include "axis/axis.h"
#include "axis/drives.h"
#include "axis/status.h"
#include "context/context.h"
#include "protocol/command.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace velkor_sim {
namespace detail {
namespace {

constexpr auto kSyncSource = U8Field({110}, "source");
constexpr auto kSyncTrigger = U8Field({110}, "trigger");
constexpr auto kSyncValue = I32Field({110}, "value");
constexpr auto kSyncTargets = U8Field({111}, "targets");
constexpr auto kSyncAction = U8Field({111}, "action");
constexpr auto kSyncOutput = U8Field({111}, "output");
constexpr auto kSyncLevel = U8Field({111}, "level");
constexpr auto kSyncRepeat = U8Field({111}, "repeat");
constexpr auto kSyncInput = U8Field({111}, "input");
constexpr auto kSyncReserved1 = U8Field({111}, "param10");
constexpr auto kSyncReserved2 = U8Field({111}, "param11");
constexpr auto kSyncReserved3 = U8Field({111}, "param12");
constexpr auto kCompareAxis = U8Field({112}, "axis");
constexpr auto kCompareOutput = U8Field({112}, "output");
constexpr auto kCompareCondition = U8Field({112}, "condition");
constexpr auto kCompareValue = I32Field({112}, "value");
constexpr auto kPresetAxes = U8Field({114}, "axes");
constexpr auto kPresetValue = I32Field({114}, "value");
constexpr auto kOutAxes = U8Field({115}, "axis");
constexpr auto kOutBit = U8Field({115}, "bit");
constexpr auto kOutLevel = U8Field({115}, "level");

// The counters of every axis at one look.
struct Snapshot {
    std::array<std::int64_t, kAxisCount> lp{};
    std::array<std::int64_t, kAxisCount> ep{};
    std::array<std::uint16_t, kAxisCount> inputs{};
    std::array<bool, kAxisCount> driving{};
};

Snapshot Take(const Context& ctx)
{
    Snapshot s;
    for (int i = 0; i < kAxisCount; ++i) {
        const AxisState& a = ctx.Axis(i);
        s.lp[i] = a.lp;
        s.ep[i] = a.ep;
        s.inputs[i] = ctx.AxisInputs(i);
        s.driving[i] = ctx.AxisDriving(i);
    }
    return s;
}

// A counter at the fraction f of the way from the last look to this one.
std::int32_t Between(std::int64_t from, std::int64_t to, double f)
{
    return static_cast<std::int32_t>(from + std::llround(f * static_cast<double>(to - from)));
}

void Perform(SyncState& sync, Context& ctx, const SyncAction& a, const Snapshot& now, double f)
{
    switch (a.action) {
    case sync_action::kStart:
        for (int j = 0; j < kAxisCount; ++j) {
            AxisState& ax = ctx.Axis(j);
            if (!(a.targets & (1u << j))) {
                continue;
            }
            const bool waiting = ax.pending.kind != Drive::Kind::None || (ax.held && ctx.AxisInPath(j));
            ax.held = false;
            if (ax.pending.kind != Drive::Kind::None) {
                ax.drive = ax.pending;
                ax.drive.start = ax.lp;
                ax.pending = Drive{};
            } else if (!waiting && ax.pulse != 0) {
                const auto distance = static_cast<std::int32_t>(
                    std::min<std::uint32_t>(ax.pulse, std::numeric_limits<std::int32_t>::max()));
                StartMove(ctx, static_cast<std::uint8_t>(1u << j), Drive::Kind::Fixed, distance);
            }
        }
        break;
    case sync_action::kStopSuddenly: StopAxes(ctx, a.targets, false); break;
    case sync_action::kStopSlowly: StopAxes(ctx, a.targets, true); break;
    case sync_action::kLatchLp:
    case sync_action::kLatchEp:
        for (int j = 0; j < kAxisCount; ++j) {
            if (a.targets & (1u << j)) {
                ctx.Axis(j).latch = a.action == sync_action::kLatchLp ? Between(sync.lastLp[j], now.lp[j], f)
                                                                     : Between(sync.lastEp[j], now.ep[j], f);
            }
        }
        break;
    case sync_action::kOutput:
        for (int j = 0; j < kAxisCount; ++j) {
            if (a.targets & (1u << j)) {
                const auto bit = static_cast<std::uint8_t>(1u << a.output);
                sync.outputs[j] = static_cast<std::uint8_t>(a.level ? sync.outputs[j] | bit : sync.outputs[j] & ~bit);
            }
        }
        break;
    case sync_action::kMove: StartMove(ctx, a.targets, Drive::Kind::Fixed, a.value); break;
    case sync_action::kPreset: PresetLp(ctx, a.targets, a.value); break;
    default: break;
    }
    ++sync.actionsDone;
    ctx.Raise(factor::kSync, true);
}

// One action per axis, trigger, input bit and target axes: a new one takes
// the place of the old.
bool SameSlot(const SyncAction& x, const SyncAction& a)
{
    return x.source == a.source && x.trigger == a.trigger && x.input == a.input && x.targets == a.targets;
}

// Carries out the actions that wait for this trigger on this axis; one-shot
// actions are done with afterwards.
void Trigger(SyncState& sync, Context& ctx, int axis, std::uint8_t trigger, std::uint16_t inputBits, const Snapshot& now, double f)
{
    std::vector<SyncAction>& list = sync.actions;
    // Actions run from a copy: an action may not change the list it is in.
    const std::vector<SyncAction> due = list;
    for (const SyncAction& a : due) {
        const bool edge = trigger == sync_trigger::kInputRise || trigger == sync_trigger::kInputFall;
        if (a.source != axis || a.trigger != trigger || (edge && !(inputBits & (1u << a.input)))) {
            continue;
        }
        Perform(sync, ctx, a, now, f);
        if (!a.repeat) {
            list.erase(std::remove_if(list.begin(), list.end(), [&](const SyncAction& x) { return SameSlot(x, a); }),
                       list.end());
        }
    }
}

// Whether the compare fires between two counter values, and where.
bool Crossed(const Compare& c, std::int64_t from, std::int64_t to, double& f)
{
    const std::int64_t v = c.value;
    const bool up = from < v && to >= v;
    const bool down = from > v && to <= v;
    const std::uint8_t dir = c.condition & 3;
    if (!((dir & 1 && up) || (dir & 2 && down))) {
        return false;
    }
    f = static_cast<double>(v - from) / static_cast<double>(to - from);
    return true;
}

} // namespace

void SyncState::Reset()
{
    compare = {};
    actions.clear();
}

void WatchSync(SyncState& sync, Context& ctx)
{
    const Snapshot now = Take(ctx);
    for (int i = 0; i < kAxisCount; ++i) {
        Compare& c = sync.compare[i];
        double f = 1;
        const bool onEp = (c.condition & 4) != 0;
        if ((c.condition & 3) != 0 &&
            Crossed(c, onEp ? sync.lastEp[i] : sync.lastLp[i], onEp ? now.ep[i] : now.lp[i], f)) {
            ++c.fired;
            if (c.output < 8) {
                sync.outputs[i] = static_cast<std::uint8_t>(sync.outputs[i] | 1u << c.output);
            }
            ctx.Raise(factor::kCompare, true);
            Trigger(sync, ctx, i, sync_trigger::kCompare, 0, now, f);
        }
        if (sync.wasDriving[i] && !now.driving[i]) {
            Trigger(sync, ctx, i, sync_trigger::kDriveEnd, 0, now, 1);
        } else if (!sync.wasDriving[i] && now.driving[i]) {
            Trigger(sync, ctx, i, sync_trigger::kDriveStart, 0, now, 1);
        }
        const auto rise = static_cast<std::uint16_t>(now.inputs[i] & ~sync.lastInputs[i]);
        const auto fall = static_cast<std::uint16_t>(~now.inputs[i] & sync.lastInputs[i]);
        if (rise != 0) {
            Trigger(sync, ctx, i, sync_trigger::kInputRise, rise, now, 1);
        }
        if (fall != 0) {
            Trigger(sync, ctx, i, sync_trigger::kInputFall, fall, now, 1);
        }
    }
    // What the actions changed is seen at the next look.
    sync.lastLp = now.lp;
    sync.lastEp = now.ep;
    sync.lastInputs = now.inputs;
    sync.wasDriving = now.driving;
}

void SetSyncAction(SyncState& sync, Context& ctx, const Command& cmd)
{
    const int source = SingleAxis(cmd[kSyncSource]);
    SyncAction a;
    a.source = source;
    a.trigger = cmd[kSyncTrigger];
    a.value = cmd[kSyncValue];
    a.targets = cmd[kSyncTargets];
    a.action = cmd[kSyncAction];
    a.output = cmd[kSyncOutput];
    a.level = cmd[kSyncLevel];
    a.repeat = cmd[kSyncRepeat] != 0;
    a.input = cmd[kSyncInput];
    const bool clear = a.trigger == sync_trigger::kClear;
    const bool valid = source >= 0 && a.trigger <= sync_trigger::kLast &&
                       (clear || (ValidSelector(a.targets) && a.action >= 1 && a.action <= sync_action::kLast)) &&
                       a.output < 8 && a.level <= 1 && cmd[kSyncRepeat] <= 1 && a.input < 16 &&
                       cmd[kSyncReserved1] == 0 && cmd[kSyncReserved2] == 0 && cmd[kSyncReserved3] == 0;
    if (!valid) {
        ctx.Fault(error::kBadCommand);
        return;
    }
    std::vector<SyncAction>& list = sync.actions;
    list.erase(std::remove_if(list.begin(), list.end(),
                              [&](const SyncAction& x) { return clear ? x.source == source : SameSlot(x, a); }),
               list.end());
    if (clear) {
        return;
    }
    if (list.size() >= kMaxSyncActions) {
        ctx.Fault(error::kBadCommand);
        return;
    }
    list.push_back(a);
}

void SetCompare(SyncState& sync, Context& ctx, const Command& cmd)
{
    const int axis = SingleAxis(cmd[kCompareAxis]);
    const std::uint8_t output = cmd[kCompareOutput];
    const std::uint8_t condition = cmd[kCompareCondition];
    if (axis < 0 || output > 8 || condition > 7 || ((condition & 3) == 0 && condition != 0)) {
        ctx.Fault(error::kBadCommand);
        return;
    }
    Compare& c = sync.compare[axis];
    c.output = output;
    c.condition = condition;
    c.value = cmd[kCompareValue];
}

void SetPreset(SyncState&, Context& ctx, const Command& cmd)
{
    const std::uint8_t axes = cmd[kPresetAxes] & 0x0F;
    const std::uint8_t which = cmd[kPresetAxes] >> 4;
    if (!ValidSelector(axes) || which > 3) {
        ctx.Fault(error::kBadCommand);
        return;
    }
    if (which != 2) {
        PresetLp(ctx, axes, cmd[kPresetValue]);
    }
    if (which >= 2) {
        PresetEp(ctx, axes, cmd[kPresetValue]);
    }
}

void SetOut(SyncState& sync, Context& ctx, const Command& cmd)
{
    const std::uint8_t axes = cmd[kOutAxes];
    const std::uint8_t bitIndex = cmd[kOutBit];
    const std::uint8_t level = cmd[kOutLevel];
    if (!ValidSelector(axes) || bitIndex > 7 || level > 1) {
        ctx.Fault(error::kBadCommand);
        return;
    }
    for (int j = 0; j < kAxisCount; ++j) {
        if (axes & (1u << j)) {
            std::uint8_t& out = sync.outputs[j];
            const auto bit = static_cast<std::uint8_t>(1u << bitIndex);
            out = static_cast<std::uint8_t>(level ? out | bit : out & ~bit);
        }
    }
}

} // namespace detail
} // namespace velkor_sim
