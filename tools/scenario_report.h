// velkor run --scenario, --junit, --time-limit: the checks the modules
// evaluated (scenario.txt in the run's report folder), the program's exit
// code checked here, printed one line each and written as JUnit XML.
#ifndef VELKOR_TOOLS_SCENARIO_REPORT_H
#define VELKOR_TOOLS_SCENARIO_REPORT_H

#include "program_output.h"
#include "time_limit.h"

#include <velkor_sim/scenario.h>

#include <string>
#include <vector>

namespace velkor_tool {

// The modules a scenario adds to those given with --module: its slots with
// their options ("3,clock=fast"), unless --module named the slot already.
std::vector<std::string> ScenarioModules(const velkor_sim::Scenario& scenario, const std::vector<std::string>& given);

struct ScenarioOutcome {
    bool limitReached = false;
    int failed = 0;
};

// What the tool knows of the program's end.
struct RunFacts {
    int exitCode = 0;
    bool exited = true;  // false: a signal ended it
    LimitEnd limit;      // the time limit, and what ended the program at it
    const ProgramOutput* output = nullptr; // the program's output, when captured
};

// True when the modules in the program ended it at the time limit (a
// "limit" line in the folder's scenario.txt).
bool ModulesReachedLimit(const std::string& folder);

// Reads scenario.txt from `folder`, adds the exit code and time limit
// checks, prints every check and the events that fired on `out`, and writes
// `junitFile` when given. `scenario` may be null (a time limit alone).
ScenarioOutcome ReportScenario(std::FILE* out, const velkor_sim::Scenario* scenario, const std::string& folder,
                               const RunFacts& facts, const std::string& junitFile);

// One JUnit test case: a check, the exit code or the time limit.
struct JUnitCase {
    std::string name;
    bool passed = false;
    std::string text;     // measured (expected ...)
    std::string type;     // a failure's type: check, exit_code, time_limit, no_report
    double seconds = 0;   // when it was measured, from the program's start
};

// JUnit XML: one test case per check, the measured value in the failure's
// message or the case's output; the suite's own output lists the events
// that fired, then the program's standard output (and error).
std::string JUnitXml(const std::string& suite, const std::vector<JUnitCase>& cases, double seconds,
                     const std::string& systemOut, const std::string& systemErr);

} // namespace velkor_tool

#endif
