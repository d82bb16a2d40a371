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

    double Duration() const { return duration_; }
    double Distance() const { return distance_; }
    double Peak() const { return peak_; }
    double Arrival() const { return arrival_; } // speed on reaching the end
    double Speed(double t) const;
    double Position(double t) const;

private:
    // A change of speed from `from` to `to` with at most `amax` of
    // acceleration and the jerk j (0: none); or,
    // with from == to, a run at constant speed.
    struct Phase {
        double from = 0, to = 0, amax = 1, jerk = 0, time = 0;
    };
    void Add(double from, double to, double amax, double jerk);
    void Cruise(double speed, double time);
    double PhaseSpeed(const Phase& f, double tau) const;
    double PhaseDistance(const Phase& f, double tau) const;
    void Cut(double at); // ends the profile at time `at`

    std::vector<Phase> phases_;
    double duration_ = 0;
    double distance_ = 0;
    double peak_ = 0;
    double arrival_ = 0;
};

} // namespace velkor_reference

#endif
