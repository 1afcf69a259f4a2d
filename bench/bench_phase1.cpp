// Timings of one whole Phase 1 on j301_1, j601_1 and j1201_1 for both Phase 1 engines (LV:
// activity-based, HV: resource-based), next to the bare engine runs that Phase 1 contains.
//
// Arguments: instance (0 j301_1, 1 j601_1, 2 j1201_1) and method (0 LV, 1 HV). phase1 is runPhase1;
// bareRuns makes its simulations on 201 candidate lists of a Phase 1: per candidate one nominal
// activity-based run (the justification's first step) and 10 runs on the 10-level table, then 1000
// runs of the best list on the 1000-level table; constructJustify is the 201 constructions and
// justifications alone (their nominal runs included). The cost of construction, justification and
// pool handling is phase1 - bareRuns. The machine's load shows in these times: compare the minimum
// of several repetitions (--benchmark_repetitions=10).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "benchSupport.h"
#include "durations/durations.h"
#include "engine/engine.h"
#include "phase1/phase1.h"
#include "project/cpm.h"
#include "project/state.h"

static const char* const stems[] = {"j301_1", "j601_1", "j1201_1"};
static constexpr int candidates = ph1LoopLimit + 1;

// Loads the instance with its U1 sample pool and critical path, sets the method, and runs one
// Phase 1 so that the pool and bestList are those of a real run.
static void prepare(benchmark::State& state)
{
    const char* stem = stems[state.range(0)];
    benchLoad(stem);
    distNum = 1;
    buildSamplePool();
    computeCpmTimes();
    isHV = state.range(1) != 0;
    runPhase1();
    state.SetLabel(std::string(stem) + (isHV ? " HV" : " LV"));
}

static void phase1(benchmark::State& state)
{
    prepare(state);
    for (auto _ : state) {
        runPhase1();
        benchmark::DoNotOptimize(ph1Makespan);
    }
}

// The 201 candidates of one Phase 1 (built and justified after a whole Phase 1, so the later ones
// follow a full pool), on which bareRuns makes the simulations of a Phase 1.
static uint8_t candidateLists[candidates][actDim];

static void bareRuns(benchmark::State& state)
{
    prepare(state);
    uint8_t list[actDim] = {};
    for (ph1Iter = 0; ph1Iter < candidates;) {
        constructActList(list);
        ++ph1Iter;
        justifyList(list);
        std::memcpy(candidateLists[ph1Iter - 1], list, actDim);
    }
    for (auto _ : state) {
        float sum = 0.0f;
        for (int c = 0; c < candidates; ++c) {
            sum += executeActivityBased(candidateLists[c], false, 1);
            sum += evaluatePhase1List(candidateLists[c], 10);
        }
        sum += evaluatePhase1List(bestList, 1000);
        benchmark::DoNotOptimize(sum);
    }
}

static void constructJustify(benchmark::State& state)
{
    prepare(state);
    for (auto _ : state) {
        uint8_t list[actDim] = {};
        // The first popSize constructions fill the pool, the others follow its lists.
        for (ph1Iter = 0; ph1Iter < candidates;) {
            constructActList(list);
            ++ph1Iter;
            justifyList(list);
        }
        benchmark::DoNotOptimize(list);
    }
}

static void arguments(benchmark::internal::Benchmark* b)
{
    for (int method = 0; method <= 1; ++method)
        for (int inst = 0; inst <= 2; ++inst) b->Args({inst, method});
    b->Unit(benchmark::kMillisecond);
}

BENCHMARK(phase1)->Apply(arguments);
BENCHMARK(bareRuns)->Apply(arguments);
BENCHMARK(constructJustify)->Apply(arguments);

BENCHMARK_MAIN();
