// SVG output of the tool: plain text, no library.
#include "svg.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <limits>
#include <sstream>

namespace velkor_tool {
namespace {

constexpr double kPanel = 460;  // size of one view in pixels
constexpr double kMargin = 30;
constexpr double kTop = 50;
constexpr std::size_t kMostPoints = 4000; // per path, enough for a smooth line

std::string Escape(const std::string& text)
{
    std::string out;
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        default: out += c;
        }
    }
    return out;
}

// One view: the coordinates u (across) and v (up) of the points, scaled alike
// on both axes so that circles stay round.
struct View {
    int u;
    int v;
    double left;
    double minU = std::numeric_limits<double>::max(), maxU = std::numeric_limits<double>::lowest();
    double minV = std::numeric_limits<double>::max(), maxV = std::numeric_limits<double>::lowest();
    double scale = 1;

    void Take(const Point3& p)
    {
        minU = std::min(minU, p[u]);
        maxU = std::max(maxU, p[u]);
        minV = std::min(minV, p[v]);
        maxV = std::max(maxV, p[v]);
    }
    void Fit()
    {
        if (minU > maxU) {
            minU = maxU = minV = maxV = 0;
        }
        const double span = std::max({maxU - minU, maxV - minV, 1.0});
        scale = (kPanel - 2 * kMargin) / span;
        // Centre the drawing in its panel.
        const double padU = (span - (maxU - minU)) / 2;
        const double padV = (span - (maxV - minV)) / 2;
        minU -= padU;
        maxV += padV;
    }
    double X(const Point3& p) const { return left + kMargin + (p[u] - minU) * scale; }
    double Y(const Point3& p) const { return kTop + kMargin + (maxV - p[v]) * scale; }
};

void Draw(std::ostream& out, const View& view, const Picture& picture, const std::string& caption)
{
    char text[160];
    std::snprintf(text, sizeof text,
                  "<rect x=\"%.1f\" y=\"%.1f\" width=\"%.1f\" height=\"%.1f\" class=\"panel\"/>\n", view.left, kTop,
                  kPanel, kPanel);
    out << text;
    std::snprintf(text, sizeof text, "<text x=\"%.1f\" y=\"%.1f\" class=\"caption\">%s</text>\n", view.left + 8,
                  kTop + 18, Escape(caption).c_str());
    out << text;
    for (const auto& path : picture.paths) {
        if (path.empty()) {
            continue;
        }
        const std::size_t stride = std::max<std::size_t>(1, path.size() / kMostPoints);
        out << "<polyline class=\"path\" points=\"";
        for (std::size_t i = 0; i < path.size(); i += stride) {
            std::snprintf(text, sizeof text, "%.1f,%.1f ", view.X(path[i]), view.Y(path[i]));
            out << text;
        }
        std::snprintf(text, sizeof text, "%.1f,%.1f", view.X(path.back()), view.Y(path.back()));
        out << text << "\"/>\n";
    }
    for (const Mark& m : picture.marks) {
        std::snprintf(text, sizeof text, "<circle class=\"mark\" cx=\"%.1f\" cy=\"%.1f\" r=\"4\"/>\n", view.X(m.at),
                      view.Y(m.at));
        out << text;
        std::snprintf(text, sizeof text, "<text class=\"label\" x=\"%.1f\" y=\"%.1f\">", view.X(m.at) + 6,
                      view.Y(m.at) - 6);
        out << text << Escape(m.label) << "</text>\n";
    }
}

} // namespace

bool WriteSvg(const std::string& file, const Picture& picture, std::string& error)
{
    View xy{0, 1, 10};
    View xz{0, 2, 20 + kPanel};
    for (const auto& path : picture.paths) {
        for (const Point3& p : path) {
            xy.Take(p);
            xz.Take(p);
        }
    }
    for (const Mark& m : picture.marks) {
        xy.Take(m.at);
        xz.Take(m.at);
    }
    xy.Fit();
    xz.Fit();

    std::ostringstream out;
    const double width = 30 + 2 * kPanel;
    const double height = kTop + kPanel + 40;
    out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    out << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << width << "\" height=\"" << height
        << "\" viewBox=\"0 0 " << width << ' ' << height << "\">\n";
    out << "<style>.panel{fill:#fbfbf8;stroke:#999}.path{fill:none;stroke:#1f5fa8;stroke-width:1.6}"
           ".mark{fill:#d0402b}.label{font:11px sans-serif;fill:#7a2418}.caption{font:13px sans-serif;fill:#333}"
           ".title{font:bold 16px sans-serif;fill:#222}.note{font:11px sans-serif;fill:#555}</style>\n";
    out << "<text class=\"title\" x=\"10\" y=\"28\">" << Escape(picture.title) << "</text>\n";
    const auto& n = picture.axisNames;
    Draw(out, xy, picture, n[0] + n[1] + " view (" + n[1] + " up)");
    Draw(out, xz, picture, n[0] + n[2] + " view (" + n[2] + " up)");
    out << "<text class=\"note\" x=\"10\" y=\"" << height - 14
        << "\">blue: the path driven; red: commanded end points; units: pulses</text>\n";
    out << "</svg>\n";

    std::ofstream f(file, std::ios::binary);
    if (!f) {
        error = "cannot open " + file + " for writing";
        return false;
    }
    f << out.str();
    f.close();
    if (!f) {
        error = "cannot write " + file;
        return false;
    }
    return true;
}

} // namespace velkor_tool
