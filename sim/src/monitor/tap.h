// The monitor's hooks in one module (Tap) and what they hand the server
// thread (Record), with the waker that tells the thread there is something.
// A tap runs in whichever thread made its module act, with the module's lock
// held: it copies, queues and wakes, nothing more.
#ifndef VELKOR_SIM_MONITOR_TAP_H
#define VELKOR_SIM_MONITOR_TAP_H

#include "monitor/protocol.h"
#include "monitor/transport.h"
#include "velkor_sim/virtual_module.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace velkor_sim {
namespace monitor {

constexpr std::size_t kTapRecords = 16384;   // records a tap holds for the server thread
constexpr std::size_t kTrailPoints = 65536;

// Wakes the server thread's poll from any thread.
class Waker {
public:
    ~Waker();
    bool Open();
    void Wake();      // from any thread, cheap when a wake is pending already
    void WakeAlways(); // for stopping
    void Drain();
    Socket Reader() const { return reader_; }

private:
    Socket reader_ = kNoSocket;
    Socket writer_ = kNoSocket;
    std::atomic<bool> pending_{false};
};

struct SampleAxis {
    std::int32_t lp = 0;
    std::int32_t ep = 0;
    double speed = 0;
    double followingError = 0; // LP - motor, pulses
    std::uint16_t errorCode = 0;
    std::uint16_t inputs = 0;
    std::uint8_t outputs = 0;
    bool driving = false;
    bool homing = false;
    bool driveAlarm = false;
    std::uint16_t forced = 0;  // the inputs the monitor forces high
    bool hasEnd = false;       // the commanded motion's end, when it has one
    std::int64_t end = 0;
};

// Something a module's hook saw, for the server thread to send.
struct Record {
    enum class Kind : std::uint8_t { Sample, Interrupt, Errors, Program, Packet, Failure, Clock, Module, Status };
    Kind kind = Kind::Sample;
    std::uint8_t slot = 0;
    double time = 0;
    double mono = 0;
    std::uint64_t seq = 0;
    std::array<SampleAxis, kAxisCount> axes{};
    std::uint32_t buffer = 0;
    double halfStep = 0;            // Sample: half the module's motion step, for the clients' spacing
    LogEntry entry;                 // Packet
    std::uint8_t factors = 0;       // Interrupt
    std::uint8_t code = 0;          // Interrupt
    int axis = 0;                   // Errors
    std::uint16_t before = 0, after = 0; // Errors; Failure: the program's fault bits
    MacroRunStatus run;             // Program
    ClockState clock;               // Clock
    std::uint8_t reason = 0;        // Failure: 0 busy, 1 program fault, 2 unplugged
    bool plugged = false;           // Module
    bool now = false;               // Sample: taken outside the motion steps, sent whatever the spacing
    std::string status;             // Status: the STATUS object
};

// A sample of the module as it stands (outside the motion steps).
Record SnapshotSample(std::uint8_t slot, const ModuleSnapshot& s);
// The STATUS line of a module as it stands, with its last sample before it.
void FinalRecords(std::uint8_t slot, const ModuleSnapshot& s, std::vector<Record>& out);

// The observer hooked into one module.
class Tap : public ModuleObserver {
public:
    Tap(std::uint8_t slot, double step, Waker& waker) : slot_(slot), halfStep_(step / 2), waker_(waker)
    {
        trail_.reserve(kTrailPoints); // no allocation in the hooks
        records_.reserve(256);
    }
    std::atomic<double> period{0};       // samples: simulated seconds between them; 0: none
    std::atomic<std::uint32_t> events{0}; // event kinds wanted

    void MotionStepped(const ModuleView& view) override;
    void PacketTaken(const LogEntry& entry, const ModuleView& view) override;
    void InterruptRaised(std::uint8_t factors, std::uint8_t code, const ModuleView& view) override;
    void ErrorsChanged(int axisIndex, std::uint16_t before, std::uint16_t after, const ModuleView& view) override;
    void ProgramMoved(const MacroRunStatus& run, const ModuleView& view) override;
    void BusyChanged(bool busy, const ModuleView& view) override;
    void ClockChanged(const ClockState& clock, const ModuleView& view) override;

    // Something changed outside the motion steps (a packet taken, an action of
    // a client): the server sends a sample of it if no step does.
    void Touch()
    {
        if (period.load(std::memory_order_relaxed) > 0) {
            touched_.store(true, std::memory_order_release);
            waker_.Wake();
        }
    }
    bool TakeTouched() { return touched_.exchange(false, std::memory_order_acq_rel); }

    // The records so far, and how many were lost since the last call.
    void Take(std::vector<Record>& out, std::uint64_t& lostSamples, std::uint64_t& lostEvents);
    // The trail from `since` on: up to `max` points.
    Json Trail(double since, std::size_t max);
    std::uint8_t Slot() const { return slot_; }

private:
    void Push(Record& r, bool sample);
    Record Begin(Record::Kind kind, const ModuleView& view) const;

    const std::uint8_t slot_;
    const double halfStep_;
    Waker& waker_;
    double nextSample_ = -1; // hooks only
    std::atomic<bool> touched_{false};
    std::mutex mutex_;       // guards the rest
    std::vector<Record> records_;
    std::uint64_t lostSamples_ = 0;
    std::uint64_t lostEvents_ = 0;
    std::vector<TrailPoint> trail_;
    std::size_t trailNext_ = 0;
};

} // namespace monitor
} // namespace velkor_sim

#endif
