// The slot-bus stand-in: six C calls over a virtual backplane of seven slots.
#include "BrelanSDK.h"
#include "brelan/backplane.h"
#include "kernel_event.h"
#include "setup/module_setup.h"

#include <array>
#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>

namespace brelan {
namespace {

using kernel_standin::KernelEvent;

struct Slot {
    std::mutex access; // serializes the device's register accesses
    SlotDevice* device = nullptr;
    std::mutex interrupts; // guards everything below
    KernelEvent* event = nullptr; // of the open registration; null while none is open
    KernelEvent* own = nullptr;   // the slot's one event while events are reused
    bool refuseRegistration = false;
    InterruptState state;
};

struct Backplane {
    std::array<Slot, kLastSlot + 1> slots; // index 0 unused
    std::mutex traceMutex;
    // Read on every access without the trace lock, so that untraced slots
    // never contend with each other.
    std::atomic<bool> tracing{false};
    std::vector<Access> trace;
    std::atomic<bool> reuseEvents{false};
    // Every event ever handed out stays alive until the process ends, so a
    // service thread still waiting on a closed event never touches freed
    // memory. A registration takes an event that has been closed for
    // closedEventReuseDelay (with no wait in progress) before it makes a new
    // one, so that a long run with interrupt services started and ended keeps
    // as many events as it opens in that time, not one per registration: by
    // then the service thread that held it has long seen the close and ended.
    // A slot's own event (reused events) is never given to another slot.
    std::mutex eventsMutex;
    std::vector<std::unique_ptr<KernelEvent>> events;
    std::vector<bool> slotOwn; // beside events
    std::chrono::steady_clock::duration closedEventReuseDelay = std::chrono::seconds(60);
};

// Never destroyed: a program may end while a thread still waits on one of the
// events, and destroying an event under a waiter is undefined (a condition
// variable's destruction even waits for its waiters, so the program would
// never end). The process's end takes the memory back.
Backplane& board()
{
    static Backplane* const instance = new Backplane;
    return *instance;
}

KernelEvent* newEvent(Backplane& b, bool slotOwn)
{
    std::lock_guard<std::mutex> keep(b.eventsMutex);
    if (!slotOwn) {
        for (std::size_t i = 0; i < b.events.size(); ++i) {
            if (!b.slotOwn[i] && b.events[i]->ClosedLongerThan(b.closedEventReuseDelay)) {
                b.events[i]->Reopen();
                return b.events[i].get();
            }
        }
    }
    b.events.push_back(std::make_unique<KernelEvent>());
    b.slotOwn.push_back(slotOwn);
    return b.events.back().get();
}

bool validSlot(std::uint8_t slot) { return slot >= kFirstSlot && slot <= kLastSlot; }

void record(Access::Kind kind, std::uint8_t slot, std::uint32_t offset, std::uint8_t value)
{
    Backplane& b = board();
    if (!b.tracing.load(std::memory_order_acquire)) {
        return;
    }
    std::lock_guard<std::mutex> hold(b.traceMutex);
    if (b.tracing.load(std::memory_order_relaxed)) {
        b.trace.push_back(Access{kind, slot, offset, value});
    }
}

// Splits an I/O address into its slot and window offset; slot 0 if it lies in none.
std::uint8_t decode(std::uint32_t address, std::uint32_t& offset)
{
    const std::uint32_t slot = address / kSlotStride;
    offset = address % kSlotStride;
    if (slot < kFirstSlot || slot > kLastSlot || offset >= kWindowSize) {
        return 0;
    }
    return static_cast<std::uint8_t>(slot);
}

} // namespace

bool Plug(std::uint8_t slot, SlotDevice* device)
{
    if (!validSlot(slot)) {
        return false;
    }
    Slot& s = board().slots[slot];
    std::lock_guard<std::mutex> hold(s.access);
    s.device = device;
    return true;
}

void Unplug(std::uint8_t slot) { Plug(slot, nullptr); }

bool UnplugDevice(std::uint8_t slot, SlotDevice* device)
{
    if (!validSlot(slot)) {
        return false;
    }
    Slot& s = board().slots[slot];
    std::lock_guard<std::mutex> hold(s.access);
    if (s.device != device || device == nullptr) {
        return false;
    }
    s.device = nullptr;
    return true;
}

bool RaiseInterrupt(std::uint8_t slot)
{
    if (!validSlot(slot)) {
        return false;
    }
    Slot& s = board().slots[slot];
    std::lock_guard<std::mutex> hold(s.interrupts);
    if (s.event == nullptr) {
        return false;
    }
    ++s.state.raised;
    s.event->Signal();
    return true;
}

void ReuseInterruptEvents(bool on) { board().reuseEvents.store(on, std::memory_order_relaxed); }

void SetClosedEventReuseDelay(std::chrono::milliseconds delay)
{
    Backplane& b = board();
    std::lock_guard<std::mutex> keep(b.eventsMutex);
    b.closedEventReuseDelay = delay;
}

std::size_t InterruptEventCount()
{
    Backplane& b = board();
    std::lock_guard<std::mutex> keep(b.eventsMutex);
    return b.events.size();
}

void RefuseInterruptRegistration(std::uint8_t slot, bool refuse)
{
    if (!validSlot(slot)) {
        return;
    }
    Slot& s = board().slots[slot];
    std::lock_guard<std::mutex> hold(s.interrupts);
    s.refuseRegistration = refuse;
}

InterruptState GetInterruptState(std::uint8_t slot)
{
    if (!validSlot(slot)) {
        return InterruptState{};
    }
    Slot& s = board().slots[slot];
    std::lock_guard<std::mutex> hold(s.interrupts);
    return s.state;
}

void SetTrace(bool on)
{
    Backplane& b = board();
    std::lock_guard<std::mutex> hold(b.traceMutex);
    b.tracing.store(on, std::memory_order_release);
    b.trace.clear();
}

std::vector<Access> TakeTrace()
{
    Backplane& b = board();
    std::lock_guard<std::mutex> hold(b.traceMutex);
    std::vector<Access> out;
    out.swap(b.trace);
    return out;
}

void Reset()
{
    for (std::uint8_t slot = kFirstSlot; slot <= kLastSlot; ++slot) {
        Unplug(slot);
        Slot_Interrupt_Close(slot);
        Slot& s = board().slots[slot];
        std::lock_guard<std::mutex> hold(s.interrupts);
        s.state = InterruptState{};
        s.refuseRegistration = false;
    }
    ReuseInterruptEvents(false);
    SetClosedEventReuseDelay(std::chrono::seconds(60));
    SetTrace(false);
}

} // namespace brelan

using brelan::Access;

extern "C" {

uint32_t GetSlotAddr(uint8_t slot)
{
    brelan::PlugModulesFromEnvironment(); // virtual modules named in the environment, once
    brelan::record(Access::Kind::SlotAddr, slot, 0, 0);
    return brelan::validSlot(slot) ? slot * brelan::kSlotStride : 0;
}

uint8_t IoReadByte(uint32_t address)
{
    std::uint32_t offset = 0;
    const std::uint8_t slot = brelan::decode(address, offset);
    std::uint8_t value = 0xFF;
    if (slot != 0) {
        brelan::Slot& s = brelan::board().slots[slot];
        std::lock_guard<std::mutex> hold(s.access);
        if (s.device != nullptr) {
            value = s.device->Read(static_cast<std::uint8_t>(offset));
        }
    }
    brelan::record(Access::Kind::Read, slot, offset, value);
    return value;
}

void IoWriteByte(uint32_t address, uint8_t value)
{
    std::uint32_t offset = 0;
    const std::uint8_t slot = brelan::decode(address, offset);
    brelan::record(Access::Kind::Write, slot, offset, value);
    if (slot != 0) {
        brelan::Slot& s = brelan::board().slots[slot];
        std::lock_guard<std::mutex> hold(s.access);
        if (s.device != nullptr) {
            s.device->Write(static_cast<std::uint8_t>(offset), value);
        }
    }
}

void* Slot_Register_Interrupt(uint8_t slot)
{
    brelan::record(Access::Kind::RegisterInterrupt, slot, 0, 0);
    if (!brelan::validSlot(slot)) {
        return nullptr;
    }
    brelan::Backplane& b = brelan::board();
    brelan::Slot& s = b.slots[slot];
    std::lock_guard<std::mutex> hold(s.interrupts);
    if (s.refuseRegistration) {
        return nullptr;
    }
    if (b.reuseEvents.load(std::memory_order_relaxed)) {
        // One event per slot: a registration over one still open gets it as
        // it is, with whatever is pending; after a close it is opened again.
        if (s.event != nullptr && s.event != s.own) {
            s.event->Close(); // handed out before events were reused
            s.event = nullptr;
        }
        if (s.own == nullptr) {
            s.own = brelan::newEvent(b, true);
        } else if (s.event == nullptr) {
            s.own->Reopen();
        }
        s.event = s.own;
    } else {
        if (s.event != nullptr) {
            s.event->Close(); // a new registration replaces the old one
        }
        s.event = brelan::newEvent(b, false);
    }
    s.state.registered = true;
    ++s.state.registrations;
    return s.event->Handle();
}

int32_t Slot_Interrupt_Done(uint8_t slot)
{
    brelan::record(Access::Kind::InterruptDone, slot, 0, 0);
    if (!brelan::validSlot(slot)) {
        return 0;
    }
    brelan::Slot& s = brelan::board().slots[slot];
    std::lock_guard<std::mutex> hold(s.interrupts);
    ++s.state.acknowledged;
    return 1;
}

int32_t Slot_Interrupt_Close(uint8_t slot)
{
    brelan::record(Access::Kind::InterruptClose, slot, 0, 0);
    if (!brelan::validSlot(slot)) {
        return 0;
    }
    brelan::Slot& s = brelan::board().slots[slot];
    std::lock_guard<std::mutex> hold(s.interrupts);
    ++s.state.closes;
    if (s.event == nullptr) {
        return 0;
    }
    s.event->Close();
    s.event = nullptr;
    s.state.registered = false;
    return 1;
}

} // extern "C"
