// A scenario for the modules an unchanged program gets from the environment
// (c_api/environment_session.cpp):
//
//   VELKOR_SIM_SCENARIO    a scenario file (docs/scenarios.md) for the modules
//   VELKOR_SIM_TIME_LIMIT  real seconds the program may run; then the
//                          reports are written, with where each module's
//                          mailbox stood, and the program ends with 124
//
// At the end (or at the time limit) it writes scenario.txt to the report
// folder, one line each:
//   result INDEX PASS|FAIL MEASURED   a check, INDEX in the file's order
//   fired TEXT                        an event that fired, with its time
//   limit SECONDS                     the time limit ended the run
//   waiting TEXT                      a module at the end: its mailbox, the
//                                     host's last packet and query, its axes
#ifndef VELKOR_SIM_SCENARIOS_ENVIRONMENT_SCENARIO_H
#define VELKOR_SIM_SCENARIOS_ENVIRONMENT_SCENARIO_H

#include "velkor_sim/scenario.h"

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace velkor_sim {

class EnvironmentScenario {
public:
    // Null when neither variable is set; null with `error` set when the file
    // or the limit cannot be used.
    static std::unique_ptr<EnvironmentScenario> FromEnvironment(std::string& error);
    ~EnvironmentScenario(); // ends the thread

    // Attaches the modules and starts the thread that ends busy spells and
    // watches the time limit; `writeReports` writes the session's own files
    // before the program is ended at the limit.
    void Start(const std::vector<std::pair<std::uint8_t, VirtualModule*>>& modules, std::string reportFolder,
               std::function<void()> writeReports);
    // The program ended: the checks go to scenario.txt.
    void Finish();
    // In a child forked from the program: the thread, the limit and the
    // report are the parent's. The thread and the condition variable it
    // waited on are left unfinished (joining it, or destroying the variable
    // under its wait, would never return); at its end the child only lets
    // its watches go.
    void Disown();

private:
    EnvironmentScenario(Scenario scenario, double limit) : scenario_(std::move(scenario)), limit_(limit) {}
    void Watch();
    void Write(bool limitReached); // once

    Scenario scenario_;
    double limit_;
    std::unique_ptr<ScenarioRun> run_;
    std::string folder_;
    std::function<void()> writeReports_;
    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool quit_ = false;
    bool written_ = false;
};

} // namespace velkor_sim

#endif
