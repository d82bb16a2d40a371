// velkor soak: a long run of seven cards on virtual modules, for what grows
// over time (memory, threads) and what gets lost (packets).
#ifndef VELKOR_TOOLS_SOAK_H
#define VELKOR_TOOLS_SOAK_H

namespace velkor_tool {

struct SoakOptions {
    double minutes = 10;       // how long to run
    double everySeconds = 30;  // how often to print a line of figures
};

// Prints a line of figures every `everySeconds` and a verdict at the end.
// The process exit code: 0 when no packet was lost and no card failed.
int RunSoak(const SoakOptions& options);

// This process's thread count and memory, where the system tells them
// (child_process_posix.cpp, child_process_win32.cpp); false where it does not.
struct ProcessUsage {
    long threads = -1;
    long residentKb = -1; // resident set
    long heapKb = -1;     // memory allocated and not freed, where the C library tells it
};
bool ReadProcessUsage(ProcessUsage& usage);

} // namespace velkor_tool

#endif
