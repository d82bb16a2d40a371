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
std::atomic<std::uint32_t> endWaitMs{kServiceEndWaitMs};
} // namespace interrupt_seam

namespace {

// Gives the new service thread time to reach its wait before the caller
// enables the module's interrupt.
constexpr std::uint32_t kStartPauseMs = 100;

bool Serving(const CardRecord& card) { return card.interruptRun.load(std::memory_order_acquire) != 0; }

void ClearFlags(CardRecord& card)
{
    for (auto& flag : card.interruptFlags) {
        flag.store(0, std::memory_order_relaxed);
    }
}

// The card's one service thread; its argument is the card's record. The event
// and the slot are read once: a new start stores new ones only after this
// thread has ended.
std::uint32_t ServiceThread(void* arg)
{
    CardRecord& card = *static_cast<CardRecord*>(arg);
    void* const event = card.interruptEvent.load(std::memory_order_acquire);
    const std::uint8_t slot = card.interruptSlot.load(std::memory_order_acquire);
    // A thread that only starts to run after the service was stopped again
    // leaves the flags alone: they belong to the application by then.
    if (Serving(card)) {
        ClearFlags(card);
        while (Serving(card)) {
            kernel::WaitEvent(event);
            // A wake-up after the service was stopped (the registration
            // closed, the card registered again or reset) neither reads the
            // code nor acknowledges.
            if (Serving(card)) {
                const std::uint8_t code = ReadInterruptCode(card);
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
    const std::uint8_t slot = card->slot.load(std::memory_order_relaxed);
    // What an earlier service left goes first: a registration that a card
    // registration or reset ended without closing is closed now, which lets
    // its thread's wait return, and that thread is waited for. If it cannot
    // end in time (held up behind the card lock), the start is refused, so
    // that never two threads serve the card and never one serves a wake-up
    // meant for the other.
    StopInterruptService(*card);
    if (!AwaitInterruptServiceEnd(*card, interrupt_seam::endWaitMs.load(std::memory_order_relaxed))) {
        return 0;
    }
    ClearFlags(*card);
    ReadInterruptCode(*card); // the code of an interrupt from before is of no interest
    void* const event = Slot_Register_Interrupt(slot);
    card->interruptEvent.store(event, std::memory_order_release);
    if (event == nullptr) {
        return 0;
    }
    card->interruptSlot.store(slot, std::memory_order_release);
    card->interruptRun.store(1, std::memory_order_release);
    card->interruptThreads.fetch_add(1, std::memory_order_relaxed);
    const interrupt_seam::StartThreadFn start = interrupt_seam::startThread.load(std::memory_order_relaxed);
    kernel::Thread* const thread = start(ServiceThread, card);
    if (thread == nullptr) {
        // Without a thread nobody would serve the registration: undo it, so
        // that the caller sees the failure and can try again.
        card->interruptThreads.fetch_sub(1, std::memory_order_relaxed);
        StopInterruptService(*card);
        return 0;
    }
    card->interruptThread = thread;
    kernel::SleepMs(kStartPauseMs);
    return 1;
}

// The run flag goes first, so that the wake-up the close causes ends the
// thread; then the thread is waited for, so that none is left once this
// returns (unless it is held up behind the card lock past the bound).
VELKOR_API std::int32_t Velkor_DISABLE_RINT(std::uint8_t cardNo)
{
    CardRecord* card = FindCard(cardNo);
    if (card == nullptr) {
        // A card that lost its registration (registered again to a slot with
        // no working module) while it was served still has the thread and the
        // old slot's registration that the registration ended without closing:
        // they go now, so that none is left after this call. A card that never
        // served sees no slot-bus call at all.
        CardRecord* entry = CardEntry(cardNo);
        if (entry != nullptr) {
            StopInterruptService(*entry);
            AwaitInterruptServiceEnd(*entry, interrupt_seam::endWaitMs.load(std::memory_order_relaxed));
        }
        return 0;
    }
    card->interruptRun.store(0, std::memory_order_release);
    const std::uint8_t slot = card->slot.load(std::memory_order_relaxed);
    const std::uint8_t held = card->interruptSlot.exchange(0, std::memory_order_acq_rel);
    if (held != 0 && held != slot) {
        Slot_Interrupt_Close(held); // the card was registered to another slot since
    }
    const std::int32_t closed = Slot_Interrupt_Close(slot);
    AwaitInterruptServiceEnd(*card, interrupt_seam::endWaitMs.load(std::memory_order_relaxed));
    return closed;
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
