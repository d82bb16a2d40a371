// Checking and writing the tool's output files.
#include "output_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace velkor_tool {

bool CheckWritable(const std::string& file, std::string& error)
{
    if (file.empty()) {
        error = "no file name given";
        return false;
    }
    std::FILE* existing = std::fopen(file.c_str(), "rb");
    const bool existed = existing != nullptr;
    if (existing != nullptr) {
        std::fclose(existing);
    }
    std::FILE* f = std::fopen(file.c_str(), "ab");
    if (f == nullptr) {
        error = "cannot write " + file + ": " + std::strerror(errno);
        return false;
    }
    std::fclose(f);
    if (!existed) {
        std::remove(file.c_str());
    }
    return true;
}

bool WriteWholeFile(const std::string& file, const std::string& text, std::string& error)
{
    std::FILE* f = std::fopen(file.c_str(), "wb");
    if (f == nullptr) {
        error = "cannot write " + file + ": " + std::strerror(errno);
        return false;
    }
    const bool written = std::fwrite(text.data(), 1, text.size(), f) == text.size();
    const bool closed = std::fclose(f) == 0;
    if (!written || !closed) {
        error = "cannot write " + file + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

} // namespace velkor_tool
