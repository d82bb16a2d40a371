// velkor monitor PATH ACTION: one row per action against a module in this
// process through its monitor: the exit code and what the module shows
// afterwards; bad words are refused before anything is sent.
#include "monitor_actions.h"
#include "monitor_command.h"
#include "program_output.h"

#include <velkor_sim/monitor.h>
#include <velkor_sim/virtual_module.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <sstream>

namespace velkor_tool {
namespace {

namespace fs = std::filesystem;

struct Row {
    std::vector<std::string> words;
    int exitCode;
    std::function<bool(const velkor_sim::ModuleSnapshot&)> shows; // null: nothing to look at
};

TEST(MonitorActions, EachActionReachesTheModuleOrIsRefused)
{
    const fs::path folder = fs::temp_directory_path() / ("velkor-actions-" + std::to_string(std::random_device{}()));
    fs::create_directories(folder);
    fs::permissions(folder, fs::perms::owner_all, fs::perm_options::replace);
    velkor_sim::ModuleOptions o;
    o.clock = velkor_sim::ClockKind::RealTime;
    velkor_sim::VirtualModule module(o);
    ASSERT_TRUE(module.PlugInto(3));
    velkor_sim::MonitorOptions options;
    options.path = (folder / "m").string();
    std::string error;
    ASSERT_TRUE(velkor_sim::StartMonitor(options, error)) << error;
    using S = velkor_sim::ModuleSnapshot;
    double pausedAt = 0;
    const std::vector<Row> rows{
        {{"pause", "3"}, 0, [&](const S& s) { pausedAt = s.time; return s.clock.paused; }},
        {{"step", "3", "25"}, 0, [&](const S& s) { return std::abs(s.time - pausedAt - 0.025) < 1e-9; }},
        {{"speed", "2.5"}, 0, [](const S& s) { return s.clock.timeScale == 2.5; }},
        {{"resume"}, 0, [](const S& s) { return !s.clock.paused; }},
        {{"step", "3"}, 1, nullptr}, // not paused
        {{"input", "3", "1", "set", "0x900"}, 0, [](const S& s) { return s.forcedInputs[0] == 0x900; }},
        {{"input", "3", "1", "clear", "0x100"}, 0, [](const S& s) { return s.forcedInputs[0] == 0x800; }},
        {{"input", "3", "1", "word", "0"}, 0, [](const S& s) { return s.forcedInputs[0] == 0; }},
        {{"switch", "3", "2", "plus_limit", "on"}, 0, [](const S& s) { return (s.axes[1].inputs & 1) != 0; }},
        {{"switch", "3", "2", "plus_limit", "off"}, 0, [](const S& s) { return s.forcedInputs[1] == 0; }},
        {{"alarm", "3", "4", "on"}, 0, [](const S& s) { return s.driveAlarm[3]; }},
        {{"alarm", "3", "4", "off"}, 0, [](const S& s) { return !s.driveAlarm[3]; }},
        // No program enabled an external drive here: a press or a turn is
        // refused, a release or a turn by nothing never is.
        {{"jog", "3", "1", "+"}, 1, nullptr},
        {{"jog", "3", "1", "stop"}, 0, nullptr},
        {{"handwheel", "3", "1", "-100"}, 1, nullptr},
        {{"handwheel", "3", "1", "0"}, 0, nullptr},
        {{"latch", "3", "2", "-250"}, 0, [](const S& s) { return s.latch[1] == -250; }},
        {{"remote", "3", "7", "0xBEEF"}, 0, nullptr},
        // refused by the monitor
        {{"pause", "4"}, 1, nullptr},                               // no module there
        {{"switch", "3", "1", "door", "on"}, 1, nullptr},           // no such switch
        {{"input", "3", "5", "set", "1"}, 1, nullptr},              // no axis 5
        // refused before anything is sent
        {{"fly"}, 2, nullptr},
        {{"step"}, 2, nullptr},
        {{"jog", "3", "1", "up"}, 2, nullptr},
        {{"alarm", "3", "1", "yes"}, 2, nullptr},
        {{"input", "3", "1", "toggle", "1"}, 2, nullptr},
        {{"input", "3", "1", "set"}, 2, nullptr},
        {{"latch", "3", "1", "12x"}, 2, nullptr},
        {{"resume", "3", "now"}, 2, nullptr},
    };
    for (const Row& r : rows) {
        std::string words;
        for (const std::string& w : r.words) {
            words += " " + w;
        }
        SCOPED_TRACE(words);
        EXPECT_EQ(RunMonitorActions({options.path, r.words, true, 0}), r.exitCode);
        if (r.shows) {
            EXPECT_TRUE(r.shows(module.Snapshot()));
        }
    }
    // The words as the request the monitor gets.
    EXPECT_EQ(ActionRequest({"input", "3", "1", "set", "0x100"}, 7, error),
              R"({"axis":1,"cmd":"set_inputs","id":7,"set":256,"slot":3})");
    EXPECT_EQ(ActionRequest({"jog", "3", "2", "-"}, 8, error), R"({"axis":2,"cmd":"jog","direction":-1,"id":8,"slot":3})");
    // Watching: the module plugged is there from the start, and the end says
    // that only the time given ran out.
    {
        ProgramOutput captured;
        ASSERT_TRUE(captured.Redirect(folder.string(), error)) << error;
        MonitorToolOptions watch;
        watch.path = options.path;
        watch.seconds = 0.3;
        const int code = RunMonitor(watch);
        captured.Restore();
        EXPECT_EQ(code, 0);
        std::ifstream in(folder / "stdout.txt");
        std::stringstream text;
        text << in.rdbuf();
        EXPECT_EQ(text.str().find("no module plugged yet"), std::string::npos) << text.str();
        EXPECT_NE(text.str().find("slot 3  t="), std::string::npos) << text.str();
        EXPECT_NE(text.str().find("velkor monitor: 0.3 s passed; the program goes on\n"), std::string::npos)
            << text.str();
    }
    velkor_sim::StopMonitor();
    // Gone: the tool says so and fails.
    EXPECT_EQ(RunMonitorActions({options.path, {"pause"}, false, 0}), 1);
    std::error_code ignored;
    fs::remove_all(folder, ignored);
}

} // namespace
} // namespace velkor_tool
