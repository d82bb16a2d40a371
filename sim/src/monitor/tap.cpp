// The monitor's hooks in a module and the waker they use (tap.h).
// They run with the module's lock held: they copy, queue and wake, nothing
// more.
#include "monitor/tap.h"

namespace velkor_sim {
namespace monitor {

Waker::~Waker()
{
    CloseSocket(reader_);
    CloseSocket(writer_);
}

bool Waker::Open() { return MakeWakePair(reader_, writer_); }

void Waker::Wake()
{
    if (writer_ != kNoSocket && !pending_.exchange(true, std::memory_order_acq_rel)) {
        SendSome(writer_, "w", 1);
    }
}

void Waker::WakeAlways()
{
    pending_.store(true, std::memory_order_release);
    SendSome(writer_, "q", 1);
}

// The bytes first, then the flag: a wake after this sends a byte again, and
// what was queued before it is taken by the caller after the drain.
void Waker::Drain()
{
    char bytes[256];
    while (ReceiveSome(reader_, bytes, sizeof bytes) > 0) {
    }
    pending_.store(false, std::memory_order_seq_cst);
}

Record Tap::Begin(Record::Kind kind, const ModuleView& view) const
{
    Record r;
    r.kind = kind;
    r.slot = slot_;
    r.time = view.Time();
    r.seq = view.Steps();
    return r;
}

void Tap::Push(Record& r, bool sample)
{
    {
        std::lock_guard<std::mutex> hold(mutex_);
        if (records_.size() >= kTapRecords) {
            ++(sample ? lostSamples_ : lostEvents_);
            return;
        }
        records_.push_back(r);
    }
    waker_.Wake();
}

void Tap::MotionStepped(const ModuleView& view)
{
    const double time = view.Time();
    {
        std::lock_guard<std::mutex> hold(mutex_);
        if (trail_.size() < kTrailPoints) {
            trail_.emplace_back();
            trailNext_ = trail_.size() - 1;
        }
        TrailPoint& p = trail_[trailNext_];
        p.time = time;
        for (int i = 0; i < kAxisCount; ++i) {
            p.lp[i] = view.Lp(i);
        }
        trailNext_ = (trailNext_ + 1) % kTrailPoints;
    }
    const double p = period.load(std::memory_order_relaxed);
    if (p <= 0 || time < nextSample_ - halfStep_) {
        return;
    }
    nextSample_ = time + p;
    Record r = Begin(Record::Kind::Sample, view);
    r.mono = MonotonicSeconds();
    const std::uint16_t moduleErrors = view.ModuleErrors();
    for (int i = 0; i < kAxisCount; ++i) {
        const AxisStatus a = view.Axis(i);
        SampleAxis& s = r.axes[i];
        s.lp = a.lp;
        s.ep = a.ep;
        s.speed = a.speed;
        s.followingError = static_cast<double>(a.lp) - a.motor;
        s.driving = a.driving;
        s.errorCode = static_cast<std::uint16_t>(a.errorCode | moduleErrors);
        s.inputs = a.inputs;
        s.outputs = view.Outputs(i);
        s.homing = a.homing;
        s.driveAlarm = view.DriveAlarm(i);
        s.forced = view.ForcedInputs(i);
        s.hasEnd = view.CommandedEnd(i, s.end);
    }
    r.buffer = static_cast<std::uint32_t>(view.BufferedSegments());
    r.halfStep = halfStep_;
    Push(r, true);
}

void Tap::PacketTaken(const LogEntry& entry, const ModuleView& view)
{
    Touch();
    if (events.load(std::memory_order_relaxed) & event::kPacket) {
        Record r = Begin(Record::Kind::Packet, view);
        r.entry = entry;
        Push(r, false);
    }
}

void Tap::InterruptRaised(std::uint8_t factors, std::uint8_t code, const ModuleView& view)
{
    if (events.load(std::memory_order_relaxed) & event::kInterrupt) {
        Record r = Begin(Record::Kind::Interrupt, view);
        r.factors = factors;
        r.code = code;
        Push(r, false);
    }
}

void Tap::ErrorsChanged(int axisIndex, std::uint16_t before, std::uint16_t after, const ModuleView& view)
{
    const std::uint32_t wanted = events.load(std::memory_order_relaxed);
    if (wanted & event::kErrors) {
        Record r = Begin(Record::Kind::Errors, view);
        r.axis = axisIndex;
        r.before = before;
        r.after = after;
        Push(r, false);
    }
    constexpr std::uint16_t kProgramFaults =
        error::kProgramMissing | error::kProgramMalformed | error::kProgramRunaway | error::kProgramTooLong;
    const std::uint16_t faults = static_cast<std::uint16_t>(after & ~before & kProgramFaults);
    if ((wanted & event::kFailure) && axisIndex == 0 && faults != 0) {
        Record r = Begin(Record::Kind::Failure, view);
        r.reason = 1;
        r.after = faults;
        Push(r, false);
    }
}

void Tap::ProgramMoved(const MacroRunStatus& run, const ModuleView& view)
{
    if (events.load(std::memory_order_relaxed) & event::kProgram) {
        Record r = Begin(Record::Kind::Program, view);
        r.run = run;
        Push(r, false);
    }
}

void Tap::BusyChanged(bool busy, const ModuleView& view)
{
    if (busy && (events.load(std::memory_order_relaxed) & event::kFailure)) {
        Record r = Begin(Record::Kind::Failure, view);
        r.reason = 0;
        Push(r, false);
    }
}

void Tap::ClockChanged(const ClockState& clock, const ModuleView& view)
{
    if (events.load(std::memory_order_relaxed) & event::kClock) {
        Record r = Begin(Record::Kind::Clock, view);
        r.clock = clock;
        Push(r, false);
    }
}

void Tap::Take(std::vector<Record>& out, std::uint64_t& lostSamples, std::uint64_t& lostEvents)
{
    std::lock_guard<std::mutex> hold(mutex_);
    out.insert(out.end(), records_.begin(), records_.end());
    records_.clear();
    lostSamples = lostSamples_;
    lostEvents = lostEvents_;
    lostSamples_ = 0;
    lostEvents_ = 0;
}

Json Tap::Trail(double since, std::size_t max)
{
    std::lock_guard<std::mutex> hold(mutex_);
    const std::size_t count = trail_.size();
    const std::size_t oldest = count < kTrailPoints ? 0 : trailNext_;
    Json points = Json::array();
    bool more = false;
    for (std::size_t k = 0; k < count; ++k) {
        const TrailPoint& p = trail_[(oldest + k) % count];
        if (p.time <= since) {
            continue;
        }
        if (points.size() == max) {
            more = true;
            break;
        }
        points.push_back(Json::array({p.time, p.lp[0], p.lp[1], p.lp[2], p.lp[3]}));
    }
    Json first = count == 0 ? Json(nullptr) : Json(trail_[oldest % count].time);
    return Json{{"points", std::move(points)}, {"more", more}, {"first", first}};
}

} // namespace monitor
} // namespace velkor_sim
