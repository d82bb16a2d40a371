// The wait on a card's interrupt flags, shared by the flag wait and the debug
// wait, the read of the interrupt code shared by its export and the service
// thread, and the platform calls of the interrupt service that tests replace.
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

// Reads the card's interrupt code register under the card lock, as a direct
// exchange without the handshake.
std::uint8_t ReadInterruptCode(CardRecord& card);

// The start of the service thread (tests make it fail), the sleep between the
// polling passes (tests step the passes without real time) and the bound on
// waiting for a service thread to end (tests shorten it). The library itself
// never changes them.
namespace interrupt_seam {

using StartThreadFn = kernel::Thread* (*)(kernel::ThreadEntry entry, void* arg);
using SleepFn = void (*)(std::uint32_t ms);

// kernel::StartThread unless replaced.
extern std::atomic<StartThreadFn> startThread;
// kernel::SleepMs unless replaced; used for each 1 ms sleep of a flag wait.
extern std::atomic<SleepFn> pollSleep;
// kServiceEndWaitMs unless replaced: how long Velkor_DISABLE_RINT and
// Velkor_ENABLE_RINT wait for a service thread to end.
extern std::atomic<std::uint32_t> endWaitMs;

} // namespace interrupt_seam
} // namespace velkor

#endif
