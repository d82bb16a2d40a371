// The page's server's connections (web_server_connections.h).
#include "web_server_connections.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>

namespace velkor_tool {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int kSliceMs = 100;      // how often a waiting connection looks whether the server stops
constexpr int kWriteMs = 5000;     // a reply's write may stall this long
constexpr std::size_t kExtraThreads = 16; // beyond the cap: room to refuse or make room

thread_local bool tCloseAfter = false; // the answer being written closes its connection
thread_local bool tNoThread = false;   // run on the accepting thread: no room for it

// A thread per connection, up to a number; beyond it, the connection is
// handled (refused) on the accepting thread at once.
class ConnectionThreads : public httplib::TaskQueue {
public:
    explicit ConnectionThreads(std::size_t most) : most_(most) {}
    ~ConnectionThreads() override { shutdown(); }

    void enqueue(std::function<void()> fn) override
    {
        std::unique_lock<std::mutex> lock(mutex_);
        Reap();
        if (running_ >= most_) {
            lock.unlock();
            tNoThread = true;
            fn();
            tNoThread = false;
            return;
        }
        ++running_;
        auto done = std::make_shared<std::atomic<bool>>(false);
        threads_.push_back(Worker{std::thread([this, fn = std::move(fn), done] {
                                      fn();
                                      std::lock_guard<std::mutex> hold(mutex_);
                                      --running_;
                                      *done = true;
                                  }),
                                  done});
    }

    void shutdown() override
    {
        std::vector<Worker> all;
        {
            std::lock_guard<std::mutex> hold(mutex_);
            all.swap(threads_);
        }
        for (Worker& w : all) {
            if (w.thread.joinable()) {
                w.thread.join();
            }
        }
    }

private:
    struct Worker {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> done;
    };
    void Reap() // mutex_ held
    {
        for (Worker& w : threads_) {
            if (*w.done && w.thread.joinable()) {
                w.thread.join();
            }
        }
        threads_.erase(std::remove_if(threads_.begin(), threads_.end(),
                                      [](const Worker& w) { return !w.thread.joinable(); }),
                       threads_.end());
    }

    std::mutex mutex_;
    std::vector<Worker> threads_;
    std::size_t running_ = 0;
    std::size_t most_;
};

std::string Address(const sockaddr_storage& a)
{
    char text[INET6_ADDRSTRLEN] = {};
    if (a.ss_family == AF_INET) {
        inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in&>(a).sin_addr, text, sizeof text);
    } else if (a.ss_family == AF_INET6) {
        inet_ntop(AF_INET6, &reinterpret_cast<const sockaddr_in6&>(a).sin6_addr, text, sizeof text);
    }
    return text;
}

int Port(const sockaddr_storage& a)
{
    return a.ss_family == AF_INET    ? ntohs(reinterpret_cast<const sockaddr_in&>(a).sin_port)
           : a.ss_family == AF_INET6 ? ntohs(reinterpret_cast<const sockaddr_in6&>(a).sin6_port)
                                     : 0;
}

// The connection's stream for httplib: reads buffered, each request's reads
// bounded by its deadline, writes bounded by kWriteMs.
class GuardedStream : public httplib::Stream {
public:
    // `listener`: the server's, INVALID_SOCKET once it stops, which ends
    // every wait for a peer at once.
    GuardedStream(socket_t sock, const std::atomic<socket_t>& listener) : socket_(sock), listener_(listener) {}

    // A request starts: its reads must end within `ms`.
    void Deadline(int ms) { deadline_ = Clock::now() + std::chrono::milliseconds(ms); }

    bool is_readable() const override { return start_ < end_ || Wait(POLLIN, Left()); }
    bool is_writable() const override { return Wait(POLLOUT, kWriteMs); }

    ssize_t read(char* ptr, size_t size) override
    {
        if (start_ == end_) {
            if (!Wait(POLLIN, Left())) {
                return -1;
            }
            ssize_t n;
            do {
                n = recv(socket_, buffer_, sizeof buffer_, 0);
            } while (n < 0 && errno == EINTR);
            if (n <= 0) {
                return n;
            }
            start_ = 0;
            end_ = static_cast<std::size_t>(n);
        }
        const std::size_t n = std::min(size, end_ - start_);
        std::memcpy(ptr, buffer_ + start_, n);
        start_ += n;
        return static_cast<ssize_t>(n);
    }

    ssize_t write(const char* ptr, size_t size) override
    {
        if (!Wait(POLLOUT, kWriteMs)) {
            return -1;
        }
        ssize_t n;
        do {
            n = send(socket_, ptr, size, MSG_NOSIGNAL);
        } while (n < 0 && errno == EINTR);
        return n;
    }

    void get_remote_ip_and_port(std::string& ip, int& port) const override
    {
        sockaddr_storage a{};
        socklen_t length = sizeof a;
        if (getpeername(socket_, reinterpret_cast<sockaddr*>(&a), &length) == 0) {
            ip = Address(a);
            port = Port(a);
        }
    }

    void get_local_ip_and_port(std::string& ip, int& port) const override
    {
        sockaddr_storage a{};
        socklen_t length = sizeof a;
        if (getsockname(socket_, reinterpret_cast<sockaddr*>(&a), &length) == 0) {
            ip = Address(a);
            port = Port(a);
        }
    }

    socket_t socket() const override { return socket_; }

private:
    int Left() const
    {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline_ - Clock::now()).count();
        return left > 0 ? static_cast<int>(left) : 0;
    }

    bool Wait(short events, int ms) const
    {
        const auto until = Clock::now() + std::chrono::milliseconds(ms);
        for (;;) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now()).count();
            pollfd p{socket_, events, 0};
            const int n = poll(&p, 1, static_cast<int>(std::max<long long>(0, std::min<long long>(left, kSliceMs))));
            if (n > 0) {
                return (p.revents & (events | POLLHUP | POLLERR)) != 0;
            }
            if ((n < 0 && errno != EINTR) || left <= 0 || listener_ == INVALID_SOCKET) {
                return false;
            }
        }
    }

    socket_t socket_;
    const std::atomic<socket_t>& listener_;
    Clock::time_point deadline_ = Clock::now();
    char buffer_[4096];
    std::size_t start_ = 0, end_ = 0;
};

} // namespace

GuardedServer::GuardedServer(ConnectionLimits limits) : limits_(limits)
{
    const std::size_t threads = limits_.total + kExtraThreads;
    new_task_queue = [threads] { return new ConnectionThreads(threads); };
    set_tcp_nodelay(true);
}

void GuardedServer::CloseAfterThisAnswer() { tCloseAfter = true; }

void GuardedServer::WidenBacklog()
{
    const socket_t listener = svr_sock_;
    if (listener != INVALID_SOCKET) {
        ::listen(listener, 256); // on a listening socket, sets its queue anew
    }
}

bool GuardedServer::Admit(socket_t sock, const std::string& peer, Entry& entry)
{
    std::lock_guard<std::mutex> hold(mutex_);
    std::size_t fromPeer = 0;
    for (const Connection& c : open_) {
        fromPeer += c.peer == peer ? 1 : 0;
    }
    const bool peerFull = fromPeer >= limits_.perPeer;
    if (peerFull || open_.size() >= limits_.total) {
        // The oldest connection only waiting (of this peer, when it is the
        // peer's cap) makes room; it closes as if its time had run out.
        auto oldest = open_.end();
        for (auto c = open_.begin(); c != open_.end(); ++c) {
            if (c->waiting && (!peerFull || c->peer == peer) && (oldest == open_.end() || c->since < oldest->since)) {
                oldest = c;
            }
        }
        if (oldest == open_.end()) {
            return false;
        }
        ::shutdown(oldest->socket, SHUT_RDWR);
        oldest->waiting = false; // made room once
    }
    entry = open_.insert(open_.end(), Connection{sock, peer, true, Clock::now()});
    return true;
}

void GuardedServer::Waiting(Entry entry, bool waiting)
{
    std::lock_guard<std::mutex> hold(mutex_);
    entry->waiting = waiting;
    entry->since = Clock::now();
}

void GuardedServer::Leave(Entry entry)
{
    std::lock_guard<std::mutex> hold(mutex_);
    open_.erase(entry);
}

// Waits for the next request's first byte; false when the connection has
// been idle too long, closed or the server stops.
bool GuardedServer::IdleWait(socket_t sock)
{
    const auto until = Clock::now() + std::chrono::milliseconds(limits_.idleMs);
    while (svr_sock_ != INVALID_SOCKET) {
        pollfd p{sock, POLLIN, 0};
        const int n = poll(&p, 1, kSliceMs);
        if (n > 0) {
            return (p.revents & POLLIN) != 0;
        }
        if ((n < 0 && errno != EINTR) || Clock::now() >= until) {
            return false;
        }
    }
    return false;
}

bool GuardedServer::process_and_close_socket(socket_t sock)
{
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    const std::string peer =
        getpeername(sock, reinterpret_cast<sockaddr*>(&address), &length) == 0 ? Address(address) : std::string();
    Entry entry;
    bool served = false;
    if (!tNoThread && Admit(sock, peer, entry)) {
        const int on = 1;
        setsockopt(sock, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        GuardedStream stream(sock, svr_sock_);
        served = true;
        for (std::size_t count = keep_alive_max_count_; count > 0 && IdleWait(sock); --count) {
            stream.Deadline(limits_.requestMs);
            tCloseAfter = false;
            bool closed = false;
            const bool ok = process_request(stream, count == 1, closed,
                                            [this, entry](httplib::Request&) { Waiting(entry, false); });
            if (!ok || closed || tCloseAfter) {
                break;
            }
            Waiting(entry, true);
        }
        tCloseAfter = false;
        Leave(entry);
    } else {
        // No room: said at once, without waiting on the peer.
        static const char busy[] = "HTTP/1.1 503 Service Unavailable\r\nConnection: close\r\nContent-Length: 0\r\n\r\n";
        send(sock, busy, sizeof busy - 1, MSG_NOSIGNAL | MSG_DONTWAIT);
    }
    ::shutdown(sock, SHUT_RDWR);
    close(sock);
    return served;
}

} // namespace velkor_tool
