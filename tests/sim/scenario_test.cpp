// Scenario files: the refusals of bad files (with line, field, range or the
// nearest key), and a scenario's events and checks on the manual clock.
#include "machine_fixture.h"

#include <velkor_sim/scenario.h>

#include <string>

namespace velkor_sim_test {
namespace {

using velkor_sim::Scenario;

const char* const kSlot = "[slot.3]\n";

struct Refused {
    const char* text;
    const char* message; // a part of the error
};

TEST(ScenarioFile, BadFilesAreRefusedWithPlaceAndReason)
{
    const Refused cases[] = {
        {"[slot.3.axis.1.switches]\nplus_limt = 5\n", "t.toml:2:1: slot.3.axis.1.switches.plus_limt: unknown key; did you mean 'plus_limit'?"},
        {"[slot.3]\nspeed = 0\n", "t.toml:2:9: slot.3.speed: speed 0 is out of range: more than 0, at most 1000"},
        {"[slot.3.axis.1.switches]\nplus_limit = 3000000000\n", "2:14: slot.3.axis.1.switches.plus_limit: 3000000000 is out of range -2147483648 to 2147483647"},
        {"[slot.8]\n", "slot.8: the slot '8' is out of range 1 to 7"},
        {"[slot.3.axis.5]\n", "slot.3.axis.5: the axis '5' is out of range 1 to 4"},
        {"[slot.3]\n[[event]]\nwhen = { axis = 5, crosses = 100 }\n", "3:17: event[0].when.axis: 5 is out of range 1 to 4"},
        {"[slot.3]\n[[event]]\nwhen = { after = \"nothing\" }\n", "event[0].when.after: no event named 'nothing' before this one"},
        {"[slot.3]\n[[event]]\nslot = 5\nwhen = { time = 1 }\n", "event[0].slot: the scenario has no [slot.5]"},
        {"[[event]]\nwhen = { time = 1 }\n", "the scenario has no [slot.N] for it to act on"},
        {"[slot.3]\n[[event]]\nwhen = { time = 1, packet = 2 }\n", "event[0].when: one trigger a table: both time and packet"},
        {"[slot.3]\n[[event]]\nwhen = { factor = \"drive_ends\" }\n", "unknown name 'drive_ends' (known: drive_end,"},
        {"[slot.3]\n[[event]]\nwhen = { time = 1 }\ndo = [ { jog = 1 } ]\n", "event[0].do[0].direction: missing for jog"},
        {"[slot.3]\n[[event]]\nwhen = { time = 1 }\ndo = [ { busy = 1, counts = 3 } ]\n", "event[0].do[0].counts: does not go with busy"},
        {"[slot.3]\n[[check]]\nlp = { axis = 1 }\n", "check[0].lp.value: missing"},
        {"[slot.3]\n[[check]]\nat = \"later\"\nexit_code = 0\n", "check[0].at: no event named 'later'"},
        {"[slot.3]\n[[check]]\nerrors = { axis = 1, required = 1, forbidden = 1 }\n", "a bit both required and forbidden"},
        {"[slot.3.axis.1.switches]\nminus_limit = 10\nplus_limit = 10\n", "minus_limit 10 must be below plus_limit 10"},
        {"[run]\ntime_limit = -1\n", "run.time_limit: -1 is out of range more than 0 to 86400"},
        {"[slot.3]\nclock = = \"fast\"\n", "t.toml:2:"},
        {"[sloth.3]\n", "sloth: unknown key; did you mean 'slot'?"},
        {"[slot.3.axis.1.drive]\ndead_tim = 3\n", "slot.3.axis.1.drive.dead_tim: unknown key; did you mean 'dead_time'?"},
        {"[slot.3.axis.1.drive]\ndead_time = 1001\n", "drive.dead_time: 1001 is out of range 0 to 1000"},
        {"[slot.3.axis.1.drive]\ndamping = 0\n", "drive.damping: 0 is out of range more than 0 to 1000"},
        {"[slot.3.axis.1.drive]\nnatural_frequency = 2e5\n", "drive.natural_frequency: 200000 is out of range 0 to 100000"},
        {"[slot.3.axis.1.drive]\nnoise_seed = -1\n", "drive.noise_seed: -1 is out of range 0 to 4294967295"},
        {"[slot.3.axis.1.drive]\nbacklash = -0.5\n", "drive.backlash: -0.5 is out of range 0 to"},
        // Beyond ASCII outside strings and comments (toml++ must not see them).
        {"[run]\n\xc3\xa9 = 1\n", "t.toml:2:1: a control character, or a character beyond ASCII outside a string or a comment"},
        {"\xef\xbb\x8f# x\n", "t.toml:1:1: a control character, or a character beyond ASCII"},
        {"[run]\nname = \"x\" \xc3\xa9\n", "t.toml:2:12: a control character, or"},
        {"[run]\nname = \"\"\"a\\\n  \xc3\xa9\"\"\"\n", "t.toml:3:3: a control character, or"},
        {"[run]\nname = \"a\x01\"\n", "t.toml:2:10: a control character, or"},
        {"do = [ \"\"\"{ ss/\\\xef\xb9\xbf\\", "t.toml:1:17: a control character, or"}, // escaped, in a multi-line string
        {"N_en =-+[\"hOOOOOO\xef\xbb\xbd\"]\n", "t.toml:1:18: a control character, or"}, // a quote inside a bare run
        {"e=11=\"a\xef\xba\xbf\"\n", "t.toml:1:8: a control character, or"}, // a value's run goes on past '='
        {"e={a=[1,{b=\"\xc3\xa9\"}],c=\"\xc3\xa9\"}\n", "e: unknown key"}, // but keys in inline tables end at it
        {"'w['.'[['.\xd0\x86 = 1\n", "t.toml:1:11: a control character, or"}, // a dotted key's parts
        {"a.\"\xc3\xa9\".b = 1\n", "a: unknown key"},
        {"n=0# \"\"\"ri\nf=0.5=\xef\xbb\xbd\n", "t.toml:2:7: a control character, or"}, // a comment right after a value
    };
    for (const Refused& c : cases) {
        Scenario s;
        std::string error;
        EXPECT_FALSE(velkor_sim::ParseScenario(c.text, "t.toml", s, error)) << c.text;
        EXPECT_NE(error.find(c.message), std::string::npos) << c.text << "\n  gave: " << error;
    }
    Scenario s;
    std::string error;
    EXPECT_FALSE(velkor_sim::LoadScenario("/no/such/file.toml", s, error));
    EXPECT_NE(error.find("cannot read"), std::string::npos);
}

TEST(ScenarioFile, AGoodFileIsReadWhole)
{
    const char* text = "\xEF\xBB\xBF" R"(
# Maschine é
[run]
name = "Prüfstand \"é\""
[slot.3]
clock = "fast"
speed = 20
[slot.3.axis.2.switches]
home = [-300, -200]
normally_closed = ["plus_limit", "minus_limit"]
[slot.3.axis.2]
general_inputs = [8, 15]
[[event]]
name = "a"
when = { time = 0.5 }
[[event]]
when = { after = "a", delay = 0.25 }
do = [ { move_switch = "near_home", axis = 2, from = -10, to = 10 }, { handwheel = 1, counts = -7 } ]
[[check]]
at = "a"
factor = { bits = ["limit", "homed"], seen = false }
)";
    Scenario s;
    std::string error;
    ASSERT_TRUE(velkor_sim::ParseScenario(text, "t.toml", s, error)) << error;
    ASSERT_EQ(s.slots.size(), 1u);
    EXPECT_EQ(s.name, "Pr\xc3\xbc" "fstand \"\xc3\xa9\"");
    EXPECT_EQ(s.slots[0].options, ",clock=fast,speed=20");
    EXPECT_EQ(s.slots[0].module.clock, velkor_sim::ClockKind::Fast);
    EXPECT_EQ(s.slots[0].machine[1].homeFrom, -300);
    EXPECT_EQ(s.slots[0].machine[1].normallyClosed, 3);
    EXPECT_EQ(s.slots[0].inputs[1], 0x8100);
    ASSERT_EQ(s.events.size(), 2u);
    EXPECT_EQ(s.events[1].name, "event 2");
    EXPECT_EQ(s.events[1].when.after, 0u);
    EXPECT_EQ(s.events[1].actions[1].counts, -7);
    EXPECT_EQ(s.checks[0].factors, 0x0A);
    EXPECT_EQ(s.checks[0].at, 0);
}

// The scenario on a module on the manual clock, driven by the library.
class ScenarioRun : public Machine {
protected:
    std::vector<velkor_sim::CheckResult> Run(const char* text, int32_t move, int ms)
    {
        std::string error;
        EXPECT_TRUE(velkor_sim::ParseScenario(text, "t.toml", scenario, error)) << error;
        run = std::make_unique<velkor_sim::ScenarioRun>(scenario);
        EXPECT_TRUE(run->Attach(3, *module, error)) << error;
        Velkor_SERVO_ON(kCard, 1);
        Velkor_SET_V(kCard, 1, 10000);
        Velkor_FIXED_MOVE(kCard, 1, move);
        Step(ms);
        return run->Finish(0, true);
    }
    Scenario scenario;
    std::unique_ptr<velkor_sim::ScenarioRun> run;
};

TEST_F(ScenarioRun, ACrossingFiresInTheStepThatCrossesAndItsActionsStopTheAxis)
{
    Velkor_SET_COMPARE(kCard, 1, 3, 1, 1000); // output bit 3 as LP rises to 1000
    const auto results = Run(R"([slot.3]
[[event]]
name = "alarm"
when = { axis = 1, crosses = 2500, direction = "up" }
do = [ { drive_alarm = 1 } ]
[[event]]
name = "never"
when = { axis = 1, crosses = 2400, direction = "down" }
[[event]]
name = "compare"
when = { axis = 1, output = 3, becomes = true }
[[event]]
name = "right after"
when = { after = "compare" }
[[check]]
at = "alarm"
lp = { axis = 1, value = 2500, tolerance = 9 }
[[check]]
errors = { axis = 1, required = "servo_alarm", forbidden = "hard_limit_plus" }
[[check]]
lp = { axis = 1, value = 2510, tolerance = 10 }
[[check]]
at = "never"
time = { max = 100 }
[[check]]
factor = { bits = "servo_alarm", seen = false }
[[check]]
errors = { axis = 1, forbidden = ["servo_alarm", "hard_limit_plus"] }
)",
                             10000, 2000);
    ASSERT_EQ(results.size(), 6u);
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_TRUE(results[i].passed) << i << ": " << results[i].measured;
    }
    EXPECT_FALSE(results[3].passed);
    EXPECT_EQ(results[3].measured, "the event 'never' never fired");
    EXPECT_TRUE(results[4].passed) << "interrupts are off: no factor reaches the code register";
    EXPECT_FALSE(results[5].passed) << "a bit forbidden is on: " << results[5].measured;
    // The compare's output at LP 1000 fired 'compare', and the event after
    // it without a delay fired in the same step.
    const std::vector<std::string> fired = run->Fired();
    ASSERT_EQ(fired.size(), 3u);
    const std::string compareStep = fired[0].substr(fired[0].find(" at "));
    EXPECT_EQ(fired[0], "'compare'" + compareStep);
    EXPECT_EQ(fired[1], "'right after'" + compareStep);
    EXPECT_EQ(fired[2], "'alarm' at 0.698 s (slot 3)"); // the same step on every run
}

TEST_F(ScenarioRun, ABusySpellHoldsPacketsForItsSimulatedTimeAndADroppedPacketIsLost)
{
    const auto results = Run(R"([slot.3]
[[event]]
name = "busy"
when = { axis = 1, crosses = 1000 }
do = [ { busy = 0.1 } ]
[[event]]
name = "arrived"
when = { axis = 1, crosses = 2000, direction = "up" }
[[check]]
lp = { axis = 1, value = 2000 }
[[check]]
following_error = { axis = 1, max = 0 }
[[check]]
at = "arrived"
lp = { axis = 1, value = 2000 }
)",
                             2000, 1000);
    EXPECT_TRUE(results[0].passed) << results[0].measured;
    EXPECT_TRUE(results[1].passed) << results[1].measured;
    EXPECT_TRUE(results[2].passed) << "a step that lands on the position crosses it: " << results[2].measured;
    // Busy: the module took nothing; a packet posted now waits in the mailbox.
    velkor_sim::Scenario s;
    std::string error;
    ASSERT_TRUE(velkor_sim::ParseScenario(
        "[slot.3]\n[[event]]\nwhen = { packet = 1 }\ndo = [ { busy = 0.05 } ]\n[[event]]\nwhen = { packet = 2 }\n"
        "do = [ { drop_next_packet = true } ]\n",
        "t.toml", s, error));
    velkor_sim::ScenarioRun second(s);
    ASSERT_TRUE(second.Attach(3, *module, error));
    Velkor_SET_LP(kCard, 1, 0);   // packet 1: the module goes busy
    Velkor_FIXED_MOVE(kCard, 1, 500); // waits in the mailbox
    EXPECT_NE(second.Waiting().find("FIXED_MOVE (a packet) not taken"), std::string::npos) << second.Waiting();
    module->Advance(std::chrono::milliseconds(30)); // nothing moves: time passes, the spell goes on
    EXPECT_EQ(module->Axis(0).lp, 0);
    module->Advance(std::chrono::milliseconds(30));
    RunToStop();
    EXPECT_EQ(module->Axis(0).lp, 500);           // packet 2, taken after the spell
    Velkor_FIXED_MOVE(kCard, 1, 700);             // packet 3: dropped
    RunToStop();
    EXPECT_EQ(module->Axis(0).lp, 500);
    EXPECT_EQ(second.Waiting(), "");
    // What the host did last, for a program that hangs while polling.
    EXPECT_EQ(Velkor_GET_LP(kCard, 1), 500);
    const std::string where = second.Where();
    EXPECT_NE(where.find("slot 3: the mailbox is empty; last packet #"), std::string::npos) << where;
    EXPECT_NE(where.find("FIXED_MOVE axis=1 data=500 at "), std::string::npos) << where;
    EXPECT_NE(where.find("; last query GET_LP axis=1 -> 500 at "), std::string::npos) << where;
    EXPECT_NE(where.find("axes 1, 2, 3, 4 at rest\n"), std::string::npos) << where;
}

TEST_F(ScenarioRun, AnExitCodeCheckPassesOnTheCodeKnownAndAModuleIsWatchedOnce)
{
    std::string error;
    ASSERT_TRUE(velkor_sim::ParseScenario("[slot.3]\n[[check]]\nexit_code = 0\n", "t.toml", scenario, error));
    const struct {
        int code;
        bool known;
        bool passed;
        const char* measured;
    } ends[] = {
        {0, true, true, "exit code 0"},
        {3, true, false, "exit code 3"},
        {0, false, false, "exit code not known"}, // ended by a signal or the time limit
    };
    for (const auto& e : ends) {
        const auto results = velkor_sim::ScenarioRun(scenario).Finish(e.code, e.known);
        ASSERT_EQ(results.size(), 1u);
        EXPECT_EQ(results[0].passed, e.passed) << e.measured;
        EXPECT_EQ(results[0].measured, e.measured);
    }
    velkor_sim::VirtualModule other;
    const struct {
        velkor_sim::VirtualModule* module;
        std::uint8_t slot;
        const char* refusal; // nullptr: attached
    } attachments[] = {
        {module.get(), 3, nullptr},
        {module.get(), 3, "the module is attached already"},
        {&other, 5, "the scenario has no [slot.5]"},
    };
    velkor_sim::ScenarioRun watched(scenario);
    for (const auto& a : attachments) {
        error.clear();
        EXPECT_EQ(watched.Attach(a.slot, *a.module, error), a.refusal == nullptr) << error;
        EXPECT_EQ(error, a.refusal != nullptr ? a.refusal : "");
    }
    watched.Finish(0, true);
    EXPECT_FALSE(watched.Attach(3, other, error));
    EXPECT_EQ(error, "the run has finished");
}

TEST_F(ScenarioRun, TheDrivesDynamicsSetFromTheFileShowInTheFollowingError)
{
    // A 20 Hz loop with ζ 0.7 lags by about 2ζv/ω = 111 pulses at 10000 pulses/s,
    // more with the dead time (142.4 measured); the default (no lag) would show 0.
    const auto results = Run(R"([slot.3.axis.1.drive]
natural_frequency = 20
damping = 0.7
dead_time = 3
backlash = 2
encoder_noise = 0.5
noise_seed = 7
following_limit = 1000
[[check]]
following_error = { axis = 1, max = 150 }
[[check]]
following_error = { axis = 1, max = 100 }
[[check]]
errors = { axis = 1, forbidden = "servo_alarm" }
)",
                             10000, 2000);
    const velkor_sim::MachineAxis& m = scenario.slots[0].machine[0];
    EXPECT_EQ(m.naturalFrequency, 20);
    EXPECT_EQ(m.damping, 0.7);
    EXPECT_EQ(m.deadTime, 3);
    EXPECT_EQ(m.backlash, 2);
    EXPECT_EQ(m.encoderNoise, 0.5);
    EXPECT_EQ(m.noiseSeed, 7u);
    EXPECT_EQ(m.followingLimit, 1000);
    ASSERT_EQ(results.size(), 3u);
    EXPECT_TRUE(results[0].passed) << results[0].measured;
    EXPECT_FALSE(results[1].passed) << results[1].measured;
    EXPECT_TRUE(results[2].passed) << results[2].measured;
}

} // namespace
} // namespace velkor_sim_test
