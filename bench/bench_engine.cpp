// Timings of the execution engines: nanoseconds per simulated activity of each policy on j301_1,
// j601_1 and j1201_1 with drawn durations (U1), next to a plain loop of the same duration draws.
//
// The list is fixed and precedence-feasible: ascending latest finish, ties by activity number, taken
// among the released activities. Each benchmark is given the instance (0 j301_1, 1 j601_1,
// 2 j1201_1) and the table size (10 as in Phase 1 evaluations, 1000 as in the final estimates).
// Counter ns_per_act = run time / activities simulated; the draws loop shows the part of it that
// the duration draws alone cost.
#include <benchmark/benchmark.h>

#include <cstdint>

#include "benchSupport.h"
#include "durations/durations.h"
#include "engine/engine.h"
#include "project/cpm.h"
#include "project/state.h"

static const char* const stems[] = {"j301_1", "j601_1", "j1201_1"};
static uint8_t benchList[actDim];

// Loads the instance, builds its U1 sample pool and the fixed list; no extra arcs unless chained.
static void prepare(benchmark::State& state, bool chainArcs)
{
    const char* stem = stems[state.range(0)];
    benchLoad(stem);
    distNum = 1;
    buildSamplePool();
    computeCpmTimes();
    int n = actNum;
    benchFixedList(benchList);
    // The starting policy of the greedy arc removal: start-to-start arcs along places 2 .. n - 1.
    if (chainArcs)
        for (int p = 2; p < n - 1; ++p) setAdd(extraStartPred[benchList[p + 1]], benchList[p]);
    state.SetLabel(stem);
}

static void finish(benchmark::State& state)
{
    state.counters["ns_per_act"] = benchmark::Counter(static_cast<double>(state.iterations()) * actNum,
                                                      benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

static void activityBased(benchmark::State& state)
{
    prepare(state, false);
    int poolSize = static_cast<int>(state.range(1));
    for (auto _ : state) benchmark::DoNotOptimize(executeActivityBased(benchList, true, poolSize));
    finish(state);
}

static void resourceBased(benchmark::State& state)
{
    prepare(state, false);
    int poolSize = static_cast<int>(state.range(1));
    for (auto _ : state) benchmark::DoNotOptimize(executeResourceBased(benchList, poolSize));
    finish(state);
}

static void withArcs(benchmark::State& state)
{
    prepare(state, false);
    int poolSize = static_cast<int>(state.range(1));
    for (auto _ : state) benchmark::DoNotOptimize(executeWithArcs(benchList, true, poolSize));
    finish(state);
}

static void withArcsChain(benchmark::State& state)
{
    prepare(state, true);
    int poolSize = static_cast<int>(state.range(1));
    for (auto _ : state) benchmark::DoNotOptimize(executeWithArcs(benchList, true, poolSize));
    finish(state);
}

// The draws of one run alone: one rndGen per activity.
static void drawsOnly(benchmark::State& state)
{
    prepare(state, false);
    int poolSize = static_cast<int>(state.range(1));
    int n = actNum;
    for (auto _ : state) {
        float sum = 0.0f;
        for (int p = 1; p <= n; ++p) sum += rndGen(benchList[p], poolSize);
        benchmark::DoNotOptimize(sum);
    }
    finish(state);
}

#define ENGINE_BENCH(name) BENCHMARK(name)->ArgsProduct({{0, 1, 2}, {10, 1000}})
ENGINE_BENCH(drawsOnly);
ENGINE_BENCH(activityBased);
ENGINE_BENCH(resourceBased);
ENGINE_BENCH(withArcs);
ENGINE_BENCH(withArcsChain);

BENCHMARK_MAIN();
