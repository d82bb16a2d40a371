// Handlers around fork(), for the platforms that have it, and what the
// process's end leaves running (the platform file is chosen by CMake:
// fork_hooks_posix.cpp, fork_hooks_win32.cpp).
#ifndef VELKOR_SIM_CLOCK_FORK_HOOKS_H
#define VELKOR_SIM_CLOCK_FORK_HOOKS_H

namespace velkor_sim {
namespace detail {

// Calls `before` in the forking thread before a fork, `parent` in the parent
// and `child` in the child after it. Handlers installed later run `before`
// first and `parent`, `child` last. Without fork, nothing is ever called.
void OnFork(void (*before)(), void (*parent)(), void (*child)());

// True while the process ends with its other threads already gone. On POSIX
// systems exit() runs the std::atexit handlers with every thread still
// running: never. Windows ends every other thread before it runs a library's
// handlers at the process's end: there a thread can neither be woken nor
// joined, and waiting for one never returns.
bool OtherThreadsEnded();

} // namespace detail
} // namespace velkor_sim

#endif
