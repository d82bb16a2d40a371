// A list of virtual modules as text, the way `velkor run --module` and the
// VELKOR_SIM_MODULES environment variable give it:
//
//   SLOT[,OPTION]...[;SLOT[,OPTION]...]...      e.g.  "3"  or  "3,speed=20;5,id=U"
//
// Options: id=D|U, firmware=MAJOR.MINOR.PATCH, speed=F (simulated seconds per
// real second, more than 0 and at most 1000), latency=MICROSECONDS (real time
// before the firmware takes a packet, at most 1000000).
#ifndef VELKOR_SIM_MODULE_LIST_H
#define VELKOR_SIM_MODULE_LIST_H

#include "velkor_sim/virtual_module.h"

#include <string>
#include <vector>

namespace velkor_sim {

struct ModuleSpec {
    std::uint8_t slot = 0;
    ModuleOptions options; // on the real-time clock
};

// Reads one module ("3,speed=20") and adds it to `out`. Returns false and
// says what is wrong in `error` (and adds nothing) when the text is not a
// module or its slot is already in `out`.
bool ParseModule(const std::string& text, std::vector<ModuleSpec>& out, std::string& error);
// Reads a list of modules separated by ';'. An empty list gives no module.
bool ParseModuleList(const std::string& text, std::vector<ModuleSpec>& out, std::string& error);

} // namespace velkor_sim

#endif
