// Virtual modules and scope settings as text, the way `velkor run` and the
// environment variables VELKOR_SIM_MODULES and VELKOR_SIM_SCOPE give them.
//
// A list of modules:
//
//   SLOT[,OPTION]...[;SLOT[,OPTION]...]...      e.g.  "3"  or  "3,speed=20;5,id=U"
//
// Options: id=D|U, firmware=MAJOR.MINOR.PATCH, speed=F (simulated seconds per
// real second, more than 0 and at most 1000), clock=real-time|fast (default
// real-time; fast runs ahead while the program only polls, see ClockKind),
// latency=MICROSECONDS (real time before the firmware takes a packet, at most
// 1000000).
//
// Scope settings, comma-separated, each optional:
//   period=SECONDS  duration=SECONDS  capacity=SAMPLES  pretrigger=SAMPLES
//   trigger=position:AXIS:PULSES        LP of axis 1..4 crosses PULSES
//   trigger=input:AXIS:BIT[:EDGE]       input bit 0..15 of axis 1..4 changes;
//                                       EDGE rising (default), falling, either
//   trigger=start[:AXIS[+AXIS]...]      one of the axes (default all) starts
//   trigger=path                        a path starts while none runs
#ifndef VELKOR_SIM_MODULE_LIST_H
#define VELKOR_SIM_MODULE_LIST_H

#include "velkor_sim/scope.h"
#include "velkor_sim/virtual_module.h"

#include <string>
#include <vector>

namespace velkor_sim {

struct ModuleSpec {
    std::uint8_t slot = 0;
    ModuleOptions options; // on the real-time clock unless clock=fast
};

// Reads one module ("3,speed=20") and adds it to `out`. Returns false and
// says what is wrong in `error` (and adds nothing) when the text is not a
// module or its slot is already in `out`.
bool ParseModule(const std::string& text, std::vector<ModuleSpec>& out, std::string& error);
// Reads a list of modules separated by ';'. An empty list gives no module.
bool ParseModuleList(const std::string& text, std::vector<ModuleSpec>& out, std::string& error);
// Reads scope settings over the defaults; false, with the reason, when the
// text is not settings or they are out of range.
bool ParseScopeSettings(const std::string& text, ScopeSettings& out, std::string& error);
// Reads a trigger alone ("position:1:5000").
bool ParseScopeTrigger(const std::string& text, ScopeTrigger& out, std::string& error);

} // namespace velkor_sim

#endif
