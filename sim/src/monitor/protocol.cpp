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
