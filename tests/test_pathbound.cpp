// The path bound of an evaluation: known expected longest paths, the path of projects numbered
// out of precedence order, no policy below it on any scenario, and its columns of a row.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "project/platform.h"
#include "project/state.h"
#include "simulation/pathBound.h"
#include "simulation/pathStatistics.h"
#include "simulation/policy.h"
#include "simulation/scenarios.h"
#include "support/testSupport.h"

namespace {

// The path bound of the loaded project over runs scenarios of distribution dist, filled into a row.
EvalRow pathBoundOf(int dist, long runs)
{
    PathOrder order;
    makePathOrder(order);
    ScenarioSource s;
    makeScenarioSource(s, 1, 1, 1, dist, 11, 0);
    float d[actDim];
    std::vector<float> paths(runs);
    for (long k = 1; k <= runs; ++k) {
        drawScenario(s, k, d);
        paths[k - 1] = longestPath(order, d);
    }
    EvalRow row;
    fillPathBound(row, paths);
    return row;
}

TEST(pathBound, aChainsBoundIsTheSumOfTheMeansUnderEveryDistribution)
{
    setProject(TestProject{{0, 0, 3, 1, 7, 2, 0}, {{1, 2}, {2, 3}, {3, 4}, {4, 5}, {5, 6}}, {}, {}});
    for (int dist = 1; dist <= 5; ++dist) {
        EvalRow row = pathBoundOf(dist, 20000);
        EXPECT_GT(row.pathBoundStderr, 0);
        EXPECT_NEAR(row.pathBound, 13.0, 4 * row.pathBoundStderr) << "distribution " << dist;
    }
}

TEST(pathBound, twoParallelU2ActivitiesTakeTheExpectedMaximumOfTwoUniforms)
{
    // U2: durations uniform on [0, 2a] and [0, 2b]; E max of U[0, A] and U[0, B], A <= B, is
    // B/2 + A^2 / (6B). Two pairs: unequal, and equal (then 2A/3).
    for (auto [a, b] : {std::pair<int, int>{3, 5}, {4, 4}}) {
        setProject(TestProject{{0, 0, a, b, 0}, {{1, 2}, {1, 3}, {2, 4}, {3, 4}}, {}, {}});
        const double A = 2.0 * a, B = 2.0 * b;
        EvalRow row = pathBoundOf(3, 40000);
        EXPECT_NEAR(row.pathBound, B / 2 + A * A / (6 * B), 4 * row.pathBoundStderr) << a << " " << b;
        // Far from the critical path: the bound the nominal durations give is b.
        EXPECT_GT(row.pathBound, b + 0.1 * b);
    }
}

// The longest path by repeated relaxation over all arcs, without any order of the activities.
float relaxedLongestPath(const float* d)
{
    float finish[actDim] = {};
    for (int round = 0; round <= actNum; ++round)
        for (int a = 1; a <= actNum; ++a) {
            float start = 0;
            for (int k = 1; k <= predNum[a]; ++k) start = std::max(start, finish[predList[a][k]]);
            finish[a] = start + d[a];
        }
    float longest = 0;
    for (int a = 1; a <= actNum; ++a) longest = std::max(longest, finish[a]);
    return longest;
}

TEST(pathBound, projectsNumberedOutOfPrecedenceOrderGetTheirLongestPath)
{
    std::mt19937 rng(5);
    for (int p = 0; p < 40; ++p) {
        setProject(randomProject(rng, 12 + p % 20, 2, p % 3 == 0, 10));
        PathOrder order;
        makePathOrder(order);
        ASSERT_EQ(order.n, actNum);
        ScenarioSource s;
        makeScenarioSource(s, 1, 1, 1, 1 + p % 5, 3, 0);
        float d[actDim];
        for (long k = 1; k <= 20; ++k) {
            drawScenario(s, k, d);
            ASSERT_EQ(longestPath(order, d), relaxedLongestPath(d)) << "project " << p << " scenario " << k;
        }
    }
}

// A list of every J30 instance under both Phase 1 rules, and every policy of the reference runs'
// records (their lists and arcs, under each record's own distribution): no makespan below its path.
TEST(pathBound, noMakespanOfAJ30EvaluationLiesBelowItsScenariosLongestPath)
{
    setKeyWaits(false);
    long below = 0, runs = 0;
    std::vector<float> paths, m1, m2;
    auto count = [&](const PolicyRecord& r, uint8_t* list, int dist, long n) {
        PathOrder order;
        makePathOrder(order);
        ScenarioSource s;
        makeScenarioSource(s, scenarioKeyOf(r, dist, 1), dist, 0);
        float d[actDim];
        paths.resize(n);
        m1.resize(n);
        m2.resize(n);
        for (long k = 1; k <= n; ++k) {
            drawScenario(s, k, d);
            paths[k - 1] = longestPath(order, d);
            m1[k - 1] = runPhase1Policy(r, list, d);
            m2[k - 1] = runPhase2Policy(list, d);
        }
        EvalRow row;
        fillPathBound(row, paths);
        EXPECT_EQ(fillPathGap(row, m1, paths), 0) << instanceStem(r);
        EXPECT_GE(row.gapPath, 0) << instanceStem(r);
        below += runsBelowPath(m1, paths) + runsBelowPath(m2, paths);
        runs += 2 * n;
    };
    // First (no extra arcs are installed yet) every J30 instance with a list in precedence order, under both Phase 1 rules and all
    // distributions: resource-based (HV) and activity-based (LV).
    for (int group = 1; group <= 48; ++group)
        for (int inst = 1; inst <= 10; ++inst) {
            PolicyRecord r;
            r.dataset = "J30";
            r.group = group;
            r.instance = inst;
            r.method = inst % 2 ? "HV" : "LV";
            r.distribution = "U2";
            uint8_t list[actDim];
            std::string error;
            ASSERT_TRUE(loadBenchmark(1, group, inst));
            std::vector<uint8_t> order = randomFeasibleList(static_cast<uint32_t>(group * 10 + inst));
            for (int k = 0; k <= actNum; ++k) list[k] = order[k];
            count(r, list, 1 + (group + inst) % 5, 100);
        }
    // Then the reference runs' records, each installing exactly its own arcs.
    for (const char* dist : {"U1", "B1", "U2", "B2", "EXP"}) {
        const char* method = std::string(dist) == "U1" || std::string(dist) == "B1" ? "LV" : "HV";
        const std::string path = std::string(TARVO_PSPLIB_DIR) + "/../golden/batch-J30-" + dist +
                                 "-#25000sch-" + method + "-g1-3.jsonl";
        std::ifstream in(path);
        ASSERT_TRUE(in) << path;
        std::string line;
        int records = 0;
        while (std::getline(in, line)) {
            PolicyRecord r;
            std::string error;
            uint8_t list[actDim];
            ASSERT_TRUE(parsePolicyLine(line, r, error)) << error;
            ASSERT_TRUE(loadPolicy(r, TARVO_PSPLIB_DIR, path, list, error)) << error;
            count(r, list, distributionOf(r), 2000);
            ++records;
        }
        EXPECT_EQ(records, 30) << path;
    }
    EXPECT_GT(runs, 600000);
    EXPECT_EQ(below, 0);
}

}  // namespace
