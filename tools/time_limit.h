// velkor run --time-limit: the tool's own hold on the limit, and how the end
// of the program is told. The modules in the program's process end it at the
// limit with 124 and say where each stood; a program that never reaches a
// module has nothing inside it to end it, so the tool asks its process group
// to end (SIGTERM) kBackstopGraceSeconds after the limit and makes it
// (SIGKILL) a second later.
#ifndef VELKOR_TOOLS_TIME_LIMIT_H
#define VELKOR_TOOLS_TIME_LIMIT_H

#include "child_process.h"

#include <cstdio>
#include <string>

namespace velkor_tool {

constexpr double kBackstopGraceSeconds = 3;

class TimeLimitBackstop {
public:
    explicit TimeLimitBackstop(double limit) : limit_(limit) {}

    // While the program runs, `elapsed` real seconds after its start.
    void Watch(ChildProcess& child, double elapsed);
    // The tool had to end the program.
    bool Fired() const { return firedAt_ >= 0; }
    double FiredAt() const { return firedAt_; }

private:
    double limit_;
    double firedAt_ = -1;
    bool forced_ = false;
};

// How the run ended, as the time limit's report needs it.
struct LimitEnd {
    double limit = 0;          // seconds, 0 for none
    bool byModules = false;    // the modules in the program ended it at the limit
    bool byTool = false;       // the tool's backstop ended it
    double toolSeconds = 0;    // when the backstop asked it to end
    double seconds = 0;        // real seconds the program ran
    bool Reached() const { return byModules || byTool; }
};

// "velkor run: ./p exited with 3", "... was ended by signal 11 (...)", or,
// when the limit ended it, "velkor run: the time limit (2 s) ended ./p
// (exit code 124)" with what ended it.
void PrintProgramEnd(std::FILE* out, const std::string& program, const ChildEnd& end, const LimitEnd& limit,
                     bool afterSignalLine);

} // namespace velkor_tool

#endif
