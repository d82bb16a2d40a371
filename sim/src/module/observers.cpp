// The hooks of onlookers (ModuleObserver) and the views they read through.
// Everything here runs with the module's lock held.
#include "module/module_impl.h"

#include <algorithm>
#include <cmath>

namespace velkor_sim {

void VirtualModule::AddObserver(ModuleObserver* observer)
{
    std::lock_guard<std::mutex> hold(impl_->mutex);
    std::vector<ModuleObserver*>& list = impl_->observers;
    if (observer != nullptr && std::find(list.begin(), list.end(), observer) == list.end()) {
        if (list.empty()) {
            impl_->RememberSeen();
        }
        list.push_back(observer);
    }
}

void VirtualModule::RemoveObserver(ModuleObserver* observer)
{
    std::lock_guard<std::mutex> hold(impl_->mutex);
    std::vector<ModuleObserver*>& list = impl_->observers;
    list.erase(std::remove(list.begin(), list.end(), observer), list.end());
}

ModuleSnapshot VirtualModule::Snapshot() const
{
    std::lock_guard<std::mutex> hold(impl_->mutex);
    return impl_->SnapshotNow();
}

MacroRunStatus VirtualModule::Impl::MacroRunNow() const
{
    const detail::MacroStore& m = firmware.macros;
    MacroRunStatus s;
    s.running = m.run.active;
    s.debugging = m.run.debugging;
    s.paused = m.run.paused;
    if (!m.run.calls.empty()) {
        s.program = m.run.calls.back().number;
        s.step = static_cast<std::uint16_t>(m.run.calls.back().pc);
    }
    s.routineArmed = m.isrArmed;
    return s;
}

namespace {

bool SameRun(const MacroRunStatus& a, const MacroRunStatus& b)
{
    return a.running == b.running && a.paused == b.paused && a.program == b.program && a.step == b.step;
}

std::uint16_t ErrorWord(const detail::Firmware& fw, int axis)
{
    return static_cast<std::uint16_t>(fw.axes[axis].error | fw.moduleError);
}

ExternalDrive ExternalOf(const detail::Firmware& fw, int axis)
{
    using External = detail::MachineSettings::External;
    switch (fw.axes[axis].machine.settings.external) {
    case External::Handwheel: return ExternalDrive::Handwheel;
    case External::FixedPulse: return ExternalDrive::FixedPulse;
    case External::ContinuousPulse: return ExternalDrive::Continuous;
    case External::Off: break;
    }
    return ExternalDrive::Off;
}

// Where the axis's commanded motion ends: the end of its fixed move, or of
// the path running that it belongs to (the segment under way and those of
// the same path queued behind it).
bool EndOf(const detail::Firmware& fw, int axis, std::int64_t& end)
{
    const detail::Drive& d = fw.axes[axis].drive;
    if (d.kind == detail::Drive::Kind::Fixed) {
        end = d.start + static_cast<std::int64_t>(std::llround(d.target)) * (d.dir < 0 ? -1 : 1);
        return true;
    }
    const detail::PathState& ps = fw.paths;
    if (!ps.running || !ps.haveSegment || ps.queue.empty()) {
        return false;
    }
    const detail::Path& path = ps.queue.front();
    for (int k = 0; k < path.dims && k < 3; ++k) {
        if (path.axis[k] != axis) {
            continue;
        }
        end = ps.segmentStart[k] + ps.segment.d[k];
        for (const detail::Segment& seg : path.segments) {
            end += seg.d[k];
        }
        return true;
    }
    return false;
}

} // namespace

ModuleSnapshot VirtualModule::Impl::SnapshotNow() const
{
    ModuleSnapshot s;
    s.time = firmware.time;
    s.steps = steps;
    s.slot = slot;
    s.id = options.id;
    s.firmwareVersion = firmware.firmwareVersion;
    s.clock = ClockNow();
    s.busy = busy;
    for (int i = 0; i < kAxisCount; ++i) {
        s.axes[i] = AxisNow(i);
        s.forcedInputs[i] = firmware.axes[i].inputs;
        s.outputs[i] = firmware.sync.outputs[i];
        s.latch[i] = firmware.axes[i].latch;
        s.driveAlarm[i] = firmware.axes[i].machine.driveAlarm;
        s.machine[i] = firmware.axes[i].machine.layout;
        s.externalDrive[i] = ExternalOf(firmware, i);
        s.hasEnd[i] = EndOf(firmware, i, s.commandedEnd[i]);
    }
    s.moduleErrors = firmware.moduleError;
    s.interruptOn = firmware.interrupts.On();
    s.interruptEnabled = firmware.interrupts.Enabled();
    s.interruptCode = firmware.interrupts.Code();
    s.interruptUp = firmware.interrupts.Up();
    s.bufferedSegments = firmware.paths.queuedSegments;
    s.bufferCapacity = firmware.bufferCapacity;
    s.program = MacroRunNow();
    s.remoteLoopback = firmware.stores.remoteLoopback;
    s.counters = firmware.counters;
    s.counters.busReads = busReads.load(std::memory_order_relaxed);
    s.counters.busWrites = busWrites.load(std::memory_order_relaxed);
    return s;
}

void VirtualModule::Impl::RememberSeen()
{
    for (int i = 0; i < kAxisCount; ++i) {
        seenErrors[i] = ErrorWord(firmware, i);
    }
    seenCode = firmware.interrupts.Code();
    seenRun = MacroRunNow();
}

void VirtualModule::Impl::ObserveChanges()
{
    const ModuleView view = owner->View();
    for (int i = 0; i < kAxisCount; ++i) {
        const std::uint16_t now = ErrorWord(firmware, i);
        if (now != seenErrors[i]) {
            const std::uint16_t before = seenErrors[i];
            seenErrors[i] = now;
            for (ModuleObserver* o : observers) {
                o->ErrorsChanged(i, before, now, view);
            }
        }
    }
    const std::uint8_t code = firmware.interrupts.Code();
    const std::uint8_t added = static_cast<std::uint8_t>(code & ~seenCode);
    seenCode = code;
    if (added != 0) {
        for (ModuleObserver* o : observers) {
            o->InterruptRaised(added, code, view);
        }
    }
    const MacroRunStatus run = MacroRunNow();
    if (!SameRun(run, seenRun)) {
        seenRun = run;
        for (ModuleObserver* o : observers) {
            o->ProgramMoved(run, view);
        }
    }
}

void VirtualModule::Impl::ObserveStep()
{
    ObserveChanges();
    const ModuleView view = owner->View();
    for (ModuleObserver* o : observers) {
        o->MotionStepped(view);
    }
}

void VirtualModule::Impl::ObservePacket(const LogEntry& entry)
{
    const ModuleView view = owner->View();
    for (ModuleObserver* o : observers) {
        o->PacketTaken(entry, view);
    }
}

void VirtualModule::Impl::ObserveClock()
{
    if (observers.empty()) {
        return;
    }
    const ModuleView view = owner->View();
    const ClockState clock = ClockNow();
    for (ModuleObserver* o : observers) {
        o->ClockChanged(clock, view);
    }
}

double ModuleView::Time() const { return module_.impl_->firmware.time; }
std::uint64_t ModuleView::Steps() const { return module_.impl_->steps; }
std::uint8_t ModuleView::Slot() const { return module_.impl_->slot; }
AxisStatus ModuleView::Axis(int index) const { return module_.impl_->AxisNow(index); }
std::int32_t ModuleView::Lp(int index) const
{
    return index >= 0 && index < kAxisCount ? static_cast<std::int32_t>(module_.impl_->firmware.axes[index].lp) : 0;
}
std::size_t ModuleView::BufferedSegments() const { return module_.impl_->firmware.paths.queuedSegments; }
std::uint8_t ModuleView::Outputs(int index) const
{
    return index >= 0 && index < kAxisCount ? module_.impl_->firmware.sync.outputs[index] : 0;
}
std::uint16_t ModuleView::ModuleErrors() const { return module_.impl_->firmware.moduleError; }
std::uint16_t ModuleView::ForcedInputs(int index) const
{
    return index >= 0 && index < kAxisCount ? module_.impl_->firmware.axes[index].inputs : 0;
}
bool ModuleView::DriveAlarm(int index) const
{
    return index >= 0 && index < kAxisCount && module_.impl_->firmware.axes[index].machine.driveAlarm;
}
bool ModuleView::CommandedEnd(int index, std::int64_t& end) const
{
    return index >= 0 && index < kAxisCount && EndOf(module_.impl_->firmware, index, end);
}
ModuleSnapshot ModuleView::Snapshot() const { return module_.impl_->SnapshotNow(); }

} // namespace velkor_sim
