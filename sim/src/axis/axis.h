// One axis as the firmware keeps it: its speed profile, counters, soft
// limits, the drive moving it and the one held back, inputs and error bits.
#ifndef VELKOR_SIM_AXIS_AXIS_H
#define VELKOR_SIM_AXIS_AXIS_H

#include "context/context.h"

#include <cstdint>

namespace velkor_sim {
namespace detail {

// A speed profile resolved to the numbers the motion model runs on.
struct Profile {
    double sv = 0; // start (and end) speed, at least 1 pulse per second
    double v = 0;  // drive speed
    double a = 0;  // acceleration
    double d = 0;  // deceleration
    // Shaping (axis/speed_shape.h): jerk while accelerating and while
    // decelerating (0: the acceleration changes at once), and the braking
    // offset in pulses.
    double k = 0;
    double l = 0;
    double ao = 0;
};

// One piece of a planned speed run: `time` seconds of constant jerk from the
// acceleration `acc`, starting at `speed` after `distance` pulses.
struct RunPiece {
    double time = 0;
    double acc = 0;
    double jerk = 0;
    double speed = 0;
    double distance = 0;
};

// A speed run planned towards its end (axis/speed_shape.h): the pieces, the
// time spent on them so far, and the distance to the end it was planned for.
struct SpeedRun {
    static constexpr int kPieces = 10;
    RunPiece piece[kPieces];
    int pieces = 0;      // 0: not planned yet
    double time = 0;     // seconds since the plan was made
    double covered = 0;  // pulses run since the plan was made
    double end = 0;      // the distance to the end when it was made
};

// The profile values as the host set them.
struct ProfileValues {
    std::uint32_t sv = 100;
    std::uint32_t v = 1000;
    std::uint32_t a = 10000;
    std::uint32_t d = 0; // 0: decelerate with the acceleration
    std::uint32_t k = 0;
    std::uint32_t l = 0;
    std::int32_t ao = 0;
    std::uint8_t mode = 0; // NORMAL_SPEED / VECTOR_SPEED: 0 ramped, 1 constant speed
    Profile Resolve(std::uint32_t maxV) const;
};

// A single-axis move: fixed distance or continuous.
struct Drive {
    enum class Kind : std::uint8_t { None, Fixed, Continuous };
    Kind kind = Kind::None;
    int dir = 1;
    double target = 0; // fixed moves: distance in pulses
    double done = 0;   // distance travelled so far
    std::int64_t start = 0;
    Profile profile;
    double speed = 0;
    SpeedRun run;
    bool slowStop = false;
};

constexpr std::uint32_t kDefaultMaxV = 8000000;

struct AxisState {
    ProfileValues profile;
    std::uint32_t maxV = kDefaultMaxV;
    bool softLimits = false;
    std::int32_t limitPlus = 0;
    std::int32_t limitMinus = 0;
    std::uint8_t limitMode = 0; // 0: stop at once at the limit, otherwise slowly
    bool held = false;          // DRV_HOLD: new motion waits for DRV_START
    std::int64_t lp = 0;
    std::int64_t ep = 0;
    double pos = 0;      // exact position, of which lp is the whole part
    double lastPos = 0;  // at the previous step, for the speed
    double speed = 0;
    double acceleration = 0;
    Drive drive;
    Drive pending; // a move held back by DRV_HOLD
    std::uint16_t inputs = 0;
    std::uint16_t error = 0;
    std::int32_t latch = 0;
    std::uint32_t pulse = 0; // SET_PULSE: the move a synchronous start action begins
};

inline AxisState& Context::Axis(int index) { return axes_[index]; }
inline const AxisState& Context::Axis(int index) const { return axes_[index]; }

} // namespace detail
} // namespace velkor_sim

#endif
