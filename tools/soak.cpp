// velkor soak: seven cards on seven virtual modules (fast clock), each driven
// by a thread of its own as an application would over a long shift: moves on
// all axes, direct stops, queries, interrupt services started and ended, and
// now and then a reset and a new registration. The figures over time show
// whether memory or threads grow and whether packets are lost.
#include "soak.h"

#include <Velkor.h>
#include <velkor_sim/virtual_module.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace velkor_tool {
namespace {

constexpr int kCards = 7;
// The growth is measured from here on: the start-up is behind by then, and
// the slot bus gives closed interrupt events again after 60 s.
constexpr std::chrono::seconds kSettled{120};

struct CardFigures {
    std::atomic<std::uint64_t> rounds{0};
    std::atomic<std::uint64_t> resets{0};
    std::atomic<std::uint64_t> services{0};
    std::atomic<bool> failed{false};
};

// One card's work until `stop`: card `card` in slot card + 1.
void DriveCard(std::uint8_t card, const std::atomic<bool>& stop, CardFigures& figures)
{
    const std::uint8_t slot = static_cast<std::uint8_t>(card + 1);
    if (!Velkor_REGISTRATION(card, slot)) {
        figures.failed = true;
        return;
    }
    for (std::uint64_t round = 1; !stop; ++round) {
        for (std::uint8_t axis = 1; axis <= 4; ++axis) {
            Velkor_SET_V(card, axis, 40000);
            Velkor_SET_A(card, axis, 400000);
            Velkor_FIXED_MOVE(card, axis, (round & 1) != 0 ? 1000 : -1000);
        }
        Velkor_GET_LP(card, 1);
        if (round % 4 == 0) {
            Velkor_STOP_SUDDENLY(card, 0x0F);
        }
        if (round % 64 == 0) {
            // An interrupt service for one move: started, waited on, ended.
            if (Velkor_ENABLE_RINT(card)) {
                Velkor_INTFACTOR_ENABLE(card, 0x01, 0, 0);
                Velkor_ENABLE_INT(card);
                Velkor_FIXED_MOVE(card, 1, 100);
                Velkor_RINT_WAIT(card, 0x01, 200);
                Velkor_DISABLE_INT(card);
                Velkor_DISABLE_RINT(card);
                ++figures.services;
            }
        }
        if (round % 2048 == 0) {
            Velkor_RESET_CARD(card);
            if (!Velkor_REGISTRATION(card, slot)) {
                figures.failed = true;
                return;
            }
            ++figures.resets;
        }
        figures.rounds = round;
    }
}

std::string Figure(long value, const char* unit)
{
    return value < 0 ? std::string("n/a") : std::to_string(value) + unit;
}

} // namespace

int RunSoak(const SoakOptions& options)
{
    std::vector<std::unique_ptr<velkor_sim::VirtualModule>> modules;
    for (int i = 0; i < kCards; ++i) {
        velkor_sim::ModuleOptions moduleOptions;
        moduleOptions.clock = velkor_sim::ClockKind::Fast;
        modules.push_back(std::make_unique<velkor_sim::VirtualModule>(moduleOptions));
        if (!modules.back()->PlugInto(static_cast<std::uint8_t>(i + 1))) {
            std::fprintf(stderr, "velkor soak: cannot plug a virtual module into slot %d\n", i + 1);
            return 1;
        }
    }
    std::printf("velkor soak: %d cards in slots 1 to %d for %g min: moves on 4 axes, stops, queries, an interrupt "
                "service every 64 rounds, a reset every 2048\n",
                kCards, kCards, options.minutes);
    std::printf("%8s %12s %8s %8s %10s %10s %8s %8s\n", "time", "packets", "lost", "threads", "resident",
                "heap", "resets", "services");
    std::fflush(stdout);

    std::atomic<bool> stop{false};
    CardFigures figures[kCards];
    std::vector<std::thread> drivers;
    for (int i = 0; i < kCards; ++i) {
        drivers.emplace_back(DriveCard, static_cast<std::uint8_t>(i), std::cref(stop), std::ref(figures[i]));
    }

    const auto started = std::chrono::steady_clock::now();
    const auto end = started + std::chrono::duration<double>(options.minutes * 60);
    auto next = started;
    ProcessUsage first, last;
    bool haveFirst = false;
    std::uint64_t lost = 0;
    for (;;) {
        const auto now = std::chrono::steady_clock::now();
        const bool done = now >= end;
        if (now >= next || done) {
            next += std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                std::chrono::duration<double>(options.everySeconds));
            std::uint64_t packets = 0, resets = 0, services = 0;
            lost = 0;
            for (int i = 0; i < kCards; ++i) {
                const velkor_sim::Counters c = modules[static_cast<std::size_t>(i)]->GetCounters();
                packets += c.packetsTaken;
                lost += c.sequenceGaps + c.droppedPackets;
                resets += figures[i].resets;
                services += figures[i].services;
            }
            ProcessUsage usage;
            ReadProcessUsage(usage);
            if (!haveFirst && now - started >= kSettled) {
                first = usage;
                haveFirst = true;
            }
            last = usage;
            std::printf("%7.0fs %12llu %8llu %8s %10s %10s %8llu %8llu\n",
                        std::chrono::duration<double>(now - started).count(),
                        static_cast<unsigned long long>(packets), static_cast<unsigned long long>(lost),
                        Figure(usage.threads, "").c_str(), Figure(usage.residentKb, " kB").c_str(),
                        Figure(usage.heapKb, " kB").c_str(), static_cast<unsigned long long>(resets),
                        static_cast<unsigned long long>(services));
            std::fflush(stdout);
        }
        if (done) {
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    stop = true;
    for (std::thread& t : drivers) {
        t.join();
    }
    bool failed = false;
    for (int i = 0; i < kCards; ++i) {
        if (figures[i].failed) {
            std::printf("velkor soak: card %d (slot %d) could not be registered again\n", i, i + 1);
            failed = true;
        }
    }
    if (haveFirst && first.residentKb >= 0) {
        std::printf("velkor soak: from 2 min to the end: resident %+ld kB, heap %s, threads %+ld\n",
                    last.residentKb - first.residentKb,
                    first.heapKb < 0 ? "n/a" : (std::to_string(last.heapKb - first.heapKb) + " kB").c_str(),
                    last.threads - first.threads);
    }
    std::printf("velkor soak: %llu packets lost%s\n", static_cast<unsigned long long>(lost),
                failed ? ", a card failed" : "");
    return lost == 0 && !failed ? 0 : 1;
}

} // namespace velkor_tool
