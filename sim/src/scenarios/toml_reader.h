// The reader under the scenario file's parser: typed fields of a toml++
// table, each checked against its range, and refusals that name the file,
// the line, the column and the field. A refusal is thrown as Refusal and
// caught where the file is read (ParseScenario).
#ifndef VELKOR_SIM_SCENARIOS_TOML_READER_H
#define VELKOR_SIM_SCENARIOS_TOML_READER_H

#include "velkor_sim/virtual_module.h"

#include "scenarios/names.h"

#include <toml++/toml.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <initializer_list>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace velkor_sim {
namespace scenario_file {

using Keys = std::initializer_list<const char*>;

// A refusal: thrown inside the reader, caught at its entry point.
struct Refusal {
    std::string text;
};

// How many one-character edits turn a into b (for "did you mean").
std::size_t Distance(const std::string& a, const std::string& b);

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
            const std::string_view name = entry.first.str();
            if (std::find_if(known.begin(), known.end(), [&](const char* k) { return name == k; }) != known.end()) {
                continue;
            }
            const std::string key(name);
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


// A table's value for `key`, or null.
inline const toml::node* Get(const toml::table& table, const char* key) { return table.get(key); }

// The one key of `kinds` that `t` has: refused when it has none or several.
std::string OneOf(const Reader& r, const toml::table& t, const std::string& path, Keys kinds, const char* what);

} // namespace scenario_file
} // namespace velkor_sim

#endif
