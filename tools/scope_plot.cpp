// Scope plots: for each axis that moved, its position (LP, and EP where it
// differs) and its signed speed against simulated time, with ticks and units.
#include "scope_plot.h"

#include "monitor_command.h"

#include "output_file.h"
#include "session_end.h"
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
    for (const Series& s : series) {
        std::vector<std::pair<double, double>> line = Thin(time, *s.values, static_cast<std::size_t>(kPlotWidth));
        for (auto& point : line) {
            point = {X(point.first), Y(point.second)};
        }
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

std::vector<double> SignedSpeed(const std::vector<double>& lp, const std::vector<double>& speed)
{
    const std::size_t n = std::min(lp.size(), speed.size());
    // The direction LP changes in next, from each sample on.
    std::vector<double> ahead(n, 1);
    for (std::size_t i = n; i-- > 1;) {
        ahead[i - 1] = lp[i] != lp[i - 1] ? (lp[i] > lp[i - 1] ? 1 : -1) : ahead[i];
    }
    std::vector<double> out(speed.size());
    double sign = n > 0 ? ahead[0] : 1;
    for (std::size_t i = 0; i < speed.size(); ++i) {
        if (i > 0 && i < n) {
            if (lp[i] != lp[i - 1]) {
                sign = lp[i] > lp[i - 1] ? 1 : -1;
            } else if (speed[i - 1] == 0) {
                sign = ahead[i]; // setting off from rest, within a pulse yet
            }
        }
        out[i] = sign * std::fabs(speed[i]);
    }
    return out;
}

std::vector<std::pair<double, double>> Thin(const std::vector<double>& time, const std::vector<double>& values,
                                            std::size_t columns)
{
    std::vector<std::pair<double, double>> out;
    const std::size_t n = std::min(time.size(), values.size());
    if (n <= 2 * columns || columns == 0) {
        for (std::size_t i = 0; i < n; ++i) {
            out.emplace_back(time[i], values[i]);
        }
        return out;
    }
    const double t0 = time.front();
    const double span = time[n - 1] > t0 ? time[n - 1] - t0 : 1;
    std::size_t i = 0;
    while (i < n) {
        const auto column = static_cast<std::size_t>((time[i] - t0) / span * static_cast<double>(columns - 1));
        std::size_t low = i;
        std::size_t high = i;
        std::size_t j = i;
        for (; j < n && static_cast<std::size_t>((time[j] - t0) / span * static_cast<double>(columns - 1)) == column;
             ++j) {
            low = values[j] < values[low] ? j : low;
            high = values[j] > values[high] ? j : high;
        }
        // The column's first and last samples join it to its neighbours.
        std::size_t keep[4] = {i, std::min(low, high), std::max(low, high), j - 1};
        for (std::size_t k = 0; k < 4; ++k) {
            if (k == 0 || keep[k] != keep[k - 1]) {
                out.emplace_back(time[keep[k]], values[keep[k]]);
            }
        }
        i = j;
    }
    return out;
}

std::string ScopePlotSvg(const std::string& title, const std::map<unsigned, ScopeColumns>& slots,
                         const PlotChannels& channels)
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
    const bool positions = channels.lp || channels.ep;
    const double width = 10 + ((positions && channels.speed) ? 2 : 1) * kCellWidth;
    const double height = kTitle + rows.size() * kCellHeight + 40;
    SvgDocument svg(std::max(width, 10 + kCellWidth + 200), height, kStyle);
    svg.Text(10, 28, "title", title);
    double top = kTitle;
    for (const Row& r : rows) {
        const ScopeColumns& c = slots.at(r.slot);
        const std::string a = "axis" + std::to_string(r.axis);
        const std::string name = "Slot " + std::to_string(r.slot) + ", axis " + std::to_string(r.axis);
        const std::vector<double>& time = c.at("time_s");
        const std::vector<double>& lp = c.at(a + "_lp");
        std::vector<Series> position;
        if (channels.lp) {
            position.push_back(Series{&lp, "lp"});
        }
        const auto ep = c.find(a + "_ep");
        // EP only where it differs from LP, unless it is all that was asked for.
        if (channels.ep && ep != c.end() && (ep->second != lp || !channels.lp)) {
            position.push_back(Series{&ep->second, "ep"});
        }
        double left = 10;
        if (positions) {
            Panel(svg, left, top, name + ": position", "position (pulses)", time, position);
            left += kCellWidth;
        }
        if (channels.speed) {
            const std::vector<double> speed = SignedSpeed(lp, c.at(a + "_speed"));
            Panel(svg, left, top, name + ": speed", "speed (pulses/s)", time, {{&speed, "speed"}});
        }
        top += kCellHeight;
    }
    const double y = top + 16;
    double x = 20;
    auto legend = [&](const char* cssClass, const char* text, double space) {
        svg.Line(x, y - 4, x + 28, y - 4, cssClass);
        svg.Text(x + 36, y, "legend", text);
        x += space;
    };
    if (channels.lp) {
        legend("lp", "LP (commanded position)", 230);
    }
    if (channels.ep) {
        legend("ep", channels.lp ? "EP (encoder), where it differs" : "EP (encoder)", 270);
    }
    if (channels.speed) {
        legend("speed", "speed, signed by the direction of motion", 0);
    }
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
    const std::string cut = session ? SessionCut(options.csvFile) : std::string();
    if (!cut.empty()) {
        std::fprintf(stderr, "velkor plot: %s: %s; drawn as far as it goes\n", options.csvFile.c_str(), cut.c_str());
    }
    const std::string svg = ScopePlotSvg("velkor plot: " + options.csvFile, slots, options.channels);
    if (!WriteWholeFile(options.svgFile, svg, error)) {
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
