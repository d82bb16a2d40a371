// The main job of the velkor tool: a motion session on a virtual module.
#ifndef VELKOR_TOOLS_DEMO_H
#define VELKOR_TOOLS_DEMO_H

#include <velkor_sim/scope.h>

#include <string>

namespace velkor_tool {

struct DemoOptions {
    std::string svgFile; // empty: no picture
    std::string scopeFile;     // empty: no scope samples written
    velkor_sim::ScopeSettings scope; // the scope's period and trigger
    bool trace = false;  // print every packet the module takes
    bool traceQueries = false; // ... and every query it answers
    bool fast = false;   // run the module's clock faster than real time
    bool fastAsPossible = false; // the fast clock: runs ahead while the demo waits
};

// Runs the session; the process exit code (0 when the module saw every
// packet in order).
int RunDemo(const DemoOptions& options);

} // namespace velkor_tool

#endif
