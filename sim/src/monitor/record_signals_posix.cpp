// Ending a recorded session on a signal, on POSIX systems (record_signals.h).
// The handler only writes the signal's number to a pipe; a thread of its own
// ends the session (which takes locks a handler must not) and then lets the
// signal end the process. A forked child, which has no such thread, and a
// session that does not end within a time are ended by the signal at once.
#include "monitor/record_signals.h"

#include <csignal>
#include <cstring>
#include <mutex>
#include <thread>
#include <unistd.h>

namespace velkor_sim {
namespace monitor {
namespace {

const int kSignals[] = {SIGTERM, SIGINT, SIGHUP};
constexpr unsigned kMostSeconds = 2; // to end the session before the signal ends the process

int gPipe[2] = {-1, -1};
pid_t gOwner = 0; // the process whose thread reads the pipe

void Default(int signal)
{
    struct sigaction standard {};
    standard.sa_handler = SIG_DFL;
    sigemptyset(&standard.sa_mask);
    sigaction(signal, &standard, nullptr);
}

extern "C" void OnEndingSignal(int signal)
{
    const unsigned char number = static_cast<unsigned char>(signal);
    if (getpid() != gOwner || write(gPipe[1], &number, 1) != 1) {
        Default(signal);
        raise(signal);
    }
}

void EndThenDie()
{
    unsigned char number = 0;
    while (read(gPipe[0], &number, 1) != 1) {
    }
    const int signal = number;
    std::thread([signal] {
        sleep(kMostSeconds);
        Default(signal);
        raise(signal);
    }).detach();
    const char* name = strsignal(signal);
    StopMonitorCut("the program was ended by signal " + std::to_string(signal) + " (" +
                   (name != nullptr ? name : "unknown") + ")");
    Default(signal);
    raise(signal);
}

} // namespace

void EndRecordingOnSignals()
{
    static std::once_flag once;
    std::call_once(once, [] {
        if (pipe(gPipe) != 0) {
            return;
        }
        gOwner = getpid();
        std::thread(EndThenDie).detach();
        for (int signal : kSignals) {
            struct sigaction now {};
            if (sigaction(signal, nullptr, &now) != 0 || now.sa_handler != SIG_DFL) {
                continue; // the program's own handling, or ignored: left as it is
            }
            struct sigaction ending {};
            ending.sa_handler = OnEndingSignal;
            sigemptyset(&ending.sa_mask);
            ending.sa_flags = SA_RESTART;
            sigaction(signal, &ending, nullptr);
        }
    });
}

} // namespace monitor
} // namespace velkor_sim
