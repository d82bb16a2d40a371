// The monitor's server thread (server.h): its rounds, accepting clients,
// reading their lines and writing out what is queued for them.
#include "monitor/server.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace velkor_sim {
namespace monitor {
namespace {

constexpr double kTokenSeconds = 5;
// The server thread goes round at most this often: what the modules queued
// meanwhile goes out together, so that samples of seven modules at 1 kHz
// cost a few hundred rounds a second, not thousands.
constexpr std::chrono::microseconds kRound{2000};

} // namespace

void Append(Client& c, const std::string& text)
{
    if (c.file != nullptr) {
        *c.file << text;
        return;
    }
    c.out += text;
}

void Core::Accept()
{
    for (;;) {
        const Socket s = AcceptClient(endpoint_.listener);
        if (s == kNoSocket) {
            return;
        }
        std::size_t connected = 0;
        for (const auto& c : clients_) {
            connected += c->file == nullptr ? 1 : 0;
        }
        if (connected >= kMaxClients) {
            const std::string bye = "{\"type\":\"bye\",\"reason\":\"too_many_clients\"}\n";
            SendSome(s, bye.data(), bye.size());
            CloseSocket(s);
            continue;
        }
        auto c = std::make_unique<Client>();
        c->socket = s;
        c->connectedAt = MonotonicSeconds();
        c->authenticated = endpoint_.token.empty();
        if (c->authenticated) {
            auto hold = detail::LockRegistry();
            Append(*c, Dump(Greeting(Slots())) + "\n");
        }
        clients_.push_back(std::move(c));
    }
}

void Core::Serve(Client& c)
{
    char buffer[16384];
    for (int reads = 0; reads < 16 && !c.dead; ++reads) {
        const long n = ReceiveSome(c.socket, buffer, sizeof buffer);
        if (n == -1) {
            break;
        }
        if (n <= 0) {
            c.dead = true; // closed, even mid-line, or failed
            break;
        }
        c.in.Append(buffer, static_cast<std::size_t>(n));
        std::string line;
        while (!c.dead && c.in.Next(line)) {
            if (!c.authenticated) {
                if (line != endpoint_.token) {
                    c.dead = true;
                    break;
                }
                c.authenticated = true;
                auto hold = detail::LockRegistry();
                Append(c, Dump(Greeting(Slots())) + "\n");
                continue;
            }
            HandleLine(c, line);
        }
        if (c.in.Overflowed()) {
            Append(c, ErrorLine(nullptr, "line_too_long",
                                "a line may be at most " + std::to_string(kMaxLine) + " bytes"));
            c.closing = true;
            break;
        }
    }
}

namespace {

void Flush(Client& c)
{
    while (!c.dead && c.Pending() > 0) {
        const long n = SendSome(c.socket, c.out.data() + c.outSent, c.Pending());
        if (n < 0) {
            c.dead = true;
        } else if (n == 0) {
            break;
        } else {
            c.outSent += static_cast<std::size_t>(n);
        }
    }
    if (c.Pending() == 0) {
        c.out.clear();
        c.outSent = 0;
        if (c.closing) {
            c.dead = true;
        }
    } else if (c.outSent > (64u << 10)) {
        c.out.erase(0, c.outSent);
        c.outSent = 0;
    }
}

} // namespace

void Core::Run()
{
    std::vector<PollItem> items;
    auto lastRound = std::chrono::steady_clock::now();
    while (!quit_.load()) {
        const auto sinceRound = std::chrono::steady_clock::now() - lastRound;
        if (sinceRound < kRound) {
            std::this_thread::sleep_for(kRound - sinceRound);
        }
        lastRound = std::chrono::steady_clock::now();
        items.clear();
        PollItem wake;
        wake.socket = waker_.Reader();
        items.push_back(wake);
        if (endpoint_.listener != kNoSocket) {
            PollItem l;
            l.socket = endpoint_.listener;
            items.push_back(l);
        }
        bool waitingForToken = false;
        for (const auto& c : clients_) {
            if (c->file != nullptr) {
                continue;
            }
            PollItem p;
            p.socket = c->socket;
            p.wantWrite = c->Pending() > 0;
            items.push_back(p);
            waitingForToken = waitingForToken || !c->authenticated;
        }
        if (!PollSockets(items, waitingForToken ? 500 : -1)) {
            break;
        }
        if (quit_.load()) {
            break;
        }
        if (items[0].readable) {
            waker_.Drain();
        }
        Distribute(clients_);
        if (endpoint_.listener != kNoSocket && items[1].readable) {
            Accept();
        }
        const double now = MonotonicSeconds();
        bool gone = false;
        for (auto& c : clients_) {
            if (c->file != nullptr) {
                continue;
            }
            if (!c->closing) {
                Serve(*c);
            }
            if (!c->authenticated && now - c->connectedAt > kTokenSeconds) {
                c->dead = true;
            }
            Flush(*c);
            if (c->Pending() > kHardQueue) {
                c->dead = true;
            }
            gone = gone || c->dead;
        }
        if (gone) {
            for (auto& c : clients_) {
                if (c->dead) {
                    CloseSocket(c->socket);
                }
            }
            clients_.erase(std::remove_if(clients_.begin(), clients_.end(),
                                          [](const std::unique_ptr<Client>& c) { return c->dead; }),
                           clients_.end());
            auto hold = detail::LockRegistry();
            Resubscribe();
        }
        if (recordFile_ != nullptr) {
            recordFile_->Flush(lastTime_);
        }
    }
}

} // namespace monitor
} // namespace velkor_sim
