// Phase 1: the selection rules and their draws, constructed and justified lists on random and
// benchmark projects, hand-checked justifications, the elite pool and whole Phase 1 runs.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <random>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "durations/durations.h"
#include "engine/engine.h"
#include "phase1/phase1.h"
#include "project/cpm.h"
#include "project/platform.h"
#include "project/state.h"
#include "support/testSupport.h"

namespace {

// ---- The random stream driven to known draws ----

constexpr uint32_t lcgMul = 1103515245u, lcgAdd = 12345u;

uint32_t stepBack(uint32_t state)
{
    uint32_t inverse = lcgMul;  // Newton's iteration for the inverse of an odd number modulo 2^32
    for (int i = 0; i < 5; ++i) inverse *= 2u - lcgMul * inverse;
    return (state - lcgAdd) * inverse;
}

// A stream state whose draw number `at` (from 0) is `value` and whose first `count` draws satisfy ok.
uint32_t findState(int at, int value, int count, const std::function<bool(const std::vector<int>&)>& ok)
{
    for (uint32_t low = 0; low < (1u << 17); ++low) {
        uint32_t s = stepBack(((low >> 16) << 31) | (static_cast<uint32_t>(value) << 16) | (low & 0xffffu));
        for (int i = 0; i < at; ++i) s = stepBack(s);
        std::vector<int> d;
        for (uint32_t x = s; static_cast<int>(d.size()) < count;) {
            x = x * lcgMul + lcgAdd;
            d.push_back(static_cast<int>((x / 65536u) % 32768u));
        }
        if (ok(d)) return s;
    }
    ADD_FAILURE() << "no stream state found";
    return 1;
}

uint32_t stateWithFirstDraw(int value)
{
    return findState(0, value, 1, [](const std::vector<int>&) { return true; });
}

// Draws taken since the stream stood at `before`.
int drawsSince(uint32_t before)
{
    for (int i = 0; i <= 100000; ++i, before = before * lcgMul + lcgAdd)
        if (before == getRandState()) return i;
    return -1;
}

// ---- Projects ----

// The starting values and critical path of the current project, as the experiment loop makes them.
void preparePhase1()
{
    distNum = 1;
    buildSamplePool();
    computeCpmTimes();
    popSize = elitePoolSize;
    ph1Iter = 0;
}

void prepareBenchmark(const std::string& stem)
{
    ASSERT_TRUE(loadBenchmark(stem)) << stem;
    preparePhase1();
}

void expectSoundList(const uint8_t* list, const std::string& what)
{
    EXPECT_TRUE(isFeasibleList(list, actNum)) << what;
    EXPECT_EQ(list[1], 1) << what;
    EXPECT_EQ(list[actNum], actNum) << what;
}

// Justifies list and checks it: a sound list, a precedence- and resource-feasible schedule that
// ends no later than the activity-based one. When every real activity takes time, the new list's
// own activity-based schedule is no longer either (a zero-duration activity is placed without a
// resource test, but the engine starts it only where its resources are free).
void justifyAndCheck(uint8_t* list, const std::string& what, bool positiveDurations)
{
    int n = actNum;
    float before = executeActivityBased(list, false, 1);
    justifyList(list);
    expectSoundList(list, what);
    EXPECT_LE(finishTime[n], before) << what;
    for (int a = 1; a <= n; ++a) {
        EXPECT_EQ(finishTime[a], startTime[a] + dur[a]) << what;
        for (int j = 1; j <= predNum[a]; ++j) EXPECT_LE(finishTime[predList[a][j]], startTime[a]) << what;
    }
    for (int r = 1; r <= resNum; ++r)
        for (int t = 0; t < finishTime[n]; ++t) {
            int used = 0;
            for (int a = 1; a <= n; ++a) used += startTime[a] <= t && t < finishTime[a] ? resReq[a][r] : 0;
            EXPECT_LE(used, resCap[r]) << what << " resource " << r << " time " << t;
        }
    if (positiveDurations) {
        EXPECT_LE(executeActivityBased(list, false, 1), before) << what;
    }
}

// Builds lists as Phase 1 does (the first elitePoolSize into the pool, then some that follow it)
// and checks each constructed list and its justification.
void constructAndJustify(int later, const std::string& what, bool positiveDurations)
{
    for (ph1Iter = 0; ph1Iter < popSize + later; ++ph1Iter) {
        uint8_t list[actDim] = {};
        constructActList(list);
        expectSoundList(list, what + " constructed");
        justifyAndCheck(list, what, positiveDurations);
        if (ph1Iter < popSize) std::memcpy(elitePool[ph1Iter + 1], list, actDim);
    }
}

struct Eligible {
    uint8_t list[actDim] = {};
    ActSet set{};
    int count = 0;
};

Eligible eligibleOf(const std::vector<int>& acts)
{
    Eligible e;
    for (int a : acts) {
        e.list[++e.count] = static_cast<uint8_t>(a);
        setAdd(e.set, a);
    }
    return e;
}

}  // namespace

// ======== Construction ========

TEST(construct, biasedSamplingWeightsEarlyLatestFinishesAndAlwaysDraws)
{
    setProject({{0, 0, 1, 1, 1, 1, 0}, {{1, 2}, {1, 3}, {1, 4}, {1, 5}, {2, 6}, {3, 6}, {4, 6}, {5, 6}}, {}, {}});
    struct Case {
        std::vector<int> elig;
        std::vector<float> lateFinishes;  // of elig, in order
        std::vector<std::pair<int, int>> drawToPlace;
    };
    std::vector<Case> cases = {
        // One eligible activity: place 1, and the draw is still consumed.
        {{2}, {3}, {{0, 1}, {32767, 1}}},
        // Equal truncated latest finishes: a uniform wheel of quarters in list order.
        {{4, 2, 5, 3}, {7.5f, 7, 7.9f, 7}, {{0, 1}, {8191, 1}, {8192, 2}, {16384, 3}, {24575, 3}, {24576, 4}, {32767, 4}}},
        // Latest finishes 10 and 14: weights 5 and 1, the wheel's edge at 5/6 (between 27305 and 27306)...
        {{3, 2}, {10, 14}, {{27305, 1}, {27306, 2}, {32767, 2}}},
        // ... or at 1/6 in the other order.
        {{2, 3}, {14, 10}, {{5461, 1}, {5462, 2}}}};
    for (const Case& c : cases) {
        Eligible e = eligibleOf(c.elig);
        for (std::size_t j = 0; j < c.elig.size(); ++j) lateFinish[c.elig[j]] = c.lateFinishes[j];
        for (auto [draw, place] : c.drawToPlace) {
            uint32_t s = stateWithFirstDraw(draw);
            setRandState(s);
            EXPECT_EQ(selectEligAct(e.list, e.set, e.count, -1), place) << e.count << " eligible, draw " << draw;
            EXPECT_EQ(drawsSince(s), 1);
        }
    }
}

TEST(construct, uniformChoiceReachesTheLastPlaceOnlyOnTheTopDraw)
{
    setProject({{0, 0, 1, 1, 1, 0}, {{1, 2}, {1, 3}, {1, 4}, {2, 5}, {3, 5}, {4, 5}}, {}, {}});
    std::vector<std::tuple<std::vector<int>, int, int>> cases = {
        {{2}, 32767, 1}, {{3, 2}, 0, 1}, {{3, 2}, 32766, 1}, {{3, 2}, 32767, 2}, {{2, 3, 4}, 32766, 2}, {{2, 3, 4}, 32767, 3}};
    for (auto& [elig, draw, place] : cases) {
        Eligible e = eligibleOf(elig);
        uint32_t s = stateWithFirstDraw(draw);
        setRandState(s);
        EXPECT_EQ(selectEligAct(e.list, e.set, e.count, 0), place) << draw;
        EXPECT_EQ(drawsSince(s), 1);
    }
}

TEST(construct, eliteFollowingTakesTheEarliestEligibleActivityOfTheSlotWithoutDrawing)
{
    // 1 -> {2, 3, 4} -> 5; slot 2 lists 4, 3, 2, every other slot 2, 3, 4.
    setProject({{0, 0, 1, 1, 1, 0}, {{1, 2}, {1, 3}, {1, 4}, {2, 5}, {3, 5}, {4, 5}}, {}, {}});
    preparePhase1();
    std::vector<uint8_t> other = makeList({1, 2, 3, 4, 5}), slot2 = makeList({1, 4, 3, 2, 5});
    for (int s = 1; s <= popSize; ++s) std::memcpy(elitePool[s], (s == 2 ? slot2 : other).data(), actDim);
    Eligible e = eligibleOf({2, 3});
    uint32_t before = getRandState();
    EXPECT_EQ(selectEligAct(e.list, e.set, e.count, 2), 2);  // activity 3, at place 2
    EXPECT_EQ(selectEligAct(e.list, e.set, e.count, 1), 1);
    EXPECT_EQ(getRandState(), before);

    // Once the pool is full, the draws at place 1 choose elite following (r = 1), slot 2 (u) and a
    // run covering places 2..5 (v): the construction rebuilds slot 2 from three draws.
    ph1Iter = elitePoolSize;
    uint32_t s = findState(0, 32767, 3, [&](const std::vector<int>& d) {
        return 1 + static_cast<int>(static_cast<float>(d[1]) / 32767.0f * static_cast<float>(popSize - 1)) == 2 && d[2] > 29000;
    });
    setRandState(s);
    uint8_t list[actDim] = {};
    constructActList(list);
    EXPECT_EQ(std::vector<uint8_t>(list, list + 6), std::vector<uint8_t>(slot2.begin(), slot2.begin() + 6));
    EXPECT_EQ(drawsSince(s), 3);
}

TEST(construct, modeThresholdsWhileThePoolFillsAndOnceItIsFull)
{
    // 1 -> {2, 3} -> 4. After place 1 the eligible list is (2, 3) with weights 5 and 1; a selection
    // draw in (5/6, 1) makes the rules disagree at place 2: biased sampling takes 3, uniform choice 2.
    setProject({{0, 0, 2, 2, 0}, {{1, 2}, {1, 3}, {2, 4}, {3, 4}}, {}, {}});
    preparePhase1();
    lateFinish[2] = 10;
    lateFinish[3] = 14;
    std::vector<uint8_t> threeFirst = makeList({1, 3, 2, 4}), twoFirst = makeList({1, 2, 3, 4});
    for (int s = 1; s <= popSize; ++s) std::memcpy(elitePool[s], (s < popSize ? threeFirst : twoFirst).data(), actDim);
    // Random rules at places 1, 3 and 4 (mode draws 0, 4 and 6 at most 0.15); draw `at` is `value`.
    auto placeTwo = [](int at, int value, const std::function<bool(const std::vector<int>&)>& ok) {
        uint32_t s = findState(at, value, 8, ok);
        setRandState(s);
        uint8_t list[actDim] = {};
        constructActList(list);
        return std::make_pair(static_cast<int>(list[2]), drawsSince(s));
    };
    auto randomRules = [](const std::vector<int>& d) {
        return d[0] <= 4900 && d[3] > 27400 && d[3] < 32767 && d[4] <= 4900 && d[6] <= 4900;
    };
    using Result = std::pair<int, int>;  // activity at place 2, draws taken
    ph1Iter = elitePoolSize - 1;         // still filling: biased up to 0.95, uniform above, even r = 1
    EXPECT_EQ(placeTwo(2, 31128, randomRules), Result(3, 8));
    EXPECT_EQ(placeTwo(2, 31129, randomRules), Result(2, 8));
    EXPECT_EQ(placeTwo(2, 32767, randomRules), Result(2, 8));
    ph1Iter = elitePoolSize;  // full: biased up to 0.15, uniform up to 0.20, elite following above
    EXPECT_EQ(placeTwo(2, 4915, randomRules), Result(3, 8));
    EXPECT_EQ(placeTwo(2, 4916, randomRules), Result(2, 8));
    EXPECT_EQ(placeTwo(2, 6553, randomRules), Result(2, 8));
    // Elite following at place 2 for a run of 2 or more: r, u and v are the last draws. Every slot
    // but the last puts 3 first; only u = 32767 reaches the last slot.
    auto eliteRun = [](const std::vector<int>& d) { return d[0] <= 4900 && d[3] < 32767 && d[4] > 1200; };
    EXPECT_EQ(placeTwo(2, 6554, eliteRun), Result(3, 5));
    EXPECT_EQ(placeTwo(2, 32767, eliteRun), Result(3, 5));
    EXPECT_EQ(placeTwo(3, 32767, [](const std::vector<int>& d) { return d[0] <= 4900 && d[2] >= 6554 && d[4] > 1200; }),
              Result(2, 5));
}

TEST(construct, anArcListedTwiceMakesItsSuccessorEligibleOnce)
{
    setProject({{0, 0, 2, 3, 0}, {{1, 2}, {1, 2}, {1, 3}, {2, 4}, {3, 4}}, {}, {}});
    Eligible e = eligibleOf({1});
    ActSet placed{};
    updateEligSet(e.list, e.set, placed, e.count, 1);
    EXPECT_EQ(std::vector<int>(e.list + 1, e.list + e.count + 1), (std::vector<int>{2, 3}));
    EXPECT_TRUE(setHas(placed, 1) && !setHas(e.set, 1));
    updateEligSet(e.list, e.set, placed, e.count, 1);  // the last eligible activity takes place 1
    EXPECT_EQ(std::vector<int>(e.list + 1, e.list + e.count + 1), (std::vector<int>{3}));
    updateEligSet(e.list, e.set, placed, e.count, 1);  // 4 enters once its last predecessor is placed
    EXPECT_EQ(std::vector<int>(e.list + 1, e.list + e.count + 1), (std::vector<int>{4}));
}

TEST(construct, anActivityWithoutPredecessorStillEndsInAPermutation)
{
    // Activity 3 never becomes eligible. The reader refuses such networks; the construction must
    // still stay within its tables and give every activity a place.
    setProject({{0, 0, 2, 2, 0}, {{1, 2}, {2, 4}, {3, 4}}, {}, {}});
    preparePhase1();
    for (uint32_t s = 1; s <= 20; ++s) {
        setRandState(s);
        uint8_t list[actDim] = {};
        testing::internal::CaptureStdout();
        constructActList(list);
        testing::internal::GetCapturedStdout();
        std::vector<int> got(list + 1, list + 5);
        std::sort(got.begin(), got.end());
        EXPECT_EQ(got, (std::vector<int>{1, 2, 3, 4}));
    }
}

// ======== Construction and justification on many projects ========

TEST(justify, constructedAndJustifiedListsStaySoundOnRandomProjects)
{
    std::mt19937 rng(23);
    setRandState(9);
    for (int trial = 0; trial < 50; ++trial) {
        int n = 3 + static_cast<int>(rng() % 120);
        bool zeros = trial % 2 == 0;
        setProject(randomProject(rng, n, static_cast<int>(rng() % 5), zeros, 1 + static_cast<int>(rng() % 10)));
        preparePhase1();
        constructAndJustify(3, "trial " + std::to_string(trial), !zeros);
    }
}

TEST(justify, constructedAndJustifiedListsStaySoundOnBenchmarkInstances)
{
    for (const char* stem : {"j301_1", "j3037_6", "j601_1", "j6048_10", "j1201_1", "j12060_10"}) {
        prepareBenchmark(stem);
        constructAndJustify(10, stem, true);
        // A justified list justified again stays sound and no longer.
        uint8_t list[actDim];
        std::memcpy(list, elitePool[1], actDim);
        justifyList(list);
        justifyAndCheck(list, std::string(stem) + " twice", true);
    }
}

TEST(justify, withoutResourceConflictsGivesTheEarliestStartSchedule)
{
    std::mt19937 rng(37);
    setRandState(3);
    for (int trial = 0; trial < 40; ++trial) {
        // No resources, or requirements of at most 1 against a capacity of n; zero durations and
        // numbers against precedence now and then.
        int n = 3 + static_cast<int>(rng() % 120);
        TestProject p = randomProject(rng, n, trial % 2 ? 0 : 2, trial % 3 == 0, 1);
        for (std::size_t r = 1; r < p.cap.size(); ++r) p.cap[r] = n;
        setProject(p);
        preparePhase1();
        uint8_t list[actDim] = {};
        constructActList(list);
        justifyList(list);
        for (int a = 1; a <= n; ++a) EXPECT_EQ(startTime[a], earlyStart[a]) << "trial " << trial << " activity " << a;
        expectSoundList(list, "trial " + std::to_string(trial));
        EXPECT_EQ(executeActivityBased(list, false, 1), earlyFinish[n]) << "trial " << trial;
    }
}

TEST(justify, orderDependsOnlyOnTheOrderOfLatestTimes)
{
    // Latest times scaled by 20 spread beyond the horizon (the orders then take another sorting
    // path) but compare as before: the same list and schedule must come out.
    prepareBenchmark("j1201_1");
    for (int j = 0; j < 10; ++j) {
        uint8_t list[actDim] = {}, scaled[actDim];
        constructActList(list);
        std::memcpy(scaled, list, actDim);
        justifyList(list);
        std::vector<float> start(startTime, startTime + actNum + 1);
        for (int a = 1; a <= actNum; ++a) {
            lateFinish[a] *= 20.0f;
            lateStart[a] *= 20.0f;
        }
        justifyList(scaled);
        EXPECT_EQ(std::memcmp(scaled, list, actNum + 1), 0);
        EXPECT_EQ(std::vector<float>(startTime, startTime + actNum + 1), start);
        for (int a = 1; a <= actNum; ++a) {
            lateFinish[a] /= 20.0f;
            lateStart[a] /= 20.0f;
        }
    }
}

TEST(justify, keptProjectPartsFollowEveryChangeOfTheirInputs)
{
    // Each change below alters one input of the parts a justification keeps between calls. The
    // justification right after it must equal one that builds every part afresh.
    std::mt19937 rng(41);
    setRandState(5);
    auto checkWarmAgainstCold = [](const uint8_t* constructed, const std::string& where) {
        uint8_t warm[actDim], cold[actDim];
        std::memcpy(warm, constructed, actDim);
        std::memcpy(cold, constructed, actDim);
        justifyList(warm);
        std::vector<float> warmStart(startTime, startTime + actNum + 1);
        forgetKeptJustifyParts();
        justifyList(cold);
        EXPECT_EQ(std::memcmp(warm, cold, actNum + 1), 0) << where;
        EXPECT_EQ(std::vector<float>(startTime, startTime + actNum + 1), warmStart) << where;
    };
    for (int trial = 0; trial < 30; ++trial) {
        int n = 5 + static_cast<int>(rng() % 100);
        setProject(randomProject(rng, n, 1 + static_cast<int>(rng() % 4), false, 2 + static_cast<int>(rng() % 8)));
        preparePhase1();
        uint8_t list[actDim] = {};
        constructActList(list);
        std::string where = "trial " + std::to_string(trial);
        checkWarmAgainstCold(list, where + " unchanged");
        int a = 2 + static_cast<int>(rng() % (n - 2));
        resReq[a][1] = 0;
        checkWarmAgainstCold(list, where + " requirement");
        // Ties of whole start times are common; reversed latest times reverse their order.
        for (int b = 1; b <= n; ++b) lateStart[b] = -lateStart[b];
        checkWarmAgainstCold(list, where + " latest starts");
        for (int b = 1; b <= n; ++b) lateFinish[b] = -lateFinish[b];
        checkWarmAgainstCold(list, where + " latest finishes");
        // Zero durations tie successors with their predecessors; numbers ignore precedence here.
        for (int b = 2; b < n; b += 2) dur[b] = 0;
        checkWarmAgainstCold(list, where + " durations 0");
        if (resNum > 1) {
            --resNum;
            checkWarmAgainstCold(list, where + " resources");
        }
    }
}

// ======== Justification by hand ========

TEST(justify, shiftsABlockedListToTheShorterSchedule)
{
    // Capacity 2: activity 3 needs both units, 2 and 4 one each. The list 1,2,3,4,5 makes 3 wait for
    // 2 and 4 for 3: makespan 5. Justified, 3 runs first and 2 and 4 together: makespan 3.
    setProject({{0, 0, 2, 1, 2, 0}, {{1, 2}, {1, 3}, {1, 4}, {2, 5}, {3, 5}, {4, 5}}, {0, 2}, {{}, {0, 0}, {0, 1}, {0, 2}, {0, 1}, {0, 0}}});
    preparePhase1();
    std::vector<uint8_t> list = makeList({1, 2, 3, 4, 5});
    ASSERT_EQ(executeActivityBased(list.data(), false, 1), 5.0f);
    justifyList(list.data());
    EXPECT_EQ(list, makeList({1, 3, 2, 4, 5}));
    EXPECT_EQ(std::vector<float>(startTime + 1, startTime + 6), (std::vector<float>{0, 1, 0, 1, 3}));
    EXPECT_EQ(executeActivityBased(list.data(), false, 1), 3.0f);
}

TEST(justify, zeroDurationActivitiesTakeTheirNeighboursBoundAndKeepPrecedence)
{
    // Capacity 1. Activity 5 holds it for 6 units; the chain 2 -> 3 -> 4 needs it only at 3, of
    // duration 0. The engine makes 3 wait for 5 (makespan 7); justified, 3 sits at 2's finish, inside
    // 5's run, since a zero-length interval tests nothing.
    setProject({{0, 0, 2, 0, 1, 6, 0}, {{1, 2}, {2, 3}, {3, 4}, {4, 6}, {1, 5}, {5, 6}}, {0, 1}, {{}, {0, 0}, {0, 0}, {0, 1}, {0, 0}, {0, 1}, {0, 0}}});
    preparePhase1();
    std::vector<uint8_t> list = makeList({1, 5, 2, 3, 4, 6});
    ASSERT_EQ(executeActivityBased(list.data(), false, 1), 7.0f);
    justifyList(list.data());
    EXPECT_EQ(std::vector<float>(startTime + 1, startTime + 7), (std::vector<float>{0, 0, 2, 2, 0, 6}));
    expectSoundList(list.data(), "zero duration inside a run");

    // 1 -> 4 -> 3 -> 2 -> 5 with 4 and 3 of duration 0: 4, 3 and 2 tie on start and latest start,
    // and number order would put 2 first; precedence must order them.
    setProject({{0, 0, 5, 0, 0, 0}, {{1, 4}, {4, 3}, {3, 2}, {2, 5}}, {0, 1}, {{}, {0, 0}, {0, 1}, {0, 1}, {0, 1}, {0, 0}}});
    preparePhase1();
    list = makeList({1, 4, 3, 2, 5});
    justifyList(list.data());
    EXPECT_EQ(list, makeList({1, 4, 3, 2, 5}));
    EXPECT_EQ(finishTime[5], 5.0f);
}

TEST(justify, aScheduleUpToTheHorizonIsJustifiedOneBeyondItIsLeftAsItWas)
{
    // Two activities of 600 sharing a resource of capacity 1 and a short one beside them: the
    // schedule ends at 1200, the last time unit the profile covers.
    setProject({{0, 0, 600, 600, 5, 0}, {{1, 2}, {2, 3}, {3, 5}, {1, 4}, {4, 5}}, {0, 1}, {{}, {0, 0}, {0, 1}, {0, 1}, {0, 0}, {0, 0}}});
    preparePhase1();
    std::vector<uint8_t> list = makeList({1, 2, 3, 4, 5});
    testing::internal::CaptureStdout();
    justifyList(list.data());
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(list, makeList({1, 2, 4, 3, 5}));
    EXPECT_EQ(finishTime[5], 1200.0f);

    // A chain of 700 + 600, and two parallel activities of 650 sharing one unit: both end at 1300.
    std::vector<std::pair<TestProject, std::vector<int>>> beyond = {
        {{{0, 0, 700, 600, 0}, {{1, 2}, {2, 3}, {3, 4}}, {}, {}}, {1, 2, 3, 4}},
        {{{0, 0, 650, 650, 0}, {{1, 2}, {1, 3}, {2, 4}, {3, 4}}, {0, 1}, {{}, {0, 0}, {0, 1}, {0, 1}, {0, 0}}}, {1, 3, 2, 4}}};
    for (auto& [project, order] : beyond) {
        setProject(project);
        preparePhase1();
        list = makeList(order);
        testing::internal::CaptureStdout();
        justifyList(list.data());
        EXPECT_EQ(testing::internal::GetCapturedStdout(), "Error! max_time == 1200 is too low!\n");
        EXPECT_EQ(list, makeList(order));
        EXPECT_EQ(finishTime[4], 1300.0f);
    }
}

// ======== Elite pool ========

TEST(elite, sortDrawsOnlyForEqualValuesAndThenOrdersThemByChance)
{
    popSize = elitePoolSize;
    for (int s = 1; s <= popSize; ++s) eliteVal[s] = static_cast<float>((s * 7) % popSize) + 0.5f;
    uint32_t before = getRandState();
    sortEliteOrder();
    EXPECT_EQ(getRandState(), before);
    for (int i = 1; i < popSize; ++i) EXPECT_LT(eliteVal[eliteOrder[i]], eliteVal[eliteOrder[i + 1]]);

    std::set<int> firsts;
    for (uint32_t seed = 1; seed <= 60; ++seed) {
        for (int s = 1; s <= popSize; ++s) eliteVal[s] = s <= 3 ? 40.0f : 50.0f;
        setRandState(seed);
        sortEliteOrder();
        EXPECT_GT(drawsSince(seed), 0);
        EXPECT_EQ(std::set<int>(eliteOrder + 1, eliteOrder + 4), (std::set<int>{1, 2, 3}));
        EXPECT_EQ(std::set<int>(eliteOrder + 1, eliteOrder + popSize + 1).size(), static_cast<std::size_t>(popSize));
        firsts.insert(eliteOrder[1]);
    }
    EXPECT_EQ(firsts, (std::set<int>{1, 2, 3}));
}

TEST(elite, onlyAStrictlyBetterCandidateReplacesTheWorstSlot)
{
    setProject({{0, 0, 1, 0}, {{1, 2}, {2, 3}}, {}, {}});
    popSize = elitePoolSize;
    std::vector<uint8_t> list = makeList({1, 2, 3});
    for (ph1Iter = 1; ph1Iter <= popSize; ++ph1Iter) offerEliteCandidate(list.data(), 10.0f + ph1Iter);
    float worst = 10.0f + popSize;
    elitePool[popSize][2] = 77;  // marks the worst slot's list
    elitePool[popSize][4] = 55;  // beyond actNum: never copied
    list[4] = 99;
    offerEliteCandidate(list.data(), worst);
    EXPECT_EQ(eliteVal[popSize], worst);
    EXPECT_EQ(elitePool[popSize][2], 77);
    offerEliteCandidate(list.data(), std::nextafter(worst, 0.0f));
    EXPECT_LT(eliteVal[popSize], worst);
    EXPECT_EQ(elitePool[popSize][2], 2);
    EXPECT_EQ(elitePool[popSize][4], 55);
}

// ======== Whole Phase 1 ========

namespace {
struct Phase1Result {
    double makespan, gap;
    long best;
    std::vector<float> vals;
    std::vector<std::vector<uint8_t>> pool;
    bool operator==(const Phase1Result& o) const
    {
        return makespan == o.makespan && gap == o.gap && best == o.best && vals == o.vals && pool == o.pool;
    }
};

Phase1Result phase1From(uint32_t state)
{
    buildSamplePool();
    setRandState(state);
    runPhase1();
    Phase1Result r{ph1Makespan, ph1Gap, (bestList - elitePool[0]) / actDim, {}, {}};
    for (int s = 1; s <= popSize; ++s) {
        r.vals.push_back(eliteVal[s]);
        r.pool.emplace_back(elitePool[s], elitePool[s] + actNum + 1);
    }
    return r;
}
}  // namespace

TEST(phase1, aJ30RunIsSoundAndReproducibleForBothMethods)
{
    prepareBenchmark("j301_1");
    for (bool hv : {false, true}) {
        std::string what = hv ? "HV" : "LV";
        isHV = hv;
        ph1GapSum = 1.5;
        Phase1Result r = phase1From(4242);
        EXPECT_EQ(ph1Iter, ph1LoopLimit + 1) << what;
        ASSERT_TRUE(r.best >= 1 && r.best <= popSize) << what;
        EXPECT_EQ(r.vals[r.best - 1], *std::min_element(r.vals.begin(), r.vals.end())) << what;
        for (int s = 1; s <= popSize; ++s) expectSoundList(elitePool[s], what);
        double lb = earlyFinish[actNum];
        EXPECT_GT(r.makespan, lb) << what;
        EXPECT_EQ(r.gap, (r.makespan - lb) * 100.0 / lb) << what;
        EXPECT_EQ(ph1GapSum, 1.5 + r.gap) << what;
        EXPECT_TRUE(phase1From(4242) == r) << what;
    }
}

TEST(phase1, keepsNoEliteValueWorseThanADroppedCandidate)
{
    // The candidates rebuilt step by step from the same stream state: runPhase1 must end with the
    // same pool, and no slot may be worse than a candidate the full pool turned away.
    prepareBenchmark("j3012_2");
    isHV = false;
    Phase1Result run = phase1From(99);
    buildSamplePool();
    setRandState(99);
    popSize = elitePoolSize;
    float bestDropped = 1e30f;
    uint8_t list[actDim] = {};
    for (ph1Iter = 0; ph1Iter <= ph1LoopLimit;) {
        constructActList(list);
        ++ph1Iter;
        justifyList(list);
        float avg = evaluatePhase1List(list, 10);
        std::vector<float> before(eliteVal, eliteVal + popSize + 1);
        offerEliteCandidate(list, avg);
        if (ph1Iter > popSize && std::equal(before.begin(), before.end(), eliteVal)) bestDropped = std::min(bestDropped, avg);
    }
    EXPECT_LT(bestDropped, 1e30f);
    for (int s = 1; s <= popSize; ++s) {
        EXPECT_EQ(eliteVal[s], run.vals[s - 1]) << s;
        EXPECT_LE(eliteVal[s], bestDropped) << s;
        EXPECT_EQ(std::vector<uint8_t>(elitePool[s], elitePool[s] + actNum + 1), run.pool[s - 1]) << s;
    }
}

TEST(phase1, evaluationUsesTheEngineOfThePass)
{
    prepareBenchmark("j301_1");
    uint8_t list[actDim] = {};
    constructActList(list);
    for (bool hv : {false, true}) {
        isHV = hv;
        buildSamplePool();
        setRandState(31);
        float sum = 0.0f;
        for (int i = 0; i < 10; ++i) sum = (hv ? executeResourceBased(list, 10) : executeActivityBased(list, true, 10)) + sum;
        buildSamplePool();
        setRandState(31);
        EXPECT_EQ(evaluatePhase1List(list, 10), sum / 10.0f) << hv;
    }
}

TEST(phase1, goesOnWhenEveryScheduleIsBeyondTheHorizon)
{
    setProject({{0, 0, 650, 650, 0}, {{1, 2}, {1, 3}, {2, 4}, {3, 4}}, {0, 1}, {{}, {0, 0}, {0, 1}, {0, 1}, {0, 0}}});
    preparePhase1();
    isHV = false;
    testing::internal::CaptureStdout();
    runPhase1();
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("Error! max_time == 1200 is too low!\n"), std::string::npos);
    expectSoundList(bestList, "beyond the horizon");
    // The two activities share the one unit: about 1300 on average, against a bound of 650.
    EXPECT_NEAR(ph1Makespan, 1300.0, 50.0);
    EXPECT_NEAR(ph1Gap, (ph1Makespan - 650.0) * 100.0 / 650.0, 1e-9);
}
