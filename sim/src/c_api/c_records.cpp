// The C calls that read a module's trail, log and scope (velkor_sim.h). A
// handle keeps what a partial take left over, so that C callers read them in
// pieces of the size they choose.
#include "c_api/c_layouts.h"
#include "c_api/c_module.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <string>

namespace {

using velkor_sim::VirtualModule;

// Refills `queue` from `take` and moves up to `capacity` of its oldest items
// out through `put(i, item)`, i counting from 0. `out` is the caller's
// array, only checked for NULL here.
template <typename Item, typename Take, typename Put>
size_t TakeSome(VelkorSimModule* m, std::deque<Item> VelkorSimModule::*leftover, const void* out, size_t capacity,
                Take take, Put put)
{
    if (m == nullptr || (out == nullptr && capacity > 0)) {
        return 0;
    }
    std::lock_guard<std::mutex> hold(m->leftovers);
    std::deque<Item>& queue = m->*leftover;
    for (auto& item : take(m->module)) {
        queue.push_back(item);
    }
    const size_t n = std::min(capacity, queue.size());
    for (size_t i = 0; i < n; ++i) {
        put(i, queue.front());
        queue.pop_front();
    }
    return n;
}

velkor_sim::LogEntry ToEntry(const VelkorSimLogEntry& e)
{
    velkor_sim::LogEntry entry;
    entry.kind = e.kind == VELKOR_SIM_LOG_EXCHANGE ? velkor_sim::LogEntry::Kind::Exchange
                                                   : velkor_sim::LogEntry::Kind::Packet;
    entry.sequence = e.sequence;
    entry.code = e.code;
    std::memcpy(entry.bytes.data(), e.bytes, sizeof e.bytes);
    std::memcpy(entry.registers.data(), e.registers, sizeof e.registers);
    entry.time = e.time;
    return entry;
}

VelkorSimScopeSample ToSample(const velkor_sim::ScopeSample& s)
{
    VelkorSimScopeSample out{};
    out.time = s.time;
    for (int i = 0; i < 4; ++i) {
        const velkor_sim::ScopeAxisSample& a = s.axes[i];
        out.axes[i] = VelkorSimScopeAxis{a.lp,       a.ep,           a.speed,   a.inputs, a.velocity,
                                         a.acceleration, a.followingError, a.outputs, a.latch};
    }
    out.path_speed = s.pathSpeed;
    return out;
}

} // namespace

extern "C" {
// ---- Trail and log ----

size_t VelkorSim_TakeTrail(VelkorSimModule* module, VelkorSimTrailPoint* out, size_t capacity)
{
    return TakeSome(
        module, &VelkorSimModule::trail, out,
        capacity, [](VirtualModule& m) { return m.TakeTrail(); },
        [out](size_t i, const velkor_sim::TrailPoint& p) {
            out[i] = VelkorSimTrailPoint{p.time, {p.lp[0], p.lp[1], p.lp[2], p.lp[3]}};
        });
}

size_t VelkorSim_TakeLog(VelkorSimModule* module, VelkorSimLogEntry* out, size_t capacity)
{
    return TakeSome(
        module, &VelkorSimModule::log, out,
        capacity, [](VirtualModule& m) { return m.TakeLog(); },
        [out](size_t i, const velkor_sim::LogEntry& e) {
            VelkorSimLogEntry& c = out[i];
            c = VelkorSimLogEntry{};
            c.kind = e.kind == velkor_sim::LogEntry::Kind::Exchange ? VELKOR_SIM_LOG_EXCHANGE : VELKOR_SIM_LOG_PACKET;
            c.sequence = e.sequence;
            c.code = e.code;
            std::memcpy(c.bytes, e.bytes.data(), sizeof c.bytes);
            std::memcpy(c.registers, e.registers.data(), sizeof c.registers);
            c.time = e.time;
        });
}

size_t VelkorSim_DescribeLogEntry(const VelkorSimLogEntry* entry, char* text, size_t size)
{
    if (entry == nullptr) {
        if (text != nullptr && size > 0) {
            text[0] = '\0';
        }
        return 0;
    }
    const std::string line = velkor_sim::Describe(ToEntry(*entry));
    if (text != nullptr && size > 0) {
        const size_t n = std::min(size - 1, line.size());
        std::memcpy(text, line.data(), n);
        text[n] = '\0';
    }
    return line.size();
}

// ---- Scope ----

void VelkorSim_DefaultScopeSettings(VelkorSimScopeSettings* settings)
{
    if (settings == nullptr) {
        return;
    }
    const velkor_sim::ScopeSettings d;
    *settings = VelkorSimScopeSettings{};
    settings->period = d.period;
    settings->duration = d.duration;
    settings->capacity = static_cast<uint32_t>(d.capacity);
    settings->pretrigger = static_cast<uint32_t>(d.pretrigger);
    settings->trigger_kind = VELKOR_SIM_TRIGGER_NONE;
    settings->trigger_edge = VELKOR_SIM_EDGE_RISING;
    settings->trigger_axes = d.trigger.axes;
}

int VelkorSim_StartScope(VelkorSimModule* module, const VelkorSimScopeSettings* settings)
{
    if (module == nullptr || settings == nullptr || settings->trigger_kind > VELKOR_SIM_TRIGGER_PATH_START ||
        settings->trigger_edge > VELKOR_SIM_EDGE_EITHER) {
        return 0;
    }
    velkor_sim::ScopeSettings s;
    s.period = settings->period;
    s.duration = settings->duration;
    s.capacity = settings->capacity;
    s.pretrigger = settings->pretrigger;
    s.trigger.kind = static_cast<velkor_sim::TriggerKind>(settings->trigger_kind);
    s.trigger.axis = settings->trigger_axis;
    s.trigger.position = settings->trigger_position;
    s.trigger.input = settings->trigger_input;
    s.trigger.edge = static_cast<velkor_sim::Edge>(settings->trigger_edge);
    s.trigger.axes = settings->trigger_axes;
    if (!module->module.StartScope(s)) {
        return 0;
    }
    std::lock_guard<std::mutex> hold(module->leftovers);
    module->scope.clear();
    return 1;
}

void VelkorSim_StopScope(VelkorSimModule* module)
{
    if (module != nullptr) {
        module->module.StopScope();
    }
}

size_t VelkorSim_TakeScopeSized(VelkorSimModule* module, VelkorSimScopeSample* out, size_t capacity,
                                size_t sample_size)
{
    using velkor_sim::c_layouts::ScopeSampleFirst;
    // Today's layout, or the first one (converted: its axes are smaller) for
    // a caller whose samples cannot hold today's.
    const bool whole = sample_size >= sizeof(VelkorSimScopeSample);
    if (!whole && sample_size < sizeof(ScopeSampleFirst)) {
        return 0;
    }
    unsigned char* const bytes = reinterpret_cast<unsigned char*>(out);
    // Sample i starts i caller's sizes in: nothing lands past the caller's
    // samples, whatever size its header gave them.
    return TakeSome(
        module, &VelkorSimModule::scope, out, capacity, [](VirtualModule& m) { return m.TakeScope(); },
        [&](size_t i, const velkor_sim::ScopeSample& s) {
            using velkor_sim::c_layouts::Layouts;
            using velkor_sim::c_layouts::WritePrefix;
            unsigned char* const at = bytes + i * sample_size;
            if (whole) {
                WritePrefix(ToSample(s), at, sample_size, Layouts<1>{sizeof(VelkorSimScopeSample)});
                return;
            }
            ScopeSampleFirst first;
            std::memset(&first, 0, sizeof first);
            first.time = s.time;
            for (int a = 0; a < 4; ++a) {
                first.axes[a].lp = s.axes[a].lp;
                first.axes[a].ep = s.axes[a].ep;
                first.axes[a].speed = s.axes[a].speed;
                first.axes[a].inputs = s.axes[a].inputs;
            }
            WritePrefix(first, at, sample_size, Layouts<1>{sizeof first});
        });
}

size_t(VelkorSim_TakeScope)(VelkorSimModule* module, VelkorSimScopeSample* out, size_t capacity)
{
    return VelkorSim_TakeScopeSized(module, out, capacity, sizeof(velkor_sim::c_layouts::ScopeSampleFirst));
}

void VelkorSim_GetScopeState(const VelkorSimModule* module, VelkorSimScopeState* out)
{
    if (out == nullptr) {
        return;
    }
    *out = VelkorSimScopeState{};
    if (module != nullptr) {
        const velkor_sim::ScopeState s = module->module.GetScopeState();
        std::lock_guard<std::mutex> hold(module->leftovers);
        *out = VelkorSimScopeState{static_cast<uint8_t>(s.running ? 1 : 0), static_cast<uint8_t>(s.triggered ? 1 : 0),
                                   s.triggerTime, s.taken, s.lost, s.waiting + module->scope.size()};
    }
}

long VelkorSim_WriteScopeCsv(VelkorSimModule* module, uint8_t slot, const char* file)
{
    if (module == nullptr || file == nullptr) {
        return -1;
    }
    std::ofstream out(file, std::ios::binary);
    if (!out) {
        return -1;
    }
    std::vector<velkor_sim::ScopeSample> samples;
    {
        std::lock_guard<std::mutex> hold(module->leftovers);
        samples.assign(module->scope.begin(), module->scope.end());
        module->scope.clear();
    }
    for (const auto& s : module->module.TakeScope()) {
        samples.push_back(s);
    }
    velkor_sim::WriteScopeCsv(out, slot, samples, true);
    out.flush();
    return out ? static_cast<long>(samples.size()) : -1;
}

} // extern "C"
