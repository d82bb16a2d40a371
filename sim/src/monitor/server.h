// The monitor's server: the taps hooked into each module, the clients and
// the thread that serves them (docs/monitor.md).
//
// Threads: a module's hooks (Tap) run in whichever thread made the module
// act, with the module's lock held; they only copy what happened into the
// tap's queue and wake the server thread. The server thread does all the
// rest: it accepts clients, reads and answers their requests, formats the
// taps' records once and hands them to each client subscribed, within the
// client's queue limits. Requests reach modules under the registry's lock
// (module/registry.h), so a module is never destroyed while in use.
#ifndef VELKOR_SIM_MONITOR_SERVER_H
#define VELKOR_SIM_MONITOR_SERVER_H

#include "monitor/protocol.h"
#include "module/registry.h"
#include "monitor/transport.h"
#include "velkor_sim/monitor.h"

#include <array>
#include <atomic>
#include <deque>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace velkor_sim {
namespace monitor {

constexpr std::size_t kSoftQueue = 1u << 20; // samples and events are dropped beyond this
constexpr std::size_t kHardQueue = 4u << 20; // a client that lets replies pile up to this is closed
constexpr std::size_t kMaxClients = 16;
constexpr std::size_t kTapRecords = 16384;   // records a tap holds for the server thread
constexpr std::size_t kTrailPoints = 65536;
constexpr int kSlots = 8;                    // slots 1..7

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
};

// Something a module's hook saw, for the server thread to send.
struct Record {
    enum class Kind : std::uint8_t { Sample, Interrupt, Errors, Program, Packet, Failure, Clock, Module };
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
};

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
    std::mutex mutex_;       // guards the rest
    std::vector<Record> records_;
    std::uint64_t lostSamples_ = 0;
    std::uint64_t lostEvents_ = 0;
    std::vector<TrailPoint> trail_;
    std::size_t trailNext_ = 0;
};

struct Client {
    Socket socket = kNoSocket;
    std::ofstream* file = nullptr; // the session recorder writes here instead
    LineBuffer in;
    std::string out;
    std::size_t outSent = 0;
    bool authenticated = true;
    double connectedAt = 0;
    bool closing = false; // close once the queue is written
    bool dead = false;
    double period = 0;
    std::uint8_t slots = 0xFE; // bit per slot
    std::uint32_t events = 0;
    std::array<double, kSlots> nextSample{};
    std::array<std::uint64_t, kSlots> lostSamples{};
    std::uint64_t lostEvents = 0;
    std::size_t Pending() const { return out.size() - outSent; }
};

class Core : public detail::PlugListener {
public:
    Core();
    ~Core() override;
    // Listens to the registry (taps go into every module plugged).
    void Attach();
    void Detach();
    bool Start(const MonitorOptions& options, std::string& error);
    void Stop();

    void Plugged(VirtualModule& module, std::uint8_t slot) override;
    void Unplugged(VirtualModule& module, std::uint8_t slot) override;

    // One request line from a client: the reply goes into its queue.
    void HandleLine(Client& client, const std::string& line);
    // Formats what the taps gathered and hands it to the clients.
    void Distribute(std::vector<std::unique_ptr<Client>>& clients);

private:
    struct Plug {
        VirtualModule* module = nullptr;
        std::shared_ptr<Tap> tap;
    };
    Json Dispatch(Client& client, const Request& request);
    VirtualModule& ModuleAt(const Json& args, Tap** tap = nullptr); // registry lock held
    std::vector<std::uint8_t> Slots();                                // registry lock held
    void Resubscribe(); // registry lock held
    void SendFirstSamples(Client& client);
    void Run();
    void Serve(Client& client);
    void Accept();
    void FinishRecord();
    void WriteRecordHeader();
    std::string RecordLine(const Record& r);

    std::map<std::uint8_t, Plug> plugs_; // under the registry's lock
    std::mutex pendingMutex_;
    std::vector<Record> pending_;        // module plugged and unplugged
    std::vector<Record> taken_;          // the records of a round of Distribute
    std::map<std::uint8_t, std::deque<ScopeSample>> scopeLeft_;
    Waker waker_;
    Endpoint endpoint_;
    std::unique_ptr<std::ofstream> recordFile_;
    double recordRate_ = 0;
    bool headerDue_ = false; // the session file's header is not written yet
    std::vector<std::unique_ptr<Client>> clients_; // the server thread's (and the recorder first)
    // What the clients want of each slot (under the registry's lock), for
    // the taps of modules plugged later.
    std::array<double, kSlots> slotPeriod_{};
    std::array<std::uint32_t, kSlots> slotEvents_{};
    std::thread thread_;
    std::atomic<bool> quit_{false};
    bool attached_ = false;
    double lastTime_ = 0;
};

} // namespace monitor
} // namespace velkor_sim

#endif
