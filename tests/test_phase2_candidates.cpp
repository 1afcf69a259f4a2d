// Tests of the candidate arc network: the pairs of the nominal pair schedule, the four arc tests of
// a pair and the direction rule, the ranking by gain, the probabilities, and the capacity messages.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "durations/durations.h"
#include "engine/engine.h"
#include "phase2/phase2.h"
#include "project/cpm.h"
#include "project/state.h"
#include "support/testSupport.h"

namespace {

// ---- Helpers ----

// Runs buildCandidateArcs and returns what it printed.
std::string buildCapturingOutput()
{
    testing::internal::CaptureStdout();
    buildCandidateArcs();
    std::fflush(stdout);
    return testing::internal::GetCapturedStdout();
}

std::vector<std::pair<int, int>> pairList()
{
    std::vector<std::pair<int, int>> pairs;
    for (int k = 1; k <= candPairNum; ++k) pairs.emplace_back(candPairs[2 * k], candPairs[2 * k + 1]);
    return pairs;
}

// Rank of candidate (from, to, type), or 0.
int candidateRank(int from, int to, int type)
{
    for (int r = 1; r <= candNum; ++r)
        if (candArcs[3 * r] == from && candArcs[3 * r + 1] == to && candArcs[3 * r + 2] == type) return r;
    return 0;
}

int countOf(const std::string& text, const std::string& what)
{
    int count = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++count;
    return count;
}

std::vector<int> capacities() { return std::vector<int>(resCap, resCap + resNum + 1); }

// One resource of capacity 2. X = 2 and Y = 3 (2 time units, 1 unit each) stand before Z = 4
// (2 time units, 1 unit), whose successor S = 5 runs 10 time units without resources. In list
// order X and Y take the resource at 0 and Z waits until 2: makespan 14. Delaying either X or Y
// lets Z start at 0 (makespan 12), whichever of the two waits.
TestProject symmetricPair()
{
    return TestProject{{0, 0, 2, 2, 2, 10, 0},
                       {{1, 2}, {1, 3}, {1, 4}, {4, 5}, {2, 6}, {3, 6}, {5, 6}},
                       {0, 2},
                       {{}, {0, 0}, {0, 1}, {0, 1}, {0, 1}, {0, 0}, {0, 0}}};
}

// ---- Pairs ----

TEST(candidateArcs, aChainProjectHasNoPairAndNoCandidate)
{
    setProject(TestProject{{0, 0, 3, 4, 2, 0}, {{1, 2}, {2, 3}, {3, 4}, {4, 5}}, {0, 1},
                           {{}, {0, 0}, {0, 1}, {0, 1}, {0, 1}, {0, 0}}});
    setBestList(makeList({1, 2, 3, 4, 5}));
    candNum = 77;
    EXPECT_EQ(buildCapturingOutput(), "");
    EXPECT_EQ(candPairNum, 0);
    EXPECT_EQ(candFound, 0);
    EXPECT_EQ(candNum, 0);
}

TEST(candidateArcs, pairsEveryActivityThatMeetsABlockedEligibleOneOnce)
{
    setProject(symmetricPair());
    setBestList(makeList({1, 2, 3, 4, 5, 6}));
    std::vector<int> caps = capacities();
    buildCapturingOutput();
    // At 0: X and Y start, Z is eligible but blocked; Z then runs alone and S after it.
    std::vector<std::pair<int, int>> expected{{2, 3}, {2, 4}, {3, 4}};
    EXPECT_EQ(pairList(), expected);
    EXPECT_EQ(capacities(), caps);
    EXPECT_TRUE(allExtraSetsEmpty());
}

TEST(candidateArcs, activitiesMeetingAtSeveralDecisionTimesArePairedOnce)
{
    // 2 and 3 run 5 time units; 4 runs 1 and is followed by 5 (1 time unit): 2 and 3 meet at 0,
    // 1 and 2. First meetings: (2, 3), (2, 4), (3, 4) at 0, then (2, 5), (3, 5) at 1.
    setProject(TestProject{{0, 0, 5, 5, 1, 1, 0},
                           {{1, 2}, {1, 3}, {1, 4}, {4, 5}, {2, 6}, {3, 6}, {5, 6}},
                           {},
                           {}});
    setBestList(makeList({1, 2, 3, 4, 5, 6}));
    buildCapturingOutput();
    std::vector<std::pair<int, int>> expected{{2, 3}, {2, 4}, {3, 4}, {2, 5}, {3, 5}};
    EXPECT_EQ(pairList(), expected);
}

TEST(candidateArcs, equalMakespansInBothDirectionsGiveTheArcFromTheSecondActivity)
{
    setProject(symmetricPair());
    setBestList(makeList({1, 2, 3, 4, 5, 6}));
    buildCapturingOutput();
    // Pair (X, Y): either finish-to-start arc gives 12, either start-to-start arc too (the
    // delayed one finds the resource taken by Z): both arcs run from Y to X, gain 2.
    int fs = candidateRank(3, 2, 1);
    int ss = candidateRank(3, 2, 2);
    ASSERT_GT(fs, 0);
    ASSERT_GT(ss, 0);
    EXPECT_EQ(candGain[fs], 2);
    EXPECT_EQ(candGain[ss], 2);
    EXPECT_EQ(candidateRank(2, 3, 1), 0);
    EXPECT_EQ(candidateRank(2, 3, 2), 0);
    // The finish-to-start arc of a pair is found first, so it ranks first among equal gains.
    EXPECT_LT(fs, ss);
}

TEST(candidateArcs, aPairWhereOnlyTheStartToStartArcHelpsGivesOneArcOfType2)
{
    // One resource of capacity 2, all requirements 1. List A = 2, C = 3, B = 4: A and C take the
    // resource at 0 and B, the head of a 10-unit tail S = 5, waits until C ends at 1 (makespan 14).
    // A's own tail T = 6 also runs 10 units. B -> A start-to-start lets B start at 0 and A at 1
    // (13); B -> A finish-to-start holds A until 3 (15); arcs A -> B change nothing or delay B.
    setProject(TestProject{{0, 0, 2, 1, 3, 10, 10, 0},
                           {{1, 2}, {1, 3}, {1, 4}, {4, 5}, {2, 6}, {3, 7}, {5, 7}, {6, 7}},
                           {0, 2},
                           {{}, {0, 0}, {0, 1}, {0, 1}, {0, 1}, {0, 0}, {0, 0}, {0, 0}}});
    setBestList(makeList({1, 2, 3, 4, 5, 6, 7}));
    ASSERT_EQ(executeWithArcs(bestList, false, 1), 14.0f);
    buildCapturingOutput();
    int ss = candidateRank(4, 2, 2);
    ASSERT_GT(ss, 0);
    EXPECT_EQ(candGain[ss], 1);
    EXPECT_EQ(candidateRank(4, 2, 1), 0);
    EXPECT_EQ(candidateRank(2, 4, 1), 0);
    EXPECT_EQ(candidateRank(2, 4, 2), 0);
}

TEST(candidateArcs, aFullPairListRefusesAndReportsEachFurtherPair)
{
    // 120 independent activities without resources all meet at time 0: 7140 pairs, of which the
    // first 5000 are kept. No arc can shorten a schedule without resources.
    std::vector<int> durs(123, 1);
    durs[1] = durs[122] = 0;
    std::vector<std::pair<int, int>> arcs;
    std::vector<int> order{1};
    for (int a = 2; a <= 121; ++a) {
        arcs.emplace_back(1, a);
        arcs.emplace_back(a, 122);
        order.push_back(a);
    }
    order.push_back(122);
    setProject(TestProject{durs, arcs, {}, {}});
    setBestList(makeList(order));
    std::string out = buildCapturingOutput();
    EXPECT_EQ(candPairNum, nt_total_arcs_nr);
    EXPECT_EQ(countOf(out, "nt_total_arcs_nr = 5000  is too low! required: 5000 \n"), 120 * 119 / 2 - 5000);
    // Pairs (2, 3..121), (3, 4..121), ... in order: rows 2..55 hold 4995 of them.
    EXPECT_EQ(candPairs[2 * 5000], 56);
    EXPECT_EQ(candPairs[2 * 5000 + 1], 61);
    EXPECT_EQ(candFound, 0);
    EXPECT_EQ(candNum, 0);
    std::vector<std::pair<int, int>> pairs = pairList();
    std::set<std::pair<int, int>> unique(pairs.begin(), pairs.end());
    EXPECT_EQ(static_cast<int>(unique.size()), nt_total_arcs_nr);
}

// ---- A benchmark project ----

TEST(candidateArcs, benchmarkNetworkIsRankedAndLeavesTheStateAsFound)
{
    ASSERT_TRUE(loadBenchmark("j301_1"));
    std::vector<uint8_t> list(actNum + 1);
    for (int p = 0; p <= actNum; ++p) list[p] = static_cast<uint8_t>(p);
    ASSERT_TRUE(isFeasibleList(list.data(), actNum));
    setBestList(list);
    std::vector<int> caps = capacities();
    EXPECT_EQ(buildCapturingOutput(), "");
    EXPECT_EQ(capacities(), caps);
    EXPECT_TRUE(allExtraSetsEmpty());
    ASSERT_GT(candPairNum, 0);
    std::set<std::pair<int, int>> seen;
    for (auto [a, b] : pairList()) {
        EXPECT_TRUE(seen.insert({std::min(a, b), std::max(a, b)}).second) << a << " " << b;
        EXPECT_FALSE(setHas(predSet[a], b) || setHas(predSet[b], a)) << a << " " << b;
        EXPECT_NE(a, 1);
        EXPECT_NE(b, actNum);
        EXPECT_NE(a, actNum);
        EXPECT_NE(b, 1);
    }
    ASSERT_GT(candNum, 0);
    EXPECT_EQ(candNum, std::min(candFound, maxCand));
    // Gains descending; the candidates' gains are the found gains, reordered.
    std::vector<int> found(foundGain + 1, foundGain + candFound + 1), kept(candGain + 1, candGain + candNum + 1);
    std::sort(found.rbegin(), found.rend());
    EXPECT_EQ(kept, found);
    int sum = 0;
    for (int r = 1; r <= candNum; ++r) sum += candGain[r];
    float total = 0.0f;
    for (int r = 1; r <= candNum; ++r) {
        EXPECT_EQ(candProb[r], static_cast<float>(candGain[r]) / static_cast<float>(sum));
        total += candProb[r];
        // Each candidate is a single arc that shortens the nominal schedule by its gain.
        const uint8_t* arc = candArcs + 3 * r;
        ActSet* set = arc[2] == 1 ? extraFinPred : extraStartPred;
        float base = executeWithArcs(bestList, false, 1);
        setAdd(set[arc[1]], arc[0]);
        float with = executeWithArcs(bestList, false, 1);
        setClear(set[arc[1]]);
        EXPECT_EQ(static_cast<int>(base) - static_cast<int>(with), candGain[r]) << r;
    }
    EXPECT_NEAR(total, 1.0f, 1e-4);
    // Rebuilding gives the same network.
    std::vector<uint8_t> arcsBefore(candArcs + 3, candArcs + 3 * (candNum + 1));
    buildCapturingOutput();
    EXPECT_EQ(std::vector<uint8_t>(candArcs + 3, candArcs + 3 * (candNum + 1)), arcsBefore);
}

// ---- Ranking ----

// Found arc k is (1 + k / 100, 1 + k % 100, 1 + k % 2): unique per k, so the order is readable.
int foundNumber(int r) { return (candArcs[3 * r] - 1) * 100 + candArcs[3 * r + 1] - 1; }

void recordNumbered(int k, int gain) { recordFoundArc(1 + k / 100, 1 + k % 100, 1 + k % 2, gain); }

TEST(candidateArcs, foundArcsBeyondTheFoundListAreCountedButNotKept)
{
    setProject(TestProject{std::vector<int>(123, 1), {}, {}, {}});
    candFound = 0;
    for (int k = 1; k <= 5000; ++k) recordNumbered(k, 1 + k % 200);
    // Later arcs with the largest gain would lead the ranking if they were kept.
    for (int k = 5001; k <= 6000; ++k) recordNumbered(k, 255);
    testing::internal::CaptureStdout();
    rankCandidates();
    std::fflush(stdout);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Warning: nt_total_arcs_nr = 5000  too small!!! required: 6000 \n");
    EXPECT_EQ(candFound, 6000);
    EXPECT_EQ(candNum, maxCand);
    float total = 0.0f;
    for (int r = 1; r <= candNum; ++r) {
        EXPECT_LE(foundNumber(r), 5000) << r;
        total += candProb[r];
        if (r > 1) {
            ASSERT_GE(candGain[r - 1], candGain[r]);
            // Equal gains keep their order of discovery.
            if (candGain[r - 1] == candGain[r]) {
                ASSERT_LT(foundNumber(r - 1), foundNumber(r));
            }
        }
    }
    EXPECT_EQ(candGain[1], 200);
    EXPECT_NEAR(total, 1.0f, 1e-4);
}

TEST(candidateArcs, gainsKeepTheirLowEightBitsAndTheWarningStartsAt4999)
{
    setProject(TestProject{std::vector<int>(123, 1), {}, {}, {}});
    candFound = 0;
    recordNumbered(1, 300);
    recordNumbered(2, 45);
    EXPECT_EQ(foundGain[1], 44);
    for (int k = 3; k <= 4998; ++k) recordNumbered(k, 1);
    testing::internal::CaptureStdout();
    rankCandidates();
    std::fflush(stdout);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    // 45 ranks above the 300 that was stored as 44.
    EXPECT_EQ(foundNumber(1), 2);
    EXPECT_EQ(foundNumber(2), 1);
    recordNumbered(4999, 1);
    testing::internal::CaptureStdout();
    rankCandidates();
    std::fflush(stdout);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Warning: nt_total_arcs_nr = 5000  too small!!! required: 4999 \n");
}

TEST(candidateArcs, aFileRunsProjectRanksByItsWholeGain)
{
    setProject(TestProject{std::vector<int>(123, 1), {}, {}, {}});
    // A project of a file run: gains above 255 keep their value and their rank.
    projectFile = "user.rcp";
    candFound = 0;
    recordNumbered(1, 300);
    recordNumbered(2, 45);
    recordNumbered(3, 1200);
    rankCandidates();
    projectFile.clear();
    EXPECT_EQ(foundGain[1], 300);
    EXPECT_EQ(foundNumber(1), 3);
    EXPECT_EQ(foundNumber(2), 1);
    EXPECT_EQ(foundNumber(3), 2);
    EXPECT_EQ(candGain[1], 1200);
    EXPECT_EQ(candProb[1], 1200.0f / 1545.0f);
}

TEST(candidateArcs, moreThan3000FoundArcsKeepThe3000OfLargestGain)
{
    // The list in activity order on this J120 project yields about 3350 improving arcs.
    ASSERT_TRUE(loadBenchmark("j12017_3"));
    std::vector<uint8_t> list(actNum + 1);
    for (int p = 0; p <= actNum; ++p) list[p] = static_cast<uint8_t>(p);
    ASSERT_TRUE(isFeasibleList(list.data(), actNum));
    setBestList(list);
    EXPECT_EQ(buildCapturingOutput(), "");
    ASSERT_GT(candFound, maxCand);
    EXPECT_EQ(candNum, maxCand);
    std::vector<int> found(foundGain + 1, foundGain + candFound + 1);
    std::sort(found.rbegin(), found.rend());
    found.resize(maxCand);
    EXPECT_EQ(std::vector<int>(candGain + 1, candGain + maxCand + 1), found);
    float total = 0.0f;
    for (int r = 1; r <= candNum; ++r) total += candProb[r];
    EXPECT_NEAR(total, 1.0f, 1e-3);
}

}  // namespace
