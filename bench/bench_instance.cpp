// Timings of one whole instance (sample pool, critical path, Phase 1 and Phase 2) on j301_1,
// j601_1 and j1201_1 with either Phase 2 method, next to the bare engine runs the instance contains.
//
// Arguments: instance (0 j301_1, 1 j601_1, 2 j1201_1) and method (0 LV under U1, 1 HV under U2).
// instance solves it from the same stream state every time; bareRuns makes the same number of
// engine runs of the same kinds on the final best list (Phase 1: nominal activity-based runs of the
// justifications and 10- and 1000-run evaluations with the pass's engine; Phase 2: nominal and
// stochastic arc-aware runs with the extra arcs of the result in force). The cost of everything
// that is not simulation is instance - bareRuns. phase2 and phase2BareRuns do the same for Phase 2
// alone (Phase 1 is rerun outside the timing before each Phase 2). The run counts are counters.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "benchSupport.h"
#include "durations/durations.h"
#include "engine/engine.h"
#include "phase1/phase1.h"
#include "phase2/phase2.h"
#include "project/cpm.h"
#include "project/platform.h"
#include "project/state.h"

static const char* const stems[] = {"j301_1", "j601_1", "j1201_1"};

// Engine runs of one instance, by kind.
struct RunCounts {
    long justify = 0;         // nominal activity-based
    long phase1Pool10 = 0;    // Phase 1 engine, 10-level table
    long phase1Pool1000 = 0;  // Phase 1 engine, 1000-level table
    long arcsNominal = 0;     // arc-aware, nominal durations
    long arcsPool10 = 0;
    long arcsPoolMid = 0;
    long arcsPool1000 = 0;
};

static void startInstance(bool hv)
{
    setRandState(1);
    isHV = hv;
    distNum = hv ? 3 : 1;
    buildSamplePool();
    computeCpmTimes();
    runPhase1();
}

static void solveInstance(bool hv)
{
    startInstance(hv);
    if (hv)
        gaArcAddition();
    else
        greedyArcRemoval();
}

static float arcFitness(int runs)
{
    float sum = 0.0f;
    for (int i = 0; i < runs; ++i) sum = executeWithArcs(bestList, true, runs) + sum;
    return sum / static_cast<float>(runs);
}

// Counts the runs of one instance. For HV the search is replayed step by step from the same
// stream state, counting the evaluations of lists with arcs; its result must equal gaArcAddition's.
static RunCounts countRuns(bool hv)
{
    RunCounts c;
    c.justify = ph1LoopLimit + 1;
    c.phase1Pool10 = 10L * (ph1LoopLimit + 1);
    c.phase1Pool1000 = 1000;
    if (!hv) {
        c.arcsPoolMid = actNum > 3 ? long{actNum - 3} * midLevels : 0;
        c.arcsPool1000 = 1000;
        return c;
    }
    startInstance(true);
    clearExtraArcs();
    buildCandidateArcs();
    c.arcsNominal = 1 + 4L * candPairNum;
    float replayed = static_cast<float>(ph1Makespan);
    if (candNum >= gaMinCandidates) {
        popSize = gaPopSize;
        for (int m = 1; m <= popSize; ++m) {
            buildMember(m);
            eliteVal[m] = popArcNum[m] > 0 ? arcFitness(10) : emptyFitness;
            c.arcsPool10 += popArcNum[m] > 0 ? 10 : 0;
        }
        for (int g = 0; g < gaGenerations; ++g) {
            crossover();
            mutate();
            for (int h = 1; h <= popSize; ++h) c.arcsPool10 += offArcNum[h] > 0 ? 10 : 0;
            evaluateAndReplace();
        }
        for (int m = 1; m <= popSize; ++m) c.arcsPool1000 += popArcNum[m] > 0 ? 1000 : 0;
        rankPopulation();
        replayed = eliteVal[eliteOrder[1]];
    }
    solveInstance(true);
    if (static_cast<float>(ph2Makespan) != replayed) {
        std::fprintf(stderr, "the replayed search gave %f, gaArcAddition %f\n", replayed, ph2Makespan);
        std::exit(1);
    }
    return c;
}

static void prepare(benchmark::State& state, RunCounts& counts)
{
    const char* stem = stems[state.range(0)];
    bool hv = state.range(1) != 0;
    benchLoad(stem);
    counts = countRuns(hv);
    solveInstance(hv);
    state.SetLabel(std::string(stem) + (hv ? " HV" : " LV"));
    state.counters["ph1Runs"] = static_cast<double>(counts.justify + counts.phase1Pool10 + counts.phase1Pool1000);
    state.counters["ph2Runs"] = static_cast<double>(counts.arcsNominal + counts.arcsPool10 + counts.arcsPoolMid +
                                                    counts.arcsPool1000);
}

static void instance(benchmark::State& state)
{
    RunCounts counts;
    prepare(state, counts);
    for (auto _ : state) {
        solveInstance(state.range(1) != 0);
        benchmark::DoNotOptimize(ph2Makespan);
    }
}

static float phase1Run(bool hv, int poolSize)
{
    return hv ? executeResourceBased(bestList, poolSize) : executeActivityBased(bestList, true, poolSize);
}

// Chain arcs of LV left in force by greedyArcRemoval: keptArc[p] for the arc into place p.
static bool keptArc[actDim];

// LV's chain as it stood during the removal test of the arc into place p: the earlier arcs as
// they ended, arc p removed, the later ones all present.
static void setLvTestArcs(int p)
{
    for (int q = 3; q <= actNum - 1; ++q) {
        bool present = q < p ? keptArc[q] : q > p;
        if (present)
            setAdd(extraStartPred[bestList[q]], bestList[q - 1]);
        else
            setRemove(extraStartPred[bestList[q]], bestList[q - 1]);
    }
}

// The counted runs on bestList: Phase 1's when withPhase1, then Phase 2's, LV's with the arcs
// each of its runs had, HV's with the arcs of its best member.
static float simulate(const RunCounts& c, bool hv, bool withPhase1)
{
    float sum = 0.0f;
    if (withPhase1) {
        for (long i = 0; i < c.justify; ++i) sum += executeActivityBased(bestList, false, 1);
        for (long i = 0; i < c.phase1Pool10; ++i) sum += phase1Run(hv, 10);
        for (long i = 0; i < c.phase1Pool1000; ++i) sum += phase1Run(hv, 1000);
    }
    for (long i = 0; i < c.arcsNominal; ++i) sum += executeWithArcs(bestList, false, 1);
    for (long i = 0; i < c.arcsPool10; ++i) sum += executeWithArcs(bestList, true, 10);
    if (!hv) {
        for (int p = 3; p <= actNum - 1; ++p) {
            setLvTestArcs(p);
            for (int i = 0; i < midLevels; ++i) sum += executeWithArcs(bestList, true, midLevels);
        }
        setLvTestArcs(actNum);
    }
    for (long i = 0; i < c.arcsPool1000; ++i) sum += executeWithArcs(bestList, true, 1000);
    return sum;
}

static void bareRunsOf(benchmark::State& state, bool withPhase1)
{
    RunCounts c;
    prepare(state, c);
    bool hv = state.range(1) != 0;
    if (hv)
        applyArcs(popArcs[eliteOrder[1]], candNum >= gaMinCandidates ? popArcNum[eliteOrder[1]] : 0);
    else
        for (int p = 3; p <= actNum - 1; ++p) keptArc[p] = setHas(extraStartPred[bestList[p]], bestList[p - 1]);
    for (auto _ : state) benchmark::DoNotOptimize(simulate(c, hv, withPhase1));
    clearExtraArcs();
}

static void bareRuns(benchmark::State& state) { bareRunsOf(state, true); }

static void phase2BareRuns(benchmark::State& state) { bareRunsOf(state, false); }

static void phase2(benchmark::State& state)
{
    RunCounts counts;
    prepare(state, counts);
    bool hv = state.range(1) != 0;
    for (auto _ : state) {
        state.PauseTiming();
        startInstance(hv);
        state.ResumeTiming();
        if (hv)
            gaArcAddition();
        else
            greedyArcRemoval();
        benchmark::DoNotOptimize(ph2Makespan);
    }
}

static void arguments(benchmark::internal::Benchmark* b)
{
    for (int method = 0; method <= 1; ++method)
        for (int inst = 0; inst <= 2; ++inst) b->Args({inst, method});
    b->Unit(benchmark::kMillisecond);
}

BENCHMARK(instance)->Apply(arguments);
BENCHMARK(bareRuns)->Apply(arguments);
BENCHMARK(phase2)->Apply(arguments);
BENCHMARK(phase2BareRuns)->Apply(arguments);

BENCHMARK_MAIN();
