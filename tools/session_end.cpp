// Reading and mending the end of a session file (session_end.h).
#include "session_end.h"

#include "child_process.h"

#include <nlohmann/json.hpp>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace velkor_tool {
namespace {

using Json = nlohmann::ordered_json;

constexpr std::uintmax_t kTail = 1 << 20; // the end is looked for in the last MiB

struct Tail {
    bool read = false;
    std::uintmax_t size = 0;      // the file's
    std::uintmax_t wholeEnd = 0;  // the offset after its last newline
    std::string lastLine;         // the last whole line
    double time = 0;              // the latest "time" in the whole lines read
};

Tail ReadTail(const std::string& file)
{
    Tail t;
    std::error_code failed;
    t.size = std::filesystem::file_size(file, failed);
    std::ifstream in(file, std::ios::binary);
    if (failed || !in) {
        return t;
    }
    const std::uintmax_t from = t.size > kTail ? t.size - kTail : 0;
    in.seekg(static_cast<std::streamoff>(from));
    std::string text(static_cast<std::size_t>(t.size - from), '\0');
    in.read(&text[0], static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<std::size_t>(in.gcount()));
    t.read = true;
    const std::string::size_type last = text.rfind('\n');
    if (last == std::string::npos) {
        t.wholeEnd = from == 0 ? 0 : from; // a line longer than the tail: judged by what follows
        return t;
    }
    t.wholeEnd = from + last + 1;
    const std::string::size_type before = last == 0 ? std::string::npos : text.rfind('\n', last - 1);
    t.lastLine = text.substr(before == std::string::npos ? 0 : before + 1,
                             last - (before == std::string::npos ? 0 : before + 1));
    std::istringstream lines(text.substr(0, last + 1));
    std::string line;
    while (std::getline(lines, line)) {
        const Json j = Json::parse(line, nullptr, false);
        if (j.is_object() && j.contains("time") && j["time"].is_number()) {
            t.time = std::max(t.time, j["time"].get<double>());
        }
    }
    return t;
}

std::string Judge(const Tail& t)
{
    if (!t.read) {
        return "the recording was cut: the file cannot be read";
    }
    if (t.wholeEnd == 0) {
        return "the recording was cut: nothing was recorded";
    }
    const Json end = Json::parse(t.lastLine, nullptr, false);
    if (t.wholeEnd != t.size || !end.is_object() || end.value("type", "") != "end") {
        return "the recording was cut: the file has no end line (the program ended before its monitor could "
               "finish the file)";
    }
    if (end.contains("incomplete")) {
        return "the recording was cut: " +
               (end["incomplete"].is_string() ? end["incomplete"].get<std::string>() : std::string("incomplete"));
    }
    return std::string();
}

} // namespace

std::string SessionCut(const std::string& file) { return Judge(ReadTail(file)); }

std::string EndSessionFile(const std::string& file, const std::string& why)
{
    const Tail t = ReadTail(file);
    const std::string verdict = Judge(t);
    if (verdict.empty() || !t.read || t.wholeEnd == 0) {
        return verdict;
    }
    const Json end = Json::parse(t.lastLine, nullptr, false);
    if (t.wholeEnd == t.size && end.is_object() && end.value("type", "") == "end") {
        return verdict; // ended, as incomplete, by the monitor itself
    }
    std::error_code failed;
    std::filesystem::resize_file(file, t.wholeEnd, failed);
    std::ofstream out(file, std::ios::binary | std::ios::app);
    out << Json{{"type", "end"}, {"time", t.time}, {"incomplete", why}}.dump() << '\n';
    out.close();
    return failed || !out ? verdict : SessionCut(file);
}

bool FinishRecording(const std::string& file, int signal)
{
    std::string why = "the program ended before its monitor finished the file";
    if (signal != 0) {
        why = "the program was ended by signal " + std::to_string(signal) + " (" + SignalName(signal) + ")";
    }
    const std::string cut = EndSessionFile(file, why);
    if (cut.empty()) {
        std::fprintf(stderr, "velkor run: session recorded to %s (draw it with: velkor plot %s --svg FILE)\n",
                     file.c_str(), file.c_str());
        return true;
    }
    std::fprintf(stderr, "velkor run: the session in %s is incomplete: %s\n", file.c_str(), cut.c_str());
    return false;
}

} // namespace velkor_tool
