// The bench page from the velkor tool: velkor run --web, velkor demo --web
// and velkor web PATH|FILE.
#ifndef VELKOR_TOOLS_WEB_COMMAND_H
#define VELKOR_TOOLS_WEB_COMMAND_H

#include "demo.h"
#include "run_command.h"

#include <string>

namespace velkor_tool {

struct WebOptions {
    int port = 0;             // 0: any free port
    double sampleRate = 1000; // samples per simulated second per module
};

// velkor web TARGET: TARGET is a running monitor's endpoint (the page is
// live until the application ends) or a session file (served until Ctrl-C).
int RunWeb(const std::string& target, const WebOptions& options);

// velkor run --web: the program with a monitor of its own, and the page on it.
int RunProgramWithWeb(const RunOptions& run, const WebOptions& options);

// velkor demo --web: waits for a page to open, then runs the demo under it.
int RunDemoWithWeb(const DemoOptions& demo, const WebOptions& options);

} // namespace velkor_tool

#endif
