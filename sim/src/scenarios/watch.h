// The watch a scenario run keeps on one module: an observer of the module
// that looks at the triggers in the module's hooks and fires their actions
// there, and measures the checks (at an event, or at the end).
#ifndef VELKOR_SIM_SCENARIOS_WATCH_H
#define VELKOR_SIM_SCENARIOS_WATCH_H

#include "velkor_sim/scenario.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace velkor_sim {

// "1.234 s" and "12.5": the times and pulses of a check's text.
std::string Seconds(double t);
std::string Pulses(double v);

namespace detail {

class ScenarioWatch : public ModuleObserver {
public:
    ScenarioWatch(const Scenario& scenario, std::uint8_t slot, VirtualModule& module);
    VirtualModule& Module() { return module_; }

    // The module's hooks: triggers looked at, actions fired.
    void MotionStepped(const ModuleView& view) override;
    void PacketTaken(const LogEntry& entry, const ModuleView& view) override;
    void InterruptRaised(std::uint8_t factors, std::uint8_t code, const ModuleView& view) override;
    void ErrorsChanged(int axisIndex, std::uint16_t before, std::uint16_t after, const ModuleView& view) override;

    // Real time: ends a busy spell on a clock that stood still meanwhile.
    void Tick();

    CheckResult Measure(const ScenarioCheck& c, const ModuleSnapshot& s) const;
    // The result of a check: at its event, as it was then; at the end, now.
    CheckResult Result(std::size_t index);
    // "'name' at 1.234 s (slot 1)" for each event fired, in the order fired.
    std::vector<std::string> Fired() const;
    // What stopped the module answering, or empty.
    std::string Stopped() const;

private:
    // What every hook that may see time pass or outputs change looks at.
    void Common(const ModuleView& view);
    void Fire(std::size_t e, const ModuleView& view);
    void EndBusy();

    const Scenario& scenario_;
    std::uint8_t slot_;
    VirtualModule& module_;
    mutable std::mutex mutex_; // the hooks of the module, and the thread that reads results
    std::vector<double> fired_; // simulated time each event fired, -1 never
    std::multimap<double, std::size_t> timed_; // events due at a time
    std::array<std::int64_t, kAxisCount> lastLp_{};
    std::array<std::uint8_t, kAxisCount> lastOutputs_{};
    std::array<std::uint16_t, kAxisCount> errorsEver_{};
    std::array<double, kAxisCount> mostLag_{};
    std::uint64_t packets_ = 0;
    std::uint8_t factorsSeen_ = 0;
    std::map<std::size_t, CheckResult> atEvents_;
    bool manual_ = true;
    double scale_ = 1;
    double busyUntil_ = -1; // simulated time a busy spell ends
    std::chrono::steady_clock::time_point busyRealEnd_;
    std::string stoppedBy_;
};

} // namespace detail
} // namespace velkor_sim

#endif
