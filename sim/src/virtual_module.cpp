// The virtual module's mailbox window, firmware thread and clocks.
//
// The window is a plain array of registers guarded by one mutex, shared by
// the backplane's accesses, the firmware thread and the simulator API. The
// firmware thread sleeps on a condition variable: a write of the handshake
// register wakes it, a take latency makes it sleep until the latency is over,
// and on the real-time clock it wakes once per tick while something moves.
#include "velkor_sim/virtual_module.h"

#include "firmware.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace velkor_sim {

namespace {

using SteadyClock = std::chrono::steady_clock;
constexpr std::uint8_t kHandshake = 126;
constexpr std::uint8_t kSequence = 2;
constexpr std::uint8_t kInterruptCode = 124;
constexpr std::uint8_t kData = 64;
constexpr std::uint8_t kPacket = 1;
// How often the real-time clock lets the firmware catch up with the time.
constexpr std::chrono::milliseconds kTick{2};
// The real-time clock never runs more than this much simulated time in one
// go, so a thread that was kept from running for a long time does not stall
// the window while it catches up.
constexpr double kMaxCatchUp = 0.25;
constexpr std::size_t kLogLimit = 1u << 18;

} // namespace

class VirtualModule::Impl {
public:
    explicit Impl(const ModuleOptions& o) : options(o), firmware(o), latency(o.takeLatency)
    {
        if (options.step.count() > 0) {
            stepLength = options.step;
        }
        stepSeconds = std::chrono::duration<double>(stepLength).count();
        thread = std::thread([this] { Run(); });
    }

    ~Impl()
    {
        {
            std::lock_guard<std::mutex> hold(mutex);
            quit = true;
        }
        wake.notify_all();
        settled.notify_all();
        thread.join();
    }

    bool MailboxWaiting() const { return window[kHandshake] != 0 && !busy; }

    // Takes the packet or answers the code in the handshake register.
    void ServiceMailbox()
    {
        const std::uint8_t code = window[kHandshake];
        LogEntry entry;
        if (code == kPacket) {
            firmware.TakePacket(packet);
            entry.kind = LogEntry::Kind::Packet;
            entry.sequence = packetSequence;
            entry.code = packet[0];
            entry.bytes = packet;
        } else {
            for (int i = 0; i < 10; ++i) {
                entry.registers[i] = window[96 + 2 * i];
            }
            firmware.Answer(code, window);
            entry.kind = LogEntry::Kind::Exchange;
            entry.code = code;
            for (int i = 0; i < kDataBytes; ++i) {
                entry.bytes[i] = window[kData + 2 * i];
            }
        }
        window[kHandshake] = 0;
        if (options.keepLog && log.size() < kLogLimit) {
            entry.time = firmware.time;
            log.push_back(entry);
        }
    }

    // Runs whole motion steps for the time given, keeping the rest for later.
    // Time is counted in nanoseconds so that ten steps of 1 ms are exactly 10 ms.
    void StepFor(std::chrono::nanoseconds time)
    {
        debt += time;
        while (debt >= stepLength) {
            firmware.Step(stepSeconds);
            debt -= stepLength;
        }
    }

    // Raises the slot interrupt for factors the firmware raised, outside the
    // module's lock (the backplane takes its own locks). Returns whether the
    // lock was let go meanwhile.
    bool RaisePending(std::unique_lock<std::mutex>& hold)
    {
        if (firmware.TakeInterrupt() == 0 || slot == 0) {
            return false;
        }
        const std::uint8_t s = slot;
        hold.unlock();
        brelan::RaiseInterrupt(s);
        hold.lock();
        return true;
    }

    void Run()
    {
        std::unique_lock<std::mutex> hold(mutex);
        while (!quit) {
            const SteadyClock::time_point now = SteadyClock::now();
            SteadyClock::time_point deadline = SteadyClock::time_point::max();
            if (MailboxWaiting()) {
                const SteadyClock::time_point due = postedAt + latency;
                if (now >= due) {
                    ServiceMailbox();
                    settled.notify_all();
                    RaisePending(hold);
                    continue;
                }
                deadline = due;
            }
            if (options.clock == ClockKind::RealTime) {
                if (firmware.Moving()) {
                    if (ticking) {
                        const double elapsed = std::chrono::duration<double>(now - lastTick).count();
                        const double owed = std::min(kMaxCatchUp, elapsed * options.timeScale);
                        StepFor(std::chrono::nanoseconds(static_cast<std::int64_t>(owed * 1e9)));
                    }
                    ticking = true;
                    lastTick = now;
                    deadline = std::min(deadline, now + kTick);
                } else {
                    ticking = false;
                    debt = std::chrono::nanoseconds(0);
                }
                if (RaisePending(hold)) {
                    continue; // the window may have changed meanwhile
                }
            }
            if (deadline == SteadyClock::time_point::max()) {
                wake.wait(hold);
            } else {
                wake.wait_until(hold, deadline);
            }
        }
    }

    ModuleOptions options;
    mutable std::mutex mutex;
    std::condition_variable wake;    // the firmware thread has something to look at
    std::condition_variable settled; // the mailbox was emptied
    std::array<std::uint8_t, 128> window{};
    detail::Firmware firmware;
    detail::Bytes packet{};           // the packet posted, as it was when posted
    std::uint8_t packetSequence = 0;  // the number it carried
    SteadyClock::time_point postedAt;
    std::chrono::microseconds latency;
    bool busy = false;
    bool quit = false;
    std::uint8_t slot = 0;
    double stepSeconds = 0.001;
    std::chrono::nanoseconds stepLength{1000000};
    std::chrono::nanoseconds debt{0}; // simulated time owed to the motion model, below one step
    bool ticking = false;
    SteadyClock::time_point lastTick;
    std::vector<LogEntry> log;
    std::thread thread;
};

VirtualModule::VirtualModule(const ModuleOptions& options) : impl_(new Impl(options)) {}

VirtualModule::~VirtualModule()
{
    Unplug();
    impl_.reset();
}

bool VirtualModule::PlugInto(std::uint8_t slot)
{
    Unplug();
    if (!brelan::Plug(slot, this)) {
        return false;
    }
    std::lock_guard<std::mutex> hold(impl_->mutex);
    impl_->slot = slot;
    return true;
}

void VirtualModule::Unplug()
{
    std::uint8_t slot;
    {
        std::lock_guard<std::mutex> hold(impl_->mutex);
        slot = impl_->slot;
        impl_->slot = 0;
    }
    // Not under the module's lock: the backplane waits for an access in
    // progress, and that access may be waiting for the module's lock.
    if (slot != 0) {
        brelan::Unplug(slot);
    }
}

std::uint8_t VirtualModule::Read(std::uint8_t offset)
{
    std::lock_guard<std::mutex> hold(impl_->mutex);
    ++impl_->firmware.counters.busReads;
    if (offset >= impl_->window.size()) {
        return 0xFF;
    }
    switch (offset) {
    case 0: return impl_->options.id;
    case kInterruptCode: return impl_->firmware.ReadInterruptCode();
    default: return impl_->window[offset];
    }
}

void VirtualModule::Write(std::uint8_t offset, std::uint8_t value)
{
    std::lock_guard<std::mutex> hold(impl_->mutex);
    Impl& m = *impl_;
    ++m.firmware.counters.busWrites;
    if (offset >= m.window.size() || offset == 0 || offset == kInterruptCode) {
        return; // read-only registers
    }
    if (offset == kSequence) {
        m.firmware.SequenceWritten(value, m.window[kHandshake] == kPacket, m.packetSequence);
    }
    m.window[offset] = value;
    if (offset == kHandshake && value != 0) {
        if (value == kPacket) {
            m.packetSequence = m.window[kSequence];
            for (int i = 0; i < kDataBytes; ++i) {
                m.packet[i] = m.window[kData + 2 * i];
            }
            m.firmware.PacketArrived(m.packetSequence);
        }
        m.postedAt = SteadyClock::now();
        m.wake.notify_one();
    }
}

void VirtualModule::Advance(std::chrono::microseconds time)
{
    WaitSettled();
    std::unique_lock<std::mutex> hold(impl_->mutex);
    impl_->StepFor(time);
    impl_->RaisePending(hold);
}

bool VirtualModule::AdvanceUntilStopped(std::uint8_t axisMask, std::chrono::microseconds limit)
{
    WaitSettled();
    std::unique_lock<std::mutex> hold(impl_->mutex);
    Impl& m = *impl_;
    const double end = m.firmware.time + std::chrono::duration<double>(limit).count();
    for (;;) {
        bool driving = false;
        for (int i = 0; i < kAxisCount; ++i) {
            driving = driving || ((axisMask & (1u << i)) && m.firmware.AxisDriving(i));
        }
        if (!driving) {
            m.RaisePending(hold);
            return true;
        }
        if (m.firmware.time >= end) {
            m.RaisePending(hold);
            return false;
        }
        m.firmware.Step(m.stepSeconds);
    }
}

double VirtualModule::Now() const
{
    std::lock_guard<std::mutex> hold(impl_->mutex);
    return impl_->firmware.time;
}

void VirtualModule::SetBusy(bool busy)
{
    {
        std::lock_guard<std::mutex> hold(impl_->mutex);
        impl_->busy = busy;
    }
    impl_->wake.notify_one();
    impl_->settled.notify_all();
}

void VirtualModule::SetTakeLatency(std::chrono::microseconds latency)
{
    {
        std::lock_guard<std::mutex> hold(impl_->mutex);
        impl_->latency = latency;
    }
    impl_->wake.notify_one();
}

void VirtualModule::WaitSettled()
{
    std::unique_lock<std::mutex> hold(impl_->mutex);
    impl_->settled.wait(hold, [this] { return !impl_->MailboxWaiting() || impl_->quit; });
}

AxisStatus VirtualModule::Axis(int index) const
{
    std::lock_guard<std::mutex> hold(impl_->mutex);
    AxisStatus s;
    if (index < 0 || index >= kAxisCount) {
        return s;
    }
    const detail::AxisState& a = impl_->firmware.axes[index];
    s.lp = static_cast<std::int32_t>(a.lp);
    s.ep = static_cast<std::int32_t>(a.ep);
    s.speed = a.speed;
    s.acceleration = a.acceleration;
    s.driving = impl_->firmware.AxisDriving(index);
    s.errorCode = a.error;
    s.inputs = a.inputs;
    return s;
}

Counters VirtualModule::GetCounters() const
{
    std::lock_guard<std::mutex> hold(impl_->mutex);
    return impl_->firmware.counters;
}

std::map<std::uint8_t, std::uint32_t> VirtualModule::Unsimulated() const
{
    std::lock_guard<std::mutex> hold(impl_->mutex);
    return impl_->firmware.unsimulated;
}

void VirtualModule::SetInputs(int axisIndex, std::uint16_t word)
{
    std::lock_guard<std::mutex> hold(impl_->mutex);
    if (axisIndex >= 0 && axisIndex < kAxisCount) {
        impl_->firmware.axes[axisIndex].inputs = word;
    }
}

void VirtualModule::SetRemoteInput(std::uint8_t port, std::uint16_t word)
{
    std::lock_guard<std::mutex> hold(impl_->mutex);
    impl_->firmware.remoteIn[port] = word;
}

std::uint32_t VirtualModule::RemoteOutput(std::uint8_t port) const
{
    std::lock_guard<std::mutex> hold(impl_->mutex);
    return impl_->firmware.remoteOut[port];
}

std::uint8_t VirtualModule::ByteVariable(std::uint8_t index) const
{
    std::lock_guard<std::mutex> hold(impl_->mutex);
    return impl_->firmware.byteVars[index];
}

std::int32_t VirtualModule::LongVariable(std::uint16_t index) const
{
    std::lock_guard<std::mutex> hold(impl_->mutex);
    return impl_->firmware.longVars[index];
}

std::uint32_t VirtualModule::MdWord(std::uint16_t index) const
{
    std::lock_guard<std::mutex> hold(impl_->mutex);
    return impl_->firmware.md[index];
}

void VirtualModule::SetLatch(int axisIndex, std::int32_t value)
{
    std::lock_guard<std::mutex> hold(impl_->mutex);
    if (axisIndex >= 0 && axisIndex < kAxisCount) {
        impl_->firmware.axes[axisIndex].latch = value;
    }
}

void VirtualModule::SetFirmwareVersion(std::uint32_t version)
{
    std::lock_guard<std::mutex> hold(impl_->mutex);
    impl_->firmware.firmwareVersion = version;
}

std::size_t VirtualModule::MacroProgramSteps(std::uint8_t program) const
{
    std::lock_guard<std::mutex> hold(impl_->mutex);
    const auto found = impl_->firmware.programs.find(program);
    return found == impl_->firmware.programs.end() ? 0 : found->second.size();
}

void VirtualModule::RaiseInterrupt(std::uint8_t factors)
{
    std::unique_lock<std::mutex> hold(impl_->mutex);
    impl_->firmware.Raise(factors);
    impl_->RaisePending(hold);
}

std::vector<TrailPoint> VirtualModule::TakeTrail()
{
    std::lock_guard<std::mutex> hold(impl_->mutex);
    std::vector<TrailPoint> out;
    out.swap(impl_->firmware.trail);
    return out;
}

std::vector<LogEntry> VirtualModule::TakeLog()
{
    std::lock_guard<std::mutex> hold(impl_->mutex);
    std::vector<LogEntry> out;
    out.swap(impl_->log);
    return out;
}

} // namespace velkor_sim
