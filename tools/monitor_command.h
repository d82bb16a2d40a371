// velkor monitor: a live look at the virtual modules of a running program
// through its monitor endpoint (docs/monitor.md).
#ifndef VELKOR_TOOLS_MONITOR_COMMAND_H
#define VELKOR_TOOLS_MONITOR_COMMAND_H

#include <map>
#include <string>
#include <vector>

namespace velkor_tool {

struct MonitorToolOptions {
    std::string path;
    bool json = false;   // pass the event stream through as JSON lines
    bool once = false;   // one status of every module, then end
    double rate = 20;    // samples per simulated second
    double wait = 0;     // seconds to wait for the endpoint to appear
    double seconds = 0;  // end after this long (0: when the program ends)
};

// The process exit code: 0 when the monitor ended the session (or --once or
// --seconds), 1 when it could not be reached.
int RunMonitor(const MonitorToolOptions& options);

// Scope columns ("time_s", "axis1_lp", ...) per slot from the samples of a
// session file (velkor run --record); false, with the reason, when the file
// is not a session.
bool ReadSessionSamples(const std::string& file, std::map<unsigned, std::map<std::string, std::vector<double>>>& out,
                        std::string& error);

} // namespace velkor_tool

#endif
