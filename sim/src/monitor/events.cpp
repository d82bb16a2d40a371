// The monitor's subscriptions and what goes out under them (server.h): the
// taps are told what the clients want, and each round the records they
// gathered are written once as lines and handed to every client that wants
// them, within its queue limits.
#include "monitor/server.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace velkor_sim {
namespace monitor {
namespace {

std::uint32_t EventBit(Record::Kind kind)
{
    switch (kind) {
    case Record::Kind::Interrupt: return event::kInterrupt;
    case Record::Kind::Errors: return event::kErrors;
    case Record::Kind::Program: return event::kProgram;
    case Record::Kind::Packet: return event::kPacket;
    case Record::Kind::Failure: return event::kFailure;
    case Record::Kind::Clock: return event::kClock;
    case Record::Kind::Module: return event::kModule;
    case Record::Kind::Sample:
    case Record::Kind::Status: break;
    }
    return 0;
}

// A line with "lost":0 in it, and where that 0 is, so that each client's
// count goes in (most often 0: the line as it is).
struct LostLine {
    std::string text; // with the newline
    std::size_t at = 0;
};

LostLine WithLost(std::string line)
{
    static const std::string kLost = "\"lost\":0";
    LostLine l;
    l.at = line.find(kLost) + kLost.size() - 1;
    l.text = std::move(line);
    l.text += '\n';
    return l;
}

void AppendLost(std::string& out, const LostLine& line, std::uint64_t lost)
{
    if (lost == 0) {
        out += line.text;
        return;
    }
    out.append(line.text, 0, line.at);
    out += std::to_string(lost);
    out.append(line.text, line.at + 1, std::string::npos);
}

// A sample line, written by hand: thousands of them a second.
class Writer {
public:
    void Text(const char* text) { out_.append(text); }
    template <typename T>
    void Int(T value)
    {
        char digits[24];
        const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
        out_.append(digits, end);
    }
    void Fixed(double value, int decimals)
    {
        char digits[64];
        const auto done = std::to_chars(digits, digits + sizeof digits, std::isfinite(value) ? value : 0.0,
                                        std::chars_format::fixed, decimals);
        out_.append(digits, done.ec == std::errc() ? done.ptr : digits);
    }
    std::string Take() { return std::move(out_); }

private:
    std::string out_;
};

LostLine SampleLine(const Record& r)
{
    Writer w;
    w.Text("{\"type\":\"sample\",\"slot\":");
    w.Int(unsigned(r.slot));
    w.Text(",\"time\":");
    w.Fixed(r.time, 6);
    w.Text(",\"mono\":");
    w.Fixed(r.mono, 6);
    w.Text(",\"seq\":");
    w.Int(r.seq);
    w.Text(",\"lost\":0,\"axes\":[");
    for (int i = 0; i < kAxisCount; ++i) {
        const SampleAxis& a = r.axes[i];
        w.Text(i == 0 ? "{\"lp\":" : ",{\"lp\":");
        w.Int(a.lp);
        w.Text(",\"ep\":");
        w.Int(a.ep);
        w.Text(",\"speed\":");
        w.Fixed(a.speed, 3);
        w.Text(",\"following_error\":");
        w.Fixed(a.followingError, 3);
        w.Text(a.driving ? ",\"driving\":true,\"error_code\":" : ",\"driving\":false,\"error_code\":");
        w.Int(unsigned(a.errorCode));
        w.Text(",\"inputs\":");
        w.Int(unsigned(a.inputs));
        w.Text(",\"outputs\":");
        w.Int(unsigned(a.outputs));
        // What is rarely set goes only where it is.
        if (a.homing) {
            w.Text(",\"homing\":true");
        }
        if (a.driveAlarm) {
            w.Text(",\"drive_alarm\":true");
        }
        if (a.forced != 0) {
            w.Text(",\"forced\":");
            w.Int(unsigned(a.forced));
        }
        if (a.hasEnd) {
            w.Text(",\"end\":");
            w.Int(a.end);
        }
        w.Text("}");
    }
    w.Text("],\"buffer\":");
    w.Int(r.buffer);
    w.Text("}");
    return WithLost(w.Take());
}

// Whether two samples show the same: the same time and the same of every axis.
bool SameSample(const Record& a, const Record& b)
{
    if (a.time != b.time || a.buffer != b.buffer) {
        return false;
    }
    for (int i = 0; i < kAxisCount; ++i) {
        const SampleAxis& x = a.axes[i];
        const SampleAxis& y = b.axes[i];
        if (x.lp != y.lp || x.ep != y.ep || x.speed != y.speed || x.followingError != y.followingError ||
            x.errorCode != y.errorCode || x.inputs != y.inputs || x.outputs != y.outputs || x.driving != y.driving ||
            x.homing != y.homing || x.driveAlarm != y.driveAlarm || x.forced != y.forced || x.hasEnd != y.hasEnd ||
            x.end != y.end) {
            return false;
        }
    }
    return true;
}

void Deliver(Client& c, const LostLine& line, std::uint64_t lost)
{
    if (c.file != nullptr) {
        std::string text;
        AppendLost(text, line, lost);
        *c.file << text;
        return;
    }
    AppendLost(c.out, line, lost);
}
} // namespace

Record SnapshotSample(std::uint8_t slot, const ModuleSnapshot& s)
{
    Record r;
    r.slot = slot;
    r.time = s.time;
    r.mono = MonotonicSeconds();
    r.seq = s.steps;
    r.halfStep = s.clock.step / 2;
    r.now = true;
    for (int i = 0; i < kAxisCount; ++i) {
        const AxisStatus& a = s.axes[i];
        SampleAxis& x = r.axes[i];
        x.lp = a.lp;
        x.ep = a.ep;
        x.speed = a.speed;
        x.followingError = static_cast<double>(a.lp) - a.motor;
        x.errorCode = static_cast<std::uint16_t>(a.errorCode | s.moduleErrors);
        x.inputs = a.inputs;
        x.outputs = s.outputs[i];
        x.driving = a.driving;
        x.homing = a.homing;
        x.driveAlarm = s.driveAlarm[i];
        x.forced = s.forcedInputs[i];
        x.hasEnd = s.hasEnd[i];
        x.end = s.commandedEnd[i];
    }
    r.buffer = static_cast<std::uint32_t>(s.bufferedSegments);
    return r;
}

void FinalRecords(std::uint8_t slot, const ModuleSnapshot& s, std::vector<Record>& out)
{
    out.push_back(SnapshotSample(slot, s));
    Record r;
    r.kind = Record::Kind::Status;
    r.slot = slot;
    r.time = s.time;
    Json line{{"type", "status"}};
    line.update(StatusJson(s));
    // An unplugged module's snapshot is taken out of its slot already.
    line["slot"] = slot;
    line["clock"]["slot"] = slot;
    r.status = Dump(line);
    out.push_back(std::move(r));
}

void Core::Resubscribe()
{
    for (int slot = 1; slot < kSlots; ++slot) {
        double period = 0;
        std::uint32_t events = 0;
        for (const auto& c : clients_) {
            if (c->dead || !(c->slots & SlotBit(static_cast<std::uint8_t>(slot)))) {
                continue;
            }
            if (c->period > 0 && (period == 0 || c->period < period)) {
                period = c->period;
            }
            events |= c->events;
        }
        slotPeriod_[slot] = period;
        slotEvents_[slot] = events;
        const auto found = plugs_.find(static_cast<std::uint8_t>(slot));
        if (found != plugs_.end()) {
            found->second.tap->period = period;
            found->second.tap->events = events;
        }
    }
}

void Core::SendFirstSamples(Client& client)
{
    if (client.period <= 0) {
        return;
    }
    std::vector<Record> first;
    {
        auto hold = detail::LockRegistry();
        for (const auto& entry : plugs_) {
            if (!(client.slots & SlotBit(entry.first))) {
                continue;
            }
            first.push_back(SnapshotSample(entry.first, entry.second.module->Snapshot()));
        }
    }
    for (const Record& r : first) {
        Deliver(client, SampleLine(r), client.lostSamples[r.slot]);
        client.lostSamples[r.slot] = 0;
        client.nextSample[r.slot] = r.time + client.period - r.halfStep;
    }
}

std::string Core::RecordLine(const Record& r)
{
    Json j{{"type", "event"}};
    const char* names[] = {"sample", "interrupt", "errors", "program", "packet", "failure", "clock", "module"};
    j["event"] = names[static_cast<int>(r.kind)];
    j["slot"] = r.slot;
    j["time"] = r.time;
    j["lost"] = 0;
    switch (r.kind) {
    case Record::Kind::Interrupt:
        j["factors"] = r.factors;
        j["names"] = FactorNames(r.factors);
        j["code"] = r.code;
        break;
    case Record::Kind::Errors: {
        j["axis"] = r.axis + 1;
        j["before"] = r.before;
        j["after"] = r.after;
        j["set"] = ErrorNames(static_cast<std::uint16_t>(r.after & ~r.before));
        j["cleared"] = ErrorNames(static_cast<std::uint16_t>(r.before & ~r.after));
        break;
    }
    case Record::Kind::Program: {
        j["running"] = r.run.running;
        j["debugging"] = r.run.debugging;
        j["paused"] = r.run.paused;
        j["program"] = r.run.program;
        j["step"] = r.run.step;
        std::string text;
        const auto found = plugs_.find(r.slot);
        if (r.run.running && found != plugs_.end()) {
            const std::vector<MacroStep> steps = found->second.module->MacroProgram(r.run.program);
            if (r.run.step < steps.size()) {
                text = DescribeStep(steps[r.run.step]);
            }
        }
        j["text"] = text;
        break;
    }
    case Record::Kind::Packet: {
        const std::string text = Describe(r.entry);
        j["sequence"] = r.entry.sequence;
        j["code"] = r.entry.code;
        j["name"] = CodeName(r.entry.code, LogEntry::Kind::Packet);
        j["fields"] = PacketFields(text);
        j["text"] = text;
        break;
    }
    case Record::Kind::Failure:
        j["reason"] = r.reason == 0 ? "busy" : r.reason == 1 ? "program_fault" : "unplugged";
        j["message"] = r.reason == 0   ? "the module stopped answering (busy)"
                       : r.reason == 1 ? "a program run ended on a fault: " + Dump(ErrorNames(r.after))
                                       : "the module was unplugged";
        break;
    case Record::Kind::Clock: j["clock"] = ClockJson(r.slot, r.clock); break;
    case Record::Kind::Module: {
        j["plugged"] = r.plugged;
        // A module plugged after the session began: its id, firmware and clock.
        const auto found = plugs_.find(r.slot);
        if (r.plugged && found != plugs_.end()) {
            j["module"] = ModuleJson(found->second.module->Snapshot());
        }
        break;
    }
    case Record::Kind::Sample:
    case Record::Kind::Status: break;
    }
    return Dump(j);
}

void Core::Distribute(std::vector<std::unique_ptr<Client>>& clients)
{
    struct Out {
        Record::Kind kind;
        std::uint8_t slot;
        double time;
        double halfStep;
        bool now;
        LostLine line;
    };
    std::vector<Out> lines;
    std::array<std::uint64_t, kSlots> tapLostSamples{};
    std::uint64_t tapLostEvents = 0;
    {
        std::vector<Record>& records = taken_; // kept, with its room, from round to round
        records.clear();
        {
            std::lock_guard<std::mutex> hold(pendingMutex_);
            records.insert(records.end(), pending_.begin(), pending_.end());
            pending_.clear();
        }
        auto hold = detail::LockRegistry();
        for (auto& entry : plugs_) {
            std::uint64_t lostSamples = 0, lostEvents = 0;
            entry.second.tap->Take(records, lostSamples, lostEvents);
            tapLostSamples[entry.first] += lostSamples;
            tapLostEvents += lostEvents;
            // A change outside the motion steps (paused, or every axis at
            // rest): no step will sample it, so a sample of it goes now.
            if (entry.second.tap->TakeTouched()) {
                const ModuleSnapshot s = entry.second.module->Snapshot();
                const bool moving = std::any_of(s.axes.begin(), s.axes.end(), [](const AxisStatus& a) { return a.driving; });
                // Packets that change nothing (settings at rest) send it once.
                if (s.clock.paused || !moving) {
                    Record now = SnapshotSample(entry.first, s);
                    if (!SameSample(now, lastNow_[entry.first])) {
                        lastNow_[entry.first] = now;
                        records.push_back(now);
                    }
                }
            }
        }
        if (!plugs_.empty() || !records.empty()) {
            WriteRecordHeader();
        }
        lines.reserve(records.size());
        for (const Record& r : records) {
            lastTime_ = std::max(lastTime_, r.time);
            if (r.kind == Record::Kind::Status) {
                lines.push_back(Out{r.kind, r.slot, r.time, r.halfStep, r.now, LostLine{r.status + '\n', 0}});
                continue;
            }
            lines.push_back(Out{r.kind, r.slot, r.time, r.halfStep, r.now,
                                r.kind == Record::Kind::Sample ? SampleLine(r) : WithLost(RecordLine(r))});
        }
    }
    for (auto& c : clients) {
        if (c->dead || !c->authenticated) {
            continue;
        }
        for (int s = 1; s < kSlots; ++s) {
            if (c->period > 0 && (c->slots & SlotBit(static_cast<std::uint8_t>(s)))) {
                c->lostSamples[s] += tapLostSamples[s];
            }
        }
        if (c->events != 0) {
            c->lostEvents += tapLostEvents;
        }
        for (const Out& o : lines) {
            if (!(c->slots & SlotBit(o.slot)) && o.kind != Record::Kind::Module) {
                continue;
            }
            const bool full = c->file == nullptr && c->Pending() >= kSoftQueue;
            if (o.kind == Record::Kind::Status) {
                // A module's final state: for every client that watches it.
                if (c->period > 0 || c->events != 0) {
                    Deliver(*c, o.line, 0);
                }
                continue;
            }
            if (o.kind == Record::Kind::Sample) {
                if (c->period <= 0 || (!o.now && o.time < c->nextSample[o.slot])) {
                    continue;
                }
                if (!o.now) {
                    c->nextSample[o.slot] = o.time + c->period - o.halfStep;
                }
                if (full) {
                    ++c->lostSamples[o.slot];
                    continue;
                }
                Deliver(*c, o.line, c->lostSamples[o.slot]);
                c->lostSamples[o.slot] = 0;
            } else {
                if (!(c->events & EventBit(o.kind))) {
                    continue;
                }
                if (full) {
                    ++c->lostEvents;
                    continue;
                }
                Deliver(*c, o.line, c->lostEvents);
                c->lostEvents = 0;
            }
        }
    }
}

} // namespace monitor
} // namespace velkor_sim
