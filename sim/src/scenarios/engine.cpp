// A scenario applied to modules (velkor_sim/scenario.h): one watch per slot
// (watch.h), an observer of its module, and the checks' results and text
// gathered from them.
#include "velkor_sim/scenario.h"

#include "scenarios/locked_control.h"
#include "scenarios/names.h"
#include "scenarios/watch.h"

#include <algorithm>
#include <sstream>

namespace velkor_sim {

ScenarioRun::ScenarioRun(const Scenario& scenario) : scenario_(scenario) {}

ScenarioRun::~ScenarioRun() { Detach(); }

bool ScenarioRun::Attach(std::uint8_t slot, VirtualModule& module, std::string& error)
{
    if (detached_) {
        error = "the run has finished";
        return false;
    }
    const ScenarioSlot* s = scenario_.Slot(slot);
    if (s == nullptr) {
        error = "the scenario has no [slot." + std::to_string(slot) + "]";
        return false;
    }
    for (const auto& w : watches_) {
        if (&w->Module() == &module) {
            error = "the module is attached already";
            return false;
        }
    }
    for (int i = 0; i < kAxisCount; ++i) {
        module.SetMachine(i, s->machine[i]);
        module.SetInputs(i, s->inputs[i]);
        module.SetDriveAlarm(i, s->driveAlarm[i]);
    }
    watches_.push_back(std::make_unique<detail::ScenarioWatch>(scenario_, slot, module));
    slots_.push_back(slot);
    module.AddObserver(watches_.back().get());
    return true;
}

void ScenarioRun::Detach()
{
    if (!detached_) {
        for (const auto& w : watches_) {
            w->Module().RemoveObserver(w.get());
        }
    }
    detached_ = true;
}

void ScenarioRun::Tick()
{
    if (!detached_) {
        for (const auto& w : watches_) {
            w->Tick();
        }
    }
}

std::vector<CheckResult> ScenarioRun::Finish(int exitCode, bool hasExitCode)
{
    std::vector<CheckResult> results;
    for (std::size_t i = 0; i < scenario_.checks.size(); ++i) {
        const ScenarioCheck& c = scenario_.checks[i];
        CheckResult r;
        r.index = i;
        if (c.kind == CheckKind::ExitCode) {
            r.passed = hasExitCode && exitCode == c.value;
            r.measured = hasExitCode ? "exit code " + std::to_string(exitCode) : "exit code not known";
        } else {
            const auto at = std::find(slots_.begin(), slots_.end(), c.slot);
            if (at == slots_.end()) {
                r.measured = "no module in slot " + std::to_string(c.slot);
            } else {
                r = watches_[static_cast<std::size_t>(at - slots_.begin())]->Result(i);
            }
        }
        results.push_back(r);
    }
    Detach();
    return results;
}

std::string ScenarioRun::Waiting() const
{
    std::string text;
    for (std::size_t i = 0; i < watches_.size(); ++i) {
        const std::string mailbox = detail::LockedControl::Mailbox(watches_[i]->Module());
        const std::string stopped = watches_[i]->Stopped();
        if (!mailbox.empty()) {
            text += "slot " + std::to_string(slots_[i]) + ": the program waits on the mailbox: " + mailbox +
                    (stopped.empty() ? "" : " (" + stopped + ")") + "\n";
        } else if (!stopped.empty()) {
            text += "slot " + std::to_string(slots_[i]) + ": " + stopped + "\n";
        }
    }
    return text;
}

std::string ScenarioRun::Where() const
{
    std::string text;
    for (std::size_t i = 0; i < watches_.size(); ++i) {
        const std::string mailbox = detail::LockedControl::Mailbox(watches_[i]->Module());
        const std::string stopped = watches_[i]->Stopped();
        const std::string last = detail::LockedControl::LastCalls(watches_[i]->Module());
        text += "slot " + std::to_string(slots_[i]) + ": ";
        if (!mailbox.empty()) {
            text += "the program waits on the mailbox: " + mailbox + (stopped.empty() ? "" : " (" + stopped + ")");
        } else {
            // Nothing waits in the mailbox: the program polls, or waits elsewhere.
            text += (stopped.empty() ? "" : stopped + "; ") + std::string("the mailbox is empty");
        }
        text += "; " + last + "\n";
    }
    return text;
}

std::vector<std::string> ScenarioRun::Fired() const
{
    std::vector<std::string> all;
    for (const auto& w : watches_) {
        const std::vector<std::string> lines = w->Fired();
        all.insert(all.end(), lines.begin(), lines.end());
    }
    return all;
}

std::string ExpectedText(const ScenarioCheck& c)
{
    std::ostringstream t;
    const std::string axis = "axis " + std::to_string(c.axis + 1);
    switch (c.kind) {
    case CheckKind::Lp:
    case CheckKind::Ep:
        t << (c.kind == CheckKind::Lp ? "LP " : "EP ") << c.value;
        if (c.tolerance > 0) {
            t << " +- " << c.tolerance;
        }
        t << ", " << axis;
        break;
    case CheckKind::Errors:
        t << axis;
        if (c.required != 0) {
            t << ", required " << MaskText(c.required, ErrorNames(), 4);
        }
        if (c.forbidden != 0) {
            t << ", forbidden " << MaskText(c.forbidden, ErrorNames(), 4);
        }
        break;
    case CheckKind::FollowingError:
        t << "following error at most " << Pulses(c.most) << " pulses, " << axis;
        break;
    case CheckKind::Output:
        t << "output bit " << c.bit << (c.on ? " on, " : " off, ") << axis;
        break;
    case CheckKind::Factor:
        t << (c.on ? "seen: " : "never seen: ") << MaskText(c.factors, FactorNames(), 2);
        break;
    case CheckKind::ExitCode:
        t << "exit code " << c.value;
        break;
    case CheckKind::Time:
        t << "simulated time from " << Seconds(c.least) << " to " << Seconds(c.most);
        break;
    }
    if (c.kind != CheckKind::ExitCode) {
        t << ", slot " << unsigned(c.slot);
    }
    return t.str();
}

std::string ResultLine(const ScenarioCheck& check, const CheckResult& result)
{
    return std::string(result.passed ? "PASS  " : "FAIL  ") + check.name + ": " + result.measured + " (expected " +
           ExpectedText(check) + ")";
}

} // namespace velkor_sim
