// Starting the application that `velkor run` runs, one file per platform
// (child_process_posix.cpp, child_process_win32.cpp), with what both share in
// child_process.cpp.
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
    // On POSIX systems the program runs in a process group of its own (with
    // the terminal, when velkor has it); interrupt, quit, termination and
    // hang-up signals that velkor receives while it runs are passed on to
    // that group, and velkor stays to report how the program ended.
    bool Start(const std::vector<std::string>& argv,
               const std::vector<std::pair<std::string, std::string>>& environment, std::string& error);
    // True once the child has ended; then `end` says how.
    bool Ended(ChildEnd& end);
    // After the child has ended: waits up to `graceSeconds` for the processes
    // it started (its process group) to end, then stops those still running.
    // Returns true when some had to be stopped.
    bool StopLeftovers(double graceSeconds);
    // While the child runs: asks it (its process group, on POSIX) to end
    // (SIGTERM), or with `force` makes it (SIGKILL; TerminateProcess).
    void Stop(bool force);

    // The termination or hang-up signal velkor received while a child ran
    // (passed on to it), or 0.
    static int TerminationSignal();

private:
    struct State;
    static void DeleteState(State* state);
    State* state_ = nullptr;
};

// Makes writes to a reader that went away (velkor run ... | head -1) fail
// with an error instead of ending velkor before it has cleaned up. The
// programs velkor starts take SIGPIPE as velkor was started to take it.
void IgnoreBrokenPipes();

// A new empty folder for the run's reports; its path, or empty (with the
// reason in `error`).
std::string MakeRunFolder(std::string& error);
// The folder of the running velkor executable, with a trailing separator.
std::string ExecutableFolder();
// A short name of a signal ("Segmentation fault").
std::string SignalName(int signal);

namespace detail {
// Shared by the platform files. Checks that there is a program to run and
// none running yet, and adds the variables to this process's environment
// (velkor itself has no use for them; they are set here, where no other
// thread of this process reads the environment).
bool PrepareStart(const std::vector<std::string>& argv,
                  const std::vector<std::pair<std::string, std::string>>& environment, bool running,
                  std::string& error);
// The arguments as the C array that exec and spawn take, ending with a null
// pointer; `quote` puts those with spaces, tabs or quotes in quotes (spawn
// hands them on as one command line).
std::vector<std::string> Arguments(const std::vector<std::string>& argv, bool quote);
std::vector<char*> ArgumentPointers(std::vector<std::string>& arguments);
void SetVariable(const std::string& name, const std::string& value); // per platform
} // namespace detail

} // namespace velkor_tool

#endif
