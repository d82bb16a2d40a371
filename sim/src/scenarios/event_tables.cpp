// Reading the [[event]] and [[check]] tables of a scenario file
// (event_tables.h).
#include "scenarios/event_tables.h"

namespace velkor_sim {
namespace scenario_file {
namespace {

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

std::size_t EventIndex(const Reader& r, const toml::node& n, const std::string& field, const EventNames& names)
{
    const std::string name = r.String(n, field);
    const auto found = names.find(name);
    if (found == names.end()) {
        r.Refuse(n.source(), field, "no event named '" + name + "' before this one");
    }
    return found->second;
}

ScenarioTrigger ReadTrigger(const Reader& r, const toml::table& t, const std::string& path, const Scenario& s,
                            const EventNames& names, std::uint8_t slot)
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
        w.after = EventIndex(r, *n, path + ".after", names);
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
} // namespace

void ReadEvent(const Reader& r, const toml::table& t, const std::string& path, Scenario& s, EventNames& names)
{
    r.OnlyKnown(t, path, {"name", "slot", "when", "do"});
    ScenarioEvent e;
    e.line = static_cast<int>(t.source().begin.line);
    e.name = "event " + std::to_string(s.events.size() + 1);
    if (const toml::node* n = Get(t, "name")) {
        e.name = r.String(*n, path + ".name");
        if (names.count(e.name) != 0) {
            r.Refuse(n->source(), path + ".name", "a second event named '" + e.name + "'");
        }
    }
    e.slot = SlotOf(r, t, path, s);
    const toml::node* when = Get(t, "when");
    if (when == nullptr) {
        r.Refuse(t.source(), path + ".when", "missing: what makes the event fire");
    }
    e.when = ReadTrigger(r, r.Table(*when, path + ".when"), path + ".when", s, names, e.slot);
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
    // An unnamed event's "event N" can be named by a later trigger too, as
    // the search through the events found it before (the first of a name).
    names.emplace(e.name, s.events.size());
    s.events.push_back(std::move(e));
}

void ReadCheck(const Reader& r, const toml::table& t, const std::string& path, Scenario& s, const EventNames& names)
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
            c.at = static_cast<int>(EventIndex(r, *n, path + ".at", names));
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
} // namespace scenario_file
} // namespace velkor_sim
