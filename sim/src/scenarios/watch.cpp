// A scenario's watch on one module (watch.h). Triggers are looked at in the
// module's hooks (each motion step, each packet taken, each interrupt factor
// raised), and the actions they fire are carried out there, under the lock
// the hook holds, so that they take effect from the next motion step: on the
// manual clock an event fires at the same step on every run.
#include "scenarios/watch.h"

#include "scenarios/locked_control.h"
#include "scenarios/names.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace velkor_sim {

std::string Seconds(double t)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.3f s", t);
    return text;
}

std::string Pulses(double v)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", v);
    return text;
}

namespace detail {

ScenarioWatch::ScenarioWatch(const Scenario& scenario, std::uint8_t slot, VirtualModule& module)
    : scenario_(scenario), slot_(slot), module_(module), fired_(scenario.events.size(), -1.0)
{
    const ModuleSnapshot now = module.Snapshot();
    for (int i = 0; i < kAxisCount; ++i) {
        lastLp_[i] = now.axes[i].lp;
        lastOutputs_[i] = now.outputs[i];
        errorsEver_[i] = static_cast<std::uint16_t>(now.axes[i].errorCode | now.moduleErrors);
    }
    manual_ = now.clock.kind == ClockKind::Manual;
    scale_ = now.clock.timeScale;
    for (std::size_t e = 0; e < scenario.events.size(); ++e) {
        const ScenarioEvent& ev = scenario.events[e];
        if (ev.slot == slot && ev.when.kind == WhenKind::Time) {
            timed_.emplace(ev.when.time, e);
        }
    }
}

void ScenarioWatch::MotionStepped(const ModuleView& view)
{
    std::lock_guard<std::mutex> hold(mutex_);
    const double time = view.Time();
    std::array<AxisStatus, kAxisCount> axes;
    for (int i = 0; i < kAxisCount; ++i) {
        axes[i] = view.Axis(i);
        const double lag = std::fabs(static_cast<double>(axes[i].lp) - axes[i].motor);
        mostLag_[i] = std::max(mostLag_[i], lag);
    }
    if (busyUntil_ >= 0 && time >= busyUntil_) {
        EndBusy();
    }
    for (std::size_t e = 0; e < scenario_.events.size(); ++e) {
        const ScenarioEvent& ev = scenario_.events[e];
        if (ev.slot != slot_ || ev.when.kind != WhenKind::Crossing || fired_[e] >= 0) {
            continue;
        }
        const std::int64_t before = lastLp_[ev.when.axis];
        const std::int64_t after = axes[ev.when.axis].lp;
        const std::int64_t p = ev.when.position;
        const bool up = before < p && after >= p;
        const bool down = before > p && after <= p;
        if ((ev.when.direction >= 0 && up) || (ev.when.direction <= 0 && down)) {
            Fire(e, view);
        }
    }
    for (int i = 0; i < kAxisCount; ++i) {
        lastLp_[i] = axes[i].lp;
    }
    Common(view);
}

void ScenarioWatch::PacketTaken(const LogEntry& entry, const ModuleView& view)
{
    (void)entry;
    std::lock_guard<std::mutex> hold(mutex_);
    ++packets_;
    for (std::size_t e = 0; e < scenario_.events.size(); ++e) {
        const ScenarioEvent& ev = scenario_.events[e];
        if (ev.slot == slot_ && ev.when.kind == WhenKind::Packet && fired_[e] < 0 && ev.when.packet == packets_) {
            Fire(e, view);
        }
    }
    Common(view);
}

void ScenarioWatch::InterruptRaised(std::uint8_t factors, std::uint8_t code, const ModuleView& view)
{
    (void)code;
    std::lock_guard<std::mutex> hold(mutex_);
    factorsSeen_ = static_cast<std::uint8_t>(factorsSeen_ | factors);
    for (std::size_t e = 0; e < scenario_.events.size(); ++e) {
        const ScenarioEvent& ev = scenario_.events[e];
        if (ev.slot == slot_ && ev.when.kind == WhenKind::Factor && fired_[e] < 0 &&
            (ev.when.factors & factors) != 0) {
            Fire(e, view);
        }
    }
}

void ScenarioWatch::ErrorsChanged(int axisIndex, std::uint16_t before, std::uint16_t after, const ModuleView& view)
{
    (void)before;
    (void)view;
    std::lock_guard<std::mutex> hold(mutex_);
    errorsEver_[axisIndex] = static_cast<std::uint16_t>(errorsEver_[axisIndex] | after);
}

void ScenarioWatch::Tick()
{
    bool end = false;
    {
        std::lock_guard<std::mutex> hold(mutex_);
        if (busyUntil_ >= 0 && !manual_ && std::chrono::steady_clock::now() >= busyRealEnd_) {
            busyUntil_ = -1;
            end = true;
        }
    }
    if (end) {
        module_.SetBusy(false);
    }
}

CheckResult ScenarioWatch::Measure(const ScenarioCheck& c, const ModuleSnapshot& s) const
{
    CheckResult r;
    const AxisStatus& a = s.axes[c.axis];
    switch (c.kind) {
    case CheckKind::Lp:
    case CheckKind::Ep: {
        const std::int64_t v = c.kind == CheckKind::Lp ? a.lp : a.ep;
        r.passed = std::llabs(v - c.value) <= c.tolerance;
        r.measured = std::string(c.kind == CheckKind::Lp ? "LP " : "EP ") + std::to_string(v);
        break;
    }
    case CheckKind::Errors: {
        auto word = static_cast<std::uint16_t>(a.errorCode | s.moduleErrors);
        if (c.ever) {
            word = static_cast<std::uint16_t>(word | errorsEver_[c.axis]);
        }
        r.passed = (word & c.required) == c.required && (word & c.forbidden) == 0;
        r.measured = std::string(c.ever ? "errors seen " : "errors ") + MaskText(word, ErrorNames(), 4);
        break;
    }
    case CheckKind::FollowingError:
        r.passed = mostLag_[c.axis] <= c.most;
        r.measured = "max following error " + Pulses(mostLag_[c.axis]) + " pulses";
        break;
    case CheckKind::Output: {
        const bool on = (s.outputs[c.axis] >> c.bit & 1) != 0;
        r.passed = on == c.on;
        r.measured = "output bit " + std::to_string(c.bit) + (on ? " on" : " off");
        break;
    }
    case CheckKind::Factor:
        r.passed = ((factorsSeen_ & c.factors) != 0) == c.on;
        r.measured = "factors seen " + MaskText(factorsSeen_, FactorNames(), 2);
        break;
    case CheckKind::Time:
        r.passed = s.time >= c.least && s.time <= c.most;
        r.measured = "simulated time " + Seconds(s.time);
        break;
    case CheckKind::ExitCode:
        break;
    }
    return r;
}

CheckResult ScenarioWatch::Result(std::size_t index)
{
    const ScenarioCheck& c = scenario_.checks[index];
    CheckResult r;
    if (c.at >= 0) {
        std::lock_guard<std::mutex> hold(mutex_);
        const auto found = atEvents_.find(index);
        if (found != atEvents_.end()) {
            r = found->second;
        } else {
            r.measured = "the event '" + scenario_.events[static_cast<std::size_t>(c.at)].name + "' never fired";
        }
    } else {
        const ModuleSnapshot s = module_.Snapshot();
        std::lock_guard<std::mutex> hold(mutex_);
        r = Measure(c, s);
    }
    r.index = index;
    return r;
}

std::vector<std::string> ScenarioWatch::Fired() const
{
    std::lock_guard<std::mutex> hold(mutex_);
    std::vector<std::pair<double, std::size_t>> order;
    for (std::size_t e = 0; e < fired_.size(); ++e) {
        if (fired_[e] >= 0) {
            order.emplace_back(fired_[e], e);
        }
    }
    std::sort(order.begin(), order.end());
    std::vector<std::string> lines;
    for (const auto& f : order) {
        lines.push_back("'" + scenario_.events[f.second].name + "' at " + Seconds(f.first) + " (slot " +
                        std::to_string(slot_) + ")");
    }
    return lines;
}

std::string ScenarioWatch::Stopped() const
{
    std::lock_guard<std::mutex> hold(mutex_);
    return stoppedBy_;
}

void ScenarioWatch::Common(const ModuleView& view)
{
    const double time = view.Time();
    while (!timed_.empty() && timed_.begin()->first <= time) {
        const std::size_t e = timed_.begin()->second;
        timed_.erase(timed_.begin());
        if (fired_[e] < 0) {
            Fire(e, view);
        }
    }
    for (int i = 0; i < kAxisCount; ++i) {
        const std::uint8_t now = view.Outputs(i);
        const std::uint8_t changed = static_cast<std::uint8_t>(now ^ lastOutputs_[i]);
        lastOutputs_[i] = now;
        if (changed == 0) {
            continue;
        }
        for (std::size_t e = 0; e < scenario_.events.size(); ++e) {
            const ScenarioTrigger& w = scenario_.events[e].when;
            if (scenario_.events[e].slot == slot_ && w.kind == WhenKind::Output && fired_[e] < 0 &&
                w.axis == i && (changed >> w.bit & 1) != 0 &&
                (w.level < 0 || (now >> w.bit & 1) == static_cast<unsigned>(w.level))) {
                Fire(e, view);
            }
        }
    }
}

void ScenarioWatch::Fire(std::size_t e, const ModuleView& view)
{
    const ScenarioEvent& ev = scenario_.events[e];
    const double time = view.Time();
    fired_[e] = time;
    LockedControl control(module_);
    for (const ScenarioAction& a : ev.actions) {
        control.Apply(a);
        if (a.kind == ActionKind::Busy && stoppedBy_.empty()) {
            busyUntil_ = std::max(busyUntil_, time + a.seconds);
            busyRealEnd_ = std::chrono::steady_clock::now() +
                           std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                               std::chrono::duration<double>(a.seconds / scale_));
        } else if (a.kind == ActionKind::StopAnswering) {
            busyUntil_ = -1;
            stoppedBy_ = "the event '" + ev.name + "' at " + Seconds(time) + " stopped it answering";
        }
    }
    bool measured = false;
    ModuleSnapshot snapshot;
    for (std::size_t c = 0; c < scenario_.checks.size(); ++c) {
        if (scenario_.checks[c].at == static_cast<int>(e)) {
            if (!measured) {
                snapshot = view.Snapshot();
                measured = true;
            }
            atEvents_[c] = Measure(scenario_.checks[c], snapshot);
        }
    }
    for (std::size_t next = e + 1; next < scenario_.events.size(); ++next) {
        const ScenarioEvent& follower = scenario_.events[next];
        if (follower.slot == slot_ && follower.when.kind == WhenKind::After && follower.when.after == e) {
            if (follower.when.time <= 0) {
                Fire(next, view);
            } else {
                timed_.emplace(time + follower.when.time, next);
            }
        }
    }
}

void ScenarioWatch::EndBusy()
{
    busyUntil_ = -1;
    LockedControl(module_).SetBusy(false);
}

} // namespace detail
} // namespace velkor_sim
