// The tool's parts without a run: ticks, label placement, the path picture's
// marks, the scope CSV reader and the module report reader.
#include "module_report.h"
#include "output_file.h"
#include "path_picture.h"
#include "run_command.h"
#include "scope_plot.h"
#include "session_end.h"
#include "svg_canvas.h"

#include <velkor_sim/module_list.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <regex>
#include <string>

namespace velkor_tool {
namespace {

std::string TempFile(const std::string& name)
{
    return ::testing::TempDir() + "velkor_tool_" + name;
}

void Write(const std::string& file, const std::string& text)
{
    std::ofstream out(file, std::ios::binary);
    out << text;
}

TEST(Ticks, RoundStepsThatCoverTheRange)
{
    struct Case {
        double low, high;
        int most;
        double step;
    };
    const Case cases[] = {
        {0, 10, 6, 2}, {0, 1, 6, 0.2}, {-200000, 200000, 6, 100000}, {3, 7, 6, 1},
        {0.001, 7.3, 7, 2}, {-1, 1, 6, 0.5}, {1000, 1000.5, 6, 0.1},
    };
    for (const Case& c : cases) {
        const Ticks t = NiceTicks(c.low, c.high, c.most);
        EXPECT_DOUBLE_EQ(t.step, c.step) << c.low << ".." << c.high;
        ASSERT_FALSE(t.at.empty());
        EXPECT_LE(static_cast<int>(t.at.size()), c.most) << c.low << ".." << c.high;
        EXPECT_GE(t.at.front(), c.low - 1e-9);
        EXPECT_LE(t.at.back(), c.high + 1e-9);
        EXPECT_LT(t.at.front() - c.low, t.step + 1e-9);
        EXPECT_LT(c.high - t.at.back(), t.step + 1e-9);
    }
    // A range of nothing still gives one tick, never a loop without end.
    EXPECT_EQ(NiceTicks(5, 5, 6).at.size(), 1u);
    EXPECT_EQ(NiceTicks(0, std::nan(""), 6).at.size(), 1u);
}

TEST(Ticks, TextHasTheDecimalsTheStepNeeds)
{
    EXPECT_EQ(TickText(20000, 5000), "20000");
    EXPECT_EQ(TickText(-0.5, 0.5), "-0.5");
    EXPECT_EQ(TickText(0.004, 0.002), "0.004");
    EXPECT_EQ(TickText(3, 1), "3");
}

TEST(Labels, NeverOverprintOneAnother)
{
    const Box area{0, 0, 200, 120};
    LabelPlacer placer(area, 11);
    std::vector<Box> boxes;
    int placed = 0;
    // Forty labels at one point: each is placed clear of the others, or not at all.
    for (int i = 0; i < 40; ++i) {
        const std::string text = "label " + std::to_string(i);
        const LabelPlacer::Placed p = placer.Place(100, 60, text);
        if (!p.placed) {
            continue;
        }
        ++placed;
        const Box b{p.x, p.y - 11, TextWidth(text, 11), 13};
        EXPECT_TRUE(b.Inside(area)) << text;
        for (const Box& other : boxes) {
            EXPECT_FALSE(b.Overlaps(other)) << text;
        }
        boxes.push_back(b);
    }
    EXPECT_GE(placed, 8);
    EXPECT_LT(placed, 40); // the area is full: the rest are left out, not piled up
}

TEST(Labels, KeepClearOfObstacles)
{
    LabelPlacer placer(Box{0, 0, 300, 300}, 11);
    const Box marker{145, 145, 10, 10};
    placer.Obstacle(marker);
    const LabelPlacer::Placed p = placer.Place(150, 150, "start");
    ASSERT_TRUE(p.placed);
    EXPECT_FALSE((Box{p.x, p.y - 11, TextWidth("start", 11), 13}).Overlaps(marker));
}

TEST(PathPicture, MarksAtOnePointShareOneLabel)
{
    Picture picture;
    picture.title = "t";
    picture.paths.push_back(PicturePath{"slot 3", {{{0, 0, 0}}, {{100, 0, 0}}, {{100, 100, 0}}}});
    picture.marks.push_back(Mark{{{100, 100, 0}}, "2"});
    picture.marks.push_back(Mark{{{100, 100, 0}}, "3"});
    const std::string svg = PathPictureSvg(picture);
    EXPECT_NE(svg.find(">2, 3</text>"), std::string::npos);
    EXPECT_EQ(svg.find(">2</text>"), std::string::npos);
    // A path in XY: the XY view alone, with its line, its start marker and
    // the coordinates in pulses on both axes.
    const std::regex polyline("<polyline class=\"p0\"");
    EXPECT_EQ(std::distance(std::sregex_iterator(svg.begin(), svg.end(), polyline), std::sregex_iterator()), 1);
    EXPECT_NE(svg.find("X (pulses)"), std::string::npos);
    EXPECT_NE(svg.find("Y (pulses)"), std::string::npos);
    EXPECT_NE(svg.find("class=\"start\""), std::string::npos);
}

TEST(PathPicture, DrawsTheViewsInWhichSomethingMoved)
{
    struct Case {
        Point3 to;
        const char* views; // the views drawn, in order
    };
    const Case cases[] = {
        {{{5, 7, 0}}, "XY"},        {{{5, 0, 7}}, "XZ"}, {{{0, 5, 7}}, "YZ"}, {{{5, 7, 9}}, "XY XZ YZ"},
        {{{5, 0, 0}}, "XY"},        {{{0, 0, 5}}, "XZ"}, {{{0, 5, 0}}, "XY"}, {{{0, 0, 0}}, "XY"},
    };
    for (const Case& c : cases) {
        Picture picture;
        picture.paths.push_back(PicturePath{"p", {{{0, 0, 0}}, c.to}});
        const std::string svg = PathPictureSvg(picture);
        std::string views;
        const std::regex view(">(XY|XZ|YZ) view");
        for (auto it = std::sregex_iterator(svg.begin(), svg.end(), view); it != std::sregex_iterator(); ++it) {
            views += (views.empty() ? "" : " ") + (*it)[1].str();
        }
        EXPECT_EQ(views, c.views) << c.to[0] << "," << c.to[1] << "," << c.to[2];
    }
}

TEST(PathPicture, PlaneViewComesFirst)
{
    Picture picture;
    picture.paths.push_back(PicturePath{"arc", {{{0, 0, 0}}, {{0, 10, 10}}}});
    PlaneView plane;
    plane.u = {{0, 1, 0}};
    plane.v = {{0, 0, 1}};
    plane.caption = "own plane";
    plane.uName = "u";
    plane.vName = "v";
    picture.plane = plane;
    const std::string svg = PathPictureSvg(picture);
    const auto own = svg.find(">own plane<");
    ASSERT_NE(own, std::string::npos);
    EXPECT_LT(own, svg.find("YZ view"));
    EXPECT_EQ(svg.find("XY view"), std::string::npos); // X never moved
    EXPECT_NE(svg.find(">u (pulses)<"), std::string::npos);
}

TEST(ScopeCsv, ReadsTheSamplesOfEachSlotApart)
{
    const std::string file = TempFile("two_slots.csv");
    Write(file, "time_s,slot,axis1_lp,axis1_speed\n0.001,3,1,100\n0.001,5,7,50\n0.002,3,2,200\n");
    std::map<unsigned, ScopeColumns> slots;
    std::string error;
    ASSERT_TRUE(ReadScopeCsv(file, slots, error)) << error;
    ASSERT_EQ(slots.size(), 2u);
    EXPECT_EQ(slots[3]["axis1_lp"], (std::vector<double>{1, 2}));
    EXPECT_EQ(slots[5]["axis1_speed"], (std::vector<double>{50}));
    const std::string svg = ScopePlotSvg("title", slots);
    EXPECT_NE(svg.find("Slot 3, axis 1: speed"), std::string::npos);
    EXPECT_NE(svg.find("Slot 5, axis 1: position"), std::string::npos);
    std::remove(file.c_str());
}

TEST(ScopeCsv, RefusesWhatIsNotAScopeCsv)
{
    struct Case {
        const char* text;
        const char* message;
    };
    const Case cases[] = {
        {"", "is empty"},
        {"a,b,c\n1,2,3\n", "is not a scope CSV"},
        {"time_s,slot,axis1_lp\n", "has no samples"},
        {"time_s,slot,axis1_lp\n0.1,3\n", "line 2: 2 fields, not 3"},
        {"time_s,slot,axis1_lp\n0.1,3,1\n0.2,3,x\n", "line 3: 'x' is not a number"},
        {"time_s,slot,axis1_lp\n0.1,3,inf\n", "'inf' is not a number"},
    };
    const std::string file = TempFile("bad.csv");
    for (const Case& c : cases) {
        Write(file, c.text);
        std::map<unsigned, ScopeColumns> slots;
        std::string error;
        EXPECT_FALSE(ReadScopeCsv(file, slots, error)) << c.text;
        EXPECT_NE(error.find(c.message), std::string::npos) << c.text << ": " << error;
    }
    std::remove(file.c_str());
    std::map<unsigned, ScopeColumns> slots;
    std::string error;
    EXPECT_FALSE(ReadScopeCsv(TempFile("no_such.csv"), slots, error));
    EXPECT_NE(error.find("cannot read"), std::string::npos);
}

// Polylines of one class in the picture.
int Polylines(const std::string& svg, const std::string& cssClass)
{
    int n = 0;
    for (auto at = svg.find("<polyline class=\"" + cssClass + "\""); at != std::string::npos;
         at = svg.find("<polyline class=\"" + cssClass + "\"", at + 1)) {
        ++n;
    }
    return n;
}

TEST(ScopePlot, DrawsTheChannelsChosenAndEpOnlyWhereItDiffers)
{
    std::map<unsigned, ScopeColumns> slots;
    ScopeColumns& c = slots[3];
    c["time_s"] = {0.001, 0.002, 0.003};
    c["axis1_lp"] = {0, 5, 10};
    c["axis1_ep"] = {0, 5, 10};
    c["axis1_speed"] = {5000, 5000, 5000};
    struct Case {
        PlotChannels channels;
        bool epDiffers;
        int lp, ep, speed; // series drawn
    };
    const Case cases[] = {
        {{}, false, 1, 0, 1}, // EP equal to LP is not drawn over it
        {{}, true, 1, 1, 1},
        {{true, false, false}, true, 1, 0, 0},
        {{false, true, true}, false, 0, 1, 1}, // EP asked for alone is drawn
        {{false, false, true}, true, 0, 0, 1},
    };
    for (const Case& k : cases) {
        c["axis1_ep"] = k.epDiffers ? std::vector<double>{0, 4, 9} : c["axis1_lp"];
        const std::string svg = ScopePlotSvg("t", slots, k.channels);
        EXPECT_EQ(Polylines(svg, "lp"), k.lp) << svg;
        EXPECT_EQ(Polylines(svg, "ep"), k.ep) << svg;
        EXPECT_EQ(Polylines(svg, "speed"), k.speed) << svg;
        EXPECT_EQ(svg.find("where it differs") != std::string::npos, k.channels.lp && k.channels.ep) << svg;
    }
}

TEST(ScopePlot, SpeedIsSignedAndThinningKeepsEveryColumnsExtremes)
{
    EXPECT_EQ(SignedSpeed({5, 5, 4, 2, 2, 3, 3, 3, 2}, {0, 100, 100, 200, 50, 100, 0, 80, 90}),
              (std::vector<double>{0, -100, -100, -200, -50, 100, 0, -80, -90}));
    std::vector<double> time;
    std::vector<double> values;
    for (int i = 0; i < 100000; ++i) {
        time.push_back(i * 0.001);
        values.push_back(i == 54321 ? 900 : i == 7777 ? -300 : 10);
    }
    const auto thinned = Thin(time, values, 400);
    EXPECT_LE(thinned.size(), 4u * 400);
    double low = 0;
    double high = 0;
    for (const auto& point : thinned) {
        low = std::min(low, point.second);
        high = std::max(high, point.second);
    }
    EXPECT_EQ(high, 900); // a one-sample spike survives
    EXPECT_EQ(low, -300);
    EXPECT_EQ(thinned.front().first, 0);
    EXPECT_EQ(thinned.back().first, time.back());
}

TEST(ModuleReport, ReadsWhatTheModuleWrote)
{
    const std::string file = TempFile("slot-5.txt");
    Write(file, "slot 5\ntime 1.25\npackets 12\nexchanges 30\nreads 100\nwrites 200\ngaps 1\ndrops 2\n"
                "unsimulated 3\nunused 63 2 HOME_START\nunused 250 1 code 250\naxis 1 5000 4990 0x1000\n"
                "axis 4 -7 -7 0x0000\nio 1 0x81 0x8041 -250\naxis 2 1 1 0xZZ\nio 3 0x100 0 0\n");
    ModuleReport r;
    ASSERT_TRUE(ReadModuleReport(file, r));
    EXPECT_EQ(r.slot, 5u);
    EXPECT_DOUBLE_EQ(r.time, 1.25);
    EXPECT_EQ(r.counters.packetsTaken, 12u);
    EXPECT_EQ(r.counters.exchangesAnswered, 30u);
    EXPECT_EQ(r.counters.sequenceGaps, 1u);
    EXPECT_EQ(r.counters.droppedPackets, 2u);
    EXPECT_EQ(r.counters.unsimulated, 3u);
    ASSERT_EQ(r.unused.size(), 2u);
    EXPECT_EQ(r.unused[0], (std::pair<std::string, std::uint32_t>{"HOME_START", 2}));
    EXPECT_EQ(r.unused[1], (std::pair<std::string, std::uint32_t>{"code 250", 1}));
    EXPECT_TRUE(r.hasAxes);
    EXPECT_EQ(r.axes[0].lp, 5000);
    EXPECT_EQ(r.axes[0].ep, 4990);
    EXPECT_EQ(r.axes[0].errorCode, 0x1000);
    EXPECT_EQ(r.axes[3].lp, -7);
    EXPECT_TRUE(r.hasIo);
    EXPECT_EQ(r.axes[0].outputs, 0x81);
    EXPECT_EQ(r.axes[0].inputs, 0x8041);
    EXPECT_EQ(r.axes[0].latch, -250);
    EXPECT_EQ(r.axes[1].errorCode, 0); // damaged lines are passed over
    EXPECT_EQ(r.axes[2].outputs, 0);
    // The summary names the module's error bits.
    r.axes[2].errorCode = 0x0048;
    std::FILE* printed = std::tmpfile();
    ASSERT_NE(printed, nullptr);
    PrintModuleReport(printed, r);
    std::rewind(printed);
    std::string summary(4096, '\0');
    summary.resize(std::fread(&summary[0], 1, summary.size(), printed));
    std::fclose(printed);
    EXPECT_NE(summary.find("0x1000 packet_missing\n"), std::string::npos) << summary;
    EXPECT_NE(summary.find("0x0048 bad_command servo_alarm\n"), std::string::npos) << summary;
    EXPECT_NE(summary.find("       0x0000\n"), std::string::npos) << summary;
    Write(file, "packets 12\n"); // no slot: not a report
    EXPECT_FALSE(ReadModuleReport(file, r));
    std::remove(file.c_str());
    EXPECT_FALSE(ReadModuleReport(TempFile("slot-9.txt"), r));
}

TEST(OutputFile, CheckingLeavesNoFileBehind)
{
    const std::string file = TempFile("checked.svg");
    std::remove(file.c_str());
    std::string error;
    EXPECT_TRUE(CheckWritable(file, error)) << error;
    EXPECT_FALSE(std::ifstream(file).good());
    // A file that exists keeps its content.
    Write(file, "keep");
    EXPECT_TRUE(CheckWritable(file, error));
    std::ifstream in(file);
    std::string content;
    in >> content;
    EXPECT_EQ(content, "keep");
    std::remove(file.c_str());
    EXPECT_FALSE(CheckWritable(TempFile("no-such-folder/x.svg"), error));
    EXPECT_NE(error.find("cannot write"), std::string::npos);
    EXPECT_FALSE(CheckWritable("", error));
}

// velkor run hands the scope settings to the modules as text: what they read
// back is what was given, trigger and all.
TEST(ScopeSettingsText, TheModulesReadBackWhatWasGiven)
{
    const char* const triggers[] = {"", "position:1:-2147483648", "input:3:15:falling", "input:4:0:either",
                                    "start:1+4", "start:1+2+3+4", "path"};
    for (const char* trigger : triggers) {
        velkor_sim::ScopeSettings given;
        given.period = 0.000123;
        given.duration = 2.5;
        given.capacity = 1000;
        given.pretrigger = 10;
        std::string error;
        ASSERT_TRUE(*trigger == '\0' || velkor_sim::ParseScopeTrigger(trigger, given.trigger, error)) << error;
        velkor_sim::ScopeSettings read;
        ASSERT_TRUE(velkor_sim::ParseScopeSettings(ScopeSettingsText(given), read, error)) << error;
        EXPECT_EQ(read.period, given.period) << trigger;
        EXPECT_EQ(read.duration, given.duration) << trigger;
        EXPECT_EQ(read.capacity, given.capacity) << trigger;
        EXPECT_EQ(read.pretrigger, given.pretrigger) << trigger;
        EXPECT_EQ(read.trigger.kind, given.trigger.kind) << trigger;
        EXPECT_EQ(read.trigger.axis, given.trigger.axis) << trigger;
        EXPECT_EQ(read.trigger.position, given.trigger.position) << trigger;
        EXPECT_EQ(read.trigger.input, given.trigger.input) << trigger;
        EXPECT_EQ(read.trigger.edge, given.trigger.edge) << trigger;
        EXPECT_EQ(read.trigger.axes, given.trigger.axes) << trigger;
    }
}

} // namespace
// A session file that ends without its end line (the program was killed)
// is cut back to its last whole line and given an end line saying why; one
// that ended as it should, or that the monitor itself ended as incomplete,
// is left as it is.
TEST(SessionEnd, ACutSessionIsEndedAndSaysSo)
{
    const std::string file = testing::TempDir() + "/session-end.jsonl";
    const std::string header = "{\"type\":\"session\",\"protocol\":\"velkor-monitor\"}\n";
    const std::string sample = "{\"type\":\"sample\",\"slot\":3,\"time\":1.25}\n";
    const struct {
        std::string text;
        std::string cut;      // SessionCut's verdict afterwards ("": complete)
        std::string lastLine; // the file's last line afterwards
    } rows[] = {
        {header + sample + "{\"type\":\"end\",\"time\":1.25}\n", "", "{\"type\":\"end\",\"time\":1.25}"},
        {header + sample + "{\"type\":\"sam", "the recording was cut: killed",
         "{\"type\":\"end\",\"time\":1.25,\"incomplete\":\"killed\"}"},
        {header + sample, "the recording was cut: killed", "{\"type\":\"end\",\"time\":1.25,\"incomplete\":\"killed\"}"},
        {header + "{\"type\":\"end\",\"time\":0.5,\"incomplete\":\"No space left on device\"}\n",
         "the recording was cut: No space left on device",
         "{\"type\":\"end\",\"time\":0.5,\"incomplete\":\"No space left on device\"}"},
        {"", "the recording was cut: nothing was recorded", ""},
    };
    for (const auto& row : rows) {
        std::string error;
        ASSERT_TRUE(velkor_tool::WriteWholeFile(file, row.text, error)) << error;
        EXPECT_EQ(velkor_tool::EndSessionFile(file, "killed"), row.cut) << row.text;
        std::ifstream in(file);
        std::string line, last;
        while (std::getline(in, line)) {
            last = line;
        }
        EXPECT_EQ(last, row.lastLine) << row.text;
        EXPECT_EQ(velkor_tool::SessionCut(file), row.cut);
    }
    std::remove(file.c_str());
}

} // namespace velkor_tool
