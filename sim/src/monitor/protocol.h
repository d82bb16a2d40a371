// The monitor's lines: cutting a byte stream into lines with a length cap,
// reading a request and its arguments, and writing the replies and the
// greeting of docs/monitor.md (the objects that show a module's state are
// in module_json.h). Nothing here touches a module or a socket, so the fuzz
// target and the tests reach it directly.
#ifndef VELKOR_SIM_MONITOR_PROTOCOL_H
#define VELKOR_SIM_MONITOR_PROTOCOL_H

#include "velkor_sim/scope.h"
#include "velkor_sim/virtual_module.h"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace velkor_sim {
namespace monitor {

using Json = nlohmann::ordered_json;

constexpr int kVersion = 1;
constexpr std::size_t kMaxLine = 65536;

// Bytes in, whole lines out. A line over kMaxLine makes Overflowed() true
// (the connection is to be closed); "\r\n" ends a line too.
class LineBuffer {
public:
    void Append(const char* data, std::size_t size);
    // The next whole line; false when none is complete.
    bool Next(std::string& line);
    bool Overflowed() const { return overflowed_; }

private:
    std::string pending_;
    std::size_t scanned_ = 0;
    bool overflowed_ = false;
};

// A protocol error: its code (docs/monitor.md) and message.
struct Failure : std::runtime_error {
    Failure(std::string c, const std::string& message) : std::runtime_error(message), code(std::move(c)) {}
    std::string code;
};

// A request read from a line; throws Failure (bad_json, unknown_command,
// bad_argument) for anything else. `id` is kept for the reply even then.
struct Request {
    Json id;          // null, an integer or a string
    std::string cmd;
    Json args;        // the whole object
};
Request ParseRequest(const std::string& line, Json& id);

// Arguments, checked: missing (when required) or of the wrong type or out of
// range throws Failure("bad_argument").
std::int64_t IntArg(const Json& args, const char* name, std::int64_t low, std::int64_t high);
std::int64_t IntArg(const Json& args, const char* name, std::int64_t low, std::int64_t high, std::int64_t fallback);
double NumberArg(const Json& args, const char* name, double low, double high, double fallback);
bool BoolArg(const Json& args, const char* name);
std::string StringArg(const Json& args, const char* name, const std::string& fallback);
bool Has(const Json& args, const char* name);

// Event kinds, as bits of a subscription.
namespace event {
constexpr std::uint32_t kInterrupt = 1, kErrors = 2, kProgram = 4, kPacket = 8, kFailure = 16, kClock = 32,
                        kModule = 64, kAll = 127;
}
// The names of event kinds, in bit order.
const std::vector<std::string>& EventNames();
// The bits of a list of names or "all"; throws Failure for anything else.
std::uint32_t EventMask(const Json& value);
Json EventList(std::uint32_t mask);

// The text of a value on one line; bytes that are not UTF-8 are replaced.
std::string Dump(const Json& j);

// A reply line (ending in '\n').
std::string ReplyLine(const Json& id, const Json& result);
std::string ErrorLine(const Json& id, const std::string& code, const std::string& message);
Json Greeting(const std::vector<std::uint8_t>& slots);

} // namespace monitor
} // namespace velkor_sim

#endif
