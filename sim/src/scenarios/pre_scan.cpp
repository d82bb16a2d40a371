// The scan of a scenario file's text before toml++ reads it (pre_scan.h).
#include "scenarios/pre_scan.h"

#include <cstring>
#include <vector>

namespace velkor_sim {
namespace scenario_file {
namespace {

bool Blank(char c) { return c == ' ' || c == '\t'; }

// A set of characters, looked up in one step (the scan looks at every byte).
class CharSet {
public:
    explicit CharSet(const char* members)
    {
        for (; *members != '\0'; ++members) {
            has_[static_cast<unsigned char>(*members)] = true;
        }
    }
    bool operator()(char c) const { return has_[static_cast<unsigned char>(c)]; }

private:
    bool has_[256] = {};
};

const CharSet kEndsValueRun(" \t\r\n,]}#");
const CharSet kEndsKeyRun(" \t\r\n,]}#=.");
const CharSet kBeforeStart(" \t\r\n=[{,");
const CharSet kNoRun(" \t\r\n=[]{},#\"'");
const CharSet kWhite(" \t\r\n");

bool BareKey(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '-';
}

// A table header from its '[' at `i`: [NAME] or [[NAME]], NAME of bare or
// quoted parts joined by '.', blanks around them, then a comment at most.
// Returns where the line goes on (its end, or its comment) with `depth` the
// levels the header opens, or sets `problem`.
std::size_t ScanHeader(const std::string& text, std::size_t i, std::size_t& depth, ScanProblem& problem)
{
    const std::size_t n = text.size();
    const auto refuse = [&](std::size_t at, const std::string& what) {
        problem = {at + 1, "a table header: " + what};
        return n;
    };
    std::size_t j = i + 1;
    const bool array = j < n && text[j] == '[';
    j += array ? 1 : 0;
    std::size_t parts = array ? 1 : 0;
    for (;;) {
        while (j < n && Blank(text[j])) {
            ++j;
        }
        if (j >= n || (!BareKey(text[j]) && text[j] != '"' && text[j] != '\'')) {
            return refuse(j, "expected a name (letters, digits, '_' and '-', or in quotes) as in [slot.3] or [[event]]");
        }
        if (++parts > kMaxScenarioDepth) {
            return refuse(j, "a name of more than " + std::to_string(kMaxScenarioDepth) + " parts");
        }
        if (BareKey(text[j])) {
            while (j < n && BareKey(text[j])) {
                ++j;
            }
        } else {
            const char quote = text[j++];
            for (; j < n && text[j] != quote; ++j) {
                const auto u = static_cast<unsigned char>(text[j]);
                if ((u < 0x20 && text[j] != '\t') || u == 0x7F) {
                    return refuse(j, "a quoted name ends on its line, with no control character");
                }
                if (quote == '"' && text[j] == '\\' && j + 1 < n && text[j + 1] != '\n') {
                    ++j;
                }
            }
            if (j >= n) {
                return refuse(j, "a quoted name ends on its line");
            }
            ++j;
        }
        while (j < n && Blank(text[j])) {
            ++j;
        }
        if (j < n && text[j] == '.') {
            ++j;
            continue;
        }
        if (j < n && text[j] == ']') {
            ++j;
            if (array && (j >= n || text[j] != ']')) {
                return refuse(j, "an array of tables ends with ']]'");
            }
            j += array ? 1 : 0;
            break;
        }
        return refuse(j, "expected '.' or ']' after a part of the name");
    }
    while (j < n && Blank(text[j])) {
        ++j;
    }
    if (j < n && text[j] != '\n' && text[j] != '#' && !(text[j] == '\r' && j + 1 < n && text[j + 1] == '\n')) {
        return refuse(j, "nothing but a comment may follow it on its line");
    }
    depth = parts;
    return j;
}

} // namespace

ScanProblem PreScan(const std::string& text)
{

    enum class In { Plain, Comment, Basic, Literal, MultiBasic, MultiLiteral, Trim };
    In in = In::Plain;
    char previous = '\n'; // the last plain character
    bool run = false;      // inside a bare run
    // Which side of a key/value pair the text is on, and the arrays and
    // inline tables open around it: a run on the value side goes on past '='.
    bool value = false;
    std::string open;
    // How deep the text is: the parts of the last table header, the levels
    // each open array or inline table adds (the parts of the key it is the
    // value of, and one), and the parts of the key being read.
    std::size_t headerDepth = 0, openDepth = 0, keyDots = 0, keyParts = 0;
    std::vector<std::size_t> levels;
    bool lineBlank = true; // nothing but blanks so far on this line
    const auto Nest = [&](char c) {
        const char top = open.empty() ? '\0' : open.back();
        if (c == '=' && !value) {
            value = true;
            keyParts = keyDots + 1;
            keyDots = 0;
            return;
        }
        if (c == '\n' || c == ',') {
            value = top == '[';
            keyDots = 0;
        } else if ((c == '[' || c == '{') && value) {
            open += c;
            levels.push_back(keyParts + 1);
            openDepth += levels.back();
            value = c == '[';
            keyDots = 0;
        } else if ((c == ']' && top == '[') || (c == '}' && top == '{')) {
            open.pop_back();
            openDepth -= levels.back();
            levels.pop_back();
            value = true;
        }
        if (c != ' ' && c != '\t') {
            keyParts = 0; // only an array or inline table right after '=' nests under its key
        }
    };
    const auto tooDeep = [&] { return headerDepth + openDepth + (value ? 0 : keyDots + 1) > kMaxScenarioDepth; };
    const std::string deep = "keys, tables and arrays nested more than " + std::to_string(kMaxScenarioDepth) +
                             " deep (each part of a dotted key is a level)";
    const std::string stray =
        "a control character, or a character beyond ASCII outside a string or a comment or after a backslash";
    const std::size_t n = text.size();
    const auto at = [&](std::size_t i, const char* what) { return text.compare(i, std::strlen(what), what) == 0; };
    const auto three = [&](std::size_t i, char quote) {
        return i + 2 < n && text[i] == quote && text[i + 1] == quote && text[i + 2] == quote;
    };
    // A byte order mark at the start is the editor's, and toml++ skips it.
    for (std::size_t i = at(0, "\xEF\xBB\xBF") ? 3 : 0; i < n; ++i) {
        const char c = text[i];
        const auto u = static_cast<unsigned char>(c);
        const bool high = u >= 0x80;
        if ((u < 0x20 && c != '\t' && c != '\n' && c != '\r') || u == 0x7F) {
            return {i + 1, stray}; // nowhere in TOML, and toml++ would part ways with this reading
        }
        switch (in) {
        case In::Plain: {
            if (high) {
                return {i + 1, stray};
            }
            // A bare run (a key, a number, a date, a word, or something
            // wrong) is read by toml++ up to a blank or one of ",]}#" (a key
            // also up to '=' or '.'): a quote, '[' or '{' inside it opens nothing,
            // and toml++ asks of every character in it whether it is a blank.
            if (run && !(value ? kEndsValueRun(c) : kEndsKeyRun(c))) {
                previous = c;
                break;
            }
            run = false;
            // Only where a key or value may start does a quote open a string;
            // a dotted key's next part starts after its '.'.
            const bool starts = kBeforeStart(previous) || (previous == '.' && !value);
            if (c == '[' && !value && open.empty() && lineBlank) {
                // A table header, read here whole.
                ScanProblem problem;
                const std::size_t end = ScanHeader(text, i, headerDepth, problem);
                if (problem.at != 0) {
                    return problem;
                }
                i = end - 1;
                previous = ']';
                lineBlank = false;
                break;
            }
            if (c == '\n') {
                lineBlank = true;
            } else if (c != ' ' && c != '\t' && c != '\r') {
                lineBlank = false;
            }
            previous = c;
            Nest(c);
            if (c == '.' && !value) {
                ++keyDots;
            }
            if ((c == '.' || c == '[' || c == '{') && tooDeep()) {
                return {i + 1, deep};
            }
            if (starts && !kNoRun(c)) {
                run = true;
            }
            if (c == '#') {
                // A comment, or an error toml++ stops at: nothing after it on
                // the line is read as anything else.
                in = In::Comment;
            } else if (!starts) {
                break;
            } else if (three(i, '"')) {
                in = In::MultiBasic;
                i += 2;
            } else if (three(i, '\'')) {
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
                lineBlank = true;
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
            if (c == '\\' && i + 1 < n && kWhite(text[i + 1])) {
                in = In::Trim;
            } else if (c == '\\') {
                // Whether a backslash ends the line, toml++ asks of the next
                // character; for some beyond ASCII that question is undefined.
                // No escape is beyond ASCII, so such a file is wrong anyway.
                if (i + 1 < n && static_cast<unsigned char>(text[i + 1]) >= 0x80) {
                    return {i + 2, stray};
                }
                ++i;
            } else if (three(i, '"')) {
                in = In::Plain;
                previous = c;
                i += 2;
            }
            break;
        case In::MultiLiteral:
            if (three(i, '\'')) {
                in = In::Plain;
                previous = c;
                i += 2;
            }
            break;
        case In::Trim:
            if (high) {
                return {i + 1, stray};
            }
            if (!kWhite(c)) {
                in = In::MultiBasic;
                --i; // looked at again as the string's
            }
            break;
        }
    }
    return {};
}

} // namespace scenario_file
} // namespace velkor_sim
