// The paired tests on hand-made differences: known answers for all zeros, ties only, a single
// value, the zero handling of Pratt and Holm's step-down order. (SciPy checks the rest:
// tests/probe/pairedScipy.py.)
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "simulation/pairedTests.h"

TEST(pairedTests, equalDifferencesGiveZeroErrorAndPOfTheirSign)
{
    std::vector<double> zeros(10, 0.0), same(10, -0.5);
    PairedT z = pairedT(zeros.data(), 10);
    EXPECT_EQ(z.mean, 0.0);
    EXPECT_EQ(z.stderrOfMean, 0.0);
    EXPECT_EQ(z.low, 0.0);
    EXPECT_EQ(z.high, 0.0);
    EXPECT_EQ(z.p, 1.0);
    PairedT s = pairedT(same.data(), 10);
    EXPECT_EQ(s.mean, -0.5);
    EXPECT_EQ(s.stderrOfMean, 0.0);
    EXPECT_EQ(s.p, 0.0);
    double one = 3.0;
    PairedT single = pairedT(&one, 1);
    EXPECT_EQ(single.mean, 3.0);
    EXPECT_TRUE(std::isnan(single.stderrOfMean) && std::isnan(single.low) && std::isnan(single.p));
}

TEST(pairedTests, wilcoxonKnownAnswers)
{
    // Nothing to test: p = 1.
    EXPECT_EQ(wilcoxonPratt(std::vector<double>(30, 0.0)), 1.0);
    EXPECT_EQ(wilcoxonPratt({}), 1.0);
    // One value: T+ = r or 0, E = r/2, V = r^2/4, so |z| = 1 whatever its size and sign.
    const double pOne = std::erfc(1 / std::sqrt(2.0));
    EXPECT_NEAR(wilcoxonPratt({2.5}), pOne, 1e-15);
    EXPECT_NEAR(wilcoxonPratt({-7}), pOne, 1e-15);
    // All ties, all positive: n ranks of (n+1)/2; T+ = n(n+1)/2, E = half, V = n (n+1)^2 / 16,
    // z = sqrt(n).
    EXPECT_NEAR(wilcoxonPratt(std::vector<double>(16, 1.25)), std::erfc(4 / std::sqrt(2.0)), 1e-15);
    // Symmetric around 0: T+ = E exactly, p = 1.
    EXPECT_EQ(wilcoxonPratt({-1, 1, -2, 2, -3, 3}), 1.0);
    // Pratt: zeros take the low ranks 1..z, so a zero moves the nonzero ranks up. Ranks of
    // {0, 1, 2, -3}: 1 (dropped), 2, 3, 4; T+ = 5, E = 4.5, V = (4 + 9 + 16) / 4.
    EXPECT_NEAR(wilcoxonPratt({0, 1, 2, -3}), std::erfc(0.5 / std::sqrt(29 / 4.0) / std::sqrt(2.0)), 1e-15);
    // Sign symmetry.
    EXPECT_EQ(wilcoxonPratt({0.5, 1, -0.25, 3, 3}), wilcoxonPratt({-0.5, -1, 0.25, -3, -3}));
}

TEST(pairedTests, holmStepsDownAndKeepsOrder)
{
    // Sorted: 0.005 (x5), 0.01 (x4), 0.03 (x3), 0.04 (x2), 0.5 (x1) -> 0.025, 0.04, 0.09, 0.09 (max), 0.5.
    std::vector<double> adj = holmAdjusted({0.01, 0.04, 0.03, 0.005, 0.5});
    ASSERT_EQ(adj.size(), 5u);
    EXPECT_DOUBLE_EQ(adj[0], 0.04);
    EXPECT_DOUBLE_EQ(adj[1], 0.09);
    EXPECT_DOUBLE_EQ(adj[2], 0.09);
    EXPECT_DOUBLE_EQ(adj[3], 0.025);
    EXPECT_DOUBLE_EQ(adj[4], 0.5);
    // Capped at 1; one test is its own family.
    EXPECT_EQ(holmAdjusted({0.6, 0.7})[1], 1.0);
    EXPECT_EQ(holmAdjusted({0.03})[0], 0.03);
    EXPECT_TRUE(holmAdjusted({}).empty());
}
