// The static card table and the library's load and unload duties.
#include "transport/card_table.h"

namespace velkor {
namespace {

CardRecord cards[kCardCount];

} // namespace

CardRecord* CardEntry(std::uint8_t cardNo)
{
    return cardNo < kCardCount ? &cards[cardNo] : nullptr;
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

void OnLibraryUnload()
{
    for (std::uint8_t card = kCardCount; card-- > 0;) {
        kernel::DestroyLock(cards[card].lock);
    }
}

} // namespace velkor
