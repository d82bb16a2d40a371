// The dynamics of one servo drive: how the motor follows the position the
// pulses command. Self-contained, with no knowledge of the firmware: fed the
// command once per motion step, it returns where the motor is.
//
// The command passes, in order:
//  1. a dead time of N motion steps (the drive's communication and
//     computation delay);
//  2. the position loop: either a first-order lag with time constant T
//     (x' = (r - x) / T), or, with a natural frequency, a second-order
//     response x'' = wn^2 (r - x) - 2 zeta wn x';
//  3. the play of the transmission (backlash b): the motor reading stands
//     still after a reversal until the loop has moved b.
// Between two steps the command is a ramp from the last value to the new one,
// and the loops are integrated exactly over that ramp (the closed-form
// solution of the linear system), so the result does not depend on the step
// for a given command ramp. At constant speed v the motor lags the command
// by v (N dt + T) in the first-order case and v (N dt + 2 zeta / wn) in the
// second-order one.
#ifndef VELKOR_SIM_MACHINE_DRIVE_DYNAMICS_H
#define VELKOR_SIM_MACHINE_DRIVE_DYNAMICS_H

#include <cstddef>
#include <cstdint>
#include <vector>

namespace velkor_sim {
namespace detail {

struct DriveParameters {
    double followingTime = 0;    // s, first-order time constant (0: none)
    double naturalFrequency = 0; // Hz; above 0 the second-order loop replaces the first-order one
    double damping = 1;          // zeta of the second-order loop
    int deadTime = 0;            // motion steps
    double backlash = 0;         // pulses
};

class DriveDynamics {
public:
    void Configure(const DriveParameters& parameters);
    // At rest at `position`: the delay line, the loop and the play all there.
    void Reset(double position);
    // The scale moved under the motor by delta (a preset): everything moves.
    void Shift(double delta);
    // One motion step of dt seconds, the command now at `command`; returns
    // the motor.
    double Step(double command, double dt);
    // The servo is off: the motor stays, the command is remembered so that
    // the loop takes up from it when the servo comes back on.
    void Hold(double command);
    double Motor() const { return motor_; }
    // The motor has come to rest on what the loop is given.
    bool Settled() const { return settled_; }

private:
    double Loop(double from, double to, double dt);
    void Coefficients(double dt);
    double Play(double position);

    DriveParameters p_;
    std::vector<double> delay_; // the last deadTime commands, oldest at next_
    std::size_t next_ = 0;
    double newest_ = 0;        // the last command put into it
    std::size_t unchanged_ = 0; // steps the command has stayed at newest_
    double command_ = 0; // the loop's input at the last step
    double x_ = 0;       // the loop's output
    double v_ = 0;       // and its speed (second order)
    double motor_ = 0;   // after the play
    bool settled_ = true;
    // The second-order loop's e^(-sigma dt) c and e^(-sigma dt) S for the
    // step cachedDt_ (0: none yet), computed once per step length.
    double cachedDt_ = 0;
    double ec_ = 0;
    double es_ = 0;
};

// A normally distributed number (mean 0, deviation 1) from a generator state
// that it moves on: the same state, the same numbers, on every platform.
double NormalNoise(std::uint64_t& state);

} // namespace detail
} // namespace velkor_sim

#endif
