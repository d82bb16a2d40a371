// The monitor's lines (protocol.h).
#include "monitor/protocol.h"

#include "monitor/transport.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

namespace velkor_sim {
namespace monitor {

void LineBuffer::Append(const char* data, std::size_t size)
{
    if (overflowed_) {
        return;
    }
    pending_.append(data, size);
}

bool LineBuffer::Next(std::string& line)
{
    if (overflowed_) {
        return false;
    }
    const std::string::size_type end = pending_.find('\n', scanned_);
    if (end == std::string::npos) {
        scanned_ = pending_.size();
        if (pending_.size() > kMaxLine) {
            overflowed_ = true;
            pending_.clear();
        }
        return false;
    }
    if (end > kMaxLine) {
        overflowed_ = true;
        pending_.clear();
        return false;
    }
    std::string::size_type length = end;
    if (length > 0 && pending_[length - 1] == '\r') {
        --length;
    }
    line.assign(pending_, 0, length);
    pending_.erase(0, end + 1);
    scanned_ = 0;
    return true;
}

Request ParseRequest(const std::string& line, Json& id)
{
    id = nullptr;
    Json parsed = Json::parse(line, nullptr, false);
    if (parsed.is_discarded() || !parsed.is_object()) {
        throw Failure("bad_json", "the line is not a JSON object");
    }
    const auto found = parsed.find("id");
    if (found != parsed.end()) {
        if (found->is_number_integer() || found->is_string()) {
            id = *found;
        } else if (!found->is_null()) {
            throw Failure("bad_argument", "id must be an integer or a string");
        }
    }
    const auto cmd = parsed.find("cmd");
    if (cmd == parsed.end() || !cmd->is_string()) {
        throw Failure("unknown_command", "cmd must be a string naming a command");
    }
    Request r;
    r.id = id;
    r.cmd = cmd->get<std::string>();
    r.args = std::move(parsed);
    return r;
}

bool Has(const Json& args, const char* name)
{
    const auto found = args.find(name);
    return found != args.end() && !found->is_null();
}

std::int64_t IntArg(const Json& args, const char* name, std::int64_t low, std::int64_t high)
{
    const auto found = args.find(name);
    if (found == args.end() || found->is_null()) {
        throw Failure("bad_argument", std::string(name) + " is missing");
    }
    std::int64_t value = 0;
    if (found->is_number_unsigned()) {
        const std::uint64_t u = found->get<std::uint64_t>();
        value = u > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())
                    ? std::numeric_limits<std::int64_t>::max()
                    : static_cast<std::int64_t>(u);
    } else if (found->is_number_integer()) {
        value = found->get<std::int64_t>();
    } else {
        throw Failure("bad_argument", std::string(name) + " must be an integer");
    }
    if (value < low || value > high) {
        throw Failure("bad_argument",
                      std::string(name) + " is out of range " + std::to_string(low) + " to " + std::to_string(high));
    }
    return value;
}

std::int64_t IntArg(const Json& args, const char* name, std::int64_t low, std::int64_t high, std::int64_t fallback)
{
    return Has(args, name) ? IntArg(args, name, low, high) : fallback;
}

double NumberArg(const Json& args, const char* name, double low, double high, double fallback)
{
    if (!Has(args, name)) {
        return fallback;
    }
    const Json& v = args.at(name);
    if (!v.is_number()) {
        throw Failure("bad_argument", std::string(name) + " must be a number");
    }
    const double value = v.get<double>();
    if (!(value >= low && value <= high)) {
        throw Failure("bad_argument", std::string(name) + " is out of range");
    }
    return value;
}

bool BoolArg(const Json& args, const char* name)
{
    const auto found = args.find(name);
    if (found == args.end() || !found->is_boolean()) {
        throw Failure("bad_argument", std::string(name) + " must be true or false");
    }
    return found->get<bool>();
}

std::string StringArg(const Json& args, const char* name, const std::string& fallback)
{
    if (!Has(args, name)) {
        return fallback;
    }
    const Json& v = args.at(name);
    if (!v.is_string()) {
        throw Failure("bad_argument", std::string(name) + " must be a string");
    }
    return v.get<std::string>();
}

const std::vector<std::string>& EventNames()
{
    static const std::vector<std::string> names{"interrupt", "errors", "program", "packet",
                                                "failure",   "clock",  "module"};
    return names;
}

std::uint32_t EventMask(const Json& value)
{
    if (value.is_null()) {
        return 0;
    }
    if (value.is_string() && value.get<std::string>() == "all") {
        return event::kAll;
    }
    if (!value.is_array()) {
        throw Failure("bad_argument", "events must be \"all\" or an array of event names");
    }
    std::uint32_t mask = 0;
    for (const Json& item : value) {
        const std::vector<std::string>& names = EventNames();
        std::size_t i = 0;
        while (i < names.size() && !(item.is_string() && item.get<std::string>() == names[i])) {
            ++i;
        }
        if (i == names.size()) {
            throw Failure("bad_argument", "unknown event " + item.dump());
        }
        mask |= 1u << i;
    }
    return mask;
}

Json EventList(std::uint32_t mask)
{
    Json list = Json::array();
    for (std::size_t i = 0; i < EventNames().size(); ++i) {
        if (mask & (1u << i)) {
            list.push_back(EventNames()[i]);
        }
    }
    return list;
}

namespace {

Json BitNames(unsigned bits, const std::pair<unsigned, const char*>* table, std::size_t count, int width)
{
    Json names = Json::array();
    for (int bit = 0; bit < width; ++bit) {
        const unsigned mask = 1u << bit;
        if (!(bits & mask)) {
            continue;
        }
        const char* name = nullptr;
        for (std::size_t i = 0; i < count; ++i) {
            if (table[i].first == mask) {
                name = table[i].second;
            }
        }
        names.push_back(name != nullptr ? std::string(name) : "bit_" + std::to_string(bit));
    }
    return names;
}

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
    static const std::pair<unsigned, const char*> table[] = {
        {error::kSoftLimitPlus, "soft_limit_plus"},   {error::kSoftLimitMinus, "soft_limit_minus"},
        {error::kAxisBusy, "axis_busy"},              {error::kBadCommand, "bad_command"},
        {error::kHardLimitPlus, "hard_limit_plus"},   {error::kHardLimitMinus, "hard_limit_minus"},
        {error::kServoAlarm, "servo_alarm"},          {error::kServoOff, "servo_off"},
        {error::kHomingFailed, "homing_failed"},      {error::kProgramMalformed, "program_malformed"},
        {error::kNotSimulated, "not_simulated"},      {error::kPacketMissing, "packet_missing"},
        {error::kProgramTooLong, "program_too_long"}, {error::kProgramMissing, "program_missing"},
        {error::kProgramRunaway, "program_runaway"}};
    return BitNames(bits, table, sizeof table / sizeof table[0], 16);
}

Json FactorNames(std::uint8_t bits)
{
    static const std::pair<unsigned, const char*> table[] = {
        {0x01, "drive_end"}, {0x02, "limit"}, {0x04, "servo_alarm"}, {0x08, "homed"}, {0x80, "macro"}};
    return BitNames(bits, table, sizeof table / sizeof table[0], 8);
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

std::string Dump(const Json& j) { return j.dump(-1, ' ', false, Json::error_handler_t::replace); }

std::string ReplyLine(const Json& id, const Json& result)
{
    return Dump(Json{{"type", "reply"}, {"id", id}, {"ok", true}, {"result", result}}) + "\n";
}

std::string ErrorLine(const Json& id, const std::string& code, const std::string& message)
{
    return Dump(Json{{"type", "reply"}, {"id", id}, {"ok", false}, {"error", {{"code", code}, {"message", message}}}}) +
           "\n";
}

Json Greeting(const std::vector<std::uint8_t>& slots)
{
    return Json{{"type", "hello"},
                {"protocol", "velkor-monitor"},
                {"version", kVersion},
                {"capabilities", {"status", "samples", "events", "actions", "clock", "scope", "trail"}},
                {"events", EventNames()},
                {"pid", ProcessId()},
                {"slots", slots},
                {"max_line", kMaxLine}};
}

} // namespace monitor
} // namespace velkor_sim
