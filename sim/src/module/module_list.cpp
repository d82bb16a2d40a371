// Reading the text form of a list of virtual modules (velkor_sim/module_list.h).
#include "velkor_sim/module_list.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace velkor_sim {
namespace {

constexpr double kMostSpeed = 1000;
constexpr long kMostLatency = 1000000; // microseconds

std::vector<std::string> Split(const std::string& text, char separator)
{
    std::vector<std::string> parts;
    std::string::size_type from = 0;
    for (;;) {
        const std::string::size_type at = text.find(separator, from);
        parts.push_back(text.substr(from, at == std::string::npos ? std::string::npos : at - from));
        if (at == std::string::npos) {
            return parts;
        }
        from = at + 1;
    }
}

// A whole decimal number in [low, high], written in its one plain form: digits
// only, with a minus sign where negative numbers are allowed, no plus sign, no
// spaces and no leading zeros ("3", "-40", "0"; not "+3", " 3", "03", "3 ").
bool ReadInteger(const std::string& text, long low, long high, long& out)
{
    const std::size_t digits = low < 0 && !text.empty() && text[0] == '-' ? 1 : 0;
    if (text.size() <= digits || text.size() > 12 ||
        text.find_first_not_of("0123456789", digits) != std::string::npos ||
        (text[digits] == '0' && text.size() > digits + 1) || text == "-0") {
        return false;
    }
    char* end = nullptr;
    errno = 0;
    const long value = std::strtol(text.c_str(), &end, 10);
    if (*end != '\0' || errno != 0 || value < low || value > high) {
        return false;
    }
    out = value;
    return true;
}

bool ReadOption(const std::string& option, ModuleOptions& options, std::string& error)
{
    const std::string::size_type eq = option.find('=');
    const std::string key = option.substr(0, eq);
    const std::string value = eq == std::string::npos ? std::string() : option.substr(eq + 1);
    if (key == "id") {
        if (value != "D" && value != "U") {
            error = "id must be D or U, not '" + value + "'";
            return false;
        }
        options.id = static_cast<std::uint8_t>(value[0]);
        return true;
    }
    if (key == "speed") {
        char* end = nullptr;
        const double speed = std::strtod(value.c_str(), &end);
        if (value.empty() || *end != '\0' || !std::isfinite(speed)) {
            error = "speed must be a number, not '" + value + "'";
            return false;
        }
        if (speed <= 0 || speed > kMostSpeed) {
            error = "speed " + value + " is out of range: more than 0, at most 1000";
            return false;
        }
        options.timeScale = speed;
        return true;
    }
    if (key == "clock") {
        if (value == "real-time") {
            options.clock = ClockKind::RealTime;
        } else if (value == "fast") {
            options.clock = ClockKind::Fast;
        } else {
            error = "clock must be real-time or fast, not '" + value + "'";
            return false;
        }
        return true;
    }
    if (key == "latency") {
        long microseconds = 0;
        if (!ReadInteger(value, 0, kMostLatency, microseconds)) {
            error = "latency '" + value + "' is out of range 0 to 1000000 (microseconds)";
            return false;
        }
        options.takeLatency = std::chrono::microseconds(microseconds);
        return true;
    }
    if (key == "firmware") {
        const std::vector<std::string> parts = Split(value, '.');
        long v[3] = {0, 0, 0};
        if (parts.size() != 3 || !ReadInteger(parts[0], 0, 255, v[0]) || !ReadInteger(parts[1], 0, 255, v[1]) ||
            !ReadInteger(parts[2], 0, 255, v[2])) {
            error = "firmware must be MAJOR.MINOR.PATCH, each 0 to 255, not '" + value + "'";
            return false;
        }
        options.firmwareVersion = static_cast<std::uint32_t>(v[0] << 16 | v[1] << 8 | v[2]);
        return true;
    }
    error = "unknown module option '" + option + "' (known: id=D|U, firmware=X.Y.Z, speed=F, clock=real-time|fast, "
                                             "latency=MICROSECONDS)";
    return false;
}

bool ReadSeconds(const std::string& text, double low, double high, double& out)
{
    char* end = nullptr;
    const double v = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0' || !std::isfinite(v) || v < low || v > high) {
        return false;
    }
    out = v;
    return true;
}

} // namespace

bool ParseScopeTrigger(const std::string& text, ScopeTrigger& out, std::string& error)
{
    const std::vector<std::string> parts = Split(text, ':');
    ScopeTrigger t;
    long axis = 0, value = 0;
    if (parts[0] == "position" && parts.size() == 3) {
        if (!ReadInteger(parts[1], 1, 4, axis) ||
            !ReadInteger(parts[2], -2147483647L - 1, 2147483647L, value)) {
            error = "trigger '" + text + "': the axis must be 1 to 4 and the position a 32-bit number of pulses";
            return false;
        }
        t.kind = TriggerKind::Position;
        t.position = static_cast<std::int32_t>(value);
    } else if (parts[0] == "input" && (parts.size() == 3 || parts.size() == 4)) {
        if (!ReadInteger(parts[1], 1, 4, axis) || !ReadInteger(parts[2], 0, 15, value)) {
            error = "trigger '" + text + "': the axis must be 1 to 4 and the input bit 0 to 15";
            return false;
        }
        t.kind = TriggerKind::InputEdge;
        t.input = static_cast<std::uint8_t>(value);
        const std::string edge = parts.size() == 4 ? parts[3] : "rising";
        if (edge == "rising") {
            t.edge = Edge::Rising;
        } else if (edge == "falling") {
            t.edge = Edge::Falling;
        } else if (edge == "either") {
            t.edge = Edge::Either;
        } else {
            error = "trigger '" + text + "': the edge must be rising, falling or either";
            return false;
        }
    } else if (parts[0] == "start" && parts.size() <= 2) {
        t.kind = TriggerKind::DriveStart;
        if (parts.size() == 2) {
            t.axes = 0;
            for (const std::string& one : Split(parts[1], '+')) {
                long a = 0;
                if (!ReadInteger(one, 1, 4, a)) {
                    error = "trigger '" + text + "': axes are 1 to 4, joined by +";
                    return false;
                }
                t.axes = static_cast<std::uint8_t>(t.axes | (1u << (a - 1)));
            }
        }
        axis = 1;
    } else if (parts[0] == "path" && parts.size() == 1) {
        t.kind = TriggerKind::PathStart;
        axis = 1;
    } else {
        error = "trigger '" + text +
                "' is not position:AXIS:PULSES, input:AXIS:BIT[:rising|falling|either], start[:AXIS[+AXIS]...] "
                "or path";
        return false;
    }
    t.axis = static_cast<int>(axis) - 1;
    out = t;
    return true;
}

bool ParseScopeSettings(const std::string& text, ScopeSettings& out, std::string& error)
{
    ScopeSettings s = out;
    if (!text.empty()) {
        for (const std::string& item : Split(text, ',')) {
            const std::string::size_type eq = item.find('=');
            const std::string key = item.substr(0, eq);
            const std::string value = eq == std::string::npos ? std::string() : item.substr(eq + 1);
            long count = 0;
            if (key == "period") {
                if (!ReadSeconds(value, 0.000001, 3600, s.period)) {
                    error = "scope period '" + value + "' is out of range 0.000001 to 3600 (seconds)";
                    return false;
                }
            } else if (key == "duration") {
                if (!ReadSeconds(value, 0, 1e9, s.duration)) {
                    error = "scope duration '" + value + "' is out of range 0 to 1000000000 (seconds)";
                    return false;
                }
            } else if (key == "capacity") {
                if (!ReadInteger(value, 1, 4194304, count)) {
                    error = "scope capacity '" + value + "' is out of range 1 to 4194304 (samples)";
                    return false;
                }
                s.capacity = static_cast<std::size_t>(count);
            } else if (key == "pretrigger") {
                if (!ReadInteger(value, 0, 4194304, count)) {
                    error = "scope pretrigger '" + value + "' is out of range 0 to 4194304 (samples)";
                    return false;
                }
                s.pretrigger = static_cast<std::size_t>(count);
            } else if (key == "trigger") {
                if (!ParseScopeTrigger(value, s.trigger, error)) {
                    return false;
                }
            } else {
                error = "unknown scope setting '" + item +
                        "' (known: period=SECONDS, duration=SECONDS, capacity=SAMPLES, pretrigger=SAMPLES, trigger=...)";
                return false;
            }
        }
    }
    if (s.pretrigger > s.capacity) {
        error = "scope pretrigger " + std::to_string(s.pretrigger) + " is more than its capacity " +
                std::to_string(s.capacity);
        return false;
    }
    out = s;
    return true;
}

bool ParseModule(const std::string& text, std::vector<ModuleSpec>& out, std::string& error)
{
    const std::vector<std::string> parts = Split(text, ',');
    long slot = 0;
    if (!ReadInteger(parts[0], 1, 7, slot)) {
        error = "module '" + text + "': slot '" + parts[0] + "' is out of range 1 to 7";
        return false;
    }
    ModuleSpec spec;
    spec.slot = static_cast<std::uint8_t>(slot);
    spec.options.clock = ClockKind::RealTime;
    for (std::size_t i = 1; i < parts.size(); ++i) {
        std::string why;
        if (!ReadOption(parts[i], spec.options, why)) {
            error = "module '" + text + "': " + why;
            return false;
        }
    }
    for (const ModuleSpec& other : out) {
        if (other.slot == spec.slot) {
            error = "module '" + text + "': slot " + parts[0] + " already has a module";
            return false;
        }
    }
    out.push_back(spec);
    return true;
}

bool ParseModuleList(const std::string& text, std::vector<ModuleSpec>& out, std::string& error)
{
    if (text.empty()) {
        return true;
    }
    std::vector<ModuleSpec> modules = out;
    for (const std::string& module : Split(text, ';')) {
        if (!ParseModule(module, modules, error)) {
            return false;
        }
    }
    out.swap(modules);
    return true;
}

} // namespace velkor_sim
