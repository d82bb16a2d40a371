// velkor monitor PATH ACTION ...: acting on the machine side of a running
// program's modules through its monitor (docs/monitor.md): pausing,
// stepping and resuming the clock, forcing inputs and switches, raising a
// drive alarm, jogging, turning the handwheel. One action from the command
// line, or one per line from the standard input (`velkor monitor PATH -`).
#ifndef VELKOR_TOOLS_MONITOR_ACTIONS_H
#define VELKOR_TOOLS_MONITOR_ACTIONS_H

#include <string>
#include <vector>

namespace velkor_tool {

// The monitor request for the words of an action ("pause", "3"), as one
// JSON line with `id`, or empty with the reason in `error` (which then
// includes the action's usage).
std::string ActionRequest(const std::vector<std::string>& words, int id, std::string& error);
// Every action with its words, one line each.
std::string ActionUsage();

struct MonitorActionOptions {
    std::string path;
    std::vector<std::string> words; // one action; {"-"}: one per line from stdin
    bool json = false;              // print the replies as JSON lines
    double wait = 0;                // seconds to wait for the endpoint to appear
};

// 0 when every action was done, 1 when the monitor refused one or could not
// be reached, 2 when an action's words are wrong.
int RunMonitorActions(const MonitorActionOptions& options);

} // namespace velkor_tool

#endif
