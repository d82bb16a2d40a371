// velkor arc: a preview of a three-point arc with the library's own planner.
#ifndef VELKOR_TOOLS_ARC_PREVIEW_H
#define VELKOR_TOOLS_ARC_PREVIEW_H

#include <array>
#include <cstdint>
#include <string>

namespace velkor_tool {

struct ArcOptions {
    std::array<std::int32_t, 3> mid{};
    std::array<std::int32_t, 3> end{};
    std::uint32_t tolerance = 0;
    std::uint32_t speed = 0;
    std::string svgFile;
};

// Prints the plan and its chords; the process exit code (1 when the three
// points give no arc to send).
int RunArcPreview(const ArcOptions& options);

} // namespace velkor_tool

#endif
