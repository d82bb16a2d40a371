// Windows makes processes without copying one: nothing happens around a fork.
#include "module/fork_hooks.h"

namespace velkor_sim {
namespace detail {

void OnFork(void (*)(), void (*)(), void (*)()) {}

} // namespace detail
} // namespace velkor_sim
