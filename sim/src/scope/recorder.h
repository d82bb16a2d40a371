// The scope's engine inside the firmware (the public side is
// velkor_sim/scope.h). The motion step calls AfterStep() once per step, after
// the step's time has passed; everything else comes from the simulator API
// under the module's lock.
#ifndef VELKOR_SIM_SCOPE_RECORDER_H
#define VELKOR_SIM_SCOPE_RECORDER_H

#include "velkor_sim/scope.h"

#include <array>
#include <deque>

namespace velkor_sim {
namespace detail {

class Context;

class Scope {
public:
    // Starts (or restarts) a capture; the ring is emptied. False when the
    // settings are out of range.
    bool Start(const ScopeSettings& settings, const Context& ctx);
    void Stop() { running_ = false; }
    bool Running() const { return running_; }
    void AfterStep(const Context& ctx);
    std::vector<ScopeSample> Take();
    ScopeState State() const;

private:
    ScopeSample Sample(const Context& ctx) const;
    bool Fired(const Context& ctx) const;
    void Remember(const Context& ctx);
    void Track(const Context& ctx);
    void Keep(std::deque<ScopeSample>& ring, std::size_t capacity, const ScopeSample& sample, bool count);

    ScopeSettings settings_;
    bool running_ = false;
    bool triggered_ = false;
    double triggerTime_ = 0;
    double nextSample_ = 0;
    std::uint64_t taken_ = 0;
    std::uint64_t lost_ = 0;
    std::deque<ScopeSample> ring_;
    std::deque<ScopeSample> before_; // samples before the trigger
    // The state at the end of the previous step, for the triggers.
    std::int64_t lastLp_ = 0;
    std::uint16_t lastInputs_ = 0;
    std::uint8_t lastDriving_ = 0;
    bool lastPath_ = false;
    // Every axis's signed velocity and acceleration, followed at every step
    // so that a sample's acceleration is that of its own step.
    std::array<double, 4> velocity_{};
    std::array<double, 4> acceleration_{};
    double lastTime_ = 0;
};

} // namespace detail
} // namespace velkor_sim

#endif
