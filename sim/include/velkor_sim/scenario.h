// Scenarios: the machine around the virtual modules, the faults to play on
// them and the checks of the outcome, in one TOML file (docs/scenarios.md).
//
// ParseScenario/LoadScenario read a file and refuse, with the line, column
// and field, anything they cannot use: an unknown key (with the nearest known
// one), a value out of range (with the range), an event that could never fire
// (an axis or event that does not exist). A ScenarioRun then applies the file
// to modules (their machine, and the events watched through the observer
// hooks) and evaluates the checks.
#ifndef VELKOR_SIM_SCENARIO_H
#define VELKOR_SIM_SCENARIO_H

#include <velkor_sim/virtual_module.h>

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace velkor_sim {

// The exit code of a program that an environment run's time limit ended.
constexpr int kTimeLimitExitCode = 124;

// One slot of a scenario: the module's options and the machine around it.
struct ScenarioSlot {
    std::uint8_t slot = 0;
    std::string options;  // the module options as velkor_sim/module_list.h reads them: ",clock=fast,speed=20"
    ModuleOptions module; // the same, read
    std::array<MachineAxis, kAxisCount> machine{};
    std::array<std::uint16_t, kAxisCount> inputs{}; // forced high from the start (general inputs: bits 8..15)
    std::array<bool, kAxisCount> driveAlarm{};      // the drive's alarm output at the start
    int line = 0;
};

enum class WhenKind : std::uint8_t { Time, Crossing, Output, Factor, Packet, After };

struct ScenarioTrigger {
    WhenKind kind = WhenKind::Time;
    double time = 0;          // Time: simulated seconds; After: the delay
    int axis = 0;             // Crossing, Output: 0..3
    std::int32_t position = 0; // Crossing: LP crosses it ..
    int direction = 0;        // .. +1 upwards, -1 downwards, 0 either way
    int bit = 0;              // Output: bit 0..7 ..
    int level = -1;           // .. becomes 1 or 0; -1 either change
    std::uint8_t factors = 0; // Factor: any of these raised
    std::uint64_t packet = 0; // Packet: the N-th packet taken (from 1)
    std::size_t after = 0;    // After: the event's index
};

enum class ActionKind : std::uint8_t {
    Input, MoveSwitch, Actuate, DriveAlarm, Jog, Handwheel, Busy, DropPacket, StopAnswering
};

// Switches of an axis, for MoveSwitch and Actuate.
enum class SwitchKind : std::uint8_t { PlusLimit, MinusLimit, Home, NearHome };

struct ScenarioAction {
    ActionKind kind = ActionKind::Input;
    int axis = 0;             // 0..3
    int bit = 0;              // Input: input bit 0..15
    bool on = true;           // Input, Actuate, DriveAlarm
    SwitchKind which = SwitchKind::PlusLimit; // MoveSwitch, Actuate
    std::int32_t from = 0;    // MoveSwitch: a limit's position, or home's from ..
    std::int32_t to = 0;      // .. and to
    int direction = 0;        // Jog: +1, -1, 0 (release)
    std::int32_t counts = 0;  // Handwheel
    double seconds = 0;       // Busy: simulated seconds
};

struct ScenarioEvent {
    std::string name;
    std::uint8_t slot = 0;
    ScenarioTrigger when;
    std::vector<ScenarioAction> actions;
    int line = 0;
};

enum class CheckKind : std::uint8_t { Lp, Ep, Errors, FollowingError, Output, Factor, ExitCode, Time };

struct ScenarioCheck {
    std::string name;
    std::uint8_t slot = 0;
    int at = -1; // the event's index, or -1: at the end
    CheckKind kind = CheckKind::Lp;
    int axis = 0;
    std::int64_t value = 0;      // Lp, Ep: the position; ExitCode: the code
    std::int64_t tolerance = 0;  // Lp, Ep
    std::uint16_t required = 0;  // Errors
    std::uint16_t forbidden = 0; // Errors
    bool ever = false;           // Errors: bits seen at any time, not only at the moment
    double most = 0;             // FollowingError: pulses; Time: seconds
    double least = 0;            // Time: seconds
    int bit = 0;                 // Output
    bool on = true;              // Output: the bit's state; Factor: seen (true) or never seen
    std::uint8_t factors = 0;    // Factor
    int line = 0;
};

struct Scenario {
    std::string name;        // [run] name, else the file's name
    double timeLimit = 0;    // real seconds an environment run may take (0: none)
    std::vector<ScenarioSlot> slots;
    std::vector<ScenarioEvent> events;
    std::vector<ScenarioCheck> checks;

    const ScenarioSlot* Slot(std::uint8_t slot) const;
};

// Reads a scenario from text; `source` names it in the errors ("FILE:LINE:COLUMN:
// FIELD: what is wrong"). False, with `error` set and `out` unchanged, for
// anything it cannot use. Never throws.
bool ParseScenario(const std::string& text, const std::string& source, Scenario& out, std::string& error);
bool LoadScenario(const std::string& path, Scenario& out, std::string& error);

// The outcome of one check.
struct CheckResult {
    std::size_t index = 0; // in Scenario::checks
    bool passed = false;
    std::string measured;  // "LP 1000", "never fired", ...
};

// One line of a check: "PASS  name  (measured; expected)".
std::string ExpectedText(const ScenarioCheck& check);
std::string ResultLine(const ScenarioCheck& check, const CheckResult& result);

namespace detail {
class ScenarioWatch;
}

// A scenario applied to modules. Attach puts the slot's machine on the
// module and watches it; events fire in the module's own hooks (so on the
// manual clock they fire at the same step on every run); Finish evaluates
// the checks. A run outlives the modules it watches only after Detach.
class ScenarioRun {
public:
    explicit ScenarioRun(const Scenario& scenario);
    ~ScenarioRun(); // detaches
    ScenarioRun(const ScenarioRun&) = delete;
    ScenarioRun& operator=(const ScenarioRun&) = delete;

    // Applies the slot's machine to `module` and watches it for the slot's
    // events and checks. False, with the reason, when the scenario has no
    // such slot or the slot is attached already.
    bool Attach(std::uint8_t slot, VirtualModule& module, std::string& error);
    // Stops watching every module (before they go; Finish does it too).
    void Detach();
    // Ends the busy spells whose real time is over, for clocks that stand
    // still while nothing moves (environment runs call it now and then).
    void Tick();
    // Evaluates the checks: those at the end now, those at events as they
    // were when the event fired (never fired: failed). `exitCode` is the
    // program's; hasExitCode false leaves exit code checks failed as "not
    // known". Then stops watching: call it while the modules are there.
    std::vector<CheckResult> Finish(int exitCode, bool hasExitCode);
    // Where each module's mailbox stands: "slot 3: the program waits for the
    // module to take FIXED_MOVE (a packet)", one line per slot waiting, and
    // the events fired with their times.
    std::string Waiting() const;
    // Where each module stands, one line per slot: its mailbox (as Waiting,
    // or "the mailbox is empty"), the host's last packet and last query
    // with their simulated times and how long ago they came, and each
    // axis's state: what a program that hangs did last.
    std::string Where() const;
    std::vector<std::string> Fired() const; // "NAME at 1.234 s (slot 3)"
    const Scenario& Description() const { return scenario_; }

private:
    Scenario scenario_;
    std::vector<std::unique_ptr<detail::ScenarioWatch>> watches_;
    std::vector<std::uint8_t> slots_; // of each watch
    bool detached_ = false;
};

} // namespace velkor_sim

#endif
