// The program's captured output on POSIX systems: dup2 over descriptors 1
// and 2 while it starts (program_output.h).
#include "program_output.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace velkor_tool {

ProgramOutput::~ProgramOutput() { Restore(); }

bool ProgramOutput::Redirect(const std::string& folder, std::string& error)
{
    std::fflush(stdout);
    std::fflush(stderr);
    const char* names[2] = {"/stdout.txt", "/stderr.txt"};
    int files[2] = {-1, -1};
    for (int i = 0; i < 2; ++i) {
        streams_[i].file = folder + names[i];
        files[i] = open(streams_[i].file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_APPEND | O_CLOEXEC, 0600);
        if (files[i] < 0) {
            error = "cannot make " + streams_[i].file + ": " + std::strerror(errno);
            if (i == 1) {
                close(files[0]);
            }
            streams_[0].file.clear();
            streams_[1].file.clear();
            return false;
        }
    }
    for (int i = 0; i < 2; ++i) {
        streams_[i].saved = fcntl(i + 1, F_DUPFD_CLOEXEC, 3);
        dup2(files[i], i + 1); // the copy on 1 and 2 is inherited, the file's own descriptor is not
        close(files[i]);
    }
    redirected_ = true;
    return true;
}

void ProgramOutput::Restore()
{
    if (!redirected_) {
        return;
    }
    std::fflush(stdout);
    std::fflush(stderr);
    for (int i = 0; i < 2; ++i) {
        if (streams_[i].saved >= 0) {
            dup2(streams_[i].saved, i + 1);
            close(streams_[i].saved);
            streams_[i].saved = -1;
        }
    }
    redirected_ = false;
}

} // namespace velkor_tool
