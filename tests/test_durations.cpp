// The sample pool: the quantile tables of the five distributions, the starting values set per
// instance, the cache of short durations (bit for bit the direct rows) and the descriptive draw.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <numeric>
#include <string>
#include <vector>

#include "durations/durations.h"
#include "project/platform.h"
#include "project/state.h"
#include "support/testSupport.h"

namespace {

// A project of the given durations (index 1..n) under distribution dist, tables built.
void buildFor(int dist, const std::vector<int>& durations)
{
    setProject(TestProject{durations, {}, {}, {}});
    distNum = dist;
    buildSamplePool();
}

// The three tables of row i, in table order.
std::vector<float> rowsOf(int i)
{
    std::vector<float> all(samplePool1000[i] + 1, samplePool1000[i] + 1001);
    all.insert(all.end(), samplePoolMid[i] + 1, samplePoolMid[i] + midLevels + 1);
    all.insert(all.end(), samplePool10[i] + 1, samplePool10[i] + 11);
    return all;
}

// The three rows of duration d computed directly, without the cache.
std::vector<float> directRows(int dist, int d, float spread)
{
    float t1000[1001], tMid[midLevels + 1], t10[11];
    EXPECT_EQ(tabulateQuantiles(t1000, 1000, dist, static_cast<uint16_t>(d), spread), 0);
    EXPECT_EQ(tabulateQuantiles(tMid, midLevels, dist, static_cast<uint16_t>(d), spread), 0);
    EXPECT_EQ(tabulateQuantiles(t10, 10, dist, static_cast<uint16_t>(d), spread), 0);
    std::vector<float> all(t1000 + 1, t1000 + 1001);
    all.insert(all.end(), tMid + 1, tMid + midLevels + 1);
    all.insert(all.end(), t10 + 1, t10 + 11);
    return all;
}

bool sameBits(const std::vector<float>& a, const std::vector<float>& b)
{
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(float)) == 0;
}

void expectTen(int i, const std::vector<double>& expected, double tolerance)
{
    for (int j = 1; j <= 10; ++j) EXPECT_NEAR(samplePool10[i][j], expected[j - 1], tolerance) << "entry " << j;
}

}  // namespace

// ---- Quantile tables ----

TEST(sampleTables, zeroDurationIsZeroUnderEveryDistributionWithoutMessage)
{
    for (int dist = 1; dist <= 5; ++dist) {
        testing::internal::CaptureStdout();
        buildFor(dist, {0, 0, 3, 0});
        EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
        for (int i : {1, 3})
            for (float v : rowsOf(i)) {
                ASSERT_EQ(v, 0.0f) << "distribution " << dist;
                // The exponential rule gives -0, every other rule +0.
                ASSERT_EQ(std::signbit(v), dist == 5) << "distribution " << dist;
            }
    }
}

TEST(sampleTables, uniformTablesSpanTheirIntervals)
{
    // U1, d = 1: s = 1 and d - s = 0, so uniform on [0, 2].
    buildFor(1, {0, 1, 4, 0});
    EXPECT_FLOAT_EQ(samplePool1000[1][1], 0.001f);
    EXPECT_FLOAT_EQ(samplePool1000[1][1000], 1.999f);
    expectTen(1, {0.1, 0.3, 0.5, 0.7, 0.9, 1.1, 1.3, 1.5, 1.7, 1.9}, 1e-6);
    // U1, d = 4: s = 2, uniform on [2, 6].
    EXPECT_FLOAT_EQ(samplePool1000[2][1], 2.002f);
    EXPECT_FLOAT_EQ(samplePool1000[2][1000], 5.998f);
    expectTen(2, {2.2, 2.6, 3.0, 3.4, 3.8, 4.2, 4.6, 5.0, 5.4, 5.8}, 1e-6);
    EXPECT_FLOAT_EQ(samplePoolMid[2][1], 2.0f + 4.0f * 0.5f / midLevels);

    // U2, d = 10: uniform on [0, 20].
    buildFor(3, {0, 10, 0});
    expectTen(1, {1, 3, 5, 7, 9, 11, 13, 15, 17, 19}, 1e-5);
    EXPECT_EQ(durSpread[1], 10.0f);
}

TEST(sampleTables, betaTablesForDurationFour)
{
    buildFor(2, {0, 4, 0});
    expectTen(1, {2.3679, 2.7545, 3.0787, 3.3873, 3.6980, 4.0239, 4.3798, 4.7895, 5.3046, 6.1185}, 0.00005);
    buildFor(4, {0, 4, 0});
    expectTen(1, {2.0000, 2.0005, 2.0111, 2.0832, 2.3654, 3.1239, 4.5506, 6.3094, 7.5734, 7.9835}, 0.00005);
}

TEST(sampleTables, b1ShapesAreFormedInSinglePrecision)
{
    // alpha = 0.5 d - 0.33333334 in float: for d = 1 just below the B2 shapes, for d = 2 as listed.
    struct Case {
        int d;
        float alpha, second;
    };
    for (Case c : {Case{1, 0.166666657f, 0.333333313f}, Case{2, 0.666666627f, 1.33333325f}}) {
        buildFor(2, {0, c.d, 0});
        double p = c.alpha, q = c.second;
        double lnB = std::lgamma(p) + std::lgamma(q) - std::lgamma(p + q);
        float fd = static_cast<float>(c.d);
        for (int j = 1; j <= 1000; ++j) {
            int fault;
            float x = static_cast<float>(beta_cdf_inv(static_cast<float>(j - 0.5) / 1000.0f, p, q, lnB, fault));
            ASSERT_EQ(samplePool1000[1][j], x * 3.0f * fd * 0.5f + fd * 0.5f) << "d " << c.d << " entry " << j;
        }
    }
    // With the rounded B2 shapes the d = 1 table would differ.
    buildFor(2, {0, 1, 0});
    std::vector<float> b1 = rowsOf(1);
    buildFor(4, {0, 1, 0});
    EXPECT_FALSE(sameBits(b1, rowsOf(1)));
}

TEST(sampleTables, exponentialTableFollowsTheLogRule)
{
    buildFor(5, {0, 7, 0});
    for (int j = 1; j <= 10; ++j) {
        double p = (j - 0.5) / 10;
        EXPECT_NEAR(samplePool10[1][j], -std::log(1 - p) * 7, 1e-5) << "entry " << j;
    }
}

TEST(sampleTables, everyTableIsAscendingWithMeanNearTheDuration)
{
    for (int dist = 1; dist <= 5; ++dist) {
        buildFor(dist, {0, 1, 2, 5, 10, 0});
        for (int i = 1; i <= 4; ++i) {
            float d = dur[i];
            // In the near-zero lower tail of the beta rules the inverse stops once its step is below
            // 1e-7, so neighbouring quantiles there may come out a few float steps out of order.
            float slack = dist == 2 || dist == 4 ? 1e-6f * d : 0.0f;
            for (int j = 2; j <= 1000; ++j) ASSERT_LE(samplePool1000[i][j - 1], samplePool1000[i][j] + slack);
            for (int j = 2; j <= midLevels; ++j) ASSERT_LE(samplePoolMid[i][j - 1], samplePoolMid[i][j] + slack);
            for (int j = 2; j <= 10; ++j) ASSERT_LE(samplePool10[i][j - 1], samplePool10[i][j]);
            // Every distribution has mean d; the 1000 midpoint quantiles come within 1 % of it
            // (the exponential's cut-off tail costs it most: about 0.5 %).
            double sum = std::accumulate(samplePool1000[i] + 1, samplePool1000[i] + 1001, 0.0);
            EXPECT_NEAR(sum / 1000, d, 0.01 * d) << "distribution " << dist << " d " << d;
        }
    }
}

// ---- Per-instance start ----

TEST(samplePool, setsTheStartingValuesOfTheLaterSteps)
{
    // Stale values everywhere first, to see exactly what is reset.
    for (int a = 0; a <= maxAct; ++a) {
        poolCursor1000[a] = poolCursorMid[a] = poolCursor10[a] = 77;
        lateFinish[a] = earlyStart[a] = lateStart[a] = earlyFinish[a] = 5.0f;
        durSpread[a] = 5.0f;
        samplePool10[a][1] = 5.0f;
        for (int slot = 0; slot <= maxElite; ++slot) elitePool[slot][a] = 9;
    }
    for (int k = 0; k <= maxPop; ++k) eliteVal[k] = offFit[k] = 5.0f;
    simTime = 5.0f;
    popSize = 3;
    gaPairNum = 3;

    buildFor(1, {0, 0, 9, 2, 0});
    EXPECT_EQ(simTime, 0.0f);
    EXPECT_EQ(popSize, 20);
    EXPECT_EQ(gaPairNum, 10);
    for (int a = 1; a <= maxAct; ++a) {
        ASSERT_EQ(poolCursor1000[a], 1);
        ASSERT_EQ(poolCursorMid[a], 1);
        ASSERT_EQ(poolCursor10[a], 1);
    }
    for (int i = 1; i <= 4; ++i) {
        EXPECT_EQ(lateFinish[i], -1.0f);
        EXPECT_EQ(earlyStart[i], -1.0f);
        for (int slot = 1; slot <= 20; ++slot) EXPECT_EQ(elitePool[slot][i], 0);
        EXPECT_EQ(elitePool[0][i], 9);
    }
    for (int i = 0; i <= 4; ++i) {
        EXPECT_EQ(lateStart[i], 0.0f);
        EXPECT_EQ(earlyFinish[i], 0.0f);
    }
    for (int k = 0; k <= 20; ++k) {
        EXPECT_EQ(eliteVal[k], 0.0f);
        EXPECT_EQ(offFit[k], 0.0f);
    }
    // U1 spreads are square roots; nothing above actNum (or entry 0 of the -1 tables) is touched.
    EXPECT_EQ(durSpread[2], 3.0f);
    EXPECT_EQ(durSpread[3], std::sqrt(2.0f));
    EXPECT_EQ(lateFinish[0], 5.0f);
    EXPECT_EQ(earlyStart[0], 5.0f);
    EXPECT_EQ(lateStart[5], 5.0f);
    EXPECT_EQ(durSpread[5], 5.0f);
    EXPECT_EQ(samplePool10[5][1], 5.0f);
    EXPECT_EQ(elitePool[1][5], 9);
    EXPECT_EQ(eliteVal[21], 5.0f);
    EXPECT_EQ(offFit[21], 5.0f);

    // U2 and the later distributions take the duration itself as spread; B1 the root.
    buildFor(3, {0, 9, 0});
    EXPECT_EQ(durSpread[1], 9.0f);
    buildFor(2, {0, 9, 0});
    EXPECT_EQ(durSpread[1], 3.0f);
}

TEST(samplePool, sharedRowsAreBitIdenticalToDirectOnes)
{
    // Every cached duration, and long ones that are always computed directly.
    std::vector<int> durations = {0};
    for (int d = 0; d <= cachedDurMax; ++d) durations.push_back(d);
    for (int d : {37, 1000, 65535, 7, 3}) durations.push_back(d);
    durations.push_back(0);
    const int n = static_cast<int>(durations.size()) - 1;
    for (int dist = 0; dist <= 6; ++dist) {
        std::map<int, std::vector<float>> direct;
        // First build fills the cache, the second copies from it, the third sees activities moved.
        for (int pass = 1; pass <= 3; ++pass) {
            testing::internal::CaptureStdout();
            buildFor(dist, durations);
            EXPECT_EQ(testing::internal::GetCapturedStdout(), "") << "distribution " << dist;
            for (int i = 1; i <= n; ++i) {
                if (!direct.count(dur[i])) direct[dur[i]] = directRows(dist, dur[i], durSpread[i]);
                ASSERT_TRUE(sameBits(rowsOf(i), direct[dur[i]]))
                    << "distribution " << dist << " pass " << pass << " d " << dur[i];
            }
            std::rotate(durations.begin() + 1, durations.begin() + 4, durations.end());
        }
    }
}

TEST(samplePool, cachedRowsFollowTheSpread)
{
    buildFor(1, {0, 4, 4, 0});
    // A spread the cache has not seen (U2's 4 instead of U1's 2) under the same rule.
    durSpread[2] = 4.0f;
    for (int pass = 1; pass <= 2; ++pass) {
        fillSampleTables();
        EXPECT_TRUE(sameBits(rowsOf(1), directRows(1, 4, 2.0f)));
        EXPECT_TRUE(sameBits(rowsOf(2), directRows(1, 4, 4.0f)));
    }
    EXPECT_FLOAT_EQ(samplePool10[1][10], 5.8f);
    EXPECT_FLOAT_EQ(samplePool10[2][10], 7.6f);
}

// ---- The descriptive draw ----

TEST(rndGen, tenDrawsReturnEveryEntryOnceThenStartOver)
{
    buildFor(1, {0, 0, 0});
    for (int j = 1; j <= 10; ++j) samplePool10[1][j] = static_cast<float>(j);
    std::vector<float> drawn;
    for (int k = 1; k <= 10; ++k) {
        drawn.push_back(rndGen(1, 10));
        EXPECT_EQ(poolCursor10[1], k + 1);
        // The draw at place k leaves its value at place k.
        EXPECT_EQ(samplePool10[1][k], drawn.back());
    }
    std::vector<float> sorted = drawn;
    std::sort(sorted.begin(), sorted.end());
    for (int j = 1; j <= 10; ++j) EXPECT_EQ(sorted[j - 1], static_cast<float>(j));
    // The eleventh draw finds the cursor past the end and starts again at place 1.
    float eleventh = rndGen(1, 10);
    EXPECT_EQ(poolCursor10[1], 2);
    EXPECT_EQ(samplePool10[1][1], eleventh);
    // Other activities' cursors did not move.
    EXPECT_EQ(poolCursor10[2], 1);
    EXPECT_EQ(poolCursorMid[1], 1);
    EXPECT_EQ(poolCursor1000[1], 1);
}

TEST(rndGen, blocksOfTheOtherTablesUseEveryEntryOnce)
{
    buildFor(5, {0, 6, 0});
    for (int n : {midLevels, 1000}) {
        std::vector<float> expected = n == 1000 ? std::vector<float>(samplePool1000[1] + 1, samplePool1000[1] + 1001)
                                                : std::vector<float>(samplePoolMid[1] + 1, samplePoolMid[1] + n + 1);
        for (int block = 1; block <= 2; ++block) {
            std::vector<float> drawn;
            for (int k = 1; k <= n; ++k) drawn.push_back(rndGen(1, n));
            std::sort(drawn.begin(), drawn.end());
            EXPECT_TRUE(sameBits(drawn, expected)) << "table " << n << " block " << block;
        }
    }
}

TEST(rndGen, partnerPlaceFollowsTheRandomFraction)
{
    buildFor(1, {0, 0, 0});
    for (int j = 1; j <= 10; ++j) samplePool10[1][j] = static_cast<float>(j);
    // From state 1 the stream's first draw is 16838: 9 * 16838/32767 + 1 = 5.62, + 0.5 gives place 6.
    setRandState(1);
    EXPECT_EQ(rndGen(1, 10), 6.0f);
    EXPECT_EQ(samplePool10[1][6], 1.0f);

    // One random draw per call, and the draw at the last place always returns the last place.
    for (uint32_t seed = 1; seed <= 50; ++seed) {
        setRandState(seed * 7919u);
        poolCursor10[1] = 10;
        float last = samplePool10[1][10];
        EXPECT_EQ(rndGen(1, 10), last);
        uint32_t after = getRandState();
        setRandState(seed * 7919u);
        nextRand();
        EXPECT_EQ(getRandState(), after);
    }
}

TEST(rndGen, unknownTableSizeDrawsNothing)
{
    buildFor(1, {0, 3, 0});
    uint32_t state = getRandState();
    testing::internal::CaptureStdout();
    float v = rndGen(1, 11);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Error! rndGen");
    EXPECT_EQ(v, 0.0f);
    EXPECT_EQ(getRandState(), state);
    EXPECT_EQ(poolCursor10[1], 1);
}

TEST(rndGen, negativeSampleIsReportedAndReturned)
{
    buildFor(1, {0, 0, 0});
    for (int j = 1; j <= 10; ++j) samplePool10[1][j] = -2.5f;
    testing::internal::CaptureStdout();
    float v = rndGen(1, 10);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "ERROR! rn < 0 --- rndGen\n");
    EXPECT_EQ(v, -2.5f);

    // The exponential rule's -0 at d = 0 is not below 0.
    buildFor(5, {0, 0, 0});
    testing::internal::CaptureStdout();
    for (int k = 0; k < 10; ++k) rndGen(1, 10);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
}
