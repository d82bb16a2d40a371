// Pictures of paths in three dimensions as SVG: two projections side by
// side (the XY view and a second view), with marked points.
#ifndef VELKOR_TOOLS_SVG_H
#define VELKOR_TOOLS_SVG_H

#include <array>
#include <string>
#include <vector>

namespace velkor_tool {

using Point3 = std::array<double, 3>;

struct Mark {
    Point3 at;
    std::string label;
};

struct Picture {
    std::string title;
    std::vector<std::vector<Point3>> paths; // each drawn as one line
    std::vector<Mark> marks;                // commanded points
    std::array<std::string, 3> axisNames{{"X", "Y", "Z"}};
};

// Writes the picture with an XY view and an XZ view. Returns false (and says
// why in `error`) when the file cannot be written.
bool WriteSvg(const std::string& file, const Picture& picture, std::string& error);

} // namespace velkor_tool

#endif
