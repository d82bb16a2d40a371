// The virtual module's scope on the manual clock: the samples of a known move
// as CSV, the triggers, the ring and the settings it refuses.
#include "sim_fixture.h"

#include <velkor_sim/scope.h>

#include <Velkor.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <sstream>
#include <string>

namespace velkor_sim_test {
namespace {

using velkor_sim::ScopeSample;
using velkor_sim::ScopeSettings;
using velkor_sim::TriggerKind;

constexpr std::uint8_t kCard = 0;
constexpr double kStep = 0.001; // the module's motion step, one sample at the default rate

class Scope : public SimTest {
protected:
    void SetUp() override
    {
        SimTest::SetUp();
        ASSERT_EQ(Velkor_REGISTRATION(kCard, kSlot), 1);
        Velkor_SET_LP(kCard, 0x0F, 0);
        // A trapezoid of 10000 pulses: up from 100 to 10000 pulses/s in
        // 0.099 s over 499.95 pulses, 0.90001 s at 10000, and down again:
        // 1.09801 s in all.
        Velkor_SET_SV(kCard, 0x0F, 100);
        Velkor_SET_V(kCard, 0x0F, 10000);
        Velkor_SET_A(kCard, 0x0F, 100000);
        module.Advance(std::chrono::microseconds(0));
    }
    void TearDown() override
    {
        Velkor_CLEAR_STOP(kCard);
        SimTest::TearDown();
    }
    void MoveAndStop(std::uint8_t axes, std::int32_t distance)
    {
        Velkor_FIXED_MOVE(kCard, axes, distance);
        ASSERT_TRUE(module.AdvanceUntilStopped(axes, std::chrono::seconds(30)));
    }
};

// The CSV as columns by name.
std::map<std::string, std::vector<double>> ReadCsv(const std::string& text)
{
    std::istringstream in(text);
    std::string line;
    std::getline(in, line);
    std::vector<std::string> names;
    std::istringstream header(line);
    for (std::string name; std::getline(header, name, ',');) {
        names.push_back(name);
    }
    std::map<std::string, std::vector<double>> columns;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::size_t i = 0;
        for (std::string field; std::getline(fields, field, ','); ++i) {
            columns[names.at(i)].push_back(std::stod(field));
        }
    }
    return columns;
}

TEST_F(Scope, KnownMoveGivesItsPeakSpeedAndDurationInTheCsv)
{
    ASSERT_TRUE(module.StartScope(ScopeSettings{}));
    MoveAndStop(1, 10000);
    std::ostringstream csv;
    velkor_sim::WriteScopeCsv(csv, kSlot, module.TakeScope(), true);
    const auto columns = ReadCsv(csv.str());
    ASSERT_EQ(columns.count("axis1_speed"), 1u);
    const std::vector<double>& time = columns.at("time_s");
    const std::vector<double>& speed = columns.at("axis1_speed");
    ASSERT_GT(time.size(), 1000u);
    EXPECT_NEAR(*std::max_element(speed.begin(), speed.end()), 10000.0, 100.0); // one sample of acceleration
    // Moving from the first sample with speed to the last: the profile's time, within a sample each end.
    const auto first = std::find_if(speed.begin(), speed.end(), [](double v) { return v > 0; }) - speed.begin();
    const auto last = speed.rend() - std::find_if(speed.rbegin(), speed.rend(), [](double v) { return v > 0; }) - 1;
    EXPECT_NEAR(time[last] - time[first] + kStep, 1.09801, 2 * kStep);
    EXPECT_EQ(columns.at("axis1_lp").back(), 10000);
    EXPECT_EQ(columns.at("axis1_ep").back(), 10000);
    EXPECT_EQ(columns.at("axis2_lp").back(), 0);
    EXPECT_EQ(columns.at("slot").front(), kSlot);
    // A sample every step, evenly.
    for (std::size_t i = 1; i < time.size(); ++i) {
        ASSERT_NEAR(time[i] - time[i - 1], kStep, 1e-6) << "sample " << i;
    }
}

TEST_F(Scope, PositionTriggerStartsTheCaptureAtTheCrossing)
{
    ScopeSettings s;
    s.trigger.kind = TriggerKind::Position;
    s.trigger.axis = 0;
    s.trigger.position = 5000;
    ASSERT_TRUE(module.StartScope(s));
    MoveAndStop(1, 10000);
    const std::vector<ScopeSample> samples = module.TakeScope();
    ASSERT_FALSE(samples.empty());
    EXPECT_GE(samples.front().axes[0].lp, 5000);
    EXPECT_LE(samples.front().axes[0].lp, 5010); // one step at 10000 pulses/s
    const velkor_sim::ScopeState state = module.GetScopeState();
    EXPECT_TRUE(state.triggered);
    EXPECT_DOUBLE_EQ(state.triggerTime, samples.front().time);
    EXPECT_EQ(state.taken, samples.size());
    // Back over the position the other way: the trigger has fired already,
    // so the capture simply goes on.
    MoveAndStop(1, -10000);
    EXPECT_EQ(module.TakeScope().back().axes[0].lp, 0);
}

TEST_F(Scope, PositionTriggerFiresMovingDownToo)
{
    ScopeSettings s;
    s.trigger.kind = TriggerKind::Position;
    s.trigger.axis = 1;
    s.trigger.position = -2500;
    ASSERT_TRUE(module.StartScope(s));
    MoveAndStop(2, -4000);
    const std::vector<ScopeSample> samples = module.TakeScope();
    ASSERT_FALSE(samples.empty());
    EXPECT_LE(samples.front().axes[1].lp, -2500);
    EXPECT_GE(samples.front().axes[1].lp, -2510);
}

TEST_F(Scope, PretriggerKeepsTheSamplesBeforeTheTrigger)
{
    ScopeSettings s;
    s.pretrigger = 20;
    s.trigger.kind = TriggerKind::Position;
    s.trigger.position = 5000;
    ASSERT_TRUE(module.StartScope(s));
    MoveAndStop(1, 10000);
    const std::vector<ScopeSample> samples = module.TakeScope();
    ASSERT_GT(samples.size(), 21u);
    const double trigger = module.GetScopeState().triggerTime;
    EXPECT_NEAR(samples[20].time, trigger, 1e-9);
    EXPECT_NEAR(trigger - samples.front().time, 20 * kStep, 1e-6);
    EXPECT_LT(samples[19].axes[0].lp, 5000);
}

TEST_F(Scope, InputEdgeTriggerFiresOnTheEdgeAsked)
{
    ScopeSettings s;
    s.trigger.kind = TriggerKind::InputEdge;
    s.trigger.axis = 2;
    s.trigger.input = 3;
    s.trigger.edge = velkor_sim::Edge::Falling;
    module.SetInputs(2, 1u << 3);
    ASSERT_TRUE(module.StartScope(s));
    Velkor_CONTINUE_MOVE(kCard, 1, 1);
    module.Advance(100ms);
    module.SetInputs(2, 1u << 3 | 1u << 5); // another bit: no edge of bit 3
    module.Advance(100ms);
    EXPECT_FALSE(module.GetScopeState().triggered);
    const double edgeAt = module.Now();
    module.SetInputs(2, 0); // the falling edge
    module.Advance(50ms);
    const std::vector<ScopeSample> samples = module.TakeScope();
    ASSERT_FALSE(samples.empty());
    EXPECT_NEAR(samples.front().time, edgeAt + kStep, 1e-6);
    EXPECT_EQ(samples.front().axes[2].inputs, 0);
    EXPECT_NEAR(static_cast<double>(samples.size()), 50, 1);
    Velkor_STOP_SUDDENLY(kCard, 1);
    module.Advance(1ms);
}

TEST_F(Scope, DriveStartTriggerWaitsForAnAxisAsked)
{
    ScopeSettings s;
    s.trigger.kind = TriggerKind::DriveStart;
    s.trigger.axes = 2; // axis index 1
    ASSERT_TRUE(module.StartScope(s));
    MoveAndStop(1, 1000); // another axis: no trigger
    EXPECT_FALSE(module.GetScopeState().triggered);
    EXPECT_TRUE(module.TakeScope().empty());
    MoveAndStop(2, 3000);
    const std::vector<ScopeSample> samples = module.TakeScope();
    ASSERT_FALSE(samples.empty());
    // The first step of the move, at the start speed: a tenth of a pulse.
    EXPECT_GT(samples.front().axes[1].speed, 0);
    EXPECT_LE(samples.front().axes[1].lp, 1);
    EXPECT_EQ(samples.back().axes[1].lp, 3000);
}

TEST_F(Scope, DurationEndsTheCapture)
{
    ScopeSettings s;
    s.duration = 0.1;
    ASSERT_TRUE(module.StartScope(s));
    MoveAndStop(1, 10000);
    const std::vector<ScopeSample> samples = module.TakeScope();
    EXPECT_NEAR(static_cast<double>(samples.size()), 100, 1);
    EXPECT_FALSE(module.GetScopeState().running);
}

TEST_F(Scope, SlowerRateSamplesEveryPeriod)
{
    ScopeSettings s;
    s.period = 0.01;
    ASSERT_TRUE(module.StartScope(s));
    MoveAndStop(1, 10000);
    const std::vector<ScopeSample> samples = module.TakeScope();
    ASSERT_GT(samples.size(), 100u);
    for (std::size_t i = 1; i < samples.size(); ++i) {
        ASSERT_NEAR(samples[i].time - samples[i - 1].time, 0.01, 1e-6) << "sample " << i;
    }
}

TEST_F(Scope, FullRingKeepsTheNewestAndCountsTheLost)
{
    ScopeSettings s;
    s.capacity = 100;
    ASSERT_TRUE(module.StartScope(s));
    MoveAndStop(1, 10000);
    const velkor_sim::ScopeState state = module.GetScopeState();
    EXPECT_EQ(state.waiting, 100u);
    EXPECT_EQ(state.lost, state.taken - 100);
    const std::vector<ScopeSample> samples = module.TakeScope();
    ASSERT_EQ(samples.size(), 100u);
    EXPECT_EQ(samples.back().axes[0].lp, 10000);
    EXPECT_EQ(module.GetScopeState().waiting, 0u);
}

TEST_F(Scope, NothingIsSampledWhileStopped)
{
    ASSERT_TRUE(module.StartScope(ScopeSettings{}));
    module.StopScope();
    MoveAndStop(1, 1000);
    EXPECT_TRUE(module.TakeScope().empty());
    EXPECT_FALSE(module.GetScopeState().running);
}

TEST_F(Scope, SettingsOutOfRangeAreRefusedAndChangeNothing)
{
    ScopeSettings good;
    good.capacity = 10;
    ASSERT_TRUE(module.StartScope(good));
    struct Case {
        const char* what;
        void (*change)(ScopeSettings&);
    };
    const Case cases[] = {
        {"period 0", [](ScopeSettings& s) { s.period = 0; }},
        {"period NaN", [](ScopeSettings& s) { s.period = std::nan(""); }},
        {"capacity 0", [](ScopeSettings& s) { s.capacity = 0; }},
        {"capacity too large", [](ScopeSettings& s) { s.capacity = (std::size_t{1} << 22) + 1; }},
        {"pretrigger above capacity", [](ScopeSettings& s) { s.pretrigger = s.capacity + 1; }},
        {"negative duration", [](ScopeSettings& s) { s.duration = -1; }},
        {"axis 4", [](ScopeSettings& s) { s.trigger.axis = 4; }},
        {"axis -1", [](ScopeSettings& s) { s.trigger.axis = -1; }},
        {"input 16", [](ScopeSettings& s) { s.trigger.input = 16; }},
        {"drive start on no axis",
         [](ScopeSettings& s) {
             s.trigger.kind = TriggerKind::DriveStart;
             s.trigger.axes = 0x10;
         }},
    };
    for (const Case& c : cases) {
        ScopeSettings s;
        c.change(s);
        EXPECT_FALSE(module.StartScope(s)) << c.what;
    }
    MoveAndStop(1, 1000);
    EXPECT_EQ(module.GetScopeState().waiting, 10u); // the good capture went on
}

} // namespace
} // namespace velkor_sim_test
