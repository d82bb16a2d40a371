// velkor arc in a build without the arc planner.
#include "arc_preview.h"

#include <cstdio>

namespace velkor_tool {

int RunArcPreview(const ArcOptions&)
{
    std::fprintf(stderr, "velkor: this build has no arc planner\n");
    return 1;
}

} // namespace velkor_tool
