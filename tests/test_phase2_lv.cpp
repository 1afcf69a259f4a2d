// Tests of the extra arc sets and of the LV Phase 2 (greedy removal of a start-to-start chain):
// applying and clearing arcs, the chain, the tie rule of a removal, the final estimate and results.
#include <gtest/gtest.h>

#include <vector>

#include "config/config.h"
#include "durations/durations.h"
#include "engine/engine.h"
#include "phase2/phase2.h"
#include "project/cpm.h"
#include "project/platform.h"
#include "project/state.h"
#include "support/testSupport.h"

namespace {

// ---- Helpers ----

// Every quantile table row of activity a holds its nominal duration, so every stochastic run is
// the nominal schedule while the draws are still made.
void fixDurations()
{
    for (int a = 1; a <= actNum; ++a) {
        for (int j = 1; j <= 1000; ++j) samplePool1000[a][j] = dur[a];
        for (int j = 1; j <= midLevels; ++j) samplePoolMid[a][j] = dur[a];
        for (int j = 1; j <= 10; ++j) samplePool10[a][j] = dur[a];
        poolCursor1000[a] = poolCursorMid[a] = poolCursor10[a] = 1;
    }
}

// Instance j301_1 under U1, with a random feasible list as Phase 1's best list.
void loadJ30(uint32_t listSeed)
{
    ASSERT_TRUE(loadBenchmark("j301_1"));
    distNum = 1;
    buildSamplePool();
    computeCpmTimes();
    setBestList(randomFeasibleList(listSeed));
}

// 1 -> {2, 3, 4} -> 5: three independent activities between the dummies, no resources.
TestProject threeParallel()
{
    return TestProject{{0, 0, 3, 2, 4, 0}, {{1, 2}, {1, 3}, {1, 4}, {2, 5}, {3, 5}, {4, 5}}, {}, {}};
}

// ---- Arc sets ----

TEST(arcs, applyArcsOrsEachArcIntoTheSetOfItsType)
{
    setProject(TestProject{std::vector<int>(81, 1), {}, {}, {}});
    clearExtraArcs();
    // Places 1..4 of an arc list; bytes 0..2 hold no triple.
    uint8_t list[15] = {99, 99, 99, 5, 9, 1, 5, 9, 1, 7, 9, 2, 70, 9, 0};
    applyArcs(list, 4);
    EXPECT_EQ(extraFinPred[9].w[0], uint64_t{1} << 5);
    EXPECT_EQ(extraFinPred[9].w[1], 0u);
    EXPECT_EQ(extraStartPred[9].w[0], uint64_t{1} << 7);
    EXPECT_EQ(extraStartPred[9].w[1], uint64_t{1} << 7);
    for (int a = 1; a <= actNum; ++a) {
        if (a == 9) continue;
        EXPECT_TRUE(setEmpty(extraFinPred[a]) && setEmpty(extraStartPred[a])) << a;
    }
    applyArcs(list, 0);
    applyArcs(list, -3);
    EXPECT_EQ(extraFinPred[9].w[0], uint64_t{1} << 5);
    // Clearing the targets of a list touches no other activity.
    setAdd(extraFinPred[8], 2);
    clearArcTargets(list, 4);
    EXPECT_TRUE(setHas(extraFinPred[8], 2));
    clearExtraArcs();
    EXPECT_TRUE(allExtraSetsEmpty());
}

// ---- Greedy arc removal ----

TEST(greedyArcRemoval, keepsTheChainWhenEveryRemovalIsWorseAndDropsItWhenNoneIs)
{
    loadJ30(7);
    // Every average is above a negative Phase 1 result, so every arc goes back.
    ph1Makespan = -1.0;
    ph1Gap = 0.0;
    EXPECT_EQ(greedyArcRemoval(), 0);
    int n = actNum;
    ASSERT_EQ(n, 32);
    int arcs = 0;
    for (int a = 1; a <= n; ++a) {
        EXPECT_TRUE(setEmpty(extraFinPred[a]));
        for (int f = 1; f <= n; ++f) arcs += setHas(extraStartPred[a], f);
    }
    EXPECT_EQ(arcs, n - 3);
    // The arcs run from place p - 1 to place p for p = 3..n - 1.
    for (int p = 3; p <= n - 1; ++p) EXPECT_TRUE(setHas(extraStartPred[bestList[p]], bestList[p - 1])) << p;
    EXPECT_TRUE(setEmpty(extraStartPred[bestList[2]]));
    EXPECT_TRUE(setEmpty(extraStartPred[bestList[n]]));
    // Against an unreachable Phase 1 result every removal is kept.
    ph1Makespan = 1e9;
    EXPECT_EQ(greedyArcRemoval(), n - 3);
    EXPECT_TRUE(allExtraSetsEmpty());
}

TEST(greedyArcRemoval, theFullChainStartsActivitiesInListOrder)
{
    ASSERT_TRUE(loadBenchmark("j301_1"));
    int n = actNum;
    for (uint32_t seed = 1; seed <= 20; ++seed) {
        setBestList(randomFeasibleList(seed));
        clearExtraArcs();
        for (int p = 3; p <= n - 1; ++p) setAdd(extraStartPred[bestList[p]], bestList[p - 1]);
        float withArcs = executeWithArcs(bestList, false, 1);
        std::vector<float> starts(startTime + 1, startTime + n + 1);
        float activityBased = executeActivityBased(bestList, false, 1);
        EXPECT_EQ(withArcs, activityBased) << seed;
        for (int a = 1; a <= n; ++a) EXPECT_EQ(starts[a - 1], startTime[a]) << seed << " activity " << a;
        for (int p = 2; p <= n; ++p) EXPECT_LE(starts[bestList[p - 1] - 1], starts[bestList[p] - 1]);
    }
}

TEST(greedyArcRemoval, aRemovalEqualToThePhase1ResultStaysRemoved)
{
    // Without resources no removal can lengthen the schedule, and with the list in order of
    // earliest start the full chain already gives the critical-path length, 4. Durations are fixed
    // at their nominal values, so every estimate is exactly 4.
    setProject(threeParallel());
    distNum = 1;
    buildSamplePool();
    computeCpmTimes();
    fixDurations();
    setBestList(makeList({1, 2, 3, 4, 5}));
    ph1Makespan = 4.0;
    ph1Gap = 0.0;
    ph2GapSum = 0.0;
    EXPECT_EQ(greedyArcRemoval(), 2);
    EXPECT_TRUE(allExtraSetsEmpty());
    EXPECT_EQ(ph2Makespan, 4.0);
    // Just below the estimate, every arc goes back.
    fixDurations();
    ph1Makespan = 3.9999;
    EXPECT_EQ(greedyArcRemoval(), 0);
    EXPECT_TRUE(setHas(extraStartPred[3], 2));
    EXPECT_TRUE(setHas(extraStartPred[4], 3));
}

TEST(greedyArcRemoval, runsOneTestPerArcAndThe1000RunEstimate)
{
    // Three activities: no arc, only the final 1000 runs of one draw per activity.
    setProject(TestProject{{0, 0, 5, 0}, {{1, 2}, {2, 3}}, {}, {}});
    distNum = 3;
    buildSamplePool();
    computeCpmTimes();
    setBestList(makeList({1, 2, 3}));
    ph1Makespan = 0.0;
    ph1Gap = 0.0;
    uint32_t before = getRandState();
    EXPECT_EQ(greedyArcRemoval(), 0);
    EXPECT_EQ(getRandState(), stateAfterDraws(before, 1000L * 3));
    EXPECT_TRUE(allExtraSetsEmpty());
    // U2 with d = 5: the 1000 quantiles average to 5 up to rounding.
    EXPECT_NEAR(ph2Makespan, 5.0, 1e-3);
    // Four activities: one arc, tested over midLevels runs, then the 1000.
    setProject(TestProject{{0, 0, 5, 3, 0}, {{1, 2}, {1, 3}, {2, 4}, {3, 4}}, {}, {}});
    buildSamplePool();
    computeCpmTimes();
    setBestList(makeList({1, 2, 3, 4}));
    before = getRandState();
    EXPECT_EQ(greedyArcRemoval(), 0);
    EXPECT_EQ(getRandState(), stateAfterDraws(before, (midLevels + 1000L) * 4));
    EXPECT_TRUE(setHas(extraStartPred[3], 2));
}

TEST(greedyArcRemoval, reportsThePhase2GapAndAddsTheSmallerGap)
{
    setProject(threeParallel());
    distNum = 1;
    buildSamplePool();
    computeCpmTimes();
    fixDurations();
    setBestList(makeList({1, 2, 3, 4, 5}));
    ASSERT_EQ(earlyFinish[5], 4.0f);
    // Phase 2 estimate 4 = the bound: gap 0, smaller than Phase 1's.
    ph1Makespan = 5.0;
    ph1Gap = 25.0;
    ph2GapSum = 10.0;
    greedyArcRemoval();
    EXPECT_EQ(bestGap, 0.0);
    EXPECT_EQ(ph2GapSum, 10.0);
    // A Phase 1 gap below the Phase 2 gap is what the sum grows by; bestGap still reports Phase 2.
    fixDurations();
    ph1Makespan = 4.0;
    ph1Gap = -5.0;
    greedyArcRemoval();
    EXPECT_EQ(bestGap, 0.0);
    EXPECT_EQ(ph2GapSum, 5.0);
}

}  // namespace
