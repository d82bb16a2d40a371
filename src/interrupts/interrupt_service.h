// The two platform calls of the interrupt service that tests replace: the
// start of the service thread (to make it fail) and the sleep between the
// polling passes of the flag wait (to step the passes without real time).
// The library itself never changes them.
#ifndef VELKOR_INTERRUPTS_INTERRUPT_SERVICE_H
#define VELKOR_INTERRUPTS_INTERRUPT_SERVICE_H

#include "transport/kernel.h"

#include <atomic>
#include <cstdint>

namespace velkor {
namespace interrupt_seam {

using StartThreadFn = bool (*)(kernel::ThreadEntry entry, void* arg);
using SleepFn = void (*)(std::uint32_t ms);

// kernel::StartThread unless replaced.
extern std::atomic<StartThreadFn> startThread;
// kernel::SleepMs unless replaced; used for each 1 ms sleep of a flag wait.
extern std::atomic<SleepFn> pollSleep;

} // namespace interrupt_seam
} // namespace velkor

#endif
