// The monitor: a live channel into the virtual modules of this process for
// other processes (docs/monitor.md has the protocol). One monitor per
// process serves every module plugged into the virtual backplane, those
// plugged later included. VELKOR_SIM_MONITOR=PATH starts it with the modules
// from the environment; C programs call VelkorSim_StartMonitor.
#ifndef VELKOR_SIM_MONITOR_H
#define VELKOR_SIM_MONITOR_H

#include <cstdint>
#include <memory>
#include <string>

namespace velkor_sim {

struct MonitorOptions {
    std::string path;       // the endpoint (a socket, or on Windows an endpoint file); empty: none
    std::string recordFile; // a session file to record to (docs/monitor.md); empty: none
    double recordRate = 100; // samples per simulated second in the session file
};

// Starts the monitor; false, with the reason, when one runs already or the
// endpoint or file cannot be made.
bool StartMonitor(const MonitorOptions& options, std::string& error);
// Whether a monitor could open its endpoint at `path` (its folder belongs to
// the user and nobody else may write to it, nothing but an old socket is
// there); false with what is wrong. For a tool that starts a program with
// VELKOR_SIM_MONITOR=PATH and wants to say so before it starts.
bool CheckMonitorPath(const std::string& path, std::string& error);
// Stops it: the endpoint goes away, clients are disconnected, the session
// file gets its last lines. Nothing when none runs.
void StopMonitor();
bool MonitorRunning();

// A client's connection to a monitor, for the tool and tests: whole lines
// in and out.
class MonitorClient {
public:
    MonitorClient();
    ~MonitorClient();
    MonitorClient(const MonitorClient&) = delete;
    MonitorClient& operator=(const MonitorClient&) = delete;

    bool Connect(const std::string& path, std::string& error);
    // Sends one line (the newline is added).
    bool Send(const std::string& line);
    // The next line, without its newline; false when the connection ended or
    // nothing came within timeoutMs (TimedOut() tells which).
    bool ReadLine(std::string& line, int timeoutMs);
    bool TimedOut() const;
    void Close();

private:
    struct State;
    std::unique_ptr<State> state_;
};

} // namespace velkor_sim

#endif
