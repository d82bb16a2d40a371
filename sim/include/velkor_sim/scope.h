// The virtual module's scope: at a fixed rate of simulated time it samples
// each axis's LP, EP, speed, input bits, signed velocity, acceleration,
// following error, output bits and latch, and the path speed, into a ring
// that the host reads (VirtualModule::TakeScope), from the start or from a
// trigger on: a position crossed, an input edge, a drive or a path starting.
//
// Samples are taken in the motion step, so the rate is at most one sample per
// step (1 ms by default) and a trigger is seen in the first step after its
// event. Simulated time passes only while something moves, and so do the
// samples. A ring that the host does not empty in time keeps the newest
// samples and counts the ones it lost.
#ifndef VELKOR_SIM_SCOPE_H
#define VELKOR_SIM_SCOPE_H

#include <array>
#include <cstddef>
#include <cstdint>
#include <ostream>
#include <vector>

namespace velkor_sim {

enum class TriggerKind : std::uint8_t {
    None,       // capture from the start
    Position,   // LP of `axis` crosses `position` (or reaches it), either way
    InputEdge,  // bit `input` of the input word of `axis` changes as `edge` says
    DriveStart, // one of the axes in `axes` starts to drive (or to move in a path)
    PathStart,  // a path (vector interpolation) starts to move
};
enum class Edge : std::uint8_t { Rising, Falling, Either };

struct ScopeTrigger {
    TriggerKind kind = TriggerKind::None;
    int axis = 0;               // 0..3, for Position and InputEdge
    std::int32_t position = 0;  // Position
    std::uint8_t input = 0;     // InputEdge: bit 0..15
    Edge edge = Edge::Rising;   // InputEdge
    std::uint8_t axes = 0x0F;   // DriveStart: bit mask of axes
};

struct ScopeSettings {
    double period = 0.001;         // simulated seconds between samples, at least one motion step
    std::size_t capacity = 65536;  // samples the ring holds, 1 to 4194304
    std::size_t pretrigger = 0;    // samples before the trigger kept, at most the capacity
    double duration = 0;           // simulated seconds captured from the trigger; 0: until stopped
    ScopeTrigger trigger;
};

struct ScopeAxisSample {
    std::int32_t lp = 0;
    std::int32_t ep = 0;
    double speed = 0; // pulses per second, magnitude
    std::uint16_t inputs = 0;
    double velocity = 0;       // pulses per second, signed: negative towards -
    double acceleration = 0;   // pulses per second squared, the change of the signed velocity
    double followingError = 0; // LP minus the motor, pulses
    std::uint8_t outputs = 0;  // the eight output bits
    std::int32_t latch = 0;    // the value GET_LATCH reads
};

struct ScopeSample {
    double time = 0; // simulated seconds since the module was made
    std::array<ScopeAxisSample, 4> axes{};
    double pathSpeed = 0; // the running path's vector speed, pulses per second (0: no path)
};

struct ScopeState {
    bool running = false;   // started and not stopped, nor at the end of its duration
    bool triggered = false; // the trigger has fired (always, without one)
    double triggerTime = 0; // when it fired
    std::uint64_t taken = 0; // samples put into the ring since the start
    std::uint64_t lost = 0;  // samples pushed out of a full ring unread
    std::size_t waiting = 0; // samples in the ring now
};

// The samples as CSV, one line per sample, with the slot they came from:
// time_s,slot,axis1_lp,axis1_ep,axis1_speed,axis1_inputs,...,axis4_inputs,
// then path_speed, then per axis axisN_velocity, axisN_acceleration,
// axisN_following_error, axisN_outputs, axisN_latch (speeds in pulses per
// second, inputs and outputs as numbers). `header` writes the column names
// first.
void WriteScopeCsv(std::ostream& out, unsigned slot, const std::vector<ScopeSample>& samples, bool header);

} // namespace velkor_sim

#endif
