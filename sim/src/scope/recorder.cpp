// The scope's sampling and triggers.
#include "scope/recorder.h"

#include "axis/axis.h"
#include "axis/machine.h"
#include "protocol/fields.h"
#include "context/context.h"

#include <cmath>

namespace velkor_sim {
namespace detail {
namespace {

constexpr std::size_t kMostSamples = std::size_t{1} << 22;
constexpr double kTimeSlack = 1e-9; // seconds: steps add up with rounding

std::uint8_t DrivingMask(const Context& ctx)
{
    std::uint8_t mask = 0;
    for (int i = 0; i < kAxisCount; ++i) {
        if (ctx.AxisDriving(i)) {
            mask = static_cast<std::uint8_t>(mask | (1u << i));
        }
    }
    return mask;
}

} // namespace

bool Scope::Start(const ScopeSettings& s, const Context& ctx)
{
    const ScopeTrigger& t = s.trigger;
    if (!(s.period > 0) || !std::isfinite(s.period) || s.period > 3600 || s.capacity < 1 ||
        s.capacity > kMostSamples || s.pretrigger > s.capacity || !(s.duration >= 0) || !std::isfinite(s.duration) ||
        t.axis < 0 || t.axis >= kAxisCount || t.input > 15 || (t.kind == TriggerKind::DriveStart && (t.axes & 0x0F) == 0)) {
        return false;
    }
    settings_ = s;
    running_ = true;
    triggered_ = t.kind == TriggerKind::None;
    triggerTime_ = triggered_ ? ctx.Time() : 0;
    nextSample_ = ctx.Time();
    taken_ = 0;
    lost_ = 0;
    ring_.clear();
    before_.clear();
    Remember(ctx);
    velocity_.fill(0);
    acceleration_.fill(0);
    lastTime_ = ctx.Time();
    Track(ctx);
    acceleration_.fill(0);
    return true;
}

void Scope::Track(const Context& ctx)
{
    const double dt = ctx.Time() - lastTime_;
    for (int i = 0; i < kAxisCount; ++i) {
        const AxisState& a = ctx.Axis(i);
        const double v = a.pos > a.lastPos ? a.speed : a.pos < a.lastPos ? -a.speed : 0.0;
        acceleration_[i] = dt > 0 ? (v - velocity_[i]) / dt : 0.0;
        velocity_[i] = v;
    }
    lastTime_ = ctx.Time();
}

void Scope::Remember(const Context& ctx)
{
    const AxisState& a = ctx.Axis(settings_.trigger.axis);
    lastLp_ = a.lp;
    lastInputs_ = a.inputs;
    lastDriving_ = DrivingMask(ctx);
    lastPath_ = ctx.PathRunning();
}

bool Scope::Fired(const Context& ctx) const
{
    const ScopeTrigger& t = settings_.trigger;
    const AxisState& a = ctx.Axis(t.axis);
    switch (t.kind) {
    case TriggerKind::None:
        return true;
    case TriggerKind::Position: {
        const std::int64_t p = t.position;
        return a.lp != lastLp_ && ((lastLp_ < p && a.lp >= p) || (lastLp_ > p && a.lp <= p));
    }
    case TriggerKind::InputEdge: {
        const bool was = (lastInputs_ >> t.input) & 1u;
        const bool is = (a.inputs >> t.input) & 1u;
        return was != is && (t.edge == Edge::Either || (t.edge == Edge::Rising) == is);
    }
    case TriggerKind::DriveStart:
        return (DrivingMask(ctx) & ~lastDriving_ & t.axes) != 0;
    case TriggerKind::PathStart:
        return ctx.PathRunning() && !lastPath_;
    }
    return false;
}

ScopeSample Scope::Sample(const Context& ctx) const
{
    ScopeSample s;
    s.time = ctx.Time();
    for (int i = 0; i < kAxisCount; ++i) {
        const AxisState& a = ctx.Axis(i);
        ScopeAxisSample& out = s.axes[i];
        out.lp = static_cast<std::int32_t>(a.lp);
        out.ep = static_cast<std::int32_t>(a.ep);
        out.speed = a.speed;
        out.inputs = a.inputs;
        out.velocity = velocity_[i];
        out.acceleration = acceleration_[i];
        out.followingError = static_cast<double>(a.lp) - ctx.Machine(i).motor;
        out.outputs = ctx.AxisOutputs(i);
        out.latch = a.latch;
    }
    s.pathSpeed = ctx.PathSpeed();
    return s;
}

void Scope::Keep(std::deque<ScopeSample>& ring, std::size_t capacity, const ScopeSample& sample, bool count)
{
    if (capacity == 0) {
        return;
    }
    if (ring.size() >= capacity) {
        ring.pop_front();
        if (count) {
            ++lost_;
        }
    }
    ring.push_back(sample);
}

void Scope::AfterStep(const Context& ctx)
{
    if (!running_) {
        return;
    }
    Track(ctx);
    if (!triggered_ && Fired(ctx)) {
        triggered_ = true;
        triggerTime_ = ctx.Time();
        for (const ScopeSample& s : before_) {
            Keep(ring_, settings_.capacity, s, true);
            ++taken_;
        }
        before_.clear();
        nextSample_ = ctx.Time(); // the first sample is the trigger's
    }
    Remember(ctx);
    if (triggered_ && settings_.duration > 0 && ctx.Time() > triggerTime_ + settings_.duration + kTimeSlack) {
        running_ = false;
        return;
    }
    if (ctx.Time() + kTimeSlack < nextSample_) {
        return;
    }
    // The next sample is due a period after this one's due time, so the rate
    // stays fixed; after a pause (time stands still while nothing moves) it
    // starts again from now.
    nextSample_ = std::max(nextSample_ + settings_.period, ctx.Time() + settings_.period - kTimeSlack);
    if (triggered_) {
        Keep(ring_, settings_.capacity, Sample(ctx), true);
        ++taken_;
    } else {
        Keep(before_, settings_.pretrigger, Sample(ctx), false);
    }
}

std::vector<ScopeSample> Scope::Take()
{
    std::vector<ScopeSample> out(ring_.begin(), ring_.end());
    ring_.clear();
    return out;
}

ScopeState Scope::State() const
{
    ScopeState s;
    s.running = running_;
    s.triggered = triggered_;
    s.triggerTime = triggerTime_;
    s.taken = taken_;
    s.lost = lost_;
    s.waiting = ring_.size();
    return s;
}

} // namespace detail
} // namespace velkor_sim
