// Starting the application that `velkor run` runs, one file per platform
// (child_process_posix.cpp, child_process_win32.cpp).
#ifndef VELKOR_TOOLS_CHILD_PROCESS_H
#define VELKOR_TOOLS_CHILD_PROCESS_H

#include <string>
#include <utility>
#include <vector>

namespace velkor_tool {

struct ChildEnd {
    int exitCode = 0; // the program's exit code, or 128 + the signal that ended it
    int signal = 0;   // the signal that ended it, 0 when it exited
};

class ChildProcess {
public:
    ChildProcess() = default;
    ~ChildProcess(); // waits for a child still running
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Starts `argv` (argv[0] is looked up in PATH unless it has a slash)
    // with the given variables added to this process's environment.
    // Interrupt and quit signals go to the child alone while it runs.
    bool Start(const std::vector<std::string>& argv,
               const std::vector<std::pair<std::string, std::string>>& environment, std::string& error);
    // True once the child has ended; then `end` says how.
    bool Ended(ChildEnd& end);

private:
    struct State;
    State* state_ = nullptr;
};

// A new empty folder for the run's reports; its path, or empty (with the
// reason in `error`).
std::string MakeRunFolder(std::string& error);
// The folder of the running velkor executable, with a trailing separator.
std::string ExecutableFolder();
// A short name of a signal ("Segmentation fault").
std::string SignalName(int signal);

} // namespace velkor_tool

#endif
