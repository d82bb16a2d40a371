// velkor monitor (monitor_command.h): a table of every module and axis,
// redrawn in place on a terminal and printed as plain lines otherwise, or the
// event stream passed through as JSON.
#include "monitor_command.h"

#include <velkor_sim/bit_names.h>
#include <velkor_sim/monitor.h>

#include <nlohmann/json.hpp>

#include <chrono>
#include <cstdio>
#include <deque>
#include <fstream>
#include <thread>
#include <unistd.h>

namespace velkor_tool {
namespace {

using Json = nlohmann::json;
using Clock = std::chrono::steady_clock;

constexpr int kEventLines = 6;

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

class Session {
public:
    explicit Session(const MonitorToolOptions& options) : options_(options), tty_(isatty(STDOUT_FILENO) != 0) {}

    int Run()
    {
        std::string error;
        const Clock::time_point giveUp = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                                            std::chrono::duration<double>(options_.wait));
        while (!client_.Connect(options_.path, error)) {
            if (Clock::now() >= giveUp) {
                std::fprintf(stderr, "velkor monitor: %s\n", error.c_str());
                return 1;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        std::string line;
        if (!client_.ReadLine(line, 5000)) {
            std::fprintf(stderr, "velkor monitor: no greeting from %s\n", options_.path.c_str());
            return 1;
        }
        if (options_.json && !options_.once) {
            std::printf("%s\n", line.c_str());
        }
        const Json hello = Json::parse(line, nullptr, false);
        if (hello.is_discarded() || hello.value("protocol", "") != "velkor-monitor") {
            std::fprintf(stderr, "velkor monitor: %s does not speak the monitor's protocol\n", options_.path.c_str());
            return 1;
        }
        // The modules plugged now; later ones come with their module event.
        if (hello.contains("slots") && hello["slots"].is_array()) {
            for (const Json& slot : hello["slots"]) {
                if (slot.is_number_integer()) {
                    status_[slot.get<int>()];
                }
            }
        }
        if (options_.once) {
            return Once();
        }
        Json subscribe{{"id", "subscribe"}, {"cmd", "subscribe"}, {"rate", options_.rate}};
        subscribe["events"] = options_.json ? Json("all")
                                            : Json::array({"interrupt", "errors", "program", "failure", "clock", "module"});
        client_.Send(subscribe.dump());
        AskStatus();
        const Clock::time_point start = Clock::now();
        Clock::time_point nextStatus = start + std::chrono::seconds(1);
        Clock::time_point nextDraw = start;
        bool programEnded = false;
        for (;;) {
            const bool got = client_.ReadLine(line, 100);
            if (!got && !client_.TimedOut()) {
                programEnded = true; // the monitor went with the program
                break;
            }
            const Clock::time_point now = Clock::now();
            if (got) {
                Take(line);
            }
            if (options_.seconds > 0 && Seconds(now - start) >= options_.seconds) {
                break;
            }
            if (now >= nextStatus) {
                nextStatus = now + std::chrono::seconds(1);
                AskStatus();
            }
            if (!options_.json && now >= nextDraw) {
                nextDraw = now + (tty_ ? std::chrono::milliseconds(100) : std::chrono::milliseconds(1000));
                Draw();
            }
        }
        if (!options_.json) {
            Draw();
            if (programEnded) {
                std::printf("velkor monitor: the session ended (the program's monitor closed)\n");
            } else {
                std::printf("velkor monitor: %g s passed; the program goes on\n", options_.seconds);
            }
        }
        return 0;
    }

private:
    int Once()
    {
        client_.Send(R"({"id":"list","cmd":"list"})");
        std::string line;
        Json modules;
        while (client_.ReadLine(line, 5000)) {
            const Json j = Json::parse(line, nullptr, false);
            if (j.value("type", "") == "reply" && j.value("id", "") == "list") {
                modules = j["result"]["modules"];
                break;
            }
        }
        for (const Json& m : modules) {
            client_.Send(Json{{"id", "status"}, {"cmd", "status"}, {"slot", m["slot"]}}.dump());
            while (client_.ReadLine(line, 5000)) {
                const Json j = Json::parse(line, nullptr, false);
                if (j.value("type", "") == "reply") {
                    if (options_.json) {
                        std::printf("%s\n", j["result"].dump().c_str());
                    } else if (j.value("ok", false)) {
                        status_[j["result"]["slot"].get<int>()] = j["result"];
                    }
                    break;
                }
            }
        }
        if (!options_.json) {
            tty_ = false;
            Draw();
        }
        return 0;
    }

    void AskStatus()
    {
        for (const auto& s : status_) {
            client_.Send(Json{{"id", "status"}, {"cmd", "status"}, {"slot", s.first}}.dump());
        }
        if (status_.empty()) {
            client_.Send(R"({"id":"list","cmd":"list"})");
        }
    }

    void Take(const std::string& line)
    {
        if (options_.json) {
            std::printf("%s\n", line.c_str());
            std::fflush(stdout);
            return;
        }
        const Json j = Json::parse(line, nullptr, false);
        if (j.is_discarded()) {
            return;
        }
        const std::string type = j.value("type", "");
        if (type == "reply" && j.value("ok", false)) {
            const Json& result = j["result"];
            if (j.value("id", "") == "status") {
                status_[result["slot"].get<int>()] = result;
            } else if (j.value("id", "") == "list") {
                for (const Json& m : result["modules"]) {
                    status_[m["slot"].get<int>()];
                }
                AskStatus();
            }
        } else if (type == "event" && j.value("event", "") == "module" && j.value("slot", 0) > 0) {
            if (j.value("plugged", false)) {
                status_[j["slot"].get<int>()];
                AskStatus();
            } else {
                status_.erase(j["slot"].get<int>());
            }
        } else if (type == "sample") {
            Json& s = status_[j["slot"].get<int>()];
            if (!s.contains("axes")) {
                return;
            }
            s["time"] = j["time"];
            for (int i = 0; i < 4; ++i) {
                Json& a = s["axes"][i];
                const Json& b = j["axes"][i];
                for (const char* key : {"lp", "ep", "speed", "error_code", "inputs", "outputs"}) {
                    a[key] = b[key];
                }
                a["state"] = b["driving"].get<bool>() ? "driving" : "idle";
            }
            lost_ += j.value("lost", 0ull);
        }
        if (type == "event") {
            std::string text = "slot " + std::to_string(j.value("slot", 0)) + " t=" +
                               std::to_string(j.value("time", 0.0)) + " " + j.value("event", "");
            for (auto it = j.begin(); it != j.end(); ++it) {
                if (it.key() != "type" && it.key() != "event" && it.key() != "slot" && it.key() != "time" &&
                    it.key() != "lost") {
                    text += " " + it.key() + "=" + it.value().dump();
                }
            }
            if (!tty_) {
                std::printf("%s\n", text.c_str());
                std::fflush(stdout);
            }
            events_.push_back(text);
            while (events_.size() > kEventLines) {
                events_.pop_front();
            }
        }
    }

    void Draw()
    {
        std::string out;
        char text[256];
        for (const auto& entry : status_) {
            const Json& s = entry.second;
            if (!s.contains("axes")) {
                std::snprintf(text, sizeof text, "slot %d  (its status is on its way)\n", entry.first);
                out += text;
                continue;
            }
            const Json& clock = s["clock"];
            std::snprintf(text, sizeof text, "slot %d  t=%.3f s  clock %s%s x%g  buffer %d  packets %llu%s\n",
                          entry.first, s["time"].get<double>(), clock["kind"].get<std::string>().c_str(),
                          clock["paused"].get<bool>() ? " (paused)" : "", clock["scale"].get<double>(),
                          s["buffer"]["segments"].get<int>(),
                          static_cast<unsigned long long>(s["counters"]["packets"].get<std::uint64_t>()),
                          s["program"]["running"].get<bool>() ? "  program running" : "");
            out += text;
            const unsigned moduleErrors = s.contains("module_errors") ? s["module_errors"].value("code", 0u) : 0u;
            if (moduleErrors != 0) {
                std::snprintf(text, sizeof text, "  module errors 0x%04X %s\n", moduleErrors,
                              velkor_sim::JoinedNames(moduleErrors, velkor_sim::ErrorBitNames(), 16).c_str());
                out += text;
            }
            out += "  axis        LP        EP      speed  state     inputs  out  errors\n";
            for (const Json& a : s["axes"]) {
                const unsigned code = a["error_code"].get<unsigned>();
                const std::string errors = velkor_sim::JoinedNames(code, velkor_sim::ErrorBitNames(), 16);
                std::snprintf(text, sizeof text, "  %4d %9d %9d %10.1f  %-8s  0x%04X  0x%02X  0x%04X%s%s\n",
                              a["axis"].get<int>(), a["lp"].get<int>(), a["ep"].get<int>(), a["speed"].get<double>(),
                              a["state"].get<std::string>().c_str(), a["inputs"].get<unsigned>(),
                              a["outputs"].get<unsigned>(), code, errors.empty() ? "" : " ", errors.c_str());
                out += text;
            }
        }
        if (status_.empty()) {
            out += "no module plugged yet\n";
        }
        if (tty_) {
            for (const std::string& e : events_) {
                out += e.substr(0, 150) + "\n";
            }
            if (lost_ > 0) {
                out += "samples lost: " + std::to_string(lost_) + "\n";
            }
            // Back over the last drawing, then the new one, clearing each line's rest.
            std::string frame;
            if (drawnLines_ > 0) {
                frame += "\x1b[" + std::to_string(drawnLines_) + "F";
            }
            int lines = 0;
            for (std::size_t at = 0; at < out.size();) {
                const std::size_t end = out.find('\n', at);
                frame += out.substr(at, end - at) + "\x1b[K\n";
                at = end + 1;
                ++lines;
            }
            frame += "\x1b[J";
            drawnLines_ = lines;
            std::fputs(frame.c_str(), stdout);
        } else {
            std::fputs(out.c_str(), stdout);
        }
        std::fflush(stdout);
    }

    const MonitorToolOptions& options_;
    bool tty_;
    velkor_sim::MonitorClient client_;
    std::map<int, Json> status_;
    std::deque<std::string> events_;
    unsigned long long lost_ = 0;
    int drawnLines_ = 0;
};

} // namespace

int RunMonitor(const MonitorToolOptions& options)
{
    Session session(options);
    return session.Run();
}

bool ReadSessionSamples(const std::string& file, std::map<unsigned, std::map<std::string, std::vector<double>>>& out,
                        std::string& error)
{
    std::ifstream in(file);
    std::string line;
    if (!in || !std::getline(in, line)) {
        error = "cannot read " + file;
        return false;
    }
    const Json header = Json::parse(line, nullptr, false);
    if (header.is_discarded() || !header.is_object() || header.value("type", "") != "session") {
        error = file + " is not a session file";
        return false;
    }
    for (std::size_t row = 2; std::getline(in, line); ++row) {
        const Json j = Json::parse(line, nullptr, false);
        if (j.is_discarded() || !j.is_object() || j.value("type", "") != "sample") {
            continue;
        }
        try {
            const unsigned slot = j.at("slot").get<unsigned>();
            auto& columns = out[slot];
            columns["time_s"].push_back(j.at("time").get<double>());
            columns["slot"].push_back(slot);
            for (int i = 0; i < 4; ++i) {
                const Json& a = j.at("axes").at(i);
                const std::string name = "axis" + std::to_string(i + 1);
                columns[name + "_lp"].push_back(a.at("lp").get<double>());
                columns[name + "_ep"].push_back(a.at("ep").get<double>());
                columns[name + "_speed"].push_back(a.at("speed").get<double>());
                columns[name + "_inputs"].push_back(a.at("inputs").get<double>());
            }
        } catch (const Json::exception&) {
            error = file + ", line " + std::to_string(row) + ": not a sample";
            return false;
        }
    }
    return true;
}

} // namespace velkor_tool
