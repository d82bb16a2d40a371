// The module's firmware as a plain state machine: the decoder of packets and
// handshake codes, the stores, and the motion model. It knows nothing of
// threads or clocks; the VirtualModule around it serializes every call and
// decides when simulated time passes.
#ifndef VELKOR_SIM_FIRMWARE_H
#define VELKOR_SIM_FIRMWARE_H

#include "velkor_sim/virtual_module.h"

#include <array>
#include <cstdint>
#include <deque>
#include <map>
#include <vector>

namespace velkor_sim {
namespace detail {

using Bytes = std::array<std::uint8_t, kDataBytes>;

// A speed profile resolved to the numbers the motion model runs on.
struct Profile {
    double sv = 0; // start (and end) speed, at least 1 pulse per second
    double v = 0;  // drive speed
    double a = 0;  // acceleration
    double d = 0;  // deceleration
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
    bool slowStop = false;
};

struct AxisState {
    ProfileValues profile;
    std::uint32_t maxV = 8000000;
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
};

// One straight or circular piece of an interpolated path, relative to its start.
struct Segment {
    bool arc = false;
    std::int32_t d[3] = {0, 0, 0}; // displacement to the end point
    double centre[2] = {0, 0};     // arcs: centre relative to the start
    double r0 = 0, r1 = 0;         // arcs: radius at the start and at the end
    double a0 = 0, sweep = 0;      // arcs: start angle and signed sweep, radians
    double length = 0;
};

// An interpolated path: its axes, profile and the segments not yet started.
struct Path {
    int dims = 2;
    int axis[3] = {0, 1, 2}; // axis indexes 0..3
    Profile profile;
    std::deque<Segment> segments;
    double queuedLength = 0;
    bool closed = false; // the segment that ends the path has arrived
};

class Firmware {
public:
    explicit Firmware(const ModuleOptions& options);

    // A packet taken from the mailbox.
    void TakePacket(const Bytes& bytes);
    // A query or control code: reads the parameter registers of `window`
    // and writes the reply into the data area of `window`.
    void Answer(std::uint8_t code, std::array<std::uint8_t, 128>& window);
    // Runs the motion model for dt seconds of simulated time.
    void Step(double dt);

    // Sequence register bookkeeping, seen from the window.
    void SequenceWritten(std::uint8_t value, bool packetHeld, std::uint8_t heldSequence);
    // A packet posted (handshake 1) with the number the sequence register held.
    void PacketArrived(std::uint8_t sequence);

    bool Moving() const; // anything for the motion model to do
    bool AxisDriving(int index) const;

    // Interrupt factors raised since the last call (0 if none, or disabled).
    std::uint8_t TakeInterrupt();
    std::uint8_t ReadInterruptCode(); // the code register; reading empties it
    void Raise(std::uint8_t factors);

    double time = 0; // simulated seconds
    std::uint32_t firmwareVersion;
    std::array<AxisState, kAxisCount> axes;
    Counters counters;
    std::map<std::uint8_t, std::uint32_t> unsimulated;
    std::array<std::uint8_t, 256> byteVars{};
    std::vector<std::int32_t> longVars;
    std::vector<std::uint32_t> md;
    std::array<std::uint32_t, 256> remoteOut{};
    std::array<std::int32_t, 256> remoteIn{}; // -1: wired back to the output
    std::map<std::uint8_t, std::vector<Bytes>> programs;
    bool keepTrail = false;
    std::vector<TrailPoint> trail;

private:
    void Execute(const Bytes& p);
    void Unsimulated(std::uint8_t code);
    void Fault(std::uint16_t bits);
    void Reset();

    // Motion
    void StartMove(std::uint8_t mask, Drive::Kind kind, std::int32_t value);
    void StopAxes(std::uint8_t mask, bool slowly);
    void StopPaths(bool slowly);
    void BeginPath(int dims, const int* axis, const Profile& profile);
    void AddSegment(const Segment& segment, bool last);
    bool AxisInPaths(int index) const;
    void StepDrive(int index, double dt);
    void StepPaths(double dt);
    bool TryStartPath();
    void FinishPath();
    void PlacePathAxes();
    void MoveAxisTo(int index, double pos, std::int64_t lp);
    bool CheckLimit(int index, int dir, std::int64_t& lp, bool& slow);
    void DriveEnded();
    void RecordTrail();

    std::uint8_t enabledFactors_ = 0;
    bool interruptsOn_ = false;
    std::uint8_t interruptCode_ = 0;
    std::uint8_t raisePending_ = 0;
    std::uint16_t moduleError_ = 0;

    int assigned_[3] = {0, 1, 2};
    ProfileValues vector_;
    int lineAxes_[3] = {0, 1, 2}; // axes of the continuous path being opened
    int lineDims_ = 2;
    std::int32_t arcCentre_[2] = {0, 0};
    std::uint8_t arcHalf_ = 0; // code of the first packet of an arc waiting for its second

    std::deque<Path> paths_; // front: the path running or next to run
    bool pathRunning_ = false;
    bool haveSegment_ = false;
    Segment segment_;
    double s_ = 0;
    std::int64_t segmentStart_[3] = {0, 0, 0};
    double pathSpeed_ = 0;
    bool pathSlowStop_ = false;
    bool discarding_ = false; // segments of a stopped path are dropped until a new path begins

    bool recording_ = false;
    std::uint8_t program_ = 0;

    bool sequenceKnown_ = false;
    std::uint8_t lastSequence_ = 0;
    bool announced_ = false;
    std::uint8_t announcedSequence_ = 0;
};

// Field readers of a packet or reply, little-endian.
inline std::uint16_t U16(const Bytes& p, int k) { return static_cast<std::uint16_t>(p[k] | p[k + 1] << 8); }
inline std::uint32_t U32(const Bytes& p, int k)
{
    return static_cast<std::uint32_t>(p[k]) | static_cast<std::uint32_t>(p[k + 1]) << 8 |
           static_cast<std::uint32_t>(p[k + 2]) << 16 | static_cast<std::uint32_t>(p[k + 3]) << 24;
}
inline std::int32_t I32(const Bytes& p, int k) { return static_cast<std::int32_t>(U32(p, k)); }

// How far the firmware carries out a command.
enum class Support : std::uint8_t { Simulated, Kept, NotSimulated };
Support PacketSupport(std::uint8_t code);
Support ExchangeSupport(std::uint8_t code);

} // namespace detail
} // namespace velkor_sim

#endif
