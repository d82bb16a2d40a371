// The monitor's line handling under libFuzzer: bytes as a client would send
// them, cut into lines, each read as a request and carried out against a
// virtual module on the manual clock in slot 3. Whatever comes, every line
// gets one reply (or the connection is to be closed for a line too long), and
// nothing crashes, leaks or reads out of bounds.
#include "monitor/server.h"

#include <nlohmann/json.hpp>

#include <cstdio>
#include <cstdlib>

namespace {

struct Bench {
    Bench()
    {
        velkor_sim::ModuleOptions options;
        options.clock = velkor_sim::ClockKind::Manual;
        module = new velkor_sim::VirtualModule(options);
        if (!module->PlugInto(3)) {
            std::abort();
        }
        core.Attach();
    }
    velkor_sim::VirtualModule* module; // kept to the end: the monitor's tap is in it
    velkor_sim::monitor::Core core;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, unsigned long size)
{
    static Bench* bench = new Bench;
    velkor_sim::monitor::Client client;
    client.in.Append(reinterpret_cast<const char*>(data), size);
    std::string line;
    std::size_t lines = 0;
    while (client.in.Next(line)) {
        const std::size_t before = client.out.size();
        bench->core.HandleLine(client, line);
        lines += line.empty() ? 0 : 1;
        // One reply per line that is not empty, and every line sent is JSON.
        if (!line.empty() && client.out.size() == before) {
            std::fprintf(stderr, "no reply to a line\n");
            std::abort();
        }
    }
    std::size_t from = 0;
    while (from < client.out.size()) {
        const std::size_t end = client.out.find('\n', from);
        if (end == std::string::npos ||
            nlohmann::json::parse(client.out.substr(from, end - from), nullptr, false).is_discarded()) {
            std::fprintf(stderr, "a line the monitor sent is not JSON\n");
            std::abort();
        }
        from = end + 1;
    }
    (void)lines;
    return 0;
}
