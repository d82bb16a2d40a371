// Pictures of paths in three dimensions as SVG: the XY, XZ and YZ views (and,
// for an arc, a view in the arc's own plane), each with axes, ticks and
// coordinates in pulses, a start marker on every path, marked points with
// labels that never overprint, and a legend that says what is drawn.
#ifndef VELKOR_TOOLS_PATH_PICTURE_H
#define VELKOR_TOOLS_PATH_PICTURE_H

#include <array>
#include <optional>
#include <string>
#include <vector>

namespace velkor_tool {

using Point3 = std::array<double, 3>;

struct PicturePath {
    std::string name; // in the legend when there are several paths
    std::vector<Point3> points;
};

struct Mark {
    Point3 at;
    std::string label;
};

// A view seen along a plane's normal: coordinates along u and v (unit
// vectors at right angles) from the origin.
struct PlaneView {
    Point3 origin{};
    Point3 u{}, v{};
    std::string caption;
    std::string uName, vName;
};

struct Picture {
    std::string title;
    std::vector<PicturePath> paths;
    std::vector<Mark> marks;
    std::string pathMeaning = "the path driven";    // legend of the lines
    std::string markMeaning = "commanded end points"; // legend of the marks
    std::array<std::string, 3> axisNames{{"X", "Y", "Z"}};
    std::optional<PlaneView> plane; // drawn first when given
};

// Writes the picture; false (with the reason in `error`) when the file
// cannot be written.
bool WritePathPicture(const std::string& file, const Picture& picture, std::string& error);
// The SVG text alone.
std::string PathPictureSvg(const Picture& picture);

} // namespace velkor_tool

#endif
