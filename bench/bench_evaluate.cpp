// Timings of the evaluation: one simulated run on given durations against the same run of the
// search's engine with drawn ones, the scenario draws per distribution, and one whole evaluation
// step (a scenario and both policies), on j301_1, j601_1 and j1201_1.
//
// The list is the one of bench_engine (ascending latest finish among the released activities).
// Given durations cycle through 1000 scenarios drawn beforehand, so the run alone is timed.
// Counter ns_per_run = time per simulated run (or per scenario drawn).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "benchSupport.h"
#include "durations/durations.h"
#include "engine/engine.h"
#include "simulation/scenarios.h"
#include "project/cpm.h"
#include "project/state.h"

static const char* const stems[] = {"j301_1", "j601_1", "j1201_1"};
static uint8_t benchList[actDim];
static std::vector<float> drawn;     // 1000 scenarios of U2, actDim floats each

static void prepare(benchmark::State& state)
{
    const char* stem = stems[state.range(0)];
    benchLoad(stem);
    distNum = 3;
    buildSamplePool();
    computeCpmTimes();
    benchFixedList(benchList);
    ScenarioSource source;
    makeScenarioSource(source, 1, 1, 1, 3, 1, 0);
    drawn.assign(1000 * actDim, 0.0f);
    for (int k = 0; k < 1000; ++k) drawScenario(source, k + 1, &drawn[k * actDim]);
    state.SetLabel(stem);
}

static void perRun(benchmark::State& state)
{
    state.counters["ns_per_run"] = benchmark::Counter(static_cast<double>(state.iterations()),
                                                      benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// The search's resource-based run on the 1000-level table (U2), draws included.
static void searchRun(benchmark::State& state)
{
    prepare(state);
    for (auto _ : state) benchmark::DoNotOptimize(executeResourceBased(benchList, 1000));
    perRun(state);
}

// The same policy on given durations.
static void givenRun(benchmark::State& state)
{
    prepare(state);
    int k = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(executeResourceBasedGiven(benchList, &drawn[k * actDim]));
        k = k == 999 ? 0 : k + 1;
    }
    perRun(state);
}

// One scenario of the exact distribution range(1) (1 U1 .. 5 EXP).
static void scenarioDraw(benchmark::State& state)
{
    prepare(state);
    ScenarioSource source;
    makeScenarioSource(source, 1, 1, 1, static_cast<int>(state.range(1)), 1, 0);
    float durations[actDim];
    long k = 1;
    for (auto _ : state) {
        drawScenario(source, k++, durations);
        benchmark::DoNotOptimize(durations[actNum]);
    }
    perRun(state);
}

// What evaluate does per run of an HV record: a B2 scenario, the resource-based Phase 1 policy and
// the arc-aware Phase 2 policy on it.
static void evaluationStep(benchmark::State& state)
{
    prepare(state);
    ScenarioSource source;
    makeScenarioSource(source, 1, 1, 1, 4, 1, 0);
    float durations[actDim];
    long k = 1;
    for (auto _ : state) {
        drawScenario(source, k++, durations);
        benchmark::DoNotOptimize(executeResourceBasedGiven(benchList, durations));
        benchmark::DoNotOptimize(executeWithArcsGiven(benchList, durations));
    }
    perRun(state);
}

BENCHMARK(searchRun)->DenseRange(0, 2);
BENCHMARK(givenRun)->DenseRange(0, 2);
BENCHMARK(scenarioDraw)->ArgsProduct({{0, 2}, {1, 2, 3, 4, 5}});
BENCHMARK(evaluationStep)->DenseRange(0, 2);

BENCHMARK_MAIN();
