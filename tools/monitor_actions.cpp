// Acting on a program's modules through its monitor (monitor_actions.h).
#include "monitor_actions.h"

#include <velkor_sim/monitor.h>

#include <nlohmann/json.hpp>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <sstream>
#include <thread>

namespace velkor_tool {
namespace {

using Json = nlohmann::json;

// What one word of an action is.
enum class Word {
    Integer,   // an integer (0x.. too) for the field named
    Number,    // a number for the field named
    OnOff,     // on | off -> "on": bool
    Direction, // + | - | stop -> "direction": 1, -1, 0
    Text,      // passed as a string (a switch's name; the monitor checks it)
    InputOp,   // set | clear | word, then BITS -> that field
};

struct Part {
    Word word;
    const char* field;
    bool optional; // only at the end
};

struct Action {
    const char* name;
    const char* cmd;
    std::vector<Part> parts;
    const char* usage;
};

const std::vector<Action>& Actions()
{
    static const std::vector<Action> actions{
        {"pause", "pause", {{Word::Integer, "slot", true}}, "pause [SLOT]            stop simulated time (every module)"},
        {"resume", "resume", {{Word::Integer, "slot", true}}, "resume [SLOT]           let simulated time go on"},
        {"step", "step", {{Word::Integer, "slot", false}, {Word::Integer, "steps", true}},
         "step SLOT [STEPS]       run motion steps while paused (default 1)"},
        {"speed", "speed", {{Word::Number, "scale", false}, {Word::Integer, "slot", true}},
         "speed SCALE [SLOT]      simulated seconds per real second"},
        {"input", "set_inputs", {{Word::Integer, "slot", false}, {Word::Integer, "axis", false}, {Word::InputOp, "", false}},
         "input SLOT AXIS set|clear|word BITS   force input bits high, release them, or force the whole word"},
        {"switch", "switch", {{Word::Integer, "slot", false}, {Word::Integer, "axis", false}, {Word::Text, "name", false},
                              {Word::OnOff, "on", false}},
         "switch SLOT AXIS plus_limit|minus_limit|home|near_home on|off"},
        {"alarm", "drive_alarm", {{Word::Integer, "slot", false}, {Word::Integer, "axis", false}, {Word::OnOff, "on", false}},
         "alarm SLOT AXIS on|off  the drive's alarm output"},
        {"jog", "jog", {{Word::Integer, "slot", false}, {Word::Integer, "axis", false}, {Word::Direction, "direction", false}},
         "jog SLOT AXIS +|-|stop  press a jog button, or release it"},
        {"handwheel", "handwheel",
         {{Word::Integer, "slot", false}, {Word::Integer, "axis", false}, {Word::Integer, "counts", false}},
         "handwheel SLOT AXIS COUNTS   turn the handwheel"},
        {"latch", "latch", {{Word::Integer, "slot", false}, {Word::Integer, "axis", false}, {Word::Integer, "value", false}},
         "latch SLOT AXIS VALUE   the value the latch reads"},
        {"remote", "remote_input", {{Word::Integer, "slot", false}, {Word::Integer, "port", false}, {Word::Integer, "word", false}},
         "remote SLOT PORT WORD   a remote input word"},
    };
    return actions;
}

bool Integer(const std::string& text, long long& out)
{
    if (text.empty()) {
        return false;
    }
    char* end = nullptr;
    errno = 0;
    out = std::strtoll(text.c_str(), &end, 0);
    return *end == '\0' && errno == 0;
}

bool Number(const std::string& text, double& out)
{
    char* end = nullptr;
    out = std::strtod(text.c_str(), &end);
    return !text.empty() && *end == '\0';
}

} // namespace

std::string ActionUsage()
{
    std::string text;
    for (const Action& a : Actions()) {
        text += std::string("  ") + a.usage + "\n";
    }
    return text;
}

std::string ActionRequest(const std::vector<std::string>& words, int id, std::string& error)
{
    if (words.empty()) {
        error = "no action; the actions are:\n" + ActionUsage();
        return std::string();
    }
    const Action* action = nullptr;
    for (const Action& a : Actions()) {
        if (words[0] == a.name) {
            action = &a;
        }
    }
    if (action == nullptr) {
        error = "'" + words[0] + "' is no action; the actions are:\n" + ActionUsage();
        return std::string();
    }
    Json request{{"id", id}, {"cmd", action->cmd}};
    const auto wrong = [&](const std::string& why) {
        error = action->name + std::string(": ") + why + "\n  usage: " + action->usage + "\n";
        return std::string();
    };
    std::size_t at = 1;
    for (const Part& p : action->parts) {
        if (at >= words.size()) {
            if (p.optional) {
                break;
            }
            return wrong(std::string("the ") + (p.word == Word::InputOp ? "bits" : p.field) + " is missing");
        }
        const std::string& w = words[at++];
        long long i = 0;
        double d = 0;
        switch (p.word) {
        case Word::Integer:
            if (!Integer(w, i)) {
                return wrong(std::string(p.field) + " '" + w + "' is not an integer");
            }
            request[p.field] = i;
            break;
        case Word::Number:
            if (!Number(w, d)) {
                return wrong(std::string(p.field) + " '" + w + "' is not a number");
            }
            request[p.field] = d;
            break;
        case Word::OnOff:
            if (w != "on" && w != "off") {
                return wrong("'" + w + "' is neither on nor off");
            }
            request[p.field] = w == "on";
            break;
        case Word::Direction:
            if (w != "+" && w != "-" && w != "stop") {
                return wrong("'" + w + "' is none of +, - and stop");
            }
            request[p.field] = w == "+" ? 1 : w == "-" ? -1 : 0;
            break;
        case Word::Text: request[p.field] = w; break;
        case Word::InputOp:
            if (w != "set" && w != "clear" && w != "word") {
                return wrong("'" + w + "' is none of set, clear and word");
            }
            if (at >= words.size()) {
                return wrong("the bits are missing");
            }
            if (!Integer(words[at], i)) {
                return wrong("bits '" + words[at] + "' are not an integer");
            }
            ++at;
            request[w] = i;
            break;
        }
    }
    if (at < words.size()) {
        return wrong("'" + words[at] + "' is one word too many");
    }
    return request.dump();
}

namespace {

// A short account of a reply's result, for people.
std::string ResultText(const Json& result)
{
    if (result.contains("clocks")) {
        std::string text;
        for (const Json& c : result["clocks"]) {
            char line[128];
            std::snprintf(line, sizeof line, "%sslot %d: clock %s%s x%g", text.empty() ? "" : "; ",
                          c.value("slot", 0), c.value("kind", "").c_str(), c.value("paused", false) ? " (paused)" : "",
                          c.value("scale", 1.0));
            text += line;
        }
        return text.empty() ? "no module" : text;
    }
    if (result.contains("forced")) {
        char line[96];
        std::snprintf(line, sizeof line, "forced 0x%04X, inputs 0x%04X", result.value("forced", 0u),
                      result.value("inputs", 0u));
        return line;
    }
    if (result.contains("time") && result.size() == 1) {
        char line[64];
        std::snprintf(line, sizeof line, "now at %.3f s", result["time"].get<double>());
        return line;
    }
    return result.empty() ? "done" : result.dump();
}

class ActionSession {
public:
    explicit ActionSession(const MonitorActionOptions& options) : options_(options) {}

    int Run()
    {
        if (options_.words.size() == 1 && options_.words[0] == "-") {
            if (!Connect()) {
                return 1;
            }
            int worst = 0;
            std::string line;
            while (std::getline(std::cin, line)) {
                std::istringstream split(line);
                std::vector<std::string> words;
                for (std::string w; split >> w;) {
                    words.push_back(w);
                }
                if (words.empty() || words[0][0] == '#') {
                    continue;
                }
                if (words[0] == "quit") {
                    break;
                }
                const int code = One(words);
                worst = code > worst ? code : worst;
                if (code == 1 && !connected_) {
                    return 1;
                }
            }
            return worst;
        }
        std::string error;
        if (ActionRequest(options_.words, 0, error).empty()) {
            std::fprintf(stderr, "velkor monitor: %s", error.c_str());
            return 2;
        }
        return Connect() ? One(options_.words) : 1;
    }

private:
    bool Connect()
    {
        std::string error;
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                                                                    std::chrono::duration<double>(options_.wait));
        while (!client_.Connect(options_.path, error)) {
            if (std::chrono::steady_clock::now() >= giveUp) {
                std::fprintf(stderr, "velkor monitor: %s\n", error.c_str());
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        std::string line;
        const Json hello = client_.ReadLine(line, 5000) ? Json::parse(line, nullptr, false) : Json();
        if (!hello.is_object() || hello.value("protocol", "") != "velkor-monitor") {
            std::fprintf(stderr, "velkor monitor: %s does not speak the monitor's protocol\n", options_.path.c_str());
            return false;
        }
        connected_ = true;
        return true;
    }

    // Sends one action and prints its reply: 0 done, 1 refused, 2 bad words.
    int One(const std::vector<std::string>& words)
    {
        std::string error;
        const std::string request = ActionRequest(words, ++id_, error);
        if (request.empty()) {
            std::fprintf(stderr, "velkor monitor: %s", error.c_str());
            return 2;
        }
        if (!client_.Send(request)) {
            std::fprintf(stderr, "velkor monitor: the monitor closed the connection (the program ended)\n");
            connected_ = false;
            return 1;
        }
        std::string line;
        while (client_.ReadLine(line, 30000)) {
            const Json reply = Json::parse(line, nullptr, false);
            if (!reply.is_object() || reply.value("type", "") != "reply" || reply.value("id", -1) != id_) {
                continue; // nothing is subscribed; a stray line is passed over
            }
            if (options_.json) {
                std::printf("%s\n", line.c_str());
            } else if (reply.value("ok", false)) {
                std::printf("%s: %s\n", words[0].c_str(), ResultText(reply["result"]).c_str());
            }
            std::fflush(stdout);
            if (!reply.value("ok", false)) {
                const Json& e = reply["error"];
                std::fprintf(stderr, "velkor monitor: %s: %s (%s)\n", words[0].c_str(),
                             e.value("message", "").c_str(), e.value("code", "").c_str());
                return 1;
            }
            return 0;
        }
        std::fprintf(stderr, "velkor monitor: %s: no reply (%s)\n", words[0].c_str(),
                     client_.TimedOut() ? "none within 30 s" : "the program ended");
        connected_ = !client_.TimedOut() ? false : connected_;
        return 1;
    }

    const MonitorActionOptions& options_;
    velkor_sim::MonitorClient client_;
    int id_ = 0;
    bool connected_ = false;
};

} // namespace

int RunMonitorActions(const MonitorActionOptions& options)
{
    ActionSession session(options);
    return session.Run();
}

} // namespace velkor_tool
