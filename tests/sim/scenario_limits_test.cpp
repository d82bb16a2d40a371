// What the scenario reader refuses before toml++ reads a file: headers
// toml++ would assert on, keys and nesting deep enough to overflow its stack,
// texts beyond the size limit; and the time a file of many events takes,
// which grows with their number, not faster.
#include <velkor_sim/scenario.h>

#include <gtest/gtest.h>

#include <chrono>
#include <ctime>
#include <string>

namespace velkor_sim_test {
namespace {

using velkor_sim::Scenario;

std::string Repeat(const std::string& part, int count, const std::string& between = "")
{
    std::string out;
    for (int i = 0; i < count; ++i) {
        out += (i == 0 ? "" : between) + part;
    }
    return out;
}

struct Row {
    std::string text;
    const char* message; // a part of the refusal; nullptr: read (or refused) by toml++ without harm
};

TEST(ScenarioLimits, HeadersAndDepthAreRefusedBeforeTheParserSeesThem)
{
    const std::string deep = Repeat("a", 200000, ".");
    const Row rows[] = {
        {"[\n", "t.toml:1:2: a table header: expected a name"},
        {"[", "t.toml:1:2: a table header: expected a name"},
        {"[{lot.3]\n", "t.toml:1:2: a table header: expected a name"},
        {"[[[[check]]\n", "t.toml:1:3: a table header: expected a name"},
        {"[slot.3]\n[]\n", "t.toml:2:2: a table header: expected a name"},
        {"[slot.]\n", "t.toml:1:7: a table header: expected a name"},
        {"[slot.3] x\n", "t.toml:1:10: a table header: nothing but a comment may follow it"},
        {"[[event]\n", "t.toml:1:9: a table header: an array of tables ends with ']]'"},
        {"[\"slot\n", "t.toml:1:7: a table header: a quoted name ends on its line"},
        {"[slot 3]\n", "t.toml:1:7: a table header: expected '.' or ']'"},
        // Deep: 200,000 parts overflowed toml++'s stack; 33 are refused.
        {"[" + deep + "]\n", "t.toml:1:66: a table header: a name of more than 32 parts"},
        {"[[" + deep + "]]\n", "a table header: a name of more than 32 parts"},
        {deep + " = 1\n", "t.toml:1:64: keys, tables and arrays nested more than 32 deep"},
        {"[" + Repeat("a", 20, ".") + "]\n" + Repeat("b", 13, ".") + " = 1\n", "t.toml:2:24: keys, tables and arrays"},
        {"a = " + Repeat("[", 100000) + Repeat("]", 100000) + "\n", "t.toml:1:36: keys, tables and arrays"},
        {"a = " + Repeat("{b=", 10000) + "1" + Repeat("}", 10000) + "\n", "keys, tables and arrays nested more"},
        {"x = { " + Repeat("a", 31, ".") + " = [ { b = 1 } ] }\n", "keys, tables and arrays nested more"},
        // Within the limits: read on (and refused as unknown keys where they are).
        {"[ slot . 3 ] # the module\n[[ event ]]\nwhen = { time = 1 }\n", nullptr},
        {"[slot.'3']\n[\"run\"]\nname = \"x\"\n", nullptr},
        {"[" + Repeat("a", 32, ".") + "]\n", "a: unknown key"},
        {"a = " + Repeat("[", 31) + Repeat("]", 31) + "\n", "a: unknown key"},
    };
    for (const Row& row : rows) {
        Scenario s;
        std::string error;
        const bool read = velkor_sim::ParseScenario(row.text, "t.toml", s, error);
        if (row.message == nullptr) {
            EXPECT_TRUE(read) << row.text.substr(0, 80) << "\n  gave: " << error;
        } else {
            EXPECT_FALSE(read) << row.text.substr(0, 80);
            EXPECT_NE(error.find(row.message), std::string::npos) << row.text.substr(0, 80) << "\n  gave: " << error;
        }
    }
}

TEST(ScenarioLimits, TextsBeyondTheSizeLimitAreRefused)
{
    std::string text = "[run]\n";
    text.resize((64u << 20) + 1, '\n');
    Scenario s;
    std::string error;
    EXPECT_FALSE(velkor_sim::ParseScenario(text, "t.toml", s, error));
    EXPECT_EQ(error, "t.toml: more than 64 MiB: a scenario is read only up to that size");
}

std::string Events(int count)
{
    std::string text = "[slot.3]\n";
    for (int i = 0; i < count; ++i) {
        text += "[[event]]\nname = \"e" + std::to_string(i) + "\"\nwhen = { " +
                (i == 0 ? std::string("time = 1") : "after = \"e" + std::to_string(i - 1) + "\"") +
                " }\ndo = [ { input = 8, axis = 1 } ]\n";
    }
    return text;
}

double CpuSeconds() { return double(std::clock()) / CLOCKS_PER_SEC; }

// Eight times the events take about eight times as long (64 times, when
// each looked through those before it); the bound leaves room for noise.
TEST(ScenarioLimits, ReadingTimeGrowsWithTheNumberOfEventsNotFaster)
{
    double seconds[2] = {};
    const int counts[2] = {5000, 40000};
    for (int k = 0; k < 2; ++k) {
        const std::string text = Events(counts[k]);
        Scenario s;
        std::string error;
        const double start = CpuSeconds();
        ASSERT_TRUE(velkor_sim::ParseScenario(text, "t.toml", s, error)) << error;
        seconds[k] = CpuSeconds() - start;
        ASSERT_EQ(s.events.size(), static_cast<std::size_t>(counts[k]));
        EXPECT_EQ(s.events.back().when.after, static_cast<std::size_t>(counts[k] - 2));
    }
    EXPECT_LT(seconds[1], 24 * seconds[0] + 0.05) << seconds[0] << " s, then " << seconds[1] << " s";
}

} // namespace
} // namespace velkor_sim_test
