// The monitor's server: the taps hooked into each module, the clients and
// the thread that serves them (docs/monitor.md). The server's work is
// spread over four files: server.cpp (plugging, starting, stopping and the
// session recorder), connections.cpp (the thread, accepting and reading
// clients), requests.cpp (answering a request) and events.cpp (the
// subscriptions, and the sample and event lines handed to each client).
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

#include "module/registry.h"
#include "monitor/module_json.h"
#include "monitor/protocol.h"
#include "monitor/session_file.h"
#include "monitor/tap.h"
#include "monitor/transport.h"
#include "velkor_sim/monitor.h"

#include <array>
#include <atomic>
#include <deque>
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
constexpr int kSlots = 8;                    // slots 1..7
constexpr int kLastWordMs = 1000;            // how long a stopping monitor writes out what is queued

struct Client {
    Socket socket = kNoSocket;
    SessionFile* file = nullptr; // the session recorder writes here instead
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

// A slot's bit in a client's choice of slots.
inline std::uint8_t SlotBit(std::uint8_t slot) { return static_cast<std::uint8_t>(1u << slot); }
// Queues a line for a client, or writes it at once into the session file.
void Append(Client& c, const std::string& text);

class Core : public detail::PlugListener {
public:
    Core();
    ~Core() override;
    // Listens to the registry (taps go into every module plugged).
    void Attach();
    void Detach();
    bool Start(const MonitorOptions& options, std::string& error);
    // `cut`: why the session ends early (a signal), said in its end line.
    void Stop(const std::string& cut = std::string());

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
    void FinishRecord(const std::string& cut);
    void SendLast();
    void WriteRecordHeader();
    std::string RecordLine(const Record& r);

    std::map<std::uint8_t, Plug> plugs_; // under the registry's lock
    std::mutex pendingMutex_;
    std::vector<Record> pending_;        // module plugged and unplugged
    std::vector<Record> taken_;          // the records of a round of Distribute
    std::map<std::uint8_t, std::deque<ScopeSample>> scopeLeft_;
    Waker waker_;
    Endpoint endpoint_;
    std::unique_ptr<SessionFile> recordFile_;
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
    std::array<Record, kSlots> lastNow_{}; // the last sample of each slot taken outside the steps
};

} // namespace monitor
} // namespace velkor_sim

#endif
