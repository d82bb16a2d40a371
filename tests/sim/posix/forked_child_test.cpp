// A program that forks while it has a virtual module: the child gets its own
// copy of the module, as it stood at the fork, with a firmware thread of its
// own, so the child's moves run; the parent's module is untouched; and the
// child's end, module destroyed or not, never waits for a thread that is
// not there.
#include <velkor_sim/virtual_module.h>

#include <Velkor.h>
#include <brelan/backplane.h>
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <thread>

namespace velkor_sim_test {
namespace {

#if defined(__SANITIZE_THREAD__)
constexpr bool kThreadSanitizer = true; // it refuses new threads in a forked child
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
constexpr bool kThreadSanitizer = true;
#else
constexpr bool kThreadSanitizer = false;
#endif
#else
constexpr bool kThreadSanitizer = false;
#endif

constexpr std::uint8_t kCard = 0;
constexpr std::uint8_t kSlot = 3;
// Reachable from a static, so that a child that leaves it to its exit does
// not count it as leaked.
velkor_sim::VirtualModule* gModule = nullptr;

// In the child: moves axis 1 by 1000 pulses and waits for it to stop.
// The exit code says what went wrong (0: nothing).
int MoveInChild(velkor_sim::VirtualModule* module, bool destroy)
{
    Velkor_FIXED_MOVE(kCard, 1, 1000);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (Velkor_STOP_WAIT(kCard, 1) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            return 2; // the move never ran
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    if (Velkor_GET_LP(kCard, 1) != 1000) {
        return 3;
    }
    if (destroy) {
        delete module; // ends the child's firmware thread
    }
    return 0;
}

TEST(ForkedChild, MovesRunInTheChildAndItsEndNeverBlocks)
{
    if (kThreadSanitizer) {
        GTEST_SKIP() << "the thread sanitizer does not let a forked child start threads";
    }
    for (const bool destroy : {true, false}) {
        SCOPED_TRACE(destroy ? "module destroyed in the child" : "module left to the child's exit");
        brelan::Reset();
        velkor_sim::ModuleOptions options;
        options.clock = velkor_sim::ClockKind::Fast;
        gModule = new velkor_sim::VirtualModule(options);
        velkor_sim::VirtualModule* const module = gModule;
        ASSERT_TRUE(module->PlugInto(kSlot));
        ASSERT_EQ(Velkor_REGISTRATION(kCard, kSlot), 1);
        Velkor_SET_LP(kCard, 1, 0);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            const int code = MoveInChild(module, destroy);
            std::exit(code); // static destructors and exit handlers run, as in any program
        }
        int status = 0;
        pid_t ended = 0;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while ((ended = waitpid(child, &status, WNOHANG)) == 0 && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        if (ended == 0) {
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            ADD_FAILURE() << "the child did not end";
        } else {
            ASSERT_TRUE(WIFEXITED(status));
            EXPECT_EQ(WEXITSTATUS(status), 0);
        }
        // The parent's module stayed where it was.
        EXPECT_EQ(Velkor_GET_LP(kCard, 1), 0);
        EXPECT_EQ(Velkor_STOP_WAIT(kCard, 1), 1);
        module->Unplug();
        delete module;
        gModule = nullptr;
    }
}

} // namespace
} // namespace velkor_sim_test
