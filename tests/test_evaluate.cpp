// Out-of-sample evaluation: the beta quantile table against Boost.Math, the scenario streams
// (random access, pairing, independence), known expected makespans, and policy records checked
// against their instance with a message for every fault.
#include <gtest/gtest.h>

#include <boost/math/special_functions/beta.hpp>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "durations/durations.h"
#include "engine/engine.h"
#include "project/platform.h"
#include "project/state.h"
#include "simulation/betaQuantile.h"
#include "simulation/policy.h"
#include "simulation/scenarios.h"
#include "support/testSupport.h"

namespace {

// ---- Beta quantiles ----

// Largest difference to ibeta_inv over every cell midpoint of both halves (where the cubic's error
// peaks) and over the levels nearest 0, 0.5 and 1 that a draw can give.
double worstBetaError(double a)
{
    BetaQuantileTable t;
    buildBetaQuantileTable(t, a, 2 * a);
    const double lnLow = -53.0 * std::log(2.0), width = (std::log(0.5) - lnLow) / betaNodes;
    std::vector<double> levels = {0x1p-53, 0.5 - 0x1p-53, 0.5 + 0x1p-53, 1 - 0x1p-53};
    for (int k = 0; k < betaNodes; ++k) {
        const double u = std::exp(lnLow + (k + 0.5) * width);
        levels.push_back(u);
        levels.push_back(1 - u);
    }
    double worst = 0;
    for (double u : levels) worst = std::max(worst, std::fabs(betaQuantile(t, u) - boost::math::ibeta_inv(a, 2 * a, u)));
    return worst;
}

TEST(evaluate, betaTableMatchesBoostForB2AndEveryB1Duration)
{
    EXPECT_LT(worstBetaError(1.0 / 6.0), 1e-8) << "B2";
    for (int d = 1; d <= 10; ++d) EXPECT_LT(worstBetaError(0.5 * d - 1.0 / 3.0), 1e-8) << "B1, d = " << d;
}

// ---- Inverse CDFs and tabulations ----

// A project of the given durations (index 1..n), no resources, all activities in parallel.
void parallelProject(const std::vector<int>& durations)
{
    const int n = static_cast<int>(durations.size()) - 1;
    std::vector<std::pair<int, int>> arcs;
    for (int a = 2; a < n; ++a) {
        arcs.push_back({1, a});
        arcs.push_back({a, n});
    }
    setProject(TestProject{durations, arcs, {}, {}});
}

TEST(evaluate, inverseCdfsOfTheUniformAndExponentialRules)
{
    parallelProject({0, 0, 1, 4, 9, 0});
    ScenarioSource s;
    makeScenarioSource(s, 1, 1, 1, 1, 1, 0);  // U1
    EXPECT_FLOAT_EQ(scenarioDuration(s, 2, 0.25), 0.5f);        // d = 1: [0, 2]
    EXPECT_FLOAT_EQ(scenarioDuration(s, 3, 0.25), 3.0f);        // d = 4: [2, 6]
    EXPECT_FLOAT_EQ(scenarioDuration(s, 4, 0.75), 10.5f);       // d = 9: [6, 12]
    EXPECT_EQ(scenarioDuration(s, 1, 0.7), 0.0f);               // dummies stay 0
    makeScenarioSource(s, 1, 1, 1, 3, 1, 0);  // U2
    EXPECT_FLOAT_EQ(scenarioDuration(s, 4, 0.1), 1.8f);
    makeScenarioSource(s, 1, 1, 1, 5, 1, 0);  // EXP
    EXPECT_FLOAT_EQ(scenarioDuration(s, 3, 0.5), static_cast<float>(4 * std::log(2.0)));
    makeScenarioSource(s, 1, 1, 1, 4, 1, 0);  // B2 through the table
    EXPECT_NEAR(scenarioDuration(s, 4, 0.3), 4.5 + 13.5 * boost::math::ibeta_inv(1.0 / 6, 1.0 / 3, 0.3), 1e-5);
}

TEST(evaluate, levelsDrawTheSearchsOwnTabulation)
{
    parallelProject({0, 0, 4, 7, 0});
    for (int dist = 1; dist <= 5; ++dist) {
        ScenarioSource s;
        makeScenarioSource(s, 1, 1, 1, dist, 1, 10);
        float row[11];
        const float spread = dist <= 2 ? static_cast<float>(std::sqrt(4.0)) : 4.0f;
        tabulateQuantiles(row, 10, dist, 4, spread);
        // Level u falls into entry floor(10 u) + 1, both ends of a cell included.
        EXPECT_EQ(scenarioDuration(s, 2, 0.0001), row[1]) << dist;
        EXPECT_EQ(scenarioDuration(s, 2, 0.35), row[4]) << dist;
        EXPECT_EQ(scenarioDuration(s, 2, 1 - 0x1p-53), row[10]) << dist;
    }
}

// ---- Streams ----

TEST(evaluate, scenarioKIsTheSameDrawnInOrderOrDirectly)
{
    ASSERT_TRUE(loadBenchmark("j301_1"));
    for (int dist : {1, 2, 5}) {
        ScenarioSource inOrder, direct;
        makeScenarioSource(inOrder, 1, 1, 1, dist, 7, 0);
        makeScenarioSource(direct, 1, 1, 1, dist, 7, 0);
        float a[actDim], b[actDim];
        for (long k = 1; k <= 40; ++k) drawScenario(inOrder, k, a);
        drawScenario(direct, 40, b);
        EXPECT_EQ(std::vector<float>(a, a + actNum + 1), std::vector<float>(b, b + actNum + 1)) << dist;
        // Back to an earlier scenario and forward again.
        drawScenario(direct, 3, b);
        drawScenario(inOrder, 3, a);
        EXPECT_EQ(std::vector<float>(a, a + actNum + 1), std::vector<float>(b, b + actNum + 1)) << dist;
    }
}

TEST(evaluate, streamsDifferByInstanceDistributionAndSeed)
{
    ASSERT_TRUE(loadBenchmark("j301_1"));
    auto first = [](int group, int inst, int dist, uint32_t seed) {
        ScenarioSource s;
        makeScenarioSource(s, 1, group, inst, dist, seed, 0);
        float d[actDim];
        drawScenario(s, 1, d);
        return std::vector<float>(d + 1, d + actNum + 1);
    };
    const std::vector<float> base = first(1, 1, 3, 1);
    EXPECT_EQ(base, first(1, 1, 3, 1));
    EXPECT_NE(base, first(1, 2, 3, 1));
    EXPECT_NE(base, first(2, 1, 3, 1));
    EXPECT_NE(base, first(1, 1, 3, 2));
    // Another distribution draws the same levels through another inverse CDF: U1 and U2 of the
    // same stream would be mere rescalings, so the streams differ instead.
    ScenarioSource u1, u2;
    makeScenarioSource(u1, 1, 1, 1, 1, 1, 0);
    makeScenarioSource(u2, 1, 1, 1, 3, 1, 0);
    EXPECT_NE(u1.key, u2.key);
}

TEST(evaluate, aFileRunsStreamFollowsItsStemDistributionAndSeedOnly)
{
    // The same stem keys the same stream whatever its file, place or run; every input changes it.
    const uint64_t key = fileScenarioKey("Pat1", 3, 1);
    EXPECT_EQ(key, fileScenarioKey("Pat1", 3, 1));
    EXPECT_NE(key, fileScenarioKey("Pat2", 3, 1));
    EXPECT_NE(key, fileScenarioKey("Pat1", 5, 1));
    EXPECT_NE(key, fileScenarioKey("Pat1", 3, 2));
    EXPECT_NE(fileScenarioKey("", 3, 1), fileScenarioKey(std::string(1, '\0'), 3, 1));
    PolicyRecord psplib, fileRecord;
    psplib.dataset = "J30";
    psplib.group = 1;
    psplib.instance = 2;
    fileRecord.dataset = "R";
    fileRecord.file = "some/folder/Pat1.rcp";
    fileRecord.stem = "Pat1";
    fileRecord.inst = 7;
    EXPECT_EQ(scenarioKeyOf(psplib, 3, 1), scenarioKey(1, 1, 2, 3, 1));
    EXPECT_EQ(scenarioKeyOf(fileRecord, 3, 1), key);
    EXPECT_EQ(instanceStem(fileRecord), "Pat1");
}

// ---- Known answers ----

// Mean and standard error of runs scenarios of policy p on the loaded project.
template <class Policy>
void meanOf(int dist, long runs, Policy p, double& mean, double& stderrOut)
{
    ScenarioSource s;
    makeScenarioSource(s, 1, 1, 1, dist, 11, 0);
    float d[actDim];
    double sum = 0, sumSq = 0;
    for (long k = 1; k <= runs; ++k) {
        drawScenario(s, k, d);
        const double m = p(d);
        sum += m;
        sumSq += m * m;
    }
    mean = sum / runs;
    stderrOut = std::sqrt((sumSq - sum * mean) / (runs - 1) / runs);
}

TEST(evaluate, twoParallelActivitiesUnderU2AndB2MeetTheirExpectedMaximum)
{
    parallelProject({0, 0, 3, 5, 0});
    std::vector<uint8_t> list = makeList({1, 2, 3, 4});
    auto run = [&](const float* d) { return executeResourceBasedGiven(list.data(), d); };
    double mean, se;
    // U2: max of U[0, A] and U[0, B], A <= B, has mean B/2 + A^2 / (6B).
    meanOf(3, 40000, run, mean, se);
    EXPECT_NEAR(mean, 5.0 + 36.0 / 60.0, 4 * se);
    // B2: E max = integral of 1 - F1 F2, with the beta CDFs from Boost.Math (midpoint rule).
    auto cdf = [](double d, double t) {
        double x = (t - 0.5 * d) / (1.5 * d);
        return x <= 0 ? 0.0 : x >= 1 ? 1.0 : boost::math::ibeta(1.0 / 6, 1.0 / 3, x);
    };
    double expected = 0;
    const int steps = 200000;
    for (int i = 0; i < steps; ++i) {
        double t = (i + 0.5) * 10.0 / steps;
        expected += (1 - cdf(3, t) * cdf(5, t)) * 10.0 / steps;
    }
    meanOf(4, 40000, run, mean, se);
    EXPECT_NEAR(mean, expected, 4 * se);
}

TEST(evaluate, aChainTakesTheSumOfTheMeansUnderEveryDistribution)
{
    setProject(TestProject{{0, 0, 3, 1, 7, 2, 0}, {{1, 2}, {2, 3}, {3, 4}, {4, 5}, {5, 6}}, {}, {}});
    std::vector<uint8_t> list = makeList({1, 2, 3, 4, 5, 6});
    for (int dist = 1; dist <= 5; ++dist) {
        double mean, se;
        meanOf(dist, 20000, [&](const float* d) { return executeActivityBasedGiven(list.data(), d); }, mean, se);
        EXPECT_NEAR(mean, 13.0, 4 * se) << "distribution " << dist;
    }
}

// ---- Policy records ----

const char* goodRecord =
    R"({"dataset":"J30","distribution":"U2","method":"HV","config":5000,"group":1,"instance":2,"inst":2,)"
    R"("stream_seed":5,"list":[1,3,4,2,10,7,12,22,5,9,6,17,11,8,16,15,13,19,21,18,20,28,26,24,29,14,25,23,27,)"
    R"(30,31,32],"arcs":[[9,15,1],[13,19,2]]})";

// The record with text replaced, loaded against the benchmark folder; the error or "".
std::string loadEdited(const std::string& from, const std::string& to, PolicyRecord& r, uint8_t* list,
                       const std::string& folder = TARVO_PSPLIB_DIR)
{
    std::string line = goodRecord;
    if (!from.empty()) line.replace(line.find(from), from.size(), to);
    std::string error;
    if (!parsePolicyLine(line, r, error)) return "p.jsonl: line 4: " + error;
    r.lineNo = 4;
    if (!loadPolicy(r, folder, "p.jsonl", list, error)) return error;
    return "";
}

TEST(evaluate, aGoodRecordInstallsItsListAndArcs)
{
    setKeyWaits(false);
    PolicyRecord r;
    uint8_t list[actDim];
    ASSERT_EQ(loadEdited("", "", r, list), "");
    EXPECT_TRUE(isHVRecord(r));
    EXPECT_EQ(datasetOf(r), 1);
    EXPECT_EQ(distributionOf(r), 3);
    EXPECT_EQ(instanceStem(r), "j301_2");
    EXPECT_EQ(actNum, 32);
    EXPECT_EQ(list[0], 0);
    EXPECT_EQ(list[4], 2);
    EXPECT_TRUE(setHas(extraFinPred[15], 9));
    EXPECT_TRUE(setHas(extraStartPred[19], 13));
    int arcs = 0;
    for (int a = 1; a <= actNum; ++a)
        for (int f = 1; f <= actNum; ++f) arcs += setHas(extraFinPred[a], f) + setHas(extraStartPred[a], f);
    EXPECT_EQ(arcs, 2);
    EXPECT_GT(earlyFinish[actNum], 0.0f);
}

TEST(evaluate, aFileRunsRecordReadsItsOwnFileOfAnySize)
{
    // A J60 project under another name and place: read through its path, whatever --instances says.
    setKeyWaits(false);
    const std::string path = testing::TempDir() + "renamed.sm";
    {
        std::ifstream in(std::string(TARVO_PSPLIB_DIR) + "/j601_1.sm", std::ios::binary);
        std::ofstream out(path, std::ios::binary);
        out << in.rdbuf();
    }
    PolicyRecord r;
    r.dataset = "R";
    r.distribution = "U1";
    r.method = "LV";
    r.file = path;
    r.stem = "renamed";
    r.inst = 1;
    r.lineNo = 3;
    uint8_t list[actDim];
    std::string error;
    // The list of a 32-activity project does not fit: the message names the stem and its size.
    for (int a = 0; a <= 32; ++a) r.list.push_back(a);
    EXPECT_FALSE(loadPolicy(r, "nowhere", "p.jsonl", list, error));
    EXPECT_EQ(error, "p.jsonl: line 3: the list holds 32 activities; renamed has 62 activities");
    r.list.clear();
    for (int a = 0; a <= 62; ++a) r.list.push_back(a);
    ASSERT_TRUE(loadPolicy(r, "nowhere", "p.jsonl", list, error)) << error;
    EXPECT_EQ(actNum, 62);
    EXPECT_TRUE(projectFile.empty()) << "the next PSPLIB record reads its folder again";
    r.file = testing::TempDir() + "absent.sm";
    EXPECT_FALSE(loadPolicy(r, "nowhere", "p.jsonl", list, error));
    EXPECT_EQ(error, "p.jsonl: line 3: instance renamed cannot be read from " + r.file + " (see the message above)");
    std::remove(path.c_str());
}

TEST(evaluate, badRecordsAreRefusedWithFileLineAndFault)
{
    setKeyWaits(false);
    PolicyRecord r;
    uint8_t list[actDim];
    struct Case {
        const char *from, *to, *message;
    } cases[] = {
        // What the policy-record reader refuses arrives with file and line.
        {"{", "[", "not valid JSON"},
        {"[1,3,4,2,", "[1,3,4,4,", "\"list\" holds activity 4 twice"},
        // What only the project can tell.
        {"[1,3,4,2,10,", "[1,3,4,10,2,", "the list is not in precedence order: activity 10 at place 4 stands before "
                                         "its predecessor 2"},
        {"[9,15,1]", "[9,9,1]", "does not join two activities"},
        // With the arc 9 -> 15 in force, 15 -> 9 closes a cycle.
        {"[13,19,2]", "[15,9,2]", "arc [15, 9, 2] closes a cycle"},
        // 2 precedes 10 in j301_2.
        {"[9,15,1]", "[10,2,2]", "arc [10, 2, 2] closes a cycle"},
    };
    for (const Case& c : cases) {
        std::string error = loadEdited(c.from, c.to, r, list);
        EXPECT_NE(error.find(c.message), std::string::npos) << c.to << ": " << error;
        EXPECT_EQ(error.rfind("p.jsonl: line 4: ", 0), 0u) << error;
    }
    EXPECT_NE(loadEdited("", "", r, list, "nowhere").find("p.jsonl: line 4: instance j301_2 cannot be read from nowhere"),
              std::string::npos);
}

TEST(evaluate, samePolicyOnSameScenariosGivesIdenticalMakespans)
{
    setKeyWaits(false);
    PolicyRecord r;
    uint8_t list[actDim];
    ASSERT_EQ(loadEdited("[[9,15,1],[13,19,2]]", "[]", r, list), "");
    ScenarioSource s;
    makeScenarioSource(s, 1, 1, 2, 3, 1, 0);
    float d[actDim];
    for (long k = 1; k <= 200; ++k) {
        drawScenario(s, k, d);
        // Without arcs the Phase 2 policy of an HV record is its Phase 1 policy.
        ASSERT_EQ(runPhase1Policy(r, list, d), runPhase2Policy(list, d)) << k;
    }
}

}  // namespace
