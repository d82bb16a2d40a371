// The verdict of velkor run --scenario (scenario_report.h).
#include "scenario_report.h"

#include "output_file.h"

#include <cstdio>
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

std::string JUnitXml(const std::string& suite, const std::vector<std::string>& names,
                     const std::vector<velkor_sim::CheckResult>& results, const std::vector<std::string>& expected,
                     double seconds)
{
    int failures = 0;
    for (const velkor_sim::CheckResult& r : results) {
        failures += r.passed ? 0 : 1;
    }
    std::ostringstream x;
    x << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<testsuites tests=\"" << results.size() << "\" failures=\""
      << failures << "\">\n  <testsuite name=\"" << Escaped(suite) << "\" tests=\"" << results.size()
      << "\" failures=\"" << failures << "\" errors=\"0\" time=\"" << seconds << "\">\n";
    for (std::size_t i = 0; i < results.size(); ++i) {
        const velkor_sim::CheckResult& r = results[i];
        const std::string text = r.measured + " (expected " + expected[i] + ")";
        x << "    <testcase classname=\"" << Escaped(suite) << "\" name=\"" << Escaped(names[i]) << "\">\n";
        if (r.passed) {
            x << "      <system-out>" << Escaped(text) << "</system-out>\n";
        } else {
            x << "      <failure message=\"" << Escaped(text) << "\">" << Escaped(text) << "</failure>\n";
        }
        x << "    </testcase>\n";
    }
    x << "  </testsuite>\n</testsuites>\n";
    return x.str();
}

ScenarioOutcome ReportScenario(std::FILE* out, const velkor_sim::Scenario* scenario, const std::string& folder,
                               int exitCode, bool exited, double timeLimit, const std::string& junitFile)
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
    std::vector<std::string> names, expected;
    for (std::size_t i = 0; i < count; ++i) {
        const velkor_sim::ScenarioCheck& c = scenario->checks[i];
        results[i].index = i;
        if (c.kind == velkor_sim::CheckKind::ExitCode) {
            results[i].passed = exited && !outcome.limitReached && exitCode == c.value;
            results[i].measured = outcome.limitReached ? "ended by the time limit"
                                  : exited             ? "exit code " + std::to_string(exitCode)
                                                       : "ended by signal " + std::to_string(exitCode - 128);
        } else if (!reported[i]) {
            results[i].measured = "no module report (the program never reached its module, or was killed)";
        }
        names.push_back(c.name);
        std::string at = c.at >= 0 ? " at the event '" + scenario->events[static_cast<std::size_t>(c.at)].name + "'" : "";
        expected.push_back(velkor_sim::ExpectedText(c) + at);
    }
    if (timeLimit > 0) {
        velkor_sim::CheckResult limit;
        limit.index = count;
        limit.passed = !outcome.limitReached;
        std::string where;
        for (const std::string& w : waiting) {
            where += (where.empty() ? "" : "; ") + w;
        }
        char text[64];
        std::snprintf(text, sizeof text, "%g s", timeLimit);
        limit.measured = outcome.limitReached ? std::string("the run reached the time limit") +
                                                    (where.empty() ? ": no module waits on its mailbox" : ": " + where)
                                              : "the program ended within the limit";
        results.push_back(limit);
        names.push_back("time limit");
        expected.push_back(std::string("the program ends within ") + text);
    }
    if (outcome.limitReached) {
        std::fprintf(out, "\nvelkor run: the time limit ended the program\n");
        for (const std::string& w : waiting) {
            std::fprintf(out, "  %s\n", w.c_str());
        }
    }
    if (!results.empty()) {
        std::fprintf(out, "\nScenario %s:\n", scenario != nullptr ? scenario->name.c_str() : "(time limit)");
        for (const std::string& f : fired) {
            std::fprintf(out, "  event %s\n", f.c_str());
        }
    }
    for (std::size_t i = 0; i < results.size(); ++i) {
        outcome.failed += results[i].passed ? 0 : 1;
        std::fprintf(out, "  %s  %s: %s (expected %s)\n", results[i].passed ? "PASS" : "FAIL", names[i].c_str(),
                     results[i].measured.c_str(), expected[i].c_str());
    }
    if (!results.empty()) {
        std::fprintf(out, "  %zu checks, %d failed\n", results.size(), outcome.failed);
    }
    if (!junitFile.empty()) {
        std::string error;
        const std::string suite = scenario != nullptr ? scenario->name : "velkor run";
        if (WriteWholeFile(junitFile, JUnitXml(suite, names, results, expected, 0), error)) {
            std::fprintf(out, "velkor run: JUnit report written to %s\n", junitFile.c_str());
        } else {
            std::fprintf(out, "velkor run: %s\n", error.c_str());
        }
    }
    return outcome;
}

} // namespace velkor_tool
