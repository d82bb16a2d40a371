// The velkor command-line tool:
//   velkor demo [--svg FILE] [--scope FILE.csv [--trigger SPEC]] [--trace] [--trace-queries]
//               [--fast | --fast-as-possible]
//   velkor run [--module SLOT[,OPTIONS]]... [--speed F | --fast-as-possible] [--trace] [--trace-queries] [--svg FILE]
//              [--scope FILE.csv [--scope-period SECONDS] [--trigger SPEC]]
//              [--monitor PATH] [--record FILE [--record-rate HZ]] [--scenario FILE.toml [--junit FILE.xml]]
//              [--time-limit SECONDS] -- PROGRAM [ARGS...]
//   velkor monitor PATH [--json] [--once] [--rate HZ] [--wait SECONDS] [--seconds SECONDS] [ACTION WORDS... | -]
//   velkor plot FILE.csv|SESSION --svg OUT [--channels lp,ep,speed]
//   velkor arc --mid X,Y,Z --end X,Y,Z --tolerance PULSES --speed PULSES/S [--svg FILE]
//   velkor macro [--program N] [--loops N] [--list]
//   velkor web PATH|FILE [--port PORT]   (and --web[=PORT] on demo and run: the bench page)
//   velkor soak [--minutes N] [--every SECONDS]
//   velkor campaign FILE.toml [OPTIONS] -- PROGRAM [ARGS...]   (the Python package's; docs/campaigns.md)
//   velkor --version
// A bad argument prints what is wrong and the usage, and exits with 2.
#include "arc_preview.h"
#include "campaign_command.h"
#include "demo.h"
#include "macro_tool.h"
#include "output_file.h"
#include "run_command.h"
#include "monitor_actions.h"
#include "monitor_command.h"
#include "scope_plot.h"
#include "web_command.h"
#include "soak.h"

#include <Velkor.h>
#include <velkor_sim/module_list.h>

#include <CLI/CLI.hpp>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <iostream>
#include <limits>
#include <string>
#include <type_traits>
#include <vector>

namespace {

constexpr int kUsageError = 2;
const char* const kCommands[] = {"demo", "run", "plot", "arc", "macro", "monitor", "web", "soak", "campaign"};

// A number in [low, high] as CLI11 reads it into an option of type T, or the
// reason why not, in the tool's words; `range` says the range for the message.
// With no description, the help shows the option's unit alone and not the
// validator's type.
template <typename T>
CLI::Validator Within(T low, T high, const std::string& range, bool aboveLow = false)
{
    return CLI::Validator(
        [low, high, range, aboveLow](std::string& text) {
            T value{};
            if (!CLI::detail::lexical_cast(text, value)) {
                return std::string(std::is_integral<T>::value ? "expected a whole number, got '"
                                                              : "expected a number, got '") +
                       text + "'";
            }
            const bool inside = (aboveLow ? value > low : value >= low) && value <= high; // false for NaN
            return inside ? std::string() : text + " is out of range " + range;
        },
        "");
}

// Whole numbers from the least to the largest value of T, in the tool's words.
template <typename T>
CLI::Validator WholeIn(T low, T high)
{
    return Within<long long>(low, high, std::to_string(low) + " to " + std::to_string(high));
}

// An option "X,Y,Z" read once, into `point`, each part a signed 32-bit integer.
CLI::Option* AddPoint(CLI::App* command, const std::string& name, std::array<std::int32_t, 3>& point,
                      const std::string& help)
{
    return command
        ->add_option_function<std::string>(
            name,
            [name, &point](const std::string& text) {
                const std::vector<std::string> parts = CLI::detail::split(text, ',');
                if (parts.size() != 3) {
                    throw CLI::ValidationError(name, "expected three whole numbers X,Y,Z, got '" + text + "'");
                }
                static const char* const axes[3] = {"X", "Y", "Z"};
                const CLI::Validator part = WholeIn(std::numeric_limits<std::int32_t>::min(),
                                                    std::numeric_limits<std::int32_t>::max());
                for (int i = 0; i < 3; ++i) {
                    std::string value = parts[static_cast<std::size_t>(i)];
                    const std::string why = part(value);
                    if (!why.empty()) {
                        throw CLI::ValidationError(name, std::string(axes[i]) + ": " + why);
                    }
                    CLI::detail::lexical_cast(value, point[static_cast<std::size_t>(i)]);
                }
            },
            help)
        ->type_name("X,Y,Z");
}

// An option --trigger SPEC read once, into `trigger`.
CLI::Option* AddTrigger(CLI::App* command, velkor_sim::ScopeTrigger& trigger)
{
    return command
        ->add_option_function<std::string>(
            "--trigger",
            [&trigger](const std::string& text) {
                std::string error;
                if (!velkor_sim::ParseScopeTrigger(text, trigger, error)) {
                    throw CLI::ValidationError("--trigger", error);
                }
            },
            "Start the scope at a trigger: position:AXIS:PULSES, input:AXIS:BIT[:rising|falling|either], "
            "start[:AXIS[+AXIS]...] (axes 1 to 4; a drive starts) or path (a path starts)")
        ->type_name("SPEC");
}

const CLI::Validator kWritable(
    [](std::string& file) {
        std::string error;
        return velkor_tool::CheckWritable(file, error) ? std::string() : error;
    },
    "");

const CLI::Validator kModule(
    [](std::string& text) {
        std::vector<velkor_sim::ModuleSpec> scratch;
        std::string error;
        return velkor_sim::ParseModule(text, scratch, error) ? std::string() : error;
    },
    "");

const CLI::Validator kPort = WholeIn(1, 65535);

const char* const kWebHelp = "Serve the bench page on 127.0.0.1 (PORT, or any free port) while it runs";

std::string VersionText()
{
    const unsigned v = Velkor_GET_VERSION();
    char text[96];
    std::snprintf(text, sizeof text, "velkor %u.%u.%u (library version number %u)", v >> 8, (v >> 4) & 0xF, v & 0xF,
                  v);
    return text;
}

bool KnownCommand(const std::string& word)
{
    for (const char* c : kCommands) {
        if (word == c) {
            return true;
        }
    }
    return false;
}

} // namespace

int main(int argc, char** argv)
{
    CLI::App app{"velkor: the Velkor motion-module driver library on virtual modules"};
    app.require_subcommand(1, 1);
    // Arguments starting with / are paths, also on Windows, never options.
    app.allow_windows_style_options(false);
    app.set_version_flag("--version", VersionText(), "Show the version and exit");
    app.get_formatter()->column_width(34);

    velkor_tool::DemoOptions demo;
    CLI::App* demoCommand =
        app.add_subcommand("demo", "Run a short motion session on a virtual module in slot 3 and show it");
    demoCommand->add_option("--svg", demo.svgFile, "Write a picture of the path driven to FILE")
        ->type_name("FILE")
        ->check(kWritable)
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    demoCommand->add_flag("--trace", demo.trace, "Print every packet the module takes, numbered, with its ring number");
    demoCommand->add_flag("--trace-queries", demo.traceQueries, "Print the queries it answers too");
    CLI::Option* demoFast =
        demoCommand->add_flag("--fast", demo.fast, "Run the module's clock ten times faster than real time");
    demoCommand
        ->add_flag("--fast-as-possible", demo.fastAsPossible,
                   "Run the module on the fast clock: real time while the demo commands, running ahead while it "
                   "waits for the axes")
        ->excludes(demoFast);
    demoCommand->add_option("--scope", demo.scopeFile, "Write the scope's samples (position and speed of each axis) "
                                                       "to FILE.csv; draw them with velkor plot")
        ->type_name("FILE.csv")
        ->check(kWritable);
    AddTrigger(demoCommand, demo.scope.trigger);
    velkor_tool::WebOptions web;
    CLI::Option* demoWeb =
        demoCommand->add_option("--web", web.port, kWebHelp)->expected(0, 1)->type_name("[=PORT]")->check(kPort);

    velkor_tool::RunOptions run;
    CLI::App* runCommand = app.add_subcommand(
        "run", "Run an unchanged application program on virtual modules and print their summary when it ends");
    runCommand->add_option("--module", run.modules,
                           "A virtual module in SLOT (1 to 7), with options id=D|U, firmware=X.Y.Z, speed=F, "
                           "clock=real-time|fast, latency=MICROSECONDS; repeat for more modules (default: one in "
                           "slot 3)")
        ->type_name("SLOT[,OPTIONS]")
        ->check(kModule);
    CLI::Option* runSpeed =
        runCommand
            ->add_option("--speed", run.speed, "Run the modules' clocks F times faster than real time (default 1)")
            ->type_name("F")
            ->check(Within(0.0, 1000.0, "(more than 0, at most 1000)", true));
    runCommand
        ->add_flag("--fast-as-possible", run.fastAsPossible,
                   "Put the modules on the fast clock (clock=fast): real time while the program commands, up to "
                   "as fast as the machine allows (at most 100000 times) while it only polls or waits for an interrupt")
        ->excludes(runSpeed);
    runCommand->add_flag("--trace", run.trace, "Print every packet the modules take, numbered, with its ring number");
    runCommand->add_flag("--trace-queries", run.traceQueries, "Print the queries they answer too");
    runCommand->add_option("--svg", run.svgFile, "Write a picture of the paths driven to FILE")
        ->type_name("FILE")
        ->check(kWritable);
    runCommand->add_option("--scope", run.scopeFile, "Write the modules' scope samples (position and speed of each "
                                                     "axis) to FILE.csv; draw them with velkor plot")
        ->type_name("FILE.csv")
        ->check(kWritable);
    runCommand->add_option("--scope-period", run.scope.period, "Simulated time between scope samples (default 0.001)")
        ->type_name("SECONDS")
        ->check(Within(0.000001, 3600.0, "0.000001 to 3600"));
    AddTrigger(runCommand, run.scope.trigger);
    runCommand->add_option("--progress", run.progressSeconds,
                           "Show the modules' simulated time and packet counts every SECONDS (default 10; 0: never)")
        ->type_name("SECONDS")
        ->check(Within(0.0, 86400.0, "0 to 86400"));
    runCommand->add_option("--monitor", run.monitorPath,
                           "Open the program's monitor at PATH (a socket in a folder only you can write to) for "
                           "velkor monitor, the web page or a script; see docs/monitor.md")
        ->type_name("PATH");
    runCommand->add_option("--record", run.recordFile,
                           "Record the session (samples and events) to FILE; velkor plot draws it")
        ->type_name("FILE")
        ->check(kWritable);
    runCommand->add_option("--record-rate", run.recordRate, "Samples per simulated second in the session (default 100)")
        ->type_name("HZ")
        ->check(CLI::Range(0.001, 1000000.0).description(""));
    CLI::Option* runWeb =
        runCommand->add_option("--web", web.port, kWebHelp)->expected(0, 1)->type_name("[=PORT]")->check(kPort);
    runCommand->add_option("--scenario", run.scenarioFile,
                           "The machine, the events and the checks for the modules (docs/scenarios.md); "
                           "exits 1 when a check fails")
        ->type_name("FILE.toml")
        ->check(CLI::ExistingFile);
    runCommand->add_option("--junit", run.junitFile,
                           "Write the checks as JUnit XML to FILE, with the events that fired and the program's "
                           "output")
        ->type_name("FILE.xml")
        ->check(kWritable);
    runCommand->add_option("--time-limit", run.timeLimit,
                           "End the program after SECONDS of real time, saying where each module stood and what "
                           "the program did last (exit code 124); a program that never reaches a module is stopped "
                           "3 s later")
        ->type_name("SECONDS")
        ->check(Within(0.0, 86400.0, "(more than 0, at most 86400)", true));
    runCommand->add_option("program", run.program, "The program and its arguments, after --")
        ->type_name("PROGRAM [ARGS...]")
        ->required();

    velkor_tool::PlotOptions plot;
    CLI::App* plotCommand =
        app.add_subcommand("plot", "Draw scope samples, or a recorded session's samples, as position and speed against time, per axis");
    plotCommand->add_option("csv", plot.csvFile, "The samples, as velkor run --scope or velkor demo --scope wrote them, or a session of velkor run --record")
        ->type_name("FILE.csv")
        ->required()
        ->check(CLI::ExistingFile.description(""));
    plotCommand->add_option("--svg", plot.svgFile, "Write the plot to OUT")
        ->type_name("OUT")
        ->required()
        ->check(kWritable);
    std::vector<std::string> plotChannels;
    plotCommand
        ->add_option("--channels", plotChannels,
                     "The channels to draw, of lp, ep (where it differs from LP) and speed (signed by the "
                     "direction of motion); default all")
        ->type_name("LIST")
        ->delimiter(',')
        ->check(CLI::IsMember({"lp", "ep", "speed"}));

    velkor_tool::MonitorToolOptions monitor;
    CLI::App* monitorCommand = app.add_subcommand(
        "monitor", "Watch the virtual modules of a program run with velkor run --monitor PATH, live, or act on "
                   "their machine: pause, step, inputs, switches, alarms, jog");
    monitorCommand->add_option("path", monitor.path, "The program's monitor endpoint")->type_name("PATH")->required();
    std::vector<std::string> monitorAction;
    monitorCommand
        ->add_option("action", monitorAction,
                     "Act instead of watching: one action, or - to read one a line from the standard input:\n" +
                         velkor_tool::ActionUsage())
        ->type_name("ACTION");
    monitorCommand->add_flag("--json", monitor.json, "Print the monitor's messages as they come, one JSON object a line");
    monitorCommand->add_flag("--once", monitor.once, "Print the status of every module once and end");
    monitorCommand->add_option("--rate", monitor.rate, "Samples per simulated second (default 20)")
        ->type_name("HZ")
        ->check(CLI::Range(0.001, 1000000.0).description(""));
    monitorCommand->add_option("--wait", monitor.wait, "Wait up to SECONDS for the endpoint to appear")
        ->type_name("SECONDS")
        ->check(CLI::Range(0.0, 3600.0).description(""));
    monitorCommand->add_option("--seconds", monitor.seconds, "End after SECONDS (default: when the program ends)")
        ->type_name("SECONDS")
        ->check(CLI::Range(0.0, 86400.0).description(""));

    velkor_tool::ArcOptions arc;
    CLI::App* arcCommand =
        app.add_subcommand("arc", "Preview a three-point arc in space with the library's planner, without a card");
    AddPoint(arcCommand, "--mid", arc.mid, "A point of the arc between start and end, relative to the start")
        ->required();
    AddPoint(arcCommand, "--end", arc.end, "The end point, relative to the start")->required();
    arcCommand->add_option("--tolerance", arc.tolerance, "Largest distance between a chord and the arc, in pulses")
        ->type_name("PULSES")
        ->required()
        ->check(WholeIn<std::uint32_t>(1, std::numeric_limits<std::uint32_t>::max()));
    arcCommand->add_option("--speed", arc.speed, "Path speed for the time estimate, in pulses per second")
        ->type_name("PULSES/S")
        ->required()
        ->check(WholeIn<std::uint32_t>(1, std::numeric_limits<std::uint32_t>::max()));
    arcCommand->add_option("--svg", arc.svgFile, "Write a picture of the chords to FILE")
        ->type_name("FILE")
        ->check(kWritable);

    velkor_tool::MacroOptions macro;
    CLI::App* macroCommand = app.add_subcommand(
        "macro", "Record a sample macro program on a virtual module, list its steps, run it and debug it step by step");
    macroCommand->add_option("--program", macro.program, "The program number to record under")
        ->type_name("N")
        ->check(CLI::Range(0, 255));
    macroCommand->add_option("--loops", macro.loops, "Back-and-forth moves of the sample")
        ->type_name("N")
        ->check(CLI::Range(1, 100));
    macroCommand->add_flag("--list", macro.listOnly, "Record and list the steps only");

    std::string webTarget;
    CLI::App* webCommand = app.add_subcommand(
        "web", "Serve the bench page on a running application's monitor endpoint, or on a recorded session file");
    webCommand->add_option("target", webTarget, "The endpoint (velkor run --monitor PATH) or the session file "
                                                "(velkor run --record FILE)")
        ->type_name("PATH|FILE")
        ->required();
    webCommand->add_option("--port", web.port, "Listen on PORT of 127.0.0.1 (default: any free port)")
        ->type_name("PORT")
        ->check(kPort);


    velkor_tool::SoakOptions soak;
    CLI::App* soakCommand = app.add_subcommand(
        "soak", "Drive seven cards on virtual modules for a long time and print packets, losses, threads and memory");
    soakCommand->add_option("--minutes", soak.minutes, "How long to run (default 10)")
        ->type_name("N")
        ->check(Within(0.0, 10080.0, "(more than 0, at most 10080)", true));
    soakCommand->add_option("--every", soak.everySeconds, "Seconds between lines of figures (default 30)")
        ->type_name("SECONDS")
        ->check(Within(0.1, 3600.0, "0.1 to 3600"));

    // Everything after the word goes to the campaign package, which reads it.
    CLI::App* campaignCommand = app.add_subcommand(
        "campaign", "Run a program against the faults a campaign file generates, on the fast clock, and reduce "
                    "each kind of failure to its smallest scenario (velkor campaign --help)");
    campaignCommand->prefix_command();
    campaignCommand->set_help_flag();
    campaignCommand->allow_extras();

    // A first word that is neither an option nor a command is named as such.
    if (argc > 1 && argv[1][0] != '-' && !KnownCommand(argv[1])) {
        std::cerr << "velkor: unknown command '" << argv[1]
                  << "'; the commands are demo, run, plot, arc, macro, monitor, web, soak and campaign\n\n"
                  << app.help();
        return kUsageError;
    }
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForAllHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForVersion& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        const CLI::App* failed = app.get_subcommands().empty() ? &app : app.get_subcommands().front();
        std::cerr << "velkor: " << e.what() << "\n\n" << failed->help();
        return kUsageError;
    }

    if (demoCommand->parsed()) {
        return demoWeb->count() > 0 ? velkor_tool::RunDemoWithWeb(demo, web) : velkor_tool::RunDemo(demo);
    }
    if (runCommand->parsed()) {
        return runWeb->count() > 0 ? velkor_tool::RunProgramWithWeb(run, web) : velkor_tool::RunProgram(run);
    }
    if (monitorCommand->parsed()) {
        if (!monitorAction.empty()) {
            return velkor_tool::RunMonitorActions({monitor.path, monitorAction, monitor.json, monitor.wait});
        }
        return velkor_tool::RunMonitor(monitor);
    }
    if (plotCommand->parsed()) {
        if (!plotChannels.empty()) {
            const auto chosen = [&](const char* name) {
                return std::find(plotChannels.begin(), plotChannels.end(), name) != plotChannels.end();
            };
            plot.channels = velkor_tool::PlotChannels{chosen("lp"), chosen("ep"), chosen("speed")};
        }
        return velkor_tool::RunPlot(plot);
    }
    if (webCommand->parsed()) {
        return velkor_tool::RunWeb(webTarget, web);
    }
    if (macroCommand->parsed()) {
        return velkor_tool::RunMacro(macro);
    }
    if (soakCommand->parsed()) {
        return velkor_tool::RunSoak(soak);
    }
    if (campaignCommand->parsed()) {
        return velkor_tool::RunCampaign(campaignCommand->remaining());
    }
    return velkor_tool::RunArcPreview(arc);
}
