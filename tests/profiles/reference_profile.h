// An independent reference for the module's speed profiles, written from the
// manual's conventions and not from the module's code: a profile is a list of
// phases (speed ramps in closed form, runs at constant speed), and positions
// come from integrating the speed exactly (Simpson's rule on each ramp piece,
// whose speed is at most quadratic in time).
#ifndef VELKOR_TESTS_PROFILES_REFERENCE_PROFILE_H
#define VELKOR_TESTS_PROFILES_REFERENCE_PROFILE_H

#include <vector>

namespace velkor_reference {

// A profile as the host sets it (0 for D: as A; 0 for L: as K).
struct ProfileSetting {
    double sv = 100, v = 1000, a = 10000, d = 0, k = 0, l = 0, ao = 0;
    bool constant = false; // NORMAL_SPEED / VECTOR_SPEED 1
};

class Reference {
public:
    // A fixed move of `distance` pulses (positive).
    static Reference Move(const ProfileSetting& p, double distance);
    // A continuous move stopped slowly `stopAt` seconds after its start, the
    // stop taken by the module's motion step of `step` seconds.
    static Reference SlowStop(const ProfileSetting& p, double stopAt, double step);
    // A homing's search at the speed hv onto a switch `switchAt` pulses away:
    // from SV up with A (no jerk) to hv, on at hv to the switch, and braking
    // from the switch with D (no jerk) down to the creep speed, where the
    // search ends and the axis turns back.
    static Reference Search(const ProfileSetting& p, double hv, double switchAt, double creep);
    // A path of `first` pulses (which it plans to end at SV) that learns
    // `extendAt` seconds after its start that it goes on to `total` pulses:
    // from there it is planned again, from the speed and acceleration it has
    // reached. Braking under way is eased off first (with the jerk L, or at
    // once); from there the path rises again as far as it can. When even the
    // lowest speed it can ease off to cannot brake onto the braking point
    // with D, it brakes evenly onto it from there.
    static Reference Extended(const ProfileSetting& p, double first, double extendAt, double total);
    // `first` and then `next`, which starts `pause` seconds after it ended.
    static Reference Then(const Reference& first, double pause, const Reference& next);

    double Duration() const { return duration_; }
    double Distance() const { return distance_; }
    double Peak() const { return peak_; }
    double Arrival() const { return arrival_; } // speed on reaching the end
    double Speed(double t) const;
    double Acceleration(double t) const; // signed
    double Position(double t) const;

private:
    // A change of speed from `from` to `to` with at most `amax` of
    // acceleration and the jerk j (0: none), of which the first `skip`
    // seconds are left out (the phase takes up a ramp under way); or, with
    // from == to, a run at constant speed.
    struct Phase {
        double from = 0, to = 0, amax = 1, jerk = 0, time = 0, skip = 0;
    };
    void Add(double from, double to, double amax, double jerk, double skip = 0);
    void Cruise(double speed, double time);
    double PhaseSpeed(const Phase& f, double tau) const;
    double PhaseAcceleration(const Phase& f, double tau) const;
    double PhaseDistance(const Phase& f, double tau) const;
    void Cut(double at); // ends the profile at time `at`
    // From the speed v and the acceleration acc (the state at the end of the
    // phases so far) to an end `remaining` pulses further on, as a plan does.
    void PlanFrom(const ProfileSetting& setting, double v, double acc, double remaining);

    std::vector<Phase> phases_;
    double duration_ = 0;
    double distance_ = 0;
    double peak_ = 0;
    double arrival_ = 0;
};

} // namespace velkor_reference

#endif
