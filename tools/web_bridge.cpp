#include "web_bridge.h"

#include "session_end.h"

#include <nlohmann/json.hpp>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fstream>
#include <set>
#include <sstream>

namespace velkor_tool {

namespace {

using Json = nlohmann::json;

constexpr int kCallTimeoutMs = 10000;
constexpr int kPollMs = 250;
constexpr std::size_t kMaxLine = 16 * 1024 * 1024; // a monitor line longer than this ends the link
constexpr std::size_t kMaxSession = 512u * 1024 * 1024;

// The commands a page may send: what the machine around a module does, and
// reads. Subscriptions are the bridge's, shared by every page.
const std::set<std::string> kPageCommands = {
    "hello", "list", "status", "set_inputs", "switch", "move_switch", "drive_alarm", "jog", "handwheel",
    "remote_input", "latch", "pause", "resume", "step", "speed", "scope_arm", "scope_stop", "scope_read",
    "trail_read"};

std::string ErrorJson(const std::string& message)
{
    return Json{{"error", message}}.dump();
}

int ConnectUnix(const std::string& path, std::string& error)
{
    sockaddr_un address{};
    if (path.size() >= sizeof address.sun_path) {
        error = "the monitor's path is too long: " + path;
        return -1;
    }
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        error = std::strerror(errno);
        return -1;
    }
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        error = "cannot connect to " + path + ": " + std::strerror(errno);
        ::close(fd);
        return -1;
    }
    return fd;
}

// Reads one line (without its end) from fd into line, with buffer as the
// bytes read past it. False at the end of the connection or on an overlong line.
bool ReadLine(int fd, std::string& buffer, std::string& line)
{
    for (;;) {
        const std::size_t end = buffer.find('\n');
        if (end != std::string::npos) {
            line.assign(buffer, 0, end);
            buffer.erase(0, end + 1);
            if (!line.empty() && line.back() == '\r') {
                line.pop_back();
            }
            return true;
        }
        if (buffer.size() > kMaxLine) {
            return false;
        }
        char chunk[65536];
        const ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
        if (n <= 0) {
            if (n < 0 && errno == EINTR) {
                continue;
            }
            return false;
        }
        buffer.append(chunk, static_cast<std::size_t>(n));
    }
}

} // namespace

// ---- MonitorBridge -------------------------------------------------------------

MonitorBridge::MonitorBridge(WebStream& stream, std::string endpoint, double sampleRate)
    : stream_(stream), endpoint_(std::move(endpoint)), rate_(sampleRate)
{
}

MonitorBridge::~MonitorBridge()
{
    Close();
}

bool MonitorBridge::Connect(int timeoutMs, std::string& error, const std::function<bool()>& giveUp)
{
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    int fd = -1;
    for (;;) {
        fd = ConnectUnix(endpoint_, error);
        if (fd >= 0 || std::chrono::steady_clock::now() > until || (giveUp && giveUp())) {
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (fd < 0) {
        return false;
    }
    timeval wait{5, 0}; // the greeting comes at once
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
    {
        // Pages may ask for the bridge's state meanwhile.
        std::lock_guard<std::mutex> lock(mutex_);
        fd_ = fd;
    }
    std::string buffer;
    std::string line;
    if (!ReadLine(fd_, buffer, line)) {
        error = "the monitor at " + endpoint_ + " sent no greeting";
        Close();
        return false;
    }
    const Json hello = Json::parse(line, nullptr, false);
    if (!hello.is_object() || hello.value("protocol", "") != "velkor-monitor" || hello.value("version", 0) != 1) {
        error = endpoint_ + " is not a velkor monitor of version 1";
        Close();
        return false;
    }
    wait = timeval{0, 0};
    ::setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        hello_ = line;
    }
    reader_ = std::thread([this, buffer] { ReadLoop(buffer); });
    std::string reply;
    const Json subscribe = {{"cmd", "subscribe"}, {"rate", rate_}, {"events", "all"}};
    if (!Call(subscribe.dump(), reply, kCallTimeoutMs)) {
        error = "the monitor did not answer the subscription";
        Close();
        return false;
    }
    poller_ = std::thread([this] { PollLoop(); });
    return true;
}

bool MonitorBridge::Send(const std::string& line)
{
    std::lock_guard<std::mutex> lock(sendMutex_);
    std::size_t done = 0;
    while (done < line.size()) {
        const ssize_t n = ::send(fd_, line.data() + done, line.size() - done, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

void MonitorBridge::ReadLoop(std::string buffer)
{
    std::string line;
    while (ReadLine(fd_, buffer, line)) {
        if (line.empty()) {
            continue;
        }
        // Replies go to whoever asked; everything else to the pages as it is.
        if (line.compare(0, 16, "{\"type\":\"reply\",") == 0 ||
            (line.find("\"reply\"") != std::string::npos && line.find("\"sample\"") == std::string::npos)) {
            const Json reply = Json::parse(line, nullptr, false);
            if (reply.is_object() && reply.value("type", "") == "reply") {
                const auto id = reply.find("id");
                if (id != reply.end() && id->is_number_integer()) {
                    std::lock_guard<std::mutex> lock(mutex_);
                    if (waiting_.count(id->get<long long>()) != 0) {
                        replies_[id->get<long long>()] = line;
                        changed_.notify_all();
                    }
                }
                continue;
            }
        }
        stream_.Publish(line);
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        closed_ = true;
    }
    changed_.notify_all();
    stream_.Publish("{\"type\":\"link\",\"connected\":false}");
}

bool MonitorBridge::Call(std::string request, std::string& reply, int timeoutMs)
{
    long long id = 0;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (closed_ || fd_ < 0) {
            return false;
        }
        id = nextId_++;
        waiting_[id] = true;
    }
    // The request object with the bridge's id in front: {"id":N,...}.
    request = "{\"id\":" + std::to_string(id) + (request.size() > 2 ? "," : "") + request.substr(1) + "\n";
    bool answered = false;
    if (Send(request)) {
        std::unique_lock<std::mutex> lock(mutex_);
        answered = changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                     [&] { return closed_ || stopping_ || replies_.count(id) != 0; }) &&
                   replies_.count(id) != 0;
        if (answered) {
            reply = std::move(replies_[id]);
        }
    }
    std::lock_guard<std::mutex> lock(mutex_);
    replies_.erase(id);
    waiting_.erase(id);
    return answered;
}

void MonitorBridge::PollLoop()
{
    std::unique_lock<std::mutex> lock(mutex_);
    while (!stopping_ && !closed_) {
        lock.unlock();
        std::string reply;
        if (Call("{\"cmd\":\"list\"}", reply, kCallTimeoutMs)) {
            Json list = Json::parse(reply, nullptr, false);
            if (list.is_object() && list.value("ok", false) && list["result"].is_object()) {
                Json modules = list["result"];
                modules["type"] = "modules";
                stream_.Publish(modules.dump());
                for (const auto& m : modules.value("modules", Json::array())) {
                    if (!m.is_object() || !m.contains("slot")) {
                        continue;
                    }
                    const Json ask = {{"cmd", "status"}, {"slot", m["slot"]}};
                    if (!Call(ask.dump(), reply, kCallTimeoutMs)) {
                        break;
                    }
                    Json status = Json::parse(reply, nullptr, false);
                    if (status.is_object() && status.value("ok", false) && status["result"].is_object()) {
                        Json s = std::move(status["result"]);
                        s["type"] = "status";
                        stream_.Publish(s.dump());
                    }
                }
            }
        }
        lock.lock();
        changed_.wait_for(lock, std::chrono::milliseconds(kPollMs), [&] { return stopping_ || closed_; });
    }
}

bool MonitorBridge::WaitClosed(int stopMs)
{
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(stopMs), [&] { return closed_; });
}

void MonitorBridge::Close()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    if (fd_ >= 0) {
        ::shutdown(fd_, SHUT_RDWR);
    }
    if (poller_.joinable()) {
        poller_.join();
    }
    if (reader_.joinable()) {
        reader_.join();
    }
    std::lock_guard<std::mutex> lock(mutex_);
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

std::string MonitorBridge::Info()
{
    std::lock_guard<std::mutex> lock(mutex_);
    Json info = {{"mode", "live"}, {"endpoint", endpoint_}, {"connected", fd_ >= 0 && !closed_}, {"rate", rate_}};
    info["hello"] = hello_.empty() ? Json(nullptr) : Json::parse(hello_, nullptr, false);
    return info.dump();
}

int MonitorBridge::Request(const std::string& body, std::string& reply)
{
    Json request = Json::parse(body, nullptr, false);
    if (!request.is_object()) {
        reply = ErrorJson("the body must be one JSON object");
        return 400;
    }
    const auto cmd = request.find("cmd");
    if (cmd == request.end() || !cmd->is_string() || kPageCommands.count(cmd->get<std::string>()) == 0) {
        reply = ErrorJson("not a command the page may send");
        return 400;
    }
    request.erase("id");
    if (!Call(request.dump(), reply, kCallTimeoutMs)) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (closed_) {
            // The page asked as the application ended: an answer, not a fault of the page's link.
            reply = Json{{"type", "reply"}, {"id", nullptr}, {"ok", false},
                         {"error", {{"code", "ended"}, {"message", "the application ended"}}}}.dump();
            return 200;
        }
        reply = ErrorJson("the monitor did not answer (the application may have ended)");
        return 503;
    }
    return 200;
}

// ---- SessionFile -----------------------------------------------------------------

bool SessionFile::Open(std::string& error)
{
    std::ifstream in(file_, std::ios::binary);
    if (!in) {
        error = "cannot read " + file_;
        return false;
    }
    std::string first;
    std::getline(in, first);
    const Json header = Json::parse(first, nullptr, false);
    if (!header.is_object() || header.value("type", "") != "session" || header.value("protocol", "") != "velkor-monitor") {
        error = file_ + " is not a session recorded by velkor run --record";
        return false;
    }
    in.seekg(0, std::ios::end);
    if (static_cast<std::size_t>(in.tellg()) > kMaxSession) {
        error = file_ + " is larger than the page opens (512 MiB)";
        return false;
    }
    header_ = first;
    cut_ = SessionCut(file_);
    if (!cut_.empty()) {
        std::fprintf(stderr, "velkor web: %s: %s\n", file_.c_str(), cut_.c_str());
    }
    return true;
}

std::string SessionFile::Info()
{
    Json info = {{"mode", "session"}, {"file", file_}};
    info["header"] = Json::parse(header_, nullptr, false);
    if (!cut_.empty()) {
        info["cut"] = cut_; // the session did not end as it should
    }
    return info.dump();
}

int SessionFile::Request(const std::string&, std::string& reply)
{
    reply = ErrorJson("a recorded session takes no actions");
    return 409;
}

bool SessionFile::Session(std::string& content)
{
    std::ifstream in(file_, std::ios::binary);
    if (!in) {
        return false;
    }
    std::ostringstream all;
    all << in.rdbuf();
    content = all.str();
    return true;
}

} // namespace velkor_tool
