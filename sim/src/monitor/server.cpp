// The monitor's server (server.h): plugging and unplugging, starting and
// stopping, and the session recorder's first and last lines.
#include "monitor/server.h"

#include <algorithm>

namespace velkor_sim {
namespace monitor {

Core::Core() = default;

Core::~Core()
{
    Stop();
    Detach();
}

void Core::Attach()
{
    if (!attached_) {
        attached_ = true;
        detail::SetPlugListener(this);
    }
}

void Core::Detach()
{
    if (!attached_) {
        return;
    }
    {
        auto hold = detail::LockRegistry();
        for (auto& entry : plugs_) {
            entry.second.module->RemoveObserver(entry.second.tap.get());
        }
        plugs_.clear();
        attached_ = false;
    }
    detail::SetPlugListener(nullptr);
}

void Core::Plugged(VirtualModule& module, std::uint8_t slot)
{
    if (!attached_ || slot >= kSlots) {
        return;
    }
    auto tap = std::make_shared<Tap>(slot, module.Clock().step, waker_);
    tap->period = slotPeriod_[slot];
    tap->events = slotEvents_[slot];
    module.AddObserver(tap.get());
    plugs_[slot] = Plug{&module, tap};
    Record r;
    r.kind = Record::Kind::Module;
    r.slot = slot;
    r.time = module.Now();
    r.plugged = true;
    {
        std::lock_guard<std::mutex> hold(pendingMutex_);
        pending_.push_back(r);
    }
    waker_.Wake();
}

void Core::Unplugged(VirtualModule& module, std::uint8_t slot)
{
    const auto found = plugs_.find(slot);
    if (found == plugs_.end() || found->second.module != &module) {
        return;
    }
    module.RemoveObserver(found->second.tap.get());
    std::vector<Record> last;
    std::uint64_t lostSamples = 0, lostEvents = 0;
    found->second.tap->Take(last, lostSamples, lostEvents);
    // The module's last word: where it stands, and its whole state.
    if (found->second.tap->period.load() > 0 || found->second.tap->events.load() != 0) {
        FinalRecords(slot, module.Snapshot(), last);
    }
    Record r;
    r.slot = slot;
    r.time = module.Now();
    r.kind = Record::Kind::Failure;
    r.reason = 2;
    last.push_back(r);
    r.kind = Record::Kind::Module;
    r.plugged = false;
    last.push_back(r);
    plugs_.erase(found);
    scopeLeft_.erase(slot);
    {
        std::lock_guard<std::mutex> hold(pendingMutex_);
        pending_.insert(pending_.end(), last.begin(), last.end());
    }
    waker_.Wake();
}

bool Core::Start(const MonitorOptions& options, std::string& error)
{
    if (!waker_.Open()) {
        error = "cannot make the monitor's wake-up pair";
        return false;
    }
    if (!options.path.empty() && !OpenEndpoint(options.path, endpoint_, error)) {
        return false;
    }
    if (!options.recordFile.empty()) {
        if (!(options.recordRate > 0)) {
            error = "the record rate must be more than 0";
            CloseEndpoint(endpoint_);
            return false;
        }
        recordFile_ = std::make_unique<SessionFile>();
        if (!recordFile_->Open(options.recordFile, error)) {
            recordFile_.reset();
            CloseEndpoint(endpoint_);
            return false;
        }
        auto recorder = std::make_unique<Client>();
        recorder->file = recordFile_.get();
        recorder->period = 1 / options.recordRate;
        recorder->events = event::kAll;
        clients_.push_back(std::move(recorder));
    }
    Attach();
    {
        auto hold = detail::LockRegistry();
        Resubscribe();
        recordRate_ = options.recordRate;
        headerDue_ = recordFile_ != nullptr;
    }
    thread_ = std::thread([this] { Run(); });
    return true;
}

void Core::Stop(const std::string& cut)
{
    if (!thread_.joinable()) {
        return;
    }
    quit_ = true;
    waker_.WakeAlways();
    thread_.join();
    {
        // The modules still plugged end the session as they stand: what
        // their taps still hold, then their last sample and STATUS, go to
        // every client that watches them. As on an unplug, the tap is taken
        // off first, so that no sample of a later step follows the STATUS.
        std::vector<Record> last;
        {
            auto hold = detail::LockRegistry();
            for (const auto& entry : plugs_) {
                entry.second.module->RemoveObserver(entry.second.tap.get());
                std::uint64_t lostSamples = 0, lostEvents = 0;
                entry.second.tap->Take(last, lostSamples, lostEvents);
                FinalRecords(entry.first, entry.second.module->Snapshot(), last);
            }
        }
        std::lock_guard<std::mutex> hold(pendingMutex_);
        pending_.insert(pending_.end(), last.begin(), last.end());
    }
    Distribute(clients_);
    FinishRecord(cut);
    SendLast();
    for (auto& c : clients_) {
        CloseSocket(c->socket);
    }
    clients_.clear();
    CloseEndpoint(endpoint_);
    Detach();
}

// The session file's first line, written when the first module is there to
// list (the monitor starts before the modules it watches are plugged); the
// registry is held.
void Core::WriteRecordHeader()
{
    if (!headerDue_) {
        return;
    }
    headerDue_ = false;
    Json modules = Json::array();
    for (const auto& entry : plugs_) {
        modules.push_back(ModuleJson(entry.second.module->Snapshot()));
    }
    *recordFile_ << Dump(Json{{"type", "session"},
                              {"protocol", "velkor-monitor"},
                              {"version", kVersion},
                              {"rate", recordRate_},
                              {"pid", ProcessId()},
                              {"modules", modules}})
                 << '\n';
}

void Core::FinishRecord(const std::string& cut)
{
    if (recordFile_ == nullptr) {
        return;
    }
    {
        auto hold = detail::LockRegistry();
        WriteRecordHeader(); // the STATUS lines went with the final records
    }
    Json end{{"type", "end"}, {"time", lastTime_}};
    if (!cut.empty()) {
        end["incomplete"] = cut;
    }
    *recordFile_ << Dump(end) << '\n';
    recordFile_->Flush(lastTime_);
}

// What is queued for the clients when the monitor stops, written out while
// they read it, for at most kLastWordMs: a client that does not read loses it.
void Core::SendLast()
{
    const double until = MonotonicSeconds() + kLastWordMs / 1000.0;
    std::vector<PollItem> items;
    for (;;) {
        items.clear();
        for (auto& c : clients_) {
            while (c->file == nullptr && !c->dead && c->authenticated && c->Pending() > 0) {
                const long n = SendSome(c->socket, c->out.data() + c->outSent, c->Pending());
                if (n < 0) {
                    c->dead = true;
                } else if (n == 0) {
                    PollItem p;
                    p.socket = c->socket;
                    p.wantWrite = true;
                    items.push_back(p);
                    break;
                } else {
                    c->outSent += static_cast<std::size_t>(n);
                }
            }
        }
        const double left = until - MonotonicSeconds();
        if (items.empty() || left <= 0 || !PollSockets(items, static_cast<int>(left * 1000) + 1)) {
            return;
        }
    }
}

} // namespace monitor
} // namespace velkor_sim
