// What the bench page talks to: a running application's monitor endpoint
// (docs/monitor.md), bridged line by line, or a recorded session file.
#ifndef VELKOR_TOOLS_WEB_BRIDGE_H
#define VELKOR_TOOLS_WEB_BRIDGE_H

#include "web_server.h"

#include <atomic>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace velkor_tool {

// One connection to the monitor, shared by every page. It subscribes to the
// samples of every module at sampleRate and to every event, and passes them
// on to the pages as they come; four times a second it asks for the list of
// modules and the status of each, and passes the replies on as
// {"type":"modules",...} and {"type":"status",...STATUS} lines. The page's
// requests go to the monitor with an id of the bridge's, one at a time per
// page request, and come back with the monitor's reply.
class MonitorBridge : public WebBackend {
public:
    MonitorBridge(WebStream& stream, std::string endpoint, double sampleRate = 1000);
    ~MonitorBridge() override;

    // Connects, retrying while the endpoint is not there yet, for up to
    // timeoutMs or until giveUp() says so; reads the greeting and subscribes.
    bool Connect(int timeoutMs, std::string& error, const std::function<bool()>& giveUp = {});
    // Until the monitor closes the connection (its process ended), or stopMs.
    bool WaitClosed(int stopMs);
    void Close();

    std::string Info() override;
    int Request(const std::string& body, std::string& reply) override;

    // The reply's line for a request object (id set here), or false on a
    // timeout or a closed connection.
    bool Call(std::string requestWithoutId, std::string& reply, int timeoutMs);

private:
    void ReadLoop(std::string buffer); // buffer: what came after the greeting
    void PollLoop();
    bool Send(const std::string& line);

    WebStream& stream_;
    std::string endpoint_;
    double rate_;
    int fd_ = -1;
    std::string hello_;
    std::mutex sendMutex_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::map<long long, std::string> replies_;
    std::map<long long, bool> waiting_;
    long long nextId_ = 1;
    bool closed_ = false;
    bool stopping_ = false;
    std::thread reader_;
    std::thread poller_;
};

// A session file written by velkor run --record: the page reads it whole.
class SessionFile : public WebBackend {
public:
    explicit SessionFile(std::string file) : file_(std::move(file)) {}
    // Checks that the file is a session (its first line), or says why not.
    bool Open(std::string& error);
    std::string Info() override;
    int Request(const std::string& body, std::string& reply) override;
    bool Session(std::string& content) override;

private:
    std::string file_;
    std::string header_;
    std::string cut_; // why the session is incomplete, or empty
};

} // namespace velkor_tool

#endif
