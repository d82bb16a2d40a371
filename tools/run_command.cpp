// velkor run: starts the application with the variables that make the
// slot-bus stand-in plug virtual modules into its process (see
// standins/brelan/setup/module_setup.h and VelkorSim_PlugFromEnvironment),
// relays the modules' trace while it runs, and at its end prints the summary
// and draws the pictures from the reports the modules left behind.
#include "run_command.h"

#include "child_process.h"
#include "module_report.h"
#include "output_file.h"
#include "path_picture.h"
#include "scenario_report.h"
#include "time_limit.h"
#include "session_end.h"

#include <velkor_sim/module_list.h>
#include <velkor_sim/monitor.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace velkor_tool {
namespace {

constexpr int kUsageError = 2;
constexpr std::chrono::milliseconds kPoll{20};
// How long the processes a program started may outlive it before they are stopped.
constexpr double kLeftoverGraceSeconds = 2;

namespace fs = std::filesystem;

// The shared virtual module for the application: the one installed beside
// this tool's library folder, else the one of this build tree.
std::string FindSharedModule()
{
    const std::string installed = ExecutableFolder() + VELKOR_SIM_INSTALLED_RELATIVE;
    std::error_code ignored;
    if (fs::exists(installed, ignored)) {
        return installed;
    }
    if (fs::exists(VELKOR_SIM_BUILD_FILE, ignored)) {
        return VELKOR_SIM_BUILD_FILE;
    }
    return std::string(); // the stand-in looks beside itself and on the system's path
}

// Follows the events file the modules append to while the program runs.
class EventRelay {
public:
    explicit EventRelay(std::string file) : file_(std::move(file)) {}

    void Drain()
    {
        std::ifstream in(file_, std::ios::binary);
        if (!in) {
            return;
        }
        in.seekg(static_cast<std::streamoff>(offset_));
        std::string chunk((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        const std::string::size_type last = chunk.rfind('\n');
        if (last == std::string::npos) {
            return;
        }
        offset_ += last + 1;
        std::istringstream lines(chunk.substr(0, last + 1));
        std::string line;
        while (std::getline(lines, line)) {
            Handle(line);
        }
        std::fflush(stderr);
    }

    // The latest progress of each module, with the real time run so far.
    void ShowProgress(double seconds)
    {
        for (unsigned slot = 1; slot < 8; ++slot) {
            if (!progress_[slot].empty()) {
                std::fprintf(stderr, "velkor run: %.0f s: slot %u %s\n", seconds, slot, progress_[slot].c_str());
            }
        }
        std::fflush(stderr);
    }

private:
    void Handle(const std::string& line)
    {
        std::istringstream words(line);
        std::string kind, what;
        unsigned slot = 0;
        words >> kind >> slot;
        if (kind == "trace") {
            words >> what;
            std::string rest;
            std::getline(words, rest);
            if (!rest.empty() && rest[0] == ' ') {
                rest.erase(0, 1);
            }
            if (what == "packet") {
                std::fprintf(stderr, "  trace slot %u  packet %-6llu %s\n", slot,
                             static_cast<unsigned long long>(++packets_[slot & 7]), rest.c_str());
            } else {
                std::fprintf(stderr, "  trace slot %u  query         %s\n", slot, rest.c_str());
            }
        } else if (kind == "progress" && slot < 8) {
            double seconds = 0;
            unsigned long long taken = 0, answered = 0;
            words >> seconds >> taken >> answered;
            char text[160];
            std::snprintf(text, sizeof text, "at %.1f s of simulated time, %llu packets taken, %llu queries answered",
                          seconds, taken, answered);
            progress_[slot] = text;
        }
    }

    std::string file_;
    std::string progress_[8];
    std::uint64_t offset_ = 0;
    std::uint64_t packets_[8] = {};
};

std::string ProgramText(const std::vector<std::string>& program)
{
    std::string text;
    for (const std::string& word : program) {
        text += (text.empty() ? "" : " ") + word;
    }
    return text;
}

bool ReadTrail(const std::string& file, std::vector<Point3>& path)
{
    std::ifstream in(file);
    std::string line;
    if (!std::getline(in, line)) {
        return false;
    }
    while (std::getline(in, line)) {
        double t = 0, x = 0, y = 0, z = 0;
        char comma = 0;
        std::istringstream fields(line);
        if (fields >> t >> comma >> x >> comma >> y >> comma >> z) {
            path.push_back(Point3{{x, y, z}});
        }
    }
    return true;
}

} // namespace

std::string ScopeSettingsText(const velkor_sim::ScopeSettings& scope)
{
    char text[160];
    std::snprintf(text, sizeof text, "period=%.17g,duration=%.17g,capacity=%zu,pretrigger=%zu", scope.period,
                  scope.duration, scope.capacity, scope.pretrigger);
    std::string out = text;
    const velkor_sim::ScopeTrigger& t = scope.trigger;
    switch (t.kind) {
    case velkor_sim::TriggerKind::None: break;
    case velkor_sim::TriggerKind::Position:
        out += ",trigger=position:" + std::to_string(t.axis + 1) + ":" + std::to_string(t.position);
        break;
    case velkor_sim::TriggerKind::InputEdge: {
        static const char* const edges[] = {"rising", "falling", "either"};
        out += ",trigger=input:" + std::to_string(t.axis + 1) + ":" + std::to_string(t.input) + ":" +
               edges[static_cast<int>(t.edge)];
        break;
    }
    case velkor_sim::TriggerKind::DriveStart: {
        std::string axes;
        for (int axis = 0; axis < 4; ++axis) {
            if ((t.axes >> axis & 1U) != 0) {
                axes += (axes.empty() ? "" : "+") + std::to_string(axis + 1);
            }
        }
        out += ",trigger=start:" + axes;
        break;
    }
    case velkor_sim::TriggerKind::PathStart: out += ",trigger=path"; break;
    }
    return out;
}

int RunProgram(const RunOptions& options)
{
    IgnoreBrokenPipes(); // a reader that goes away must not keep velkor from cleaning up
    // The modules, checked before anything starts.
    std::vector<velkor_sim::ModuleSpec> specs;
    std::string modules;
    velkor_sim::Scenario scenario;
    const bool scenarioGiven = !options.scenarioFile.empty();
    std::vector<std::string> moduleTexts = options.modules;
    if (scenarioGiven) {
        std::string error;
        if (!velkor_sim::LoadScenario(options.scenarioFile, scenario, error)) {
            std::fprintf(stderr, "velkor run: --scenario: %s\n", error.c_str());
            return kUsageError;
        }
        moduleTexts = ScenarioModules(scenario, moduleTexts);
    }
    const double timeLimit = options.timeLimit > 0 ? options.timeLimit : scenario.timeLimit;
    for (std::string text : moduleTexts.empty() ? std::vector<std::string>{"3"} : moduleTexts) {
        if (options.speed > 0 && text.find(",speed=") == std::string::npos) {
            char speed[32];
            std::snprintf(speed, sizeof speed, ",speed=%.17g", options.speed);
            text += speed;
        }
        if (options.fastAsPossible && text.find(",clock=") == std::string::npos) {
            text += ",clock=fast";
        }
        std::string error;
        if (!velkor_sim::ParseModule(text, specs, error)) {
            std::fprintf(stderr, "velkor run: %s\n", error.c_str());
            return kUsageError;
        }
        modules += (modules.empty() ? "" : ";") + text;
    }

    std::string error;
    if (!options.monitorPath.empty() &&
        !velkor_sim::CheckMonitorPath(fs::absolute(options.monitorPath).string(), error)) {
        std::fprintf(stderr, "velkor run: --monitor %s: %s\n", options.monitorPath.c_str(), error.c_str());
        return kUsageError;
    }
    const std::string folder = MakeRunFolder(error);
    if (folder.empty()) {
        std::fprintf(stderr, "velkor run: %s\n", error.c_str());
        return 1;
    }
    std::string record;
    if (!options.svgFile.empty()) {
        record += "trail,";
    }
    if (options.traceQueries) {
        record += "queries,";
    } else if (options.trace) {
        record += "packets,";
    }
    const std::string eventsFile = folder + "/events.txt";
    std::vector<std::pair<std::string, std::string>> environment{
        {"VELKOR_SIM_MODULES", modules},
        {"VELKOR_SIM_REPORT", folder},
        {"VELKOR_SIM_EVENTS", eventsFile},
        {"VELKOR_SIM_RECORD", record},
    };
    if (!options.scopeFile.empty()) {
        environment.emplace_back("VELKOR_SIM_SCOPE", ScopeSettingsText(options.scope));
    }
    if (!options.monitorPath.empty()) {
        environment.emplace_back("VELKOR_SIM_MONITOR", fs::absolute(options.monitorPath).string());
    }
    if (!options.recordFile.empty()) {
        char rate[32];
        std::snprintf(rate, sizeof rate, "%.17g", options.recordRate);
        environment.emplace_back("VELKOR_SIM_MONITOR_RECORD", fs::absolute(options.recordFile).string());
        environment.emplace_back("VELKOR_SIM_MONITOR_RECORD_RATE", rate);
    }
    if (scenarioGiven) {
        std::error_code ignored;
        environment.emplace_back("VELKOR_SIM_SCENARIO", fs::absolute(options.scenarioFile, ignored).string());
    }
    if (timeLimit > 0) {
        char text[32];
        std::snprintf(text, sizeof text, "%.17g", timeLimit);
        environment.emplace_back("VELKOR_SIM_TIME_LIMIT", text);
    }
    const std::string library = FindSharedModule();
    if (!library.empty()) {
        environment.emplace_back("VELKOR_SIM_LIBRARY", library);
    }

    ChildEnd end;
    bool leftovers = false;
    LimitEnd limitEnd;
    limitEnd.limit = timeLimit;
    ProgramOutput output; // kept for the JUnit report
    {
        ChildProcess child;
        std::string outputError;
        const bool captured = !options.junitFile.empty() && output.Redirect(folder, outputError);
        const bool launched = child.Start(options.program, environment, error);
        output.Restore();
        if (!options.junitFile.empty() && !captured) {
            std::fprintf(stderr, "velkor run: the JUnit report will not hold the program's output: %s\n",
                         outputError.c_str());
        }
        if (!launched) {
            std::fprintf(stderr, "velkor run: %s\n", error.c_str());
            std::error_code ignored;
            fs::remove_all(folder, ignored);
            return 127;
        }
        EventRelay relay(eventsFile);
        const auto started = std::chrono::steady_clock::now();
        const auto every = std::chrono::duration_cast<std::chrono::steady_clock::duration>(
            std::chrono::duration<double>(options.progressSeconds));
        auto nextProgress = started + every;
        TimeLimitBackstop backstop(timeLimit);
        // The first looks come soon: a short program (a campaign's run)
        // is not kept waiting for a whole poll after it ended.
        std::chrono::milliseconds pause{1};
        while (!child.Ended(end)) {
            std::this_thread::sleep_for(pause);
            pause = std::min(pause * 2, kPoll);
            const auto now = std::chrono::steady_clock::now();
            relay.Drain();
            output.Relay();
            backstop.Watch(child, std::chrono::duration<double>(now - started).count());
            if (options.progressSeconds > 0 && now >= nextProgress) {
                nextProgress = now + every;
                relay.ShowProgress(std::chrono::duration<double>(now - started).count());
            }
        }
        limitEnd.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        limitEnd.byTool = backstop.Fired();
        limitEnd.toolSeconds = backstop.FiredAt();
        leftovers = child.StopLeftovers(kLeftoverGraceSeconds);
        relay.Drain();
        output.Relay();
    }
    limitEnd.byModules = ModulesReachedLimit(folder);
    if (!options.monitorPath.empty()) {
        // A program that ended without stopping its monitor leaves the
        // endpoint: a socket, or an endpoint file. Nothing else is removed.
        std::error_code ignored;
        const fs::path endpoint = fs::absolute(options.monitorPath);
        std::ifstream file(endpoint, std::ios::binary);
        std::string first(15, '\0');
        const bool endpointFile = file && file.read(&first[0], 15) && first == "velkor-monitor ";
        file.close();
        if (fs::is_socket(endpoint, ignored) || endpointFile) {
            fs::remove(endpoint, ignored);
        }
    }

    const std::string program = ProgramText(options.program);
    const int received = ChildProcess::TerminationSignal();
    if (received != 0) {
        std::fprintf(stderr, "\nvelkor run: received signal %d (%s) and passed it on to %s\n", received,
                     SignalName(received).c_str(), program.c_str());
    }
    PrintProgramEnd(stderr, program, end, limitEnd, received != 0);
    if (leftovers) {
        std::fprintf(stderr,
                     "velkor run: processes that %s started were still running %.0f s after it ended; they were "
                     "stopped\n",
                     program.c_str(), kLeftoverGraceSeconds);
    }

    int reported = 0;
    std::string scopeText;
    Picture picture;
    picture.title = "velkor run: the paths the virtual modules drove";
    for (const velkor_sim::ModuleSpec& spec : specs) {
        const std::string slot = std::to_string(spec.slot);
        ModuleReport report;
        if (!ReadModuleReport(folder + "/slot-" + slot + ".txt", report)) {
            continue;
        }
        ++reported;
        PrintModuleReport(stderr, report);
        if (!options.scopeFile.empty()) {
            // One CSV for all modules: the column names once, then each module's samples.
            std::ifstream in(folder + "/scope-" + slot + ".csv", std::ios::binary);
            std::string line;
            if (std::getline(in, line)) {
                if (scopeText.empty()) {
                    scopeText = line + "\n";
                }
                while (std::getline(in, line)) {
                    scopeText += line + "\n";
                }
            }
        }
        std::vector<Point3> path;
        if (!options.svgFile.empty() && ReadTrail(folder + "/trail-" + slot + ".csv", path)) {
            picture.paths.push_back(PicturePath{"slot " + slot, std::move(path)});
        }
    }
    const bool recorded = options.recordFile.empty() || FinishRecording(options.recordFile, end.signal);
    if (reported == 0) {
        std::fprintf(stderr, "velkor run: no module report: the program %s\n",
                     end.signal != 0 && !limitEnd.byTool
                         ? "was ended before it could write one (a signal leaves no report)"
                                     : "never asked for a slot's address, or its slot-bus library has no "
                                       "virtual module set-up");
    }
    if (!options.svgFile.empty() && !picture.paths.empty()) {
        if (WritePathPicture(options.svgFile, picture, error)) {
            std::fprintf(stderr, "velkor run: picture of the paths written to %s\n", options.svgFile.c_str());
        } else {
            std::fprintf(stderr, "velkor run: %s\n", error.c_str());
        }
    }
    if (!options.scopeFile.empty() && !scopeText.empty()) {
        if (WriteWholeFile(options.scopeFile, scopeText, error)) {
            std::fprintf(stderr, "velkor run: scope samples written to %s (draw them with: velkor plot %s --svg FILE)\n",
                         options.scopeFile.c_str(), options.scopeFile.c_str());
        } else {
            std::fprintf(stderr, "velkor run: %s\n", error.c_str());
        }
    }
    int verdict = end.exitCode;
    if (scenarioGiven || timeLimit > 0) {
        const RunFacts facts{end.exitCode, end.signal == 0, limitEnd, options.junitFile.empty() ? nullptr : &output};
        const ScenarioOutcome outcome =
            ReportScenario(stderr, scenarioGiven ? &scenario : nullptr, folder, facts, options.junitFile);
        bool checksExitCode = false;
        for (const velkor_sim::ScenarioCheck& c : scenario.checks) {
            checksExitCode = checksExitCode || c.kind == velkor_sim::CheckKind::ExitCode;
        }
        verdict = outcome.limitReached ? velkor_sim::kTimeLimitExitCode
                  : outcome.failed > 0 ? 1
                  : checksExitCode     ? 0
                                       : end.exitCode;
    }
    std::error_code ignored;
    fs::remove_all(folder, ignored);
    if (received != 0) {
        return 128 + received;
    }
    // A run that left processes behind did not end cleanly, whatever the program said.
    if (leftovers && verdict == 0) {
        return 1;
    }
    return !recorded && verdict == 0 ? kRecordingIncompleteExitCode : verdict;
}

} // namespace velkor_tool
