// One axis as the module keeps it, in one struct: its speed profile,
// counters, soft limits, the drive moving it and the one held back, inputs
// and error bits; the machine around it (switches, servo drive, encoder) with
// the module's settings for them; and its homing. Each part's defaults stand
// beside its fields, and what RESET_CARD does to the axis (AxisState::Reset)
// stands beside them. The functions over an axis are declared by its
// aspects: axis/drives.h, axis/speed_shape.h, axis/machine.h,
// axis/homing.h, axis/axis_config.h, axis/status.h, axis/stopping.h.
#ifndef VELKOR_SIM_AXIS_AXIS_H
#define VELKOR_SIM_AXIS_AXIS_H

#include "axis/drive_dynamics.h"
#include "context/context.h"
#include "velkor_sim/virtual_module.h"

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

// The module's settings for one axis's machine, as the host made them. All
// go back to these defaults at RESET_CARD.
struct MachineSettings {
    std::uint8_t pulseMode = 0;  // bit 0: two-pulse output, bit 1: direction reversed
    bool limitsOn = true;        // SET_HLMT data1
    bool limitActiveHigh = true; // SET_HLMT data2
    bool limitSlow = false;      // LIMITSTOP_MODE
    bool nearHome = false;       // SET_NHOME
    std::uint8_t homeEdge = 0;   // SET_HOME_EDGE
    std::uint8_t encoderMode = 0; // 0: A/B phase, 1: up/down pulses
    int multiplier = 1;
    bool encoderReversed = false;
    bool servoOn = true;
    bool alarmOn = true;
    bool alarmActiveHigh = true;
    bool inPositionWait = false;
    bool inPositionActiveHigh = true;
    std::uint8_t filterOn = 0;
    std::uint8_t filterTime = 0;
    std::uint32_t ring = 0; // VRING: counters read modulo this (0: off)
    bool avtri = false;
    enum class External : std::uint8_t { Off, Handwheel, FixedPulse, ContinuousPulse };
    External external = External::Off;
    std::uint32_t externalValue = 0;
};

// The machine around an axis (axis/machine.h): the layout the simulator was
// given and the drive's state. RESET_CARD sets the settings back and forgets
// the limit raised; the layout, the motor and the encoder stay (the encoder
// is recounted on its default scale, and a standing alarm is no new event:
// ResetMachine).
struct MachineAxisState {
    MachineAxis layout;
    MachineSettings settings;
    bool driveAlarm = false;  // the drive's alarm output
    bool alarmSeen = false;   // the alarm as last seen, for its rising edge
    bool limitRaised = false; // the limit factor was raised for the motion under way
    double motor = 0;         // the motor's position on the LP scale
    DriveDynamics dynamics;   // how the motor follows LP
    std::uint64_t noise = 0;  // the state of the encoder's noise generator
    std::int64_t origin = 0;  // LP at machine position 0, where the switches are measured from
    std::int64_t encoderWhole = 0; // the encoder's whole count of the motor position

    void Reset()
    {
        settings = MachineSettings{};
        limitRaised = false;
    }
};

// Homing (axis/homing.h): its settings and the sequence running. RESET_CARD
// sets all of it back to these defaults.
struct HomingAxis {
    // Settings
    std::uint32_t hv = 2000;       // search speed, pulses per second
    std::uint8_t range = 0;        // search range in thousands of pulses (0: unlimited)
    std::uint8_t mode = 0;         // 0 home switch, 1 home switch then index, 2 limit switch, 3 index
    std::uint8_t direction = 0;    // 0: search towards -, 1: towards +
    std::uint8_t creepPercent = 10; // creep speed in percent of HV
    std::uint8_t keepEp = 0;       // 1: homing leaves EP counting on
    std::int32_t offset = 0;       // LP (and EP) at home

    // The sequence running
    enum class Phase : std::uint8_t { Idle, Leave, Search, Brake, BackOff, Approach, Index, Settle };
    Phase phase = Phase::Idle;
    Phase afterBrake = Phase::Idle;
    int dir = 1;           // direction of the current phase
    double speed = 0;      // pulses per second
    bool met = false;      // BackOff, Approach: the switch was met in this phase
    double travelled = 0;  // pulses moved since HOME_START
};

constexpr std::uint32_t kDefaultMaxV = 8000000;

// One axis. Fields marked "kept" survive RESET_CARD; all others go back to
// the defaults written here.
struct AxisState {
    ProfileValues profile;
    std::uint32_t maxV = kDefaultMaxV;
    bool softLimits = false;
    std::int32_t limitPlus = 0;  // kept (SET_SLMT turns the limits on again)
    std::int32_t limitMinus = 0; // kept
    std::uint8_t limitMode = 0;  // kept; 0: stop at once at the limit, otherwise slowly
    bool held = false;           // DRV_HOLD: new motion waits for DRV_START
    std::int64_t lp = 0;         // kept
    std::int64_t ep = 0;         // kept
    double pos = 0;      // kept; exact position, of which lp is the whole part
    double lastPos = 0;  // kept; at the previous step, for the speed
    double speed = 0;
    double acceleration = 0;
    Drive drive;
    Drive pending; // a move held back by DRV_HOLD
    std::uint16_t inputs = 0; // kept: the inputs the simulator forces
    std::uint16_t error = 0;
    std::int32_t latch = 0;   // kept
    std::uint32_t pulse = 0; // SET_PULSE: the move a synchronous start action begins
    MachineAxisState machine; // see MachineAxisState for what RESET_CARD keeps
    HomingAxis homing;

    // RESET_CARD for this axis's own fields; the machine's are ResetMachine's.
    void Reset()
    {
        AxisState fresh;
        fresh.limitPlus = limitPlus;
        fresh.limitMinus = limitMinus;
        fresh.limitMode = limitMode;
        fresh.lp = lp;
        fresh.ep = ep;
        fresh.pos = pos;
        fresh.lastPos = lastPos;
        fresh.inputs = inputs;
        fresh.latch = latch;
        fresh.machine = machine;
        fresh.homing = homing;
        *this = fresh;
    }
};

inline AxisState& Context::Axis(int index) { return axes_[index]; }
inline const AxisState& Context::Axis(int index) const { return axes_[index]; }
inline MachineAxisState& Context::Machine(int index) { return axes_[index].machine; }
inline const MachineAxisState& Context::Machine(int index) const { return axes_[index].machine; }
inline HomingAxis& Context::Homing(int index) { return axes_[index].homing; }
inline const HomingAxis& Context::Homing(int index) const { return axes_[index].homing; }

} // namespace detail
} // namespace velkor_sim

#endif
