// The verdict of velkor run --scenario (scenario_report.h).
#include "scenario_report.h"

#include "output_file.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace velkor_tool {
namespace {

std::string Escaped(const std::string& text)
{
    std::string out;
    for (const char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&apos;"; break;
        default:
            // XML 1.0 has no place for other control characters.
            if (static_cast<unsigned char>(c) < 0x20 && c != '\n' && c != '\t') {
                out += '?';
            } else {
                out += c;
            }
        }
    }
    return out;
}

} // namespace

std::vector<std::string> ScenarioModules(const velkor_sim::Scenario& scenario, const std::vector<std::string>& given)
{
    std::vector<std::string> modules = given;
    for (const velkor_sim::ScenarioSlot& slot : scenario.slots) {
        bool named = false;
        for (const std::string& text : given) {
            named = named || text.substr(0, text.find(',')) == std::to_string(slot.slot);
        }
        if (!named) {
            modules.push_back(std::to_string(slot.slot) + slot.options);
        }
    }
    return modules;
}

std::string JUnitXml(const std::string& suite, const std::vector<JUnitCase>& cases, double seconds,
                     const std::string& systemOut, const std::string& systemErr)
{
    int failures = 0;
    for (const JUnitCase& c : cases) {
        failures += c.passed ? 0 : 1;
    }
    char time[32];
    std::snprintf(time, sizeof time, "%.3f", seconds);
    std::ostringstream x;
    x << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<testsuites tests=\"" << cases.size() << "\" failures=\""
      << failures << "\" time=\"" << time << "\">\n  <testsuite name=\"" << Escaped(suite) << "\" tests=\""
      << cases.size() << "\" failures=\"" << failures << "\" errors=\"0\" time=\"" << time << "\">\n";
    for (const JUnitCase& c : cases) {
        std::snprintf(time, sizeof time, "%.3f", c.seconds);
        x << "    <testcase classname=\"" << Escaped(suite) << "\" name=\"" << Escaped(c.name) << "\" time=\"" << time
          << "\">\n";
        if (c.passed) {
            x << "      <system-out>" << Escaped(c.text) << "</system-out>\n";
        } else {
            x << "      <failure type=\"" << c.type << "\" message=\"" << Escaped(c.text) << "\">" << Escaped(c.text)
              << "</failure>\n";
        }
        x << "    </testcase>\n";
    }
    if (!systemOut.empty()) {
        x << "    <system-out>" << Escaped(systemOut) << "</system-out>\n";
    }
    if (!systemErr.empty()) {
        x << "    <system-err>" << Escaped(systemErr) << "</system-err>\n";
    }
    x << "  </testsuite>\n</testsuites>\n";
    return x.str();
}

bool ModulesReachedLimit(const std::string& folder)
{
    std::ifstream in(folder + "/scenario.txt");
    std::string line;
    while (std::getline(in, line)) {
        if (line.compare(0, 6, "limit ") == 0) {
            return true;
        }
    }
    return false;
}

namespace {

// The simulated time of "'NAME' at 1.234 s (slot 3)", when it is `event`'s.
bool FiredAt(const std::string& line, const std::string& event, double& seconds)
{
    const std::string head = "'" + event + "' at ";
    if (line.compare(0, head.size(), head) != 0) {
        return false;
    }
    seconds = std::strtod(line.c_str() + head.size(), nullptr);
    return true;
}

std::string KeptText(const KeptOutput& kept)
{
    if (kept.total <= kept.text.size()) {
        return kept.text;
    }
    return "[the first " + std::to_string(kept.total - kept.text.size()) + " bytes left out]\n" + kept.text;
}

} // namespace

ScenarioOutcome ReportScenario(std::FILE* out, const velkor_sim::Scenario* scenario, const std::string& folder,
                               const RunFacts& facts, const std::string& junitFile)
{
    ScenarioOutcome outcome;
    const std::size_t count = scenario != nullptr ? scenario->checks.size() : 0;
    std::vector<velkor_sim::CheckResult> results(count);
    std::vector<bool> reported(count, false);
    std::vector<std::string> waiting, fired;
    std::ifstream in(folder + "/scenario.txt");
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::string kind;
        words >> kind;
        std::string rest;
        std::getline(words, rest);
        if (!rest.empty() && rest[0] == ' ') {
            rest.erase(0, 1);
        }
        if (kind == "limit") {
            outcome.limitReached = true;
        } else if (kind == "waiting") {
            waiting.push_back(rest);
        } else if (kind == "fired") {
            fired.push_back(rest);
        } else if (kind == "result") {
            std::istringstream fields(rest);
            std::size_t index = 0;
            std::string verdict;
            if (fields >> index >> verdict && index < count) {
                std::string measured;
                std::getline(fields, measured);
                results[index].passed = verdict == "PASS";
                results[index].measured = measured.empty() ? measured : measured.substr(1);
                reported[index] = true;
            }
        }
    }
    outcome.limitReached = outcome.limitReached || facts.limit.Reached();
    // The tool's backstop alone: no module in the program said where it stood.
    const bool toolOnly = facts.limit.byTool && !facts.limit.byModules;
    const double runSeconds = facts.limit.seconds;
    std::vector<JUnitCase> cases;
    for (std::size_t i = 0; i < count; ++i) {
        const velkor_sim::ScenarioCheck& c = scenario->checks[i];
        JUnitCase one;
        one.type = "check";
        one.seconds = runSeconds;
        if (c.kind == velkor_sim::CheckKind::ExitCode) {
            results[i].passed = facts.exited && !outcome.limitReached && facts.exitCode == c.value;
            results[i].measured = outcome.limitReached ? "ended by the time limit"
                                  : facts.exited       ? "exit code " + std::to_string(facts.exitCode)
                                                       : "ended by signal " + std::to_string(facts.exitCode - 128);
            one.type = "exit_code";
        } else if (!reported[i]) {
            results[i].measured = "no module report (the program never reached its module, or was killed)";
            one.type = "no_report";
        }
        std::string at;
        if (c.at >= 0) {
            const std::string& event = scenario->events[static_cast<std::size_t>(c.at)].name;
            at = " at the event '" + event + "'";
            for (const std::string& f : fired) {
                FiredAt(f, event, one.seconds);
            }
        }
        one.name = c.name;
        one.passed = results[i].passed;
        one.text = results[i].measured + " (expected " + velkor_sim::ExpectedText(c) + at + ")";
        cases.push_back(one);
    }
    if (facts.limit.limit > 0) {
        JUnitCase limit;
        limit.name = "time limit";
        limit.type = "time_limit";
        limit.seconds = runSeconds;
        limit.passed = !outcome.limitReached;
        std::string where;
        for (const std::string& w : waiting) {
            where += (where.empty() ? "" : "; ") + w;
        }
        char text[160];
        std::snprintf(text, sizeof text, "%g s", facts.limit.limit);
        if (toolOnly) {
            char end[160];
            std::snprintf(end, sizeof end,
                          "the run reached the time limit: the program never reached a virtual module; velkor run "
                          "stopped it at %.1f s",
                          facts.limit.toolSeconds);
            limit.text = end;
        } else if (outcome.limitReached) {
            limit.text = "the run reached the time limit" + (where.empty() ? std::string() : ": " + where);
        } else {
            char ended[96];
            std::snprintf(ended, sizeof ended, "the program ended within the limit, after %.1f s", runSeconds);
            limit.text = ended;
        }
        limit.text += std::string(" (expected the program ends within ") + text + ")";
        cases.push_back(limit);
    }
    if (outcome.limitReached && !toolOnly) {
        std::fprintf(out, "\nvelkor run: the time limit ended the program\n");
        for (const std::string& w : waiting) {
            std::fprintf(out, "  %s\n", w.c_str());
        }
    }
    const bool hasEvents = scenario != nullptr && !scenario->events.empty();
    if (!cases.empty() || hasEvents) {
        std::fprintf(out, "\nScenario %s:\n", scenario != nullptr ? scenario->name.c_str() : "(time limit)");
        for (const std::string& f : fired) {
            std::fprintf(out, "  event %s\n", f.c_str());
        }
        if (hasEvents && fired.empty()) {
            std::fprintf(out, "  no event fired\n");
        }
    }
    for (const JUnitCase& c : cases) {
        outcome.failed += c.passed ? 0 : 1;
        std::fprintf(out, "  %s  %s: %s\n", c.passed ? "PASS" : "FAIL", c.name.c_str(), c.text.c_str());
    }
    if (!cases.empty()) {
        std::fprintf(out, "  %zu checks, %d failed\n", cases.size(), outcome.failed);
    }
    if (!junitFile.empty()) {
        std::string events;
        for (const std::string& f : fired) {
            events += (events.empty() ? "events fired:\n" : "") + std::string("  ") + f + "\n";
        }
        if (hasEvents && fired.empty()) {
            events = "no event fired\n";
        }
        std::string systemOut = events, systemErr;
        if (facts.output != nullptr) {
            const std::string programOut = KeptText(facts.output->Out());
            systemOut += (systemOut.empty() || programOut.empty() ? "" : "\n") + programOut;
            systemErr = KeptText(facts.output->Err());
        }
        std::string error;
        const std::string suite = scenario != nullptr ? scenario->name : "velkor run";
        if (WriteWholeFile(junitFile, JUnitXml(suite, cases, runSeconds, systemOut, systemErr), error)) {
            std::fprintf(out, "velkor run: JUnit report written to %s\n", junitFile.c_str());
        } else {
            std::fprintf(out, "velkor run: %s\n", error.c_str());
        }
    }
    return outcome;
}

} // namespace velkor_tool
