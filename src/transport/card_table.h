// The card table: all host-side state of the eight cards, and the card guard.
#ifndef VELKOR_TRANSPORT_CARD_TABLE_H
#define VELKOR_TRANSPORT_CARD_TABLE_H

#include "transport/kernel.h"

#include <atomic>
#include <cstdint>

namespace velkor {

constexpr std::uint8_t kCardCount = 8;
constexpr std::uint8_t kStagingSize = 32;
constexpr std::uint8_t kInterruptFactors = 8;

// Host-side state of one card. Fields written by functions that run without
// the card lock (registration, reset, the interrupt functions and the service
// thread) and read elsewhere are atomics; the rest is read and written under
// the card lock, or only by registration.
struct CardRecord {
    std::uint8_t sequence = 0;                 // number of the last packet posted, 0..29
    std::atomic<std::uint32_t> windowBase{0};  // I/O address of the mailbox window
    std::atomic<std::uint8_t> slot{0};         // backplane slot, 1..7; 0 while unregistered
    std::uint32_t mixSpeed = 0;     // speed kept for three-dimensional mixed paths
    std::atomic<std::uint8_t> stopFlag{0};
    std::uint8_t staging[kStagingSize] = {}; // the packet being built
    std::atomic<std::uint8_t> recording{0};  // a macro program is being recorded
    std::uint8_t packetLength = 0;
    std::atomic<void*> interruptEvent{nullptr}; // from Slot_Register_Interrupt
    std::atomic<std::uint8_t> interruptRun{0};
    std::atomic<std::uint8_t> interruptFlags[kInterruptFactors] = {};
    std::atomic<std::uint8_t> lastInterruptCode{0};
    // The slot whose interrupt registration the card holds, 0 for none. Set
    // when Slot_Register_Interrupt succeeds, 0 once the library has closed
    // the registration. Registration and reset end the service without
    // closing it; the next start, the stop or the unload closes it.
    std::atomic<std::uint8_t> interruptSlot{0};
    // The service thread not yet waited for. Only the interrupt start and
    // stop (one application thread per card at a time) and the unload hook
    // touch it, so at most one service thread per card exists.
    kernel::Thread* interruptThread = nullptr;
    std::atomic<std::uint8_t> interruptThreads{0}; // service threads not yet ended
    kernel::Lock lock;
    std::uint8_t moduleId = 0;
    // 1 from a registration that found a working module until the next
    // registration attempt that gets past the card and slot checks. Only
    // usable cards pass the card guard. Atomic because the service thread's
    // read of the interrupt code asks the guard while a registration may run.
    std::atomic<std::uint8_t> usable{0};
};

// How long stopping a card's interrupt service waits for its thread to end.
// A thread ends within moments of being told, unless it is held up behind the
// card lock (it takes the lock to read the interrupt code) by a thread that
// keeps the lock for long, for example waiting for a module that never takes
// its packet; then the stop returns after this bound and the thread ends on
// its own once it has the lock.
constexpr std::uint32_t kServiceEndWaitMs = 1000;

// Tells the card's interrupt service to end (run flag 0) and closes the slot
// registration the card still holds, which makes the thread's wait return.
void StopInterruptService(CardRecord& card);
// Waits up to `ms` for the card's service thread to end; true when no service
// thread of the card is left.
bool AwaitInterruptServiceEnd(CardRecord& card, std::uint32_t ms);

// The card guard: the record of a usable card, or nullptr for a card number
// outside the table and for a card that has no working registration (never
// registered, or its latest registration was refused). Every export except the
// registration looks its card up here and nowhere else, so that a card without
// a module behind it sees no bus access at all: its window base is 0, or that
// of a slot whose handshake register nothing would ever clear.
CardRecord* FindCard(std::uint8_t cardNo);

// The table entry of a card number whatever the card's state, or nullptr
// outside the table: for the registration, which makes a card usable, and
// for the interrupt service thread, whose card may lose its registration
// while the thread runs.
CardRecord* CardEntry(std::uint8_t cardNo);

// Holds a card's lock for the lifetime of the object.
class CardLockHold {
public:
    explicit CardLockHold(CardRecord& card) : card_(card) { kernel::Acquire(card_.lock); }
    ~CardLockHold() { kernel::Release(card_.lock); }
    CardLockHold(const CardLockHold&) = delete;
    CardLockHold& operator=(const CardLockHold&) = delete;

private:
    CardRecord& card_;
};

} // namespace velkor

#endif
