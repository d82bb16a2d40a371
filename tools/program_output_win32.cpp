// The program's captured output on Windows: the C runtime's _dup2 over
// descriptors 1 and 2 while _spawnvp starts it (program_output.h).
#include "program_output.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

namespace velkor_tool {

ProgramOutput::~ProgramOutput() { Restore(); }

bool ProgramOutput::Redirect(const std::string& folder, std::string& error)
{
    std::fflush(stdout);
    std::fflush(stderr);
    const char* names[2] = {"\\stdout.txt", "\\stderr.txt"};
    int files[2] = {-1, -1};
    for (int i = 0; i < 2; ++i) {
        streams_[i].file = folder + names[i];
        files[i] = _open(streams_[i].file.c_str(), _O_WRONLY | _O_CREAT | _O_TRUNC | _O_APPEND | _O_BINARY,
                         _S_IREAD | _S_IWRITE);
        if (files[i] < 0) {
            error = "cannot make " + streams_[i].file + ": " + std::strerror(errno);
            if (i == 1) {
                _close(files[0]);
            }
            streams_[0].file.clear();
            streams_[1].file.clear();
            return false;
        }
    }
    for (int i = 0; i < 2; ++i) {
        streams_[i].saved = _dup(i + 1);
        _dup2(files[i], i + 1);
        _close(files[i]);
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
            _dup2(streams_[i].saved, i + 1);
            _close(streams_[i].saved);
            streams_[i].saved = -1;
        }
    }
    redirected_ = false;
}

} // namespace velkor_tool
