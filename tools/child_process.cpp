// What both platforms' child processes share (child_process.h).
#include "child_process.h"

#include <chrono>
#include <thread>

namespace velkor_tool {

ChildProcess::~ChildProcess()
{
    if (state_ != nullptr) {
        ChildEnd end;
        while (!Ended(end)) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        DeleteState(state_);
    }
}

namespace detail {

bool PrepareStart(const std::vector<std::string>& argv,
                  const std::vector<std::pair<std::string, std::string>>& environment, bool running,
                  std::string& error)
{
    if (argv.empty() || running) {
        error = "no program to run";
        return false;
    }
    for (const auto& v : environment) {
        SetVariable(v.first, v.second);
    }
    return true;
}

std::vector<std::string> Arguments(const std::vector<std::string>& argv, bool quote)
{
    std::vector<std::string> out;
    for (const std::string& a : argv) {
        out.push_back(!quote || a.find_first_of(" \t\"") == std::string::npos ? a : "\"" + a + "\"");
    }
    return out;
}

std::vector<char*> ArgumentPointers(std::vector<std::string>& arguments)
{
    std::vector<char*> pointers;
    for (std::string& a : arguments) {
        pointers.push_back(&a[0]);
    }
    pointers.push_back(nullptr);
    return pointers;
}

} // namespace detail
} // namespace velkor_tool
