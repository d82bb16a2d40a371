// velkor run --junit: the program's standard output and error go to files in
// the run's folder while it runs; velkor copies what they gain to its own
// outputs as they grow (so the user still sees everything) and keeps the
// last part of each for the report's <system-out> and <system-err>. One
// file per platform (program_output_posix.cpp, program_output_win32.cpp):
// the descriptors 1 and 2 that the program inherits.
#ifndef VELKOR_TOOLS_PROGRAM_OUTPUT_H
#define VELKOR_TOOLS_PROGRAM_OUTPUT_H

#include <cstdint>
#include <string>

namespace velkor_tool {

// The output kept per stream: the last this many bytes.
constexpr std::size_t kKeptOutput = 1 << 20;

struct KeptOutput {
    std::string text;   // the last kKeptOutput bytes
    std::uint64_t total = 0; // bytes written in all
};

class ProgramOutput {
public:
    ProgramOutput() = default;
    ~ProgramOutput(); // gives velkor its outputs back if Restore was not called
    ProgramOutput(const ProgramOutput&) = delete;
    ProgramOutput& operator=(const ProgramOutput&) = delete;

    // Right before the program starts: points this process's standard
    // output and error at files in `folder`, which the program inherits.
    bool Redirect(const std::string& folder, std::string& error);
    // Right after the start: velkor's own outputs back.
    void Restore();
    // Copies what the files gained to velkor's outputs, and keeps it.
    void Relay();

    const KeptOutput& Out() const { return out_; }
    const KeptOutput& Err() const { return err_; }

private:
    struct Stream {
        std::string file;
        std::uint64_t offset = 0;
        int saved = -1; // velkor's own descriptor while redirected
    };
    void RelayOne(Stream& s, KeptOutput& kept, int fd);

    Stream streams_[2];
    KeptOutput out_, err_;
    bool redirected_ = false;
};

} // namespace velkor_tool

#endif
