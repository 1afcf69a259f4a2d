// Evaluation scenarios: every activity's duration drawn anew per run from the exact continuous
// distribution of a rule (or from an L-level tabulation), by inverse CDF on a PCG64 stream.
//
// The stream of (data set, group, instance, evaluation distribution, seed) is
//   key = seed << 32 ^ data set << 24 ^ distribution << 16 ^ group << 8 ^ instance,
//   pcg64(mix64(key), key)   (state seed, stream selector),
// the same key layout as the batch run's search streams but another generator, so no evaluation
// draw is ever one of the search's. Scenario K (1-based) takes draws (K - 1) n + 1 .. K n of that
// stream, n = actNum, one per activity 1..n in order: a level u = (x >> 12 + 0.5) / 2^52 from each
// 64-bit output x, strictly inside (0, 1) and with 1 - u exact. So scenario K is reached directly
// (pcg64's advance), both policies of an instance are run on the same scenarios, and the result
// of an instance depends on nothing but these five values and the levels.
//
// A project of a file run is keyed by its stem instead, never by its place in the run:
//   key = mix64(mix64(fnv1a64(stem)) ^ seed << 8 ^ distribution),
// fnv1a64 the 64-bit FNV-1a hash of the stem's bytes; so a project gets the same scenarios in any
// run of any files, folder or layout, and two projects of one run get unrelated streams.
//
// Durations for nominal d (activities of duration 0 always take 0):
//   U1  uniform on [d - sqrt d, d + sqrt d], or on [0, d + sqrt d] when d - sqrt d <= 0
//   B1  d/2 + 3d/2 X, X ~ Beta(a, 2a), a = d/2 - 1/3
//   U2  uniform on [0, 2d]
//   B2  d/2 + 3d/2 X, X ~ Beta(1/6, 1/3)
//   EXP exponential with mean d: -d ln(1 - u)
// in double precision (the beta through betaQuantile.h), rounded to float for the engine. With
// levels L > 0 the duration is instead entry floor(u L) + 1 of the search's own L-level quantile
// row (tabulateQuantiles, the spread rule of the sample pool): the discrete distribution the
// search's tables target. The same u serve both, so exact and tabulated runs are paired too.
#pragma once

#include <cstdint>
#include <pcg_random.hpp>
#include <string>
#include <vector>

#include "project/state.h"
#include "results/streamKeys.h"

struct BetaQuantileTable;

// The scenario source of one (instance, evaluation distribution, seed): the instance's durations
// as they stood when it was made (the project tables may be reloaded afterwards).
struct ScenarioSource {
    pcg64 stream;                     // positioned at the first draw of scenario `next`
    uint64_t key = 0;
    long next = 1;
    int n = 0;                        // activities: draws per scenario
    int dist = 0;                     // 1 U1, 2 B1, 3 U2, 4 B2, 5 EXP
    int levels = 0;                   // 0: exact distributions
    uint16_t nominal[actDim] = {};    // d per activity
    const BetaQuantileTable* beta[actDim] = {};   // B1/B2, exact: the shape's table
    const float* row[actDim] = {};    // levels > 0: the activity's L-level row, entries 1..L
};

// The keys of the stream (see above) are scenarioKey and fileScenarioKey of streamKeys.h.

// Prepares the scenarios of the loaded instance (actNum, dur) for data set 1..4, group, instance,
// distribution 1..5, seed and levels (0 = exact). Tables of beta shapes and of tabulations are
// built on first use and kept for the process's lifetime (nothing is made while runs are drawn).
void makeScenarioSource(ScenarioSource& source, int dataset, int group, int instance, int dist, uint32_t seed,
                        int levels);
// The same for the stream of a key made above (a file run's project: fileScenarioKey).
void makeScenarioSource(ScenarioSource& source, uint64_t key, int dist, int levels);

// Durations of scenario k >= 1 into durations[1..n] (durations[0] = 0). In order (k = the last
// k + 1) it costs n draws; any other k first moves the stream in O(log k) steps.
void drawScenario(ScenarioSource& source, long k, float* durations);

// The duration of nominal d at level u under the source's distribution (exact or tabulated, as
// the source was made): the inverse CDF the scenarios use, for tests and pictures.
float scenarioDuration(const ScenarioSource& source, int activity, double u);
