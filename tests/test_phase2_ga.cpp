// Tests of the arc-adding genetic algorithm: the candidate draw, acceptance and closure, the three
// operators (draws, counts, invariants of every list), the merge of children, the final ranking
// and the driver's two paths.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "config/config.h"
#include "durations/durations.h"
#include "engine/engine.h"
#include "phase2/phase2.h"
#include "project/checkState.h"
#include "project/cpm.h"
#include "project/platform.h"
#include "project/state.h"
#include "support/testSupport.h"

namespace {

// ---- Helpers ----

struct Arc {
    int from, to, type;
};

// A candidate network set by hand: the arcs with gains count, count - 1, ..., 1.
void setNetwork(const std::vector<Arc>& arcs)
{
    candNum = static_cast<int>(arcs.size());
    int sum = 0;
    for (int r = 1; r <= candNum; ++r) {
        const Arc& arc = arcs[r - 1];
        candArcs[3 * r] = static_cast<uint8_t>(arc.from);
        candArcs[3 * r + 1] = static_cast<uint8_t>(arc.to);
        candArcs[3 * r + 2] = static_cast<uint8_t>(arc.type);
        candGain[r] = static_cast<uint8_t>(candNum - r + 1);
        sum += candGain[r];
    }
    for (int r = 1; r <= candNum; ++r) candProb[r] = static_cast<float>(candGain[r]) / static_cast<float>(sum);
    markDrawableCandidates();
}

// Arcs between the first count pairs of unrelated real activities, types alternating.
std::vector<Arc> unrelatedArcs(int count)
{
    std::vector<Arc> arcs;
    for (int a = 2; a < actNum && static_cast<int>(arcs.size()) < count; ++a)
        for (int b = a + 1; b < actNum && static_cast<int>(arcs.size()) < count; ++b)
            if (!setHas(predSet[b], a) && !setHas(predSet[a], b))
                arcs.push_back({a, b, static_cast<int>(arcs.size()) % 2 + 1});
    return arcs;
}

void setList(uint8_t* list, const std::vector<Arc>& arcs)
{
    for (std::size_t k = 1; k <= arcs.size(); ++k) {
        list[3 * k] = static_cast<uint8_t>(arcs[k - 1].from);
        list[3 * k + 1] = static_cast<uint8_t>(arcs[k - 1].to);
        list[3 * k + 2] = static_cast<uint8_t>(arcs[k - 1].type);
    }
}

std::vector<Arc> getList(const uint8_t* list, int count)
{
    std::vector<Arc> arcs;
    for (int k = 1; k <= count; ++k) arcs.push_back({list[3 * k], list[3 * k + 1], list[3 * k + 2]});
    return arcs;
}

bool operator==(const Arc& a, const Arc& b) { return a.from == b.from && a.to == b.to && a.type == b.type; }

void copyPredSets(ActSet* closure)
{
    for (int a = 1; a <= actNum; ++a) closure[a] = predSet[a];
}

// The arc list holds no (from, to) pair twice, and its arcs with the project's arcs form no cycle
// (depth-first search, independent of the closure tables).
testing::AssertionResult soundList(const uint8_t* list, int count)
{
    std::set<std::pair<int, int>> pairs;
    std::vector<std::vector<int>> next(actNum + 1);
    for (int a = 1; a <= actNum; ++a)
        for (int s = 1; s <= succNum[a]; ++s) next[a].push_back(succList[a][s]);
    for (int k = 1; k <= count; ++k) {
        int f = list[3 * k], t = list[3 * k + 1];
        if (f < 1 || f > actNum || t < 1 || t > actNum) return testing::AssertionFailure() << "arc " << k << " out of range";
        if (!pairs.insert({f, t}).second) return testing::AssertionFailure() << "arc " << f << "->" << t << " twice";
        next[f].push_back(t);
    }
    std::vector<int> color(actNum + 1, 0);
    std::function<bool(int)> cyclic = [&](int a) {
        color[a] = 1;
        for (int b : next[a])
            if (color[b] == 1 || (color[b] == 0 && cyclic(b))) return true;
        color[a] = 2;
        return false;
    };
    for (int a = 1; a <= actNum; ++a)
        if (color[a] == 0 && cyclic(a)) return testing::AssertionFailure() << "cycle through " << a;
    return testing::AssertionSuccess();
}

// Every arc of the list is a candidate arc.
bool onlyCandidates(const uint8_t* list, int count)
{
    for (int k = 1; k <= count; ++k) {
        bool found = false;
        for (int r = 1; r <= candNum && !found; ++r)
            found = candArcs[3 * r] == list[3 * k] && candArcs[3 * r + 1] == list[3 * k + 1] &&
                    candArcs[3 * r + 2] == list[3 * k + 2];
        if (!found) return false;
    }
    return true;
}

// The extra sets hold exactly the arcs of the list.
bool setsHoldExactly(const uint8_t* list, int count)
{
    ActSet fin[actDim], start[actDim];
    for (int a = 1; a <= actNum; ++a) {
        setClear(fin[a]);
        setClear(start[a]);
    }
    for (int k = 1; k <= count; ++k) setAdd(list[3 * k + 2] == 1 ? fin[list[3 * k + 1]] : start[list[3 * k + 1]], list[3 * k]);
    for (int a = 1; a <= actNum; ++a)
        if (!setEqual(fin[a], extraFinPred[a]) || !setEqual(start[a], extraStartPred[a])) return false;
    return true;
}

// A stream state whose next draws fall within the given ranges, one [lo, hi] per draw.
uint32_t stateForDraws(const std::vector<std::pair<int, int>>& ranges)
{
    for (uint32_t s = 1;; ++s) {
        setRandState(s);
        bool ok = true;
        for (auto [lo, hi] : ranges) {
            int d = nextRand();
            if (d < lo || d > hi) {
                ok = false;
                break;
            }
        }
        if (ok) return s;
    }
}

// 1 -> 2 -> 3 -> 8 and 1 -> 4 -> 5 -> 8, 1 -> 6 -> 8, 1 -> 7 -> 8: two chains and two loners.
TestProject twoChains()
{
    return TestProject{{0, 0, 1, 1, 1, 1, 1, 1, 0},
                       {{1, 2}, {2, 3}, {3, 8}, {1, 4}, {4, 5}, {5, 8}, {1, 6}, {6, 8}, {1, 7}, {7, 8}},
                       {},
                       {}};
}

// Instance file stem, with Phase 1 left out: a random feasible list stands for its best list.
void loadWithList(const std::string& stem, uint32_t seed)
{
    ASSERT_TRUE(loadBenchmark(stem));
    distNum = 3;
    buildSamplePool();
    computeCpmTimes();
    setBestList(randomFeasibleList(seed));
}

// ---- Candidate draw ----

TEST(pickCandidate, returnsTheFirstPlaceWhoseCumulativeSumReachesTheDraw)
{
    candNum = 3;
    candProb[1] = 0.25f;
    candProb[2] = 0.25f;
    candProb[3] = 0.5f;
    setRandState(stateForDraws({{0, 0}}));
    EXPECT_EQ(pickCandidate(), 1);
    setRandState(stateForDraws({{8192, 8192}}));  // 0.2500076
    EXPECT_EQ(pickCandidate(), 2);
    setRandState(stateForDraws({{16383, 16383}}));  // 0.49998
    EXPECT_EQ(pickCandidate(), 2);
    setRandState(stateForDraws({{32767, 32767}}));
    EXPECT_EQ(pickCandidate(), 3);
    // Sums below 1: a draw above the last sum gives the last candidate.
    candProb[3] = 0.3f;
    setRandState(stateForDraws({{32767, 32767}}));
    EXPECT_EQ(pickCandidate(), 3);
}

TEST(pickCandidate, drawableMarksAgreeWithEveryPossibleDraw)
{
    candNum = 4;
    float probs[5] = {0, 0.5f, 0.0f, 0.5f, 0.0f};
    for (int r = 1; r <= 4; ++r) candProb[r] = probs[r];
    markDrawableCandidates();
    EXPECT_TRUE(candDrawable[1]);
    EXPECT_FALSE(candDrawable[2]);  // adds nothing to the sum
    EXPECT_TRUE(candDrawable[3]);
    EXPECT_FALSE(candDrawable[4]);  // the sum reached 1 before it
    // A sum that stays below 1 makes the last candidate drawable, whatever its own probability.
    candProb[3] = 0.3f;
    markDrawableCandidates();
    EXPECT_TRUE(candDrawable[4]);
    // 3000 candidates of tiny probability: every draw lands on a marked candidate, every marked
    // candidate is hit by some draw.
    candNum = maxCand;
    for (int r = 1; r <= candNum; ++r) candProb[r] = static_cast<float>(1 + r % 7) / 12000.0f;
    markDrawableCandidates();
    std::vector<bool> hit(candNum + 1, false);
    for (int d = 0; d <= 32767; ++d) {
        // Find the sum-walk answer of this draw the way the draw itself does.
        float u = static_cast<float>(d) / 32767.0f;
        float sum = 0.0f;
        int r = candNum;
        for (int k = 1; k <= candNum; ++k) {
            sum += candProb[k];
            if (sum >= u) {
                r = k;
                break;
            }
        }
        hit[r] = true;
    }
    for (int r = 1; r <= candNum; ++r) EXPECT_EQ(candDrawable[r], hit[r]) << r;
}

// ---- Acceptance and closure ----

TEST(acceptArc, refusesRepeatedPairsAndCyclesAndAcceptsImpliedArcs)
{
    setProject(twoChains());
    ActSet closure[actDim];
    copyPredSets(closure);
    uint8_t list[arcListDim] = {};
    // An arc implied by the project (2 precedes 3) is accepted.
    EXPECT_TRUE(acceptArc(list, 0, closure, 2, 3));
    EXPECT_FALSE(acceptArc(list, 0, closure, 3, 2));
    setList(list, {{3, 4, 1}});
    ASSERT_TRUE(acceptArc(list, 0, closure, 3, 4));
    extendClosure(closure, list, 1);
    // The same pair with the other type is the same arc.
    EXPECT_FALSE(acceptArc(list, 1, closure, 3, 4));
    // Back from 4 to 3, or from 4's successor 5 to 3's predecessor 2: cycles.
    EXPECT_FALSE(acceptArc(list, 1, closure, 4, 3));
    EXPECT_FALSE(acceptArc(list, 1, closure, 5, 2));
    // 2 -> 5 is implied by 2 -> 3 -> 4 -> 5 and accepted; unrelated 6 -> 7 too.
    EXPECT_TRUE(acceptArc(list, 1, closure, 2, 5));
    EXPECT_TRUE(acceptArc(list, 1, closure, 6, 7));
    // A second arc into the chain: 5 -> 6 puts 2, 3, 4, 5 before 6, and 7 -> 2 puts 7 before all.
    setList(list, {{3, 4, 1}, {5, 6, 2}, {7, 2, 1}});
    extendClosure(closure, list, 2);
    extendClosure(closure, list, 3);
    EXPECT_TRUE(setHas(closure[6], 7) && setHas(closure[6], 2) && setHas(closure[5], 7));
    EXPECT_FALSE(acceptArc(list, 3, closure, 6, 7));
    EXPECT_TRUE(soundList(list, 3));
}

// ---- Operators ----

TEST(buildMember, drawsUpToSevenArcsWith22CandidatesAndUpToFourWith12)
{
    ASSERT_TRUE(loadBenchmark("j301_1"));
    for (int cands : {22, 12}) {
        setNetwork(unrelatedArcs(cands));
        int limit = cands == 22 ? 7 : 4;
        std::set<int> counts;
        setRandState(99);
        for (int m = 1; m <= 200; ++m) {
            buildMember(1);
            counts.insert(popArcNum[1]);
            ASSERT_TRUE(soundList(popArcs[1], popArcNum[1]));
            ASSERT_TRUE(setsHoldExactly(popArcs[1], popArcNum[1]));
            ASSERT_TRUE(onlyCandidates(popArcs[1], popArcNum[1]));
        }
        EXPECT_EQ(*counts.begin(), 1);
        EXPECT_EQ(*counts.rbegin(), limit);
        EXPECT_EQ(static_cast<int>(counts.size()), limit);
    }
}

TEST(buildMember, tenCandidatesOrFewerGiveOneArcWithoutACountDraw)
{
    ASSERT_TRUE(loadBenchmark("j301_1"));
    setNetwork(unrelatedArcs(10));
    uint32_t before = getRandState();
    buildMember(3);
    EXPECT_EQ(popArcNum[3], 1);
    // The one draw is the candidate's: nothing in an empty list refuses an arc of unrelated activities.
    EXPECT_EQ(getRandState(), stateAfterDraws(before, 1));
    candNum = 0;
    buildMember(3);
    EXPECT_EQ(popArcNum[3], 0);
    EXPECT_TRUE(allExtraSetsEmpty());
}

TEST(buildMember, givesUpArcsWhenNoCandidateCanBeAccepted)
{
    // Twelve candidates, all between 2 and 4: after the first arc every other one repeats its pair
    // or closes a cycle, so the draws for arcs 2..K must give up rather than go on for ever.
    setProject(twoChains());
    std::vector<Arc> arcs;
    for (int i = 0; i < 3; ++i)
        for (Arc a : {Arc{2, 4, 1}, Arc{4, 2, 2}, Arc{2, 4, 2}, Arc{4, 2, 1}}) arcs.push_back(a);
    setNetwork(arcs);
    for (uint32_t s = 1; s <= 50; ++s) {
        setRandState(s);
        buildMember(1);
        EXPECT_EQ(popArcNum[1], 1);
        EXPECT_TRUE(setsHoldExactly(popArcs[1], 1));
    }
}

TEST(crossover, childrenHoldExactlyTheParentsArcs)
{
    ASSERT_TRUE(loadBenchmark("j301_1"));
    std::vector<Arc> arcs = unrelatedArcs(40);
    setNetwork(arcs);
    // Two members, so every pair has parents 1 and 2; they share two arcs, which a child holding
    // both must replace by drawn candidates.
    popSize = 2;
    gaPairNum = 10;
    setList(popArcs[1], {arcs[0], arcs[1], arcs[2]});
    popArcNum[1] = 3;
    setList(popArcs[2], {arcs[0], arcs[1], arcs[5], arcs[6], arcs[7]});
    popArcNum[2] = 5;
    for (uint32_t s = 1; s <= 20; ++s) {
        setRandState(s);
        crossover();
        for (int i = 1; i <= gaPairNum; ++i) {
            EXPECT_EQ(offArcNum[2 * i - 1] + offArcNum[2 * i], 8) << "pair " << i;
            EXPECT_TRUE(soundList(offArcs[2 * i - 1], offArcNum[2 * i - 1]));
            EXPECT_TRUE(soundList(offArcs[2 * i], offArcNum[2 * i]));
            EXPECT_TRUE(onlyCandidates(offArcs[2 * i - 1], offArcNum[2 * i - 1]));
            EXPECT_TRUE(onlyCandidates(offArcs[2 * i], offArcNum[2 * i]));
        }
    }
}

TEST(crossover, dropsAParentArcThatNoCandidateCanReplace)
{
    setProject(twoChains());
    setNetwork({{2, 4, 1}, {4, 2, 1}, {2, 4, 2}});
    popSize = 2;
    gaPairNum = 10;
    setList(popArcs[1], {{2, 4, 1}});
    popArcNum[1] = 1;
    setList(popArcs[2], {{4, 2, 1}});
    popArcNum[2] = 1;
    setRandState(5);
    crossover();
    int together = 0, apart = 0;
    for (int i = 1; i <= gaPairNum; ++i) {
        int a = offArcNum[2 * i - 1], b = offArcNum[2 * i];
        EXPECT_TRUE(soundList(offArcs[2 * i - 1], a) && soundList(offArcs[2 * i], b));
        (a + b == 1 ? together : apart) += 1;
        EXPECT_TRUE(a + b == 1 || (a == 1 && b == 1));
    }
    EXPECT_GT(together, 0);
}

TEST(crossover, neverWritesPastTheArcPlacesOfAChild)
{
    ASSERT_TRUE(loadBenchmark("j1201_1"));
    // Arcs that follow activity numbers never close a cycle (benchmark arcs ascend too).
    std::vector<Arc> arcs = unrelatedArcs(2 * arcPop_max_arc_nr);
    ASSERT_EQ(static_cast<int>(arcs.size()), 2 * arcPop_max_arc_nr);
    setNetwork(arcs);
    popSize = 2;
    gaPairNum = 1;
    setList(popArcs[1], std::vector<Arc>(arcs.begin(), arcs.begin() + arcPop_max_arc_nr));
    setList(popArcs[2], std::vector<Arc>(arcs.begin() + arcPop_max_arc_nr, arcs.end()));
    popArcNum[1] = popArcNum[2] = arcPop_max_arc_nr;
    for (int b = 0; b < arcListDim; ++b) offArcs[3][b] = 0xEE;
    testing::internal::CaptureStdout();
    crossover();
    std::fflush(stdout);
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(out, "Warning: arcPop_max_arc_nr = 140 is too low!!");
    int a = offArcNum[1], b = offArcNum[2];
    EXPECT_LE(a, arcPop_max_arc_nr);
    EXPECT_LE(b, arcPop_max_arc_nr);
    // The fuller child is full; the other holds every arc dealt to it.
    EXPECT_EQ(std::max(a, b), arcPop_max_arc_nr);
    EXPECT_TRUE(soundList(offArcs[1], a) && soundList(offArcs[2], b));
    for (int k = 0; k < arcListDim; ++k) ASSERT_EQ(offArcs[3][k], 0xEE);
}

TEST(mutate, removalPositionIsOneForDrawZeroAndTheLastForDraw32767)
{
    ASSERT_TRUE(loadBenchmark("j301_1"));
    std::vector<Arc> arcs = unrelatedArcs(30);
    setNetwork(arcs);
    popSize = 1;
    std::vector<Arc> four{arcs[3], arcs[4], arcs[5], arcs[6]};
    // Mutation draw <= 0.05, removal draw <= 0.5, position draw 0.
    setList(offArcs[1], four);
    offArcNum[1] = 4;
    setRandState(stateForDraws({{0, 1638}, {0, 16383}, {0, 0}}));
    mutate();
    ASSERT_EQ(offArcNum[1], 3);
    EXPECT_TRUE(getList(offArcs[1], 3) == (std::vector<Arc>{arcs[4], arcs[5], arcs[6]}));
    setList(offArcs[1], four);
    offArcNum[1] = 4;
    setRandState(stateForDraws({{0, 1638}, {0, 16383}, {32767, 32767}}));
    mutate();
    ASSERT_EQ(offArcNum[1], 3);
    EXPECT_TRUE(getList(offArcs[1], 3) == (std::vector<Arc>{arcs[3], arcs[4], arcs[5]}));
    // The only arc removed: the child is empty.
    offArcNum[1] = 1;
    setRandState(stateForDraws({{0, 1638}, {0, 16383}, {0, 32767}}));
    mutate();
    EXPECT_EQ(offArcNum[1], 0);
}

TEST(mutate, mutatesBelowTheThresholdOnlyAndEmptyChildrenOnlyDraw)
{
    ASSERT_TRUE(loadBenchmark("j301_1"));
    std::vector<Arc> arcs = unrelatedArcs(30);
    setNetwork(arcs);
    popSize = 1;
    setList(offArcs[1], {arcs[0], arcs[1]});
    // 1638 / 32767 = 0.04999 mutates, 1639 / 32767 = 0.05002 does not: one draw only.
    offArcNum[1] = 2;
    uint32_t s = stateForDraws({{1639, 1639}});
    setRandState(s);
    mutate();
    EXPECT_EQ(getRandState(), stateAfterDraws(s, 1));
    EXPECT_EQ(offArcNum[1], 2);
    s = stateForDraws({{1638, 1638}, {0, 16383}, {16384, 32767}});
    setRandState(s);
    mutate();
    EXPECT_EQ(offArcNum[1], 1);
    // Empty children are never mutated, even for a draw of 0, but draw once each.
    popSize = 3;
    offArcNum[1] = offArcNum[2] = offArcNum[3] = 0;
    s = stateForDraws({{0, 0}, {0, 1638}});
    setRandState(s);
    mutate();
    EXPECT_EQ(getRandState(), stateAfterDraws(s, 3));
    EXPECT_EQ(offArcNum[1] + offArcNum[2] + offArcNum[3], 0);
}

TEST(mutate, additionAppendsAnAcceptableCandidateOrGivesUp)
{
    setProject(twoChains());
    setNetwork({{2, 4, 1}, {4, 2, 2}, {6, 7, 1}});
    popSize = 1;
    setList(offArcs[1], {{2, 4, 2}});
    offArcNum[1] = 1;
    setRandState(stateForDraws({{0, 1638}, {16384, 32767}}));
    mutate();
    ASSERT_EQ(offArcNum[1], 2);
    EXPECT_TRUE(getList(offArcs[1], 2) == (std::vector<Arc>{{2, 4, 2}, {6, 7, 1}}));
    // Nothing left to add: two draws, the list unchanged.
    uint32_t s = stateForDraws({{0, 1638}, {16384, 32767}});
    setRandState(s);
    mutate();
    EXPECT_EQ(offArcNum[1], 2);
    EXPECT_EQ(getRandState(), stateAfterDraws(s, 2));
}

TEST(operators, listsStaySoundOverManyGenerationsOnBenchmarkNetworks)
{
    for (const char* stem : {"j301_1", "j601_1"}) {
        loadWithList(stem, 11);
        buildCandidateArcs();
        ASSERT_GE(candNum, gaMinCandidates) << stem;
        popSize = gaPopSize;
        setRandState(2024);
        for (int m = 1; m <= popSize; ++m) {
            buildMember(m);
            ASSERT_TRUE(setsHoldExactly(popArcs[m], popArcNum[m]));
        }
        for (int g = 0; g < 150; ++g) {
            crossover();
            mutate();
            for (int h = 1; h <= 2 * gaPairNum; ++h) {
                ASSERT_TRUE(soundList(offArcs[h], offArcNum[h])) << stem << " generation " << g << " child " << h;
                ASSERT_TRUE(onlyCandidates(offArcs[h], offArcNum[h]));
            }
            // Children take the places of members without simulation, to keep the test fast.
            for (int h = 1; h <= popSize && h <= 2 * gaPairNum; ++h) {
                popArcNum[h] = offArcNum[h];
                for (int b = 0; b < arcListDim; ++b) popArcs[h][b] = offArcs[h][b];
            }
        }
        // A few real generations, with fitness and merge.
        for (int g = 0; g < 3; ++g) {
            crossover();
            mutate();
            evaluateAndReplace();
            for (int m = 1; m <= popSize; ++m) ASSERT_TRUE(soundList(popArcs[m], popArcNum[m]));
        }
        EXPECT_TRUE(allExtraSetsEmpty());
    }
}

// ---- Merge, ranking, driver ----

TEST(mergeChildren, aChildOfEqualFitnessTakesTheWorstMembersPlace)
{
    ASSERT_TRUE(loadBenchmark("j301_1"));
    std::vector<Arc> arcs = unrelatedArcs(30);
    popSize = 4;
    for (int m = 1; m <= 4; ++m) {
        setList(popArcs[m], {arcs[m]});
        popArcNum[m] = 1;
        offArcNum[m] = 0;
        offFit[m] = emptyFitness;
    }
    float values[5] = {0, 30, 10, 40, 20};
    for (int m = 1; m <= 4; ++m) eliteVal[m] = values[m];
    setList(offArcs[2], {arcs[20], arcs[21]});
    offArcNum[2] = 2;
    offFit[2] = 40.0f;
    mergeChildren();
    // Member 3 (40) was the worst: child 2 overwrites it; nobody else moves.
    EXPECT_EQ(popArcNum[3], 2);
    EXPECT_EQ(eliteVal[3], 40.0f);
    EXPECT_TRUE(getList(popArcs[3], 2) == (std::vector<Arc>{arcs[20], arcs[21]}));
    for (int m : {1, 2, 4}) {
        EXPECT_EQ(eliteVal[m], values[m]);
        EXPECT_TRUE(getList(popArcs[m], 1) == (std::vector<Arc>{arcs[m]}));
    }
    EXPECT_EQ(eliteOrder[1], 2);
    EXPECT_EQ(eliteOrder[4], 3);
}

TEST(mergeChildren, emptyChildrenAndChildrenBeyondThePopulationNeverEnter)
{
    ASSERT_TRUE(loadBenchmark("j301_1"));
    std::vector<Arc> arcs = unrelatedArcs(30);
    popSize = 16;
    for (int m = 1; m <= 20; ++m) {
        setList(popArcs[m], {arcs[m]});
        popArcNum[m] = 1;
        eliteVal[m] = 1000.0f + m;
        offArcNum[m] = 0;
        offFit[m] = emptyFitness;
    }
    // Children 17..20 are excellent, but only children 1..popSize are judged.
    for (int h = 17; h <= 20; ++h) {
        setList(offArcs[h], {arcs[0]});
        offArcNum[h] = 1;
        offFit[h] = 1.0f;
    }
    // Two better children enter in place of the two worst members.
    setList(offArcs[5], {arcs[25]});
    offArcNum[5] = 1;
    offFit[5] = 500.0f;
    setList(offArcs[9], {arcs[26]});
    offArcNum[9] = 1;
    offFit[9] = 1014.5f;
    mergeChildren();
    for (int m = 1; m <= 14; ++m) EXPECT_EQ(eliteVal[m], 1000.0f + m);
    EXPECT_EQ(eliteVal[16], 500.0f);
    EXPECT_EQ(eliteVal[15], 1014.5f);
    EXPECT_EQ(popArcs[16][3], arcs[25].from);
    EXPECT_EQ(popArcs[15][3], arcs[26].from);
}

TEST(rankPopulation, membersWithoutArcsRankLastUnsimulated)
{
    loadWithList("j301_1", 4);
    std::vector<Arc> arcs = unrelatedArcs(30);
    popSize = gaPopSize;
    for (int m = 1; m <= popSize; ++m) {
        setList(popArcs[m], {arcs[m % 30]});
        popArcNum[m] = m % 4 == 0 ? 0 : 1;
    }
    rankPopulation();
    EXPECT_TRUE(allExtraSetsEmpty());
    int empty = popSize / 4;
    for (int k = 1; k <= popSize; ++k) {
        int m = eliteOrder[k];
        if (k > popSize - empty) {
            EXPECT_EQ(popArcNum[m], 0);
            EXPECT_EQ(eliteVal[m], emptyFitness);
        } else {
            EXPECT_GT(popArcNum[m], 0);
            EXPECT_LT(eliteVal[m], 1000.0f);
        }
        if (k > 1) {
            EXPECT_LE(eliteVal[eliteOrder[k - 1]], eliteVal[m]);
        }
    }
}

TEST(runArcSearch, skipsTheSearchWith21CandidatesAndRunsItWith22)
{
    loadWithList("j301_1", 8);
    ph1Makespan = 60.5;
    ph1Gap = 12.5;
    ph2GapSum = 100.0;
    setNetwork(unrelatedArcs(21));
    uint32_t before = getRandState();
    runArcSearch();
    EXPECT_EQ(getRandState(), before);
    EXPECT_EQ(ph2Makespan, 60.5);
    EXPECT_EQ(bestGap, 12.5);
    EXPECT_EQ(ph2GapSum, 112.5);
    EXPECT_TRUE(allExtraSetsEmpty());

    setNetwork(unrelatedArcs(22));
    // A Phase 1 gap below any Phase 2 result: the sum grows by it, bestGap reports Phase 2.
    ph1Gap = -1.0;
    runArcSearch();
    EXPECT_NE(getRandState(), before);
    EXPECT_EQ(popSize, gaPopSize);
    EXPECT_EQ(ph2Makespan, static_cast<double>(eliteVal[eliteOrder[1]]));
    double lb = earlyFinish[actNum];
    EXPECT_EQ(bestGap, (ph2Makespan - lb) * 100.0 / lb);
    EXPECT_EQ(ph2GapSum, 111.5);
    EXPECT_TRUE(allExtraSetsEmpty());
    for (int m = 1; m <= popSize; ++m) EXPECT_TRUE(soundList(popArcs[m], popArcNum[m]));
}

TEST(gaArcAddition, leavesEmptyArcSetsAndTheCapacitiesOnBothPaths)
{
    // A project whose network is empty (one chain) takes the skip path.
    setProject(TestProject{{0, 0, 3, 4, 0}, {{1, 2}, {2, 3}, {3, 4}}, {0, 2}, {{}, {0, 0}, {0, 1}, {0, 2}, {0, 0}}});
    distNum = 5;
    buildSamplePool();
    computeCpmTimes();
    setBestList(makeList({1, 2, 3, 4}));
    ph1Makespan = 7.0;
    ph1Gap = 0.0;
    setAdd(extraFinPred[3], 2);
    gaArcAddition();
    EXPECT_EQ(candNum, 0);
    EXPECT_EQ(ph2Makespan, 7.0);
    EXPECT_TRUE(allExtraSetsEmpty());

    loadWithList("j301_1", 11);
    std::vector<int> caps(resCap, resCap + resNum + 1);
    uint8_t capacities[resDim];
    for (int r = 1; r <= resNum; ++r) capacities[r] = resCap[r];
    isHV = true;
    ph1Makespan = 100.0;
    ph1Gap = 1000.0;
    ph2GapSum = 0.0;
    setAdd(extraStartPred[5], 9);
    gaArcAddition();
    ASSERT_GE(candNum, gaMinCandidates);
    EXPECT_TRUE(allExtraSetsEmpty());
    EXPECT_EQ(std::vector<int>(resCap, resCap + resNum + 1), caps);
    EXPECT_TRUE(checkState(capacities));
    EXPECT_EQ(ph2GapSum, bestGap);
    EXPECT_GE(ph2Makespan, earlyFinish[actNum]);
}

}  // namespace
