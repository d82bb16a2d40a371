// velkor macro: the life of a macro program on a virtual module, written the
// way an application uses the library (Velkor.h only); the virtual module's
// own API is used to plug it in and to list the steps it keeps.
//
//  1. record: the sample program between MP_CREATE and MP_CLOSE;
//  2. list: each step the module keeps, by name with its fields;
//  3. run: MP_CALL, then wait for the program's interrupt (factor 7);
//  4. debug: MP_DEBUG, then DEBUG_WAIT and CONTINUE_DEBUG for every step.
#include "macro_tool.h"

#include <Velkor.h>
#include <velkor_sim/virtual_module.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

namespace velkor_tool {
namespace {

constexpr std::uint8_t kCard = 0;
constexpr std::uint8_t kSlot = 3;
constexpr std::uint8_t kX = 1;
constexpr double kTimeScale = 10.0;
constexpr std::uint32_t kWaitMs = 5000;
constexpr std::uint8_t kProgramInterrupt = 0x80; // factor 7: MP_SET_RINT

std::uint8_t Number(const MacroOptions& o) { return static_cast<std::uint8_t>(o.program); }

// Variables of the sample: 1 counts the passes, 2 holds the step 1, 3 takes
// the readers' values, 4 holds 0, 5 tells whether X came back home.
void RecordSample(const MacroOptions& o)
{
    Velkor_MP_CREATE(kCard, Number(o));
    Velkor_MP_SET_VAR(kCard, 1, 0);
    Velkor_MP_SET_VAR(kCard, 2, 1);
    Velkor_MP_SET_VAR(kCard, 4, 0);
    Velkor_MP_FOR(kCard, o.loops);
    Velkor_FIXED_MOVE(kCard, kX, 1000);
    Velkor_MP_STOP_WAIT(kCard, kX);
    Velkor_FIXED_MOVE(kCard, kX, -1000);
    Velkor_MP_STOP_WAIT(kCard, kX);
    Velkor_MP_VAR_CALCULATE(kCard, 1, '+', 1, 2);
    Velkor_MP_NEXT(kCard);
    Velkor_MP_SET_RVAR(kCard, 3);
    Velkor_GET_LP(kCard, kX); // recorded: loads LP into variable 3 when it runs
    Velkor_MP_IF(kCard, 3, '=', 4);
    Velkor_MP_SET_VAR(kCard, 5, 1);
    Velkor_MP_ELSE(kCard);
    Velkor_MP_SET_VAR(kCard, 5, 2);
    Velkor_MP_IF_END(kCard);
    Velkor_MP_TIMER(kCard, 100);
    Velkor_MP_SET_RINT(kCard);
    Velkor_MP_CLOSE(kCard);
}

std::string StepText(const std::vector<velkor_sim::MacroStep>& steps, std::uint16_t index)
{
    return index < steps.size() ? velkor_sim::DescribeStep(steps[index]) : std::string("?");
}

std::string EndText(std::uint8_t byte)
{
    switch (byte) {
    case 0: return "end of the program";
    case 1: return "ended on a fault";
    case 2: return "stopped";
    case 255: return "no event (time-out)";
    default: return "";
    }
}

bool Run(const MacroOptions& o)
{
    std::printf("\n3. Run: MP_CALL %u, then wait for the program's interrupt (factor 7)\n", unsigned(o.program));
    Velkor_SET_LP(kCard, kX, 0);
    const auto start = std::chrono::steady_clock::now();
    Velkor_MP_CALL(kCard, Number(o));
    const std::uint8_t code = Velkor_RINT_WAIT(kCard, kProgramInterrupt, kWaitMs);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const std::int32_t x = Velkor_GET_LP(kCard, kX);
    const std::int32_t passes = Velkor_READ_VAR(kCard, 1);
    const std::int32_t home = Velkor_READ_VAR(kCard, 5);
    std::printf("   interrupt code 0x%02X after %.2f s (clock %gx faster than real time)\n", unsigned(code), seconds,
                kTimeScale);
    std::printf("   X at %d, variable 1 (passes) = %d, variable 5 (home: 1 yes, 2 no) = %d, error code 0x%04X\n", x,
                passes, home, unsigned(Velkor_GET_ERROR_CODE(kCard, kX)));
    return code == kProgramInterrupt && x == 0 && passes == o.loops && home == 1 && Velkor_GET_ERROR(kCard) == 0;
}

bool Debug(const MacroOptions& o, const std::vector<velkor_sim::MacroStep>& steps)
{
    std::printf("\n4. Debug: MP_DEBUG %u; before each step the module raises factor 5 and shows the step\n",
                unsigned(o.program));
    std::printf("   event  debug byte  debug word  step\n");
    Velkor_WRITE_VAR(kCard, 1, 0);
    Velkor_MP_DEBUG(kCard, Number(o));
    for (unsigned event = 1;; ++event) {
        std::uint8_t byte = 0;
        std::uint16_t word = 0;
        Velkor_DEBUG_WAIT(kCard, kWaitMs, &byte, &word);
        const bool step = byte >= 12 && byte != 255;
        std::printf("   %5u  %10u  %10u  %s\n", event, unsigned(byte), unsigned(word),
                    step ? StepText(steps, word).c_str() : EndText(byte).c_str());
        if (!step) {
            return byte == 0 && word == steps.size();
        }
        Velkor_CONTINUE_DEBUG(kCard);
    }
}

} // namespace

int RunMacro(const MacroOptions& o)
{
    velkor_sim::ModuleOptions moduleOptions;
    moduleOptions.clock = velkor_sim::ClockKind::RealTime;
    moduleOptions.timeScale = kTimeScale;
    velkor_sim::VirtualModule module(moduleOptions);
    if (!module.PlugInto(kSlot)) {
        std::fprintf(stderr, "velkor: cannot plug the virtual module into slot %u\n", unsigned(kSlot));
        return 1;
    }
    if (Velkor_REGISTRATION(kCard, kSlot) != 1) {
        std::fprintf(stderr, "velkor: card %u could not be registered on slot %u\n", unsigned(kCard), unsigned(kSlot));
        return 1;
    }
    Velkor_SET_SV(kCard, kX, 1000);
    Velkor_SET_V(kCard, kX, 20000);
    Velkor_SET_A(kCard, kX, 400000);

    std::printf("1. Record program %u: %d back-and-forth moves of X, a count, a reader, a condition, a timer\n",
                unsigned(o.program), o.loops);
    RecordSample(o);

    // The steps as the module keeps them (the virtual module's API), once it
    // has taken the closing packet.
    module.WaitSettled();
    const std::vector<velkor_sim::MacroStep> steps = module.MacroProgram(Number(o));
    std::printf("\n2. The module keeps %u steps\n   step  code  name and fields\n", unsigned(steps.size()));
    for (std::size_t i = 0; i < steps.size(); ++i) {
        std::printf("   %4u  %4u  %s\n", unsigned(i), unsigned(steps[i][0]), velkor_sim::DescribeStep(steps[i]).c_str());
    }
    if (o.listOnly) {
        return steps.empty() ? 1 : 0;
    }

    // The program's interrupt reaches the host through the service thread.
    Velkor_INTFACTOR_ENABLE(kCard, kProgramInterrupt, 0, 0);
    Velkor_ENABLE_INT(kCard);
    if (Velkor_ENABLE_RINT(kCard) != 1) {
        std::fprintf(stderr, "velkor: the interrupt service thread did not start\n");
        return 1;
    }
    const bool ran = Run(o);
    const bool debugged = Debug(o, steps);
    Velkor_DISABLE_RINT(kCard);
    std::printf("\n%s\n", ran && debugged ? "The program ran and was stepped through to its end."
                                          : "The program did not end as expected.");
    return ran && debugged ? 0 : 1;
}

} // namespace velkor_tool
