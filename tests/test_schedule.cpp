// tarvo schedule: the engine's given-duration schedules respect precedence, arcs and capacities
// and match its nominal makespans; the critical chain on small and benchmark projects; records found.
#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "durations/durations.h"
#include "engine/engine.h"
#include "phase2/phase2.h"
#include "project/state.h"
#include "schedule/schedule.h"
#include "support/testSupport.h"

namespace {

using Arcs = std::vector<PolicyArc>;

// The engine run tarvo schedule makes for a policy: the arcs in force for withArcs.
float realise(uint8_t* list, ScheduleRule rule, const Arcs& arcs, const float* durations)
{
    if (rule == ScheduleRule::activityBased) return executeActivityBasedGiven(list, durations);
    if (rule == ScheduleRule::resourceBased) return executeResourceBasedGiven(list, durations);
    clearExtraArcs();
    std::vector<uint8_t> arcList(3 * (arcs.size() + 1));
    for (std::size_t k = 0; k < arcs.size(); ++k) {
        arcList[3 * k + 3] = static_cast<uint8_t>(arcs[k].from);
        arcList[3 * k + 4] = static_cast<uint8_t>(arcs[k].to);
        arcList[3 * k + 5] = static_cast<uint8_t>(arcs[k].type);
    }
    applyArcs(arcList.data(), static_cast<int>(arcs.size()));
    return executeWithArcsGiven(list, durations);
}

std::vector<float> nominal()
{
    std::vector<float> d(actDim, 0.0f);
    for (int a = 1; a <= actNum; ++a) d[a] = static_cast<float>(dur[a]);
    return d;
}

// Fails the test at the first start that breaks a precedence, an arc or a capacity.
void expectFeasible(const Arcs& arcs)
{
    int n = actNum;
    for (int j = 1; j <= n; ++j) {
        ASSERT_GE(startTime[j], 0.0f) << "activity " << j << " never started";
        for (int k = 1; k <= predNum[j]; ++k)
            EXPECT_GE(startTime[j], finishTime[predList[j][k]]) << predList[j][k] << " -> " << j;
    }
    for (const PolicyArc& arc : arcs) {
        float bound = arc.type == 1 ? finishTime[arc.from] : startTime[arc.from];
        EXPECT_GE(startTime[arc.to], bound) << "arc " << arc.from << " -> " << arc.to << " type " << arc.type;
    }
    // Use only rises at starts, so checking the use just after every start covers the whole run.
    for (int j = 1; j <= n; ++j) {
        float t = startTime[j];
        for (int r = 1; r <= resNum; ++r) {
            int use = 0;
            for (int i = 1; i <= n; ++i)
                if (startTime[i] <= t && t < finishTime[i]) use += resReq[i][r];
            EXPECT_LE(use, resCap[r]) << "resource " << r << " at time " << t;
        }
    }
}

// Each critical activity but the dummy start has a critical one whose finish (or start) is its
// start: the chain runs without a gap from time 0 to the makespan.
void expectGaplessChain(const bool* critical)
{
    EXPECT_TRUE(critical[1]);
    EXPECT_TRUE(critical[actNum]);
    for (int j = 2; j <= actNum; ++j) {
        if (!critical[j]) continue;
        bool linked = false;
        for (int i = 1; i <= actNum; ++i)
            linked |= i != j && critical[i] && (finishTime[i] == startTime[j] || startTime[i] == startTime[j]);
        EXPECT_TRUE(linked) << "critical activity " << j << " starting at " << startTime[j];
    }
}

// Arcs between random places p < q of the list: forward in a precedence-feasible order, so they
// can never close a cycle.
Arcs forwardArcs(const std::vector<uint8_t>& list, int count, std::mt19937& rng)
{
    Arcs arcs;
    int n = actNum;
    std::uniform_int_distribution<int> place(2, n - 2), type(1, 2);
    while (static_cast<int>(arcs.size()) < count) {
        int p = place(rng), q = place(rng);
        if (p < q) arcs.push_back({list[p], list[q], type(rng)});
    }
    return arcs;
}

std::vector<int> critical(const std::vector<uint8_t>& list, ScheduleRule rule)
{
    bool marks[actDim];
    markCriticalChain(list.data(), rule, marks);
    std::vector<int> on;
    for (int a = 1; a <= actNum; ++a)
        if (marks[a]) on.push_back(a);
    return on;
}

// One resource of capacity 3; activities 2 (2 units, 3 long), 3 (2 units, 1 long) and 4 (1 unit,
// 1 long) between the dummies 1 and 5, unrelated to each other.
void capacityThreeProject()
{
    setProject({{0, 0, 3, 1, 1, 0},
                {{1, 2}, {1, 3}, {1, 4}, {2, 5}, {3, 5}, {4, 5}},
                {0, 3},
                {{}, {0, 0}, {0, 2}, {0, 2}, {0, 1}, {0, 0}}});
}

// One resource of capacity 2; activities 2 (2 long) and 3 (3 long), one unit each.
void capacityTwoProject()
{
    setProject({{0, 0, 2, 3, 0}, {{1, 2}, {1, 3}, {2, 4}, {3, 4}}, {0, 2}, {{}, {0, 0}, {0, 1}, {0, 1}, {0, 0}}});
}

}  // namespace

// ---- Realised schedules ----

TEST(schedule, benchmarkSchedulesRespectPrecedenceArcsAndCapacitiesAndMatchTheEngines)
{
    for (const char* stem : {"j301_1", "j6010_7", "j1201_1"}) {
        ASSERT_TRUE(loadBenchmark(stem)) << stem;
        std::mt19937 rng(17);
        std::uniform_real_distribution<float> draw(0.0f, 2.0f);
        for (int trial = 0; trial < 20; ++trial) {
            SCOPED_TRACE(std::string(stem) + " trial " + std::to_string(trial));
            std::vector<uint8_t> list = randomFeasibleList(100 + trial);
            Arcs arcs = forwardArcs(list, trial % 7 * 3, rng);
            std::vector<float> nominalDur = nominal(), drawn = nominalDur;
            for (int a = 2; a < actNum; ++a) drawn[a] = trial % 4 == 3 ? 0.0f : nominalDur[a] * draw(rng);

            // Nominal makespans equal the engines' own nominal runs.
            float byActivity = realise(list.data(), ScheduleRule::activityBased, {}, nominalDur.data());
            EXPECT_EQ(byActivity, executeActivityBased(list.data(), false, 0));
            float byArcs = realise(list.data(), ScheduleRule::withArcs, arcs, nominalDur.data());
            EXPECT_EQ(byArcs, executeWithArcs(list.data(), false, 0));
            expectFeasible(arcs);

            for (ScheduleRule rule : {ScheduleRule::activityBased, ScheduleRule::resourceBased, ScheduleRule::withArcs}) {
                float makespan = realise(list.data(), rule, arcs, drawn.data());
                ASSERT_LT(makespan, stuckMakespan);
                EXPECT_EQ(makespan, finishTime[actNum]);
                expectFeasible(rule == ScheduleRule::withArcs ? arcs : Arcs{});
                bool marks[actDim];
                markCriticalChain(list.data(), rule, marks);
                expectGaplessChain(marks);
            }
            clearExtraArcs();
        }
    }
}

TEST(schedule, activityBasedScheduleKeepsStartsInListOrder)
{
    ASSERT_TRUE(loadBenchmark("j301_1"));
    std::vector<uint8_t> list = randomFeasibleList(3);
    std::vector<float> d = nominal();
    realise(list.data(), ScheduleRule::activityBased, {}, d.data());
    for (int p = 2; p <= actNum; ++p) EXPECT_LE(startTime[list[p - 1]], startTime[list[p]]) << "place " << p;
}

// ---- The critical chain ----

TEST(schedule, criticalChainFollowsTheLongerOfTwoParallelActivities)
{
    setProject({{0, 0, 3, 5, 0}, {{1, 2}, {1, 3}, {2, 4}, {3, 4}}, {}, {}});
    std::vector<float> d = nominal();
    std::vector<uint8_t> list = makeList({1, 2, 3, 4});
    for (ScheduleRule rule : {ScheduleRule::activityBased, ScheduleRule::resourceBased, ScheduleRule::withArcs}) {
        realise(list.data(), rule, {}, d.data());
        EXPECT_EQ(critical(list, rule), (std::vector<int>{1, 3, 4}));
    }
}

TEST(schedule, criticalChainRunsThroughTheResourceWait)
{
    // Resource-based: 2 on [0,3) and 4 on [0,1); 3 waits for the units 2 frees at 3 and ends at 4.
    capacityThreeProject();
    std::vector<float> d = nominal();
    std::vector<uint8_t> list = makeList({1, 2, 3, 4, 5});
    EXPECT_EQ(realise(list.data(), ScheduleRule::resourceBased, {}, d.data()), 4.0f);
    EXPECT_EQ(critical(list, ScheduleRule::resourceBased), (std::vector<int>{1, 2, 3, 5}));
    // Activity-based: 4 also waits, behind 3 in the list, and ends at 4 too.
    EXPECT_EQ(realise(list.data(), ScheduleRule::activityBased, {}, d.data()), 4.0f);
    EXPECT_EQ(startTime[4], 3.0f);
    EXPECT_EQ(critical(list, ScheduleRule::activityBased), (std::vector<int>{1, 2, 3, 4, 5}));
}

TEST(schedule, criticalChainFollowsFinishAndStartArcs)
{
    capacityTwoProject();
    std::vector<float> d = nominal();
    std::vector<uint8_t> list = makeList({1, 2, 3, 4});
    // Finish-to-start 3 -> 2: 2 runs on [3,5) and both are on the chain.
    EXPECT_EQ(realise(list.data(), ScheduleRule::withArcs, {{3, 2, 1}}, d.data()), 5.0f);
    EXPECT_EQ(critical(list, ScheduleRule::withArcs), (std::vector<int>{1, 2, 3, 4}));
    // Start-to-start 3 -> 2: both start at 0; the end waits for 3 alone.
    EXPECT_EQ(realise(list.data(), ScheduleRule::withArcs, {{3, 2, 2}}, d.data()), 3.0f);
    EXPECT_EQ(critical(list, ScheduleRule::withArcs), (std::vector<int>{1, 3, 4}));
    // Start-to-start 2 -> 3 with 2 made longest: 2 is on the chain through its finish.
    d[2] = 4.0f;
    EXPECT_EQ(realise(list.data(), ScheduleRule::withArcs, {{2, 3, 2}}, d.data()), 4.0f);
    EXPECT_EQ(critical(list, ScheduleRule::withArcs), (std::vector<int>{1, 2, 4}));
    clearExtraArcs();
}

// ---- Records ----

TEST(schedule, findPolicyRecordFindsTheInstanceOrSaysItIsMissing)
{
    enterScratchDir();
    PolicyRecord a, b;
    a.arcs = {{2, 3, 2}};
    a.dataset = b.dataset = "J30";
    a.distribution = b.distribution = "U1";
    a.method = b.method = "LV";
    a.config = b.config = 5000;
    a.group = b.group = 2;
    a.instance = 1;
    b.instance = 2;
    a.inst = 11;
    b.inst = 12;
    a.list = {0};
    for (int act = 1; act <= 32; ++act) a.list.push_back(act);
    b.list = a.list;
    b.arcs = a.arcs;
    std::ofstream("p.jsonl") << policyLine(a) << "\n" << policyLine(b) << "\n";
    PolicyRecord found;
    std::string error;
    ASSERT_TRUE(findPolicyRecord("p.jsonl", 2, 2, found, error)) << error;
    EXPECT_EQ(found.inst, 12);
    ASSERT_EQ(found.arcs.size(), 1u);
    EXPECT_EQ(found.arcs[0].type, 2);
    EXPECT_FALSE(findPolicyRecord("p.jsonl", 2, 3, found, error));
    EXPECT_EQ(error, "p.jsonl: no record of group 2 instance 3");
    EXPECT_FALSE(findPolicyRecord("absent.jsonl", 1, 1, found, error));
    EXPECT_EQ(error.rfind("absent.jsonl: ", 0), 0u) << error;
}
