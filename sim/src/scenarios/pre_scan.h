// What the scenario reader checks of a file's text before toml++ reads it:
// the things toml++ would crash, abort or part ways with the reader on,
// refused with their place instead. Every reader of scenario files (the
// module's environment, the C and C++ calls, Python, the tool) goes through
// ParseScenario, and so through this scan.
#ifndef VELKOR_SIM_SCENARIOS_PRE_SCAN_H
#define VELKOR_SIM_SCENARIOS_PRE_SCAN_H

#include <cstddef>
#include <string>

namespace velkor_sim {
namespace scenario_file {

// The largest scenario file (or text) read: 64 MiB.
constexpr std::size_t kMaxScenarioBytes = 64u << 20;
// How deep keys, tables and arrays may nest: each part of a dotted key or a
// table's name is a level, and so is each array and inline table. toml++
// descends once a level, on the stack of whichever thread reads the file.
constexpr std::size_t kMaxScenarioDepth = 32;

struct ScanProblem {
    std::size_t at = 0; // the offset of the byte refused, + 1; 0: none
    std::string what;
};

// The first thing in `text` refused before toml++ sees it:
// - a control character (TOML allows none but tab), a byte above ASCII
//   outside a string or a comment, or after a line-ending backslash in a
//   multi-line string: TOML allows none of them, and toml++ 3.3's blank test
//   reaches an unreachable branch for some (U+00A1..U+0499, U+FB66..U+FEFE);
// - a table header line that is not [NAME] or [[NAME]] (NAME: bare or
//   quoted parts joined by '.'), then a comment at most: toml++'s debug
//   builds assert on some, such as "[", "[{a.3]" or "[[[[a]]";
// - keys, tables and arrays nested deeper than kMaxScenarioDepth: toml++
//   recurses once a level and would overflow the stack.
ScanProblem PreScan(const std::string& text);

} // namespace scenario_file
} // namespace velkor_sim

#endif
