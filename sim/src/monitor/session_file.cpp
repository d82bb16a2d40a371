// The monitor's session file (session_file.h).
#include "monitor/session_file.h"

#include "monitor/protocol.h"

#include <cerrno>
#include <cstring>
#include <filesystem>

namespace velkor_sim {
namespace monitor {
namespace {

constexpr std::size_t kWriteAt = 256 * 1024; // gathered text written at once beyond this
constexpr std::uint64_t kRoom = 16 * 1024;   // whole lines dropped at a time to make room for the end line

} // namespace

SessionFile::~SessionFile()
{
    if (file_ != nullptr) {
        std::fclose(file_);
    }
}

bool SessionFile::Open(const std::string& path, std::string& error)
{
    file_ = std::fopen(path.c_str(), "wb");
    if (file_ == nullptr) {
        error = "cannot write " + path + ": " + std::strerror(errno);
        return false;
    }
    path_ = path;
    return true;
}

SessionFile& SessionFile::operator<<(const std::string& text)
{
    if (!stopped_) {
        pending_ += text;
        if (pending_.size() >= kWriteAt) {
            Flush(0);
        }
    }
    return *this;
}

SessionFile& SessionFile::operator<<(char c)
{
    if (!stopped_) {
        pending_ += c;
    }
    return *this;
}

void SessionFile::Flush(double time)
{
    if (stopped_ || file_ == nullptr) {
        return;
    }
    const std::string::size_type last = pending_.rfind('\n');
    if (last == std::string::npos) {
        return;
    }
    const std::size_t size = last + 1;
    errno = 0;
    if (std::fwrite(pending_.data(), 1, size, file_) != size || std::fflush(file_) != 0) {
        Stop(errno != 0 ? std::strerror(errno) : "a write failed", time);
        return;
    }
    if (written_ == 0) {
        firstLine_ = pending_.find('\n') + 1;
    }
    written_ += size;
    pending_.erase(0, size);
}

bool SessionFile::Append(const std::string& line)
{
    std::FILE* f = std::fopen(path_.c_str(), "ab");
    if (f == nullptr) {
        return false;
    }
    const bool written = std::fwrite(line.data(), 1, line.size(), f) == line.size() && std::fflush(f) == 0;
    return std::fclose(f) == 0 && written;
}

void SessionFile::Stop(const std::string& why, double time)
{
    stopped_ = true;
    pending_.clear();
    pending_.shrink_to_fit();
    std::fclose(file_);
    file_ = nullptr;
    // Cut back to the last whole line, then the end line; where even that
    // finds no room, whole lines before it go (never the header) until it
    // fits.
    const std::string end = Dump(Json{{"type", "end"}, {"time", time}, {"incomplete", why}}) + "\n";
    std::uint64_t keep = written_;
    bool ended = false;
    for (int attempt = 0; attempt < 8 && !ended; ++attempt) {
        std::error_code failed;
        std::filesystem::resize_file(path_, keep, failed);
        if (failed) {
            break;
        }
        if (Append(end)) {
            ended = true;
            break;
        }
        if (keep <= firstLine_) {
            break;
        }
        // The start of a line at least kRoom before `keep`.
        const std::uint64_t target = keep > firstLine_ + kRoom ? keep - kRoom : firstLine_;
        std::FILE* f = std::fopen(path_.c_str(), "rb");
        std::uint64_t cut = firstLine_;
        if (f != nullptr) {
            const std::uint64_t from = target > firstLine_ + 65536 ? target - 65536 : firstLine_;
            std::string tail(static_cast<std::size_t>(target - from), '\0');
            if (std::fseek(f, static_cast<long>(from), SEEK_SET) == 0 &&
                std::fread(&tail[0], 1, tail.size(), f) == tail.size()) {
                const std::string::size_type newline = tail.rfind('\n');
                cut = newline == std::string::npos ? from : from + newline + 1;
            }
            std::fclose(f);
        }
        keep = cut;
    }
    if (!ended) {
        std::error_code ignored;
        std::filesystem::resize_file(path_, keep, ignored);
    }
    std::fprintf(stderr,
                 "velkor_sim: monitor: cannot write the session file %s (%s): recording stopped at %.3f s of "
                 "simulated time; %s\n",
                 path_.c_str(), why.c_str(), time,
                 ended ? "the file keeps the whole lines written before and ends with an end line that says it is "
                         "incomplete"
                       : "the file could not be given an end line");
    std::fflush(stderr);
}

} // namespace monitor
} // namespace velkor_sim
