// The monitor's JSON forms of what a module holds (module_json.h).
#include "monitor/module_json.h"

#include "velkor_sim/bit_names.h"

#include <cstdlib>

namespace velkor_sim {
namespace monitor {

namespace {

const char* ClockName(ClockKind kind)
{
    switch (kind) {
    case ClockKind::Manual: return "manual";
    case ClockKind::RealTime: return "real-time";
    case ClockKind::Fast: return "fast";
    }
    return "manual";
}

} // namespace

Json ErrorNames(std::uint16_t bits)
{
    return NamesOfBits(bits, ErrorBitNames(), 16);
}

Json FactorNames(std::uint8_t bits)
{
    return NamesOfBits(bits, FactorBitNames(), 8);
}

std::string FirmwareText(std::uint32_t v)
{
    return std::to_string((v >> 16) & 0xFF) + "." + std::to_string((v >> 8) & 0xFF) + "." + std::to_string(v & 0xFF);
}

Json ClockJson(std::uint8_t slot, const ClockState& c)
{
    return Json{{"slot", slot}, {"kind", ClockName(c.kind)}, {"paused", c.paused}, {"scale", c.timeScale},
                {"step", c.step}};
}

Json ModuleJson(const ModuleSnapshot& s)
{
    return Json{{"slot", s.slot},
                {"id", std::string(1, static_cast<char>(s.id))},
                {"firmware", FirmwareText(s.firmwareVersion)},
                {"clock", ClockJson(s.slot, s.clock)},
                {"time", s.time}};
}

std::string ExternalDriveName(ExternalDrive mode)
{
    switch (mode) {
    case ExternalDrive::Handwheel: return "handwheel";
    case ExternalDrive::FixedPulse: return "fixed_pulse";
    case ExternalDrive::Continuous: return "continuous";
    case ExternalDrive::Off: break;
    }
    return "off";
}

Json StatusJson(const ModuleSnapshot& s)
{
    Json axes = Json::array();
    for (int i = 0; i < kAxisCount; ++i) {
        const AxisStatus& a = s.axes[i];
        const std::uint16_t code = static_cast<std::uint16_t>(a.errorCode | s.moduleErrors);
        axes.push_back(Json{
            {"axis", i + 1},
            {"lp", a.lp},
            {"ep", a.ep},
            {"speed", a.speed},
            {"acceleration", a.acceleration},
            {"following_error", static_cast<double>(a.lp) - a.motor},
            {"motor", a.motor},
            {"machine", a.machine},
            {"state", a.homing ? "homing" : a.driving ? "driving" : "idle"},
            {"error_code", code},
            {"errors", ErrorNames(code)},
            {"inputs", a.inputs},
            {"forced", s.forcedInputs[i]},
            {"outputs", s.outputs[i]},
            {"latch", s.latch[i]},
            {"external_drive", ExternalDriveName(s.externalDrive[i])},
            {"commanded_end", s.hasEnd[i] ? Json(s.commandedEnd[i]) : Json(nullptr)},
            {"switches",
             {{"plus_limit", (a.inputs & input::kPlusLimit) != 0},
              {"minus_limit", (a.inputs & input::kMinusLimit) != 0},
              {"home", (a.inputs & input::kHome) != 0},
              {"near_home", (a.inputs & input::kNearHome) != 0},
              {"index", (a.inputs & input::kIndex) != 0}}},
            {"drive",
             {{"servo_on", a.servoOn},
              {"alarm", s.driveAlarm[i]},
              {"alarm_input", (a.inputs & input::kServoAlarm) != 0},
              {"in_position", (a.inputs & input::kInPosition) != 0}}}});
    }
    const Counters& c = s.counters;
    return Json{{"slot", s.slot},
                {"time", s.time},
                {"clock", ClockJson(s.slot, s.clock)},
                {"busy", s.busy},
                {"axes", axes},
                {"module_errors", {{"code", s.moduleErrors}, {"names", ErrorNames(s.moduleErrors)}}},
                {"interrupt",
                 {{"on", s.interruptOn},
                  {"enabled", s.interruptEnabled},
                  {"enabled_names", FactorNames(s.interruptEnabled)},
                  {"code", s.interruptCode},
                  {"up", s.interruptUp}}},
                {"buffer", {{"segments", s.bufferedSegments}, {"capacity", s.bufferCapacity}}},
                {"program",
                 {{"running", s.program.running},
                  {"debugging", s.program.debugging},
                  {"paused", s.program.paused},
                  {"program", s.program.program},
                  {"step", s.program.step},
                  {"routine_armed", s.program.routineArmed}}},
                {"remote_loopback", s.remoteLoopback},
                {"counters",
                 {{"packets", c.packetsTaken},
                  {"exchanges", c.exchangesAnswered},
                  {"reads", c.busReads},
                  {"writes", c.busWrites},
                  {"gaps", c.sequenceGaps},
                  {"drops", c.droppedPackets},
                  {"unsimulated", c.unsimulated},
                  {"held", c.packetsHeld}}}};
}

Json ScopeStateJson(const ScopeState& s)
{
    return Json{{"running", s.running}, {"triggered", s.triggered}, {"trigger_time", s.triggerTime},
                {"taken", s.taken},     {"lost", s.lost},           {"waiting", s.waiting}};
}

Json PacketFields(const std::string& text)
{
    Json fields = Json::object();
    std::string::size_type at = 0;
    while (at < text.size()) {
        if (text[at] == ' ') {
            ++at;
            continue;
        }
        // One word: up to a space, or past a quoted value ("op=\">=\"").
        const std::string::size_type eq = text.find_first_of("= ", at);
        if (eq == std::string::npos || text[eq] == ' ') {
            at = eq; // the name or the number, no field
            continue;
        }
        std::string::size_type end;
        std::string value;
        if (eq + 1 < text.size() && text[eq + 1] == '"') {
            const std::string::size_type close = text.find('"', eq + 2);
            value = close == std::string::npos ? text.substr(eq + 2) : text.substr(eq + 2, close - eq - 2);
            end = close == std::string::npos ? text.size() : close + 1;
            fields[text.substr(at, eq - at)] = value;
        } else {
            end = text.find(' ', eq + 1);
            end = end == std::string::npos ? text.size() : end;
            value = text.substr(eq + 1, end - eq - 1);
            char* stop = nullptr;
            const long long number = std::strtoll(value.c_str(), &stop, 10);
            if (!value.empty() && *stop == '\0' && value.size() < 19) {
                fields[text.substr(at, eq - at)] = number;
            } else {
                fields[text.substr(at, eq - at)] = value;
            }
        }
        at = end;
    }
    return fields;
}

} // namespace monitor
} // namespace velkor_sim
