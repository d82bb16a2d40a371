// velkor campaign (campaign_command.h): finds Python and the velkor package,
// then runs the package's campaign command as a child that keeps the
// terminal, so that Ctrl-C reaches it and it still writes its report.
#include "campaign_command.h"

#include "child_process.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <thread>

namespace velkor_tool {
namespace {

namespace fs = std::filesystem;

constexpr int kUsageError = 2;
constexpr std::chrono::milliseconds kPoll{20};

bool HasPackage(const std::string& folder)
{
    std::error_code ignored;
    return !folder.empty() && fs::exists(fs::path(folder) / "velkor" / "campaign" / "__main__.py", ignored);
}

// The folder that holds the velkor package: the installed one beside this
// tool's library folder, else the source tree's of this build.
std::string PackageFolder()
{
    const std::string installed = ExecutableFolder() + VELKOR_PYTHON_INSTALLED_RELATIVE;
    if (HasPackage(installed)) {
        return fs::path(installed).lexically_normal().string();
    }
    if (HasPackage(VELKOR_PYTHON_SOURCE_DIR)) {
        return VELKOR_PYTHON_SOURCE_DIR;
    }
    return std::string();
}

std::string Python()
{
    const char* named = std::getenv("VELKOR_PYTHON");
    if (named != nullptr && *named != '\0') {
        return named;
    }
    std::error_code ignored;
    return fs::exists(VELKOR_PYTHON_EXECUTABLE, ignored) ? VELKOR_PYTHON_EXECUTABLE : "python3";
}

} // namespace

int RunCampaign(const std::vector<std::string>& arguments)
{
    // Not beside the tool nor in this build's source tree: Python may still
    // find a package installed on its own path.
    std::string path = PackageFolder();
    if (const char* old = std::getenv("PYTHONPATH"); old != nullptr && *old != '\0') {
        path += (path.empty() ? "" : std::string(1, fs::path::preferred_separator == '\\' ? ';' : ':')) + old;
    }
    std::vector<std::string> command{Python(), "-m", "velkor.campaign"};
    command.insert(command.end(), arguments.begin(), arguments.end());
    const std::vector<std::pair<std::string, std::string>> environment{
        {"PYTHONPATH", path},
        {"VELKOR_TOOL", ExecutableFolder() + "velkor"},
    };
    std::string error;
    ChildProcess child;
    if (!child.Start(command, environment, error)) {
        std::fprintf(stderr, "velkor campaign: %s (Python 3.11 or later is needed: set VELKOR_PYTHON)\n",
                     error.c_str());
        return kUsageError;
    }
    ChildEnd end;
    while (!child.Ended(end)) {
        std::this_thread::sleep_for(kPoll);
    }
    if (const int received = ChildProcess::TerminationSignal(); received != 0) {
        return 128 + received;
    }
    return end.exitCode;
}

} // namespace velkor_tool
