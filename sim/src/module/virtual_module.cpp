// The simulator API of the virtual module: plugging in, the window calls of
// the backplane, the manual clock, and the views into the firmware's state.
#include "module/module_impl.h"
#include "module/registry.h"

#include <algorithm>
#include <array>

namespace velkor_sim {

namespace {

// Which virtual module holds each slot. A module plugged into the slot of
// another takes it over: the one put out no longer counts itself in the
// slot, so it neither empties the slot under the newcomer when it is
// unplugged or destroyed, nor signals the slot's interrupt.
struct SlotTable {
    std::mutex mutex;
    std::array<VirtualModule*, brelan::kLastSlot + 1> holder{};
};

// Never destroyed: a module may outlive the statics (in handlers run at exit).
SlotTable& Slots()
{
    static SlotTable* const table = new SlotTable;
    return *table;
}

bool ValidSlot(std::uint8_t slot) { return slot >= brelan::kFirstSlot && slot <= brelan::kLastSlot; }

} // namespace

VirtualModule::VirtualModule(const ModuleOptions& options) : impl_(new Impl(options))
{
    std::lock_guard<std::mutex> hold(impl_->mutex);
    impl_->owner = this;
}

VirtualModule::~VirtualModule()
{
    Unplug();
    impl_.reset();
}

bool VirtualModule::PlugInto(std::uint8_t slot)
{
    if (!ValidSlot(slot)) {
        return false; // refused: the module stays where it was
    }
    SlotTable& slots = Slots();
    VirtualModule* putOut = nullptr;
    std::uint8_t old;
    {
        std::lock_guard<std::mutex> table(slots.mutex);
        VirtualModule* const other = slots.holder[slot];
        if (other != nullptr && other != this) {
            std::lock_guard<std::mutex> hold(other->impl_->mutex);
            other->impl_->slot = 0;
            putOut = other;
        }
        {
            std::lock_guard<std::mutex> hold(impl_->mutex);
            old = impl_->slot;
            impl_->slot = 0;
        }
        // The backplane calls below are made without the module's lock: they
        // wait for an access in progress, and that access may be waiting for it.
        if (old != 0 && old != slot) {
            slots.holder[old] = nullptr;
            brelan::UnplugDevice(old, this);
        }
        brelan::Plug(slot, this);
        slots.holder[slot] = this;
        std::lock_guard<std::mutex> hold(impl_->mutex);
        impl_->slot = slot;
    }
    // Onlookers hear of it without any module's lock held: they may add
    // themselves as observers.
    if (old != 0 && old != slot) {
        detail::NoteUnplugged(*this, old);
    }
    if (putOut != nullptr) {
        detail::NoteUnplugged(*putOut, slot);
    }
    detail::NotePlugged(*this, slot);
    return true;
}

void VirtualModule::Unplug()
{
    SlotTable& slots = Slots();
    std::lock_guard<std::mutex> table(slots.mutex);
    std::uint8_t slot;
    {
        std::lock_guard<std::mutex> hold(impl_->mutex);
        slot = impl_->slot;
        impl_->slot = 0;
    }
    // Only its own slot, and only while it is still in it.
    if (slot != 0) {
        detail::NoteUnplugged(*this, slot);
        slots.holder[slot] = nullptr;
        brelan::UnplugDevice(slot, this);
    }
}

namespace {

// Takes the module's lock for a host access, counted while it waits.
std::unique_lock<std::mutex> HostLock(std::mutex& mutex, std::atomic<int>& waiting)
{
    std::unique_lock<std::mutex> hold(mutex, std::try_to_lock);
    if (!hold.owns_lock()) {
        waiting.fetch_add(1, std::memory_order_relaxed);
        hold.lock();
        waiting.fetch_sub(1, std::memory_order_relaxed);
    }
    return hold;
}

} // namespace

std::uint8_t VirtualModule::Read(std::uint8_t offset)
{
    if (impl_->PlainRead(offset)) {
        return impl_->ReadPlain(offset);
    }
    const auto hold = HostLock(impl_->mutex, impl_->hostWaiting);
    const std::uint8_t value = impl_->ReadRegister(offset);
    impl_->SignalInterrupt(); // a read of a held packet's handshake may run the motion
    return value;
}

void VirtualModule::Write(std::uint8_t offset, std::uint8_t value)
{
    if (impl_->PlainWrite(offset)) {
        impl_->WritePlain(offset, value);
        return;
    }
    const auto hold = HostLock(impl_->mutex, impl_->hostWaiting);
    impl_->WriteRegister(offset, value);
    impl_->SignalInterrupt();
}

void VirtualModule::Advance(std::chrono::microseconds time)
{
    WaitSettled();
    std::lock_guard<std::mutex> hold(impl_->mutex);
    // At most the longest advance: the step count is kept in nanoseconds.
    impl_->StepFor(std::chrono::nanoseconds(std::min(std::max(time, std::chrono::microseconds(0)), kLongestAdvance)));
    impl_->SignalInterrupt();
}

bool VirtualModule::AdvanceUntilStopped(std::uint8_t axisMask, std::chrono::microseconds limit)
{
    WaitSettled();
    std::lock_guard<std::mutex> hold(impl_->mutex);
    Impl& m = *impl_;
    const double end = m.firmware.time + std::chrono::duration<double>(limit).count();
    for (;;) {
        bool driving = false;
        for (int i = 0; i < kAxisCount; ++i) {
            driving = driving || ((axisMask & (1u << i)) && m.firmware.AxisDriving(i));
        }
        if (!driving) {
            m.SignalInterrupt();
            return true;
        }
        if (m.firmware.time >= end) {
            m.SignalInterrupt();
            return false;
        }
        m.StepOnce();
        m.SignalInterrupt();
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
        const bool changed = impl_->busy != busy;
        impl_->busy = busy;
        if (changed) {
            const ModuleView view = View();
            for (ModuleObserver* o : impl_->observers) {
                o->BusyChanged(busy, view);
            }
        }
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
    return impl_->AxisNow(index);
}

AxisStatus VirtualModule::Impl::AxisNow(int index) const
{
    AxisStatus s;
    if (index < 0 || index >= kAxisCount) {
        return s;
    }
    const detail::AxisState& a = firmware.axes[index];
    s.lp = static_cast<std::int32_t>(a.lp);
    s.ep = static_cast<std::int32_t>(a.ep);
    s.speed = a.speed;
    s.acceleration = a.acceleration;
    s.driving = firmware.AxisDriving(index);
    s.errorCode = a.error;
    s.inputs = detail::InputWord(firmware, index);
    s.servoOn = firmware.axes[index].machine.settings.servoOn;
    s.homing = detail::HomingActive(firmware, index);
    s.motor = firmware.axes[index].machine.motor;
    s.followingError = static_cast<double>(a.lp) - s.motor;
    s.latch = a.latch;
    s.outputs = firmware.sync.outputs[index];
    s.machine = static_cast<std::int32_t>(a.lp - firmware.axes[index].machine.origin);
    return s;
}

std::size_t VirtualModule::BufferedSegments() const
{
    std::lock_guard<std::mutex> hold(impl_->mutex);
    return impl_->firmware.paths.queuedSegments;
}

Counters VirtualModule::GetCounters() const
{
    std::lock_guard<std::mutex> hold(impl_->mutex);
    Counters counters = impl_->firmware.counters;
    counters.busReads = impl_->busReads.load(std::memory_order_relaxed);
    counters.busWrites = impl_->busWrites.load(std::memory_order_relaxed);
    return counters;
}

std::map<std::uint8_t, std::uint32_t> VirtualModule::Unsimulated() const
{
    std::lock_guard<std::mutex> hold(impl_->mutex);
    return impl_->firmware.unsimulated;
}

void VirtualModule::SetStrict(bool strict)
{
    std::lock_guard<std::mutex> hold(impl_->mutex);
    impl_->firmware.strict = strict;
}

std::uint8_t VirtualModule::Outputs(int axisIndex) const
{
    std::lock_guard<std::mutex> hold(impl_->mutex);
    return axisIndex >= 0 && axisIndex < kAxisCount ? impl_->firmware.sync.outputs[axisIndex] : 0;
}

void VirtualModule::SetRemoteLoopback(bool on)
{
    std::lock_guard<std::mutex> hold(impl_->mutex);
    impl_->firmware.stores.remoteLoopback = on;
}

void VirtualModule::SetMachine(int axisIndex, const MachineAxis& machine)
{
    std::unique_lock<std::mutex> hold(impl_->mutex);
    if (axisIndex >= 0 && axisIndex < kAxisCount) {
        MachineAxis m = machine;
        // Values the model cannot run on fall back to their defaults.
        if (!(m.encoderRatio > 0 && m.encoderRatio <= 1e6)) {
            m.encoderRatio = 1;
        }
        if (!(m.followingTime >= 0 && m.followingTime <= 1e3)) {
            m.followingTime = 0;
        }
        if (!(m.inPositionBand >= 0 && m.inPositionBand <= 1e9)) {
            m.inPositionBand = 1;
        }
        const MachineAxis d;
        const auto within = [](double value, double low, double high) { return value >= low && value <= high; };
        if (!within(m.naturalFrequency, 0, 1e5)) {
            m.naturalFrequency = d.naturalFrequency;
        }
        if (!(m.damping > 0 && m.damping <= 1e3)) {
            m.damping = d.damping;
        }
        if (m.deadTime < 0 || m.deadTime > 1000) {
            m.deadTime = d.deadTime;
        }
        if (!within(m.backlash, 0, 1e9)) {
            m.backlash = d.backlash;
        }
        if (!within(m.encoderNoise, 0, 1e9)) {
            m.encoderNoise = d.encoderNoise;
        }
        if (!within(m.followingLimit, 0, 1e12)) {
            m.followingLimit = d.followingLimit;
        }
        impl_->firmware.axes[axisIndex].machine.layout = m;
        detail::ConfigureDrive(impl_->firmware, axisIndex);
        detail::RebaseEncoder(impl_->firmware, axisIndex);
        detail::WatchAlarm(impl_->firmware, axisIndex);
        impl_->SignalInterrupt();
        impl_->WakeForMotion();
    }
}

MachineAxis VirtualModule::Machine(int axisIndex) const
{
    std::lock_guard<std::mutex> hold(impl_->mutex);
    return axisIndex >= 0 && axisIndex < kAxisCount ? impl_->firmware.axes[axisIndex].machine.layout : MachineAxis{};
}

void VirtualModule::SetDriveAlarm(int axisIndex, bool on)
{
    std::unique_lock<std::mutex> hold(impl_->mutex);
    if (axisIndex >= 0 && axisIndex < kAxisCount) {
        impl_->firmware.axes[axisIndex].machine.driveAlarm = on;
        detail::WatchAlarm(impl_->firmware, axisIndex);
        impl_->SignalInterrupt();
        impl_->WakeForMotion();
    }
}

void VirtualModule::PressJog(int axisIndex, int direction)
{
    std::unique_lock<std::mutex> hold(impl_->mutex);
    if (axisIndex >= 0 && axisIndex < kAxisCount) {
        detail::PressJog(impl_->firmware, axisIndex, direction);
        impl_->SignalInterrupt();
        impl_->WakeForMotion();
    }
}

void VirtualModule::TurnHandwheel(int axisIndex, std::int32_t counts)
{
    std::unique_lock<std::mutex> hold(impl_->mutex);
    if (axisIndex >= 0 && axisIndex < kAxisCount) {
        detail::TurnHandwheel(impl_->firmware, axisIndex, counts);
        impl_->SignalInterrupt();
        impl_->WakeForMotion();
    }
}

void VirtualModule::SetInputs(int axisIndex, std::uint16_t word)
{
    std::unique_lock<std::mutex> hold(impl_->mutex);
    if (axisIndex >= 0 && axisIndex < kAxisCount) {
        impl_->firmware.axes[axisIndex].inputs = word;
        detail::WatchAlarm(impl_->firmware, axisIndex);
        impl_->SignalInterrupt();
        impl_->WakeForMotion();
    }
}

void VirtualModule::SetRemoteInput(std::uint8_t port, std::uint16_t word)
{
    std::lock_guard<std::mutex> hold(impl_->mutex);
    impl_->firmware.stores.remoteIn[port] = word;
}

std::uint32_t VirtualModule::RemoteOutput(std::uint8_t port) const
{
    std::lock_guard<std::mutex> hold(impl_->mutex);
    return impl_->firmware.stores.remoteOut[port];
}

std::uint8_t VirtualModule::ByteVariable(std::uint8_t index) const
{
    std::lock_guard<std::mutex> hold(impl_->mutex);
    return impl_->firmware.stores.byteVars[index];
}

std::int32_t VirtualModule::LongVariable(std::uint16_t index) const
{
    std::lock_guard<std::mutex> hold(impl_->mutex);
    return impl_->firmware.stores.longVars[index];
}

std::uint32_t VirtualModule::MdWord(std::uint16_t index) const
{
    std::lock_guard<std::mutex> hold(impl_->mutex);
    return impl_->firmware.stores.md[index];
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

void VirtualModule::RaiseInterrupt(std::uint8_t factors)
{
    std::lock_guard<std::mutex> hold(impl_->mutex);
    impl_->firmware.interrupts.Raise(factors);
    impl_->SignalInterrupt();
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
