// The monitor's endpoint on Windows: TCP on 127.0.0.1, where a client must
// send the token of the endpoint file alone as its first line. What a
// client sends first, one row each, and what it gets: the greeting, or the
// end of the connection without a word.
#include <velkor_sim/monitor.h>

#include <gtest/gtest.h>

#include <winsock2.h>
#include <ws2tcpip.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

namespace velkor_sim_test {
namespace {

namespace fs = std::filesystem;

struct Answer {
    std::string text;    // what the monitor sent
    bool closed = false; // the monitor ended the connection
    double seconds = 0;  // until the greeting or the end
};

// Connects to the port, sends `first` (maybe nothing), and reads until a
// whole line came, the monitor closed the connection or `waitMs` passed.
Answer Try(unsigned short port, const std::string& first, int waitMs)
{
    Answer answer;
    const SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(port);
    EXPECT_NE(s, INVALID_SOCKET);
    EXPECT_EQ(connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    const DWORD timeout = static_cast<DWORD>(waitMs);
    setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout), sizeof timeout);
    const auto start = std::chrono::steady_clock::now();
    if (!first.empty()) {
        send(s, first.data(), static_cast<int>(first.size()), 0);
    }
    char buffer[4096];
    while (answer.text.find('\n') == std::string::npos) {
        const int n = recv(s, buffer, sizeof buffer, 0);
        if (n > 0) {
            answer.text.append(buffer, static_cast<std::size_t>(n));
        } else {
            answer.closed = n == 0 || WSAGetLastError() != WSAETIMEDOUT;
            break;
        }
    }
    answer.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    closesocket(s);
    return answer;
}

TEST(MonitorToken, OnlyTheTokenAloneOnTheFirstLineOpensTheConnection)
{
    WSADATA data;
    ASSERT_EQ(WSAStartup(MAKEWORD(2, 2), &data), 0);
    const fs::path folder = fs::temp_directory_path() /
                            ("velkor-token-test-" + std::to_string(std::random_device{}()));
    fs::create_directories(folder);
    velkor_sim::MonitorOptions options;
    options.path = (folder / "m").string();
    std::string error;
    ASSERT_TRUE(velkor_sim::StartMonitor(options, error)) << error;
    std::ifstream file(options.path);
    std::string magic, transport, host, token;
    int version = 0;
    unsigned port = 0;
    ASSERT_TRUE(file >> magic >> version >> transport >> host >> port >> token);
    ASSERT_EQ(token.size(), 32u);

    const struct {
        const char* what;
        std::string first;
        bool greeted;
    } rows[] = {
        {"the token alone", token + "\n", true},
        {"the token, its line ended by CR LF", token + "\r\n", true},
        {"a line that only starts with the token", token + "0\n", false},
        {"the token and a request on its line", token + " {\"cmd\":\"list\"}\n", false},
        {"the token but its last digit", token.substr(0, 31) + "\n", false},
        {"another token", std::string(32, '0') + "\n", false},
        {"a request instead of the token", "{\"id\":1,\"cmd\":\"list\"}\n", false},
    };
    for (const auto& row : rows) {
        const Answer a = Try(static_cast<unsigned short>(port), row.first, 15000);
        if (row.greeted) {
            EXPECT_NE(a.text.find("\"type\":\"hello\""), std::string::npos) << row.what << ": " << a.text;
        } else {
            EXPECT_EQ(a.text, "") << row.what;
            EXPECT_TRUE(a.closed) << row.what;
        }
    }
    // A client that never sends the token is closed after 5 s, without a word.
    const Answer silent = Try(static_cast<unsigned short>(port), "", 20000);
    EXPECT_EQ(silent.text, "");
    EXPECT_TRUE(silent.closed);
    EXPECT_GE(silent.seconds, 4.5);
    EXPECT_LT(silent.seconds, 15);

    velkor_sim::StopMonitor();
    std::error_code ignored;
    fs::remove_all(folder, ignored);
    WSACleanup();
}

} // namespace
} // namespace velkor_sim_test
