// Returns from main with the interrupt service of two cards still in place,
// as programs that do not tidy up do; the test is that the process ends at
// once (CTest's time-out fails it otherwise):
//   serving           both services running, their modules raising interrupts
//   registered-again  each service ended by a second registration, which
//                     leaves the slot registration open and the thread
//                     waiting, as no interrupt comes
//   held-up           one service thread waits for the card lock, which an
//                     application thread keeps for good (its packet is never
//                     taken): the end waits for it only a bounded time
// Exit code 0 once main has returned, 1 when the set-up failed, 2 on bad
// arguments.
//
//   exit_while_serving <serving|registered-again|held-up>
#include "echo_module.h"

#include <Velkor.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

namespace {

constexpr std::uint8_t kCards[] = {1, 4};
constexpr std::uint8_t kSlots[] = {3, 7};

} // namespace

int main(int argc, char** argv)
{
    using velkor_lifecycle::EchoModule;
    const char* mode = argc == 2 ? argv[1] : "";
    const bool againMode = std::strcmp(mode, "registered-again") == 0;
    const bool heldUp = std::strcmp(mode, "held-up") == 0;
    if (!againMode && !heldUp && std::strcmp(mode, "serving") != 0) {
        std::fprintf(stderr, "usage: exit_while_serving <serving|registered-again|held-up>\n");
        return 2;
    }
    // Kept until the process ends: threads still use them while it ends.
    EchoModule* modules[2] = {new EchoModule, new EchoModule};
    for (int i = 0; i < 2; ++i) {
        brelan::Plug(kSlots[i], modules[i]);
        if (Velkor_REGISTRATION(kCards[i], kSlots[i]) != 1 || Velkor_ENABLE_RINT(kCards[i]) != 1) {
            std::fprintf(stderr, "card %d: no service\n", kCards[i]);
            return 1;
        }
        if (againMode && Velkor_REGISTRATION(kCards[i], kSlots[i]) != 1) {
            std::fprintf(stderr, "card %d: second registration refused\n", kCards[i]);
            return 1;
        }
    }
    if (heldUp) {
        // The first packet is taken at once; the second waits for good, with the lock.
        std::thread([] {
            Velkor_ENABLE_INT(kCards[0]);
            Velkor_ENABLE_INT(kCards[0]);
        }).detach();
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        modules[0]->Raise(kSlots[0], 0x01); // the service thread wakes and waits for the lock
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    } else if (!againMode) { // an interrupt would end the threads of the other mode
        std::thread([modules] {
            for (;;) {
                for (int i = 0; i < 2; ++i) {
                    modules[i]->Raise(kSlots[i], 0x01);
                }
                std::this_thread::sleep_for(std::chrono::microseconds(200));
            }
        }).detach();
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return 0;
}
