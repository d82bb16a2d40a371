#include "module/fork_hooks.h"

#include <pthread.h>

namespace velkor_sim {
namespace detail {

void OnFork(void (*before)(), void (*parent)(), void (*child)()) { pthread_atfork(before, parent, child); }

bool OtherThreadsEnded() { return false; }

} // namespace detail
} // namespace velkor_sim
