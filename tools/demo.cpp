// velkor demo: a short motion session on a virtual module, written the way
// an application uses the library; only the set-up of the virtual module
// itself goes through the simulator's API.
#include "demo.h"

#include "module_report.h"
#include "path_picture.h"

#include <Velkor.h>
#include <velkor_sim/module_list.h>
#include <velkor_sim/virtual_module.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <thread>
#include <unistd.h>

namespace velkor_tool {
namespace {

constexpr std::uint8_t kCard = 0;
constexpr std::uint8_t kSlot = 3;
constexpr std::uint8_t kX = 1, kY = 2, kZ = 4, kXYZ = kX | kY | kZ;
constexpr double kFastScale = 10.0;

class Session {
public:
    Session(const DemoOptions& options, velkor_sim::VirtualModule& module)
        : options_(options), module_(module), tty_(isatty(STDOUT_FILENO) != 0)
    {
    }

    // The commanded position, kept by the application as it sends relative moves.
    void Commanded(double dx, double dy, double dz, const std::string& label)
    {
        target_ = {target_[0] + dx, target_[1] + dy, target_[2] + dz};
        marks_.push_back(Mark{target_, label});
    }

    // Polls the card until the selected axes have stopped, showing a status line.
    void WaitForStop(std::uint8_t axes, const char* what)
    {
        const auto start = std::chrono::steady_clock::now();
        auto lastLine = start - std::chrono::seconds(1);
        for (;;) {
            PrintTrace();
            const bool stopped = Velkor_STOP_WAIT(kCard, axes) == 1;
            const auto now = std::chrono::steady_clock::now();
            if (stopped || now - lastLine >= (tty_ ? std::chrono::milliseconds(100) : std::chrono::milliseconds(700))) {
                StatusLine(what, stopped);
                lastLine = now;
            }
            if (stopped) {
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(30));
        }
        PrintTrace();
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        std::printf("   done in %.2f s%s\n", seconds,
                    options_.fastAsPossible ? " (clock as fast as possible)"
                    : options_.fast         ? " (clock 10x faster than real time)"
                                            : "");
    }

    void PrintTrace()
    {
        module_.WaitSettled(); // what the host has handed over is in the log
        for (const velkor_sim::LogEntry& e : module_.TakeLog()) {
            if (options_.trace && e.kind == velkor_sim::LogEntry::Kind::Packet) {
                BreakStatusLine();
                std::printf("   trace packet %-5llu %s\n", static_cast<unsigned long long>(++packets_),
                            velkor_sim::Describe(e).c_str());
            } else if (options_.traceQueries && e.kind == velkor_sim::LogEntry::Kind::Exchange) {
                BreakStatusLine();
                std::printf("   trace query        %s\n", velkor_sim::Describe(e).substr(6).c_str());
            }
        }
    }

    // One line of the axes' positions and path speed. The same line is never
    // printed twice: on a terminal it is rewritten in place, elsewhere a line
    // that says nothing new is left out (a full circle ends where it began).
    void StatusLine(const char* what, bool final)
    {
        const std::int32_t x = Velkor_GET_LP(kCard, kX);
        const std::int32_t y = Velkor_GET_LP(kCard, kY);
        const std::int32_t z = Velkor_GET_LP(kCard, kZ);
        const double vx = Velkor_GET_CV(kCard, kX), vy = Velkor_GET_CV(kCard, kY), vz = Velkor_GET_CV(kCard, kZ);
        const double speed = std::sqrt(vx * vx + vy * vy + vz * vz);
        char line[160];
        std::snprintf(line, sizeof line, "   %-10s X %8d  Y %8d  Z %8d   speed %7.0f pulses/s", what, x, y, z, speed);
        if (tty_) {
            std::printf("\r\033[K%s%s", line, final ? "\n" : "");
            open_ = !final;
        } else if (line != lastLine_) {
            std::printf("%s\n", line);
        }
        lastLine_ = final ? std::string() : line;
        std::fflush(stdout);
    }

    std::vector<Mark>& marks() { return marks_; }

    // The scope's samples so far, and what they show of one axis's last move:
    // the highest speed and how long it moved.
    void TakeScope() { for (const auto& s : module_.TakeScope()) { scope_.push_back(s); } }
    const std::vector<velkor_sim::ScopeSample>& scope() const { return scope_; }
    void ShowProfile(int axis, std::size_t from)
    {
        TakeScope();
        double peak = 0, first = -1, last = -1;
        for (std::size_t i = from; i < scope_.size(); ++i) {
            const double v = scope_[i].axes[axis].speed;
            peak = std::max(peak, v);
            if (v > 0) {
                last = scope_[i].time;
                first = first < 0 ? scope_[i].time : first;
            }
        }
        if (first >= 0) {
            std::printf("   scope: up to %.0f pulses/s, moving for %.3f s of simulated time\n", peak,
                        last - first + 0.001);
        }
    }

private:
    // A trace line on a terminal goes above the status line being rewritten.
    void BreakStatusLine()
    {
        if (open_) {
            std::printf("\n");
            open_ = false;
        }
    }

    const DemoOptions& options_;
    velkor_sim::VirtualModule& module_;
    bool tty_;
    Point3 target_{{0, 0, 0}};
    std::vector<Mark> marks_;
    std::vector<velkor_sim::ScopeSample> scope_;
    std::uint64_t packets_ = 0;
    std::string lastLine_;
    bool open_ = false; // a status line without its line end is on the terminal
};

void Configure()
{
    // All four axes: a pulse ceiling, servo on, the single-axis speed profile.
    Velkor_SET_MAX_V(kCard, 0x0F, 100000);
    Velkor_SERVO_ON(kCard, 0x0F);
    Velkor_SET_SV(kCard, 0x0F, 500);
    Velkor_SET_V(kCard, 0x0F, 20000);
    Velkor_SET_A(kCard, 0x0F, 100000);
    Velkor_SET_D(kCard, 0x0F, 80000);
    Velkor_SET_SLMT(kCard, kXYZ, 200000, -200000, 1);
    Velkor_SET_LP(kCard, 0x0F, 0);
    Velkor_SET_EP(kCard, 0x0F, 0);
    // Interpolation over X, Y and Z with its vector profile.
    Velkor_AXIS_ASSIGN(kCard, kX, kY, kZ);
    Velkor_SET_VSV(kCard, 500);
    Velkor_SET_VV(kCard, 15000);
    Velkor_SET_VA(kCard, 100000);
    Velkor_SET_VD(kCard, 100000);
}

void Summary(velkor_sim::VirtualModule& module)
{
    std::printf("\nPositions and counters\n");
    std::printf("  axis        LP        EP   error code\n");
    for (std::uint8_t i = 0; i < 4; ++i) {
        const std::uint8_t axis = static_cast<std::uint8_t>(1u << i);
        std::printf("  %4u  %8d  %8d       0x%04X\n", unsigned(i + 1), Velkor_GET_LP(kCard, axis),
                    Velkor_GET_EP(kCard, axis), unsigned(Velkor_GET_ERROR_CODE(kCard, axis)));
    }
    std::printf("\n");
    std::fflush(stdout);
    PrintModuleReport(stdout, ReportOf(module, kSlot));
}

} // namespace

int RunDemo(const DemoOptions& options)
{
    velkor_sim::ModuleOptions moduleOptions;
    moduleOptions.clock = options.fastAsPossible ? velkor_sim::ClockKind::Fast : velkor_sim::ClockKind::RealTime;
    moduleOptions.timeScale = options.fast ? kFastScale : 1.0;
    moduleOptions.keepTrail = true;
    moduleOptions.keepLog = options.trace || options.traceQueries;
    velkor_sim::VirtualModule module(moduleOptions);
    if (!module.StartScope(options.scope)) {
        std::fprintf(stderr, "velkor: the scope cannot start with these settings\n");
        return 2;
    }
    if (!module.PlugInto(kSlot)) {
        std::fprintf(stderr, "velkor: cannot plug the virtual module into slot %u\n", unsigned(kSlot));
        return 1;
    }

    // ---- From here on, an application's code: Velkor.h only. ----
    const unsigned version = Velkor_GET_VERSION();
    std::printf("Velkor library %u.%u.%u, virtual module in slot %u\n", version >> 8, (version >> 4) & 0xF,
                version & 0xF, unsigned(kSlot));
    if (Velkor_REGISTRATION(kCard, kSlot) != 1) {
        std::fprintf(stderr, "velkor: card %u could not be registered on slot %u\n", unsigned(kCard), unsigned(kSlot));
        return 1;
    }
    const std::uint32_t fw = Velkor_GET_FW_VERSION(kCard);
    std::printf("Card %u registered on slot %u, firmware %u.%u.%u\n", unsigned(kCard), unsigned(kSlot),
                unsigned(fw >> 16), unsigned((fw >> 8) & 0xFF), unsigned(fw & 0xFF));

    Session session(options, module);
    std::printf("\nConfiguring axes 1 to 4 (X, Y, Z, U): MAX_V 100000, SV 500, V 20000, A 100000, D 80000\n");
    Configure();
    session.PrintTrace();

    std::printf("\n1. Fixed move: X by +20000 pulses with its trapezoidal speed profile\n");
    Velkor_FIXED_MOVE(kCard, kX, 20000);
    session.Commanded(20000, 0, 0, "1");
    session.WaitForStop(kX, "fixed");
    session.ShowProfile(0, 0);

    std::printf("\n2. Line in the XY plane by (-10000, +15000)\n");
    Velkor_LINE_2D(kCard, -10000, 15000);
    session.Commanded(-10000, 15000, 0, "2");
    session.WaitForStop(kXYZ, "line");

    std::printf("\n3. Full circle, counter-clockwise, centre 5000 below the start\n");
    Velkor_CIRCLE_CCW(kCard, 0, -5000);
    session.Commanded(0, 0, 0, "3");
    session.WaitForStop(kXYZ, "circle");

    std::printf("\n4. Arc in space from the start through (-3000, -1000, 3000) to (-6000, -4000, 0)\n");
    const POINT_3D mid{-3000, -1000, 3000};
    const POINT_3D end{-6000, -4000, 0};
    Velkor_DRV_HOLD(kCard, kXYZ); // let all chords arrive before the axes set off
    const std::int32_t estimate = Velkor_ARC_3D(kCard, kX, kY, kZ, &mid, &end, 2, 15000);
    Velkor_DRV_START(kCard, kXYZ);
    std::printf("   sent as chords of at most 2 pulses from the arc; %s %d\n",
                estimate >= 0 ? "time estimate (ms)" : "speed limit (pulses/s)", estimate >= 0 ? estimate : -estimate);
    session.Commanded(-6000, -4000, 0, "4");
    session.WaitForStop(kXYZ, "arc 3-D");

    std::printf("\n5. Continuous path of lines and arcs in space, held until all of it is in the module\n");
    Velkor_DRV_HOLD(kCard, kXYZ);
    Velkor_MIX_3D_INITIAL(kCard, kX, kY, kZ, 500, 12000, 100000);
    const POINT_3D none{0, 0, 0};
    const POINT_3D out{3000, 0, 0};
    const POINT_3D bendMid{2000, -2000, 1500};
    const POINT_3D bendEnd{0, -4000, 0};
    const POINT_3D back{-3000, 0, -1000};
    const POINT_3D turnMid{-2000, 2000, 0};
    const POINT_3D turnEnd{0, 4000, 0};
    Velkor_MIX_3D_CONTINUE(kCard, 0, 0, &out, &none, 0);
    session.Commanded(3000, 0, 0, "");
    Velkor_MIX_3D_CONTINUE(kCard, 0, 1, &bendMid, &bendEnd, 2);
    session.Commanded(0, -4000, 0, "");
    Velkor_MIX_3D_CONTINUE(kCard, 0, 0, &back, &none, 0);
    session.Commanded(-3000, 0, -1000, "");
    Velkor_MIX_3D_CONTINUE(kCard, 1, 1, &turnMid, &turnEnd, 2);
    session.Commanded(0, 4000, 0, "5");
    Velkor_DRV_START(kCard, kXYZ);
    session.WaitForStop(kXYZ, "path");

    Summary(module);
    // ---- End of the application's code. ----

    if (!options.svgFile.empty()) {
        Picture picture;
        picture.title = "velkor demo: the path the virtual module drove";
        picture.pathMeaning = "the path the virtual module drove (LP of X, Y and Z)";
        picture.markMeaning = "commanded end points of steps 1 to 5";
        PicturePath path{"slot 3", {}};
        for (const velkor_sim::TrailPoint& p : module.TakeTrail()) {
            path.points.push_back(Point3{{double(p.lp[0]), double(p.lp[1]), double(p.lp[2])}});
        }
        picture.paths.push_back(std::move(path));
        for (const Mark& m : session.marks()) {
            if (!m.label.empty()) {
                picture.marks.push_back(m);
            }
        }
        std::string error;
        if (!WritePathPicture(options.svgFile, picture, error)) {
            std::fprintf(stderr, "velkor: %s\n", error.c_str());
            return 1;
        }
        std::printf("\nPicture of the path written to %s\n", options.svgFile.c_str());
    }
    if (!options.scopeFile.empty()) {
        session.TakeScope();
        std::ofstream csv(options.scopeFile, std::ios::binary);
        velkor_sim::WriteScopeCsv(csv, kSlot, session.scope(), true);
        csv.close();
        if (!csv) {
            std::fprintf(stderr, "velkor: cannot write %s\n", options.scopeFile.c_str());
            return 1;
        }
        std::printf("Scope samples written to %s (draw them with: velkor plot %s --svg FILE)\n",
                    options.scopeFile.c_str(), options.scopeFile.c_str());
    }
    const velkor_sim::Counters c = module.GetCounters();
    return c.sequenceGaps == 0 && c.droppedPackets == 0 ? 0 : 1;
}

} // namespace velkor_tool
