// Loads and unloads the library many times in one process, as an application
// that loads it on demand does, with two cards in slots whose modules raise
// interrupts all the while:
//   none      registration only
//   running   the interrupt service started and left running at the unload
//   disabled  the service started and stopped at once before the unload
// The program must neither crash nor hang; after each unload the library is
// gone (unless a running service keeps it, see ServiceKeepsLibraryLoaded) and
// no slot registration is left open. Exit code 0 on success, 1 on a failed
// check (printed), 2 on bad arguments.
//
//   library_cycles <none|running|disabled> <cycles> <library path or name>
#include "echo_module.h"
#include "library_loader.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace velkor_lifecycle {
namespace {

using RegistrationFn = std::uint8_t (*)(std::uint8_t, std::uint8_t);
using EnableFn = std::uint8_t (*)(std::uint8_t);
using DisableFn = std::int32_t (*)(std::uint8_t);
using WaitFn = std::uint8_t (*)(std::uint8_t, std::uint8_t, std::uint32_t);

constexpr std::uint8_t kCards[] = {0, 7};
constexpr std::uint8_t kSlots[] = {2, 6};
constexpr std::uint8_t kCode = 0x03;

int failures = 0;

// Whether the library is gone within `ms`. Velkor_DISABLE_RINT waits at most
// 1 s for a service thread; on a loaded machine one may end later and, where
// the thread holds the library (ServiceKeepsLibraryLoaded), keep it until then.
bool GoneWithin(const char* path, int ms)
{
    for (int waited = 0; IsLoaded(path) && waited < ms; waited += 10) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return !IsLoaded(path);
}

void Check(bool ok, const char* what, int cycle)
{
    if (!ok) {
        std::fprintf(stderr, "cycle %d: %s\n", cycle, what);
        ++failures;
    }
}

struct Exports {
    RegistrationFn registration = nullptr;
    EnableFn enable = nullptr;
    DisableFn disable = nullptr;
    WaitFn wait = nullptr;
};

bool Resolve(Exports& e)
{
    e.registration = reinterpret_cast<RegistrationFn>(Symbol("Velkor_REGISTRATION"));
    e.enable = reinterpret_cast<EnableFn>(Symbol("Velkor_ENABLE_RINT"));
    e.disable = reinterpret_cast<DisableFn>(Symbol("Velkor_DISABLE_RINT"));
    e.wait = reinterpret_cast<WaitFn>(Symbol("Velkor_RINT_WAIT"));
    return e.registration != nullptr && e.enable != nullptr && e.disable != nullptr && e.wait != nullptr;
}

bool AnySlotRegistered()
{
    for (std::uint8_t slot : kSlots) {
        if (brelan::GetInterruptState(slot).registered) {
            return true;
        }
    }
    return false;
}

int Run(const char* mode, int cycles, const char* path)
{
    const bool start = std::strcmp(mode, "none") != 0;
    const bool stop = std::strcmp(mode, "disabled") == 0;
    EchoModule modules[2];
    for (int i = 0; i < 2; ++i) {
        brelan::Plug(kSlots[i], &modules[i]);
    }
    std::atomic<bool> storming{true};
    std::thread storm([&] {
        while (storming.load()) {
            for (int i = 0; i < 2; ++i) {
                modules[i].Raise(kSlots[i], kCode);
            }
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
    });

    for (int cycle = 0; cycle < cycles && failures == 0; ++cycle) {
        Exports e;
        if (!Load(path) || !Resolve(e)) {
            Check(false, "library not loaded, or an export missing", cycle);
            break;
        }
        for (int i = 0; i < 2; ++i) {
            Check(e.registration(kCards[i], kSlots[i]) == 1, "registration refused", cycle);
            if (start) {
                Check(e.enable(kCards[i]) == 1, "service not started", cycle);
                modules[i].Raise(kSlots[i], kCode);
                Check(e.wait(kCards[i], 0x01, 10000) == kCode, "interrupt not served", cycle);
            }
        }
        if (stop) {
            for (std::uint8_t card : kCards) {
                e.disable(card);
            }
        }
        Check(Unload(), "unload failed", cycle);
        const bool kept = start && !stop && ServiceKeepsLibraryLoaded();
        Check(kept ? IsLoaded(path) : GoneWithin(path, stop ? 10000 : 0),
              kept ? "library not kept by its service" : "library still loaded", cycle);
        Check(AnySlotRegistered() == kept, kept ? "service registration gone" : "registration left open", cycle);
    }

    // Where a running service kept the library, the application gets rid of
    // it by loading it once more and stopping the service.
    if (failures == 0 && IsLoaded(path)) {
        Exports e;
        Check(Load(path) && Resolve(e), "library not loaded again", cycles);
        if (e.disable != nullptr) {
            for (std::uint8_t card : kCards) {
                e.disable(card);
            }
        }
        Check(Unload(), "unload failed", cycles);
        Check(!IsLoaded(path), "library still loaded after its service stopped", cycles);
        Check(!AnySlotRegistered(), "registration left open", cycles);
    }

    storming = false;
    storm.join();
    for (std::uint8_t slot : kSlots) {
        brelan::Unplug(slot);
    }
    return failures == 0 ? 0 : 1;
}

} // namespace
} // namespace velkor_lifecycle

int main(int argc, char** argv)
{
    if (argc != 4 || std::atoi(argv[2]) <= 0 ||
        (std::strcmp(argv[1], "none") != 0 && std::strcmp(argv[1], "running") != 0 && std::strcmp(argv[1], "disabled") != 0)) {
        std::fprintf(stderr, "usage: library_cycles <none|running|disabled> <cycles> <library>\n");
        return 2;
    }
    return velkor_lifecycle::Run(argv[1], std::atoi(argv[2]), argv[3]);
}
