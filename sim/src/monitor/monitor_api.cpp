// Starting and stopping the process's monitor (velkor_sim/monitor.h and the
// C calls of velkor_sim.h), and the client connection of the tool and tests.
#include "monitor/record_signals.h"
#include "monitor/server.h"
#include "velkor_sim/velkor_sim.h"

#include <cstdio>

namespace velkor_sim {
namespace {

std::mutex gMonitorMutex;
monitor::Core* gMonitor = nullptr;

} // namespace

bool StartMonitor(const MonitorOptions& options, std::string& error)
{
    std::lock_guard<std::mutex> hold(gMonitorMutex);
    if (gMonitor != nullptr) {
        error = "a monitor runs already in this process";
        return false;
    }
    std::unique_ptr<monitor::Core> core(new monitor::Core);
    if (!core->Start(options, error)) {
        return false;
    }
    gMonitor = core.release();
    return true;
}

bool CheckMonitorPath(const std::string& path, std::string& error)
{
    return monitor::CheckEndpointPath(path, error);
}

void StopMonitor()
{
    monitor::StopMonitorCut(std::string());
}

namespace monitor {

void StopMonitorCut(const std::string& cut)
{
    Core* core;
    {
        std::lock_guard<std::mutex> hold(gMonitorMutex);
        core = gMonitor;
        gMonitor = nullptr;
    }
    if (core != nullptr) {
        core->Stop(cut);
    }
    delete core;
}

} // namespace monitor

bool MonitorRunning()
{
    std::lock_guard<std::mutex> hold(gMonitorMutex);
    return gMonitor != nullptr;
}

struct MonitorClient::State {
    monitor::Socket socket = monitor::kNoSocket;
    monitor::LineBuffer in;
    bool timedOut = false;
};

MonitorClient::MonitorClient() : state_(new State) {}
MonitorClient::~MonitorClient() { Close(); }

bool MonitorClient::Connect(const std::string& path, std::string& error)
{
    Close();
    state_->in = monitor::LineBuffer();
    state_->socket = monitor::ConnectEndpoint(path, error);
    return state_->socket != monitor::kNoSocket;
}

bool MonitorClient::Send(const std::string& line)
{
    const std::string text = line + "\n";
    std::size_t sent = 0;
    while (state_->socket != monitor::kNoSocket && sent < text.size()) {
        const long n = monitor::SendSome(state_->socket, text.data() + sent, text.size() - sent);
        if (n < 0) {
            return false;
        }
        sent += static_cast<std::size_t>(n);
    }
    return sent == text.size();
}

bool MonitorClient::ReadLine(std::string& line, int timeoutMs)
{
    state_->timedOut = false;
    for (;;) {
        if (state_->in.Next(line)) {
            return true;
        }
        if (state_->socket == monitor::kNoSocket || state_->in.Overflowed()) {
            return false;
        }
        std::vector<monitor::PollItem> items(1);
        items[0].socket = state_->socket;
        if (!monitor::PollSockets(items, timeoutMs) || !items[0].readable) {
            state_->timedOut = true;
            return false;
        }
        char buffer[16384];
        const long n = monitor::ReceiveSome(state_->socket, buffer, sizeof buffer);
        if (n == -1) {
            continue;
        }
        if (n <= 0) {
            Close();
            return state_->in.Next(line);
        }
        state_->in.Append(buffer, static_cast<std::size_t>(n));
    }
}

bool MonitorClient::TimedOut() const { return state_->timedOut; }

void MonitorClient::Close()
{
    monitor::CloseSocket(state_->socket);
    state_->socket = monitor::kNoSocket;
}

} // namespace velkor_sim

extern "C" int VelkorSim_StartMonitor(const char* path)
{
    if (path == nullptr) {
        return 0;
    }
    velkor_sim::MonitorOptions options;
    options.path = path;
    std::string error;
    if (!velkor_sim::StartMonitor(options, error)) {
        std::fprintf(stderr, "velkor_sim: monitor: %s\n", error.c_str());
        return 0;
    }
    return 1;
}

extern "C" void VelkorSim_StopMonitor(void) { velkor_sim::StopMonitor(); }
