// The inside of a VirtualModule: the mailbox window, the firmware and the
// thread that runs it, under one mutex shared by the backplane's accesses,
// the firmware thread and the simulator API.
//
// The window's bytes are atomics. Plain registers (the data area, the
// parameter registers, reading the sequence register) are read and written
// without the mutex. So is the handshake register read, unless it holds a
// packet (which may be waiting for room), and the sequence register written,
// unless a packet is held or announced (the bookkeeping of dropped packets).
// Writes of the handshake register and reads of the interrupt code register
// take the mutex. The protocol orders the rest: the host fills the data area
// before it writes the handshake register (under the mutex), and the module
// clears the handshake register with release order after it put the reply in
// the data area, which the host reads after it found the register cleared.
//
//  - module/window.cpp: the window side. With no take latency and the
//    module not busy, a packet is taken and a code answered in the host's
//    write of the handshake register itself; otherwise the firmware thread
//    does it when the latency is over or the busy mode ends. A packet that
//    finds the command buffer full stays in the mailbox (handshake 1) until
//    the motion frees room.
//  - module/firmware_thread.cpp: the firmware thread and the clocks that
//    decide when simulated time passes.
//  - module/virtual_module.cpp: the simulator API.
//  - module/observers.cpp: the hooks of onlookers (ModuleObserver), called
//    where the state may have changed: after each motion step, after each
//    packet taken, and in SignalInterrupt(), which every path that lets the
//    firmware act ends with.
#ifndef VELKOR_SIM_MODULE_MODULE_IMPL_H
#define VELKOR_SIM_MODULE_MODULE_IMPL_H

#include "velkor_sim/virtual_module.h"

#include "firmware/firmware.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace velkor_sim {

using SteadyClock = std::chrono::steady_clock;

// Window offsets the module side knows.
namespace reg {
constexpr std::uint8_t kId = 0;
constexpr std::uint8_t kSequence = 2;
constexpr std::uint8_t kData = 64;
constexpr std::uint8_t kInterruptCode = 124;
constexpr std::uint8_t kHandshake = 126;
} // namespace reg

constexpr std::uint8_t kPacket = 1; // handshake value of a posted packet

class VirtualModule::Impl {
public:
    explicit Impl(const ModuleOptions& o);
    ~Impl();

    // Window side (module/window.cpp). Plain registers need no mutex; the
    // others are read and written with the mutex held.
    bool PlainRead(std::uint8_t offset) const
    {
        return offset != reg::kInterruptCode && (offset != reg::kHandshake || Handshake() != kPacket);
    }
    bool PlainWrite(std::uint8_t offset) const
    {
        return offset != reg::kHandshake &&
               (offset != reg::kSequence ||
                (Handshake() != kPacket && !announced.load(std::memory_order_acquire)));
    }
    std::uint8_t ReadPlain(std::uint8_t offset);
    void WritePlain(std::uint8_t offset, std::uint8_t value);
    std::uint8_t ReadRegister(std::uint8_t offset);
    void WriteRegister(std::uint8_t offset, std::uint8_t value);
    std::uint8_t Reg(int offset) const { return window[offset].load(std::memory_order_relaxed); }
    void SetReg(int offset, std::uint8_t value) { window[offset].store(value, std::memory_order_relaxed); }
    std::uint8_t Handshake() const { return window[reg::kHandshake].load(std::memory_order_acquire); }
    void SetHandshake(std::uint8_t value) { window[reg::kHandshake].store(value, std::memory_order_release); }
    // Something in the handshake register for the firmware thread to take.
    bool MailboxWaiting() const { return Handshake() != 0 && !busy && !heldForRoom; }
    // Takes the packet or answers the code in the handshake register, unless
    // it is a packet the command buffer has no room for yet.
    void TryService();
    // After a motion step: takes the packet waiting for room, if there is room now.
    void TakeHeldPacket()
    {
        if (heldForRoom && !busy && firmware.HasRoomFor(packet)) {
            heldForRoom = false;
            ServiceMailbox();
        }
    }
    // Signals the slot interrupt when the firmware's interrupt line went up.
    void SignalInterrupt()
    {
        PlaceDebugRegister(); // before the host hears of a debug event
        if (!observers.empty()) {
            ObserveChanges();
        }
        if (firmware.interrupts.TakeSignal()) {
            DeliverSignal();
        }
    }

    // Firmware thread and clocks (module/firmware_thread.cpp).
    void Run();
    // Runs whole motion steps for the time given (manual clock), keeping the
    // rest for later; a packet waiting for room is taken as soon as it fits.
    void StepFor(std::chrono::nanoseconds time);
    // One motion step, then the packet waiting for room.
    void StepOnce()
    {
        firmware.Step(stepSeconds);
        ++steps;
        if (!observers.empty()) {
            ObserveStep();
        }
        TakeHeldPacket();
    }
    // Host activity, for the fast clock: a poll lets time run ahead, a
    // command brings it back to its pace.
    void HostPolled();
    void HostCommanded();
    bool RunningAhead(SteadyClock::time_point now) const;
    // Adds the simulated time that passed since the last tick to what the
    // clock owes the motion.
    void Accrue(SteadyClock::time_point now, bool sprint);
    // Real-time and fast clocks: brings the motion up to the present (at most
    // a chunk of steps) in the calling thread, for a packet that waits for
    // room: the host is held until the motion frees room, not until the
    // firmware thread is next scheduled.
    void CatchUp();
    static std::chrono::nanoseconds MostOwed(bool sprint, double scale);
    ClockState ClockNow() const;
    // Views of the state for the simulator API and the observers' ModuleView
    // (module/virtual_module.cpp, module/observers.cpp); the lock is held.
    AxisStatus AxisNow(int index) const;
    ModuleSnapshot SnapshotNow() const;
    MacroRunStatus MacroRunNow() const;

    ModuleOptions options;
    mutable std::mutex mutex;
    // Host accesses waiting for the mutex: a firmware thread that runs ahead
    // lets them in between its chunks of steps.
    std::atomic<int> hostWaiting{0};
    std::condition_variable wake;    // the firmware thread has something to look at
    std::condition_variable settled; // the mailbox was emptied
    std::array<std::atomic<std::uint8_t>, 128> window{};
    std::atomic<std::uint64_t> busReads{0};
    std::atomic<std::uint64_t> busWrites{0};
    // The next packet number was announced while a packet was held (a copy of
    // the firmware's bookkeeping, for the sequence register's plain writes).
    std::atomic<bool> announced{false};
    detail::Firmware firmware;
    detail::Bytes packet{};           // the packet posted, as it was when posted
    std::uint8_t packetSequence = 0;  // the number it carried
    SteadyClock::time_point postedAt;
    std::chrono::microseconds latency;
    bool busy = false;
    bool heldForRoom = false;         // the packet posted waits for room in the command buffer
    bool dropNextPacket = false;      // a scenario's fault: the next packet is taken and lost
    bool quit = false;
    std::uint8_t slot = 0;
    double stepSeconds = 0.001;
    std::chrono::nanoseconds stepLength{1000000};
    std::chrono::nanoseconds owed{0}; // simulated time owed to the motion model
    bool ticking = false;
    bool threadIdle = false;          // the firmware thread sleeps until woken
    SteadyClock::time_point lastTick;
    // Fast clock: the host's last exchange was a poll, and when it last
    // commanded something.
    bool polling = false;
    SteadyClock::time_point lastCommand;
    std::vector<LogEntry> log;
    // The host's last packet taken and last exchange answered, with the real
    // time of each: what a program that hangs did last (time limit reports).
    struct LastCall {
        LogEntry entry;
        SteadyClock::time_point when;
        bool any = false;
    };
    LastCall lastPacket, lastExchange;
    bool paused = false;    // PauseClock: no motion step runs on its own
    std::uint64_t steps = 0; // motion steps run

    // Onlookers (module/observers.cpp), and what they were last told.
    std::vector<ModuleObserver*> observers;
    std::array<std::uint16_t, kAxisCount> seenErrors{};
    std::uint8_t seenCode = 0;
    MacroRunStatus seenRun;
    VirtualModule* owner = nullptr; // for the views passed to the hooks
    void ObserveStep();
    void ObserveChanges();
    void ObservePacket(const LogEntry& entry);
    void ObserveClock();
    void RememberSeen(); // when an observer comes: changes from now on
    std::thread thread;

    // The motion may have started: the clock runs from now on, and the
    // firmware thread is to run it.
    void WakeForMotion()
    {
        if (ticking || paused || options.clock == ClockKind::Manual || !firmware.Moving()) {
            return;
        }
        ticking = true;
        lastTick = SteadyClock::now();
        if (threadIdle) {
            threadIdle = false;
            wake.notify_one();
        }
    }

    // Every module alive in the process, and the handlers around fork()
    // (module/firmware_thread.cpp): before it, the forking thread takes every
    // module's lock, so that the child's copy is whole; after it, the child
    // gives each module fresh condition variables and a firmware thread of
    // its own, and its modules go on as the parent's did at the fork.
    static std::mutex& LiveMutex();
    static auto Live() -> std::vector<Impl*>&;
    static void BeforeFork();
    static void AfterForkInParent();
    static void AfterForkInChild();

private:
    void RestartInChild();
    void ServiceMailbox();
    // Writes the macro debugger's byte and word to window offsets 76, 72 and
    // 74 once a program has run (module/macro_programs_api.cpp).
    void PlaceDebugRegister();
    void Log(LogEntry& entry);
    // Stamps a kept call with the time and logs a copy where the log is kept.
    void Remember(LastCall& call);
    void DeliverSignal();
};

} // namespace velkor_sim

#endif
