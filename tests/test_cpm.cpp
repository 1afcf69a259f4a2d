// Critical-path preprocessing: the earliest and latest times on small networks, and on every
// benchmark file against a longest-path computation over a topological order.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "project/cpm.h"
#include "project/state.h"
#include "support/testSupport.h"

namespace {

void expectTimes(const std::vector<float>& es, const std::vector<float>& ef, const std::vector<float>& ls,
                 const std::vector<float>& lf)
{
    for (int a = 1; a <= actNum; ++a) {
        EXPECT_EQ(earlyStart[a], es[a]) << "activity " << a;
        EXPECT_EQ(earlyFinish[a], ef[a]) << "activity " << a;
        EXPECT_EQ(lateStart[a], ls[a]) << "activity " << a;
        EXPECT_EQ(lateFinish[a], lf[a]) << "activity " << a;
    }
}

}  // namespace

TEST(cpm, chainGivesItsLengthAndNoSlack)
{
    setProject({{0, 0, 3, 5, 0}, {{1, 2}, {2, 3}, {3, 4}}, {}, {}});
    EXPECT_EQ(computeCpmTimes(), 1);
    expectTimes({0, 0, 0, 3, 8}, {0, 0, 3, 8, 8}, {0, 0, 0, 3, 8}, {0, 0, 3, 8, 8});
    // A second call recomputes the same times from its own starting values.
    computeCpmTimes();
    expectTimes({0, 0, 0, 3, 8}, {0, 0, 3, 8, 8}, {0, 0, 0, 3, 8}, {0, 0, 3, 8, 8});
}

TEST(cpm, shorterParallelActivityGetsTheSlack)
{
    setProject({{0, 0, 4, 1, 0}, {{1, 2}, {1, 3}, {2, 4}, {3, 4}}, {}, {}});
    computeCpmTimes();
    expectTimes({0, 0, 0, 0, 4}, {0, 0, 4, 1, 4}, {0, 0, 0, 3, 4}, {0, 0, 4, 4, 4});
}

TEST(cpm, zeroDurationsReleaseTheirSuccessorsAtOnce)
{
    // 1 -> 2 (0) -> 3 (0) -> 4 (2) -> 6 and 1 -> 5 (5) -> 6.
    setProject({{0, 0, 0, 0, 2, 5, 0}, {{1, 2}, {1, 5}, {2, 3}, {3, 4}, {4, 6}, {5, 6}}, {}, {}});
    computeCpmTimes();
    expectTimes({0, 0, 0, 0, 0, 0, 5}, {0, 0, 0, 0, 2, 5, 5}, {0, 0, 3, 3, 3, 0, 5}, {0, 0, 3, 3, 5, 5, 5});
}

TEST(cpm, resourcesPlayNoPart)
{
    // Both real activities need the whole capacity, yet they overlap in the critical-path times.
    setProject({{0, 0, 6, 4, 0}, {{1, 2}, {1, 3}, {2, 4}, {3, 4}}, {0, 5, 1}, {{}, {0, 0, 0}, {0, 5, 1}, {0, 5, 1}, {0, 0, 0}}});
    computeCpmTimes();
    EXPECT_EQ(earlyFinish[4], 6.0f);
    EXPECT_EQ(earlyStart[3], 0.0f);
    EXPECT_EQ(lateStart[3], 2.0f);
}

TEST(cpm, projectOfOneActivityKeepsTheStartingValues)
{
    setProject({{0, 7}, {}, {}, {}});
    earlyFinish[1] = 0.0f;
    computeCpmTimes();
    EXPECT_EQ(earlyFinish[1], 0.0f);
}

TEST(cpm, networkThatCannotBeTraversedStopsWithAMessage)
{
    // 3 has no predecessor, so it never becomes a candidate and the end is never reached; a cycle
    // between 2 and 3 blocks both.
    std::vector<TestProject> broken{
        {{0, 0, 2, 1, 0}, {{1, 2}, {2, 4}, {3, 4}}, {}, {}},
        {{0, 0, 2, 1, 0}, {{1, 2}, {2, 3}, {3, 2}, {3, 4}}, {}, {}},
    };
    for (const TestProject& p : broken) {
        setProject(p);
        testing::internal::CaptureStdout();
        EXPECT_EQ(computeCpmTimes(), 1);
        std::fflush(stdout);
        std::string output = testing::internal::GetCapturedStdout();
        EXPECT_NE(output.find("ERROR! computeCpmTimes"), std::string::npos) << output;
    }
}

// ---- Every benchmark file ----

namespace {

// Longest paths over a topological order of the immediate arcs, compared with the passes.
void checkAgainstLongestPaths(const std::string& stem)
{
    int n = actNum;
    std::vector<int> waiting(n + 1), order;
    for (int a = 1; a <= n; ++a) waiting[a] = predNum[a];
    for (int a = 1; a <= n; ++a)
        if (waiting[a] == 0) order.push_back(a);
    for (std::size_t i = 0; i < order.size(); ++i)
        for (int k = 1; k <= succNum[order[i]]; ++k)
            if (--waiting[succList[order[i]][k]] == 0) order.push_back(succList[order[i]][k]);
    ASSERT_EQ(static_cast<int>(order.size()), n) << stem;
    ASSERT_EQ(order.front(), 1) << stem;

    std::vector<int> es(n + 1, 0), lf(n + 1, 0);
    for (int a : order)
        for (int k = 1; k <= succNum[a]; ++k) es[succList[a][k]] = std::max(es[succList[a][k]], es[a] + dur[a]);
    int bound = es[n] + dur[n];
    for (int i = n - 1; i >= 0; --i) {
        int a = order[i];
        lf[a] = bound;
        for (int k = 1; k <= succNum[a]; ++k) lf[a] = std::min(lf[a], lf[succList[a][k]] - dur[succList[a][k]]);
    }
    ASSERT_EQ(earlyFinish[n], static_cast<float>(bound)) << stem;
    for (int a = 1; a <= n; ++a) {
        ASSERT_EQ(earlyStart[a], static_cast<float>(es[a])) << stem << " activity " << a;
        ASSERT_EQ(earlyFinish[a], static_cast<float>(es[a] + dur[a])) << stem << " activity " << a;
        ASSERT_EQ(lateFinish[a], static_cast<float>(lf[a])) << stem << " activity " << a;
        ASSERT_EQ(lateStart[a], static_cast<float>(lf[a] - dur[a])) << stem << " activity " << a;
    }
}

void checkDataset(int dataset, int groups)
{
    static const char* prefix[] = {"", "j30", "j60", "j90", "j120"};
    for (int group = 1; group <= groups; ++group)
        for (int inst = 1; inst <= 10; ++inst) {
            std::string stem = prefix[dataset] + std::to_string(group) + "_" + std::to_string(inst);
            ASSERT_TRUE(loadBenchmark(dataset, group, inst)) << stem;
            computeCpmTimes();
            checkAgainstLongestPaths(stem);
            if (testing::Test::HasFatalFailure()) return;
        }
}

}  // namespace

TEST(cpm, matchesLongestPathsOnJ30) { checkDataset(1, 48); }
TEST(cpm, matchesLongestPathsOnJ60) { checkDataset(2, 48); }
TEST(cpm, matchesLongestPathsOnJ90) { checkDataset(3, 48); }
TEST(cpm, matchesLongestPathsOnJ120) { checkDataset(4, 60); }
