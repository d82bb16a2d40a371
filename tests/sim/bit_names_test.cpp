// One set of names for the interrupt factor and error bits: every row of
// tests/names/bit_names.txt as the monitor's JSON, a scenario file and a
// check's text spell it, with the other spellings taken on input.
#include "monitor/module_json.h"
#include "scenarios/names.h"

#include <velkor_sim/bit_names.h>
#include <velkor_sim/scenario.h>

#include <gtest/gtest.h>

#include <sstream>

namespace {

const char* const kTable =
#include "../names/bit_names.txt"
    ;

struct Row {
    std::string kind;
    unsigned bits = 0;
    std::vector<std::string> names; // the name, then the other spellings
};

std::vector<Row> Rows()
{
    std::vector<Row> rows;
    std::istringstream lines(kTable);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.empty() || line[0] == '#') {
            continue;
        }
        std::istringstream words(line);
        Row row;
        std::string bits, name;
        words >> row.kind >> bits;
        row.bits = static_cast<unsigned>(std::stoul(bits, nullptr, 16));
        while (words >> name) {
            row.names.push_back(name);
        }
        rows.push_back(row);
    }
    return rows;
}

TEST(BitNames, EveryFormatSpellsTheTableAndTakesTheOtherSpellings)
{
    const std::vector<Row> rows = Rows();
    ASSERT_EQ(rows.size(), 24u);
    unsigned factors = 0, errors = 0;
    for (const Row& r : rows) {
        SCOPED_TRACE(r.names[0]);
        const bool factor = r.kind == "factor";
        (factor ? factors : errors) |= r.bits;
        const auto& table = factor ? velkor_sim::FactorBitNames() : velkor_sim::ErrorBitNames();
        EXPECT_EQ(velkor_sim::NamesOfBits(r.bits, table, factor ? 8 : 16), std::vector<std::string>{r.names[0]});
        const velkor_sim::monitor::Json json = factor ? velkor_sim::monitor::FactorNames(static_cast<std::uint8_t>(r.bits))
                                                      : velkor_sim::monitor::ErrorNames(static_cast<std::uint16_t>(r.bits));
        EXPECT_EQ(json, velkor_sim::monitor::Json::array({r.names[0]}));
        const std::string text = velkor_sim::MaskText(r.bits, factor ? velkor_sim::FactorNames() : velkor_sim::ErrorNames(),
                                                      factor ? 2 : 4);
        EXPECT_EQ(text.substr(text.find('(')), "(" + r.names[0] + ")");
        for (const std::string& name : r.names) {
            EXPECT_EQ(velkor_sim::BitsOfName(name, table), r.bits) << name;
            const std::string file = "[slot.3]\n[[check]]\n" +
                                     (factor ? "factor = { bits = \"" + name + "\" }\n"
                                             : "errors = { axis = 1, required = \"" + name + "\" }\n");
            velkor_sim::Scenario s;
            std::string error;
            ASSERT_TRUE(velkor_sim::ParseScenario(file, "t.toml", s, error)) << error;
            EXPECT_EQ(factor ? s.checks[0].factors : s.checks[0].required, r.bits) << name;
        }
    }
    EXPECT_EQ(factors, 0xFFu);
    EXPECT_EQ(errors, 0xFFFFu);
    // Every name and spelling in the tables is a row of the file.
    for (const auto* table : {&velkor_sim::FactorBitNames(), &velkor_sim::ErrorBitNames()}) {
        for (const velkor_sim::BitName& n : *table) {
            bool listed = false;
            for (const Row& r : rows) {
                for (const std::string& name : r.names) {
                    listed = listed || (name == n.name && r.bits == n.bits &&
                                        (r.kind == "factor") == (table == &velkor_sim::FactorBitNames()));
                }
            }
            EXPECT_TRUE(listed) << n.name;
        }
    }
    EXPECT_EQ(velkor_sim::monitor::FactorNames(0x81), velkor_sim::monitor::Json::array({"drive_end", "program"}));
}

} // namespace
