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
    Distribute(clients_);
    FinishRecord(cut);
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
        WriteRecordHeader();
        for (const auto& entry : plugs_) {
            const ModuleSnapshot s = entry.second.module->Snapshot();
            lastTime_ = std::max(lastTime_, s.time);
            Json status = StatusJson(s);
            Json line{{"type", "status"}};
            line.update(status);
            *recordFile_ << Dump(line) << '\n';
        }
    }
    Json end{{"type", "end"}, {"time", lastTime_}};
    if (!cut.empty()) {
        end["incomplete"] = cut;
    }
    *recordFile_ << Dump(end) << '\n';
    recordFile_->Flush(lastTime_);
}

} // namespace monitor
} // namespace velkor_sim
