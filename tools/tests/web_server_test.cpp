// The bench page's server: the token, the origin, bad requests, a page that
// goes away, slow and idle connections from anyone on the machine, against a
// backend that answers from a table.
#include "web_bridge.h"
#include "web_server.h"

#include <httplib.h>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

namespace velkor_tool {
namespace {

class TableBackend : public WebBackend {
public:
    std::string Info() override { return "{\"mode\":\"test\"}"; }
    int Request(const std::string& body, std::string& reply) override
    {
        last = body;
        reply = "{\"ok\":true}";
        return 200;
    }
    std::string last;
};

// Waits up to five seconds for a condition.
template <class F> bool Eventually(F condition)
{
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > until) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

class WebServerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string error;
        ASSERT_TRUE(server.Start(error)) << error;
        port = server.Port();
    }
    httplib::Client Client()
    {
        httplib::Client c("127.0.0.1", port);
        c.set_read_timeout(5, 0);
        return c;
    }
    httplib::Headers WithToken(httplib::Headers h = {})
    {
        h.emplace("X-Velkor-Token", server.Token());
        return h;
    }

    TableBackend backend;
    WebStream stream;
    WebServer server{backend, stream, WebServerOptions{}};
    int port = 0;
};

TEST_F(WebServerTest, ListensOnLoopbackWithARandomToken)
{
    EXPECT_EQ(server.Token().size(), 32u);
    EXPECT_NE(server.Token(), NewWebToken());
    EXPECT_EQ(server.Url(), "http://127.0.0.1:" + std::to_string(port) + "/?token=" + server.Token());
}

TEST_F(WebServerTest, RefusesWithoutTheTokenOrFromAnotherPage)
{
    auto c = Client();
    const std::string token = server.Token();
    std::string wrong = token;
    wrong[5] = wrong[5] == 'a' ? 'b' : 'a';
    const std::string self = "http://127.0.0.1:" + std::to_string(port);
    struct Case {
        std::string path;
        httplib::Headers headers;
        int status;
    };
    const Case cases[] = {
        {"/api/info", {}, 401},
        {"/api/info?token=", {}, 401},
        {"/api/info?token=" + wrong, {}, 401},
        {"/api/info?token=" + token.substr(0, 31), {}, 401},
        {"/api/info?token=" + token, {}, 200},
        {"/api/info", {{"X-Velkor-Token", token}}, 200},
        {"/api/info", {{"X-Velkor-Token", token}, {"Origin", self}}, 200},
        {"/api/info", {{"X-Velkor-Token", token}, {"Origin", "http://evil.example"}}, 403},
        {"/api/info", {{"X-Velkor-Token", token}, {"Origin", "null"}}, 403},
        {"/api/info", {{"X-Velkor-Token", token}, {"Origin", self + "0"}}, 403},
        {"/api/info", {{"X-Velkor-Token", token}, {"Sec-Fetch-Site", "cross-site"}}, 403},
        // A name that resolves to this machine by a rebinding trick is not this server's name.
        {"/api/info", {{"X-Velkor-Token", token}, {"Host", "evil.example:" + std::to_string(port)}}, 403},
        // The name and port exactly: no longer name that starts with it, no other port.
        {"/api/info", {{"X-Velkor-Token", token}, {"Host", "localhost.evil.example:" + std::to_string(port)}}, 403},
        {"/api/info", {{"X-Velkor-Token", token}, {"Host", "127.0.0.1:" + std::to_string(port) + "0"}}, 403},
        {"/api/info", {{"X-Velkor-Token", token}, {"Host", "127.0.0.1:" + std::to_string(port == 1 ? 2 : port - 1)}}, 403},
        {"/api/info", {{"X-Velkor-Token", token}, {"Host", "127.0.0.1"}}, 403},
        {"/api/info", {{"X-Velkor-Token", token}, {"Host", "localhost:" + std::to_string(port)}}, 200},
        {"/?token=" + token, {}, 200},
        {"/", {}, 401},
        {"/nothing?token=" + token, {}, 404},
        {"/api/session?token=" + token, {}, 404}, // a live backend has no recorded session
    };
    for (const auto& k : cases) {
        auto r = c.Get(k.path.c_str(), k.headers);
        ASSERT_TRUE(r) << k.path;
        EXPECT_EQ(r->status, k.status) << k.path;
        if (k.status >= 400) {
            EXPECT_NE(r->body.find("\"error\""), std::string::npos) << k.path;
        }
    }
}

// A raw connection to the server, for clients that do not behave.
class Raw {
public:
    explicit Raw(int port) : fd_(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0))
    {
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(static_cast<std::uint16_t>(port));
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        connected_ = fd_ >= 0 && connect(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    }
    ~Raw()
    {
        if (fd_ >= 0) {
            close(fd_);
        }
    }
    bool Connected() const { return connected_; }
    bool Send(const std::string& text) { return send(fd_, text.data(), text.size(), MSG_NOSIGNAL) == ssize_t(text.size()); }
    // What arrives until the server closes the connection or `ms` pass;
    // `closed` says which.
    std::string Read(int ms, bool& closed)
    {
        std::string got;
        closed = false;
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        for (;;) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
            pollfd p{fd_, POLLIN, 0};
            if (left.count() <= 0 || poll(&p, 1, static_cast<int>(left.count())) <= 0) {
                return got;
            }
            char buffer[4096];
            const ssize_t n = recv(fd_, buffer, sizeof buffer, 0);
            if (n <= 0) {
                closed = true;
                return got;
            }
            got.append(buffer, static_cast<std::size_t>(n));
        }
    }

private:
    int fd_;
    bool connected_ = false;
};

TEST_F(WebServerTest, ARefusedRequestClosesItsConnection)
{
    const std::string host = "Host: 127.0.0.1:" + std::to_string(port) + "\r\n";
    const struct {
        std::string request;
        const char* status;
    } rows[] = {
        {"GET /api/info HTTP/1.1\r\n" + host + "\r\n", "HTTP/1.1 401"},
        {"GET /api/info HTTP/1.1\r\nHost: localhost.evil:" + std::to_string(port) + "\r\nX-Velkor-Token: " +
             server.Token() + "\r\n\r\n",
         "HTTP/1.1 403"},
    };
    for (const auto& row : rows) {
        Raw raw(port);
        ASSERT_TRUE(raw.Connected());
        ASSERT_TRUE(raw.Send(row.request));
        bool closed = false;
        const std::string reply = raw.Read(3000, closed);
        EXPECT_EQ(reply.rfind(row.status, 0), 0u) << reply;
        EXPECT_NE(reply.find("Connection: close"), std::string::npos) << reply;
        EXPECT_TRUE(closed) << "the connection stays open after: " << reply;
    }
}

// Connections that trickle a request's header, or that send nothing (more
// than one address may keep open): a page request is answered within 1 s all
// the same; a request that never ends loses its connection when its time is
// up, an idle one makes room for a new one.
TEST_F(WebServerTest, APageRequestIsAnsweredWhileSlowOrIdleConnectionsAreOpen)
{
    const struct {
        int slow, idle;
    } rows[] = {{100, 0}, {0, 200}};
    for (const auto& row : rows) {
        std::vector<std::unique_ptr<Raw>> open;
        const auto opened = std::chrono::steady_clock::now();
        for (int i = 0; i < row.slow + row.idle; ++i) {
            open.push_back(std::make_unique<Raw>(port));
            ASSERT_TRUE(open.back()->Connected());
            if (i < row.slow) {
                ASSERT_TRUE(open.back()->Send("GET /api/info HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port) + "\r\n"));
            }
        }
        for (int round = 0; round < 3; ++round) {
            const auto start = std::chrono::steady_clock::now();
            auto r = Client().Get("/api/info", WithToken());
            const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            ASSERT_TRUE(r) << row.slow << " slow, " << row.idle << " idle, round " << round;
            EXPECT_EQ(r->status, 200);
            EXPECT_LT(seconds, 1.0) << row.slow << " slow, " << row.idle << " idle, round " << round;
            if (row.slow > 0) {
                open[0]->Send("X-Trickle: 1\r\n"); // a header line now and then does not keep it open
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
        }
        if (row.slow > 0) {
            bool closed = false;
            open[0]->Read(8000, closed);
            const double after = std::chrono::duration<double>(std::chrono::steady_clock::now() - opened).count();
            EXPECT_TRUE(closed) << "a request that never ends keeps its connection";
            EXPECT_GT(after, 2.0) << "closed before its time was up";
        }
    }
}

TEST_F(WebServerTest, ThePageComesWithAPolicyThatKeepsItToItself)
{
    auto r = Client().Get(("/?token=" + server.Token()).c_str());
    ASSERT_TRUE(r);
    if (r->status == 404) {
        GTEST_SKIP() << "built without the page";
    }
    EXPECT_NE(r->get_header_value("Content-Security-Policy").find("connect-src 'self'"), std::string::npos);
    EXPECT_EQ(r->get_header_value("Cache-Control"), "no-store");
    EXPECT_NE(r->body.find("<html"), std::string::npos);
}

TEST_F(WebServerTest, BadRequestsGetA4xx)
{
    auto c = Client();
    auto ok = c.Post("/api/request", WithToken(), "{\"cmd\":\"x\"}", "application/json");
    ASSERT_TRUE(ok);
    EXPECT_EQ(ok->status, 200);
    EXPECT_EQ(backend.last, "{\"cmd\":\"x\"}");

    auto form = c.Post("/api/request", WithToken(), "cmd=x", "application/x-www-form-urlencoded");
    ASSERT_TRUE(form);
    EXPECT_EQ(form->status, 415);
    auto huge = c.Post("/api/request", WithToken(), std::string(200000, '['), "application/json");
    if (huge) { // the server may also close the connection on it
        EXPECT_EQ(huge->status, 413);
    }
    auto get = c.Get("/api/request", WithToken());
    ASSERT_TRUE(get);
    EXPECT_EQ(get->status, 404);
    // Still serving after all that.
    auto again = c.Get("/api/info", WithToken());
    ASSERT_TRUE(again);
    EXPECT_EQ(again->status, 200);
}

TEST_F(WebServerTest, StreamsLinesInBatchesAndLetsAPageGo)
{
    std::atomic<bool> stop{false};
    std::string got;
    std::thread reader([&] {
        auto c = Client();
        c.Get("/api/events", WithToken(), [&](const char* data, std::size_t size) {
            got.append(data, size);
            return !stop && got.find("\"n\":3") == std::string::npos;
        });
    });
    ASSERT_TRUE(Eventually([&] { return stream.Listeners() == 1; }));
    for (int n = 1; n <= 3; ++n) {
        stream.Publish("{\"n\":" + std::to_string(n) + "}");
    }
    ASSERT_TRUE(Eventually([&] { return stream.Listeners() == 0; })) << "the page that went away is still listened to";
    stop = true;
    reader.join();
    EXPECT_NE(got.find("data: {\"t\":"), std::string::npos) << got;
    EXPECT_NE(got.find("\"lines\":[{\"n\":1},{\"n\":2},{\"n\":3}]"), std::string::npos) << got;
}

TEST_F(WebServerTest, APageThatCannotKeepUpLosesTheOldestLinesAndIsToldHowMany)
{
    WebStream small(3);
    auto l = small.Listen();
    for (int n = 1; n <= 5; ++n) {
        small.Publish("{\"n\":" + std::to_string(n) + "}");
    }
    std::string message;
    ASSERT_TRUE(small.Next(*l, 0, message));
    EXPECT_NE(message.find("\"dropped\":2,\"lines\":[{\"n\":3},{\"n\":4},{\"n\":5}]"), std::string::npos) << message;
    small.Close();
    EXPECT_FALSE(small.Next(*l, 0, message));
}

TEST_F(WebServerTest, RefusesMoreListenersThanItServesAndStopsWithStreamsOpen)
{
    std::vector<std::thread> readers;
    std::atomic<int> refused{0};
    for (int i = 0; i < 5; ++i) {
        readers.emplace_back([&] {
            auto c = Client();
            auto r = c.Get("/api/events", WithToken(), [](const char*, std::size_t) { return true; });
            if (r && r->status == 429) {
                ++refused;
            }
        });
        if (i < 4) {
            ASSERT_TRUE(Eventually([&] { return stream.Listeners() == static_cast<std::size_t>(i + 1); }));
        }
    }
    ASSERT_TRUE(Eventually([&] { return refused == 1; }));
    const auto start = std::chrono::steady_clock::now();
    server.Stop();
    for (auto& t : readers) {
        t.join();
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

// What a page may ask of the monitor: machine-side commands only, as one JSON
// object; without a monitor to ask, a 503 rather than a wait.
TEST(MonitorBridgeRequests, RefusesWhatIsNotAMachineCommand)
{
    WebStream stream;
    MonitorBridge bridge(stream, "/nonexistent/velkor-monitor.sock");
    std::string error;
    EXPECT_FALSE(bridge.Connect(0, error));
    EXPECT_NE(error.find("cannot connect"), std::string::npos) << error;
    const std::pair<const char*, int> cases[] = {
        {"", 400}, {"[1,2]", 400}, {"{\"cmd\":", 400}, {"{}", 400}, {"{\"cmd\":7}", 400},
        {"{\"cmd\":\"subscribe\",\"rate\":1}", 400}, {"{\"cmd\":\"unsubscribe\"}", 400},
        {"{\"cmd\":\"reboot\"}", 400}, {"{\"cmd\":\"pause\"}", 503},
        {"{\"cmd\":\"jog\",\"slot\":3,\"axis\":1,\"direction\":1,\"id\":\"x\"}", 503},
    };
    for (const auto& k : cases) {
        std::string reply;
        EXPECT_EQ(bridge.Request(k.first, reply), k.second) << k.first;
        EXPECT_NE(reply.find("\"error\""), std::string::npos) << k.first;
    }
    EXPECT_NE(bridge.Info().find("\"connected\":false"), std::string::npos);
}

TEST(SessionFiles, OnlyARecordedSessionOpens)
{
    const std::string file = ::testing::TempDir() + "velkor_web_session.jsonl";
    const std::pair<const char*, bool> cases[] = {
        {"{\"type\":\"session\",\"protocol\":\"velkor-monitor\",\"version\":1}\n{\"type\":\"end\"}\n", true},
        {"{\"type\":\"hello\",\"protocol\":\"velkor-monitor\"}\n", false},
        {"time,lp\n0,1\n", false},
        {"", false},
    };
    for (const auto& k : cases) {
        FILE* f = std::fopen(file.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fputs(k.first, f);
        std::fclose(f);
        SessionFile session(file);
        std::string error;
        EXPECT_EQ(session.Open(error), k.second) << k.first << error;
        if (k.second) {
            std::string content, reply;
            EXPECT_TRUE(session.Session(content));
            EXPECT_EQ(content, k.first);
            EXPECT_EQ(session.Request("{\"cmd\":\"pause\"}", reply), 409);
        }
    }
    std::remove(file.c_str());
}

} // namespace
} // namespace velkor_tool
