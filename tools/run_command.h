// velkor run: an unchanged application on virtual modules.
#ifndef VELKOR_TOOLS_RUN_COMMAND_H
#define VELKOR_TOOLS_RUN_COMMAND_H

#include <velkor_sim/scope.h>

#include <string>
#include <vector>

namespace velkor_tool {

struct RunOptions {
    std::vector<std::string> modules; // "SLOT[,OPTIONS]" each; none: one module in slot 3
    double speed = 0;                 // 0: each module's own speed (default 1)
    bool fastAsPossible = false;      // every module on the fast clock unless it names its clock
    bool trace = false;               // print every packet the modules take
    bool traceQueries = false;        // ... and every query they answer
    std::string svgFile;              // picture of the paths driven
    std::string scopeFile;            // scope samples as CSV
    velkor_sim::ScopeSettings scope;  // the scope's period and trigger
    double progressSeconds = 10;      // how often to show progress; 0: never
    std::string monitorPath;          // the program's monitor endpoint (docs/monitor.md)
    std::string recordFile;           // a session file the monitor records to
    double recordRate = 100;          // its samples per simulated second
    std::string scenarioFile;         // the machine, events and checks (docs/scenarios.md)
    std::string junitFile;            // the checks as JUnit XML
    double timeLimit = 0;             // real seconds the program may run (0: the scenario's, else none)
    std::vector<std::string> program; // the program and its arguments
};

// Runs the program and prints the modules' summaries on stderr. Returns the
// program's exit code (128 + the signal when a signal ended it; 1 instead of
// 0 when processes it started outlived it and had to be stopped), 128 + the
// signal when velkor itself received SIGTERM or SIGHUP (passed on to the
// program), or 2 when the modules given or the scenario cannot be set up.
// With a scenario: 1 when a check failed, else 0 when it checks the exit
// code, else the program's. 124 when the time limit ended the program.
int RunProgram(const RunOptions& options);

// Scope settings in the text form of VELKOR_SIM_SCOPE, which the modules in
// the program's process read back (velkor_sim/module_list.h).
std::string ScopeSettingsText(const velkor_sim::ScopeSettings& scope);

} // namespace velkor_tool

#endif
