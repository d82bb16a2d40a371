// The velkor command-line tool:
//   velkor demo [--svg FILE] [--trace] [--fast]
//   velkor arc --mid X,Y,Z --end X,Y,Z --tolerance T --speed S [--svg FILE]
//   velkor macro [--program N] [--loops N] [--list]
// A bad argument prints what is wrong and the usage, and exits with 2.
#include "arc_preview.h"
#include "demo.h"
#include "macro_tool.h"

#include <CLI/CLI.hpp>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <limits>
#include <string>

namespace {

constexpr int kUsageError = 2;

// Reads "X,Y,Z" as three signed 32-bit integers.
bool ParsePoint(const std::string& text, std::array<std::int32_t, 3>& out)
{
    const char* p = text.c_str();
    for (int i = 0; i < 3; ++i) {
        char* next = nullptr;
        errno = 0;
        const long long v = std::strtoll(p, &next, 10);
        if (next == p || errno != 0 || v < std::numeric_limits<std::int32_t>::min() ||
            v > std::numeric_limits<std::int32_t>::max()) {
            return false;
        }
        out[i] = static_cast<std::int32_t>(v);
        p = next;
        if (i < 2) {
            if (*p != ',') {
                return false;
            }
            ++p;
        }
    }
    return *p == '\0';
}

const CLI::Validator kPoint(
    [](std::string& text) {
        std::array<std::int32_t, 3> point{};
        return ParsePoint(text, point) ? std::string() : "expected three integers X,Y,Z, got '" + text + "'";
    },
    "X,Y,Z");

} // namespace

int main(int argc, char** argv)
{
    CLI::App app{"velkor: the Velkor motion-module driver library on a virtual module"};
    app.require_subcommand(1, 1);

    velkor_tool::DemoOptions demo;
    CLI::App* demoCommand =
        app.add_subcommand("demo", "Run a short motion session on a virtual module in slot 3 and show it");
    demoCommand->add_option("--svg", demo.svgFile, "Write a picture of the path driven to FILE")
        ->type_name("FILE")
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    demoCommand->add_flag("--trace", demo.trace, "Print every packet the module takes, decoded");
    demoCommand->add_flag("--fast", demo.fast, "Run the module's clock ten times faster than real time");

    velkor_tool::ArcOptions arc;
    std::string mid, end;
    std::uint64_t tolerance = 0, speed = 0;
    CLI::App* arcCommand =
        app.add_subcommand("arc", "Preview a three-point arc in space with the library's planner, without a card");
    arcCommand->add_option("--mid", mid, "A point of the arc between start and end, relative to the start")
        ->required()
        ->check(kPoint);
    arcCommand->add_option("--end", end, "The end point, relative to the start")->required()->check(kPoint);
    arcCommand->add_option("--tolerance", tolerance, "Largest distance between a chord and the arc")
        ->required()
        ->check(CLI::Range(std::uint64_t{1}, std::uint64_t{std::numeric_limits<std::uint32_t>::max()}));
    arcCommand->add_option("--speed", speed, "Path speed in units per second, for the time estimate")
        ->required()
        ->check(CLI::Range(std::uint64_t{1}, std::uint64_t{std::numeric_limits<std::uint32_t>::max()}));
    arcCommand->add_option("--svg", arc.svgFile, "Write a picture of the chords to FILE")->type_name("FILE");

    velkor_tool::MacroOptions macro;
    CLI::App* macroCommand = app.add_subcommand(
        "macro", "Record a sample macro program on a virtual module, list its steps, run it and debug it step by step");
    macroCommand->add_option("--program", macro.program, "The program number to record under")
        ->check(CLI::Range(0, 255));
    macroCommand->add_option("--loops", macro.loops, "Back-and-forth moves of the sample")->check(CLI::Range(1, 100));
    macroCommand->add_flag("--list", macro.listOnly, "Record and list the steps only");

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForAllHelp& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        std::cerr << "velkor: " << e.what() << "\n\n" << app.help();
        return kUsageError;
    }

    if (demoCommand->parsed()) {
        return velkor_tool::RunDemo(demo);
    }
    if (macroCommand->parsed()) {
        return velkor_tool::RunMacro(macro);
    }
    ParsePoint(mid, arc.mid);
    ParsePoint(end, arc.end);
    arc.tolerance = static_cast<std::uint32_t>(tolerance);
    arc.speed = static_cast<std::uint32_t>(speed);
    return velkor_tool::RunArcPreview(arc);
}
