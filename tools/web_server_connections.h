// The page's server's connections (web_server.cpp): a thread each, capped in
// all and per peer address; a request must arrive whole within a short time
// from its first byte and an idle connection is closed after a while, so
// that slow or idle connections (anyone on the machine may open them) cannot
// keep the page's own requests waiting. When the cap is reached, the oldest
// connection that is only waiting for a request makes room for the new one.
// Replies go out at once (no Nagle delay), and a refused request (401, 403,
// 429) closes its connection.
#ifndef VELKOR_TOOLS_WEB_SERVER_CONNECTIONS_H
#define VELKOR_TOOLS_WEB_SERVER_CONNECTIONS_H

#include <httplib.h>

#include <cstddef>
#include <list>
#include <mutex>
#include <string>

namespace velkor_tool {

struct ConnectionLimits {
    std::size_t total = 192;     // connections open at once
    std::size_t perPeer = 128;   // of them from one address
    int requestMs = 3000;        // from a request's first byte to its last
    int idleMs = 2000;           // waiting for the next request
};

class GuardedServer : public httplib::Server {
public:
    explicit GuardedServer(ConnectionLimits limits = ConnectionLimits());
    // Called while answering: the connection closes after this answer.
    static void CloseAfterThisAnswer();
    // After a bind: a longer queue of connections not yet accepted than
    // httplib's 5, so that a burst of them is not turned back.
    void WidenBacklog();

private:
    struct Connection {
        socket_t socket;
        std::string peer;
        bool waiting; // for a request, or for its rest: may make room for another
        std::chrono::steady_clock::time_point since;
    };
    using Entry = std::list<Connection>::iterator;

    bool process_and_close_socket(socket_t sock) override;
    bool Admit(socket_t sock, const std::string& peer, Entry& entry);
    void Waiting(Entry entry, bool waiting);
    void Leave(Entry entry);
    bool IdleWait(socket_t sock);

    ConnectionLimits limits_;
    std::mutex mutex_;
    std::list<Connection> open_;
};

} // namespace velkor_tool

#endif
