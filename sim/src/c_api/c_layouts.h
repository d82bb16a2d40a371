// The layouts of the C structures that grew, as they were first shipped with
// this major version, and the copies that honour a caller's sizeof (the rule
// is in velkor_sim.h, "Structures that grow"): a program built against an
// older header passes a smaller structure, and the library must neither
// write nor read past it.
#ifndef VELKOR_SIM_C_API_C_LAYOUTS_H
#define VELKOR_SIM_C_API_C_LAYOUTS_H

#include "velkor_sim/velkor_sim.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <array>

namespace velkor_sim::c_layouts {

// VelkorSimAxis up to inputs; later machine (one more field) and the drive's
// motor, following error, latch and outputs were added at its end.
struct AxisFirst {
    int32_t lp;
    int32_t ep;
    double speed;
    double acceleration;
    uint8_t driving;
    uint16_t error_code;
    uint16_t inputs;
};
struct AxisWithMachine {
    AxisFirst first;
    int32_t machine;
};

// VelkorSimMachineAxis up to normally_closed; the drive model was added at
// its end.
struct MachineFirst {
    int32_t plus_limit;
    int32_t minus_limit;
    int32_t home_from;
    int32_t home_to;
    int32_t near_home_from;
    int32_t near_home_to;
    int32_t index_pitch;
    int32_t index_phase;
    double following_time;
    double in_position_band;
    double encoder_ratio;
    uint16_t normally_closed;
};

// A scope sample with four channels per axis. Its axes grew inside the
// array, so this layout is no prefix of today's: it is converted.
struct ScopeAxisFirst {
    int32_t lp;
    int32_t ep;
    double speed;
    uint16_t inputs;
};
struct ScopeSampleFirst {
    double time;
    ScopeAxisFirst axes[4];
};

// Each layout shipped is a prefix of the one after it (the structure grew at
// its end), so the newest that fits is a prefix of the whole structure.
static_assert(offsetof(VelkorSimAxis, machine) == sizeof(AxisFirst) &&
                  offsetof(VelkorSimAxis, motor) == sizeof(AxisWithMachine),
              "VelkorSimAxis only grows at its end");
static_assert(offsetof(VelkorSimMachineAxis, natural_frequency) == sizeof(MachineFirst),
              "VelkorSimMachineAxis only grows at its end");

// The sizes of a structure's layouts, first shipped first.
template <size_t N>
using Layouts = std::array<size_t, N>;

inline constexpr Layouts<3> kAxisLayouts = {sizeof(AxisFirst), sizeof(AxisWithMachine), sizeof(VelkorSimAxis)};
inline constexpr Layouts<2> kMachineLayouts = {sizeof(MachineFirst), sizeof(VelkorSimMachineAxis)};

// The largest of `layouts` that fits in `size`; 0 when even the first does
// not.
template <size_t N>
size_t NewestThatFits(size_t size, const Layouts<N>& layouts)
{
    size_t fits = 0;
    for (const size_t layout : layouts) {
        if (layout <= size) {
            fits = layout;
        }
    }
    return fits;
}

// Writes the newest layout of `whole` that fits in the caller's `size` bytes
// at out and zeroes the rest of them (fields of a newer header than the
// library's). False, writing nothing, when the first layout does not fit.
template <typename Whole, size_t N>
bool WritePrefix(const Whole& whole, void* out, size_t size, const Layouts<N>& layouts)
{
    const size_t n = NewestThatFits(size, layouts);
    if (n == 0) {
        return false;
    }
    std::memcpy(out, &whole, n);
    std::memset(static_cast<unsigned char*>(out) + n, 0, size - n);
    return true;
}

// Reads the newest layout that fits in the caller's `size` bytes over
// `whole`; fields past it keep the values `whole` had. False, reading
// nothing, when the first layout does not fit.
template <typename Whole, size_t N>
bool ReadPrefix(Whole& whole, const void* in, size_t size, const Layouts<N>& layouts)
{
    const size_t n = NewestThatFits(size, layouts);
    if (n == 0) {
        return false;
    }
    std::memcpy(&whole, in, n);
    return true;
}

} // namespace velkor_sim::c_layouts

#endif
