// The wait on a card's interrupt flags, shared by the flag wait and the debug
// wait, and the two platform calls of the interrupt service that tests
// replace.
#ifndef VELKOR_INTERRUPTS_INTERRUPT_SERVICE_H
#define VELKOR_INTERRUPTS_INTERRUPT_SERVICE_H

#include "transport/card_table.h"
#include "transport/kernel.h"

#include <atomic>
#include <cstdint>

namespace velkor {

// Polls the flags selected by `mask` once per 2 ms pass, ceil(count / 2)
// passes (without end for count 0), and consumes the lowest one found set.
// Returns whether a flag was consumed; the last interrupt code, read after the
// flag, is then the one the flag came with or a newer one.
bool WaitForInterruptFlag(CardRecord& card, std::uint8_t mask, std::uint32_t count);

// The start of the service thread (tests make it fail) and the sleep between
// the polling passes (tests step the passes without real time). The library
// itself never changes them.
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
