// velkor plot: the scope's samples (the CSV of `velkor run --scope` and
// `velkor demo --scope`) drawn as position and signed speed against time, one
// row of panels per axis that moved, per module.
#ifndef VELKOR_TOOLS_SCOPE_PLOT_H
#define VELKOR_TOOLS_SCOPE_PLOT_H

#include <map>
#include <string>
#include <vector>

namespace velkor_tool {

// The columns of a scope CSV for one slot, by name ("time_s", "axis1_lp", ...).
using ScopeColumns = std::map<std::string, std::vector<double>>;

// Reads a scope CSV; the samples of each slot apart. False, with the reason
// in `error`, when the file cannot be read or is not a scope CSV.
bool ReadScopeCsv(const std::string& file, std::map<unsigned, ScopeColumns>& out, std::string& error);
// The channels drawn: LP and EP (where it differs from LP) in the position
// panel, the speed in a panel of its own.
struct PlotChannels {
    bool lp = true;
    bool ep = true;
    bool speed = true;
};
// The plot as SVG text.
std::string ScopePlotSvg(const std::string& title, const std::map<unsigned, ScopeColumns>& slots,
                         const PlotChannels& channels = PlotChannels{});

// The speed with the sign of the motion: the scope records its magnitude, and
// the direction is where LP went from one sample to the next (the last
// direction seen while LP stands still within a pulse).
std::vector<double> SignedSpeed(const std::vector<double>& lp, const std::vector<double>& speed);
// A long series thinned for `columns` pixel columns: each column keeps its
// lowest and highest sample, in time order, so that a one-sample spike stays.
std::vector<std::pair<double, double>> Thin(const std::vector<double>& time, const std::vector<double>& values,
                                            std::size_t columns);

struct PlotOptions {
    std::string csvFile;
    std::string svgFile;
    PlotChannels channels;
};
// Reads the CSV and writes the plot; the process exit code.
int RunPlot(const PlotOptions& options);

} // namespace velkor_tool

#endif
