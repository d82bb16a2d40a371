// Reading a scenario file (velkor_sim/scenario.h) with toml++: the parser
// reports the line and column of a syntax error, and every node it returns
// knows where it stood, so each refusal here names the place and the field.
// The [run] and [slot.N] tables are read here; the typed fields and the
// refusals in toml_reader.h; the [[event]] and [[check]] tables in
// event_tables.cpp.
#include "velkor_sim/module_list.h"
#include "velkor_sim/scenario.h"

#include "scenarios/event_tables.h"
#include "scenarios/names.h"
#include "scenarios/pre_scan.h"
#include "scenarios/toml_reader.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace velkor_sim {
namespace scenario_file {
namespace {

void ReadRun(const Reader& r, const toml::table& run, Scenario& s)
{
    r.OnlyKnown(run, "run", {"name", "time_limit"});
    if (const toml::node* n = Get(run, "name")) {
        s.name = r.String(*n, "run.name");
    }
    if (const toml::node* n = Get(run, "time_limit")) {
        s.timeLimit = r.Number(*n, "run.time_limit", 0, 86400, true);
    }
}

void ReadSwitches(const Reader& r, const toml::table& t, const std::string& path, MachineAxis& m)
{
    r.OnlyKnown(t, path, {"plus_limit", "minus_limit", "home", "near_home", "normally_closed"});
    if (const toml::node* n = Get(t, "plus_limit")) {
        m.plusLimit = r.Position(*n, path + ".plus_limit");
    }
    if (const toml::node* n = Get(t, "minus_limit")) {
        m.minusLimit = r.Position(*n, path + ".minus_limit");
    }
    for (const char* key : {"home", "near_home"}) {
        const toml::node* n = Get(t, key);
        if (n == nullptr) {
            continue;
        }
        const std::string field = path + "." + key;
        const toml::array* pair = n->as_array();
        if (pair == nullptr || pair->size() != 2) {
            r.Refuse(n->source(), field, "expected [FROM, TO], two positions in pulses");
        }
        const std::int32_t from = r.Position(*pair->get(0), field);
        const std::int32_t to = r.Position(*pair->get(1), field);
        if (from > to) {
            r.Refuse(n->source(), field, "FROM " + std::to_string(from) + " is above TO " + std::to_string(to));
        }
        (std::string(key) == "home" ? m.homeFrom : m.nearHomeFrom) = from;
        (std::string(key) == "home" ? m.homeTo : m.nearHomeTo) = to;
    }
    if (const toml::node* n = Get(t, "normally_closed")) {
        m.normallyClosed = r.Mask<std::uint16_t>(*n, path + ".normally_closed", InputNames(), 0x7F);
    }
    if (m.minusLimit >= m.plusLimit) {
        r.Refuse(t.source(), path, "minus_limit " + std::to_string(m.minusLimit) + " must be below plus_limit " +
                                       std::to_string(m.plusLimit));
    }
}

void ReadAxis(const Reader& r, const toml::table& t, const std::string& path, ScenarioSlot& slot, int axis)
{
    r.OnlyKnown(t, path, {"switches", "encoder", "drive", "general_inputs", "drive_alarm"});
    MachineAxis& m = slot.machine[axis];
    if (const toml::node* n = Get(t, "switches")) {
        ReadSwitches(r, r.Table(*n, path + ".switches"), path + ".switches", m);
    }
    if (const toml::node* n = Get(t, "encoder")) {
        const std::string p = path + ".encoder";
        const toml::table& e = r.Table(*n, p);
        r.OnlyKnown(e, p, {"index_pitch", "index_phase", "ratio"});
        if (const toml::node* v = Get(e, "index_pitch")) {
            m.indexPitch = static_cast<std::int32_t>(r.Integer(*v, p + ".index_pitch", 0, INT32_MAX));
        }
        if (const toml::node* v = Get(e, "index_phase")) {
            m.indexPhase = r.Position(*v, p + ".index_phase");
        }
        if (const toml::node* v = Get(e, "ratio")) {
            m.encoderRatio = r.Number(*v, p + ".ratio", 0, 1e6, true);
        }
    }
    if (const toml::node* n = Get(t, "drive")) {
        const std::string p = path + ".drive";
        const toml::table& d = r.Table(*n, p);
        r.OnlyKnown(d, p,
                    {"following_time", "in_position_band", "natural_frequency", "damping", "dead_time", "backlash",
                     "encoder_noise", "noise_seed", "following_limit"});
        // The ranges are the ones the module runs on (docs/virtual-module.md).
        const auto number = [&](const char* key, double& into, double low, double high, bool lowOpen = false) {
            if (const toml::node* v = Get(d, key)) {
                into = r.Number(*v, p + "." + key, low, high, lowOpen);
            }
        };
        number("following_time", m.followingTime, 0, 1000);
        number("in_position_band", m.inPositionBand, 0, 1e9);
        number("natural_frequency", m.naturalFrequency, 0, 1e5);
        number("damping", m.damping, 0, 1000, true);
        number("backlash", m.backlash, 0, 1e9);
        number("encoder_noise", m.encoderNoise, 0, 1e9);
        number("following_limit", m.followingLimit, 0, 1e12);
        if (const toml::node* v = Get(d, "dead_time")) {
            m.deadTime = static_cast<std::int32_t>(r.Integer(*v, p + ".dead_time", 0, 1000));
        }
        if (const toml::node* v = Get(d, "noise_seed")) {
            m.noiseSeed = static_cast<std::uint32_t>(r.Integer(*v, p + ".noise_seed", 0, UINT32_MAX));
        }
    }
    if (const toml::node* n = Get(t, "general_inputs")) {
        const std::string p = path + ".general_inputs";
        const toml::array* list = n->as_array();
        if (list == nullptr) {
            r.Refuse(n->source(), p, "expected a list of input bits 8 to 15");
        }
        for (const toml::node& bit : *list) {
            slot.inputs[axis] = static_cast<std::uint16_t>(slot.inputs[axis] | 1u << r.Integer(bit, p, 8, 15));
        }
    }
    if (const toml::node* n = Get(t, "drive_alarm")) {
        slot.driveAlarm[axis] = r.Boolean(*n, path + ".drive_alarm");
    }
}

void ReadSlot(const Reader& r, const toml::key& key, const toml::node& node, Scenario& s)
{
    const std::string path = "slot." + std::string(key.str());
    long number = 0;
    const std::string text(key.str());
    if (text.size() != 1 || text[0] < '1' || text[0] > '7') {
        r.Refuse(key.source(), path, "the slot '" + text + "' is out of range 1 to 7");
    }
    number = text[0] - '0';
    const toml::table& t = r.Table(node, path);
    r.OnlyKnown(t, path, {"id", "firmware", "clock", "speed", "latency", "axis"});
    ScenarioSlot slot;
    slot.slot = static_cast<std::uint8_t>(number);
    slot.line = static_cast<int>(t.source().begin.line);
    // The options go through the module list's own reader, so that both
    // forms take the same values.
    for (const char* option : {"id", "firmware", "clock", "speed", "latency"}) {
        const toml::node* n = Get(t, option);
        if (n == nullptr) {
            continue;
        }
        std::ostringstream value;
        if (n->is_string()) {
            value << n->as_string()->get();
        } else if (n->is_integer()) {
            value << n->as_integer()->get();
        } else if (n->is_floating_point()) {
            value.precision(17);
            value << n->as_floating_point()->get();
        } else {
            r.Refuse(n->source(), path + "." + option, "expected a string or a number");
        }
        slot.options += "," + std::string(option) + "=" + value.str();
        std::vector<ModuleSpec> one;
        std::string why;
        if (!ParseModule(std::to_string(number) + slot.options, one, why)) {
            const std::string::size_type colon = why.find("': ");
            r.Refuse(n->source(), path + "." + option, colon == std::string::npos ? why : why.substr(colon + 3));
        }
        slot.module = one[0].options;
    }
    if (const toml::node* n = Get(t, "axis")) {
        const toml::table& axes = r.Table(*n, path + ".axis");
        for (auto&& entry : axes) {
            const std::string a(entry.first.str());
            const std::string p = path + ".axis." + a;
            if (a.size() != 1 || a[0] < '1' || a[0] > '4') {
                r.Refuse(entry.first.source(), p, "the axis '" + a + "' is out of range 1 to 4");
            }
            ReadAxis(r, r.Table(entry.second, p), p, slot, a[0] - '1');
        }
    }
    s.slots.push_back(slot);
}
template <typename Each>
void ForEachTable(const Reader& r, const toml::node& node, const std::string& key, Each each)
{
    const toml::array* list = node.as_array();
    if (list == nullptr) {
        r.Refuse(node.source(), key, "expected [[" + key + "]] tables");
    }
    for (std::size_t i = 0; i < list->size(); ++i) {
        const std::string path = key + "[" + std::to_string(i) + "]";
        each(r.Table(*list->get(i), path), path);
    }
}

void Read(const Reader& r, const toml::table& root, Scenario& s)
{
    r.OnlyKnown(root, "", {"run", "slot", "event", "check"});
    if (const toml::node* n = Get(root, "run")) {
        ReadRun(r, r.Table(*n, "run"), s);
    }
    if (const toml::node* n = Get(root, "slot")) {
        for (auto&& entry : r.Table(*n, "slot")) {
            ReadSlot(r, entry.first, entry.second, s);
        }
    }
    EventNames names;
    if (const toml::node* n = Get(root, "event")) {
        ForEachTable(r, *n, "event", [&](const toml::table& t, const std::string& p) { ReadEvent(r, t, p, s, names); });
    }
    if (const toml::node* n = Get(root, "check")) {
        ForEachTable(r, *n, "check", [&](const toml::table& t, const std::string& p) { ReadCheck(r, t, p, s, names); });
    }
}

} // namespace
} // namespace scenario_file

const ScenarioSlot* Scenario::Slot(std::uint8_t slot) const
{
    for (const ScenarioSlot& s : slots) {
        if (s.slot == slot) {
            return &s;
        }
    }
    return nullptr;
}

bool ParseScenario(const std::string& text, const std::string& source, Scenario& out, std::string& error)
{
    Scenario s;
    const std::string::size_type slash = source.find_last_of("/\\");
    s.name = slash == std::string::npos ? source : source.substr(slash + 1);
    const scenario_file::Reader reader(source);
    if (text.size() > scenario_file::kMaxScenarioBytes) {
        error = source + ": more than " + std::to_string(scenario_file::kMaxScenarioBytes >> 20) +
                " MiB: a scenario is read only up to that size";
        return false;
    }
    const scenario_file::ScanProblem problem = scenario_file::PreScan(text);
    if (problem.at != 0) {
        std::size_t line = 1, column = 1;
        for (std::size_t i = 0; i + 1 < problem.at && i < text.size(); ++i) {
            if (text[i] == '\n') {
                ++line;
                column = 1;
            } else if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) {
                ++column; // one a character, not a byte
            }
        }
        error = source + ":" + std::to_string(line) + ":" + std::to_string(column) + ": " + problem.what;
        return false;
    }
    try {
        const toml::table root = toml::parse(text, source);
        scenario_file::Read(reader, root, s);
    } catch (const toml::parse_error& e) {
        std::ostringstream where;
        where << source << ':' << e.source().begin.line << ':' << e.source().begin.column << ": "
              << e.description();
        error = where.str();
        return false;
    } catch (const scenario_file::Refusal& refusal) {
        error = refusal.text;
        return false;
    } catch (const std::exception& e) {
        error = source + ": " + e.what();
        return false;
    }
    out = std::move(s);
    return true;
}

bool LoadScenario(const std::string& path, Scenario& out, std::string& error)
{
    // Only a regular file: a device (/dev/zero) would be read until memory
    // runs out, a FIFO would block the reader for ever. The read is bounded
    // too, for a file that grows or is swapped after the check.
    std::error_code why;
    const std::filesystem::file_status status = std::filesystem::status(path, why);
    if (why || !std::filesystem::exists(status)) {
        error = path + ": cannot read the file" + (why ? ": " + why.message() : std::string());
        return false;
    }
    if (!std::filesystem::is_regular_file(status)) {
        error = path + ": not a regular file (a scenario is read from a file, not a device, FIFO or folder)";
        return false;
    }
    const std::uintmax_t size = std::filesystem::file_size(path, why);
    if (!why && size > scenario_file::kMaxScenarioBytes) {
        error = path + ": " + std::to_string(size) + " bytes, more than " +
                std::to_string(scenario_file::kMaxScenarioBytes >> 20) + " MiB: a scenario is read only up to that size";
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = path + ": cannot read the file";
        return false;
    }
    // As much as the file said it holds, and a byte more to see it grew.
    std::string text(static_cast<std::size_t>(why ? 0 : size) + 1, '\0');
    std::size_t got = 0;
    while (in && got <= scenario_file::kMaxScenarioBytes) {
        if (got == text.size()) {
            text.resize(std::min(text.size() * 2, scenario_file::kMaxScenarioBytes + 1));
        }
        in.read(&text[got], static_cast<std::streamsize>(text.size() - got));
        got += static_cast<std::size_t>(in.gcount());
        if (got == scenario_file::kMaxScenarioBytes + 1) {
            break;
        }
    }
    text.resize(got);
    return ParseScenario(text, path, out, error);
}

} // namespace velkor_sim
