// The static card table and the library's load and unload duties.
#include "transport/card_table.h"

#include <BrelanSDK.h>

namespace velkor {
namespace {

CardRecord cards[kCardCount];

} // namespace

CardRecord* CardEntry(std::uint8_t cardNo)
{
    return cardNo < kCardCount ? &cards[cardNo] : nullptr;
}

void StopInterruptService(CardRecord& card)
{
    card.interruptRun.store(0, std::memory_order_release);
    const std::uint8_t held = card.interruptSlot.exchange(0, std::memory_order_acq_rel);
    if (held != 0) {
        Slot_Interrupt_Close(held);
    }
}

bool AwaitInterruptServiceEnd(CardRecord& card, std::uint32_t ms)
{
    if (card.interruptThread != nullptr && kernel::JoinThread(card.interruptThread, ms)) {
        card.interruptThread = nullptr;
    }
    return card.interruptThread == nullptr;
}

CardRecord* FindCard(std::uint8_t cardNo)
{
    CardRecord* card = CardEntry(cardNo);
    return card != nullptr && card->usable.load(std::memory_order_acquire) != 0 ? card : nullptr;
}

// Card locks come into being before any export can run, card 0 first, and go
// in the reverse order.
void OnLibraryLoad()
{
    for (std::uint8_t card = 0; card < kCardCount; ++card) {
        kernel::InitLock(cards[card].lock);
    }
}

// No code of the library may run once it is gone: every interrupt service
// still running is told to end and its registration closed first, so that
// the threads end side by side, then each is waited for. A thread held up
// behind a card lock past the bound (only possible while another thread is
// still inside an export, which an application must not allow at unload)
// keeps its card's lock, which it may still take.
void OnLibraryUnload()
{
    for (CardRecord& card : cards) {
        StopInterruptService(card);
    }
    for (std::uint8_t card = kCardCount; card-- > 0;) {
        if (AwaitInterruptServiceEnd(cards[card], kServiceEndWaitMs)) {
            kernel::DestroyLock(cards[card].lock);
        }
    }
}

} // namespace velkor
