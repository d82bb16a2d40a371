// Virtual modules for a program that does not know about them: the slot-bus
// stand-in calls VelkorSim_PlugFromEnvironment the first time the program
// asks for a slot's address, and the modules named in VELKOR_SIM_MODULES go
// into their slots before the program's first access. When the program ends
// (exit or a return from main), their summaries, trails and scope samples go
// to the folder named in VELKOR_SIM_REPORT, where `velkor run` reads them.
// A child the program forks runs on copies of the modules and writes nothing.
//
//   VELKOR_SIM_MODULES  the modules, as velkor_sim/module_list.h reads them
//   VELKOR_SIM_REPORT   a folder for the files written at the end (optional)
//   VELKOR_SIM_EVENTS   a file that the packets, queries and progress are
//                       appended to while the program runs (optional)
//   VELKOR_SIM_RECORD   what to record, a comma-separated list of: trail,
//                       packets, queries
//   VELKOR_SIM_SCOPE    when set, each module's scope runs with these
//                       settings (velkor_sim/module_list.h; empty: the
//                       defaults) and its samples go to the report folder
//   VELKOR_SIM_MONITOR  the monitor's endpoint (docs/monitor.md), opened
//                       before the modules are plugged
//   VELKOR_SIM_MONITOR_RECORD       a session file the monitor records to
//   VELKOR_SIM_MONITOR_RECORD_RATE  its samples per simulated second (100)
//   VELKOR_SIM_SCENARIO, VELKOR_SIM_TIME_LIMIT: a scenario for the modules
//                       and a time limit (scenarios/environment_scenario.h;
//                       its results go to scenario.txt in the report folder)
//
// The files in the report folder, per module in slot N:
//   slot-N.txt   "key value" lines: slot, time (simulated seconds), packets,
//                exchanges, reads, writes, gaps, drops, unsimulated; one
//                "unused CODE COUNT NAME" line per command the module could
//                not use; one "axis I LP EP ERROR-CODE" line per axis; one
//                "io I OUTPUTS INPUTS LATCH" line per axis (bits in hex)
//   trail-N.csv  time_s,lp1,lp2,lp3,lp4: the positions driven (with trail)
//   scope-N.csv  the scope's samples as WriteScopeCsv writes them, added
//                while the program runs (with VELKOR_SIM_SCOPE)
// The events file has one line per event:
//   trace SLOT packet TEXT   a packet taken, TEXT as Describe() gives it
//   trace SLOT query TEXT    a query answered (with queries)
//   progress SLOT SECONDS PACKETS EXCHANGES   once a second
#include "module/fork_hooks.h"
#include "monitor/record_signals.h"
#include "velkor_sim/module_list.h"
#include "velkor_sim/monitor.h"
#include "velkor_sim/velkor_sim.h"
#include "velkor_sim/virtual_module.h"

#include "scenarios/environment_scenario.h"

#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <mutex>
#include <new>
#include <sstream>
#include <thread>

namespace velkor_sim {
namespace {

constexpr std::chrono::milliseconds kEventPeriod{100};
constexpr int kProgressEvery = 10; // event periods

std::string Variable(const char* name)
{
    const char* value = std::getenv(name);
    return value != nullptr ? std::string(value) : std::string();
}

bool Listed(const std::string& list, const std::string& word)
{
    std::istringstream in(list);
    std::string item;
    while (std::getline(in, item, ',')) {
        if (item == word) {
            return true;
        }
    }
    return false;
}

struct Plugged {
    std::uint8_t slot;
    std::unique_ptr<VirtualModule> module;
    std::unique_ptr<std::ofstream> scope; // scope-N.csv, while the scope runs
};

class EnvironmentSession {
public:
    EnvironmentSession(std::vector<ModuleSpec> specs, std::string reportFolder, std::string eventsFile,
                       const std::string& record, const ScopeSettings* scope,
                       std::unique_ptr<EnvironmentScenario> scenario)
        : scenario_(std::move(scenario)), reportFolder_(std::move(reportFolder)), eventsFile_(std::move(eventsFile)),
          keepTrail_(Listed(record, "trail")), tracePackets_(Listed(record, "packets") || Listed(record, "queries")),
          traceQueries_(Listed(record, "queries"))
    {
        for (ModuleSpec& spec : specs) {
            spec.options.keepTrail = keepTrail_ && !reportFolder_.empty();
            spec.options.keepLog = tracePackets_ && !eventsFile_.empty();
            Plugged p{spec.slot, std::make_unique<VirtualModule>(spec.options), nullptr};
            if (scope != nullptr && !reportFolder_.empty() && p.module->StartScope(*scope)) {
                const std::string file = reportFolder_ + "/scope-" + std::to_string(spec.slot) + ".csv";
                p.scope = std::make_unique<std::ofstream>(file);
                if (!*p.scope) {
                    CannotWrite(file);
                }
                WriteScopeCsv(*p.scope, spec.slot, {}, true);
            }
            if (p.module->PlugInto(spec.slot)) {
                modules_.push_back(std::move(p));
            }
        }
        if (scenario_ != nullptr) {
            std::vector<std::pair<std::uint8_t, VirtualModule*>> plugged;
            for (Plugged& p : modules_) {
                plugged.emplace_back(p.slot, p.module.get());
            }
            scenario_->Start(plugged, reportFolder_, [this] { WriteReport(); });
        }
        if (!eventsFile_.empty()) {
            events_.open(eventsFile_, std::ios::app);
        }
        if (!eventsFile_.empty() || scope != nullptr) {
            reporter_ = std::thread([this] { ReportEvents(); });
        }
    }

    ~EnvironmentSession()
    {
        if (disowned_) {
            scenario_.reset(); // its watches, before the modules they watch
            modules_.clear();  // the child's copies of the modules
            return;
        }
        // At a Windows process's end the reporter and the firmware threads
        // are gone already: the report is still written from the modules as
        // they stand, and the modules are left to the process's end.
        const bool threadsEnded = detail::OtherThreadsEnded();
        if (threadsEnded && reporter_.joinable()) {
            reporter_.detach();
        }
        if (reporter_.joinable()) {
            {
                std::lock_guard<std::mutex> hold(mutex_);
                quit_ = true;
            }
            wake_.notify_all();
            reporter_.join();
        }
        WriteEvents(true);
        if (scenario_ != nullptr) {
            scenario_->Finish();
        }
        WriteReport();
        scenario_.reset();
        if (threadsEnded) {
            for (Plugged& plugged : modules_) {
                (void)plugged.module.release();
            }
        }
        modules_.clear(); // unplugs each module and ends its firmware
    }

    int Count() const { return static_cast<int>(modules_.size()); }

    // In a child forked from the program: the session is the parent's. The
    // child's copies of the modules run on (each with a firmware thread of
    // its own), but the reporter thread and the scenario's thread are not in
    // the child, and the report, the events and the scenario's results are
    // the parent's to write. The reporter's thread and the condition variable
    // it waited on are left unfinished (joining it, or destroying the
    // variable under its wait, would never return), the scenario's alike, and
    // at its end the child only lets its watches and modules go.
    void Disown()
    {
        new (&reporter_) std::thread();
        new (&mutex_) std::mutex();
        new (&wake_) std::condition_variable();
        if (scenario_ != nullptr) {
            scenario_->Disown();
        }
        disowned_ = true;
    }

private:
    void ReportEvents()
    {
        std::unique_lock<std::mutex> hold(mutex_);
        int periods = 0;
        while (!quit_) {
            wake_.wait_for(hold, kEventPeriod);
            if (quit_) {
                break;
            }
            hold.unlock();
            WriteEvents(++periods % kProgressEvery == 0);
            hold.lock();
        }
    }

    void WriteEvents(bool progress)
    {
        for (Plugged& p : modules_) {
            if (p.scope != nullptr) {
                WriteScopeCsv(*p.scope, p.slot, p.module->TakeScope(), false);
                p.scope->flush();
            }
        }
        if (!events_.is_open()) {
            return;
        }
        for (Plugged& p : modules_) {
            for (const LogEntry& e : p.module->TakeLog()) {
                if (e.kind == LogEntry::Kind::Packet) {
                    events_ << "trace " << unsigned(p.slot) << " packet " << Describe(e) << '\n';
                } else if (traceQueries_) {
                    events_ << "trace " << unsigned(p.slot) << " query " << Describe(e).substr(6) << '\n';
                }
            }
            if (progress) {
                const Counters c = p.module->GetCounters();
                events_ << "progress " << unsigned(p.slot) << ' ' << p.module->Now() << ' ' << c.packetsTaken << ' '
                        << c.exchangesAnswered << '\n';
            }
        }
        events_.flush();
    }

    // A report that cannot be written is said on stderr: velkor run, or whoever
    // set VELKOR_SIM_REPORT, would otherwise find nothing and not know why.
    static void CannotWrite(const std::string& file)
    {
        std::fprintf(stderr, "velkor_sim: VELKOR_SIM_REPORT: cannot write %s: %s\n", file.c_str(),
                     std::strerror(errno));
    }

    void WriteReport()
    {
        if (reportFolder_.empty()) {
            return;
        }
        for (Plugged& p : modules_) {
            const std::string slot = std::to_string(p.slot);
            const std::string file = reportFolder_ + "/slot-" + slot + ".txt";
            std::ofstream out(file);
            if (!out) {
                CannotWrite(file);
                continue;
            }
            const Counters c = p.module->GetCounters();
            out << "slot " << slot << "\ntime " << p.module->Now() << "\npackets " << c.packetsTaken
                << "\nexchanges " << c.exchangesAnswered << "\nreads " << c.busReads << "\nwrites " << c.busWrites
                << "\ngaps " << c.sequenceGaps << "\ndrops " << c.droppedPackets << "\nunsimulated "
                << c.unsimulated << '\n';
            for (const auto& unused : p.module->Unsimulated()) {
                out << "unused " << unsigned(unused.first) << ' ' << unused.second << ' '
                    << CodeName(unused.first, LogEntry::Kind::Packet) << '\n';
            }
            for (int i = 0; i < kAxisCount; ++i) {
                const AxisStatus a = p.module->Axis(i);
                char line[64];
                std::snprintf(line, sizeof line, "axis %d %d %d 0x%04X\n", i + 1, a.lp, a.ep, unsigned(a.errorCode));
                out << line;
                std::snprintf(line, sizeof line, "io %d 0x%02X 0x%04X %d\n", i + 1, unsigned(a.outputs),
                              unsigned(a.inputs), a.latch);
                out << line;
            }
            if (keepTrail_) {
                const std::string trailFile = reportFolder_ + "/trail-" + slot + ".csv";
                std::ofstream trail(trailFile);
                trail << "time_s,lp1,lp2,lp3,lp4\n";
                for (const TrailPoint& t : p.module->TakeTrail()) {
                    trail << t.time << ',' << t.lp[0] << ',' << t.lp[1] << ',' << t.lp[2] << ',' << t.lp[3] << '\n';
                }
                trail.flush();
                if (!trail) {
                    CannotWrite(trailFile);
                }
            }
            out.flush();
            if (!out) {
                CannotWrite(file);
            }
        }
    }

    std::unique_ptr<EnvironmentScenario> scenario_;
    std::vector<Plugged> modules_;
    std::string reportFolder_;
    std::string eventsFile_;
    bool keepTrail_;
    bool tracePackets_;
    bool traceQueries_;
    std::ofstream events_;
    std::thread reporter_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool quit_ = false;
    bool disowned_ = false;
};

std::mutex gSetUp;
EnvironmentSession* gSession = nullptr;
int gResult = 0;
bool gDone = false;

void DisownInChild()
{
    if (gSession != nullptr) {
        gSession->Disown();
    }
}

// The monitor of VELKOR_SIM_MONITOR and VELKOR_SIM_MONITOR_RECORD, if asked
// for; false when it cannot start.
bool StartMonitorFromEnvironment()
{
    MonitorOptions options;
    options.path = Variable("VELKOR_SIM_MONITOR");
    options.recordFile = Variable("VELKOR_SIM_MONITOR_RECORD");
    const std::string rate = Variable("VELKOR_SIM_MONITOR_RECORD_RATE");
    if (!rate.empty()) {
        options.recordRate = std::atof(rate.c_str());
    }
    if (options.path.empty() && options.recordFile.empty()) {
        return true;
    }
    if (!options.recordFile.empty()) {
        // A signal that ends the program still ends the session file; set up
        // before the monitor starts writing, so that no signal comes between.
        monitor::EndRecordingOnSignals();
    }
    std::string error;
    if (!StartMonitor(options, error)) {
        std::fprintf(stderr, "velkor_sim: VELKOR_SIM_MONITOR: %s\n", error.c_str());
        return false;
    }
    return true;
}

void EndSession()
{
    StopMonitor(); // its session file ends with the modules as they stand
    std::lock_guard<std::mutex> hold(gSetUp);
    delete gSession;
    gSession = nullptr;
}

} // namespace
} // namespace velkor_sim

extern "C" int VelkorSim_PlugFromEnvironment(void)
{
    using namespace velkor_sim;
    std::lock_guard<std::mutex> hold(gSetUp);
    if (gDone) {
        return gResult;
    }
    gDone = true;
    std::vector<ModuleSpec> specs;
    std::string error;
    if (!ParseModuleList(Variable("VELKOR_SIM_MODULES"), specs, error)) {
        std::fprintf(stderr, "velkor_sim: VELKOR_SIM_MODULES: %s\n", error.c_str());
        gResult = -1;
        return gResult;
    }
    if (specs.empty()) {
        return 0;
    }
    ScopeSettings scope;
    const char* scopeText = std::getenv("VELKOR_SIM_SCOPE");
    if (scopeText != nullptr && !ParseScopeSettings(scopeText, scope, error)) {
        std::fprintf(stderr, "velkor_sim: VELKOR_SIM_SCOPE: %s\n", error.c_str());
        gResult = -1;
        return gResult;
    }
    if (!StartMonitorFromEnvironment()) {
        gResult = -1;
        return gResult;
    }
    error.clear();
    std::unique_ptr<EnvironmentScenario> scenario = EnvironmentScenario::FromEnvironment(error);
    if (!error.empty()) {
        std::fprintf(stderr, "velkor_sim: %s\n", error.c_str());
        gResult = -1;
        return gResult;
    }
    gSession = new EnvironmentSession(std::move(specs), Variable("VELKOR_SIM_REPORT"), Variable("VELKOR_SIM_EVENTS"),
                                      Variable("VELKOR_SIM_RECORD"), scopeText != nullptr ? &scope : nullptr,
                                      std::move(scenario));
    gResult = gSession->Count();
    detail::OnFork(nullptr, nullptr, &DisownInChild);
    std::atexit(EndSession);
    return gResult;
}
