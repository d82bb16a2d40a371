// The monitor's transport on Windows: TCP on 127.0.0.1 only, on a port the
// system picks, with a random token. The endpoint file at the path names the
// port and the token ("velkor-monitor 1 tcp 127.0.0.1 PORT TOKEN"); a client
// sends the token as its first line.
#include "monitor/transport.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <random>
#include <sstream>

namespace velkor_sim {
namespace monitor {
namespace {

bool StartWinsock()
{
    static const bool started = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    return started;
}

void NonBlocking(SOCKET s)
{
    u_long on = 1;
    ioctlsocket(s, FIONBIO, &on);
}

sockaddr_in Loopback(unsigned short port)
{
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(port);
    return a;
}

std::string RandomToken()
{
    std::random_device device;
    static const char digits[] = "0123456789abcdef";
    std::string token;
    for (int i = 0; i < 32; ++i) {
        token += digits[device() & 15u];
    }
    return token;
}

} // namespace

bool CheckEndpointPath(const std::string& path, std::string& error)
{
    // The endpoint file is written where the path says: a folder that
    // cannot take it is found when it is written.
    if (path.empty()) {
        error = "no path given";
        return false;
    }
    return true;
}

bool OpenEndpoint(const std::string& path, Endpoint& out, std::string& error)
{
    if (!StartWinsock()) {
        error = "cannot start Winsock";
        return false;
    }
    const SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET) {
        error = "cannot make a socket";
        return false;
    }
    BOOL exclusive = TRUE;
    setsockopt(s, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&exclusive), sizeof exclusive);
    sockaddr_in a = Loopback(0);
    int length = sizeof a;
    if (bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || listen(s, 32) != 0 ||
        getsockname(s, reinterpret_cast<sockaddr*>(&a), &length) != 0) {
        error = "cannot listen on 127.0.0.1";
        closesocket(s);
        return false;
    }
    const std::string token = RandomToken();
    {
        std::ofstream file(path, std::ios::trunc);
        file << "velkor-monitor 1 tcp 127.0.0.1 " << ntohs(a.sin_port) << ' ' << token << '\n';
        if (!file) {
            error = "cannot write the endpoint file " + path;
            closesocket(s);
            return false;
        }
    }
    NonBlocking(s);
    out.listener = static_cast<Socket>(s);
    out.path = path;
    out.token = token;
    return true;
}

void CloseEndpoint(Endpoint& endpoint)
{
    if (endpoint.listener != kNoSocket) {
        closesocket(static_cast<SOCKET>(endpoint.listener));
        std::remove(endpoint.path.c_str());
        endpoint.listener = kNoSocket;
    }
}

Socket AcceptClient(Socket listener)
{
    const SOCKET s = accept(static_cast<SOCKET>(listener), nullptr, nullptr);
    if (s == INVALID_SOCKET) {
        return kNoSocket;
    }
    NonBlocking(s);
    return static_cast<Socket>(s);
}

bool MakeWakePair(Socket& reader, Socket& writer)
{
    if (!StartWinsock()) {
        return false;
    }
    const SOCKET l = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in a = Loopback(0);
    int length = sizeof a;
    if (l == INVALID_SOCKET || bind(l, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || listen(l, 1) != 0 ||
        getsockname(l, reinterpret_cast<sockaddr*>(&a), &length) != 0) {
        if (l != INVALID_SOCKET) {
            closesocket(l);
        }
        return false;
    }
    const SOCKET w = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (w == INVALID_SOCKET || connect(w, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        closesocket(l);
        if (w != INVALID_SOCKET) {
            closesocket(w);
        }
        return false;
    }
    const SOCKET r = accept(l, nullptr, nullptr);
    closesocket(l);
    if (r == INVALID_SOCKET) {
        closesocket(w);
        return false;
    }
    NonBlocking(r);
    NonBlocking(w);
    reader = static_cast<Socket>(r);
    writer = static_cast<Socket>(w);
    return true;
}

Socket ConnectEndpoint(const std::string& path, std::string& error)
{
    if (!StartWinsock()) {
        error = "cannot start Winsock";
        return kNoSocket;
    }
    std::ifstream file(path);
    std::string magic, transport, host, token;
    int version = 0;
    unsigned port = 0;
    if (!(file >> magic >> version >> transport >> host >> port >> token) || magic != "velkor-monitor" ||
        transport != "tcp" || host != "127.0.0.1" || port == 0 || port > 65535) {
        error = path + " is not a monitor's endpoint file";
        return kNoSocket;
    }
    const SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in a = Loopback(static_cast<unsigned short>(port));
    if (s == INVALID_SOCKET || connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        error = "cannot connect to the monitor of " + path;
        if (s != INVALID_SOCKET) {
            closesocket(s);
        }
        return kNoSocket;
    }
    const std::string line = token + "\n";
    send(s, line.data(), static_cast<int>(line.size()), 0);
    return static_cast<Socket>(s);
}

long ReceiveSome(Socket s, char* buffer, std::size_t size)
{
    const int n = recv(static_cast<SOCKET>(s), buffer, static_cast<int>(size), 0);
    if (n >= 0) {
        return n;
    }
    const int e = WSAGetLastError();
    return e == WSAEWOULDBLOCK || e == WSAETIMEDOUT ? -1 : -2;
}

long SendSome(Socket s, const char* data, std::size_t size)
{
    const int n = send(static_cast<SOCKET>(s), data, static_cast<int>(size), 0);
    if (n >= 0) {
        return n;
    }
    return WSAGetLastError() == WSAEWOULDBLOCK ? 0 : -2;
}

void CloseSocket(Socket s)
{
    if (s != kNoSocket) {
        closesocket(static_cast<SOCKET>(s));
    }
}

void SetReceiveTimeout(Socket s, int milliseconds)
{
    const DWORD timeout = static_cast<DWORD>(milliseconds);
    setsockopt(static_cast<SOCKET>(s), SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout),
               sizeof timeout);
}

bool PollSockets(std::vector<PollItem>& items, int timeoutMs)
{
    std::vector<WSAPOLLFD> fds(items.size());
    for (std::size_t i = 0; i < items.size(); ++i) {
        fds[i].fd = static_cast<SOCKET>(items[i].socket);
        fds[i].events = static_cast<short>(POLLRDNORM | (items[i].wantWrite ? POLLWRNORM : 0));
    }
    if (WSAPoll(fds.data(), static_cast<ULONG>(fds.size()), timeoutMs) == SOCKET_ERROR) {
        return false;
    }
    for (std::size_t i = 0; i < items.size(); ++i) {
        items[i].readable = (fds[i].revents & (POLLRDNORM | POLLHUP | POLLERR | POLLNVAL)) != 0;
        items[i].writable = (fds[i].revents & POLLWRNORM) != 0;
    }
    return true;
}

double MonotonicSeconds()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

long ProcessId() { return static_cast<long>(GetCurrentProcessId()); }

} // namespace monitor
} // namespace velkor_sim
