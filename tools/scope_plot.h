// velkor plot: the scope's samples (the CSV of `velkor run --scope` and
// `velkor demo --scope`) drawn as position and speed against time, one row
// of two panels per axis that moved, per module.
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
// The plot as SVG text.
std::string ScopePlotSvg(const std::string& title, const std::map<unsigned, ScopeColumns>& slots);

struct PlotOptions {
    std::string csvFile;
    std::string svgFile;
};
// Reads the CSV and writes the plot; the process exit code.
int RunPlot(const PlotOptions& options);

} // namespace velkor_tool

#endif
