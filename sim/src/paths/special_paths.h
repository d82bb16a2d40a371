// The path types beyond lines and arcs: the rectangle, the mixed 2-D path,
// general continuous interpolation (one segment at a time or from arrays),
// the helix, ratio moves and the line scan. Each builds an ordinary path
// (paths/paths.h) of straight and circular segments, so it runs with the
// path's profile, shows in the trail and ends exactly on its end point.
//
// The commands that come in several packets reach their handler whole, once
// their last packet has arrived (protocol/command.h).
#ifndef VELKOR_SIM_PATHS_SPECIAL_PATHS_H
#define VELKOR_SIM_PATHS_SPECIAL_PATHS_H

#include "protocol/fields.h"

#include <array>
#include <cstdint>
#include <vector>

namespace velkor_sim {
namespace detail {

class Command;
struct PathsAt;

constexpr std::size_t kScanTableSize = 4096;

struct SpecialPaths {
    // The path opened by MIX_2D_INITIAL, CONTINUE_INTP or RATIO_INITIAL, and
    // its axes; segments of another family do not go into it.
    std::uint8_t openFamily = 0; // the opening code, 0 when none is open
    int openAxes[3] = {0, 1, 2};
    int openDims = 2;
    int nextEntry = 0; // CONTINUE_INTP_ARRAY: the entry index expected next
    bool cornerStops = false; // MIX_2D: slow to the start speed at every segment's end

    // Ratio moves
    std::uint8_t ratioNum = 1, ratioDen = 1;
    std::int64_t masterTotal = 0; // the master's displacement since RATIO_INITIAL

    // Line scan
    int scanAxis = 0, followAxis = 1;
    std::uint8_t scanScale = 1, scanMode = 0;
    std::int32_t scanPitch = 0; // 0: no LINE_SCAN set up yet
    std::vector<std::int8_t> scanTable = std::vector<std::int8_t>(kScanTableSize, 0);

    void Reset(); // keeps the scan table, like the other stores
};

// Packet handlers
void Rectangle(PathsAt at, const Command& cmd);       // 120..123
void Mix2dInitial(PathsAt at, const Command& cmd);    // 130, 131
void Mix2dContinue(PathsAt at, const Command& cmd);   // 132, 133
void ContinueIntp(PathsAt at, const Command& cmd);    // 134
void ContinueIntpArray(PathsAt at, const Command& cmd); // 135
void Helix(PathsAt at, const Command& cmd);           // 136..138
void RatioInitial(PathsAt at, const Command& cmd);    // 139, 140
void Ratio2d(PathsAt at, const Command& cmd);         // 141
void LineScan(PathsAt at, const Command& cmd);        // 144
void LineScanStart(PathsAt at, const Command& cmd);   // 145
void LineScanOffset(PathsAt at, const Command& cmd);  // 146

} // namespace detail
} // namespace velkor_sim

#endif
