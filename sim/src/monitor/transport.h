// The monitor's transport, one file per platform chosen by CMake:
// transport_posix.cpp (a Unix domain socket, owner-only, in a folder the user
// owns) and transport_win32.cpp (TCP on 127.0.0.1 with a random token named
// in an endpoint file). Sockets are non-blocking; the server polls them.
#ifndef VELKOR_SIM_MONITOR_TRANSPORT_H
#define VELKOR_SIM_MONITOR_TRANSPORT_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace velkor_sim {
namespace monitor {

using Socket = std::intptr_t;
constexpr Socket kNoSocket = -1;

// What the server listens on.
struct Endpoint {
    Socket listener = kNoSocket;
    std::string path;  // the socket, or the endpoint file
    std::string token; // the token a client sends first; empty: none needed
};

// Whether an endpoint can be opened at `path` (the folder, what is there);
// false with the reason otherwise. OpenEndpoint checks the same first.
bool CheckEndpointPath(const std::string& path, std::string& error);
// Opens the endpoint at `path`; false with the reason otherwise.
bool OpenEndpoint(const std::string& path, Endpoint& out, std::string& error);
// Closes the listener and removes what OpenEndpoint made at the path.
void CloseEndpoint(Endpoint& endpoint);
// A client waiting on the listener, non-blocking; kNoSocket when none.
Socket AcceptClient(Socket listener);
// A connected pair for waking the poll: bytes written to `writer` make
// `reader` readable. Both non-blocking.
bool MakeWakePair(Socket& reader, Socket& writer);

// Connects a client to the endpoint at `path` (blocking socket), sending the
// token first where one is needed.
Socket ConnectEndpoint(const std::string& path, std::string& error);

// Bytes received (> 0), 0 when the peer closed, -1 when nothing is there
// now, -2 on an error.
long ReceiveSome(Socket s, char* buffer, std::size_t size);
// Bytes sent (>= 0; 0 when it would block), -2 on an error.
long SendSome(Socket s, const char* data, std::size_t size);
void CloseSocket(Socket s);
// Blocking mode with a receive timeout in milliseconds (0: none), for clients.
void SetReceiveTimeout(Socket s, int milliseconds);

struct PollItem {
    Socket socket = kNoSocket;
    bool wantWrite = false;
    bool readable = false; // or closed, or failed: a receive will tell
    bool writable = false;
};
// Waits up to timeoutMs (-1: for ever) for one of the sockets; false on an
// error of the poll itself.
bool PollSockets(std::vector<PollItem>& items, int timeoutMs);

// A monotonic clock in seconds, the one samples are stamped with.
double MonotonicSeconds();
// The process's id, for the greeting.
long ProcessId();

} // namespace monitor
} // namespace velkor_sim

#endif
