// Recording macro programs and checking them when they are closed.
//
// Between MP_CREATE and MP_CLOSE every packet becomes a step of a draft
// instead of being carried out; MP_CLOSE checks the draft and puts it in
// place of the program with its number. A run in progress keeps the program
// it started with, so recording over a running program is safe.
#include "programs/macro_programs.h"

#include "context/context.h"
#include "interrupts/interrupt_line.h"
#include "paths/paths.h"
#include "programs/step_fields.h"
#include "stores/variables.h"

namespace velkor_sim {
namespace detail {
namespace {

// Whether the step's variable numbers and values are in range.
bool StepValuesValid(const Bytes& s)
{
    switch (s[0]) {
    case macro::kSetVar: return VariableIndex(StoredCommand(s)[step_field::kSetVar]);
    case macro::kSetRVar: return VariableIndex(StoredCommand(s)[step_field::kReaderVar]);
    case macro::kCalculate: {
        const Command c = StoredCommand(s);
        return VariableIndex(c[step_field::kCalcVar]) && KnownCalculation(c[step_field::kCalcOp]) &&
               VariableIndex(c[step_field::kCalcA]) && VariableIndex(c[step_field::kCalcB]);
    }
    case macro::kIf: {
        const Command c = StoredCommand(s);
        const std::uint16_t op = c[step_field::kIfOp];
        return VariableIndex(c[step_field::kIfA]) && KnownComparison(static_cast<std::uint8_t>(op), static_cast<std::uint8_t>(op >> 8)) &&
               VariableIndex(c[step_field::kIfB]);
    }
    case macro::kTimer: return StoredCommand(s)[step_field::kTimerMs] >= 0;
    // Recording and debugging are the host's business, not a program's.
    case macro::kCreate:
    case macro::kClose:
    case macro::kDebug:
    case macro::kIsrDebug: return false;
    default: return true;
    }
}

} // namespace

bool RecordStep(ProgramsAt pr, const Bytes& p)
{
    MacroStore& m = pr.macros;
    // MP_CLOSE ends the recording; another MP_CREATE starts a new one.
    if (!m.recording || p[0] == macro::kClose || p[0] == macro::kCreate) {
        return false;
    }
    if (m.draft.steps.size() < macro::kMaxSteps) {
        m.draft.steps.push_back(p);
    } else {
        m.draft.tooLong = true;
    }
    return true;
}

void CheckProgram(Program& program)
{
    struct Open {
        std::size_t at;
        std::size_t elseAt; // 0: none yet (an ELSE is never step 0 of its block)
    };
    const std::vector<Bytes>& steps = program.steps;
    program.jump.assign(steps.size(), 0);
    program.fault = 0;
    if (program.tooLong) {
        program.fault = error::kProgramTooLong;
        program.faultAt = macro::kMaxSteps;
        return;
    }
    std::vector<Open> open;
    auto fail = [&](std::size_t at) {
        program.fault = error::kProgramMalformed;
        program.faultAt = at;
    };
    for (std::size_t i = 0; i < steps.size(); ++i) {
        const std::uint8_t code = steps[i][0];
        if (!StepValuesValid(steps[i])) {
            return fail(i);
        }
        switch (code) {
        case macro::kFor:
        case macro::kIf:
            if (open.size() >= macro::kMaxNesting) {
                return fail(i);
            }
            open.push_back(Open{i, 0});
            break;
        case macro::kNext:
            if (open.empty() || steps[open.back().at][0] != macro::kFor) {
                return fail(i);
            }
            program.jump[open.back().at] = i + 1;
            program.jump[i] = open.back().at;
            open.pop_back();
            break;
        case macro::kElse:
            if (open.empty() || steps[open.back().at][0] != macro::kIf || open.back().elseAt != 0) {
                return fail(i);
            }
            open.back().elseAt = i;
            program.jump[open.back().at] = i + 1;
            break;
        case macro::kIfEnd:
            if (open.empty() || steps[open.back().at][0] != macro::kIf) {
                return fail(i);
            }
            if (open.back().elseAt != 0) {
                program.jump[open.back().elseAt] = i;
            } else {
                program.jump[open.back().at] = i;
            }
            open.pop_back();
            break;
        default: break;
        }
    }
    if (!open.empty()) {
        fail(open.back().at); // the block left open
    }
}

void MpCreate(ProgramsAt pr, const Command& cmd)
{
    MacroStore& m = pr.macros;
    m.recording = true;
    m.program = cmd[step_field::kCreateProgram];
    m.draft = Program{};
}

// Without a recording in progress MP_CLOSE changes nothing.
void MpClose(ProgramsAt pr, const Command&)
{
    MacroStore& m = pr.macros;
    if (!m.recording) {
        return;
    }
    m.recording = false;
    CheckProgram(m.draft);
    m.programs[m.program] = std::make_shared<const Program>(std::move(m.draft));
    m.draft = Program{};
}

} // namespace detail
} // namespace velkor_sim
