// The scope in the simulator API, and its samples as CSV.
#include "velkor_sim/scope.h"
#include "velkor_sim/virtual_module.h"

#include "module/module_impl.h"

#include <cstdio>

namespace velkor_sim {

bool VirtualModule::StartScope(const ScopeSettings& settings)
{
    std::lock_guard<std::mutex> hold(impl_->mutex);
    return impl_->firmware.scope.Start(settings, impl_->firmware);
}

void VirtualModule::StopScope()
{
    std::lock_guard<std::mutex> hold(impl_->mutex);
    impl_->firmware.scope.Stop();
}

std::vector<ScopeSample> VirtualModule::TakeScope()
{
    std::lock_guard<std::mutex> hold(impl_->mutex);
    return impl_->firmware.scope.Take();
}

ScopeState VirtualModule::GetScopeState() const
{
    std::lock_guard<std::mutex> hold(impl_->mutex);
    return impl_->firmware.scope.State();
}

void WriteScopeCsv(std::ostream& out, unsigned slot, const std::vector<ScopeSample>& samples, bool header)
{
    if (header) {
        out << "time_s,slot";
        for (int i = 1; i <= 4; ++i) {
            out << ",axis" << i << "_lp,axis" << i << "_ep,axis" << i << "_speed,axis" << i << "_inputs";
        }
        out << '\n';
    }
    char line[512];
    for (const ScopeSample& s : samples) {
        int n = std::snprintf(line, sizeof line, "%.6f,%u", s.time, slot);
        for (const ScopeAxisSample& a : s.axes) {
            n += std::snprintf(line + n, sizeof line - static_cast<std::size_t>(n), ",%d,%d,%.3f,%u", a.lp, a.ep,
                               a.speed, unsigned(a.inputs));
        }
        out << line << '\n';
    }
}

} // namespace velkor_sim
