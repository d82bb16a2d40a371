// The scenario file's reader (toml_reader.h): what it does beyond typed
// fields.
#include "scenarios/toml_reader.h"

namespace velkor_sim {
namespace scenario_file {

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

std::string OneOf(const Reader& r, const toml::table& t, const std::string& path, Keys kinds, const char* what)
{
    const char* kind = nullptr;
    for (const char* k : kinds) {
        if (Get(t, k) != nullptr) {
            if (kind != nullptr) {
                r.Refuse(t.source(), path, std::string("one ") + what + " a table: both " + kind + " and " + k);
            }
            kind = k;
        }
    }
    if (kind == nullptr) {
        std::string all;
        for (const char* k : kinds) {
            all += (all.empty() ? "" : ", ") + std::string(k);
        }
        r.Refuse(t.source(), path, std::string("no ") + what + ": give one of " + all);
    }
    return kind;
}
} // namespace scenario_file
} // namespace velkor_sim
