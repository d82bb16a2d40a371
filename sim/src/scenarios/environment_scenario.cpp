// A scenario and a time limit for the modules of an unchanged program
// (scenarios/environment_scenario.h).
#include "scenarios/environment_scenario.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <new>
#include <sstream>

namespace velkor_sim {
namespace {

constexpr std::chrono::milliseconds kTick{10};

} // namespace

std::unique_ptr<EnvironmentScenario> EnvironmentScenario::FromEnvironment(std::string& error)
{
    const char* file = std::getenv("VELKOR_SIM_SCENARIO");
    const char* limitText = std::getenv("VELKOR_SIM_TIME_LIMIT");
    if ((file == nullptr || *file == '\0') && (limitText == nullptr || *limitText == '\0')) {
        return nullptr;
    }
    Scenario scenario;
    if (file != nullptr && *file != '\0' && !LoadScenario(file, scenario, error)) {
        return nullptr;
    }
    double limit = scenario.timeLimit;
    if (limitText != nullptr && *limitText != '\0') {
        char* end = nullptr;
        limit = std::strtod(limitText, &end);
        if (*end != '\0' || !(limit > 0 && limit <= 86400)) {
            error = std::string("VELKOR_SIM_TIME_LIMIT '") + limitText + "' is out of range: more than 0, at most 86400";
            return nullptr;
        }
    }
    return std::unique_ptr<EnvironmentScenario>(new EnvironmentScenario(std::move(scenario), limit));
}

EnvironmentScenario::~EnvironmentScenario()
{
    if (thread_.joinable()) {
        {
            std::lock_guard<std::mutex> hold(mutex_);
            quit_ = true;
        }
        wake_.notify_all();
        thread_.join();
    }
}

void EnvironmentScenario::Start(const std::vector<std::pair<std::uint8_t, VirtualModule*>>& modules,
                                std::string reportFolder, std::function<void()> writeReports)
{
    // Modules the file does not describe are watched too, on their own
    // machine, so that the limit can say where their mailboxes stand.
    for (const auto& m : modules) {
        if (scenario_.Slot(m.first) == nullptr) {
            ScenarioSlot plain;
            plain.slot = m.first;
            for (int i = 0; i < kAxisCount; ++i) {
                plain.machine[i] = m.second->Machine(i);
            }
            scenario_.slots.push_back(plain);
        }
    }
    run_ = std::make_unique<ScenarioRun>(scenario_);
    for (const auto& m : modules) {
        std::string error;
        if (!run_->Attach(m.first, *m.second, error)) {
            std::fprintf(stderr, "velkor_sim: scenario: slot %u: %s\n", unsigned(m.first), error.c_str());
        }
    }
    folder_ = std::move(reportFolder);
    writeReports_ = std::move(writeReports);
    thread_ = std::thread([this] { Watch(); });
}

void EnvironmentScenario::Watch()
{
    const auto start = std::chrono::steady_clock::now();
    const auto end = start + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                                 std::chrono::duration<double>(limit_ > 0 ? limit_ : 1e9));
    std::unique_lock<std::mutex> hold(mutex_);
    while (!quit_ && !written_) {
        wake_.wait_for(hold, kTick);
        if (quit_ || written_) {
            return;
        }
        hold.unlock();
        run_->Tick();
        const bool over = limit_ > 0 && std::chrono::steady_clock::now() >= end;
        hold.lock();
        if (over) {
            hold.unlock();
            Write(true);
            if (writeReports_) {
                writeReports_();
            }
            std::fflush(nullptr);
            std::_Exit(kTimeLimitExitCode);
        }
    }
}

void EnvironmentScenario::Finish()
{
    {
        std::lock_guard<std::mutex> hold(mutex_);
        quit_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) {
        thread_.join();
    }
    Write(false);
}

void EnvironmentScenario::Disown()
{
    new (&thread_) std::thread();
    new (&mutex_) std::mutex();
    new (&wake_) std::condition_variable();
    written_ = true; // the parent's to write
}

void EnvironmentScenario::Write(bool limitReached)
{
    {
        std::lock_guard<std::mutex> hold(mutex_);
        if (written_ || run_ == nullptr) {
            return;
        }
        written_ = true;
    }
    std::ostringstream out;
    if (limitReached) {
        out << "limit " << limit_ << '\n';
    }
    std::istringstream waiting(run_->Where());
    std::string line;
    while (std::getline(waiting, line)) {
        out << "waiting " << line << '\n';
    }
    for (const std::string& fired : run_->Fired()) {
        out << "fired " << fired << '\n';
    }
    for (const CheckResult& r : run_->Finish(0, false)) {
        out << "result " << r.index << (r.passed ? " PASS " : " FAIL ") << r.measured << '\n';
    }
    if (!folder_.empty()) {
        std::ofstream file(folder_ + "/scenario.txt");
        file << out.str();
    }
}

} // namespace velkor_sim
