// The drive's dynamics: dead time, position loop, play.
#include "axis/drive_dynamics.h"

#include <algorithm>
#include <cmath>

namespace velkor_sim {
namespace detail {
namespace {

constexpr double kPi = 3.14159265358979323846;
// Pulses: closer than this, the loop has arrived and the motor is put on
// its input (the loop's error would only shrink for ever).
constexpr double kArrived = 1e-3;

} // namespace

void DriveDynamics::Configure(const DriveParameters& parameters)
{
    // The loop goes on from where it stands; the delay line starts full of
    // the last command it was given.
    p_ = parameters;
    cachedDt_ = 0;
    delay_.assign(static_cast<std::size_t>(std::max(p_.deadTime, 0)), command_);
    next_ = 0;
    newest_ = command_;
    unchanged_ = delay_.size();
    if (p_.naturalFrequency <= 0) {
        v_ = 0;
    }
}

void DriveDynamics::Reset(double position)
{
    delay_.assign(static_cast<std::size_t>(std::max(p_.deadTime, 0)), position);
    next_ = 0;
    newest_ = position;
    unchanged_ = delay_.size();
    command_ = position;
    x_ = position;
    v_ = 0;
    motor_ = position;
    settled_ = true;
}

void DriveDynamics::Shift(double delta)
{
    for (double& d : delay_) {
        d += delta;
    }
    newest_ += delta;
    command_ += delta;
    x_ += delta;
    motor_ += delta;
}

void DriveDynamics::Hold(double command)
{
    std::fill(delay_.begin(), delay_.end(), command);
    newest_ = command;
    unchanged_ = delay_.size();
    command_ = command;
    v_ = 0;
    settled_ = x_ == command;
}

double DriveDynamics::Step(double command, double dt)
{
    // The loop is given the command of deadTime steps ago.
    double input = command;
    if (!delay_.empty()) {
        input = delay_[next_];
        delay_[next_] = command;
        next_ = (next_ + 1) % delay_.size();
    }
    unchanged_ = command == newest_ ? unchanged_ + 1 : 0;
    newest_ = command;
    const bool flat = unchanged_ >= delay_.size(); // the delay line holds nothing but the command now
    x_ = Loop(command_, input, dt);
    command_ = input;
    settled_ = flat && x_ == input && v_ == 0;
    motor_ = Play(x_);
    return motor_;
}

double DriveDynamics::Loop(double from, double to, double dt)
{
    if (p_.naturalFrequency > 0) {
        // The error from the ramp's steady answer (to - lag, speed s) decays
        // as the free second-order system: z(dt) = e^(A dt) z(0), with
        // e^(A dt) = e^(-sigma dt) (c I + S (A + sigma I)).
        const double wn = 2 * kPi * p_.naturalFrequency;
        const double zeta = p_.damping;
        const double sigma = zeta * wn;
        const double s = (to - from) / dt;
        const double lag = 2 * zeta * s / wn;
        if (dt != cachedDt_) {
            Coefficients(dt);
        }
        const double z = x_ - (from - lag);
        const double zv = v_ - s;
        const double z1 = ec_ * z + es_ * (sigma * z + zv);
        const double zv1 = ec_ * zv + es_ * (-wn * wn * z - sigma * zv);
        double x = z1 + to - lag;
        v_ = zv1 + s;
        if (std::fabs(to - x) < kArrived && std::fabs(v_) * dt < kArrived && s == 0) {
            x = to;
            v_ = 0;
        }
        return x;
    }
    // First order, fed with the same ramp: its error runs towards speed x T.
    const double tau = p_.followingTime;
    double x = x_;
    if (tau > 0) {
        const double lag = (to - from) / dt * tau;
        const double error = lag + (from - x - lag) * std::exp(-dt / tau);
        x = to - error;
    }
    if (tau <= 0 || std::fabs(to - x) < kArrived) {
        x = to;
    }
    return x;
}

void DriveDynamics::Coefficients(double dt)
{
    const double wn = 2 * kPi * p_.naturalFrequency;
    const double zeta = p_.damping;
    const double sigma = zeta * wn;
    if (zeta < 1) {
        const double wd = wn * std::sqrt(1 - zeta * zeta);
        const double e = std::exp(-sigma * dt);
        ec_ = e * std::cos(wd * dt);
        es_ = e * std::sin(wd * dt) / wd;
    } else if (zeta > 1) {
        // cosh and sinh written with the decay folded in, so that a large
        // dt cannot overflow.
        const double beta = wn * std::sqrt(zeta * zeta - 1);
        const double slow = std::exp((beta - sigma) * dt);
        const double fast = std::exp(-(beta + sigma) * dt);
        ec_ = (slow + fast) / 2;
        es_ = beta * dt > 1e-9 ? (slow - fast) / (2 * beta) : std::exp(-sigma * dt) * dt;
    } else {
        const double e = std::exp(-sigma * dt);
        ec_ = e;
        es_ = e * dt;
    }
    cachedDt_ = dt;
}

double DriveDynamics::Play(double position)
{
    const double half = p_.backlash / 2;
    if (position > motor_ + half) {
        return position - half;
    }
    if (position < motor_ - half) {
        return position + half;
    }
    return motor_;
}

double NormalNoise(std::uint64_t& state)
{
    // splitmix64 for the uniform numbers, Box-Muller for the normal one.
    const auto next = [&state] {
        std::uint64_t z = (state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        z ^= z >> 31;
        return (static_cast<double>(z >> 11) + 0.5) / 9007199254740992.0; // (0, 1)
    };
    const double u = next();
    const double w = next();
    return std::sqrt(-2 * std::log(u)) * std::cos(2 * kPi * w);
}

} // namespace detail
} // namespace velkor_sim
