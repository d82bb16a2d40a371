// The tool's hold on the time limit (time_limit.h).
#include "time_limit.h"

namespace velkor_tool {

void TimeLimitBackstop::Watch(ChildProcess& child, double elapsed)
{
    if (limit_ <= 0 || elapsed < limit_ + kBackstopGraceSeconds) {
        return;
    }
    if (firedAt_ < 0) {
        firedAt_ = elapsed;
        child.Stop(false);
    } else if (!forced_ && elapsed >= firedAt_ + 1) {
        forced_ = true;
        child.Stop(true);
    }
}

void PrintProgramEnd(std::FILE* out, const std::string& program, const ChildEnd& end, const LimitEnd& limit,
                     bool afterSignalLine)
{
    const char* gap = afterSignalLine ? "" : "\n";
    if (limit.byModules) {
        std::fprintf(out, "%svelkor run: the time limit (%g s) ended %s (exit code %d)\n", gap, limit.limit,
                     program.c_str(), end.exitCode);
    } else if (limit.byTool) {
        std::fprintf(out,
                     "%svelkor run: the time limit (%g s) ended %s: it never reached a virtual module, which "
                     "would have ended it at the limit, so velkor run stopped it %.1f s after its start (%s)\n",
                     gap, limit.limit, program.c_str(), limit.toolSeconds,
                     end.signal != 0 ? ("signal " + std::to_string(end.signal)).c_str()
                                     : ("exit code " + std::to_string(end.exitCode)).c_str());
    } else if (end.signal != 0) {
        std::fprintf(out, "%svelkor run: %s was ended by signal %d (%s)\n", gap, program.c_str(), end.signal,
                     SignalName(end.signal).c_str());
    } else {
        std::fprintf(out, "%svelkor run: %s exited with %d\n", gap, program.c_str(), end.exitCode);
    }
}

} // namespace velkor_tool
