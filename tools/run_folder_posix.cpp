// The folders of velkor's runs on POSIX systems (run_folder.h). The owner
// file holds "velkor PID START": START, the process's start time where the
// system tells it (Linux), tells a process from a later one of the same PID.
#include "run_folder.h"

#include "child_process.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

namespace velkor_tool {
namespace {

const char* const kPrefixes[] = {"velkor-run.", "velkor-web-"};
const char* const kOwnerFile = "owner";

// A process's start time in clock ticks since boot, or empty where unknown.
std::string StartTime(long pid)
{
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text;
    std::getline(stat, text);
    const std::string::size_type close = text.rfind(')');
    if (close == std::string::npos) {
        return std::string();
    }
    // After the command's ')': state is field 3, the start time field 22.
    std::istringstream fields(text.substr(close + 1));
    std::string field;
    for (int i = 3; i <= 22 && fields >> field; ++i) {
    }
    return fields ? field : std::string();
}

// Whether the owner file in `folder` names a process that is gone.
bool OwnerGone(const std::string& folder)
{
    const int fd = open((folder + "/" + kOwnerFile).c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        return false; // none (yet): being made, or not ours to judge
    }
    struct stat info;
    char text[128] = {};
    const bool read = fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size < 128 &&
                      ::read(fd, text, sizeof text - 1) > 0;
    close(fd);
    if (!read) {
        return false;
    }
    std::istringstream words(text);
    std::string velkor, start;
    long pid = 0;
    if (!(words >> velkor >> pid) || velkor != "velkor" || pid <= 0 || pid == static_cast<long>(getpid())) {
        return false;
    }
    words >> start;
    if (kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH) {
        return true;
    }
    const std::string now = StartTime(pid);
    return !start.empty() && !now.empty() && now != start; // the PID went to another process since
}

} // namespace

std::string TemporaryBase()
{
    const char* tmp = std::getenv("TMPDIR");
    return tmp != nullptr && *tmp != '\0' ? tmp : "/tmp";
}

int ClearDeadFolders(const std::string& base)
{
    DIR* dir = opendir(base.c_str());
    if (dir == nullptr) {
        return 0;
    }
    std::vector<std::string> dead;
    while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        bool ours = false;
        for (const char* prefix : kPrefixes) {
            ours = ours || (name.size() == std::strlen(prefix) + 6 && name.compare(0, std::strlen(prefix), prefix) == 0);
        }
        const std::string folder = base + "/" + name;
        struct stat info;
        if (ours && lstat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == geteuid() &&
            OwnerGone(folder)) {
            dead.push_back(folder);
        }
    }
    closedir(dir);
    int removed = 0;
    for (const std::string& folder : dead) {
        std::error_code ignored;
        removed += std::filesystem::remove_all(folder, ignored) > 0 ? 1 : 0;
    }
    return removed;
}

std::string MakeOwnedFolder(const std::string& base, const std::string& prefix, std::string& error)
{
    ClearDeadFolders(base);
    std::string pattern = base + "/" + prefix + "XXXXXX";
    if (mkdtemp(&pattern[0]) == nullptr) {
        error = "cannot make a folder in " + base + ": " + std::strerror(errno);
        return std::string();
    }
    const long pid = static_cast<long>(getpid());
    std::ofstream owner(pattern + "/" + kOwnerFile, std::ios::trunc);
    owner << "velkor " << pid << ' ' << StartTime(pid) << '\n';
    owner.close();
    if (!owner) {
        error = "cannot write in " + pattern + ": " + std::strerror(errno);
        std::error_code ignored;
        std::filesystem::remove_all(pattern, ignored);
        return std::string();
    }
    return pattern;
}

std::string MakeRunFolder(std::string& error) { return MakeOwnedFolder(TemporaryBase(), "velkor-run.", error); }

} // namespace velkor_tool
