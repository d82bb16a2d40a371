// What a scenario's actions do to a module, carried out under the module's
// lock: either inside an observer's hook (which holds it already) or after
// taking it. Inside a hook the changes take effect from the next motion step
// and reach the host through the signal every path of the module ends with,
// so the hooks are not entered again.
#ifndef VELKOR_SIM_SCENARIOS_LOCKED_CONTROL_H
#define VELKOR_SIM_SCENARIOS_LOCKED_CONTROL_H

#include "velkor_sim/scenario.h"

#include <string>

namespace velkor_sim {
namespace detail {

class LockedControl {
public:
    // `module`'s lock must be held by the caller for the life of the object.
    explicit LockedControl(VirtualModule& module) : module_(module) {}

    void Apply(const ScenarioAction& action);
    void SetBusy(bool busy);

    // Where the mailbox stands (takes the lock): empty when it holds nothing
    // for the firmware, else "CODE_NAME (a packet) not taken" or "CODE_NAME
    // (a query or control code) not answered", and what waits behind it,
    // with "; the module stopped answering" while busy.
    static std::string Mailbox(VirtualModule& module);
    // What the host did last and where the axes stand (takes the lock):
    // "last packet #5 CONTINUOUS_MOVE axis=1 ... at 0.012 s (2.0 s ago);
    // last query STOP_WAIT axis=1 -> 0 at 1.987 s (0.0 s ago); axis 1
    // driving at 20000 pulses/s, LP 39741; axes 2, 3, 4 idle". Times are
    // simulated; "ago" in real seconds.
    static std::string LastCalls(VirtualModule& module);

private:
    VirtualModule& module_;
};

} // namespace detail
} // namespace velkor_sim

#endif
