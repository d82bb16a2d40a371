// Reading a scenario file of many events: the time grows in step with the
// number of events (20,000, 40,000 and 200,000 of them: the processor time
// per event stays flat). The events are of the kinds a long test plan has:
// named timed events that set an input, each third followed by an event
// after it, and a check at every 300th.
#include <benchmark/benchmark.h>
#include <velkor_sim/scenario.h>

#include <string>

namespace {

std::string ManyEvents(int count)
{
    std::string text = "[slot.3]\n";
    text.reserve(static_cast<std::size_t>(count) * 90);
    for (int i = 0; i < count; ++i) {
        const std::string name = "e" + std::to_string(i);
        if (i % 3 == 2) {
            text += "[[event]]\nwhen = { after = \"e" + std::to_string(i - 1) + "\", delay = 0.01 }\n";
        } else {
            text += "[[event]]\nname = \"" + name + "\"\nwhen = { time = " + std::to_string(i) +
                    " }\ndo = [ { input = 8, axis = 1, on = " + (i % 2 ? "true" : "false") + " } ]\n";
        }
    }
    for (int i = 0; i < count; i += 300) {
        text += "[[check]]\nat = \"e" + std::to_string(i) + "\"\nlp = { axis = 1, value = 0 }\n";
    }
    return text;
}

void BM_ReadScenarioOfManyEvents(benchmark::State& state)
{
    const std::string text = ManyEvents(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        velkor_sim::Scenario s;
        std::string error;
        if (!velkor_sim::ParseScenario(text, "bench.toml", s, error)) {
            state.SkipWithError(error.c_str());
            break;
        }
        benchmark::DoNotOptimize(s.events.data());
    }
    state.counters["bytes"] = static_cast<double>(text.size());
    state.counters["per_event"] =
        benchmark::Counter(static_cast<double>(state.range(0)), benchmark::Counter::kIsIterationInvariantRate |
                                                                    benchmark::Counter::kInvert);
}
BENCHMARK(BM_ReadScenarioOfManyEvents)->Arg(20000)->Arg(40000)->Arg(200000)->Unit(benchmark::kMillisecond)
    ->Iterations(2);

} // namespace
