// Scope plots: for each axis that moved, its position (LP, and EP where it
// differs) and its speed against simulated time, with ticks and units.
#include "scope_plot.h"

#include "monitor_command.h"

#include "output_file.h"
#include "svg_canvas.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <limits>
#include <sstream>

namespace velkor_tool {
namespace {

constexpr double kPlotWidth = 400;
constexpr double kPlotHeight = 190;
constexpr double kLeft = 78;
constexpr double kBottom = 46;
constexpr double kCaption = 24;
constexpr double kCellWidth = kLeft + kPlotWidth + 22;
constexpr double kCellHeight = kCaption + kPlotHeight + kBottom + 8;
constexpr double kTitle = 44;
constexpr std::size_t kMostPoints = 3000;

const char* kStyle =
    ".frame{fill:#fbfbf8;stroke:#888}.grid{stroke:#e2e2dc;stroke-width:1}.tick{font:10px sans-serif;fill:#444}"
    ".axisname{font:11px sans-serif;fill:#333}.caption{font:bold 12px sans-serif;fill:#333}"
    ".title{font:bold 16px sans-serif;fill:#222}.legend{font:12px sans-serif;fill:#333}"
    ".lp{fill:none;stroke:#1f5fa8;stroke-width:1.6}.ep{fill:none;stroke:#c76a12;stroke-width:1.2;stroke-dasharray:5,3}"
    ".speed{fill:none;stroke:#2e8b57;stroke-width:1.6}";

struct Series {
    const std::vector<double>* values;
    const char* cssClass;
};

// One panel: the series against time, with ticks on both axes.
void Panel(SvgDocument& svg, double left, double top, const std::string& caption, const std::string& valueName,
           const std::vector<double>& time, const std::vector<Series>& series)
{
    double t0 = time.front(), t1 = time.back();
    if (!(t1 > t0)) {
        t1 = t0 + 0.001;
    }
    double low = std::numeric_limits<double>::max(), high = std::numeric_limits<double>::lowest();
    for (const Series& s : series) {
        for (double v : *s.values) {
            low = std::min(low, v);
            high = std::max(high, v);
        }
    }
    if (!(high > low)) {
        low -= 1;
        high += 1;
    }
    const double pad = (high - low) * 0.06;
    low -= pad;
    high += pad;
    const Box area{left + kLeft, top + kCaption, kPlotWidth, kPlotHeight};
    auto X = [&](double t) { return area.x + (t - t0) / (t1 - t0) * kPlotWidth; };
    auto Y = [&](double v) { return area.y + kPlotHeight - (v - low) / (high - low) * kPlotHeight; };
    svg.Text(area.x, top + kCaption - 8, "caption", caption);
    svg.Rect(area, "frame");
    const Ticks tt = NiceTicks(t0, t1, 7);
    for (double t : tt.at) {
        svg.Line(X(t), area.y, X(t), area.y + kPlotHeight, "grid");
        svg.Text(X(t), area.y + kPlotHeight + 14, "tick", TickText(t, tt.step), "middle");
    }
    const Ticks tv = NiceTicks(low, high, 6);
    for (double v : tv.at) {
        svg.Line(area.x, Y(v), area.x + kPlotWidth, Y(v), "grid");
        svg.Text(area.x - 5, Y(v) + 3.5, "tick", TickText(v, tv.step), "end");
    }
    svg.Text(area.x + kPlotWidth / 2, area.y + kPlotHeight + 34, "axisname", "time (s, simulated)", "middle");
    svg.Text(left + 16, area.y + kPlotHeight / 2, "axisname", valueName, "middle", -90);
    const std::size_t stride = std::max<std::size_t>(1, time.size() / kMostPoints);
    for (const Series& s : series) {
        std::vector<std::pair<double, double>> line;
        for (std::size_t i = 0; i < time.size(); i += stride) {
            line.emplace_back(X(time[i]), Y((*s.values)[i]));
        }
        line.emplace_back(X(time.back()), Y(s.values->back()));
        svg.Polyline(line, s.cssClass);
    }
}

bool Moved(const ScopeColumns& c, int axis)
{
    const std::string a = "axis" + std::to_string(axis);
    const auto lp = c.find(a + "_lp");
    const auto speed = c.find(a + "_speed");
    if (lp == c.end() || speed == c.end() || lp->second.empty()) {
        return false;
    }
    const auto range = std::minmax_element(lp->second.begin(), lp->second.end());
    return *range.first != *range.second ||
           std::any_of(speed->second.begin(), speed->second.end(), [](double v) { return v != 0; });
}

} // namespace

bool ReadScopeCsv(const std::string& file, std::map<unsigned, ScopeColumns>& out, std::string& error)
{
    std::ifstream in(file);
    if (!in) {
        error = "cannot read " + file;
        return false;
    }
    std::string line;
    if (!std::getline(in, line)) {
        error = file + " is empty";
        return false;
    }
    std::vector<std::string> names;
    std::istringstream header(line);
    for (std::string name; std::getline(header, name, ',');) {
        names.push_back(name);
    }
    if (names.size() < 3 || names[0] != "time_s" || names[1] != "slot") {
        error = file + " is not a scope CSV: its first line must start with time_s,slot";
        return false;
    }
    std::map<unsigned, ScopeColumns> slots;
    for (std::size_t row = 2; std::getline(in, line); ++row) {
        if (line.empty()) {
            continue;
        }
        std::vector<double> values;
        std::istringstream fields(line);
        for (std::string field; std::getline(fields, field, ',');) {
            char* end = nullptr;
            const double v = std::strtod(field.c_str(), &end);
            if (field.empty() || *end != '\0' || !std::isfinite(v)) {
                error = file + ", line " + std::to_string(row) + ": '" + field + "' is not a number";
                return false;
            }
            values.push_back(v);
        }
        if (values.size() != names.size()) {
            error = file + ", line " + std::to_string(row) + ": " + std::to_string(values.size()) + " fields, not " +
                    std::to_string(names.size());
            return false;
        }
        ScopeColumns& columns = slots[static_cast<unsigned>(values[1])];
        for (std::size_t i = 0; i < names.size(); ++i) {
            columns[names[i]].push_back(values[i]);
        }
    }
    if (slots.empty()) {
        error = file + " has no samples";
        return false;
    }
    out.swap(slots);
    return true;
}

std::string ScopePlotSvg(const std::string& title, const std::map<unsigned, ScopeColumns>& slots)
{
    struct Row {
        unsigned slot;
        int axis;
    };
    std::vector<Row> rows;
    for (const auto& s : slots) {
        for (int axis = 1; axis <= 4; ++axis) {
            if (Moved(s.second, axis)) {
                rows.push_back(Row{s.first, axis});
            }
        }
        if (rows.empty() || rows.back().slot != s.first) {
            rows.push_back(Row{s.first, 1}); // nothing moved: axis 1 shows that
        }
    }
    const double width = 10 + 2 * kCellWidth;
    const double height = kTitle + rows.size() * kCellHeight + 40;
    SvgDocument svg(width, height, kStyle);
    svg.Text(10, 28, "title", title);
    double top = kTitle;
    for (const Row& r : rows) {
        const ScopeColumns& c = slots.at(r.slot);
        const std::string a = "axis" + std::to_string(r.axis);
        const std::string name = "Slot " + std::to_string(r.slot) + ", axis " + std::to_string(r.axis);
        const std::vector<double>& time = c.at("time_s");
        std::vector<Series> position{{&c.at(a + "_lp"), "lp"}};
        const auto ep = c.find(a + "_ep");
        if (ep != c.end() && ep->second != c.at(a + "_lp")) {
            position.push_back(Series{&ep->second, "ep"});
        }
        Panel(svg, 10, top, name + ": position", "position (pulses)", time, position);
        Panel(svg, 10 + kCellWidth, top, name + ": speed", "speed (pulses/s)", time, {{&c.at(a + "_speed"), "speed"}});
        top += kCellHeight;
    }
    const double y = top + 16;
    svg.Line(20, y - 4, 48, y - 4, "lp");
    svg.Text(56, y, "legend", "LP (commanded position)");
    svg.Line(250, y - 4, 278, y - 4, "ep");
    svg.Text(286, y, "legend", "EP (encoder), where it differs");
    svg.Line(520, y - 4, 548, y - 4, "speed");
    svg.Text(556, y, "legend", "speed");
    return svg.Finish();
}

int RunPlot(const PlotOptions& options)
{
    std::map<unsigned, ScopeColumns> slots;
    std::string error;
    std::ifstream probe(options.csvFile);
    const bool session = probe.peek() == '{'; // a session file of velkor run --record
    probe.close();
    if (session ? !ReadSessionSamples(options.csvFile, slots, error) : !ReadScopeCsv(options.csvFile, slots, error)) {
        std::fprintf(stderr, "velkor plot: %s\n", error.c_str());
        return 1;
    }
    if (!WriteWholeFile(options.svgFile, ScopePlotSvg("velkor plot: " + options.csvFile, slots), error)) {
        std::fprintf(stderr, "velkor plot: %s\n", error.c_str());
        return 1;
    }
    std::size_t samples = 0;
    for (const auto& s : slots) {
        samples += s.second.at("time_s").size();
    }
    std::printf("%zu samples of %zu module%s drawn in %s\n", samples, slots.size(), slots.size() == 1 ? "" : "s",
                options.svgFile.c_str());
    return 0;
}

} // namespace velkor_tool
