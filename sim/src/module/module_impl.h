// The inside of a VirtualModule: the mailbox window, the firmware and the
// thread that runs it, under one mutex shared by the backplane's accesses,
// the firmware thread and the simulator API.
//
//  - mailbox/window.cpp: the window side (register reads and writes, taking
//    a packet and answering a code);
//  - clock/firmware_thread.cpp: the firmware thread and the clocks that
//    decide when simulated time passes;
//  - module/virtual_module.cpp: the simulator API.
#ifndef VELKOR_SIM_MODULE_MODULE_IMPL_H
#define VELKOR_SIM_MODULE_MODULE_IMPL_H

#include "velkor_sim/virtual_module.h"

#include "firmware/firmware.h"

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

    // Window side (mailbox/window.cpp), called with the mutex held.
    std::uint8_t ReadRegister(std::uint8_t offset);
    void WriteRegister(std::uint8_t offset, std::uint8_t value);
    bool MailboxWaiting() const { return window[reg::kHandshake] != 0 && !busy; }
    // Takes the packet or answers the code in the handshake register.
    void ServiceMailbox();
    // Writes the macro debugger's byte and word to window offsets 76, 72 and
    // 74 once a program has run (module/macro_programs_api.cpp).
    void PlaceDebugRegister();

    // Firmware thread and clocks (clock/firmware_thread.cpp).
    void Run();
    // Runs whole motion steps for the time given, keeping the rest for later.
    void StepFor(std::chrono::nanoseconds time);
    // Signals the slot interrupt for factors the firmware raised, outside the
    // module's lock (the backplane takes its own locks). Returns whether the
    // lock was let go meanwhile.
    bool RaisePending(std::unique_lock<std::mutex>& hold);

    ModuleOptions options;
    mutable std::mutex mutex;
    std::condition_variable wake;    // the firmware thread has something to look at
    std::condition_variable settled; // the mailbox was emptied
    detail::Window window{};
    detail::Firmware firmware;
    detail::Bytes packet{};           // the packet posted, as it was when posted
    std::uint8_t packetSequence = 0;  // the number it carried
    SteadyClock::time_point postedAt;
    std::chrono::microseconds latency;
    bool busy = false;
    bool quit = false;
    std::uint8_t slot = 0;
    double stepSeconds = 0.001;
    std::chrono::nanoseconds stepLength{1000000};
    std::chrono::nanoseconds debt{0}; // simulated time owed to the motion model, below one step
    bool ticking = false;
    SteadyClock::time_point lastTick;
    std::vector<LogEntry> log;
    std::thread thread;
};

} // namespace velkor_sim

#endif
