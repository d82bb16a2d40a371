// The scenario file's reader (toml_reader.h): what it does beyond typed
// fields.
#include "scenarios/toml_reader.h"

#include <cstring>

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

std::size_t StrayCharacter(const std::string& text)
{
    enum class In { Plain, Comment, Basic, Literal, MultiBasic, MultiLiteral, Trim };
    In in = In::Plain;
    char previous = '\n'; // the last plain character
    bool run = false;      // inside a bare run
    // Which side of a key/value pair the text is on, and the arrays and
    // inline tables open around it: a run on the value side goes on past '='.
    bool value = false;
    std::string open;
    const auto Nest = [&](char c) {
        const char top = open.empty() ? '\0' : open.back();
        if (c == '=' && !value) {
            value = true;
        } else if (c == '\n' || c == ',') {
            value = top == '[';
        } else if (c == '[' && value) {
            open += '[';
        } else if (c == '{' && value) {
            open += '{';
            value = false;
        } else if ((c == ']' && top == '[') || (c == '}' && top == '{')) {
            open.pop_back();
            value = true;
        }
    };
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
            // A bare run (a key, a number, a date, a word, or something
            // wrong) is read by toml++ up to a blank or one of ",]}#" (a key
            // also up to '=' or '.'): a quote, '[' or '{' inside it opens nothing,
            // and toml++ asks of every character in it whether it is a blank.
            if (run && std::strchr(value ? " \t\r\n,]}#" : " \t\r\n,]}#=.", c) == nullptr) {
                previous = c;
                break;
            }
            run = false;
            // Only where a key or value may start does a quote open a string;
            // a dotted key's next part starts after its '.'.
            const bool starts = std::strchr(" \t\r\n=[{,", previous) != nullptr || (previous == '.' && !value);
            previous = c;
            Nest(c);
            if (starts && std::strchr(" \t\r\n=[]{},#\"'", c) == nullptr) {
                run = true;
            }
            if (c == '#') {
                // A comment, or an error toml++ stops at: nothing after it on
                // the line is read as anything else.
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
            if (c == '\n') {
                in = In::Plain;
                Nest(c);
            }
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
                // Whether a backslash ends the line, toml++ asks of the next
                // character; for some beyond ASCII that question is undefined.
                // No escape is beyond ASCII, so such a file is wrong anyway.
                if (i + 1 < n && static_cast<unsigned char>(text[i + 1]) >= 0x80) {
                    return i + 2;
                }
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
} // namespace scenario_file
} // namespace velkor_sim
