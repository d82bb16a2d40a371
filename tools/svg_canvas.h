// The drawing primitives the tool's pictures share: an SVG document written
// as plain text, tick positions for an axis, and labels placed so that they
// never overprint one another.
#ifndef VELKOR_TOOLS_SVG_CANVAS_H
#define VELKOR_TOOLS_SVG_CANVAS_H

#include <string>
#include <utility>
#include <vector>

namespace velkor_tool {

std::string Escape(const std::string& text);

// Ticks at round numbers (1, 2 or 5 times a power of ten apart) covering
// [low, high] with at most `most` ticks.
struct Ticks {
    double step = 1;
    std::vector<double> at;
};
Ticks NiceTicks(double low, double high, int most);
// A tick value as text, with as many decimals as the step needs.
std::string TickText(double value, double step);

struct Box {
    double x = 0, y = 0, width = 0, height = 0;
    bool Overlaps(const Box& other) const;
    bool Inside(const Box& outer) const;
};

// The size a text takes at the given font size, estimated generously for a
// sans-serif font.
double TextWidth(const std::string& text, double fontSize);

class SvgDocument {
public:
    SvgDocument(double width, double height, const std::string& style);
    void Text(double x, double y, const std::string& cssClass, const std::string& text, const char* anchor = "start",
              double rotate = 0);
    void Line(double x1, double y1, double x2, double y2, const std::string& cssClass);
    void Rect(const Box& box, const std::string& cssClass);
    void Circle(double x, double y, double r, const std::string& cssClass);
    void Polygon(const std::vector<std::pair<double, double>>& points, const std::string& cssClass);
    void Polyline(const std::vector<std::pair<double, double>>& points, const std::string& cssClass);
    std::string Finish();

private:
    std::string out_;
};

// Places labels next to their points without overlapping each other or the
// obstacles given, staying inside the area. A label that has to move away
// from its point gets a leader line.
class LabelPlacer {
public:
    LabelPlacer(Box area, double fontSize) : area_(area), fontSize_(fontSize) {}
    void Obstacle(const Box& box) { taken_.push_back(box); }
    struct Placed {
        double x = 0, y = 0; // text baseline start
        bool leader = false; // draw a line from the point to the label
        bool placed = false;
    };
    Placed Place(double px, double py, const std::string& text);

private:
    Box area_;
    double fontSize_;
    std::vector<Box> taken_;
};

} // namespace velkor_tool

#endif
