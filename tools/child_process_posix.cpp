// Starting the application on POSIX systems: fork and exec.
#include "child_process.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <limits.h>
#include <sys/wait.h>
#include <unistd.h>

namespace velkor_tool {

struct ChildProcess::State {
    pid_t pid = -1;
    struct sigaction oldInterrupt {};
    struct sigaction oldQuit {};
    bool ended = false;
    ChildEnd end;
};

ChildProcess::~ChildProcess()
{
    if (state_ != nullptr) {
        ChildEnd end;
        while (!Ended(end)) {
            usleep(10000);
        }
        delete state_;
    }
}

bool ChildProcess::Start(const std::vector<std::string>& argv,
                         const std::vector<std::pair<std::string, std::string>>& environment, std::string& error)
{
    if (argv.empty() || state_ != nullptr) {
        error = "no program to run";
        return false;
    }
    std::vector<char*> args;
    for (const std::string& a : argv) {
        args.push_back(const_cast<char*>(a.c_str()));
    }
    args.push_back(nullptr);
    // The exec's failure comes back through a pipe closed by a successful exec.
    int report[2];
    if (pipe(report) != 0) {
        error = std::string("cannot make a pipe: ") + std::strerror(errno);
        return false;
    }
    // velkor itself has no use for these variables: set them here, where no
    // other thread of this process can be reading the environment.
    for (const auto& v : environment) {
        setenv(v.first.c_str(), v.second.c_str(), 1);
    }
    std::fflush(nullptr);
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
        execvp(args[0], args.data());
        const int why = errno;
        if (write(report[1], &why, sizeof why) < 0) {
            // nothing more to do: the parent sees the exit code
        }
        _exit(127);
    }
    close(report[1]);
    int why = 0;
    ssize_t got;
    do {
        got = read(report[0], &why, sizeof why);
    } while (got < 0 && errno == EINTR);
    close(report[0]);
    state_ = new State;
    state_->pid = pid;
    if (got == static_cast<ssize_t>(sizeof why)) {
        error = "cannot run " + argv[0] + ": " + std::strerror(why);
        ChildEnd end;
        while (!Ended(end)) {
            usleep(1000);
        }
        return false;
    }
    // Like a shell running a program: Ctrl-C ends the program, and velkor
    // stays to report how it ended.
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    sigaction(SIGINT, &ignore, &state_->oldInterrupt);
    sigaction(SIGQUIT, &ignore, &state_->oldQuit);
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
        sigaction(SIGINT, &state_->oldInterrupt, nullptr);
        sigaction(SIGQUIT, &state_->oldQuit, nullptr);
    }
    end = state_->end;
    return true;
}

std::string MakeRunFolder(std::string& error)
{
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/velkor-run.XXXXXX";
    std::vector<char> text(pattern.begin(), pattern.end());
    text.push_back('\0');
    if (mkdtemp(text.data()) == nullptr) {
        error = "cannot make a folder in " + pattern.substr(0, pattern.rfind('/')) + ": " + std::strerror(errno);
        return std::string();
    }
    return std::string(text.data());
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

std::string SignalName(int signal)
{
    const char* name = strsignal(signal);
    return name != nullptr ? name : "signal " + std::to_string(signal);
}

} // namespace velkor_tool
