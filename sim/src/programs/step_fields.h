// The fields of the macro programs' own commands, which the store checks,
// the runner reads from a program's steps and the handlers read when the
// host sends them directly.
#ifndef VELKOR_SIM_PROGRAMS_STEP_FIELDS_H
#define VELKOR_SIM_PROGRAMS_STEP_FIELDS_H

#include "protocol/command.h"

namespace velkor_sim {
namespace detail {
namespace step_field {

constexpr auto kCreateProgram = U8Field({201}, "program");
constexpr auto kCallProgram = U8Field({203}, "program");
constexpr auto kSetVar = I32Field({210}, "var");
constexpr auto kSetValue = I32Field({210}, "value");
constexpr auto kReaderVar = I32Field({211}, "var");
constexpr auto kCalcVar = I32Field({212}, "var");
constexpr auto kCalcOp = U8Field({212}, "op");
constexpr auto kCalcA = I32Field({212}, "var_a");
constexpr auto kCalcB = I32Field({212}, "var_b");
constexpr auto kForCount = I32Field({213}, "count");
constexpr auto kIfA = I32Field({215}, "var_a");
constexpr auto kIfOp = U16Field({215}, "op"); // two characters, the first in the low byte
constexpr auto kIfB = I32Field({215}, "var_b");
constexpr auto kTimerMs = I32Field({218}, "ms");
constexpr auto kStopWaitAxes = U8Field({219}, "axis");
constexpr auto kDebugProgram = U8Field({240, 241}, "program");

} // namespace step_field
} // namespace detail
} // namespace velkor_sim

#endif
