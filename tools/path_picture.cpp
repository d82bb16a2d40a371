// Path pictures: one panel per view, laid out two to a row.
#include "path_picture.h"

#include "output_file.h"
#include "svg_canvas.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>

namespace velkor_tool {
namespace {

constexpr double kPlot = 380;   // side of a panel's square plot area
constexpr double kLeft = 70;    // room for the tick labels and the axis name on the left
constexpr double kBottom = 48;  // ... and below
constexpr double kCaption = 26; // room for the panel's caption above
constexpr double kCellWidth = kLeft + kPlot + 24;
constexpr double kCellHeight = kCaption + kPlot + kBottom + 10;
constexpr double kTitle = 44;
constexpr double kLegendLine = 18;
constexpr double kFont = 11;
constexpr std::size_t kMostPoints = 4000; // per path and panel, enough for a smooth line

const char* kStyle =
    ".frame{fill:#fbfbf8;stroke:#888}.grid{stroke:#e2e2dc;stroke-width:1}.tick{font:10px sans-serif;fill:#444}"
    ".axisname{font:11px sans-serif;fill:#333}.caption{font:bold 12px sans-serif;fill:#333}"
    ".title{font:bold 16px sans-serif;fill:#222}.legend{font:12px sans-serif;fill:#333}"
    ".mark{fill:#d0402b}.label{font:11px sans-serif;fill:#7a2418}.leader{stroke:#d0402b;stroke-width:0.6}"
    ".start{fill:#2e8b57;stroke:#174d30;stroke-width:0.8}.startlabel{font:11px sans-serif;fill:#174d30}"
    ".p0{fill:none;stroke:#1f5fa8;stroke-width:1.6}.p1{fill:none;stroke:#c76a12;stroke-width:1.6}"
    ".p2{fill:none;stroke:#2e8b57;stroke-width:1.6}.p3{fill:none;stroke:#8b3a8b;stroke-width:1.6}";

using Projection = std::function<std::pair<double, double>(const Point3&)>;

struct View {
    std::string caption;
    std::string uName, vName;
    Projection project;
};

double Dot(const Point3& a, const Point3& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

std::vector<View> ViewsOf(const Picture& picture)
{
    std::vector<View> views;
    const auto& n = picture.axisNames;
    if (picture.plane) {
        const PlaneView p = *picture.plane;
        views.push_back(View{p.caption, p.uName, p.vName, [p](const Point3& q) {
                                 const Point3 d{{q[0] - p.origin[0], q[1] - p.origin[1], q[2] - p.origin[2]}};
                                 return std::make_pair(Dot(d, p.u), Dot(d, p.v));
                             }});
    }
    // Which axes moved: anything drawn away from where the first thing drawn is.
    bool moved[3] = {false, false, false};
    const Point3* first = nullptr;
    auto see = [&](const Point3& q) {
        first = first != nullptr ? first : &q;
        for (int axis = 0; axis < 3; ++axis) {
            moved[axis] = moved[axis] || q[axis] != (*first)[axis];
        }
    };
    for (const PicturePath& path : picture.paths) {
        std::for_each(path.points.begin(), path.points.end(), see);
    }
    for (const Mark& m : picture.marks) {
        see(m.at);
    }
    // The views of two axes that both moved; a path along one axis (or none)
    // in the first view that shows that axis.
    const int pairs[3][2] = {{0, 1}, {0, 2}, {1, 2}};
    const int movedCount = int(moved[0]) + int(moved[1]) + int(moved[2]);
    bool shown = false;
    for (const auto& pr : pairs) {
        const int a = pr[0], b = pr[1];
        const bool wanted = movedCount >= 2 ? moved[a] && moved[b] : !shown && (movedCount == 0 || moved[a] || moved[b]);
        if (!wanted) {
            continue;
        }
        shown = true;
        views.push_back(View{n[a] + n[b] + " view (seen along " + n[3 - a - b] + ")", n[a], n[b],
                             [a, b](const Point3& q) { return std::make_pair(q[a], q[b]); }});
    }
    return views;
}

// One view in the cell whose top left corner is (left, top).
void DrawView(SvgDocument& svg, const Picture& picture, const View& view, double left, double top)
{
    // The range of everything drawn, the same scale across and up.
    double minU = std::numeric_limits<double>::max(), maxU = std::numeric_limits<double>::lowest();
    double minV = minU, maxV = maxU;
    auto take = [&](const Point3& q) {
        const auto p = view.project(q);
        minU = std::min(minU, p.first);
        maxU = std::max(maxU, p.first);
        minV = std::min(minV, p.second);
        maxV = std::max(maxV, p.second);
    };
    for (const PicturePath& path : picture.paths) {
        std::for_each(path.points.begin(), path.points.end(), take);
    }
    for (const Mark& m : picture.marks) {
        take(m.at);
    }
    if (minU > maxU) {
        minU = maxU = minV = maxV = 0;
    }
    const double span = std::max({maxU - minU, maxV - minV, 10.0}) * 1.12;
    const double midU = (minU + maxU) / 2, midV = (minV + maxV) / 2;
    const double u0 = midU - span / 2, v0 = midV - span / 2;
    const Box area{left + kLeft, top + kCaption, kPlot, kPlot};
    auto X = [&](double u) { return area.x + (u - u0) / span * kPlot; };
    auto Y = [&](double v) { return area.y + kPlot - (v - v0) / span * kPlot; };

    svg.Text(area.x, top + kCaption - 9, "caption", view.caption);
    svg.Rect(area, "frame");
    const Ticks tu = NiceTicks(u0, u0 + span, 6);
    for (double u : tu.at) {
        svg.Line(X(u), area.y, X(u), area.y + kPlot, "grid");
        svg.Text(X(u), area.y + kPlot + 14, "tick", TickText(u, tu.step), "middle");
    }
    const Ticks tv = NiceTicks(v0, v0 + span, 6);
    for (double v : tv.at) {
        svg.Line(area.x, Y(v), area.x + kPlot, Y(v), "grid");
        svg.Text(area.x - 5, Y(v) + 3.5, "tick", TickText(v, tv.step), "end");
    }
    svg.Text(area.x + kPlot / 2, area.y + kPlot + 34, "axisname", view.uName + " (pulses)", "middle");
    svg.Text(left + 14, area.y + kPlot / 2, "axisname", view.vName + " (pulses)", "middle", -90);

    LabelPlacer labels(area, kFont);
    for (std::size_t i = 0; i < picture.paths.size(); ++i) {
        const auto& points = picture.paths[i].points;
        if (points.empty()) {
            continue;
        }
        std::vector<std::pair<double, double>> line;
        const std::size_t stride = std::max<std::size_t>(1, points.size() / kMostPoints);
        for (std::size_t k = 0; k < points.size(); k += stride) {
            const auto p = view.project(points[k]);
            line.emplace_back(X(p.first), Y(p.second));
        }
        const auto last = view.project(points.back());
        line.emplace_back(X(last.first), Y(last.second));
        svg.Polyline(line, "p" + std::to_string(i % 4));
    }
    // Marks first, so their labels keep clear of every marker.
    struct Spot {
        double x, y;
        std::string label;
        bool start;
    };
    std::vector<Spot> spots;
    auto addSpot = [&](double x, double y, const std::string& label, bool start) {
        for (Spot& s : spots) {
            if (s.start == start && std::fabs(s.x - x) < 3 && std::fabs(s.y - y) < 3) {
                if (!label.empty() && s.label.find(label) == std::string::npos) {
                    s.label += (s.label.empty() ? "" : ", ") + label;
                }
                return;
            }
        }
        spots.push_back(Spot{x, y, label, start});
    };
    for (std::size_t i = 0; i < picture.paths.size(); ++i) {
        if (!picture.paths[i].points.empty()) {
            const auto p = view.project(picture.paths[i].points.front());
            addSpot(X(p.first), Y(p.second),
                    picture.paths.size() > 1 ? "start " + picture.paths[i].name : std::string("start"), true);
        }
    }
    for (const Mark& m : picture.marks) {
        const auto p = view.project(m.at);
        addSpot(X(p.first), Y(p.second), m.label, false);
    }
    for (const Spot& s : spots) {
        labels.Obstacle(Box{s.x - 6, s.y - 6, 12, 12});
        if (s.start) {
            svg.Polygon({{s.x, s.y - 6}, {s.x - 5.5, s.y + 4}, {s.x + 5.5, s.y + 4}}, "start");
        } else {
            svg.Circle(s.x, s.y, 4, "mark");
        }
    }
    for (const Spot& s : spots) {
        if (s.label.empty()) {
            continue;
        }
        const LabelPlacer::Placed at = labels.Place(s.x, s.y, s.label);
        if (!at.placed) {
            continue; // no room left anywhere in the panel: better no label than one over another
        }
        if (at.leader) {
            svg.Line(s.x, s.y, at.x + TextWidth(s.label, kFont) / 2, at.y - kFont / 2, "leader");
        }
        svg.Text(at.x, at.y, s.start ? "startlabel" : "label", s.label);
    }
}

} // namespace

std::string PathPictureSvg(const Picture& picture)
{
    const std::vector<View> views = ViewsOf(picture);
    const int columns = views.size() > 1 ? 2 : 1;
    const int rows = static_cast<int>((views.size() + columns - 1) / columns);
    const double legendLines = 3 + static_cast<double>(picture.paths.size() > 1 ? picture.paths.size() : 1);
    const double width = 10 + columns * kCellWidth;
    const double height = kTitle + rows * kCellHeight + legendLines * kLegendLine + 16;
    SvgDocument svg(width, height, kStyle);
    svg.Text(10, 28, "title", picture.title);
    for (std::size_t i = 0; i < views.size(); ++i) {
        DrawView(svg, picture, views[i], 10 + (i % columns) * kCellWidth, kTitle + (i / columns) * kCellHeight);
    }
    // The legend: what each kind of line and marker means.
    double y = kTitle + rows * kCellHeight + 12;
    for (std::size_t i = 0; i < std::max<std::size_t>(1, picture.paths.size()); ++i) {
        svg.Line(20, y - 4, 48, y - 4, "p" + std::to_string(i % 4));
        std::string text = picture.pathMeaning;
        if (picture.paths.size() > 1) {
            text += " (" + picture.paths[i].name + ")";
        }
        svg.Text(56, y, "legend", text);
        y += kLegendLine;
    }
    svg.Polygon({{34, y - 10}, {28.5, y}, {39.5, y}}, "start");
    svg.Text(56, y, "legend", "where a path starts");
    y += kLegendLine;
    if (!picture.marks.empty()) {
        svg.Circle(34, y - 4, 4, "mark");
        svg.Text(56, y, "legend", picture.markMeaning);
        y += kLegendLine;
    }
    svg.Text(20, y, "legend", "All coordinates in pulses.");
    return svg.Finish();
}

bool WritePathPicture(const std::string& file, const Picture& picture, std::string& error)
{
    return WriteWholeFile(file, PathPictureSvg(picture), error);
}

} // namespace velkor_tool
