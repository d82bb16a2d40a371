// The virtual backplane behind the slot-bus stand-in.
//
// A device model is plugged into a slot and from then on sees every read and
// write of that slot's register window, one byte per call, serialized per
// slot. It may raise the slot interrupt from any thread. An access trace can
// be switched on to record every slot-bus call in order.
#ifndef BRELAN_BACKPLANE_H
#define BRELAN_BACKPLANE_H

#include <BrelanSDK.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace brelan {

constexpr std::uint8_t kFirstSlot = 1;
constexpr std::uint8_t kLastSlot = 7;
constexpr std::uint32_t kWindowSize = 128;    // registers 0 to 127 of a slot
constexpr std::uint32_t kSlotStride = 0x1000; // slot s starts at s * kSlotStride

// A device in a slot: it is called for each register access of its window,
// never for two accesses of the same slot at once.
class SlotDevice {
public:
    virtual ~SlotDevice() = default;
    virtual std::uint8_t Read(std::uint8_t offset) = 0;
    virtual void Write(std::uint8_t offset, std::uint8_t value) = 0;
};

// Plugs `device` (not owned; must outlive its time in the slot) into `slot`,
// replacing whatever was there. Returns false for a slot outside 1 to 7.
BRELAN_API bool Plug(std::uint8_t slot, SlotDevice* device);
// Empties the slot; afterwards its window reads 0xFF again.
BRELAN_API void Unplug(std::uint8_t slot);
// Empties the slot only if `device` is the one in it (a device plugged in
// since stays); returns whether it did.
BRELAN_API bool UnplugDevice(std::uint8_t slot, SlotDevice* device);

// Signals the slot's interrupt event once, if the slot is registered for
// interrupts. Returns whether an event was signalled.
BRELAN_API bool RaiseInterrupt(std::uint8_t slot);

// While set, Slot_Register_Interrupt for the slot fails (returns 0), as the
// controller's library does when it cannot hand out an event. Reset clears it.
BRELAN_API void RefuseInterruptRegistration(std::uint8_t slot, bool refuse);

// How Slot_Register_Interrupt hands out events. Off (the default; Reset turns
// it off): every registration gets a new event, and one still open for the
// slot is closed. On: each slot has one event for good, as a kernel event per
// slot would; a registration while one is open returns it as it is (signals
// pending included), one after a close opens it again with nothing pending.
BRELAN_API void ReuseInterruptEvents(bool on);

// Events handed out by registrations are kept for the life of the process;
// one closed for at least this long (default 60 s) is given to a later
// registration instead of a new one, which bounds their number in a long run
// to those opened within the delay. For tests.
BRELAN_API void SetClosedEventReuseDelay(std::chrono::milliseconds delay);
// How many events the backplane has made so far.
BRELAN_API std::size_t InterruptEventCount();

// Interrupt bookkeeping of one slot, for tests and tools.
struct InterruptState {
    bool registered = false;
    std::uint32_t registrations = 0; // Slot_Register_Interrupt calls that succeeded
    std::uint32_t raised = 0;        // interrupts signalled
    std::uint32_t acknowledged = 0;  // Slot_Interrupt_Done calls
    std::uint32_t closes = 0;        // Slot_Interrupt_Close calls
};
BRELAN_API InterruptState GetInterruptState(std::uint8_t slot);

// One slot-bus call as the trace records it.
struct Access {
    enum class Kind : std::uint8_t { SlotAddr, Read, Write, RegisterInterrupt, InterruptDone, InterruptClose };
    Kind kind;
    std::uint8_t slot;   // 0 when the address lies in no slot
    std::uint32_t offset; // register offset in the slot's window (Read, Write)
    std::uint8_t value;  // byte read or written
    bool operator==(const Access& other) const
    {
        return kind == other.kind && slot == other.slot && offset == other.offset && value == other.value;
    }
};

// Starts (clearing it) or stops the access trace. Off by default.
BRELAN_API void SetTrace(bool on);
// Returns the recorded accesses and empties the trace.
BRELAN_API std::vector<Access> TakeTrace();

// Empties every slot, drops every interrupt registration and the trace.
BRELAN_API void Reset();

} // namespace brelan

#endif
