// Starting the application on Windows: the C runtime's _spawnvp.
#include "child_process.h"
#include "soak.h"

#include <windows.h>

#include <cstdlib>
#include <process.h>

namespace velkor_tool {

struct ChildProcess::State {
    intptr_t handle = -1;
    bool ended = false;
    ChildEnd end;
};

void ChildProcess::DeleteState(State* state) { delete state; }

// Windows ends velkor and the program together on Ctrl-C and Ctrl-Break
// (the console sends them to both), with nothing to pass on.
int ChildProcess::TerminationSignal() { return 0; }

namespace detail {
void SetVariable(const std::string& name, const std::string& value) { _putenv_s(name.c_str(), value.c_str()); }
} // namespace detail

bool ChildProcess::Start(const std::vector<std::string>& argv,
                         const std::vector<std::pair<std::string, std::string>>& environment, std::string& error)
{
    if (!detail::PrepareStart(argv, environment, state_ != nullptr, error)) {
        return false;
    }
    // _spawnvp hands the arguments on as one command line: those with spaces in quotes.
    std::vector<std::string> arguments = detail::Arguments(argv, true);
    std::vector<char*> args = detail::ArgumentPointers(arguments);
    const intptr_t handle = _spawnvp(_P_NOWAIT, argv[0].c_str(), args.data());
    if (handle == -1) {
        error = "cannot run " + argv[0];
        return false;
    }
    state_ = new State;
    state_->handle = handle;
    return true;
}

bool ChildProcess::Ended(ChildEnd& end)
{
    if (state_ == nullptr) {
        return true;
    }
    if (!state_->ended) {
        HANDLE process = reinterpret_cast<HANDLE>(state_->handle);
        if (WaitForSingleObject(process, 0) != WAIT_OBJECT_0) {
            return false;
        }
        DWORD code = 0;
        GetExitCodeProcess(process, &code);
        CloseHandle(process);
        state_->ended = true;
        state_->end.exitCode = static_cast<int>(code);
    }
    end = state_->end;
    return true;
}

// Processes the program started are not followed on Windows.
bool ChildProcess::StopLeftovers(double) { return false; }

void ChildProcess::Stop(bool)
{
    // Windows has no request to end: the process is ended at once.
    if (state_ != nullptr && !state_->ended) {
        TerminateProcess(reinterpret_cast<HANDLE>(state_->handle), 124);
    }
}

void IgnoreBrokenPipes() {} // writes to a closed pipe fail with an error here anyway

std::string MakeRunFolder(std::string& error)
{
    char base[MAX_PATH];
    const DWORD n = GetTempPathA(MAX_PATH, base);
    if (n == 0 || n >= MAX_PATH) {
        error = "no folder for temporary files";
        return std::string();
    }
    for (unsigned attempt = 0; attempt < 100; ++attempt) {
        const std::string folder = std::string(base) + "velkor-run-" + std::to_string(GetCurrentProcessId()) + "-" +
                                   std::to_string(GetTickCount() + attempt);
        if (CreateDirectoryA(folder.c_str(), nullptr)) {
            return folder;
        }
    }
    error = std::string("cannot make a folder in ") + base;
    return std::string();
}

std::string ExecutableFolder()
{
    char path[MAX_PATH];
    const DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) {
        return std::string();
    }
    const std::string file(path, n);
    return file.substr(0, file.find_last_of("\\/") + 1);
}

// Not followed on Windows: the soak prints n/a.
bool ReadProcessUsage(ProcessUsage&) { return false; }

std::string SignalName(int signal) { return "signal " + std::to_string(signal); }

} // namespace velkor_tool
