#include "web_command.h"

#include "run_folder.h"
#include "web_bridge.h"
#include "web_server.h"

#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <thread>

#include <velkor_sim/monitor.h>

namespace velkor_tool {

namespace {

constexpr int kUsageError = 2;
// After the application ended, the page is served this long more, so that a
// page open on it receives the final state and "the application ended".
constexpr int kFinalPageMs = 1000;
// How long the monitor may take to send the final state and close.
constexpr int kFinalStateMs = 3000;
std::atomic<bool> gInterrupted{false};

extern "C" void OnInterrupt(int)
{
    gInterrupted = true;
}

// Ctrl-C and SIGTERM end the serving loops; a page that goes away while the
// server writes to it must not end the tool.
void SetUpSignals()
{
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGINT, OnInterrupt);
    std::signal(SIGTERM, OnInterrupt);
}

// A folder of this user's alone for the monitor's socket.
class PrivateFolder {
public:
    PrivateFolder()
    {
        std::string base = TemporaryBase();
        if (base.size() > 60) { // the socket's path must stay under the Unix socket limit
            base = "/tmp";
        }
        std::string error;
        path_ = MakeOwnedFolder(base, "velkor-web-", error); // cleared by the next velkor if this one is killed
    }
    ~PrivateFolder()
    {
        if (!path_.empty()) {
            std::error_code ignored;
            std::filesystem::remove_all(path_, ignored);
        }
    }
    bool ok() const { return !path_.empty(); }
    std::string Socket() const { return path_ + "/monitor.sock"; }

private:
    std::string path_;
};

WebServerOptions ServerOptions(const WebOptions& options)
{
    WebServerOptions o;
    o.port = options.port;
    return o;
}

bool StartServer(WebServer& server, const char* what)
{
    std::string error;
    if (!server.Start(error)) {
        std::fprintf(stderr, "velkor %s: %s\n", what, error.c_str());
        return false;
    }
    std::fprintf(stderr, "velkor %s: the bench page is at %s\n", what, server.Url().c_str());
    std::fflush(stderr);
    return true;
}

// The final state is on its way to the pages (or there already): they get a
// moment to take it before the server goes.
void ServeFinalPage()
{
    for (int waited = 0; waited < kFinalPageMs && !gInterrupted; waited += 50) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

} // namespace

int RunWeb(const std::string& target, const WebOptions& options)
{
    SetUpSignals();
    struct stat info{};
    if (::stat(target.c_str(), &info) != 0) {
        std::fprintf(stderr, "velkor web: %s: no such monitor endpoint or session file\n", target.c_str());
        return kUsageError;
    }
    WebStream stream;
    if (S_ISSOCK(info.st_mode)) {
        MonitorBridge bridge(stream, target, options.sampleRate);
        std::string error;
        if (!bridge.Connect(5000, error)) {
            std::fprintf(stderr, "velkor web: %s\n", error.c_str());
            return 1;
        }
        WebServer server(bridge, stream, ServerOptions(options));
        if (!StartServer(server, "web")) {
            return 1;
        }
        while (!gInterrupted && !bridge.WaitClosed(200)) {
        }
        std::fprintf(stderr, "velkor web: %s\n", gInterrupted ? "ended" : "the monitor closed: the application ended");
        std::fflush(stderr);
        if (!gInterrupted) {
            ServeFinalPage();
        }
        server.Stop();
        return 0;
    }
    SessionFile session(target);
    std::string error;
    if (!session.Open(error)) {
        std::fprintf(stderr, "velkor web: %s\n", error.c_str());
        return 1;
    }
    WebServer server(session, stream, ServerOptions(options));
    if (!StartServer(server, "web")) {
        return 1;
    }
    std::fprintf(stderr, "velkor web: showing the session %s until Ctrl-C\n", target.c_str());
    std::fflush(stderr);
    while (!gInterrupted) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    server.Stop();
    return 0;
}

int RunProgramWithWeb(const RunOptions& run, const WebOptions& options)
{
    // The application opens its monitor where the page's bridge looks for
    // it: at --monitor PATH when given (other clients may use it too), else
    // in a folder of the tool's own.
    std::unique_ptr<PrivateFolder> folder;
    RunOptions withMonitor = run;
    if (withMonitor.monitorPath.empty()) {
        folder = std::make_unique<PrivateFolder>();
        if (!folder->ok()) {
            std::fprintf(stderr, "velkor run: cannot make a folder for the monitor's socket\n");
            return kUsageError;
        }
        withMonitor.monitorPath = folder->Socket();
    }
    std::signal(SIGPIPE, SIG_IGN);
    WebStream stream;
    MonitorBridge bridge(stream, withMonitor.monitorPath, options.sampleRate);
    WebServer server(bridge, stream, ServerOptions(options));
    if (!StartServer(server, "run")) {
        return kUsageError;
    }
    std::atomic<bool> ended{false};
    std::atomic<bool> linked{false};
    std::thread link([&] {
        std::string error;
        linked = bridge.Connect(24 * 3600 * 1000, error, [&] { return ended.load(); });
        if (!linked && !ended) {
            std::fprintf(stderr, "velkor run: the page has no monitor: %s\n", error.c_str());
        }
    });
    const int code = RunProgram(withMonitor);
    ended = true;
    link.join();
    // The program's monitor sent each module's final state as it stopped.
    if (linked && bridge.WaitClosed(kFinalStateMs)) {
        ServeFinalPage();
    }
    bridge.Close();
    server.Stop();
    return code;
}

int RunDemoWithWeb(const DemoOptions& demo, const WebOptions& options)
{
    PrivateFolder folder;
    velkor_sim::MonitorOptions monitor;
    monitor.path = folder.Socket();
    std::string error;
    if (!folder.ok() || !velkor_sim::StartMonitor(monitor, error)) {
        std::fprintf(stderr, "velkor demo: cannot start the monitor: %s\n", error.c_str());
        return 1;
    }
    SetUpSignals();
    WebStream stream;
    MonitorBridge bridge(stream, folder.Socket(), options.sampleRate);
    if (!bridge.Connect(5000, error)) {
        std::fprintf(stderr, "velkor demo: %s\n", error.c_str());
        velkor_sim::StopMonitor();
        return 1;
    }
    WebServer server(bridge, stream, ServerOptions(options));
    if (!StartServer(server, "demo")) {
        velkor_sim::StopMonitor();
        return 1;
    }
    std::fprintf(stderr, "velkor demo: the demo starts when the page is open\n");
    std::fflush(stderr);
    while (stream.Listeners() == 0 && !gInterrupted) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    const int code = gInterrupted ? 130 : RunDemo(demo);
    // The demo's module sent its final state as it went; the monitor ends
    // the page's link as a program's would.
    velkor_sim::StopMonitor();
    if (!gInterrupted && bridge.WaitClosed(kFinalStateMs)) {
        ServeFinalPage();
    }
    bridge.Close();
    server.Stop();
    return code;
}

} // namespace velkor_tool
