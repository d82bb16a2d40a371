#include "web_server.h"

#include "web_assets.h"
#include "web_server_connections.h"

#include <httplib.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <random>

namespace velkor_tool {

namespace {

constexpr std::size_t kMaxBody = 64 * 1024;
constexpr int kKeepAliveMs = 1000; // a comment on a quiet stream, to notice a page that went away

// Compares in a time that does not depend on where the texts differ.
bool SameSecret(const std::string& a, const std::string& b)
{
    if (a.size() != b.size()) {
        return false;
    }
    unsigned char diff = 0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        diff |= static_cast<unsigned char>(a[i] ^ b[i]);
    }
    return diff == 0;
}

void Fail(httplib::Response& res, int status, const std::string& why)
{
    res.status = status;
    std::string escaped;
    for (char c : why) {
        if (c == '"' || c == '\\') {
            escaped += '\\';
        }
        escaped += (static_cast<unsigned char>(c) < 0x20) ? ' ' : c;
    }
    res.set_content("{\"error\":\"" + escaped + "\"}", "application/json");
    if (status == 401 || status == 403 || status == 429) {
        // A refused client gets no kept-alive connection to go on trying on.
        res.set_header("Connection", "close");
        GuardedServer::CloseAfterThisAnswer();
    }
}

} // namespace

// ---- WebStream ----------------------------------------------------------------

struct WebStream::Listener {
    std::deque<std::string> lines;
    std::size_t dropped = 0;
};

void WebStream::Publish(const std::string& line)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (auto& l : listeners_) {
            if (l->lines.size() >= limit_) {
                l->lines.pop_front();
                ++l->dropped;
            }
            l->lines.push_back(line);
        }
    }
    wake_.notify_all();
}

void WebStream::Close()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        closed_ = true;
    }
    wake_.notify_all();
}

std::shared_ptr<WebStream::Listener> WebStream::Listen()
{
    auto l = std::make_shared<Listener>();
    std::lock_guard<std::mutex> lock(mutex_);
    listeners_.push_back(l);
    return l;
}

void WebStream::Leave(const std::shared_ptr<Listener>& listener)
{
    std::lock_guard<std::mutex> lock(mutex_);
    listeners_.erase(std::remove(listeners_.begin(), listeners_.end(), listener), listeners_.end());
}

std::size_t WebStream::Listeners()
{
    std::lock_guard<std::mutex> lock(mutex_);
    return listeners_.size();
}

bool WebStream::Next(Listener& listener, int batchMs, std::string& message)
{
    std::deque<std::string> lines;
    std::size_t dropped = 0;
    {
        std::unique_lock<std::mutex> lock(mutex_);
        if (wake_.wait_for(lock, std::chrono::milliseconds(kKeepAliveMs),
                           [&] { return closed_ || !listener.lines.empty(); }) &&
            !closed_) {
            // Gather what follows for a moment: a busy stream goes out in few, larger writes.
            wake_.wait_for(lock, std::chrono::milliseconds(batchMs), [&] { return closed_; });
        }
        if (closed_) {
            return false;
        }
        lines.swap(listener.lines);
        dropped = listener.dropped;
        listener.dropped = 0;
    }
    if (lines.empty()) {
        message = ": keep-alive\n\n";
        return true;
    }
    // One message: {"t": now in wall-clock ms, "mono": now on the monotonic
    // clock the samples carry, "dropped": N, "lines": [...]}. The page places
    // a sample in its own clock with the two.
    std::size_t size = 64;
    for (const auto& l : lines) {
        size += l.size() + 1;
    }
    message.clear();
    message.reserve(size);
    char clocks[96];
    std::snprintf(clocks, sizeof clocks, "data: {\"t\":%lld,\"mono\":%.6f", static_cast<long long>(WallClockMs()),
                  std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count());
    message += clocks;
    message += ",\"dropped\":";
    message += std::to_string(dropped);
    message += ",\"lines\":[";
    bool first = true;
    for (const auto& l : lines) {
        if (!first) {
            message += ',';
        }
        first = false;
        message += l;
    }
    message += "]}\n\n";
    return true;
}

// ---- WebServer ----------------------------------------------------------------

struct WebServer::Impl {
    GuardedServer server;
};

WebServer::WebServer(WebBackend& backend, WebStream& stream, WebServerOptions options)
    : impl_(new Impl), backend_(backend), stream_(stream), options_(std::move(options))
{
    if (options_.token.empty()) {
        options_.token = NewWebToken();
    }
}

WebServer::~WebServer()
{
    Stop();
}

std::string WebServer::Url() const
{
    return "http://127.0.0.1:" + std::to_string(port_) + "/?token=" + options_.token;
}

bool WebServer::Start(std::string& error)
{
#ifndef _WIN32
    std::signal(SIGPIPE, SIG_IGN); // a page that goes away mid-write must not end the tool
#endif
    httplib::Server& s = impl_->server; // a thread a connection, within limits (web_server_connections.h)
    s.set_payload_max_length(kMaxBody);
    s.set_keep_alive_timeout(2);
    s.set_keep_alive_max_count(1000); // the page's requests keep their connection (httplib: 5)
    s.set_read_timeout(5, 0);
    s.set_write_timeout(5, 0);
    s.set_default_headers({{"Cache-Control", "no-store"},
                           {"X-Content-Type-Options", "nosniff"},
                           {"Referrer-Policy", "no-referrer"},
                           {"X-Frame-Options", "DENY"}});

    // Every request: addressed to this server by its loopback name, from its
    // own page (or no page at all), with the token.
    s.set_pre_routing_handler([this](const httplib::Request& req, httplib::Response& res) {
        const std::string port = std::to_string(port_);
        const std::string host = req.get_header_value("Host");
        if (host != "127.0.0.1:" + port && host != "localhost:" + port) {
            Fail(res, 403, "wrong host");
            return httplib::Server::HandlerResponse::Handled;
        }
        if (req.has_header("Origin")) {
            const std::string origin = req.get_header_value("Origin");
            if (origin != "http://127.0.0.1:" + port && origin != "http://localhost:" + port) {
                Fail(res, 403, "requests from other pages are refused");
                return httplib::Server::HandlerResponse::Handled;
            }
        }
        if (req.get_header_value("Sec-Fetch-Site") == "cross-site") {
            Fail(res, 403, "requests from other pages are refused");
            return httplib::Server::HandlerResponse::Handled;
        }
        std::string token = req.get_header_value("X-Velkor-Token");
        if (token.empty()) {
            token = req.get_param_value("token");
        }
        if (!SameSecret(token, options_.token)) {
            Fail(res, 401, "a token is required: open the address velkor printed");
            return httplib::Server::HandlerResponse::Handled;
        }
        return httplib::Server::HandlerResponse::Unhandled;
    });
    s.set_exception_handler([](const httplib::Request&, httplib::Response& res, std::exception_ptr) {
        Fail(res, 500, "internal error");
    });
    s.set_error_handler([](const httplib::Request&, httplib::Response& res) {
        if (res.body.empty()) {
            const int status = res.status;
            Fail(res, status, status == 404   ? "not found"
                              : status == 413 ? "request too large"
                              : status == 414 ? "address too long"
                                              : "bad request");
        }
    });

    s.Get("/", [](const httplib::Request&, httplib::Response& res) {
        const WebAsset* page = FindWebAsset("/");
        if (page == nullptr) {
            Fail(res, 404, "this velkor was built without the page");
            return;
        }
        res.set_header("Content-Security-Policy",
                       "default-src 'none'; script-src 'unsafe-inline'; style-src 'unsafe-inline'; "
                       "connect-src 'self'; img-src 'self' data: blob:; base-uri 'none'; form-action 'none'");
        res.set_content(reinterpret_cast<const char*>(page->data), page->size, page->contentType);
    });
    s.Get("/api/info", [this](const httplib::Request&, httplib::Response& res) {
        res.set_content(backend_.Info(), "application/json");
    });
    s.Get("/api/session", [this](const httplib::Request&, httplib::Response& res) {
        std::string content;
        if (!backend_.Session(content)) {
            Fail(res, 404, "no recorded session");
            return;
        }
        res.set_content(std::move(content), "application/x-ndjson");
    });
    s.Post("/api/request", [this](const httplib::Request& req, httplib::Response& res) {
        const std::string type = req.get_header_value("Content-Type");
        if (type.compare(0, 16, "application/json") != 0) {
            Fail(res, 415, "the body must be application/json");
            return;
        }
        std::string reply;
        res.status = backend_.Request(req.body, reply);
        res.set_content(reply, "application/json");
    });
    s.Get("/api/events", [this](const httplib::Request&, httplib::Response& res) {
        if (stream_.Listeners() >= options_.maxListeners) {
            Fail(res, 429, "too many pages are listening");
            return;
        }
        auto listener = stream_.Listen();
        res.set_header("X-Accel-Buffering", "no");
        res.set_chunked_content_provider(
            "text/event-stream",
            [this, listener](std::size_t, httplib::DataSink& sink) {
                std::string message;
                if (!stream_.Next(*listener, options_.batchMs, message)) {
                    sink.done();
                    return false;
                }
                return sink.write(message.data(), message.size());
            },
            [this, listener](bool) { stream_.Leave(listener); });
    });

    if (options_.port == 0) {
        port_ = s.bind_to_any_port("127.0.0.1");
        if (port_ <= 0) {
            error = "cannot listen on 127.0.0.1";
            return false;
        }
    } else {
        if (!s.bind_to_port("127.0.0.1", options_.port)) {
            error = "cannot listen on 127.0.0.1:" + std::to_string(options_.port) + " (in use?)";
            return false;
        }
        port_ = options_.port;
    }
    impl_->server.WidenBacklog();
    thread_ = std::thread([&s] { s.listen_after_bind(); });
    // Until it serves, a stop would not reach it.
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!s.is_running() && std::chrono::steady_clock::now() < until) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

void WebServer::Stop()
{
    stream_.Close();
    impl_->server.stop();
    if (thread_.joinable()) {
        thread_.join();
    }
}

std::string NewWebToken()
{
    std::random_device source;
    std::string token;
    char digits[9];
    for (int i = 0; i < 4; ++i) {
        std::snprintf(digits, sizeof digits, "%08x", static_cast<unsigned>(source()));
        token += digits;
    }
    return token;
}

std::int64_t WallClockMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

} // namespace velkor_tool
