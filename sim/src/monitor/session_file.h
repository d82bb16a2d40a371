// The session file the monitor records to (docs/monitor.md, Session
// files): lines gathered in memory and written whole, so that the file never
// ends in the middle of a line. When a write fails (a full disk), recording
// stops at once, the failure is reported on stderr, the file is cut back to
// its last whole line and ends with an end line that says it is incomplete
// ("incomplete": the reason), for the readers to tell.
#ifndef VELKOR_SIM_MONITOR_SESSION_FILE_H
#define VELKOR_SIM_MONITOR_SESSION_FILE_H

#include <cstdint>
#include <cstdio>
#include <string>

namespace velkor_sim {
namespace monitor {

class SessionFile {
public:
    SessionFile() = default;
    ~SessionFile();
    SessionFile(const SessionFile&) = delete;
    SessionFile& operator=(const SessionFile&) = delete;

    // Creates (or empties) the file; false with the reason otherwise.
    bool Open(const std::string& path, std::string& error);
    // Text for the file; whole lines go out at the next Flush (or when much
    // has gathered). Nothing once recording stopped.
    SessionFile& operator<<(const std::string& text);
    SessionFile& operator<<(char c);
    // Writes the whole lines gathered; `time` is the latest simulated time,
    // for the end line of a file that cannot be written to the end.
    void Flush(double time);
    bool Stopped() const { return stopped_; }

private:
    void Stop(const std::string& why, double time);
    bool Append(const std::string& line);

    std::FILE* file_ = nullptr;
    std::string path_;
    std::string pending_;
    std::uint64_t written_ = 0; // bytes of whole lines in the file
    std::uint64_t firstLine_ = 0; // the header's end: never cut
    bool stopped_ = false;
};

} // namespace monitor
} // namespace velkor_sim

#endif
