// What both platforms share of the program's captured output
// (program_output.h).
#include "program_output.h"

#include <cstdio>
#include <fstream>

namespace velkor_tool {

void ProgramOutput::Relay()
{
    RelayOne(streams_[0], out_, 1);
    RelayOne(streams_[1], err_, 2);
}

void ProgramOutput::RelayOne(Stream& s, KeptOutput& kept, int fd)
{
    if (s.file.empty()) {
        return;
    }
    std::ifstream in(s.file, std::ios::binary);
    if (!in) {
        return;
    }
    in.seekg(static_cast<std::streamoff>(s.offset));
    char buffer[65536];
    std::FILE* to = fd == 1 ? stdout : stderr;
    while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
        const std::size_t n = static_cast<std::size_t>(in.gcount());
        std::fwrite(buffer, 1, n, to);
        s.offset += n;
        kept.total += n;
        kept.text.append(buffer, n);
        if (kept.text.size() > 2 * kKeptOutput) {
            kept.text.erase(0, kept.text.size() - kKeptOutput);
        }
    }
    std::fflush(to);
    if (kept.text.size() > kKeptOutput) {
        kept.text.erase(0, kept.text.size() - kKeptOutput);
    }
}

} // namespace velkor_tool
