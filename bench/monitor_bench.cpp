// The monitor's cost to the modules: seven modules on the real-time clock,
// each moving its four axes, with one client subscribed to samples of all of
// them at 1 kHz against the same client subscribed to nothing, in turns of
// the same run:
//  - the processor time of the modules and the monitor per real second
//    (the client's own thread left out);
//  - packets per second into module 1 through the library, flat out;
//  - the latency from the motion step a sample was taken at to its arrival
//    at the client (p50, p99).
#include <Velkor.h>
#include <benchmark/benchmark.h>
#include <brelan/backplane.h>
#include <velkor_sim/monitor.h>
#include <velkor_sim/virtual_module.h>

#include "process_time.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kModules = 7;

using velkor_bench::ProcessCpuSeconds;
using velkor_bench::Seconds;

double ThreadCpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

double Monotonic()
{
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

// One client reading samples in a thread of its own: latencies, count, and
// the processor time it spent itself.
class Subscriber {
public:
    explicit Subscriber(const std::string& path)
    {
        std::string error, line;
        if (!client_.Connect(path, error) || !client_.ReadLine(line, 5000)) {
            return;
        }
        thread_ = std::thread([this] { Read(); });
    }
    void Subscribe(int rate) { client_.Send(R"({"id":1,"cmd":"subscribe","rate":)" + std::to_string(rate) + "}"); }
    ~Subscriber()
    {
        quit_ = true;
        if (thread_.joinable()) {
            thread_.join();
        }
    }
    void Counting(bool on) { counting_ = on; }
    std::vector<double> latencies;
    std::uint64_t samples = 0;
    std::uint64_t lost = 0;
    std::atomic<double> cpu{0};

private:
    void Read()
    {
        const double cpuStart = ThreadCpuSeconds();
        std::string line;
        while (!quit_) {
            cpu = ThreadCpuSeconds() - cpuStart;
            if (!client_.ReadLine(line, 20)) {
                if (!client_.TimedOut()) {
                    break;
                }
                continue;
            }
            const double now = Monotonic();
            // Cheap field reads: the "mono" and "lost" of a sample line.
            if (line.rfind("{\"type\":\"sample\"", 0) != 0 || !counting_) {
                continue;
            }
            const auto mono = line.find("\"mono\":");
            const auto lostAt = line.find("\"lost\":");
            if (mono != std::string::npos) {
                latencies.push_back(now - std::strtod(line.c_str() + mono + 7, nullptr));
            }
            if (lostAt != std::string::npos) {
                lost += std::strtoull(line.c_str() + lostAt + 7, nullptr, 10);
            }
            ++samples;
        }
        cpu = ThreadCpuSeconds() - cpuStart;
    }
    velkor_sim::MonitorClient client_;
    std::thread thread_;
    std::atomic<bool> quit_{false};
    std::atomic<bool> counting_{false};
};

double PacketsPerSecond(std::chrono::milliseconds time)
{
    std::uint64_t n = 0;
    const auto start = Clock::now();
    while (Clock::now() - start < time) {
        for (int i = 0; i < 64; ++i) {
            Velkor_SET_V(0, 1, 1000);
        }
        n += 64;
    }
    return double(n) / Seconds(Clock::now() - start);
}

double Percentile(std::vector<double> v, double p)
{
    if (v.empty()) {
        return 0;
    }
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, static_cast<std::size_t>(p * double(v.size())))];
}

void BM_MonitorOneClientSevenModules(benchmark::State& state)
{
    const auto span = std::chrono::milliseconds(1000);
    for (auto _ : state) {
        brelan::Reset();
        char folder[] = "/tmp/velkor-monitor-bench-XXXXXX";
        if (mkdtemp(folder) == nullptr) {
            state.SkipWithError("no temporary folder");
            return;
        }
        const std::string path = std::string(folder) + "/m";
        velkor_sim::MonitorOptions options;
        options.path = path;
        std::string error;
        if (!velkor_sim::StartMonitor(options, error)) {
            state.SkipWithError(error.c_str());
            return;
        }
        velkor_sim::ModuleOptions moduleOptions;
        moduleOptions.clock = velkor_sim::ClockKind::RealTime;
        std::vector<std::unique_ptr<velkor_sim::VirtualModule>> modules;
        for (int c = 0; c < kModules; ++c) {
            modules.push_back(std::make_unique<velkor_sim::VirtualModule>(moduleOptions));
            modules.back()->PlugInto(static_cast<std::uint8_t>(c + 1));
            const auto card = static_cast<std::uint8_t>(c);
            Velkor_REGISTRATION(card, static_cast<std::uint8_t>(c + 1));
            Velkor_SET_V(card, 15, 10000);
            Velkor_CONTINUE_MOVE(card, 15, 1);
        }
        // In turns: subscribed to nothing, then to samples at 1 kHz; processor
        // time (the client's thread left out), then packets.
        double cpuWith = 0, cpuWithout = 0, packetsWith = 0, packetsWithout = 0, clientCpu = 0;
        std::vector<double> latencies;
        std::uint64_t samples = 0, lost = 0;
        {
            Subscriber client(path);
            for (int turn = 0; turn < 6; ++turn) {
                const bool with = turn % 2 == 1;
                client.Subscribe(with ? 1000 : 0);
                std::this_thread::sleep_for(std::chrono::milliseconds(150));
                client.Counting(with);
                const double clientBefore = client.cpu;
                const double cpu = ProcessCpuSeconds();
                const auto start = Clock::now();
                std::this_thread::sleep_for(span);
                const double seconds = Seconds(Clock::now() - start);
                const double ownCpu = (client.cpu - clientBefore) / seconds;
                (with ? cpuWith : cpuWithout) += ((ProcessCpuSeconds() - cpu) / seconds - ownCpu) / 3;
                if (with) {
                    clientCpu += ownCpu / 3;
                }
                (with ? packetsWith : packetsWithout) += PacketsPerSecond(std::chrono::milliseconds(700)) / 3;
                client.Counting(false);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            samples = client.samples;
            lost = client.lost;
            latencies = client.latencies;
        }
        for (int c = 0; c < kModules; ++c) {
            Velkor_STOP_SUDDENLY(static_cast<std::uint8_t>(c), 15);
            Velkor_CLEAR_STOP(static_cast<std::uint8_t>(c));
        }
        velkor_sim::StopMonitor();
        for (auto& m : modules) {
            m->Unplug();
        }
        rmdir(folder);
        state.counters["core_fraction_without"] = cpuWithout;
        state.counters["core_fraction_with"] = cpuWith;
        state.counters["extra_core_fraction"] = cpuWith - cpuWithout;
        state.counters["client_core_fraction"] = clientCpu;
        state.counters["packets_per_s_without"] = packetsWithout;
        state.counters["packets_per_s_with"] = packetsWith;
        state.counters["packet_ratio"] = packetsWith / packetsWithout;
        state.counters["samples"] = double(samples);
        state.counters["samples_lost"] = double(lost);
        state.counters["latency_p50_us"] = Percentile(latencies, 0.5) * 1e6;
        state.counters["latency_p99_us"] = Percentile(latencies, 0.99) * 1e6;
    }
}
BENCHMARK(BM_MonitorOneClientSevenModules)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

} // namespace
