// Starting the application on Windows: the C runtime's _spawnvp.
#include "child_process.h"

#include <windows.h>

#include <cstdlib>
#include <process.h>

namespace velkor_tool {

struct ChildProcess::State {
    intptr_t handle = -1;
    bool ended = false;
    ChildEnd end;
};

ChildProcess::~ChildProcess()
{
    if (state_ != nullptr) {
        ChildEnd end;
        while (!Ended(end)) {
            Sleep(10);
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
    for (const auto& v : environment) {
        _putenv_s(v.first.c_str(), v.second.c_str());
    }
    // _spawnvp hands the arguments on as one command line: quote those with spaces.
    std::vector<std::string> quoted;
    for (const std::string& a : argv) {
        quoted.push_back(a.find_first_of(" \t\"") == std::string::npos ? a : "\"" + a + "\"");
    }
    std::vector<const char*> args;
    for (const std::string& a : quoted) {
        args.push_back(a.c_str());
    }
    args.push_back(nullptr);
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

std::string SignalName(int signal) { return "signal " + std::to_string(signal); }

} // namespace velkor_tool
