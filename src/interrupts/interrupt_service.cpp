// The host side of module interrupts: the slot's interrupt registration, one
// service thread per card that turns each interrupt into the card's interrupt
// flags, and the waits on those flags.
//
// None of this takes the card lock except the read of the interrupt code, so
// a thread can wait for a factor while others keep talking to the card. The
// flags, the last code and the run flag are single bytes shared without a
// lock: the service thread stores the code before it raises a flag (release),
// and a waiter that consumes the flag (acquire) reads that code or a newer one.
#include "interrupts/interrupt_service.h"

#include "transport/card_table.h"
#include "transport/kernel.h"

#include <BrelanSDK.h>
#include <Velkor.h>

#include <cstdint>

namespace velkor {

namespace interrupt_seam {
std::atomic<StartThreadFn> startThread{&kernel::StartThread};
std::atomic<SleepFn> pollSleep{&kernel::SleepMs};
} // namespace interrupt_seam

namespace {

// Gives the new service thread time to reach its wait before the caller
// enables the module's interrupt.
constexpr std::uint32_t kStartPauseMs = 100;

// The service thread's argument carries the card number and the generation
// of the start that created it, so that the thread never has to read its
// generation from the card, where a quicker restart may already have changed it.
constexpr unsigned kCardBits = 3;
static_assert(kCardCount == 1u << kCardBits, "the card number fills the low bits of the thread argument");
constexpr std::uintptr_t kGenerationMask = ~std::uintptr_t{0} >> kCardBits;

void* ThreadArgument(std::uint8_t cardNo, std::uint32_t generation)
{
    return reinterpret_cast<void*>((std::uintptr_t{generation} & kGenerationMask) << kCardBits | cardNo);
}

// The thread of `generation` keeps serving while the run flag is set and no
// later start has taken over the card.
bool Serving(const CardRecord& card, std::uintptr_t generation)
{
    return card.interruptRun.load(std::memory_order_acquire) != 0 &&
           (card.interruptGeneration.load(std::memory_order_acquire) & kGenerationMask) == generation;
}

void ClearFlags(CardRecord& card)
{
    for (auto& flag : card.interruptFlags) {
        flag.store(0, std::memory_order_relaxed);
    }
}

std::uint32_t ServiceThread(void* arg)
{
    const auto packed = reinterpret_cast<std::uintptr_t>(arg);
    const auto cardNo = static_cast<std::uint8_t>(packed & (kCardCount - 1));
    const std::uintptr_t generation = packed >> kCardBits;
    CardRecord& card = *CardEntry(cardNo); // the card may lose its registration meanwhile
    // Read once: a restart stores a newer event, which belongs to the newer
    // thread. The event is published after the generation, so a thread that
    // sees a newer event also sees that it is no longer serving.
    void* const event = card.interruptEvent.load(std::memory_order_acquire);
    const std::uint8_t slot = card.slot;
    if (Serving(card, generation)) {
        ClearFlags(card);
        while (Serving(card, generation)) {
            kernel::WaitEvent(event);
            // A wake-up after the service was stopped (the registration
            // closed, the card registered again or reset) neither reads the
            // code nor acknowledges.
            if (Serving(card, generation)) {
                const std::uint8_t code = Velkor_INTERRUPT_RETURN_CODE(cardNo);
                Slot_Interrupt_Done(slot);
                card.lastInterruptCode.store(code, std::memory_order_relaxed);
                for (std::uint8_t i = 0; i < kInterruptFactors; ++i) {
                    if ((code >> i & 1) != 0) {
                        card.interruptFlags[i].store(1, std::memory_order_release);
                    }
                }
            }
        }
    }
    card.interruptThreads.fetch_sub(1, std::memory_order_release);
    return 0;
}

} // namespace

// Polls instead of blocking, one check of the flags per 2 ms pass. A flag is
// consumed with an exchange, so that of two waiters on the same factor
// exactly one sees each raised flag.
bool WaitForInterruptFlag(CardRecord& card, std::uint8_t mask, std::uint32_t count)
{
    const bool endless = count == 0;
    const std::uint32_t passes = endless ? 1 : count / 2 + count % 2;
    const interrupt_seam::SleepFn sleep = interrupt_seam::pollSleep.load(std::memory_order_relaxed);
    do {
        for (std::uint32_t pass = 0; pass < passes; ++pass) {
            for (std::uint8_t i = 0; i < kInterruptFactors; ++i) {
                std::atomic<std::uint8_t>& flag = card.interruptFlags[i];
                if ((mask >> i & 1) != 0 && flag.load(std::memory_order_relaxed) != 0 &&
                    flag.exchange(0, std::memory_order_acquire) != 0) {
                    return true;
                }
            }
            sleep(1);
            sleep(1);
        }
    } while (endless);
    return false;
}

} // namespace velkor

using namespace velkor;

extern "C" {

VELKOR_API std::uint8_t Velkor_ENABLE_RINT(std::uint8_t cardNo)
{
    CardRecord* card = FindCard(cardNo);
    if (card == nullptr || card->interruptRun.load(std::memory_order_acquire) != 0) {
        return 0;
    }
    const std::uint8_t slot = card->slot;
    // From here on an older thread that is still waiting ends at its wake-up.
    const std::uint32_t generation = card->interruptGeneration.fetch_add(1, std::memory_order_relaxed) + 1;
    ClearFlags(*card);
    Velkor_INTERRUPT_RETURN_CODE(cardNo); // the code of an interrupt from before is of no interest
    void* const event = Slot_Register_Interrupt(slot);
    card->interruptEvent.store(event, std::memory_order_release);
    if (event == nullptr) {
        return 0;
    }
    card->interruptRun.store(1, std::memory_order_release);
    card->interruptThreads.fetch_add(1, std::memory_order_relaxed);
    const interrupt_seam::StartThreadFn start = interrupt_seam::startThread.load(std::memory_order_relaxed);
    if (!start(ServiceThread, ThreadArgument(cardNo, generation))) {
        // Without a thread nobody would serve the registration: undo it, so
        // that the caller sees the failure and can try again.
        card->interruptThreads.fetch_sub(1, std::memory_order_relaxed);
        card->interruptRun.store(0, std::memory_order_release);
        Slot_Interrupt_Close(slot);
        return 0;
    }
    kernel::SleepMs(kStartPauseMs);
    return 1;
}

VELKOR_API std::int32_t Velkor_DISABLE_RINT(std::uint8_t cardNo)
{
    CardRecord* card = FindCard(cardNo);
    if (card == nullptr) {
        return 0;
    }
    // The run flag goes first, so that the wake-up the close causes ends the thread.
    card->interruptRun.store(0, std::memory_order_release);
    return Slot_Interrupt_Close(card->slot);
}

// A consumed flag whose interrupt came with code 0 (or was followed by one)
// also yields 0; the caller cannot tell that from a time-out.
VELKOR_API std::uint8_t Velkor_RINT_WAIT(std::uint8_t cardNo, std::uint8_t mask, std::uint32_t count)
{
    CardRecord* card = FindCard(cardNo);
    if (card == nullptr || !WaitForInterruptFlag(*card, mask, count)) {
        return 0;
    }
    return card->lastInterruptCode.load(std::memory_order_relaxed);
}

VELKOR_API void Velkor_CLEAR_RINT_FLAG(std::uint8_t cardNo)
{
    CardRecord* card = FindCard(cardNo);
    if (card != nullptr) {
        ClearFlags(*card);
    }
}

} // extern "C"
