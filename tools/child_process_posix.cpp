// Starting the application on POSIX systems: fork and exec, the program in a
// process group of its own.
#include "child_process.h"
#include "soak.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <limits.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#ifdef __linux__
#include <sys/prctl.h>
#endif
#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace velkor_tool {
namespace {

// The signals passed on to the program's process group while it runs.
const int kPassedOn[] = {SIGINT, SIGQUIT, SIGTERM, SIGHUP};

volatile sig_atomic_t gGroup = 0;       // the running program's process group, 0: none
volatile sig_atomic_t gTermination = 0; // SIGTERM or SIGHUP received while it ran
// Whether SIGPIPE was ignored when velkor started (by whoever started it):
// the programs velkor starts get that, whatever velkor does with it since.
const bool kPipeIgnoredAtStart = [] {
    struct sigaction now {};
    return sigaction(SIGPIPE, nullptr, &now) == 0 && now.sa_handler == SIG_IGN;
}();

void PassOn(int signal)
{
    if (signal == SIGTERM || signal == SIGHUP) {
        gTermination = signal;
    }
    const pid_t group = gGroup;
    if (group > 0) {
        kill(-group, signal);
    }
}

// Whether any process of the group is left, after reaping those that ended
// (velkor adopts the program's orphans where the system allows: see Start).
bool GroupAlive(pid_t group)
{
    int status = 0;
    while (waitpid(-group, &status, WNOHANG) > 0) {
    }
    return kill(-group, 0) == 0;
}

// Makes `group` the terminal's foreground process group. Asked from the
// background, the terminal would stop the caller unless it ignores SIGTTOU.
void GiveTerminal(pid_t group)
{
    struct sigaction ignore {}, old {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    sigaction(SIGTTOU, &ignore, &old);
    tcsetpgrp(STDIN_FILENO, group);
    sigaction(SIGTTOU, &old, nullptr);
}

} // namespace

struct ChildProcess::State {
    pid_t pid = -1;
    struct sigaction old[sizeof kPassedOn / sizeof kPassedOn[0]] {};
    bool passingOn = false; // the signals are passed on to the group
    bool terminal = false;  // the program's group was given the terminal
    bool ended = false;
    ChildEnd end;

    void StopPassingOn()
    {
        if (passingOn) {
            passingOn = false;
            gGroup = 0;
            for (std::size_t i = 0; i < sizeof kPassedOn / sizeof kPassedOn[0]; ++i) {
                sigaction(kPassedOn[i], &old[i], nullptr);
            }
        }
    }
};

void ChildProcess::DeleteState(State* state)
{
    state->StopPassingOn();
    delete state;
}

int ChildProcess::TerminationSignal() { return gTermination; }

void IgnoreBrokenPipes()
{
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    sigaction(SIGPIPE, &ignore, nullptr);
}

namespace detail {
void SetVariable(const std::string& name, const std::string& value) { setenv(name.c_str(), value.c_str(), 1); }
} // namespace detail

bool ChildProcess::Start(const std::vector<std::string>& argv,
                         const std::vector<std::pair<std::string, std::string>>& environment, std::string& error)
{
    if (!detail::PrepareStart(argv, environment, state_ != nullptr, error)) {
        return false;
    }
    std::vector<std::string> arguments = detail::Arguments(argv, false);
    std::vector<char*> args = detail::ArgumentPointers(arguments);
    // The exec's failure comes back through a pipe closed by a successful exec.
    int report[2];
    if (pipe(report) != 0) {
        error = std::string("cannot make a pipe: ") + std::strerror(errno);
        return false;
    }
#ifdef __linux__
    // Processes the program leaves behind become velkor's children, so that
    // velkor can reap them and tell running ones from ended ones.
    prctl(PR_SET_CHILD_SUBREAPER, 1);
#endif
    // Like a shell running a job: the program in a process group of its own,
    // in the terminal's foreground when velkor is, so that Ctrl-C and
    // terminal input reach it; velkor passes on the signals it gets itself.
    const bool terminal = isatty(STDIN_FILENO) != 0 && tcgetpgrp(STDIN_FILENO) == getpgrp();
    std::fflush(nullptr);
    const pid_t parent = getpid();
    const pid_t pid = fork();
    if (pid < 0) {
        error = std::string("cannot fork: ") + std::strerror(errno);
        close(report[0]);
        close(report[1]);
        return false;
    }
    if (pid == 0) {
        close(report[0]);
        fcntl(report[1], F_SETFD, FD_CLOEXEC);
#ifdef __linux__
        // The program ends with velkor, even when velkor is killed outright
        // (kill -9): it must not go on polling its modules as an orphan.
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent) {
            _exit(127); // velkor ended before the request was made
        }
#endif
        // The program takes broken pipes as velkor was started to, not as
        // velkor takes them for itself (IgnoreBrokenPipes, the page's server).
        if (!kPipeIgnoredAtStart) {
            struct sigaction standard {};
            standard.sa_handler = SIG_DFL;
            sigemptyset(&standard.sa_mask);
            sigaction(SIGPIPE, &standard, nullptr);
        }
        setpgid(0, 0);
        if (terminal) {
            GiveTerminal(getpid());
        }
        execvp(args[0], args.data());
        const int why = errno;
        if (write(report[1], &why, sizeof why) < 0) {
            // nothing more to do: the parent sees the exit code
        }
        _exit(127);
    }
    setpgid(pid, pid); // also here: the group exists before any signal is passed on
    close(report[1]);
    int why = 0;
    ssize_t got;
    do {
        got = read(report[0], &why, sizeof why);
    } while (got < 0 && errno == EINTR);
    close(report[0]);
    state_ = new State;
    state_->pid = pid;
    state_->terminal = terminal;
    if (got == static_cast<ssize_t>(sizeof why)) {
        error = "cannot run " + argv[0] + ": " + std::strerror(why);
        ChildEnd end;
        while (!Ended(end)) {
            usleep(1000);
        }
        return false;
    }
    gGroup = pid;
    struct sigaction passOn {};
    passOn.sa_handler = PassOn;
    sigemptyset(&passOn.sa_mask);
    passOn.sa_flags = SA_RESTART;
    for (std::size_t i = 0; i < sizeof kPassedOn / sizeof kPassedOn[0]; ++i) {
        sigaction(kPassedOn[i], &passOn, &state_->old[i]);
    }
    state_->passingOn = true;
    return true;
}

bool ChildProcess::Ended(ChildEnd& end)
{
    if (state_ == nullptr) {
        return true;
    }
    if (!state_->ended) {
        int status = 0;
        const pid_t done = waitpid(state_->pid, &status, WNOHANG);
        if (done == 0 || (done < 0 && errno == EINTR)) {
            return false;
        }
        state_->ended = true;
        if (done > 0 && WIFSIGNALED(status)) {
            state_->end.signal = WTERMSIG(status);
            state_->end.exitCode = 128 + state_->end.signal;
        } else if (done > 0 && WIFEXITED(status)) {
            state_->end.exitCode = WEXITSTATUS(status);
        } else {
            state_->end.exitCode = 127;
        }
        if (state_->terminal) {
            GiveTerminal(getpgrp()); // back to velkor's group
        }
    }
    end = state_->end;
    return true;
}

bool ChildProcess::StopLeftovers(double graceSeconds)
{
    if (state_ == nullptr || !state_->ended) {
        return false;
    }
    const pid_t group = state_->pid;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(graceSeconds);
    while (GroupAlive(group) && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    const bool stopped = GroupAlive(group);
    if (stopped) {
        // Asked to end first, then made to.
        for (int sig : {SIGTERM, SIGKILL}) {
            if (!GroupAlive(group)) {
                break;
            }
            kill(-group, sig);
            const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(1);
            while (GroupAlive(group) && std::chrono::steady_clock::now() < until) {
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
        }
    }
    state_->StopPassingOn();
    return stopped;
}

void ChildProcess::Stop(bool force)
{
    if (state_ != nullptr && !state_->ended) {
        kill(-state_->pid, force ? SIGKILL : SIGTERM);
    }
}

std::string ExecutableFolder()
{
    char path[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0) {
        return std::string();
    }
    const std::string file(path, static_cast<std::size_t>(n));
    return file.substr(0, file.rfind('/') + 1);
}

bool ReadProcessUsage(ProcessUsage& usage)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        const std::string::size_type colon = line.find(':');
        const std::string key = line.substr(0, colon);
        if (colon != std::string::npos && (key == "Threads" || key == "VmRSS")) {
            (key == "Threads" ? usage.threads : usage.residentKb) = std::strtol(line.c_str() + colon + 1, nullptr, 10);
        }
    }
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 33))
    usage.heapKb = static_cast<long>(mallinfo2().uordblks / 1024);
#endif
    return usage.threads >= 0;
}

std::string SignalName(int signal)
{
    const char* name = strsignal(signal);
    return name != nullptr ? name : "signal " + std::to_string(signal);
}

} // namespace velkor_tool
