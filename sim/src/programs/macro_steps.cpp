// The macro steps that work the same in a program and sent directly: the
// long variables (the ones READ_VAR and WRITE_VAR reach), arithmetic, the
// readers' variable, the program interrupt and LOAD_INITIAL. A reader itself
// runs its query (firmware/bindings.cpp).
#include "programs/macro_programs.h"

#include "context/context.h"
#include "interrupts/interrupt_line.h"
#include "paths/paths.h"
#include "programs/step_fields.h"
#include "stores/variables.h"

namespace velkor_sim {
namespace detail {
namespace {

std::int32_t Wrap(std::int64_t v) { return static_cast<std::int32_t>(static_cast<std::uint32_t>(v)); }

// Where a reader packet's parameters go in the window its query would use.

} // namespace

bool KnownCalculation(std::uint8_t op)
{
    switch (op) {
    case '+': case '-': case '*': case '/': case '%': case '&': case '|': case '^': case '=': return true;
    default: return false;
    }
}

bool KnownComparison(std::uint8_t first, std::uint8_t second)
{
    static const std::uint8_t kKnown[][2] = {{'>', 0},   {'<', 0},   {'>', '='}, {'<', '='}, {'=', '='},
                                             {'!', '='}, {'=', '>'}, {'=', '<'}, {'<', '>'}};
    for (const auto& k : kKnown) {
        if (k[0] == first && k[1] == second) {
            return true;
        }
    }
    return false;
}

bool CompareVariables(std::int32_t a, std::uint8_t first, std::uint8_t second, std::int32_t b)
{
    if (second == 0) {
        return first == '>' ? a > b : a < b;
    }
    if (first == '!' || (first == '<' && second == '>')) {
        return a != b;
    }
    if (first == '=' && second == '=') {
        return a == b;
    }
    // ">=" and "=>", "<=" and "=<"
    return (first == '>' || second == '>') ? a >= b : a <= b;
}

bool Calculate(std::int32_t a, std::uint8_t op, std::int32_t b, std::int32_t& result)
{
    const std::int64_t x = a, y = b;
    switch (op) {
    case '+': result = Wrap(x + y); return true;
    case '-': result = Wrap(x - y); return true;
    case '*': result = Wrap(x * y); return true;
    case '/':
    case '%':
        if (y == 0) {
            return false;
        }
        result = Wrap(op == '/' ? x / y : x % y); // in 64 bits: the most negative value / -1 wraps
        return true;
    case '&': result = a & b; return true;
    case '|': result = a | b; return true;
    case '^': result = a ^ b; return true;
    case '=': result = a; return true;
    default: return false;
    }
}

void MpSetVar(ProgramsAt pr, const Command& cmd)
{
    const std::int32_t var = cmd[step_field::kSetVar];
    if (!VariableIndex(var)) {
        pr.Fault(error::kBadCommand);
        return;
    }
    pr.stores.longVars[var] = cmd[step_field::kSetValue];
}

void MpSetRVar(ProgramsAt pr, const Command& cmd)
{
    const std::int32_t var = cmd[step_field::kReaderVar];
    if (!VariableIndex(var)) {
        pr.Fault(error::kBadCommand);
        return;
    }
    pr.macros.readerVariable = static_cast<std::uint16_t>(var);
}

void MpCalculate(ProgramsAt pr, const Command& cmd)
{
    std::vector<std::int32_t>& vars = pr.stores.longVars;
    const std::int32_t var = cmd[step_field::kCalcVar];
    const std::int32_t a = cmd[step_field::kCalcA];
    const std::int32_t b = cmd[step_field::kCalcB];
    std::int32_t result = 0;
    if (!VariableIndex(var) || !VariableIndex(a) || !VariableIndex(b) ||
        !Calculate(vars[a], cmd[step_field::kCalcOp], vars[b], result)) {
        pr.Fault(error::kBadCommand);
        return;
    }
    vars[var] = result;
}

void MpSetRint(ProgramsAt pr, const Command&) { pr.interrupts.Raise(factor::kMacro); }

// Every setting a program may change goes back to what the module starts
// with: the axes' speed profiles, speed ceilings and soft limits, the vector
// profile and the axis assignment. Motion, positions, holds, the rest of the
// axis configuration (servo, switches, encoder, homing), stores, programs and
// the interrupt set-up are left as they are.
void LoadInitial(ProgramsAt pr, const Command&)
{
    for (int i = 0; i < kAxisCount; ++i) {
        AxisState& a = pr.ctx.Axis(i);
        a.profile = ProfileValues{};
        a.maxV = kDefaultMaxV;
        a.softLimits = false;
    }
    const PathState initial;
    pr.paths.vector = initial.vector;
    for (int i = 0; i < 3; ++i) {
        pr.paths.assigned[i] = initial.assigned[i];
    }
}

} // namespace detail
} // namespace velkor_sim
