// Reading a scenario file (velkor_sim/scenario.h) with toml++: the parser
// reports the line and column of a syntax error, and every node it returns
// knows where it stood, so each refusal here names the place and the field.
#include "velkor_sim/module_list.h"
#include "velkor_sim/scenario.h"

#include "scenarios/names.h"

#include <toml++/toml.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <sstream>

namespace velkor_sim {
namespace {

using Keys = std::initializer_list<const char*>;

// A refusal: thrown inside the reader, caught at its entry point.
struct Refusal {
    std::string text;
};

std::size_t Distance(const std::string& a, const std::string& b)
{
    std::vector<std::size_t> row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j) {
        row[j] = j;
    }
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

class Reader {
public:
    explicit Reader(std::string source) : source_(std::move(source)) {}

    [[noreturn]] void Refuse(const toml::source_region& where, const std::string& field, const std::string& what) const
    {
        std::ostringstream text;
        text << source_ << ':' << where.begin.line << ':' << where.begin.column << ": ";
        if (!field.empty()) {
            text << field << ": ";
        }
        text << what;
        throw Refusal{text.str()};
    }

    // Every key of `table` must be one of `known`.
    void OnlyKnown(const toml::table& table, const std::string& path, Keys known) const
    {
        for (auto&& entry : table) {
            const std::string key(entry.first.str());
            if (std::find_if(known.begin(), known.end(), [&](const char* k) { return key == k; }) != known.end()) {
                continue;
            }
            std::string best;
            std::size_t bestDistance = 4;
            std::string all;
            for (const char* k : known) {
                all += (all.empty() ? "" : ", ") + std::string(k);
                const std::size_t d = Distance(key, k);
                if (d < bestDistance) {
                    bestDistance = d;
                    best = k;
                }
            }
            Refuse(entry.first.source(), Join(path, key),
                   "unknown key" + (best.empty() ? " (known: " + all + ")" : "; did you mean '" + best + "'?"));
        }
    }

    static std::string Join(const std::string& path, const std::string& key)
    {
        return path.empty() ? key : path + "." + key;
    }

    const toml::table& Table(const toml::node& node, const std::string& field) const
    {
        if (!node.is_table()) {
            Refuse(node.source(), field, "expected a table");
        }
        return *node.as_table();
    }

    std::int64_t Integer(const toml::node& node, const std::string& field, std::int64_t low, std::int64_t high) const
    {
        if (!node.is_integer()) {
            Refuse(node.source(), field, "expected a whole number from " + std::to_string(low) + " to " +
                                             std::to_string(high));
        }
        const std::int64_t v = node.as_integer()->get();
        if (v < low || v > high) {
            Refuse(node.source(), field,
                   std::to_string(v) + " is out of range " + std::to_string(low) + " to " + std::to_string(high));
        }
        return v;
    }

    // A number in [low, high] (lowOpen: more than low).
    double Number(const toml::node& node, const std::string& field, double low, double high, bool lowOpen = false) const
    {
        double v = 0;
        if (node.is_integer()) {
            v = static_cast<double>(node.as_integer()->get());
        } else if (node.is_floating_point()) {
            v = node.as_floating_point()->get();
        } else {
            Refuse(node.source(), field, "expected a number");
        }
        if (!std::isfinite(v) || v > high || (lowOpen ? v <= low : v < low)) {
            std::ostringstream range;
            range << (lowOpen ? "more than " : "") << low << " to " << high;
            std::ostringstream value;
            value << v;
            Refuse(node.source(), field, value.str() + " is out of range " + range.str());
        }
        return v;
    }

    bool Boolean(const toml::node& node, const std::string& field) const
    {
        if (!node.is_boolean()) {
            Refuse(node.source(), field, "expected true or false");
        }
        return node.as_boolean()->get();
    }

    std::string String(const toml::node& node, const std::string& field) const
    {
        if (!node.is_string()) {
            Refuse(node.source(), field, "expected a string");
        }
        return node.as_string()->get();
    }

    std::int32_t Position(const toml::node& node, const std::string& field) const
    {
        return static_cast<std::int32_t>(Integer(node, field, INT32_MIN, INT32_MAX));
    }

    // A name from `names`, a number, or an array of them, as a bit mask.
    template <typename Bits>
    Bits Mask(const toml::node& node, const std::string& field, const std::vector<Named>& names, Bits all) const
    {
        if (const toml::array* list = node.as_array()) {
            Bits mask = 0;
            for (const toml::node& one : *list) {
                mask = static_cast<Bits>(mask | Mask(one, field, names, all));
            }
            return mask;
        }
        if (node.is_integer()) {
            return static_cast<Bits>(Integer(node, field, 0, all));
        }
        const std::string name = String(node, field);
        for (const Named& n : names) {
            if (name == n.name) {
                return static_cast<Bits>(n.bits);
            }
        }
        Refuse(node.source(), field, "unknown name '" + name + "' (known: " + NameList(names) + ")");
    }

    int Axis(const toml::node& node, const std::string& field) const
    {
        return static_cast<int>(Integer(node, field, 1, kAxisCount)) - 1;
    }

    const std::string& Source() const { return source_; }

private:
    std::string source_;
};

// Where a control character stands (TOML allows none but tab), or a byte
// above ASCII outside a string or a comment, or after a line-ending
// backslash in a multi-line string: its offset + 1, or 0 when none.
// TOML allows neither, and toml++ 3.3's whitespace test reaches an
// unreachable branch for some of them (U+00A1..U+0499, U+FB66..U+FEFE), so
// they are refused before it sees them.
std::size_t StrayCharacter(const std::string& text)
{
    enum class In { Plain, Comment, Basic, Literal, MultiBasic, MultiLiteral, Trim };
    In in = In::Plain;
    char previous = '\n'; // the last plain character
    const std::size_t n = text.size();
    const auto at = [&](std::size_t i, const char* what) { return text.compare(i, std::strlen(what), what) == 0; };
    // A byte order mark at the start is the editor's, and toml++ skips it.
    for (std::size_t i = at(0, "\xEF\xBB\xBF") ? 3 : 0; i < n; ++i) {
        const char c = text[i];
        const auto u = static_cast<unsigned char>(c);
        const bool high = u >= 0x80;
        if ((u < 0x20 && c != '\t' && c != '\n' && c != '\r') || u == 0x7F) {
            return i + 1; // nowhere in TOML, and toml++ would part ways with this reading
        }
        switch (in) {
        case In::Plain: {
            if (high) {
                return i + 1;
            }
            // Only where a key or value may start does a quote open a string
            // (and a '#' a comment); inside a bare run toml++ reads on, so
            // such a character is kept to the plain rules here too.
            const bool starts = std::strchr(" \t\r\n=[{,", previous) != nullptr;
            previous = c;
            if (c == '#' && (starts || std::strchr("]}\"'", text[i - 1]) != nullptr)) {
                in = In::Comment;
            } else if (!starts) {
                break;
            } else if (at(i, "\"\"\"")) {
                in = In::MultiBasic;
                i += 2;
            } else if (at(i, "'''")) {
                in = In::MultiLiteral;
                i += 2;
            } else if (c == '"') {
                in = In::Basic;
            } else if (c == '\'') {
                in = In::Literal;
            }
            break;
        }
        case In::Comment:
            in = c == '\n' ? In::Plain : in;
            previous = c;
            break;
        case In::Basic:
            if (c == '\\') {
                ++i;
            } else if (c == '"' || c == '\n') {
                in = In::Plain;
                previous = c;
            }
            break;
        case In::Literal:
            in = c == '\'' || c == '\n' ? In::Plain : in;
            previous = c;
            break;
        case In::MultiBasic:
            if (c == '\\' && i + 1 < n && std::strchr(" \t\r\n", text[i + 1]) != nullptr) {
                in = In::Trim;
            } else if (c == '\\') {
                ++i;
            } else if (at(i, "\"\"\"")) {
                in = In::Plain;
                previous = c;
                i += 2;
            }
            break;
        case In::MultiLiteral:
            if (at(i, "'''")) {
                in = In::Plain;
                previous = c;
                i += 2;
            }
            break;
        case In::Trim:
            if (high) {
                return i + 1;
            }
            if (std::strchr(" \t\r\n", c) == nullptr) {
                in = In::MultiBasic;
                --i; // looked at again as the string's
            }
            break;
        }
    }
    return 0;
}

// A table's value for `key`, or null.
const toml::node* Get(const toml::table& table, const char* key) { return table.get(key); }

// The one key of `kinds` that `t` has: refused when it has none or several.
std::string OneOf(const Reader& r, const toml::table& t, const std::string& path, Keys kinds, const char* what)
{
    const char* kind = nullptr;
    std::string all;
    for (const char* k : kinds) {
        all += (all.empty() ? "" : ", ") + std::string(k);
        if (Get(t, k) != nullptr) {
            if (kind != nullptr) {
                r.Refuse(t.source(), path, std::string("one ") + what + " a table: both " + kind + " and " + k);
            }
            kind = k;
        }
    }
    if (kind == nullptr) {
        r.Refuse(t.source(), path, std::string("no ") + what + ": give one of " + all);
    }
    return kind;
}

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
        r.OnlyKnown(d, p, {"following_time", "in_position_band"});
        if (const toml::node* v = Get(d, "following_time")) {
            m.followingTime = r.Number(*v, p + ".following_time", 0, 1000);
        }
        if (const toml::node* v = Get(d, "in_position_band")) {
            m.inPositionBand = r.Number(*v, p + ".in_position_band", 0, 1e9);
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

// The slot an event or check is about: its own, else the only one.
std::uint8_t SlotOf(const Reader& r, const toml::table& t, const std::string& path, const Scenario& s)
{
    if (const toml::node* n = Get(t, "slot")) {
        const auto slot = static_cast<std::uint8_t>(r.Integer(*n, path + ".slot", 1, 7));
        if (s.Slot(slot) == nullptr) {
            r.Refuse(n->source(), path + ".slot", "the scenario has no [slot." + std::to_string(slot) + "]");
        }
        return slot;
    }
    if (s.slots.size() != 1) {
        r.Refuse(t.source(), path, s.slots.empty() ? "the scenario has no [slot.N] for it to act on"
                                                   : "several slots: say which with slot = N");
    }
    return s.slots[0].slot;
}

std::size_t EventIndex(const Reader& r, const toml::node& n, const std::string& field, const Scenario& s)
{
    const std::string name = r.String(n, field);
    for (std::size_t i = 0; i < s.events.size(); ++i) {
        if (s.events[i].name == name) {
            return i;
        }
    }
    r.Refuse(n.source(), field, "no event named '" + name + "' before this one");
}

ScenarioTrigger ReadTrigger(const Reader& r, const toml::table& t, const std::string& path, const Scenario& s,
                            std::uint8_t slot)
{
    r.OnlyKnown(t, path, {"time", "crosses", "axis", "direction", "output", "becomes", "factor", "packet", "after",
                          "delay"});
    OneOf(r, t, path, {"time", "crosses", "output", "factor", "packet", "after"}, "trigger");
    ScenarioTrigger w;
    const bool needsAxis = Get(t, "crosses") != nullptr || Get(t, "output") != nullptr;
    if (needsAxis) {
        const toml::node* axis = Get(t, "axis");
        if (axis == nullptr) {
            r.Refuse(t.source(), path + ".axis", "missing: the axis 1 to 4 to watch");
        }
        w.axis = r.Axis(*axis, path + ".axis");
    }
    const auto only = [&](const char* key, bool allowed) {
        if (const toml::node* n = Get(t, key)) {
            if (!allowed) {
                r.Refuse(n->source(), path + "." + key, "does not go with this trigger");
            }
        }
    };
    only("axis", needsAxis);
    only("direction", Get(t, "crosses") != nullptr);
    only("becomes", Get(t, "output") != nullptr);
    only("delay", Get(t, "after") != nullptr);
    if (const toml::node* n = Get(t, "time")) {
        w.kind = WhenKind::Time;
        w.time = r.Number(*n, path + ".time", 0, 1e9);
    } else if (const toml::node* n = Get(t, "crosses")) {
        w.kind = WhenKind::Crossing;
        w.position = r.Position(*n, path + ".crosses");
        if (const toml::node* d = Get(t, "direction")) {
            const std::string dir = r.String(*d, path + ".direction");
            if (dir != "up" && dir != "down" && dir != "either") {
                r.Refuse(d->source(), path + ".direction", "'" + dir + "' is not up, down or either");
            }
            w.direction = dir == "up" ? 1 : dir == "down" ? -1 : 0;
        }
    } else if (const toml::node* n = Get(t, "output")) {
        w.kind = WhenKind::Output;
        w.bit = static_cast<int>(r.Integer(*n, path + ".output", 0, 7));
        if (const toml::node* b = Get(t, "becomes")) {
            w.level = r.Boolean(*b, path + ".becomes") ? 1 : 0;
        }
    } else if (const toml::node* n = Get(t, "factor")) {
        w.kind = WhenKind::Factor;
        w.factors = r.Mask<std::uint8_t>(*n, path + ".factor", FactorNames(), 0xFF);
        if (w.factors == 0) {
            r.Refuse(n->source(), path + ".factor", "no factor bit: the event could never fire");
        }
    } else if (const toml::node* n = Get(t, "packet")) {
        w.kind = WhenKind::Packet;
        w.packet = static_cast<std::uint64_t>(r.Integer(*n, path + ".packet", 1, INT64_MAX));
    } else if (const toml::node* n = Get(t, "after")) {
        w.kind = WhenKind::After;
        w.after = EventIndex(r, *n, path + ".after", s);
        if (s.events[w.after].slot != slot) {
            r.Refuse(n->source(), path + ".after", "the event '" + s.events[w.after].name +
                                                       "' is in slot " + std::to_string(s.events[w.after].slot) +
                                                       ": events follow events of their own slot");
        }
        if (const toml::node* d = Get(t, "delay")) {
            w.time = r.Number(*d, path + ".delay", 0, 1e9);
        }
    }
    return w;
}

ScenarioAction ReadAction(const Reader& r, const toml::table& t, const std::string& path)
{
    r.OnlyKnown(t, path, {"input", "move_switch", "actuate", "drive_alarm", "jog", "handwheel", "busy",
                          "drop_next_packet", "stop_answering", "axis", "on", "at", "from", "to", "direction",
                          "counts"});
    const std::string k = OneOf(r, t, path, {"input", "move_switch", "actuate", "drive_alarm", "jog", "handwheel",
                                             "busy", "drop_next_packet", "stop_answering"},
                                "action");
    const toml::node& value = *Get(t, k.c_str());
    // The keys each action takes beside its own.
    std::vector<std::string> allowed;
    if (k == "input" || k == "actuate") {
        allowed = {"axis", "on"};
    } else if (k == "move_switch") {
        allowed = {"axis", "at", "from", "to"};
    } else if (k == "drive_alarm") {
        allowed = {"on"};
    } else if (k == "jog") {
        allowed = {"direction"};
    } else if (k == "handwheel") {
        allowed = {"counts"};
    }
    for (auto&& entry : t) {
        const std::string key(entry.first.str());
        if (key != k && std::find(allowed.begin(), allowed.end(), key) == allowed.end()) {
            r.Refuse(entry.first.source(), path + "." + key, "does not go with " + k);
        }
    }
    ScenarioAction a;
    const auto axis = [&] {
        const toml::node* n = Get(t, "axis");
        if (n == nullptr) {
            r.Refuse(t.source(), path + ".axis", "missing: the axis 1 to 4");
        }
        return r.Axis(*n, path + ".axis");
    };
    const auto on = [&] {
        const toml::node* n = Get(t, "on");
        return n == nullptr ? true : r.Boolean(*n, path + ".on");
    };
    const auto which = [&](const toml::node& n, const std::string& field) {
        const std::string name = r.String(n, field);
        for (const Named& s : SwitchNames()) {
            if (name == s.name) {
                return static_cast<SwitchKind>(s.bits);
            }
        }
        r.Refuse(n.source(), field, "unknown switch '" + name + "' (known: " + NameList(SwitchNames()) + ")");
    };
    const auto needed = [&](const char* key) -> const toml::node& {
        const toml::node* n = Get(t, key);
        if (n == nullptr) {
            r.Refuse(t.source(), path + "." + key, std::string("missing for ") + k);
        }
        return *n;
    };
    if (k == "input") {
        a.kind = ActionKind::Input;
        a.bit = static_cast<int>(r.Integer(value, path + ".input", 0, 15));
        a.axis = axis();
        a.on = on();
    } else if (k == "actuate") {
        a.kind = ActionKind::Actuate;
        a.which = which(value, path + ".actuate");
        a.axis = axis();
        a.on = on();
    } else if (k == "move_switch") {
        a.kind = ActionKind::MoveSwitch;
        a.which = which(value, path + ".move_switch");
        a.axis = axis();
        if (a.which == SwitchKind::PlusLimit || a.which == SwitchKind::MinusLimit) {
            if (Get(t, "from") != nullptr || Get(t, "to") != nullptr) {
                r.Refuse(t.source(), path, "a limit switch moves to one position: at = PULSES");
            }
            a.from = a.to = r.Position(needed("at"), path + ".at");
        } else {
            if (Get(t, "at") != nullptr) {
                r.Refuse(t.source(), path, "home and near_home span from = PULSES to to = PULSES");
            }
            a.from = r.Position(needed("from"), path + ".from");
            a.to = r.Position(needed("to"), path + ".to");
            if (a.from > a.to) {
                r.Refuse(t.source(), path + ".from", "from is above to");
            }
        }
    } else if (k == "drive_alarm") {
        a.kind = ActionKind::DriveAlarm;
        a.axis = r.Axis(value, path + ".drive_alarm");
        a.on = on();
    } else if (k == "jog") {
        a.kind = ActionKind::Jog;
        a.axis = r.Axis(value, path + ".jog");
        a.direction = static_cast<int>(r.Integer(needed("direction"), path + ".direction", -1, 1));
    } else if (k == "handwheel") {
        a.kind = ActionKind::Handwheel;
        a.axis = r.Axis(value, path + ".handwheel");
        a.counts = r.Position(needed("counts"), path + ".counts");
    } else if (k == "busy") {
        a.kind = ActionKind::Busy;
        a.seconds = r.Number(value, path + ".busy", 0, 1e6, true);
    } else if (k == "drop_next_packet" || k == "stop_answering") {
        if (!r.Boolean(value, path + "." + k)) {
            r.Refuse(value.source(), path + "." + k, "only true is meaningful (leave the action out)");
        }
        a.kind = k == "drop_next_packet" ? ActionKind::DropPacket : ActionKind::StopAnswering;
    }
    return a;
}

void ReadEvent(const Reader& r, const toml::table& t, const std::string& path, Scenario& s)
{
    r.OnlyKnown(t, path, {"name", "slot", "when", "do"});
    ScenarioEvent e;
    e.line = static_cast<int>(t.source().begin.line);
    e.name = "event " + std::to_string(s.events.size() + 1);
    if (const toml::node* n = Get(t, "name")) {
        e.name = r.String(*n, path + ".name");
        for (const ScenarioEvent& other : s.events) {
            if (other.name == e.name) {
                r.Refuse(n->source(), path + ".name", "a second event named '" + e.name + "'");
            }
        }
    }
    e.slot = SlotOf(r, t, path, s);
    const toml::node* when = Get(t, "when");
    if (when == nullptr) {
        r.Refuse(t.source(), path + ".when", "missing: what makes the event fire");
    }
    e.when = ReadTrigger(r, r.Table(*when, path + ".when"), path + ".when", s, e.slot);
    if (const toml::node* n = Get(t, "do")) {
        const toml::array* list = n->as_array();
        if (list == nullptr) {
            r.Refuse(n->source(), path + ".do", "expected a list of actions: do = [ { ... }, ... ]");
        }
        for (std::size_t i = 0; i < list->size(); ++i) {
            const std::string p = path + ".do[" + std::to_string(i) + "]";
            e.actions.push_back(ReadAction(r, r.Table(*list->get(i), p), p));
        }
    }
    s.events.push_back(e);
}

void ReadCheck(const Reader& r, const toml::table& t, const std::string& path, Scenario& s)
{
    r.OnlyKnown(t, path, {"name", "slot", "at", "lp", "ep", "errors", "following_error", "output", "factor",
                          "exit_code", "time"});
    const std::string k = OneOf(r, t, path, {"lp", "ep", "errors", "following_error", "output", "factor", "exit_code",
                                             "time"},
                                "check");
    const std::string p = path + "." + k;
    const toml::node& value = *Get(t, k.c_str());
    ScenarioCheck c;
    c.line = static_cast<int>(t.source().begin.line);
    if (const toml::node* n = Get(t, "at")) {
        const std::string at = r.String(*n, path + ".at");
        if (at != "end") {
            c.at = static_cast<int>(EventIndex(r, *n, path + ".at", s));
        }
    }
    if (k == "exit_code") {
        if (Get(t, "slot") != nullptr || c.at >= 0) {
            r.Refuse(t.source(), path, "the exit code is the program's, at its end: no slot, no at");
        }
        c.kind = CheckKind::ExitCode;
        c.value = r.Integer(value, p, 0, 255);
    } else {
        c.slot = SlotOf(r, t, path, s);
        if (c.at >= 0 && s.events[static_cast<std::size_t>(c.at)].slot != c.slot) {
            r.Refuse(Get(t, "at")->source(), path + ".at", "the event is in another slot");
        }
        const toml::table& f = r.Table(value, p);
        const auto axis = [&] {
            const toml::node* n = Get(f, "axis");
            if (n == nullptr) {
                r.Refuse(f.source(), p + ".axis", "missing: the axis 1 to 4");
            }
            return r.Axis(*n, p + ".axis");
        };
        if (k == "lp" || k == "ep") {
            r.OnlyKnown(f, p, {"axis", "value", "tolerance"});
            c.kind = k == "lp" ? CheckKind::Lp : CheckKind::Ep;
            c.axis = axis();
            const toml::node* v = Get(f, "value");
            if (v == nullptr) {
                r.Refuse(f.source(), p + ".value", "missing: the position in pulses");
            }
            c.value = r.Position(*v, p + ".value");
            if (const toml::node* tol = Get(f, "tolerance")) {
                c.tolerance = r.Integer(*tol, p + ".tolerance", 0, INT32_MAX);
            }
        } else if (k == "errors") {
            r.OnlyKnown(f, p, {"axis", "required", "forbidden", "ever"});
            c.kind = CheckKind::Errors;
            c.axis = axis();
            if (const toml::node* n = Get(f, "required")) {
                c.required = r.Mask<std::uint16_t>(*n, p + ".required", ErrorNames(), 0xFFFF);
            }
            if (const toml::node* n = Get(f, "forbidden")) {
                c.forbidden = r.Mask<std::uint16_t>(*n, p + ".forbidden", ErrorNames(), 0xFFFF);
            }
            if (const toml::node* n = Get(f, "ever")) {
                c.ever = r.Boolean(*n, p + ".ever");
            }
            if ((c.required & c.forbidden) != 0) {
                r.Refuse(f.source(), p, "a bit both required and forbidden");
            }
        } else if (k == "following_error") {
            r.OnlyKnown(f, p, {"axis", "max"});
            c.kind = CheckKind::FollowingError;
            c.axis = axis();
            const toml::node* n = Get(f, "max");
            if (n == nullptr) {
                r.Refuse(f.source(), p + ".max", "missing: the most in pulses");
            }
            c.most = r.Number(*n, p + ".max", 0, 1e9);
        } else if (k == "output") {
            r.OnlyKnown(f, p, {"axis", "bit", "on"});
            c.kind = CheckKind::Output;
            c.axis = axis();
            const toml::node* n = Get(f, "bit");
            if (n == nullptr) {
                r.Refuse(f.source(), p + ".bit", "missing: the output bit 0 to 7");
            }
            c.bit = static_cast<int>(r.Integer(*n, p + ".bit", 0, 7));
            if (const toml::node* on = Get(f, "on")) {
                c.on = r.Boolean(*on, p + ".on");
            }
        } else if (k == "factor") {
            r.OnlyKnown(f, p, {"bits", "seen"});
            c.kind = CheckKind::Factor;
            const toml::node* n = Get(f, "bits");
            if (n == nullptr) {
                r.Refuse(f.source(), p + ".bits", "missing: the factor names or bits");
            }
            c.factors = r.Mask<std::uint8_t>(*n, p + ".bits", FactorNames(), 0xFF);
            if (const toml::node* seen = Get(f, "seen")) {
                c.on = r.Boolean(*seen, p + ".seen");
            }
        } else { // time
            r.OnlyKnown(f, p, {"min", "max"});
            c.kind = CheckKind::Time;
            c.least = 0;
            c.most = 1e9;
            if (const toml::node* n = Get(f, "min")) {
                c.least = r.Number(*n, p + ".min", 0, 1e9);
            }
            if (const toml::node* n = Get(f, "max")) {
                c.most = r.Number(*n, p + ".max", 0, 1e9);
            }
            if (c.least > c.most) {
                r.Refuse(f.source(), p, "min is above max");
            }
        }
    }
    c.name = k + " " + std::to_string(s.checks.size() + 1);
    if (const toml::node* n = Get(t, "name")) {
        c.name = r.String(*n, path + ".name");
    }
    s.checks.push_back(c);
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
    if (const toml::node* n = Get(root, "event")) {
        ForEachTable(r, *n, "event", [&](const toml::table& t, const std::string& p) { ReadEvent(r, t, p, s); });
    }
    if (const toml::node* n = Get(root, "check")) {
        ForEachTable(r, *n, "check", [&](const toml::table& t, const std::string& p) { ReadCheck(r, t, p, s); });
    }
}

} // namespace

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
    const Reader reader(source);
    if (const std::size_t stray = StrayCharacter(text)) {
        std::size_t line = 1, column = 1;
        for (std::size_t i = 0; i + 1 < stray; ++i) {
            if (text[i] == '\n') {
                ++line;
                column = 1;
            } else if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) {
                ++column; // one a character, not a byte
            }
        }
        error = source + ":" + std::to_string(line) + ":" + std::to_string(column) +
                ": a control character, or a character beyond ASCII outside a string or a comment";
        return false;
    }
    try {
        const toml::table root = toml::parse(text, source);
        Read(reader, root, s);
    } catch (const toml::parse_error& e) {
        std::ostringstream where;
        where << source << ':' << e.source().begin.line << ':' << e.source().begin.column << ": "
              << e.description();
        error = where.str();
        return false;
    } catch (const Refusal& refusal) {
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
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = path + ": cannot read the file";
        return false;
    }
    std::ostringstream text;
    text << in.rdbuf();
    return ParseScenario(text.str(), path, out, error);
}

} // namespace velkor_sim
