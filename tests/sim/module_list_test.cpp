// The text forms of modules and scope settings (velkor_sim/module_list.h),
// as `velkor run` and the environment give them.
#include <velkor_sim/module_list.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace velkor_sim_test {
namespace {

using velkor_sim::ModuleSpec;

TEST(ModuleList, ReadsSlotsAndOptions)
{
    std::vector<ModuleSpec> modules;
    std::string error;
    ASSERT_TRUE(velkor_sim::ParseModuleList("3,speed=20,latency=150;5,id=U,firmware=2.5.1;7", modules, error)) << error;
    ASSERT_EQ(modules.size(), 3u);
    EXPECT_EQ(modules[0].slot, 3);
    EXPECT_EQ(modules[0].options.clock, velkor_sim::ClockKind::RealTime);
    EXPECT_DOUBLE_EQ(modules[0].options.timeScale, 20.0);
    EXPECT_EQ(modules[0].options.takeLatency, std::chrono::microseconds(150));
    EXPECT_EQ(modules[1].slot, 5);
    EXPECT_EQ(modules[1].options.id, 'U');
    EXPECT_EQ(modules[1].options.firmwareVersion, 0x00020501u);
    EXPECT_EQ(modules[2].slot, 7);
    EXPECT_DOUBLE_EQ(modules[2].options.timeScale, 1.0);
    EXPECT_EQ(modules[2].options.id, 'D');
}

TEST(ModuleList, ReadsTheClock)
{
    std::vector<ModuleSpec> modules;
    std::string error;
    ASSERT_TRUE(velkor_sim::ParseModuleList("3,clock=fast;4,speed=20,clock=fast;5,clock=fast,clock=real-time", modules,
                                            error))
        << error;
    ASSERT_EQ(modules.size(), 3u);
    EXPECT_EQ(modules[0].options.clock, velkor_sim::ClockKind::Fast);
    EXPECT_DOUBLE_EQ(modules[0].options.timeScale, 1.0);
    EXPECT_EQ(modules[1].options.clock, velkor_sim::ClockKind::Fast);
    EXPECT_DOUBLE_EQ(modules[1].options.timeScale, 20.0); // the pace while the program commands
    EXPECT_EQ(modules[2].options.clock, velkor_sim::ClockKind::RealTime); // the last one given holds
}

TEST(ModuleList, EmptyListGivesNoModule)
{
    std::vector<ModuleSpec> modules;
    std::string error;
    EXPECT_TRUE(velkor_sim::ParseModuleList("", modules, error));
    EXPECT_TRUE(modules.empty());
}

TEST(ModuleList, RefusesWhatIsNotAModuleAndKeepsTheListAsItWas)
{
    struct Case {
        const char* text;
        const char* message;
    };
    const Case cases[] = {
        {"0", "slot '0' is out of range 1 to 7"},
        {"8", "slot '8' is out of range 1 to 7"},
        {"x", "slot 'x' is out of range 1 to 7"},
        {"3;", "slot '' is out of range 1 to 7"},
        // Numbers in their one plain form only.
        {"+3", "slot '+3' is out of range 1 to 7"},
        {" 3", "slot ' 3' is out of range 1 to 7"},
        {"03", "slot '03' is out of range 1 to 7"},
        {"3 ", "slot '3 ' is out of range 1 to 7"},
        {"3,latency=+5", "latency '+5' is out of range"},
        {"3,latency=007", "latency '007' is out of range"},
        {"3,speed=0", "speed 0 is out of range"},
        {"3,speed=1001", "speed 1001 is out of range"},
        {"3,speed=fast", "speed must be a number"},
        {"3,speed=nan", "speed must be a number"},
        {"3,latency=1000001", "latency '1000001' is out of range 0 to 1000000"},
        {"3,latency=", "latency '' is out of range"},
        {"3,firmware=1.2", "firmware must be MAJOR.MINOR.PATCH"},
        {"3,firmware=1.2.256", "firmware must be MAJOR.MINOR.PATCH"},
        {"3,id=u", "id must be D or U"},
        {"3,colour=red", "unknown module option 'colour=red'"},
        {"3,clock=manual", "clock must be real-time or fast, not 'manual'"},
        {"3,clock=", "clock must be real-time or fast, not ''"},
        {"3,clock", "clock must be real-time or fast"},
        {"3;3", "slot 3 already has a module"},
        {"4;5,speed=-1", "speed -1 is out of range"},
    };
    for (const Case& c : cases) {
        std::vector<ModuleSpec> modules(1);
        modules[0].slot = 1;
        std::string error;
        EXPECT_FALSE(velkor_sim::ParseModuleList(c.text, modules, error)) << c.text;
        EXPECT_NE(error.find(c.message), std::string::npos) << c.text << ": " << error;
        EXPECT_EQ(modules.size(), 1u) << c.text; // nothing added, not even the good part of the list
    }
}

TEST(ModuleList, ReadsScopeSettingsOverTheDefaults)
{
    velkor_sim::ScopeSettings s;
    std::string error;
    ASSERT_TRUE(velkor_sim::ParseScopeSettings("period=0.005,capacity=1000,pretrigger=10,duration=2.5,"
                                               "trigger=input:2:7:either",
                                               s, error))
        << error;
    EXPECT_DOUBLE_EQ(s.period, 0.005);
    EXPECT_EQ(s.capacity, 1000u);
    EXPECT_EQ(s.pretrigger, 10u);
    EXPECT_DOUBLE_EQ(s.duration, 2.5);
    EXPECT_EQ(s.trigger.kind, velkor_sim::TriggerKind::InputEdge);
    EXPECT_EQ(s.trigger.axis, 1);
    EXPECT_EQ(s.trigger.input, 7);
    EXPECT_EQ(s.trigger.edge, velkor_sim::Edge::Either);

    velkor_sim::ScopeSettings defaults;
    ASSERT_TRUE(velkor_sim::ParseScopeSettings("", defaults, error));
    EXPECT_DOUBLE_EQ(defaults.period, 0.001);
    EXPECT_EQ(defaults.trigger.kind, velkor_sim::TriggerKind::None);
}

TEST(ModuleList, ReadsEachTrigger)
{
    struct Case {
        const char* text;
        velkor_sim::TriggerKind kind;
        int axis;
        std::int32_t position;
        std::uint8_t input;
        velkor_sim::Edge edge;
        std::uint8_t axes;
    };
    using K = velkor_sim::TriggerKind;
    using E = velkor_sim::Edge;
    const Case cases[] = {
        {"position:1:5000", K::Position, 0, 5000, 0, E::Rising, 0x0F},
        {"position:4:-2147483648", K::Position, 3, INT32_MIN, 0, E::Rising, 0x0F},
        {"input:3:15", K::InputEdge, 2, 0, 15, E::Rising, 0x0F},
        {"input:1:0:falling", K::InputEdge, 0, 0, 0, E::Falling, 0x0F},
        {"start", K::DriveStart, 0, 0, 0, E::Rising, 0x0F},
        {"start:2", K::DriveStart, 0, 0, 0, E::Rising, 0x02},
        {"start:1+4", K::DriveStart, 0, 0, 0, E::Rising, 0x09},
        {"path", K::PathStart, 0, 0, 0, E::Rising, 0x0F},
    };
    for (const Case& c : cases) {
        velkor_sim::ScopeTrigger t;
        std::string error;
        ASSERT_TRUE(velkor_sim::ParseScopeTrigger(c.text, t, error)) << c.text << ": " << error;
        EXPECT_EQ(t.kind, c.kind) << c.text;
        EXPECT_EQ(t.axis, c.axis) << c.text;
        EXPECT_EQ(t.position, c.position) << c.text;
        EXPECT_EQ(t.input, c.input) << c.text;
        EXPECT_EQ(t.edge, c.edge) << c.text;
        EXPECT_EQ(t.axes, c.axes) << c.text;
    }
}

TEST(ModuleList, RefusesScopeSettingsOutOfRange)
{
    const char* const cases[] = {
        "period=0",          "period=3601",          "period=x",          "capacity=0",
        "capacity=4194305",  "pretrigger=-1",        "duration=-1",       "colour=red",
        "trigger=position:0:1", "trigger=position:5:1", "trigger=position:1:2147483648", "trigger=input:1:16",
        "trigger=input:1:2:up", "trigger=start:0",    "trigger=start:1+5", "trigger=halt", "trigger=path:1",
        "capacity=10,pretrigger=11",
    };
    for (const char* text : cases) {
        velkor_sim::ScopeSettings s;
        s.period = 0.25; // kept when the text is refused
        std::string error;
        EXPECT_FALSE(velkor_sim::ParseScopeSettings(text, s, error)) << text;
        EXPECT_FALSE(error.empty()) << text;
        EXPECT_DOUBLE_EQ(s.period, 0.25) << text;
    }
}

} // namespace
} // namespace velkor_sim_test
