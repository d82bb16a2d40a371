// Scenario files that are not regular files are refused at once: a device
// (read, it would fill memory), a FIFO (read, it would block for ever), a
// folder; and a file beyond the size limit. The deepest files on a thread
// with a small stack.
#include <velkor_sim/scenario.h>

#include <gtest/gtest.h>

#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

namespace velkor_sim_test {
namespace {

TEST(ScenarioFileKinds, OnlyRegularFilesWithinTheLimitAreRead)
{
    const std::string folder = testing::TempDir() + "/scenario-kinds-" + std::to_string(getpid());
    std::filesystem::create_directories(folder);
    const std::string fifo = folder + "/fifo.toml", zero = folder + "/zero.toml", large = folder + "/large.toml";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    std::filesystem::create_symlink("/dev/zero", zero);
    std::FILE* f = std::fopen(large.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fclose(f);
    std::filesystem::resize_file(large, (64u << 20) + 1); // sparse: no disk used
    const struct {
        std::string file;
        std::string message;
    } rows[] = {
        {fifo, fifo + ": not a regular file"},
        {zero, zero + ": not a regular file"},
        {folder, folder + ": not a regular file"},
        {large, large + ": 67108865 bytes, more than 64 MiB"},
        {folder + "/none.toml", folder + "/none.toml: cannot read the file"},
    };
    for (const auto& row : rows) {
        velkor_sim::Scenario s;
        std::string error;
        EXPECT_FALSE(velkor_sim::LoadScenario(row.file, s, error)) << row.file;
        EXPECT_EQ(error.rfind(row.message, 0), 0u) << error;
    }
    std::filesystem::remove_all(folder);
}

std::string Repeat(const std::string& part, int count, const std::string& between = "")
{
    std::string out;
    for (int i = 0; i < count; ++i) {
        out += (i == 0 ? "" : between) + part;
    }
    return out;
}

// A reader on a thread with a 128 KiB stack: the deepest file it is given is
// refused, not a crash.
TEST(ScenarioLimits, ASmallStackReadsTheDeepestFilesSafely)
{
    struct Job {
        std::string text;
        bool read = true;
        std::string error = std::string();
    } jobs[] = {{"[" + Repeat("a", 32, ".") + "]\n" + Repeat("b", 31, ".") + " = 1\n"},
                {"x = " + Repeat("[", 31) + Repeat("]", 31) + "\n"},
                {Repeat("a", 150000, ".") + " = 1\n"}};
    for (Job& job : jobs) {
        pthread_attr_t attributes;
        pthread_attr_init(&attributes);
        pthread_attr_setstacksize(&attributes, 128 * 1024);
        pthread_t thread;
        ASSERT_EQ(pthread_create(
                      &thread, &attributes,
                      [](void* p) -> void* {
                          Job& j = *static_cast<Job*>(p);
                          velkor_sim::Scenario s;
                          j.read = velkor_sim::ParseScenario(j.text, "t.toml", s, j.error);
                          return nullptr;
                      },
                      &job),
                  0);
        pthread_join(thread, nullptr);
        pthread_attr_destroy(&attributes);
        EXPECT_FALSE(job.read); // unknown keys, or too deep
        EXPECT_EQ(job.error.rfind("t.toml:", 0), 0u) << job.error;
    }
}

} // namespace
} // namespace velkor_sim_test
