// velkor macro: records a sample macro program on a virtual module, lists
// its steps, runs it and steps through it with the debugger.
#ifndef VELKOR_TOOLS_MACRO_TOOL_H
#define VELKOR_TOOLS_MACRO_TOOL_H

#include <cstdint>

namespace velkor_tool {

struct MacroOptions {
    int program = 5;          // the program number to record under, 0..255
    int loops = 3;            // back-and-forth moves of the sample
    bool listOnly = false;    // record and list, without running or debugging
};

// The process exit code: 0 when the run and the debugging session ended as
// the program says they should.
int RunMacro(const MacroOptions& options);

} // namespace velkor_tool

#endif
