// velkor run --scenario, --junit, --time-limit: the checks the modules
// evaluated (scenario.txt in the run's report folder), the program's exit
// code checked here, printed one line each and written as JUnit XML.
#ifndef VELKOR_TOOLS_SCENARIO_REPORT_H
#define VELKOR_TOOLS_SCENARIO_REPORT_H

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

// Reads scenario.txt from `folder`, adds the exit code checks, prints every
// check and what fired on `out`, and writes `junitFile` when given.
// `scenario` may be null (a time limit alone).
ScenarioOutcome ReportScenario(std::FILE* out, const velkor_sim::Scenario* scenario, const std::string& folder,
                               int exitCode, bool exited, double timeLimit, const std::string& junitFile);

// JUnit XML of the results: one test case per check, the measured value in
// the message (a failure's) or the output (a pass's).
std::string JUnitXml(const std::string& suite, const std::vector<std::string>& names,
                     const std::vector<velkor_sim::CheckResult>& results, const std::vector<std::string>& expected,
                     double seconds);

} // namespace velkor_tool

#endif
