// The monitor in this process, from clients on its endpoint: requests and
// their errors, actions reaching the module, samples and their losses, many
// clients, and clients that misbehave.
#include "sim_fixture.h"

#include <Velkor.h>
#include <velkor_sim/monitor.h>

#include <nlohmann/json.hpp>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>

namespace velkor_sim_test {
namespace {

namespace fs = std::filesystem;
using Json = nlohmann::json;

fs::path PrivateFolder()
{
    static std::atomic<int> count{0};
    const fs::path folder = fs::temp_directory_path() /
                            ("velkor-monitor-test-" + std::to_string(std::random_device{}()) + "-" +
                             std::to_string(count++));
    fs::create_directories(folder);
    fs::permissions(folder, fs::perms::owner_all, fs::perm_options::replace);
    return folder;
}

class Monitor : public ::testing::Test {
protected:
    void SetUp() override
    {
        brelan::Reset();
        folder = PrivateFolder();
        path = (folder / "m").string();
        velkor_sim::ModuleOptions o;
        o.clock = velkor_sim::ClockKind::RealTime;
        o.timeScale = 10;
        module = std::make_unique<velkor_sim::VirtualModule>(o);
        ASSERT_TRUE(module->PlugInto(5));
        velkor_sim::MonitorOptions options;
        options.path = path;
        options.recordFile = (folder / "session.jsonl").string();
        options.recordRate = 1000;
        std::string error;
        ASSERT_TRUE(velkor_sim::StartMonitor(options, error)) << error;
    }
    void TearDown() override
    {
        velkor_sim::StopMonitor();
        module.reset();
        std::error_code ignored;
        fs::remove_all(folder, ignored);
    }
    // A client past the greeting.
    std::unique_ptr<velkor_sim::MonitorClient> Connect()
    {
        auto c = std::make_unique<velkor_sim::MonitorClient>();
        std::string error, line;
        EXPECT_TRUE(c->Connect(path, error)) << error;
        EXPECT_TRUE(c->ReadLine(line, 5000));
        EXPECT_EQ(Json::parse(line)["version"], 1);
        return c;
    }
    // The reply to one request; samples and events before it are skipped.
    static Json Ask(velkor_sim::MonitorClient& c, const std::string& request, int waitMs = 5000)
    {
        EXPECT_TRUE(c.Send(request));
        std::string line;
        while (c.ReadLine(line, waitMs)) {
            const Json j = Json::parse(line);
            if (j["type"] == "reply") {
                return j;
            }
        }
        return Json();
    }
    // Axis 1 moves on at 1000 pulses/s until Halt().
    void MoveOn()
    {
        ASSERT_EQ(Velkor_REGISTRATION(0, 5), 1);
        Velkor_SET_SV(0, 1, 1000);
        Velkor_SET_V(0, 1, 1000);
        Velkor_CONTINUE_MOVE(0, 1, 1);
    }
    void Halt()
    {
        Velkor_STOP_SUDDENLY(0, 1);
        Velkor_CLEAR_STOP(0);
    }
    static std::string ErrorOf(const Json& reply) { return reply.value("ok", true) ? "" : reply["error"]["code"]; }

    fs::path folder;
    std::string path;
    std::unique_ptr<velkor_sim::VirtualModule> module;
};

TEST_F(Monitor, BadRequestsGetTheirErrorAndTheConnectionStays)
{
    auto c = Connect();
    const struct {
        const char* line;
        const char* code;
    } cases[] = {
        {"not json", "bad_json"},
        {"[1,2]", "bad_json"},
        {"{\"id\":1,\"cmd\":\"status\"", "bad_json"},
        {"{\"id\":2}", "unknown_command"},
        {"{\"id\":3,\"cmd\":7}", "unknown_command"},
        {"{\"id\":4,\"cmd\":\"launch\"}", "unknown_command"},
        {"{\"id\":[1],\"cmd\":\"list\"}", "bad_argument"},
        {"{\"id\":5,\"cmd\":\"status\"}", "bad_argument"},
        {"{\"id\":6,\"cmd\":\"status\",\"slot\":\"5\"}", "bad_argument"},
        {"{\"id\":7,\"cmd\":\"status\",\"slot\":5.5}", "bad_argument"},
        {"{\"id\":8,\"cmd\":\"status\",\"slot\":99}", "bad_argument"},
        {"{\"id\":9,\"cmd\":\"status\",\"slot\":2}", "no_module"},
        {"{\"id\":10,\"cmd\":\"set_inputs\",\"slot\":5,\"axis\":0,\"set\":1}", "bad_argument"},
        {"{\"id\":11,\"cmd\":\"set_inputs\",\"slot\":5,\"axis\":1,\"set\":65536}", "bad_argument"},
        {"{\"id\":12,\"cmd\":\"switch\",\"slot\":5,\"axis\":1,\"name\":\"door\",\"on\":true}", "bad_argument"},
        {"{\"id\":13,\"cmd\":\"drive_alarm\",\"slot\":5,\"axis\":1,\"on\":1}", "bad_argument"},
        {"{\"id\":14,\"cmd\":\"step\",\"slot\":5}", "not_paused"},
        {"{\"id\":15,\"cmd\":\"speed\",\"scale\":0}", "bad_argument"},
        {"{\"id\":16,\"cmd\":\"subscribe\",\"events\":[\"weather\"]}", "bad_argument"},
        {"{\"id\":17,\"cmd\":\"scope_arm\",\"slot\":5,\"settings\":\"period=-1\"}", "bad_argument"},
        {"{\"id\":18,\"cmd\":\"jog\",\"slot\":5,\"axis\":1,\"direction\":2}", "bad_argument"},
        {"{\"id\":19,\"cmd\":\"handwheel\",\"slot\":5,\"axis\":1,\"counts\":18446744073709551615}", "bad_argument"},
        {"{\"id\":20,\"cmd\":\"set_inputs\",\"slot\":5,\"axis\":1}", "bad_argument"},
        {"{\"id\":21,\"cmd\":\"scope_arm\",\"slot\":5,\"settings\":\"capacity=0\"}", "bad_argument"},
    };
    for (const auto& k : cases) {
        const Json reply = Ask(*c, k.line);
        EXPECT_EQ(ErrorOf(reply), k.code) << k.line << " -> " << reply.dump();
    }
    EXPECT_EQ(Ask(*c, "{\"id\":\"x\",\"cmd\":\"list\"}")["result"]["modules"][0]["slot"], 5);
}

TEST_F(Monitor, ActionsReachTheModuleAndStatusShowsThem)
{
    auto c = Connect();
    Json r = Ask(*c, R"({"id":1,"cmd":"set_inputs","slot":5,"axis":2,"set":768})");
    EXPECT_EQ(r["result"]["forced"], 768);
    r = Ask(*c, R"({"id":2,"cmd":"switch","slot":5,"axis":2,"name":"home","on":true})");
    EXPECT_EQ(r["result"]["forced"], 768 | 4);
    Ask(*c, R"({"id":3,"cmd":"drive_alarm","slot":5,"axis":3,"on":true})");
    Ask(*c, R"({"id":4,"cmd":"latch","slot":5,"axis":4,"value":-77})");
    r = Ask(*c, R"({"id":5,"cmd":"move_switch","slot":5,"axis":1,"name":"plus_limit","at":1234})");
    EXPECT_EQ(r["result"]["machine"]["plus_limit"], 1234);
    const Json s = Ask(*c, R"({"id":6,"cmd":"status","slot":5})")["result"];
    EXPECT_EQ(s["axes"][1]["forced"], 768 | 4);
    EXPECT_TRUE(s["axes"][1]["switches"]["home"].get<bool>());
    EXPECT_TRUE(s["axes"][2]["drive"]["alarm"].get<bool>());
    EXPECT_EQ(s["axes"][3]["latch"], -77);
    EXPECT_EQ(module->Snapshot().forcedInputs[1], 768 | 4);
    EXPECT_EQ(module->Machine(0).plusLimit, 1234);
    // The clock: paused, a step moves time by one step; resumed it goes on.
    r = Ask(*c, R"({"id":7,"cmd":"pause"})");
    EXPECT_TRUE(r["result"]["clocks"][0]["paused"].get<bool>());
    const double before = module->Now();
    r = Ask(*c, R"({"id":8,"cmd":"step","slot":5,"steps":4})");
    EXPECT_NEAR(r["result"]["time"].get<double>(), before + 0.004, 1e-9);
    r = Ask(*c, R"({"id":9,"cmd":"speed","slot":5,"scale":3})");
    EXPECT_EQ(r["result"]["clocks"][0]["scale"], 3.0);
    Ask(*c, R"({"id":10,"cmd":"resume"})");
    EXPECT_FALSE(module->Clock().paused);
    // The trail holds the steps run.
    r = Ask(*c, R"({"id":11,"cmd":"trail_read","slot":5,"since":-1,"max":2})");
    EXPECT_EQ(r["result"]["points"].size(), 2u);
    EXPECT_TRUE(r["result"]["more"].get<bool>());
}

TEST_F(Monitor, SamplesComeAtTheRateAskedAndASlowClientIsToldWhatItLost)
{
    auto fast = Connect();
    auto slow = Connect();
    // No more than a sample per motion step (1 ms), whatever is asked.
    const Json capped = Ask(*fast, R"({"id":0,"cmd":"subscribe","rate":1e6})")["result"];
    EXPECT_EQ(capped["rate"], 1000.0);
    EXPECT_EQ(capped["period"], 0.001);
    Ask(*fast, R"({"id":1,"cmd":"subscribe","rate":100,"events":"all"})");
    Ask(*slow, R"({"id":1,"cmd":"subscribe","rate":1000,"events":["packet"]})");
    MoveOn();
    // The fast client reads: samples 10 ms of simulated time apart.
    std::vector<double> times;
    std::string line;
    while (times.size() < 20 && fast->ReadLine(line, 5000)) {
        const Json j = Json::parse(line);
        if (j["type"] == "sample") {
            EXPECT_EQ(j["slot"], 5);
            times.push_back(j["time"]);
        }
    }
    ASSERT_EQ(times.size(), 20u);
    for (std::size_t i = 2; i < times.size(); ++i) {
        EXPECT_NEAR(times[i] - times[i - 1], 0.01, 0.0015);
    }
    // The slow one has not read for a while; speeding the clock up fills its
    // queue, then what it lost is in a later sample.
    Ask(*fast, R"({"id":2,"cmd":"speed","scale":1000})");
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    std::uint64_t lost = 0;
    for (int i = 0; i < 200000 && lost == 0 && slow->ReadLine(line, 5000); ++i) {
        const Json j = Json::parse(line);
        if (j["type"] == "sample") {
            lost += j["lost"].get<std::uint64_t>();
        }
    }
    EXPECT_GT(lost, 0u);
    Halt();
}

TEST_F(Monitor, ManyClientsMisbehavingClientsAndALineTooLong)
{
    // No session file here: the steps below would fill it.
    velkor_sim::StopMonitor();
    velkor_sim::MonitorOptions options;
    options.path = path;
    std::string error;
    ASSERT_TRUE(velkor_sim::StartMonitor(options, error)) << error;
    std::vector<std::unique_ptr<velkor_sim::MonitorClient>> clients;
    for (int i = 0; i < 16; ++i) {
        clients.push_back(Connect());
    }
    // Gone mid-line.
    clients[0]->Send("{\"id\":1,\"cmd\":\"sta");
    clients[0]->Close();
    // Lines at the longest and one byte over: the first is read (and is no
    // JSON), the second gets its error, then the end of the connection.
    const struct {
        std::size_t bytes;
        const char* code;
        bool closed;
    } lines[] = {{65536, "bad_json", false}, {65537, "line_too_long", true}};
    for (const auto& l : lines) {
        auto& c = *clients[1];
        c.Send(std::string(l.bytes, 'x'));
        std::string line;
        ASSERT_TRUE(c.ReadLine(line, 5000)) << l.bytes;
        EXPECT_EQ(Json::parse(line)["error"]["code"], l.code) << l.bytes;
        EXPECT_EQ(!c.ReadLine(line, l.closed ? 5000 : 200) && !c.TimedOut(), l.closed) << l.bytes;
    }
    // A client that asks and never reads is closed as soon as the replies
    // waiting for it pass 4 MiB: what it asked after that is not carried
    // out. The whole trail of 65536 steps is a reply of over 1 MiB.
    Ask(*clients[2], R"({"id":1,"cmd":"pause"})");
    Ask(*clients[2], R"({"id":2,"cmd":"step","slot":5,"steps":65536})", 60000);
    std::string flood;
    for (int i = 0; i < 6; ++i) {
        flood += "{\"id\":3,\"cmd\":\"trail_read\",\"slot\":5,\"max\":100000}\n";
    }
    flood += R"({"id":4,"cmd":"set_inputs","slot":5,"axis":1,"set":256})";
    clients[2]->Send(flood);
    std::string line;
    while (clients[2]->ReadLine(line, 60000)) {
    }
    EXPECT_FALSE(clients[2]->TimedOut());
    EXPECT_EQ(module->Snapshot().forcedInputs[0], 0);
    // Everyone else is served.
    for (std::size_t i = 3; i < clients.size(); ++i) {
        EXPECT_EQ(Ask(*clients[i], R"({"id":1,"cmd":"status","slot":5})")["result"]["slot"], 5) << i;
    }
    // 16 at once: a 17th is told so.
    for (int i = 0; i < 3; ++i) {
        clients.push_back(Connect());
    }
    velkor_sim::MonitorClient extra;
    ASSERT_TRUE(extra.Connect(path, error)) << error;
    ASSERT_TRUE(extra.ReadLine(line, 5000));
    EXPECT_EQ(Json::parse(line)["reason"], "too_many_clients") << line;
    EXPECT_FALSE(extra.ReadLine(line, 5000));
}

TEST_F(Monitor, TheSessionFileHasTheHeaderSamplesEventsAndTheEnd)
{
    MoveOn();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    Halt();
    module->SetBusy(true);
    module->SetBusy(false);
    velkor_sim::VirtualModule later; // plugged after the session began
    ASSERT_TRUE(later.PlugInto(6));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    velkor_sim::StopMonitor();
    std::ifstream in(folder / "session.jsonl");
    std::string line;
    std::map<std::string, int> kinds;
    std::string last;
    while (std::getline(in, line)) {
        const Json j = Json::parse(line);
        ++kinds[j["type"].get<std::string>() + (j.contains("event") ? ":" + j["event"].get<std::string>() : "")];
        last = j["type"];
        if (j["type"] == "session") {
            ASSERT_EQ(j["modules"].size(), 1u);
            EXPECT_EQ(j["modules"][0]["slot"], 5);
            EXPECT_EQ(j["modules"][0]["firmware"].get<std::string>().empty(), false);
        } else if (j["type"] == "sample" && kinds["sample"] == 1) {
            EXPECT_TRUE(j["axes"][0]["following_error"].is_number());
        } else if (j.value("event", "") == "module" && j["slot"] == 6) {
            EXPECT_EQ(j["module"]["slot"], 6) << line;
        }
    }
    EXPECT_EQ(kinds["session"], 1);
    EXPECT_EQ(kinds["event:module"], 2); // slot 5 as the session began, then slot 6
    EXPECT_GT(kinds["sample"], 50); // 1000 a simulated second, at 10 times real time
    EXPECT_EQ(kinds["event:failure"], 1);
    EXPECT_EQ(kinds["status"], 2);
    EXPECT_EQ(last, "end");
    EXPECT_FALSE(fs::exists(path)); // the endpoint went away
}

TEST(MonitorEndpoint, RefusesAFolderOthersCanWriteToAndASecondMonitor)
{
#ifdef _WIN32
    GTEST_SKIP() << "the endpoint is a file naming a loopback port and a token";
#else
    const fs::path folder = PrivateFolder();
    std::string error;
    velkor_sim::MonitorOptions options;
    fs::permissions(folder, fs::perms::owner_all | fs::perms::others_write, fs::perm_options::replace);
    options.path = (folder / "m").string();
    EXPECT_FALSE(velkor_sim::StartMonitor(options, error));
    EXPECT_NE(error.find("writable by nobody else"), std::string::npos) << error;
    fs::permissions(folder, fs::perms::owner_all, fs::perm_options::replace);
    std::ofstream(folder / "file") << "x";
    options.path = (folder / "file").string();
    EXPECT_FALSE(velkor_sim::StartMonitor(options, error));
    options.path = (folder / "m").string();
    ASSERT_TRUE(velkor_sim::StartMonitor(options, error)) << error;
    EXPECT_EQ(fs::status(options.path).permissions() & (fs::perms::group_all | fs::perms::others_all),
              fs::perms::none);
    EXPECT_FALSE(velkor_sim::StartMonitor(options, error));
    velkor_sim::StopMonitor();
    fs::remove_all(folder);
#endif
}

} // namespace
} // namespace velkor_sim_test
