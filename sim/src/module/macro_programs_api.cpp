// The simulator API of the macro programs: the store as recorded, where the
// runner stands, and the manual clock run until a program ends; and the
// debug register placed into the window.
#include "module/module_impl.h"

namespace velkor_sim {

std::size_t VirtualModule::MacroProgramSteps(std::uint8_t program) const
{
    std::lock_guard<std::mutex> hold(impl_->mutex);
    const auto& programs = impl_->firmware.macros.programs;
    const auto found = programs.find(program);
    return found == programs.end() ? 0 : found->second->steps.size();
}

std::vector<MacroStep> VirtualModule::MacroProgram(std::uint8_t program) const
{
    std::lock_guard<std::mutex> hold(impl_->mutex);
    const auto& programs = impl_->firmware.macros.programs;
    const auto found = programs.find(program);
    return found == programs.end() ? std::vector<MacroStep>{} : found->second->steps;
}

MacroRunStatus VirtualModule::MacroRun() const
{
    std::lock_guard<std::mutex> hold(impl_->mutex);
    return impl_->MacroRunNow();
}

void VirtualModule::Impl::PlaceDebugRegister()
{
    const detail::MacroStore& m = firmware.macros;
    if (m.debugLive) {
        SetReg(detail::kDebugWordLow, static_cast<std::uint8_t>(m.debugWord));
        SetReg(detail::kDebugWordHigh, static_cast<std::uint8_t>(m.debugWord >> 8));
        SetReg(detail::kDebugByte, m.debugByte);
    }
}

bool VirtualModule::AdvanceUntilProgramEnds(std::chrono::microseconds limit)
{
    WaitSettled();
    std::lock_guard<std::mutex> hold(impl_->mutex);
    Impl& m = *impl_;
    const double end = m.firmware.time + std::chrono::duration<double>(limit).count();
    while (m.firmware.macros.run.active && !m.firmware.macros.run.paused && m.firmware.time < end) {
        m.StepOnce();
        m.SignalInterrupt();
    }
    m.SignalInterrupt();
    return !m.firmware.macros.run.active;
}

} // namespace velkor_sim
