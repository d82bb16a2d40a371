// The scope's sampling and triggers.
#include "scope/scope.h"

#include "firmware/firmware.h"

#include <cmath>

namespace velkor_sim {
namespace detail {
namespace {

constexpr std::size_t kMostSamples = std::size_t{1} << 22;
constexpr double kTimeSlack = 1e-9; // seconds: steps add up with rounding

std::uint8_t DrivingMask(const Firmware& fw)
{
    std::uint8_t mask = 0;
    for (int i = 0; i < kAxisCount; ++i) {
        if (fw.AxisDriving(i)) {
            mask = static_cast<std::uint8_t>(mask | (1u << i));
        }
    }
    return mask;
}

} // namespace

bool Scope::Start(const ScopeSettings& s, const Firmware& fw)
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
    triggerTime_ = triggered_ ? fw.time : 0;
    nextSample_ = fw.time;
    taken_ = 0;
    lost_ = 0;
    ring_.clear();
    before_.clear();
    Remember(fw);
    velocity_.fill(0);
    acceleration_.fill(0);
    lastTime_ = fw.time;
    Track(fw);
    acceleration_.fill(0);
    return true;
}

void Scope::Track(const Firmware& fw)
{
    const double dt = fw.time - lastTime_;
    for (int i = 0; i < kAxisCount; ++i) {
        const AxisState& a = fw.axes[i];
        const double v = a.pos > a.lastPos ? a.speed : a.pos < a.lastPos ? -a.speed : 0.0;
        acceleration_[i] = dt > 0 ? (v - velocity_[i]) / dt : 0.0;
        velocity_[i] = v;
    }
    lastTime_ = fw.time;
}

void Scope::Remember(const Firmware& fw)
{
    const AxisState& a = fw.axes[settings_.trigger.axis];
    lastLp_ = a.lp;
    lastInputs_ = a.inputs;
    lastDriving_ = DrivingMask(fw);
    lastPath_ = fw.paths.running;
}

bool Scope::Fired(const Firmware& fw) const
{
    const ScopeTrigger& t = settings_.trigger;
    const AxisState& a = fw.axes[t.axis];
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
        return (DrivingMask(fw) & ~lastDriving_ & t.axes) != 0;
    case TriggerKind::PathStart:
        return fw.paths.running && !lastPath_;
    }
    return false;
}

ScopeSample Scope::Sample(const Firmware& fw) const
{
    ScopeSample s;
    s.time = fw.time;
    for (int i = 0; i < kAxisCount; ++i) {
        const AxisState& a = fw.axes[i];
        ScopeAxisSample& out = s.axes[i];
        out.lp = static_cast<std::int32_t>(a.lp);
        out.ep = static_cast<std::int32_t>(a.ep);
        out.speed = a.speed;
        out.inputs = a.inputs;
        out.velocity = velocity_[i];
        out.acceleration = acceleration_[i];
        out.followingError = static_cast<double>(a.lp) - fw.machine[i].motor;
        out.outputs = fw.sync.outputs[i];
        out.latch = a.latch;
    }
    s.pathSpeed = fw.paths.running ? fw.paths.speed : 0.0;
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

void Scope::AfterStep(const Firmware& fw)
{
    if (!running_) {
        return;
    }
    Track(fw);
    if (!triggered_ && Fired(fw)) {
        triggered_ = true;
        triggerTime_ = fw.time;
        for (const ScopeSample& s : before_) {
            Keep(ring_, settings_.capacity, s, true);
            ++taken_;
        }
        before_.clear();
        nextSample_ = fw.time; // the first sample is the trigger's
    }
    Remember(fw);
    if (triggered_ && settings_.duration > 0 && fw.time > triggerTime_ + settings_.duration + kTimeSlack) {
        running_ = false;
        return;
    }
    if (fw.time + kTimeSlack < nextSample_) {
        return;
    }
    // The next sample is due a period after this one's due time, so the rate
    // stays fixed; after a pause (time stands still while nothing moves) it
    // starts again from now.
    nextSample_ = std::max(nextSample_ + settings_.period, fw.time + settings_.period - kTimeSlack);
    if (triggered_) {
        Keep(ring_, settings_.capacity, Sample(fw), true);
        ++taken_;
    } else {
        Keep(before_, settings_.pretrigger, Sample(fw), false);
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
