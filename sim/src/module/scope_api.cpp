// The scope in the simulator API, and its samples as CSV.
#include "velkor_sim/scope.h"
#include "velkor_sim/virtual_module.h"

#include "module/module_impl.h"

#include <algorithm>
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
        out << ",path_speed";
        for (int i = 1; i <= 4; ++i) {
            out << ",axis" << i << "_velocity,axis" << i << "_acceleration,axis" << i << "_following_error,axis" << i
                << "_outputs,axis" << i << "_latch";
        }
        out << '\n';
    }
    char line[1024];
    int n = 0;
    // Appends to the line; a value too long for it is cut, never overrun.
    const auto add = [&line, &n](const char* format, auto... values) {
        const int room = static_cast<int>(sizeof line) - n;
        const int wrote = std::snprintf(line + n, static_cast<std::size_t>(room), format, values...);
        n += wrote < 0 ? 0 : std::min(wrote, room - 1);
    };
    for (const ScopeSample& s : samples) {
        n = 0;
        add("%.6f,%u", s.time, slot);
        for (const ScopeAxisSample& a : s.axes) {
            add(",%d,%d,%.3f,%u", a.lp, a.ep, a.speed, unsigned(a.inputs));
        }
        add(",%.3f", s.pathSpeed);
        for (const ScopeAxisSample& a : s.axes) {
            add(",%.3f,%.3f,%.4f,%u,%d", a.velocity, a.acceleration, a.followingError, unsigned(a.outputs), a.latch);
        }
        out << line << '\n';
    }
}

} // namespace velkor_sim
