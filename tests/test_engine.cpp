// The three execution engines: the policies on small hand-made projects, the protections against
// runs that cannot finish, and schedule properties on benchmark instances with random lists.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "durations/durations.h"
#include "engine/engine.h"
#include "project/platform.h"
#include "project/state.h"
#include "support/testSupport.h"

namespace {

// Every table of every activity holds its nominal duration, so drawn durations reproduce the
// nominal schedule whatever the draws (the resource-based engine always draws).
void nominalPools()
{
    for (int a = 1; a <= actNum; ++a) {
        for (int j = 1; j <= 10; ++j) samplePool10[a][j] = static_cast<float>(dur[a]);
        for (int j = 1; j <= midLevels; ++j) samplePoolMid[a][j] = static_cast<float>(dur[a]);
        for (int j = 1; j <= 1000; ++j) samplePool1000[a][j] = static_cast<float>(dur[a]);
        poolCursor10[a] = poolCursorMid[a] = poolCursor1000[a] = 1;
    }
}

void clearArcs()
{
    for (int a = 0; a <= maxAct; ++a) {
        setClear(extraFinPred[a]);
        setClear(extraStartPred[a]);
    }
}

// One resource of capacity 3; activities 2 (2 units, 3 long), 3 (2 units, 1 long) and 4 (1 unit,
// 1 long) between the dummies 1 and 5, unrelated to each other.
void capacityThreeProject()
{
    setProject({{0, 0, 3, 1, 1, 0},
                {{1, 2}, {1, 3}, {1, 4}, {2, 5}, {3, 5}, {4, 5}},
                {0, 3},
                {{}, {0, 0}, {0, 2}, {0, 2}, {0, 1}, {0, 0}}});
    clearArcs();
}

// One resource of capacity 2; activities 2 (2 long) and 3 (3 long), one unit each.
void capacityTwoProject()
{
    setProject({{0, 0, 2, 3, 0}, {{1, 2}, {1, 3}, {2, 4}, {3, 4}}, {0, 2}, {{}, {0, 0}, {0, 1}, {0, 1}, {0, 0}}});
    clearArcs();
}

}  // namespace

// ---- The policies on small projects ----

TEST(engine, singleActivityProjectEndsWithTheEndActivityAtItsFinish)
{
    setProject({{0, 0, 5, 0}, {{1, 2}, {2, 3}}, {0, 4}, {{}, {0, 0}, {0, 3}, {0, 0}}});
    clearArcs();
    auto list = makeList({1, 2, 3});
    EXPECT_EQ(executeActivityBased(list.data(), false, 1), 5.0f);
    EXPECT_EQ(startTime[3], 5.0f);
    EXPECT_EQ(finishTime[3], 5.0f);
    EXPECT_EQ(executeWithArcs(list.data(), false, 1), 5.0f);
    EXPECT_EQ(startTime[3], 5.0f);
    EXPECT_EQ(finishTime[3], 5.0f);

    // Drawn durations: ten runs on the ten-level table return each entry of activity 2 once, and
    // every activity, the dummies included, draws exactly once per run.
    for (int a = 1; a <= 3; ++a) {
        for (int j = 1; j <= 10; ++j) samplePool10[a][j] = a == 2 ? static_cast<float>(j) : 0.0f;
        poolCursor10[a] = 1;
    }
    std::vector<int> seen(11, 0);
    for (int run = 0; run < 10; ++run) {
        float makespan = executeResourceBased(list.data(), 10);
        EXPECT_EQ(makespan, finishTime[2]);
        EXPECT_EQ(startTime[3], finishTime[2]);
        int v = static_cast<int>(makespan);
        ASSERT_EQ(static_cast<float>(v), makespan);
        ASSERT_GE(v, 1);
        ASSERT_LE(v, 10);
        ++seen[v];
    }
    for (int v = 1; v <= 10; ++v) EXPECT_EQ(seen[v], 1) << v;
    for (int a = 1; a <= 3; ++a) EXPECT_EQ(poolCursor10[a], 11) << a;
}

TEST(engine, capacityThreeExampleUnderEveryPolicy)
{
    capacityThreeProject();
    auto list = makeList({1, 2, 3, 4, 5});

    // Activity-based: 3 does not fit beside 2, and blocks 4 behind it.
    EXPECT_EQ(executeActivityBased(list.data(), false, 1), 4.0f);
    EXPECT_EQ(startTime[2], 0.0f);
    EXPECT_EQ(startTime[3], 3.0f);
    EXPECT_EQ(startTime[4], 3.0f);
    EXPECT_EQ(startTime[5], 4.0f);

    // Resource-based: 4 passes the waiting 3.
    EXPECT_EQ(executeWithArcs(list.data(), false, 1), 4.0f);
    EXPECT_EQ(startTime[2], 0.0f);
    EXPECT_EQ(startTime[4], 0.0f);
    EXPECT_EQ(startTime[3], 3.0f);

    nominalPools();
    EXPECT_EQ(executeResourceBased(list.data(), 10), 4.0f);
    EXPECT_EQ(startTime[2], 0.0f);
    EXPECT_EQ(startTime[4], 0.0f);
    EXPECT_EQ(startTime[3], 3.0f);
    EXPECT_EQ(executeActivityBased(list.data(), true, midLevels), 4.0f);
    EXPECT_EQ(startTime[4], 3.0f);
}

TEST(engine, extraArcsDelayOrReorderStarts)
{
    capacityTwoProject();
    auto list = makeList({1, 2, 3, 4});
    EXPECT_EQ(executeWithArcs(list.data(), false, 1), 3.0f);
    EXPECT_EQ(startTime[2], 0.0f);
    EXPECT_EQ(startTime[3], 0.0f);

    // Start-to-start 3 -> 2: the first pass skips 2 and starts 3, a second pass starts 2 at once.
    setAdd(extraStartPred[2], 3);
    EXPECT_EQ(executeWithArcs(list.data(), false, 1), 3.0f);
    EXPECT_EQ(startTime[3], 0.0f);
    EXPECT_EQ(startTime[2], 0.0f);
    nominalPools();
    EXPECT_EQ(executeWithArcs(list.data(), true, 10), 3.0f);
    EXPECT_EQ(startTime[2], 0.0f);

    // Finish-to-start 3 -> 2: 2 waits for the end of 3.
    clearArcs();
    setAdd(extraFinPred[2], 3);
    EXPECT_EQ(executeWithArcs(list.data(), false, 1), 5.0f);
    EXPECT_EQ(startTime[3], 0.0f);
    EXPECT_EQ(startTime[2], 3.0f);
    EXPECT_EQ(finishTime[4], 5.0f);
}

TEST(engine, equalFinishTimesCompleteInOneDecisionPoint)
{
    // Capacity 2: 2 and 3 (3 long, 1 unit each) end together; 4 follows both and needs 2 units;
    // 5 is free of precedence and needs 1 unit. Were 2 completed alone, 5 would take its unit
    // before 4 became eligible and delay 4 by one.
    setProject({{0, 0, 3, 3, 1, 1, 0},
                {{1, 2}, {1, 3}, {1, 5}, {2, 4}, {3, 4}, {4, 6}, {5, 6}},
                {0, 2},
                {{}, {0, 0}, {0, 1}, {0, 1}, {0, 2}, {0, 1}, {0, 0}}});
    clearArcs();
    auto list = makeList({1, 2, 3, 4, 5, 6});
    EXPECT_EQ(executeWithArcs(list.data(), false, 1), 5.0f);
    EXPECT_EQ(startTime[4], 3.0f);
    EXPECT_EQ(startTime[5], 4.0f);
    nominalPools();
    EXPECT_EQ(executeResourceBased(list.data(), 10), 5.0f);
    EXPECT_EQ(startTime[4], 3.0f);
}

TEST(engine, zeroDurationsReleaseAtTheSameTime)
{
    // 2 takes no time but the whole capacity; 3 needs it too and follows 2 at time 0; 4 is
    // zero-long after 3 and releases 5 at the moment 3 ends.
    setProject({{0, 0, 0, 2, 0, 1, 0},
                {{1, 2}, {1, 3}, {3, 4}, {4, 5}, {2, 6}, {5, 6}},
                {0, 2},
                {{}, {0, 0}, {0, 2}, {0, 2}, {0, 0}, {0, 1}, {0, 0}}});
    clearArcs();
    auto list = makeList({1, 2, 3, 4, 5, 6});
    nominalPools();
    for (int policy = 0; policy < 3; ++policy) {
        float makespan = policy == 0   ? executeActivityBased(list.data(), false, 1)
                         : policy == 1 ? executeWithArcs(list.data(), false, 1)
                                       : executeResourceBased(list.data(), 10);
        EXPECT_EQ(makespan, 3.0f) << policy;
        EXPECT_EQ(finishTime[2], 0.0f) << policy;
        EXPECT_EQ(startTime[3], 0.0f) << policy;
        EXPECT_EQ(startTime[4], 2.0f) << policy;
        EXPECT_EQ(finishTime[4], 2.0f) << policy;
        EXPECT_EQ(startTime[5], 2.0f) << policy;
    }
}

TEST(engine, nominalRunsDrawNothingIgnorePoolSizeAndRestoreTheState)
{
    capacityThreeProject();
    auto list = makeList({1, 3, 2, 4, 5});
    setRandState(4711);
    for (int poolSize : {1, 10, midLevels, 1000, 7}) {
        list[0] = 99;
        EXPECT_EQ(executeActivityBased(list.data(), false, poolSize), 4.0f);
        EXPECT_EQ(list[0], 0);
        EXPECT_EQ(simTime, 4.0f);
        EXPECT_EQ(startTime[2], 1.0f);
        EXPECT_EQ(finishTime[0], 0.0f);
        EXPECT_EQ(executeWithArcs(list.data(), false, poolSize), 4.0f);
        EXPECT_EQ(resCap[1], 3);
    }
    EXPECT_EQ(getRandState(), 4711u);
}

TEST(engine, duplicateSuccessorEntryEntersEligSetOnce)
{
    // The arc 1 -> 2 stands twice in succList[1]; 2 and 3 compete for the one unit.
    setProject({{0, 0, 2, 2, 0},
                {{1, 2}, {1, 2}, {1, 3}, {2, 4}, {3, 4}},
                {0, 1},
                {{}, {0, 0}, {0, 1}, {0, 1}, {0, 0}}});
    clearArcs();
    ASSERT_EQ(succNum[1], 3);
    auto list = makeList({1, 2, 3, 4});
    nominalPools();
    testing::internal::CaptureStdout();
    EXPECT_EQ(executeWithArcs(list.data(), false, 1), 4.0f);
    EXPECT_EQ(executeResourceBased(list.data(), 10), 4.0f);
    EXPECT_EQ(startTime[2], 0.0f);
    EXPECT_EQ(startTime[3], 2.0f);
    std::fflush(stdout);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
}

// ---- Runs that can never finish ----

namespace {

void expectStuck(float result, const std::string& output)
{
    EXPECT_EQ(result, stuckMakespan);
    EXPECT_EQ(finishTime[actNum], stuckMakespan);
    EXPECT_NE(output.find("ERROR! execution engine"), std::string::npos) << output;
}

}  // namespace

TEST(engine, requirementAboveCapacityAbortsEveryPolicy)
{
    capacityThreeProject();
    resReq[3][1] = 4;
    auto list = makeList({1, 2, 3, 4, 5});
    nominalPools();
    for (int policy = 0; policy < 4; ++policy) {
        testing::internal::CaptureStdout();
        float result = policy == 0   ? executeActivityBased(list.data(), false, 1)
                       : policy == 1 ? executeActivityBased(list.data(), true, 10)
                       : policy == 2 ? executeWithArcs(list.data(), false, 1)
                                     : executeResourceBased(list.data(), 10);
        std::fflush(stdout);
        expectStuck(result, testing::internal::GetCapturedStdout());
        EXPECT_EQ(resCap[1], 3) << policy;
        EXPECT_EQ(startTime[3], -1.0f) << policy;
    }
    // The engine is usable again at once.
    resReq[3][1] = 2;
    EXPECT_EQ(executeActivityBased(list.data(), false, 1), 4.0f);
}

TEST(engine, listAgainstPrecedenceAbortsTheActivityBasedRun)
{
    setProject({{0, 0, 1, 1, 0}, {{1, 2}, {2, 3}, {3, 4}}, {0, 1}, {{}, {0, 0}, {0, 1}, {0, 1}, {0, 0}}});
    auto list = makeList({1, 3, 2, 4});
    testing::internal::CaptureStdout();
    float result = executeActivityBased(list.data(), false, 1);
    std::fflush(stdout);
    expectStuck(result, testing::internal::GetCapturedStdout());
    EXPECT_EQ(resCap[1], 1);
}

TEST(engine, cyclicExtraArcsAbortTheRun)
{
    capacityTwoProject();
    auto list = makeList({1, 2, 3, 4});
    for (int kind = 0; kind < 3; ++kind) {
        clearArcs();
        setAdd(kind == 0 ? extraFinPred[2] : extraStartPred[2], 3);
        setAdd(kind == 1 ? extraStartPred[3] : extraFinPred[3], 2);
        testing::internal::CaptureStdout();
        float result = executeWithArcs(list.data(), false, 1);
        std::fflush(stdout);
        expectStuck(result, testing::internal::GetCapturedStdout());
        EXPECT_EQ(resCap[1], 2) << kind;
    }
}

// ---- Benchmark instances and random lists ----

namespace {

// A precedence-feasible list drawn uniformly among the eligible activities at every place.
std::vector<uint8_t> randomList(std::mt19937& gen)
{
    int n = actNum;
    std::vector<int> order;
    ActSet placed;
    setClear(placed);
    while (static_cast<int>(order.size()) < n) {
        std::vector<int> eligible;
        for (int a = 1; a <= n; ++a)
            if (!setHas(placed, a) && setSubset(predSet[a], placed)) eligible.push_back(a);
        int a = eligible[gen() % eligible.size()];
        order.push_back(a);
        setAdd(placed, a);
    }
    return makeList(order);
}

// The free capacity of resource r once every start at time t has been made.
int freeAt(float t, int r)
{
    int used = 0;
    for (int b = 1; b <= actNum; ++b)
        if (startTime[b] <= t && t < finishTime[b]) used += resReq[b][r];
    return resCap[r] - used;
}

bool fitsAt(int a, float t)
{
    for (int r = 1; r <= resNum; ++r)
        if (resReq[a][r] > freeAt(t, r)) return false;
    return true;
}

bool predecessorsDoneBy(int a, float t)
{
    for (int i = 1; i <= predNum[a]; ++i)
        if (!(finishTime[predList[a][i]] <= t)) return false;
    return true;
}

// Precedence, capacity and the makespan of the last schedule; nominal durations when asked.
void expectFeasibleSchedule(bool nominal, const std::string& what)
{
    int n = actNum;
    float latest = 0.0f;
    for (int a = 1; a <= n; ++a) {
        ASSERT_GE(startTime[a], 0.0f) << what << " activity " << a;
        if (nominal) {
            ASSERT_EQ(finishTime[a] - startTime[a], static_cast<float>(dur[a])) << what;
        }
        for (int i = 1; i <= succNum[a]; ++i)
            ASSERT_LE(finishTime[a], startTime[succList[a][i]]) << what << " arc " << a;
        for (int r = 1; r <= resNum; ++r) ASSERT_GE(freeAt(startTime[a], r), 0) << what << " at " << a;
        latest = std::max(latest, finishTime[a]);
    }
    ASSERT_EQ(finishTime[n], latest) << what;
    ASSERT_EQ(simTime, latest) << what;
}

// Decision times of the last schedule: 0 and every finish time.
std::vector<float> decisionTimes()
{
    std::vector<float> times{0.0f};
    for (int a = 1; a <= actNum; ++a) times.push_back(finishTime[a]);
    return times;
}

}  // namespace

TEST(engine, benchmarkSchedulesAreFeasibleAndWithoutNeedlessDelay)
{
    std::mt19937 gen(20240611);
    for (const char* stem : {"j301_1", "j3013_7", "j6025_2", "j9037_4", "j1201_1", "j12046_9"}) {
        ASSERT_TRUE(loadBenchmark(stem)) << stem;
        clearArcs();
        for (int trial = 0; trial < 6; ++trial) {
            auto list = randomList(gen);
            std::string what = std::string(stem) + " list " + std::to_string(trial);

            executeActivityBased(list.data(), false, 1);
            ASSERT_NO_FATAL_FAILURE(expectFeasibleSchedule(true, what + " activity-based"));
            std::vector<float> times = decisionTimes();
            // Start times follow the list; between the start of its predecessor in the list and
            // its own start, an activity was never both released and within the free capacity.
            for (int p = 2; p <= actNum; ++p) {
                int a = list[p];
                float from = startTime[list[p - 1]];
                ASSERT_LE(from, startTime[a]) << what << " place " << p;
                for (float t : times) {
                    if (from <= t && t < startTime[a] && predecessorsDoneBy(a, t)) {
                        ASSERT_FALSE(fitsAt(a, t)) << what << " activity " << a << " idle at " << t;
                    }
                }
            }

            executeWithArcs(list.data(), false, 1);
            ASSERT_NO_FATAL_FAILURE(expectFeasibleSchedule(true, what + " resource-based"));
            // No activity waits while it is released and fits the capacity left at a decision time.
            times = decisionTimes();
            for (int a = 1; a <= actNum; ++a) {
                for (float t : times) {
                    if (t < startTime[a] && predecessorsDoneBy(a, t)) {
                        ASSERT_FALSE(fitsAt(a, t)) << what << " activity " << a << " idle at " << t;
                    }
                }
            }
        }
    }
}

TEST(engine, drawnSchedulesRespectPrecedenceAndCapacity)
{
    std::mt19937 gen(77);
    for (const char* stem : {"j3021_3", "j6041_8", "j12011_2"}) {
        ASSERT_TRUE(loadBenchmark(stem)) << stem;
        clearArcs();
        for (int dist = 1; dist <= 5; ++dist) {
            distNum = dist;
            buildSamplePool();
            auto list = randomList(gen);
            std::string what = std::string(stem) + " distribution " + std::to_string(dist);
            for (int run = 0; run < 10; ++run) {
                executeActivityBased(list.data(), true, 10);
                ASSERT_NO_FATAL_FAILURE(expectFeasibleSchedule(false, what + " activity-based"));
                for (int p = 2; p <= actNum; ++p) ASSERT_LE(startTime[list[p - 1]], startTime[list[p]]) << what;
                executeResourceBased(list.data(), 10);
                ASSERT_NO_FATAL_FAILURE(expectFeasibleSchedule(false, what + " resource-based"));
            }
        }
    }
}

TEST(engine, arcEngineWithoutArcsDrawsLikeTheResourceBasedEngine)
{
    std::mt19937 gen(5);
    for (const char* stem : {"j301_1", "j6012_4", "j1207_3"}) {
        ASSERT_TRUE(loadBenchmark(stem)) << stem;
        clearArcs();
        distNum = 2;
        auto list = randomList(gen);
        for (int poolSize : {10, midLevels, 1000}) {
            int runs = poolSize == 1000 ? 120 : poolSize;
            std::vector<float> plain, arcs, starts;
            buildSamplePool();
            setRandState(987654321u);
            for (int run = 0; run < runs; ++run) {
                plain.push_back(executeResourceBased(list.data(), poolSize));
                starts.insert(starts.end(), startTime + 1, startTime + actNum + 1);
            }
            uint32_t after = getRandState();
            buildSamplePool();
            setRandState(987654321u);
            for (int run = 0; run < runs; ++run) {
                arcs.push_back(executeWithArcs(list.data(), true, poolSize));
                for (int a = 1; a <= actNum; ++a)
                    ASSERT_EQ(startTime[a], starts[run * actNum + a - 1]) << stem << " run " << run;
            }
            EXPECT_EQ(plain, arcs) << stem << " pool " << poolSize;
            EXPECT_EQ(getRandState(), after);
        }
    }
}

// Makespans from a fixed random state on fixed tables: any change in the order of draws or in a
// decision of the loop shows here. The tables are filled by a formula, so only the draw itself
// (and the random stream) are shared with the sampling code.
TEST(engine, drawnMakespansStayTheSame)
{
    ASSERT_TRUE(loadBenchmark("j1201_1"));
    clearArcs();
    std::vector<int> order;
    for (int a = 1; a <= actNum; ++a) order.push_back(a);
    auto list = makeList(order);
    ASSERT_TRUE(isFeasibleList(list.data(), actNum));
    // Start-to-start arcs along places 10..30, a few finish-to-start arcs between later places, and
    // places beyond 64, which lie in the second word of eligSet.
    auto addArcs = [&]() {
        for (int p = 10; p < 30; ++p) setAdd(extraStartPred[list[p + 1]], list[p]);
        for (int p = 35; p < 115; p += 5) setAdd(extraFinPred[list[p + 2]], list[p]);
    };
    for (int a = 1; a <= actNum; ++a)
        for (int j = 1; j <= 10; ++j) samplePool10[a][j] = static_cast<float>(dur[a]) * (0.25f + 0.15f * j);
    double sums[4] = {};
    setRandState(20240611u);
    for (int engine = 0; engine < 4; ++engine) {
        if (engine == 3) addArcs();
        for (int a = 1; a <= actNum; ++a) poolCursor10[a] = 1;
        for (int run = 0; run < 10; ++run)
            sums[engine] += engine == 0   ? executeActivityBased(list.data(), true, 10)
                            : engine == 1 ? executeResourceBased(list.data(), 10)
                                          : executeWithArcs(list.data(), true, 10);
    }
    EXPECT_EQ(sums[0], 2631.2001037597656);
    EXPECT_EQ(sums[1], 1411.7000122070312);
    EXPECT_EQ(sums[2], 1432.7000122070312);
    EXPECT_EQ(sums[3], 1693.7500915527344);
    EXPECT_EQ(getRandState(), 3385970131u);
    EXPECT_EQ(executeActivityBased(list.data(), false, 1), 236.0f);
    EXPECT_EQ(executeWithArcs(list.data(), false, 1), 154.0f);
}

// A long list (beyond 64 activities) with two resources, set up after a four-resource instance so
// that the unused columns hold stale amounts: the resource-based runs must neither wait needlessly
// nor overload a resource, whatever the order of the list.
TEST(engine, longListWithTwoResourcesStartsEveryActivityThatFits)
{
    ASSERT_TRUE(loadBenchmark("j1201_1"));
    const int n = 90;
    TestProject p;
    p.dur.assign(n + 1, 0);
    p.req.assign(n + 1, std::vector<int>(3, 0));
    p.cap = {0, 7, 5};
    for (int a = 2; a < n; ++a) {
        p.dur[a] = 1 + (a * 7) % 5;
        p.req[a][1] = (a * 3) % 8;
        p.req[a][2] = (a * 5) % 6;
        p.arcs.push_back({1, a});
        p.arcs.push_back({a, n});
        if (a % 9 == 0) p.arcs.push_back({a - 4, a});
    }
    setProject(p);
    clearArcs();
    std::mt19937 gen(7);
    for (int trial = 0; trial < 4; ++trial) {
        auto list = randomList(gen);
        std::string what = "trial " + std::to_string(trial);
        executeWithArcs(list.data(), false, 1);
        ASSERT_NO_FATAL_FAILURE(expectFeasibleSchedule(true, what));
        std::vector<float> times = decisionTimes();
        for (int a = 1; a <= actNum; ++a)
            for (float t : times)
                if (t < startTime[a] && predecessorsDoneBy(a, t)) {
                    ASSERT_FALSE(fitsAt(a, t)) << what << " activity " << a << " idle at " << t;
                }
    }
}

// ---- The resource-based start rules against a plain scan ----

namespace {

// A random project of n activities (dummies 1 and n) with k resources: each real activity follows
// one to three earlier activities, or the start, and precedes the end. Capacities are small, so
// that many activities wait, and requirements reach the capacity, so that every level matters.
TestProject randomProject(std::mt19937& gen, int n, int k)
{
    TestProject p;
    p.dur.assign(n + 1, 0);
    p.cap.assign(k + 1, 0);
    p.req.assign(n + 1, std::vector<int>(k + 1, 0));
    for (int r = 1; r <= k; ++r) p.cap[r] = 1 + static_cast<int>(gen() % 12);
    for (int a = 2; a < n; ++a) {
        p.dur[a] = static_cast<int>(gen() % 6);
        for (int r = 1; r <= k; ++r) p.req[a][r] = static_cast<int>(gen() % (p.cap[r] + 1));
        int preds = a == 2 ? 0 : static_cast<int>(gen() % 4);
        for (int i = 0; i < preds; ++i) p.arcs.push_back({2 + static_cast<int>(gen() % (a - 2)), a});
        if (preds == 0) p.arcs.push_back({1, a});
        p.arcs.push_back({a, n});
    }
    return p;
}

// Extra arcs between places of a precedence-feasible order, always forward in it, so they cannot
// close a cycle. Along another order than the run's list they often point against the list.
void randomForwardArcs(std::mt19937& gen, const std::vector<uint8_t>& list, int count)
{
    clearArcs();
    int n = actNum;
    for (int i = 0; i < count; ++i) {
        int from = 2 + static_cast<int>(gen() % (n - 3));
        int to = from + 1 + static_cast<int>(gen() % (n - 1 - from));
        ActSet& set = gen() % 2 ? extraStartPred[list[to]] : extraFinPred[list[to]];
        setAdd(set, list[from]);
    }
}

// The resource-based policy exactly as stated, without any of the engine's shortcuts: at every
// decision point the list is scanned place by place until a scan starts nothing, and each scanned
// activity is tested for release, resources and (with arcs) its extra predecessors. Durations come
// from given, or are drawn with rndGen(a, poolSize) at the start. Returns the makespan; the
// schedule is left in start and finish.
float plainScanRun(const uint8_t* list, bool arcs, const float* given, int poolSize,
                   std::vector<float>& start, std::vector<float>& finish)
{
    int n = actNum;
    start.assign(n + 1, -1.0f);
    finish.assign(n + 1, 0.0f);
    std::vector<int> freeCap(resNum + 1), running;
    for (int r = 1; r <= resNum; ++r) freeCap[r] = resCap[r];
    ActSet finished, started;
    setClear(finished);
    setClear(started);
    std::vector<bool> eligible(n + 1, false);
    eligible[1] = true;
    int finishedCount = 0;
    float now = 0.0f;
    for (;;) {
        while (!running.empty() && finish[running.front()] == now) {
            int h = running.front();
            running.erase(running.begin());
            ++finishedCount;
            setAdd(finished, h);
            for (int r = 1; r <= resNum; ++r) freeCap[r] += resReq[h][r];
            for (int i = 1; i <= succNum[h]; ++i) {
                int s = succList[h][i];
                if (start[s] == -1.0f && setSubset(predSet[s], finished)) eligible[s] = true;
            }
        }
        bool startedAny = true;
        while (startedAny) {
            startedAny = false;
            for (int p = 1; p <= n; ++p) {
                int a = list[p];
                if (!eligible[a]) continue;
                bool fits = true;
                for (int r = 1; r <= resNum; ++r) fits = fits && resReq[a][r] <= freeCap[r];
                if (!fits) continue;
                if (arcs && (!setSubset(extraFinPred[a], finished) || !setSubset(extraStartPred[a], started)))
                    continue;
                for (int r = 1; r <= resNum; ++r) freeCap[r] -= resReq[a][r];
                float t = given ? given[a] : rndGen(a, poolSize);
                start[a] = now;
                finish[a] = now + t;
                setAdd(started, a);
                eligible[a] = false;
                auto later = std::upper_bound(running.begin(), running.end(), finish[a],
                                              [&](float f, int b) { return f < finish[b]; });
                running.insert(later, a);
                startedAny = true;
            }
        }
        if (running.empty()) return stuckMakespan;
        now = finish[running.front()];
        if (finishedCount >= n - 1) return finish[n];
    }
}

// Everything a draw reads and writes (tables, cursors, random stream), to run both rules from the
// same draws and to compare what they leave behind.
struct Draws {
    std::vector<float> tables;
    std::vector<int32_t> cursors;
    uint32_t randState;
    bool operator==(const Draws& o) const
    {
        return tables == o.tables && cursors == o.cursors && randState == o.randState;
    }
};

Draws saveDraws()
{
    Draws d{{&samplePool10[0][0], &samplePool10[0][0] + actDim * 11}, {}, getRandState()};
    d.tables.insert(d.tables.end(), &samplePoolMid[0][0], &samplePoolMid[0][0] + actDim * (midLevels + 1));
    d.cursors.insert(d.cursors.end(), poolCursor10, poolCursor10 + actDim);
    d.cursors.insert(d.cursors.end(), poolCursorMid, poolCursorMid + actDim);
    return d;
}

void restoreDraws(const Draws& d)
{
    std::copy_n(d.tables.begin(), actDim * 11, &samplePool10[0][0]);
    std::copy_n(d.tables.begin() + actDim * 11, actDim * (midLevels + 1), &samplePoolMid[0][0]);
    std::copy_n(d.cursors.begin(), actDim, poolCursor10);
    std::copy_n(d.cursors.begin() + actDim, actDim, poolCursorMid);
    setRandState(d.randState);
}

// One engine call against the plain scan from the same state: same makespan, schedule, end time
// and draws (tables, cursors and random stream alike).
void expectSameAsPlainScan(int engine, const uint8_t* list, const float* given, int poolSize,
                           const std::string& what)
{
    Draws before = saveDraws();
    std::vector<uint8_t> capacities(resCap, resCap + resDim);
    std::vector<uint8_t> copy(list, list + actNum + 1);
    float got = given == nullptr ? (engine == 1 ? executeResourceBased(copy.data(), poolSize)
                                                : executeWithArcs(copy.data(), true, poolSize))
                                 : (engine == 1 ? executeResourceBasedGiven(copy.data(), given)
                                                : executeWithArcsGiven(copy.data(), given));
    Draws afterEngine = saveDraws();
    ASSERT_EQ(std::vector<uint8_t>(resCap, resCap + resDim), capacities) << what;
    std::vector<float> engineStart(startTime, startTime + actNum + 1);
    std::vector<float> engineFinish(finishTime, finishTime + actNum + 1);
    restoreDraws(before);
    std::vector<float> start, finish;
    float expected = plainScanRun(list, engine == 2, given, poolSize, start, finish);
    ASSERT_EQ(got, expected) << what;
    for (int a = 1; a <= actNum; ++a) {
        ASSERT_EQ(engineStart[a], start[a]) << what << " activity " << a;
        ASSERT_EQ(engineFinish[a], finish[a]) << what << " activity " << a;
    }
    ASSERT_TRUE(afterEngine == saveDraws()) << what;
}

}  // namespace

// Random projects of 5 to 122 activities with one to four resources, random lists, runs drawn from
// the 10- and midLevels-level tables and given durations with many ties and zeros, with and without
// extra arcs (along the list, or along the other list and so often against it, which lets a start
// release a member at an earlier place). Lists and projects alternate between calls, and a
// project's requirements change under an unchanged list, so that whatever the engine keeps from one
// run to the next is put to the test; then, under one list, the capacities alone and the number of
// resources alone change. Projects of 63 and 64 activities sit on both sides of the engine's
// one-word and two-word place sets.
TEST(engine, resourceBasedRulesMatchAPlainScan)
{
    std::mt19937 gen(8128);
    for (int trial = 0; trial < 60; ++trial) {
        int n = trial % 10 == 9 ? maxAct : trial % 10 == 4 ? 63 + trial / 10 % 2 : 5 + static_cast<int>(gen() % 118);
        int k = 1 + trial % 4;
        TestProject project = randomProject(gen, n, k);
        setProject(project);
        distNum = 1 + trial % 5;
        buildSamplePool();
        auto first = randomFeasibleList(gen());
        auto second = randomFeasibleList(gen());
        std::vector<float> given(n + 1);
        for (int round = 0; round < 6; ++round) {
            std::string what = "trial " + std::to_string(trial) + " round " + std::to_string(round);
            const auto& list = round % 3 == 2 ? second : first;
            if (round == 4) {
                // Same list, other requirements.
                for (int a = 2; a < n; ++a)
                    for (int r = 1; r <= k; ++r) resReq[a][r] = static_cast<uint8_t>(gen() % (resCap[r] + 1));
            }
            const auto& arcOrder = round < 3 ? list : &list == &first ? second : first;
            randomForwardArcs(gen, arcOrder, round % 2 ? static_cast<int>(gen() % (n / 2 + 1)) : 0);
            for (int a = 2; a < n; ++a) given[a] = static_cast<float>(gen() % 4);
            for (int engine = 1; engine <= 2; ++engine) {
                ASSERT_NO_FATAL_FAILURE(expectSameAsPlainScan(engine, list.data(), given.data(), 0, what + " given"));
                for (int poolSize : {10, midLevels})
                    for (int run = 0; run < 3; ++run)
                        ASSERT_NO_FATAL_FAILURE(expectSameAsPlainScan(engine, list.data(), nullptr, poolSize,
                                                                      what + " pool " + std::to_string(poolSize)));
            }
        }
        // Change 1 adds a unit of resource 1; change 2 drops the last resource, whose column keeps
        // its values, so that only the count says it is gone.
        for (int change = 0; change < 3; ++change) {
            if (change == 1) ++resCap[1];
            if (change == 2 && k > 1) --resNum;
            std::string what = "trial " + std::to_string(trial) + " change " + std::to_string(change);
            for (int engine = 1; engine <= 2; ++engine)
                ASSERT_NO_FATAL_FAILURE(expectSameAsPlainScan(engine, first.data(), nullptr, 10, what));
        }
        resNum = static_cast<uint8_t>(k);
    }
}
