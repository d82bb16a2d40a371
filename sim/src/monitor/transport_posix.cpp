// The monitor's transport on POSIX systems: a Unix domain socket. Its folder
// must belong to the user and be writable by nobody else; the socket is made
// under a temporary name, given owner-only permissions and renamed into
// place, so that no other user can connect even for a moment.
#include "monitor/transport.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace velkor_sim {
namespace monitor {
namespace {

bool FillAddress(const std::string& path, sockaddr_un& address)
{
    std::memset(&address, 0, sizeof address);
    address.sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof address.sun_path) {
        return false;
    }
    std::memcpy(address.sun_path, path.c_str(), path.size());
    return true;
}

void NonBlocking(int fd)
{
    const int flags = fcntl(fd, F_GETFL, 0);
    fcntl(fd, F_SETFL, flags | O_NONBLOCK);
    fcntl(fd, F_SETFD, FD_CLOEXEC);
}

std::string Folder(const std::string& path)
{
    const std::string::size_type slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Whether something listens on the socket at path.
bool Listening(const std::string& path)
{
    sockaddr_un address;
    if (!FillAddress(path, address)) {
        return false;
    }
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return false;
    }
    const bool connected = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    close(fd);
    return connected;
}

} // namespace

bool CheckEndpointPath(const std::string& path, std::string& error)
{
    sockaddr_un address;
    const std::string temporary = path + ".new" + std::to_string(getpid());
    if (!FillAddress(temporary, address)) {
        error = "the path is empty or too long for a socket (at most " + std::to_string(sizeof address.sun_path - 12) +
                " bytes)";
        return false;
    }
    struct stat folder;
    const std::string folderName = Folder(path);
    if (stat(folderName.c_str(), &folder) != 0 || !S_ISDIR(folder.st_mode)) {
        error = "no folder " + folderName;
        return false;
    }
    if (folder.st_uid != geteuid() || (folder.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
        error = "the folder " + folderName + " must belong to you and be writable by nobody else (mkdir -m 700)";
        return false;
    }
    struct stat existing;
    if (lstat(path.c_str(), &existing) == 0) {
        if (!S_ISSOCK(existing.st_mode)) {
            error = path + " exists and is not a socket";
            return false;
        }
        if (Listening(path)) {
            error = "another monitor listens on " + path;
            return false;
        }
    }
    return true;
}

bool OpenEndpoint(const std::string& path, Endpoint& out, std::string& error)
{
    if (!CheckEndpointPath(path, error)) {
        return false;
    }
    sockaddr_un address;
    const std::string temporary = path + ".new" + std::to_string(getpid());
    FillAddress(temporary, address);
    struct stat existing;
    if (lstat(path.c_str(), &existing) == 0 && S_ISSOCK(existing.st_mode)) {
        unlink(path.c_str()); // left by a process that ended without removing it
    }
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        error = std::strerror(errno);
        return false;
    }
    unlink(temporary.c_str());
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || chmod(temporary.c_str(), 0600) != 0 ||
        listen(fd, 32) != 0 || rename(temporary.c_str(), path.c_str()) != 0) {
        error = std::string("cannot listen on ") + path + ": " + std::strerror(errno);
        close(fd);
        unlink(temporary.c_str());
        return false;
    }
    NonBlocking(fd);
    out.listener = fd;
    out.path = path;
    out.token.clear();
    return true;
}

void CloseEndpoint(Endpoint& endpoint)
{
    if (endpoint.listener != kNoSocket) {
        close(static_cast<int>(endpoint.listener));
        unlink(endpoint.path.c_str());
        endpoint.listener = kNoSocket;
    }
}

Socket AcceptClient(Socket listener)
{
    const int fd = accept(static_cast<int>(listener), nullptr, nullptr);
    if (fd < 0) {
        return kNoSocket;
    }
    NonBlocking(fd);
    return fd;
}

bool MakeWakePair(Socket& reader, Socket& writer)
{
    int fds[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0) {
        return false;
    }
    NonBlocking(fds[0]);
    NonBlocking(fds[1]);
    reader = fds[0];
    writer = fds[1];
    return true;
}

Socket ConnectEndpoint(const std::string& path, std::string& error)
{
    sockaddr_un address;
    if (!FillAddress(path, address)) {
        error = "the path is empty or too long for a socket";
        return kNoSocket;
    }
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0 || connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        error = std::string("cannot connect to ") + path + ": " + std::strerror(errno);
        if (fd >= 0) {
            close(fd);
        }
        return kNoSocket;
    }
    return fd;
}

long ReceiveSome(Socket s, char* buffer, std::size_t size)
{
    for (;;) {
        const ssize_t n = recv(static_cast<int>(s), buffer, size, 0);
        if (n >= 0) {
            return static_cast<long>(n);
        }
        if (errno == EINTR) {
            continue;
        }
        return errno == EAGAIN || errno == EWOULDBLOCK ? -1 : -2;
    }
}

long SendSome(Socket s, const char* data, std::size_t size)
{
    for (;;) {
        const ssize_t n = send(static_cast<int>(s), data, size, MSG_NOSIGNAL);
        if (n >= 0) {
            return static_cast<long>(n);
        }
        if (errno == EINTR) {
            continue;
        }
        return errno == EAGAIN || errno == EWOULDBLOCK ? 0 : -2;
    }
}

void CloseSocket(Socket s)
{
    if (s != kNoSocket) {
        close(static_cast<int>(s));
    }
}

void SetReceiveTimeout(Socket s, int milliseconds)
{
    timeval tv{};
    tv.tv_sec = milliseconds / 1000;
    tv.tv_usec = (milliseconds % 1000) * 1000;
    setsockopt(static_cast<int>(s), SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
}

bool PollSockets(std::vector<PollItem>& items, int timeoutMs)
{
    std::vector<pollfd> fds(items.size());
    for (std::size_t i = 0; i < items.size(); ++i) {
        fds[i].fd = static_cast<int>(items[i].socket);
        fds[i].events = static_cast<short>(POLLIN | (items[i].wantWrite ? POLLOUT : 0));
    }
    int n;
    do {
        n = poll(fds.data(), fds.size(), timeoutMs);
    } while (n < 0 && errno == EINTR);
    if (n < 0) {
        return false;
    }
    for (std::size_t i = 0; i < items.size(); ++i) {
        items[i].readable = (fds[i].revents & (POLLIN | POLLHUP | POLLERR | POLLNVAL)) != 0;
        items[i].writable = (fds[i].revents & POLLOUT) != 0;
    }
    return true;
}

double MonotonicSeconds()
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

long ProcessId() { return static_cast<long>(getpid()); }

} // namespace monitor
} // namespace velkor_sim
