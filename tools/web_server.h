// The bench page's HTTP server: the page itself, a stream of the machine's
// samples and events (server-sent events), and the actions the page asks for.
// It listens on 127.0.0.1 only and answers only requests that carry its
// token and come from its own page.
#ifndef VELKOR_TOOLS_WEB_SERVER_H
#define VELKOR_TOOLS_WEB_SERVER_H

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace velkor_tool {

// What the page talks to: a running application's monitor or a recorded session.
class WebBackend {
public:
    virtual ~WebBackend() = default;
    // A JSON object: what is shown (live or session), the modules, ...
    virtual std::string Info() = 0;
    // One action or query of the page, a JSON object. Returns the HTTP status
    // (200 with the reply, 4xx/5xx with a JSON {"error": ...}).
    virtual int Request(const std::string& body, std::string& reply) = 0;
    // The recorded session's lines, for a backend that has one.
    virtual bool Session(std::string& content) { (void)content; return false; }
};

// Fan-out of stream lines (JSON objects) to every page that listens. Each page
// has a bounded queue: a page that cannot keep up loses the oldest lines, and
// the next batch says how many.
class WebStream {
public:
    explicit WebStream(std::size_t queueLimit = 50000) : limit_(queueLimit) {}
    void Publish(const std::string& line);
    // Ends every listener's stream (the server is stopping).
    void Close();

    struct Listener;
    std::shared_ptr<Listener> Listen();
    void Leave(const std::shared_ptr<Listener>& listener);
    // Waits for lines and gathers them for batchMs more; returns the next SSE
    // message to send (a keep-alive comment after a quiet second), or false
    // when the stream has ended.
    bool Next(Listener& listener, int batchMs, std::string& message);
    std::size_t Listeners();

private:
    std::mutex mutex_;
    std::condition_variable wake_;
    std::vector<std::shared_ptr<Listener>> listeners_;
    std::size_t limit_;
    bool closed_ = false;
};

struct WebServerOptions {
    int port = 0;               // 0: any free port
    std::string token;          // empty: a new random one
    std::size_t maxListeners = 4;
    int batchMs = 20;           // how long the stream gathers lines into one message
};

class WebServer {
public:
    WebServer(WebBackend& backend, WebStream& stream, WebServerOptions options);
    ~WebServer();
    WebServer(const WebServer&) = delete;
    WebServer& operator=(const WebServer&) = delete;

    // Binds 127.0.0.1 and serves on a thread of its own.
    bool Start(std::string& error);
    void Stop();
    int Port() const { return port_; }
    const std::string& Token() const { return options_.token; }
    std::string Url() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
    WebBackend& backend_;
    WebStream& stream_;
    WebServerOptions options_;
    int port_ = 0;
    std::thread thread_;
};

// 32 hexadecimal digits from the system's random source.
std::string NewWebToken();

// Milliseconds since the epoch, the clock the page compares samples with.
std::int64_t WallClockMs();

} // namespace velkor_tool

#endif
